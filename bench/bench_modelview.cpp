// The 3D model view under Mesa (llvmpipe when there is no graphics card),
// against peers in the same run:
// - opening the model window of a unit model with a 1024 x 1024 DXT5
//   texture until its view's first frame is on screen, against decoding
//   that texture plus an empty view's first frame (a bare QOpenGLWidget of
//   the same size): the goal is at most decode + 1.3 x empty;
// - one frame of that model at 800 x 600, drawn into the view's framebuffer
//   and finished (glFinish), and one frame on screen (update to frame
//   swapped): the goal is at most 16 ms.
// The model is built here (a unit model's shape and size); each .cas file in
// the folder QUORIN_BENCH_MODELS is measured as well, with the same texture.
// Run it on an X server (Xvfb :95 -screen 0 1280x1024x24; DISPLAY=:95).
// Times are wall-clock: Mesa draws on threads of its own.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "TimesReporter.h"
#include "UnitModelRecipe.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/ModelView.h"
#include "imaging/Bitmap.h"
#include "imaging/DDSWriter.h"
#include "imaging/Picture.h"
#include "imaging/PictureModules.h"
#include "tests/support/CasBuilder.h"

namespace {

using quorin::test::TCasMeshRecipe;
using quorin::test::TCasRecipe;

constexpr int FrameWidth = 800, FrameHeight = 600;
constexpr int TextureSize = 1024;

// A closed band of small triangles around the Y axis, as a limb or a body
// is: rows of 16 vertices, two triangles per cell.
TCasMeshRecipe Mesh(std::uint32_t kind, const std::string& name, int vertices, int triangles, float radius,
                    std::mt19937& random)
{
    constexpr int Columns = 16;
    std::uniform_real_distribution<float> unit(0, 1);
    std::uniform_int_distribution<int> bone(1, 19);
    TCasMeshRecipe mesh;
    mesh.Kind = kind;
    mesh.Name = name;
    mesh.Bone = 13;
    const int rows = vertices / Columns;
    for (int v = 0; v < rows * Columns; ++v) {
        const int row = v / Columns, column = v % Columns;
        const float angle = 6.2831853f * float(column) / Columns;
        mesh.Positions.push_back({radius * std::cos(angle), 1.8f * float(row) / float(rows) - 0.9f,
                                  radius * std::sin(angle)});
        mesh.UVs.push_back({float(column) / Columns, float(row) / float(rows)});
        if (kind == 2)
            mesh.Bones.push_back(static_cast<std::uint32_t>(bone(random)));
        if (kind == 3) {
            mesh.Weights.push_back(unit(random));
            mesh.FirstBones.push_back(static_cast<std::uint32_t>(bone(random)));
            mesh.SecondBones.push_back(static_cast<std::uint32_t>(bone(random)));
        }
    }
    for (int t = 0; t < triangles; ++t) {
        const int cell = (t / 2) % ((rows - 1) * Columns), row = cell / Columns, column = cell % Columns;
        const auto at = [&](int r, int c) { return static_cast<std::uint16_t>(r * Columns + c % Columns); };
        if (t % 2 == 0)
            mesh.Triangles.push_back({at(row, column), at(row, column + 1), at(row + 1, column)});
        else
            mesh.Triangles.push_back({at(row, column + 1), at(row + 1, column + 1), at(row + 1, column)});
    }
    return mesh;
}

// A unit model's shape and size: 20 bones with a baked animation, weapons,
// a shield, a body and a two-bone cloak; about 1,700 vertices.
std::vector<std::uint8_t> UnitModel()
{
    std::mt19937 random(2026);
    TCasRecipe recipe = quorin::bench::UnitModelRecipe();
    recipe.Meshes = {Mesh(1, "primary_weapon", 176, 180, 0.05f, random), Mesh(1, "shield", 368, 360, 0.3f, random),
                     Mesh(2, "body", 1008, 1100, 0.25f, random), Mesh(3, "cloak", 96, 120, 0.35f, random)};
    return quorin::test::BuildCas(recipe).Bytes;
}

// A 1024 x 1024 DXT5 texture with its mipmaps, of varied colours and alpha
// so that neither the decoder nor the renderer sees a flat picture.
void WriteTexture(const QString& path)
{
    quorin::TBitmap picture;
    picture.SetPixelDepth(32);
    picture.SetSize(TextureSize, TextureSize);
    picture.SetAlphaChannel(true);
    for (int y = 0; y < TextureSize; ++y) {
        std::uint8_t* row = picture.RowAddress(y);
        for (int x = 0; x < TextureSize; ++x) {
            row[4 * x] = static_cast<std::uint8_t>(x * 255 / TextureSize);
            row[4 * x + 1] = static_cast<std::uint8_t>(y * 255 / TextureSize);
            row[4 * x + 2] = static_cast<std::uint8_t>(128 + 127 * std::sin(float(x + y) / 37.0f));
            row[4 * x + 3] = static_cast<std::uint8_t>((x / 64 + y / 64) % 2 ? 255 : 40);
        }
    }
    quorin::TDdsOptions options;
    options.Format = quorin::TDdsFormat::DXT5;
    options.Quality = quorin::TDxtQuality::Fast;
    quorin::WriteDDS(picture, path.toStdString(), options);
}

struct TInputs {
    QTemporaryDir Folder;
    QString Texture;
    std::map<std::string, QString> Models;  // name: path
};

TInputs& Inputs()
{
    static TInputs inputs;
    return inputs;
}

// Runs the loop until the widget's top-level window has shown a frame with
// it in.
void WaitForFrame(QOpenGLWidget& view)
{
    bool swapped = false;
    auto connection = QObject::connect(&view, &QOpenGLWidget::frameSwapped, [&] { swapped = true; });
    while (!swapped)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    QObject::disconnect(connection);
}

QSize& ViewSize()
{
    static QSize size(FrameWidth, FrameHeight);
    return size;
}

void BM_EmptyViewFirstFrame(benchmark::State& state)
{
    for (auto _ : state) {
        auto* view = new QOpenGLWidget;
        view->resize(ViewSize());
        view->show();
        WaitForFrame(*view);
        state.PauseTiming();
        delete view;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_DecodeTexture(benchmark::State& state)
{
    const std::string path = Inputs().Texture.toStdString();
    for (auto _ : state) {
        quorin::TPicture picture;
        picture.LoadByExtension(path);
        benchmark::DoNotOptimize(picture.Graphic());
    }
}

// What a user waits for: the model window made (the model read, the
// texture decoded), shown, and its view's first frame on screen.
void ModelViewFirstFrame(benchmark::State& state, const QString* model)
{
    for (auto _ : state) {
        auto* window = new quorin::TModelWindow(*model, {{QStringLiteral("faction"), Inputs().Texture}});
        window->show();
        WaitForFrame(*window->View());
        state.PauseTiming();
        ViewSize() = window->View()->size();
        delete window;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

std::string& Renderer()
{
    static std::string renderer;
    return renderer;
}

// The view, reachable for its paint function: one frame drawn into its
// framebuffer and finished, without the window's composition.
class TViewProbe : public quorin::TModelView {
public:
    void DrawFrame()
    {
        makeCurrent();
        paintGL();
        context()->functions()->glFinish();
        doneCurrent();
    }
};

// The model's view at 800 x 600, textured, shown and drawn once.
struct TShownModel {
    TViewProbe View;
    explicit TShownModel(const QString& model)
    {
        View.resize(FrameWidth, FrameHeight);
        View.SetModel(quorin::LoadCasModel(model.toStdString()));
        quorin::TPicture texture;
        texture.LoadByExtension(Inputs().Texture.toStdString());
        View.SetTexture(dynamic_cast<const quorin::TBitmap*>(texture.Graphic()));
        View.show();
        WaitForFrame(View);
        View.makeCurrent();
        Renderer() = reinterpret_cast<const char*>(View.context()->functions()->glGetString(GL_RENDERER));
        View.doneCurrent();
    }
};

void ModelFrame(benchmark::State& state, const QString* model)
{
    TShownModel shown(*model);
    for (auto _ : state)
        shown.View.DrawFrame();
}

void ModelFrameOnScreen(benchmark::State& state, const QString* model)
{
    TShownModel shown(*model);
    for (auto _ : state) {
        shown.View.update();
        WaitForFrame(shown.View);
    }
}

void PrintGoals(const quorin::bench::TTimesReporter& times)
{
    const auto empty = times.Time("EmptyViewFirstFrame"), decode = times.Time("DecodeTexture");
    std::printf("\nOn %s, %s:\n", qPrintable(QGuiApplication::platformName()),
                Renderer().c_str());
    for (const auto& [name, path] : Inputs().Models) {
        const auto first = times.Time("ModelViewFirstFrame/" + name), frame = times.Time("ModelFrame/" + name),
                   screen = times.Time("ModelFrameOnScreen/" + name);
        if (first && empty && decode)
            std::printf("  %-24s first frame %.1f ms; decode + 1.3 x empty view = %.1f + 1.3 x %.1f = %.1f ms (%s)\n",
                        name.c_str(), *first, *decode, *empty, *decode + 1.3 * *empty,
                        *first <= *decode + 1.3 * *empty ? "met" : "not met");
        if (frame && screen)
            std::printf("  %-24s frame %.1f ms drawn, %.1f ms on screen; goal at most 16 ms (%s)\n", name.c_str(),
                        *frame, *screen, *frame <= 16 ? "met" : "not met");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    quorin::TApplication application(argc, argv);
    quorin::StartPictureModules();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    auto& inputs = Inputs();
    QDir folder(inputs.Folder.path());
    folder.mkdir("textures");
    inputs.Texture = folder.filePath("textures/unit.tga.dds");
    WriteTexture(inputs.Texture);
    const std::vector<std::uint8_t> unit = UnitModel();
    QFile file(folder.filePath("unit.cas"));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(unit.data()), qint64(unit.size())) != qint64(unit.size()))
        return 1;
    file.close();
    inputs.Models["unit"] = file.fileName();
    if (const char* models = std::getenv("QUORIN_BENCH_MODELS"))
        for (const QFileInfo& model : QDir(models).entryInfoList({"*.cas", "*.CAS"}, QDir::Files, QDir::Name))
            inputs.Models[model.completeBaseName().toStdString()] = model.filePath();

    // The empty view first, so that its size is the model view's as measured.
    benchmark::RegisterBenchmark("DecodeTexture", BM_DecodeTexture)->Unit(benchmark::kMillisecond)->UseRealTime();
    for (auto& [name, path] : inputs.Models)
        benchmark::RegisterBenchmark(("ModelViewFirstFrame/" + name).c_str(), ModelViewFirstFrame, &path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
    benchmark::RegisterBenchmark("EmptyViewFirstFrame", BM_EmptyViewFirstFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(2.0);
    for (auto& [name, path] : inputs.Models) {
        benchmark::RegisterBenchmark(("ModelFrame/" + name).c_str(), ModelFrame, &path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("ModelFrameOnScreen/" + name).c_str(), ModelFrameOnScreen, &path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    quorin::bench::TTimesReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintGoals(reporter);
    benchmark::Shutdown();
    return 0;
}
