// How long the main window takes to be on screen and responsive (created,
// shown, exposed, first painted, event loop idle), against the floor of any
// window of ours measured in the same run: a window of the same size showing
// one label in the page font (a font must be found and loaded for it). The
// ratio is printed at the end; the goal is at most 1.3.

#include <QApplication>
#include <QLabel>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "app/Application.h"
#include "app/Controls.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "imaging/PictureModules.h"

namespace {

// Notes the top-level window's first paint.
class TPaintWatch : public QObject {
public:
    bool Painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted = true;
        return false;
    }
};

// Shows the window and runs the loop until it is exposed, has painted, and
// has no events left.
void ShowUntilIdle(QWidget& window)
{
    TPaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    while (!(window.windowHandle() && window.windowHandle()->isExposed() && watch.Painted))
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    window.removeEventFilter(&watch);
}

// The floor: 800 x 600 with one label in the pages' font.
QWidget* MakeFloorWindow()
{
    quorin::RegisterWindowFonts();
    auto* window = new QWidget;
    window->setFixedSize(800, 600);
    auto* label = new QLabel(QStringLiteral("Основные параметры"), window);
    label->setFont(quorin::MakeFont(quorin::Tahoma, 13, true));
    label->move(245, 100);
    return window;
}

void BM_EmptyWindow(benchmark::State& state)
{
    for (auto _ : state) {
        QWidget* window = MakeFloorWindow();
        ShowUntilIdle(*window);
        state.PauseTiming();
        delete window;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EmptyWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The start-up's share: Form1 (its artwork decoded), Form2 hidden, then the
// main window shown. The start timer is stopped: the About window is not
// part of the main window being ready.
void BM_MainWindow(benchmark::State& state)
{
    for (auto _ : state) {
        auto* form1 = new quorin::TForm1;
        form1->Timer1->stop();
        auto* form2 = new quorin::TForm2;
        ShowUntilIdle(*form1);
        state.PauseTiming();
        delete form2;
        delete form1;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The breakdown: creating the windows alone, not shown.
void BM_CreateForm1(benchmark::State& state)
{
    for (auto _ : state) {
        auto* form1 = new quorin::TForm1;
        form1->Timer1->stop();
        state.PauseTiming();
        delete form1;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateForm1)->Unit(benchmark::kMillisecond);

void BM_CreateForm2(benchmark::State& state)
{
    for (auto _ : state) {
        auto* form2 = new quorin::TForm2;
        state.PauseTiming();
        delete form2;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateForm2)->Unit(benchmark::kMillisecond);

// What a user waits for: from starting the program to its window on screen
// and responsive. Each iteration starts this benchmark program anew as a
// probe that builds either an empty window or the tool's start-up (the
// picture modules, Form1 with its artwork, Form2 hidden, Form1 shown) and
// exits once the window is exposed, painted and the event loop is idle.
extern "C" char** environ;

void RunProbe(benchmark::State& state, const char* which)
{
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        state.SkipWithError("cannot find this program");
        return;
    }
    char probeFlag[] = "--startup-probe";
    std::string kind = which;
    char* args[] = {self, probeFlag, kind.data(), nullptr};
    for (auto _ : state) {
        pid_t child = 0;
        if (posix_spawn(&child, self, nullptr, nullptr, args, environ) != 0) {
            state.SkipWithError("cannot start the probe");
            return;
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the probe failed");
            return;
        }
    }
}

void BM_ProcessEmptyWindow(benchmark::State& state) { RunProbe(state, "empty"); }
void BM_ProcessMainWindow(benchmark::State& state) { RunProbe(state, "main"); }
BENCHMARK(BM_ProcessEmptyWindow)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_ProcessMainWindow)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

int Probe(int argc, char** argv, const char* which)
{
    if (std::strcmp(which, "empty") == 0) {
        QApplication application(argc, argv);
        std::unique_ptr<QWidget> window(MakeFloorWindow());
        ShowUntilIdle(*window);
        return 0;
    }
    quorin::TApplication application(argc, argv);
    quorin::StartPictureModules();
    quorin::TForm1 form1;
    form1.Timer1->stop(); // the About window is not part of the main window being ready
    quorin::TForm2 form2;
    ShowUntilIdle(form1);
    return 0;
}

// Keeps each benchmark's mean real time over its repetitions for the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Mean;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean") {
                Mean[run.run_name.function_name] = run.GetAdjustedRealTime();
                continue;
            }
            if (run.iterations == 0 || run.run_type != Run::RT_Iteration)
                continue;
            auto& [sum, count] = totals_[run.run_name.function_name];
            sum += run.GetAdjustedRealTime();
            Mean[run.run_name.function_name] = sum / ++count;
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::map<std::string, std::pair<double, int>> totals_;
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 3 && std::strcmp(argv[1], "--startup-probe") == 0)
        return Probe(argc, argv, argv[2]);
    quorin::TApplication application(argc, argv);
    quorin::StartPictureModules();
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double empty = reporter.Mean["BM_EmptyWindow"], main = reporter.Mean["BM_MainWindow"];
    if (empty > 0 && main > 0)
        std::printf("main window / one-label window, in process: %.2f on %s\n", main / empty,
                    qPrintable(QGuiApplication::platformName()));
    const double emptyStart = reporter.Mean["BM_ProcessEmptyWindow"], mainStart = reporter.Mean["BM_ProcessMainWindow"];
    if (emptyStart > 0 && mainStart > 0)
        std::printf("program start to window on screen, tool / one-label window: %.2f (goal <= 1.3) on %s\n",
                    mainStart / emptyStart, qPrintable(QGuiApplication::platformName()));
    benchmark::Shutdown();
    return 0;
}
