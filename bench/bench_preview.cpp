// What the picture dialog and the cards page cost a user, each beside the
// bare decode of the same files measured in the same run:
// - Preview: moving the selection onto a 2048 x 2048 DXT5 texture until the
//   pane has painted it, against LoadByExtension of the same file alone
//   (goal: at most 1.5 times the decode);
// - AddCardRow: from the click on the second card dialog's Open until both
//   card previews have painted (a 160 x 210 and a 48 x 64 32-bit run-length
//   card), against decoding the two cards alone.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

#include "../tests/imaging/dds/DdsBuilder.h"
#include "app/Application.h"
#include "app/FactionList.h"
#include "app/Unit1.h"
#include "dialogs/AskText.h"
#include "dialogs/Image.h"
#include "dialogs/OpenPictureDialog.h"
#include "imaging/PictureModules.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

QTemporaryDir* Folder = nullptr;

QString Write(const QString& name, const Bytes& bytes)
{
    const QString path = Folder->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return path;
}

// A 2048 x 2048 DXT5 texture of varied blocks, top level only.
Bytes Dxt5Texture()
{
    constexpr std::uint32_t side = 2048, blocks = (side / 4) * (side / 4);
    std::mt19937 random(7);
    Bytes data(std::size_t(blocks) * 16);
    for (auto& byte : data)
        byte = std::uint8_t(random());
    return quorin::test::DdsBuilder(side, side).Compressed("DXT5", blocks * 16).Data(data).Bytes();
}

// A 32-bit run-length TGA card, origin at the bottom left as the game's
// cards: runs of a few pixels broken by raw stretches, as in painted cards.
Bytes RleCard(int width, int height)
{
    Bytes out(18, 0);
    out[2] = 10;
    out[12] = std::uint8_t(width), out[13] = std::uint8_t(width >> 8);
    out[14] = std::uint8_t(height), out[15] = std::uint8_t(height >> 8);
    out[16] = 32;
    out[17] = 8;
    std::mt19937 random(11);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width;) {
            const int left = width - x;
            if (random() % 2) {
                const int run = std::min(left, int(2 + random() % 6));
                out.push_back(std::uint8_t(0x80 | (run - 1)));
                out.insert(out.end(), {std::uint8_t(random()), std::uint8_t(y), std::uint8_t(x), 255});
                x += run;
            } else {
                const int raw = std::min(left, int(1 + random() % 4));
                out.push_back(std::uint8_t(raw - 1));
                for (int i = 0; i < raw; ++i)
                    out.insert(out.end(), {std::uint8_t(random()), std::uint8_t(y), std::uint8_t(x + i), 255});
                x += raw;
            }
        }
    return out;
}

void BM_DecodeTexture(benchmark::State& state)
{
    const QString path = Write(QStringLiteral("decode.dds"), Dxt5Texture());
    const std::string file = path.toStdString();
    for (auto _ : state) {
        quorin::TPicture picture;
        picture.LoadByExtension(file);
        benchmark::DoNotOptimize(picture.Graphic());
    }
}
BENCHMARK(BM_DecodeTexture)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PreviewTexture(benchmark::State& state)
{
    // Two files, so every selection change is a new path.
    const Bytes texture = Dxt5Texture();
    const QString paths[] = {Write(QStringLiteral("a.dds"), texture), Write(QStringLiteral("b.dds"), texture)};
    quorin::TOpenPictureDialog dialog(QStringLiteral("OpnDDS"), QStringLiteral("Текстура DDS (*.dds)|*.dds"), nullptr);
    dialog.show();
    QCoreApplication::processEvents();
    int next = 0;
    for (auto _ : state) {
        dialog.SelectionChanged(paths[next]);
        dialog.PaintBox->repaint(); // painted before it returns
        next ^= 1;
    }
    dialog.hide();
}
BENCHMARK(BM_PreviewTexture)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DecodeCards(benchmark::State& state)
{
    const std::string info = Write(QStringLiteral("info.tga"), RleCard(160, 210)).toStdString();
    const std::string unit = Write(QStringLiteral("unit.tga"), RleCard(48, 64)).toStdString();
    for (auto _ : state) {
        quorin::TPicture first, second;
        first.LoadByExtension(info);
        second.LoadByExtension(unit);
        benchmark::DoNotOptimize(second.Graphic());
    }
}
BENCHMARK(BM_DecodeCards)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// The whole addition runs with its prompt and dialogs answered from timers;
// only the stretch from Enter in the second dialog to both previews painted
// is timed.
void BM_AddCardRow(benchmark::State& state)
{
    const QString info = Write(QStringLiteral("info.tga"), RleCard(160, 210));
    const QString unit = Write(QStringLiteral("unit.tga"), RleCard(48, 64));
    quorin::TForm1 form;
    form.Timer1->stop();
    form.show();
    form.SpeedButton5Click();
    QCoreApplication::processEvents();
    Clock::time_point start;
    auto answer = [&](auto&& self, int step) -> void {
        QTimer::singleShot(0, [&, self, step] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) {
                self(self, step);
                return;
            }
            if (auto* prompt = qobject_cast<quorin::TAskTextDialog*>(modal)) {
                prompt->accept();
                self(self, step + 1);
                return;
            }
            auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(step == 1 ? info : unit);
            if (step == 2)
                start = Clock::now();
            static_cast<QDialog*>(modal)->accept();
            if (step == 1)
                self(self, step + 1);
        });
    };
    for (auto _ : state) {
        answer(answer, 0);
        form.SpeedButton10Click();
        form.ImgP1->repaint();
        form.ImgP2->repaint();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.PauseTiming();
        delete form.LV2->topLevelItem(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddCardRow)->Unit(benchmark::kMicrosecond)->UseManualTime()->MinTime(2.0);

class TMeanReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Time;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                Time[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    quorin::TApplication application(argc, argv);
    quorin::StartPictureModules();
    QTemporaryDir folder;
    Folder = &folder;
    benchmark::Initialize(&argc, argv);
    TMeanReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.Time;
    if (t.count("BM_DecodeTexture") && t.count("BM_PreviewTexture"))
        std::printf("preview / bare decode of a 2048 x 2048 DXT5 texture: %.2f (goal <= 1.5) on %s\n",
                    t.at("BM_PreviewTexture") / t.at("BM_DecodeTexture"), qPrintable(QGuiApplication::platformName()));
    if (t.count("BM_DecodeCards") && t.count("BM_AddCardRow"))
        std::printf("card row added, Open to both previews painted / bare decode of the two cards: %.2f\n",
                    t.at("BM_AddCardRow") / t.at("BM_DecodeCards"));
    benchmark::Shutdown();
    return 0;
}
