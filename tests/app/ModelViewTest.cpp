// The 3D view of a model: a textured quad facing the camera, drawn by Mesa
// under Xvfb, read back from the view's framebuffer; the window around it,
// and the model page's summary text.

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "../imaging/dds/DdsBuilder.h"
#include "../support/CasBuilder.h"
#include "../support/PictureFiles.h"
#include "AppTestMain.h"
#include "app/ModelView.h"
#include "imaging/Picture.h"
#include "imaging/PictureModules.h"
#include "model/Gltf.h"

namespace quorin {

namespace {

// A 2 x 2 quad in the XY plane, facing +Z (the camera's side when framed),
// its UVs spanning the whole texture.
test::TCasRecipe QuadRecipe()
{
    test::TCasRecipe recipe;
    recipe.Nodes = {{"Scene Root"}};
    test::TCasMeshRecipe quad;
    quad.Name = "quad";
    quad.Positions = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    quad.Triangles = {{0, 1, 2}, {0, 2, 3}};
    quad.UVs = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    recipe.Meshes = {quad};
    recipe.Materials = {{true, "", "textures\\quad.tga"}};
    return recipe;
}

bool Near(const QColor& colour, int red, int green, int blue)
{
    return std::abs(colour.red() - red) <= 2 && std::abs(colour.green() - green) <= 2 &&
           std::abs(colour.blue() - blue) <= 2;
}

// Answers the next modal dialog as a user would, once it is up.
template <typename Dialog>
void WhenShown(std::function<void(Dialog*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start(20);
}

test::Bytes ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

// The view's background: (0.55, 0.60, 0.66).
constexpr int BackgroundRed = 140, BackgroundGreen = 153, BackgroundBlue = 168;

void CheckQuadDrawn(TModelView& view, int red, int green, int blue)
{
    QVERIFY2(view.isValid(), "no OpenGL context");
    const QImage frame = view.grabFramebuffer();
    QCOMPARE(frame.size(), view.size() * view.devicePixelRatio());
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    QVERIFY2(Near(centre, red, green, blue), qPrintable(centre.name()));
    for (QPoint corner : {QPoint(1, 1), QPoint(frame.width() - 2, 1), QPoint(1, frame.height() - 2),
                          QPoint(frame.width() - 2, frame.height() - 2)}) {
        const QColor colour = frame.pixelColor(corner);
        QVERIFY2(Near(colour, BackgroundRed, BackgroundGreen, BackgroundBlue), qPrintable(colour.name()));
    }
}

} // namespace

class ModelViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { StartPictureModules(); }

    void texturedQuadFacesTheCamera()
    {
        TModelView view;
        view.resize(96, 96);
        view.SetModel(ReadCasModel(test::BuildCas(QuadRecipe()).Bytes, "quad.cas"));
        TBitmap texture;
        texture.SetPixelDepth(32);
        texture.SetSize(2, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                std::uint8_t* pixel = texture.RowAddress(y) + 4 * x;
                pixel[0] = 20, pixel[1] = 40, pixel[2] = 220, pixel[3] = 255;  // blue, green, red, alpha
            }
        texture.SetAlphaChannel(true);
        view.SetTexture(&texture);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        CheckQuadDrawn(view, 220, 40, 20);

        // 24 bits a pixel, 3 wide: rows padded to four bytes, no mipmaps.
        TBitmap plain;
        plain.SetPixelDepth(24);
        plain.SetSize(3, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                std::uint8_t* pixel = plain.RowAddress(y) + 3 * x;
                pixel[0] = 200, pixel[1] = 120, pixel[2] = 30;  // blue, green, red
            }
        view.SetTexture(&plain);
        CheckQuadDrawn(view, 30, 120, 200);

        view.SetTexture(nullptr);  // plain shading: a light grey
        CheckQuadDrawn(view, 199, 194, 184);
    }

    // Far off, the game draws a texture's own mipmaps, which an artist may
    // have painted apart: the view draws them too, not mipmaps of its own.
    void aTexturesOwnMipmapsAreDrawn()
    {
        // 64 x 64 DXT1: a red top image over green mipmaps, down to 1 x 1.
        auto blocks = [](int count, std::uint16_t colour) {
            std::vector<std::uint8_t> bytes;
            for (int i = 0; i < count; ++i)
                bytes.insert(bytes.end(), {std::uint8_t(colour), std::uint8_t(colour >> 8), std::uint8_t(colour),
                                           std::uint8_t(colour >> 8), 0, 0, 0, 0});
            return bytes;
        };
        test::DdsBuilder dds(64, 64);
        dds.Field(8, 0x21007).MipMaps(7).Compressed("DXT1", 16 * 16 * 8).Data(blocks(16 * 16, 0xF800));
        for (int side = 32; side >= 1; side /= 2)
            dds.Data(blocks(std::max(1, side / 4) * std::max(1, side / 4), 0x07E0));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("textures"));
        test::WriteBytes(dir.filePath("textures/quad.tga.dds"), dds.Bytes());
        // The texture repeated 64 times across the quad: a texel is far
        // smaller than a pixel, as on a soldier seen from afar.
        test::TCasRecipe recipe = QuadRecipe();
        recipe.Meshes[0].UVs = {{0, 64}, {64, 64}, {64, 0}, {0, 0}};
        const QString model = dir.filePath("quad.cas");
        test::WriteBytes(model, test::BuildCas(recipe).Bytes);

        TModelWindow window(model, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.View()->Message(), QString());
        CheckQuadDrawn(*window.View(), 0, 252, 0);
    }

    // A texture that cannot be shown leaves plain shading with the picture
    // reader's own message over it, whether the file is damaged or missing.
    void anUnreadableTextureSaysWhy()
    {
        QTemporaryDir dir;
        const QString damaged = dir.filePath("damaged.dds");
        std::vector<std::uint8_t> header = test::DdsBuilder(4, 4).Compressed("DXT1", 8).Bytes();
        test::WriteBytes(damaged, header); // no blocks after the header
        const QString missing = dir.filePath("missing.dds");
        const QString model = dir.filePath("quad.cas");
        test::WriteBytes(model, test::BuildCas(QuadRecipe()).Bytes);
        auto readerMessage = [](const QString& path) {
            try {
                TPicture picture;
                picture.LoadByExtension(path.toStdString());
            } catch (const Exception& e) {
                return QString::fromStdString(e.Message());
            }
            return QString();
        };

        TModelWindow window(model, {{"romans_julii", damaged}, {"romans_brutii", missing}}, 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!readerMessage(damaged).isEmpty());
        QCOMPARE(window.View()->Note(), readerMessage(damaged));
        CheckQuadDrawn(*window.View(), 199, 194, 184);

        window.findChild<QComboBox*>("TextureList")->setCurrentIndex(1);
        QVERIFY(!readerMessage(missing).isEmpty());
        QCOMPARE(window.View()->Note(), readerMessage(missing));
        CheckQuadDrawn(*window.View(), 199, 194, 184);
    }

    void windowFindsTheTextureBesideTheModel()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("textures"));
        test::WriteDds(dir.filePath("textures/quad.tga.dds"), 4, 4, test::Solid(qRgb(30, 200, 60)));
        const QString model = dir.filePath("quad_lod0.cas");
        test::WriteBytes(model, test::BuildCas(QuadRecipe()).Bytes);

        TModelWindow window(model, {});
        QCOMPARE(window.windowTitle(), QStringLiteral("Модель — quad_lod0.cas"));
        auto* list = window.findChild<QComboBox*>("TextureList");
        QVERIFY(list);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->itemText(0), QStringLiteral("quad.tga.dds"));
        QCOMPARE(list->itemText(1), QStringLiteral("Без текстуры"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.View()->Message(), QString());
        CheckQuadDrawn(*window.View(), 30, 200, 60);
    }

    void theSelectedRowsTextureIsDrawn()
    {
        QTemporaryDir dir;
        const QString red = test::WriteDds(dir.filePath("red.dds"), 4, 4, test::Solid(qRgb(220, 30, 30)));
        const QString green = test::WriteDds(dir.filePath("green.dds"), 4, 4, test::Solid(qRgb(30, 200, 60)));
        const QString model = dir.filePath("quad.cas");
        test::WriteBytes(model, test::BuildCas(QuadRecipe()).Bytes);

        TModelWindow window(model, {{"romans_julii", red}, {"romans_brutii", green}}, 1);
        auto* list = window.findChild<QComboBox*>("TextureList");
        QVERIFY(list);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(0), QStringLiteral("romans_julii"));
        QCOMPARE(list->currentIndex(), 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CheckQuadDrawn(*window.View(), 30, 200, 60);

        list->setCurrentIndex(0);
        CheckQuadDrawn(*window.View(), 220, 30, 30);
    }

    void unreadableModelShowsItsMessage()
    {
        QTemporaryDir dir;
        const QString model = dir.filePath("broken.cas");
        auto bytes = test::BuildCas(QuadRecipe()).Bytes;
        bytes.resize(20);
        test::WriteBytes(model, bytes);
        TModelWindow window(model, {{"romans_julii", dir.filePath("missing.dds")}});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.View()->Message(),
                 "Damaged model file " + model + " at byte 0: expected the header (42 bytes), but only 20 bytes are left in the file");
    }

    void exportWritesTheShownModelWithItsTexture()
    {
        QTemporaryDir dir;
        const QString green = test::WriteDds(dir.filePath("green.dds"), 4, 4, test::Solid(qRgb(30, 200, 60)));
        const QString model = dir.filePath("quad.cas");
        const test::Bytes bytes = test::BuildCas(QuadRecipe()).Bytes;
        test::WriteBytes(model, bytes);
        TModelWindow window(model, {{"romans_julii", green}});
        auto* button = window.findChild<QPushButton*>("ExportGltf");
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Экспорт glTF..."));

        const QString target = dir.filePath("quad.gltf");
        WhenShown<QFileDialog>([&](QFileDialog* dialog) {
            dialog->selectFile(target);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        button->click();
        const test::Bytes written = ReadBytes(target);
        QVERIFY(!written.empty());
        QVERIFY(QByteArray(reinterpret_cast<const char*>(written.data()), static_cast<qsizetype>(written.size()))
                    .contains("\"image/png\""));
        QVERIFY(ReadGltf(written, "quad.gltf").Cas == bytes);
    }

    void gltfBecomesAModelBesideIt()
    {
        QTemporaryDir dir;
        const test::Bytes bytes = test::BuildCas(test::SmallCasRecipe()).Bytes;
        const QString gltf = dir.filePath("small.glb");
        test::WriteBytes(gltf, WriteGltf(ReadCasModel(bytes, "small.cas"), {}, TGltfContainer::Binary));
        const QString beside = dir.filePath("small.cas");
        QCOMPARE(ConvertGltfBeside(nullptr, gltf), beside);
        QVERIFY(ReadBytes(beside) == bytes);

        // A file already there is replaced only when the user says so.
        test::WriteBytes(beside, {1, 2, 3});
        WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
        QCOMPARE(ConvertGltfBeside(nullptr, gltf), QString());
        QVERIFY(ReadBytes(beside) == test::Bytes({1, 2, 3}));
        WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        QCOMPARE(ConvertGltfBeside(nullptr, gltf), beside);
        QVERIFY(ReadBytes(beside) == bytes);

        // A glTF that cannot be converted leaves nothing and says why.
        const QString cut = dir.filePath("cut.glb");
        test::WriteBytes(cut, {'g', 'l', 'T', 'F', 2, 0, 0, 0});
        QString shown;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ConvertGltfBeside(nullptr, cut), QString());
        QVERIFY(shown.startsWith("Cannot convert glTF file " + cut));
        QVERIFY(!QFileInfo::exists(dir.filePath("cut.cas")));
    }

    void summaryForTheModelPage()
    {
        QTemporaryDir dir;
        const QString model = dir.filePath("small.cas");
        test::WriteBytes(model, test::BuildCas(test::SmallCasRecipe()).Bytes);
        TModelSummary summary = ModelSummary(model);
        QVERIFY(summary.Readable);
        QCOMPARE(summary.Text, QStringLiteral("Треугольников: 4, вершин: 10, костей: 3"));

        summary = ModelSummary(dir.filePath("none.cas"));
        QVERIFY(!summary.Readable);
        QCOMPARE(summary.Text, "Cannot open file " + dir.filePath("none.cas"));

        // A pipe is left for the build: opening it would wait for a writer.
        const QString fifo = dir.filePath("fifo.cas");
        QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
        summary = ModelSummary(fifo);
        QVERIFY(!summary.Readable);
        QCOMPARE(summary.Text, QStringLiteral("Не обычный файл: прочтётся при создании пака"));
    }
};

} // namespace quorin

QUORIN_APP_TEST_MAIN(quorin::ModelViewTest)
#include "ModelViewTest.moc"
