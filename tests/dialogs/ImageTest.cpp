// The picture control: where a picture lands, and what it draws.

#include <QtTest>

#include "dialogs/Image.h"
#include "imaging/Bitmap.h"

namespace quorin {

namespace {

// A w x h bitmap of one colour (0xRRGGBB) with its bottom-left pixel in key.
std::unique_ptr<TBitmap> Filled(int w, int h, QRgb colour, QRgb key)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = (x == 0 && y == h - 1) ? key : colour;
            std::uint8_t* pixel = bitmap->RowAddress(y) + 3 * x;
            pixel[0] = static_cast<std::uint8_t>(qBlue(c));
            pixel[1] = static_cast<std::uint8_t>(qGreen(c));
            pixel[2] = static_cast<std::uint8_t>(qRed(c));
        }
    return bitmap;
}

} // namespace

class ImageTest : public QObject {
    Q_OBJECT
private slots:
    void placesThePicture_data();
    void placesThePicture();
    void drawsAtItsOwnSizeFromTheTopLeft();
    void stretchFillsTheControl();
    void transparentSkipsTheKeyColour();
    void transparentBecomesThePicturesFlag();
};

void ImageTest::placesThePicture_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("control");
    QTest::addColumn<bool>("stretch");
    QTest::addColumn<bool>("proportional");
    QTest::addColumn<bool>("center");
    QTest::addColumn<QRect>("dest");
    const QSize pane(100, 80);
    QTest::newRow("own size") << QSize(30, 20) << pane << false << false << false << QRect(0, 0, 30, 20);
    QTest::newRow("own size, cut off") << QSize(300, 200) << pane << false << false << false << QRect(0, 0, 300, 200);
    QTest::newRow("centred") << QSize(30, 20) << pane << false << false << true << QRect(35, 30, 30, 20);
    QTest::newRow("stretched") << QSize(30, 20) << pane << true << false << false << QRect(0, 0, 100, 80);
    QTest::newRow("small stays small when only proportional") << QSize(30, 20) << pane << false << true << false << QRect(0, 0, 30, 20);
    // Wide: width cw, height cw / a truncated = 100 / 1.5 = 66.
    QTest::newRow("wide, reduced") << QSize(300, 200) << pane << false << true << true << QRect(0, 7, 100, 66);
    // Wide, but cw / a = 90 overflows 80: height ch, width ch * a = 88.
    QTest::newRow("wide, height bound") << QSize(110, 100) << pane << false << true << false << QRect(0, 0, 88, 80);
    QTest::newRow("tall, enlarged") << QSize(20, 40) << pane << true << true << true << QRect(30, 0, 40, 80);
    QTest::newRow("tall, width bound") << QSize(90, 100) << QSize(50, 80) << true << true << false << QRect(0, 0, 50, 55);
    QTest::newRow("square") << QSize(10, 10) << pane << true << true << true << QRect(10, 0, 80, 80);
    QTest::newRow("empty picture stretched") << QSize(0, 0) << pane << true << true << false << QRect(0, 0, 100, 80);
    // The picture dialog's preview: stretched, proportional and centred.
    const QSize preview(150, 140);
    QTest::newRow("preview, tall card") << QSize(160, 210) << preview << true << true << true << QRect(22, 0, 106, 140);
    QTest::newRow("preview, small texture enlarged") << QSize(64, 64) << preview << true << true << true << QRect(5, 0, 140, 140);
    QTest::newRow("preview, wide picture reduced") << QSize(300, 100) << preview << true << true << true << QRect(0, 45, 150, 50);
    QTest::newRow("centring truncates toward zero") << QSize(105, 85) << pane << false << false << true << QRect(-2, -2, 105, 85);
}

void ImageTest::placesThePicture()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, control);
    QFETCH(bool, stretch);
    QFETCH(bool, proportional);
    QFETCH(bool, center);
    QFETCH(QRect, dest);
    const TRect r = PlacePicture(picture.width(), picture.height(), control.width(), control.height(), stretch, proportional, center);
    QCOMPARE(QRect(r.Left, r.Top, r.Width(), r.Height()), dest);
}

void ImageTest::drawsAtItsOwnSizeFromTheTopLeft()
{
    TImage image;
    image.resize(10, 10);
    image.Picture().SetGraphic(Filled(4, 3, 0x102030, 0x102030));
    const QImage shot = image.grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QColor(0x10, 0x20, 0x30));
    QCOMPARE(shot.pixelColor(3, 2), QColor(0x10, 0x20, 0x30));
    QVERIFY(shot.pixelColor(4, 0) != QColor(0x10, 0x20, 0x30));
    QVERIFY(shot.pixelColor(0, 3) != QColor(0x10, 0x20, 0x30));
}

void ImageTest::stretchFillsTheControl()
{
    TImage image;
    image.resize(10, 10);
    image.SetStretch(true);
    image.Picture().SetGraphic(Filled(2, 2, 0xA00000, 0xA00000));
    const QImage shot = image.grab().toImage();
    QCOMPARE(shot.pixelColor(9, 9), QColor(0xA0, 0, 0));
    QCOMPARE(shot.pixelColor(0, 9), QColor(0xA0, 0, 0));
}

void ImageTest::transparentSkipsTheKeyColour()
{
    QWidget page;
    page.resize(10, 10);
    page.setAutoFillBackground(true);
    QPalette white = page.palette();
    white.setColor(QPalette::Window, Qt::white);
    page.setPalette(white);
    auto* image = new TImage(&page);
    image->resize(10, 10);
    image->SetTransparent(true);
    // The key is the bottom-left pixel's colour; one more pixel shares it.
    auto bitmap = Filled(3, 3, 0x00A000, 0x0000FF);
    bitmap->RowAddress(0)[0] = 0xFF;
    bitmap->RowAddress(0)[1] = 0;
    bitmap->RowAddress(0)[2] = 0;
    image->Picture().SetGraphic(std::move(bitmap));
    const QImage shot = page.grab().toImage();
    QCOMPARE(shot.pixelColor(0, 2), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(1, 1), QColor(0, 0xA0, 0));

    image->SetTransparent(false);
    const QImage opaque = page.grab().toImage();
    QCOMPARE(opaque.pixelColor(0, 2), QColor(0, 0, 0xFF));
}

void ImageTest::transparentBecomesThePicturesFlag()
{
    TImage image;
    image.SetTransparent(true);
    image.Picture().SetGraphic(Filled(2, 2, 0, 0));
    QVERIFY(image.Picture().Graphic()->Transparent());
    image.SetTransparent(false);
    QVERIFY(!image.Picture().Graphic()->Transparent());
}

} // namespace quorin

QTEST_MAIN(quorin::ImageTest)
#include "ImageTest.moc"
