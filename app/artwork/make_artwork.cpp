// Draws the windows' artwork and writes it in the form stored with window
// layouts: one byte n, n bytes of class name ("TJPEGImage" or "TBitmap"), a
// 32-bit little-endian byte count, then the picture file.
//
//   make_artwork <output folder> [<dialogs' artwork folder>]
//   make_artwork --icons <icon folder>
//
// The second folder receives the picture dialog's preview glyph, a plain
// 16-colour bitmap file. --icons writes only the program's desktop icon as
// PNG files in the icon theme's sizes (dist/icons), named
// quorin-unit-packer-<size>.png.
//
// The pictures are ours, drawn here from shapes: the Roman world in deep red
// and gold. Re-run it after changing a drawing and commit the outputs.

#include <QBuffer>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QtMath>
#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

const QColor DeepRed(0x7a, 0x12, 0x0c);
const QColor DarkRed(0x3e, 0x07, 0x05);
const QColor Gold(0xd8, 0xa9, 0x3b);
const QColor PaleGold(0xf4, 0xdc, 0x8c);
const QColor Parchment(0xf3, 0xe4, 0xbc);
// The About window's face: what the emblem's and banner's corners blend into
// where they are drawn without their transparent colour.
const QColor ButtonFace(0xef, 0xef, 0xef);
const QColor IconKey(0xff, 0x00, 0xff);

QFont SerifFont(int pixels, bool bold = true)
{
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont SansFont(int pixels, bool bold = true)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// One laurel leaf along direction angle (degrees) from its stem at origin.
void DrawLeaf(QPainter& p, QPointF stem, double angle, double length, const QColor& colour)
{
    p.save();
    p.translate(stem);
    p.rotate(angle);
    QPainterPath leaf;
    leaf.moveTo(0, 0);
    leaf.quadTo(length * 0.5, -length * 0.32, length, 0);
    leaf.quadTo(length * 0.5, length * 0.32, 0, 0);
    p.fillPath(leaf, colour);
    p.restore();
}

// A laurel branch curving along a circle arc from start to end angle.
void DrawLaurelArc(QPainter& p, QPointF centre, double radius, double fromDeg, double toDeg, int leaves, double leafLength,
                   const QColor& colour)
{
    const double step = (toDeg - fromDeg) / leaves;
    QPen stemPen(colour, 1.2);
    p.setPen(stemPen);
    p.setBrush(Qt::NoBrush);
    QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(circle, int(-fromDeg * 16), int(-(toDeg - fromDeg) * 16));
    for (int i = 0; i < leaves; ++i) {
        const double a = qDegreesToRadians(fromDeg + step * (i + 0.5));
        const QPointF at(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
        const double tangent = fromDeg + step * (i + 0.5) + (step > 0 ? 90 : -90);
        DrawLeaf(p, at, tangent - 35, leafLength, colour);
        DrawLeaf(p, at, tangent + 35, leafLength, colour);
    }
}

// A Greek key running right from origin, cell pixels per turn.
void DrawMeander(QPainter& p, QPointF origin, int cells, double cell, const QPen& pen)
{
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    const double u = cell / 4;
    path.moveTo(origin.x(), origin.y() + 4 * u);
    for (int i = 0; i < cells; ++i) {
        const double x = origin.x() + i * cell, y = origin.y();
        path.lineTo(x, y + 4 * u);
        path.lineTo(x, y);
        path.lineTo(x + 3 * u, y);
        path.lineTo(x + 3 * u, y + 3 * u);
        path.lineTo(x + u, y + 3 * u);
        path.lineTo(x + u, y + u);
        path.lineTo(x + 2 * u, y + u);
        path.lineTo(x + 2 * u, y + 2 * u);
        path.moveTo(x + 3 * u, y + 4 * u);
        path.lineTo(x + 4 * u, y + 4 * u);
    }
    p.drawPath(path);
}

// A temple front: steps, columns, beam and pediment, in one colour.
void DrawTemple(QPainter& p, const QRectF& box, int columns, const QColor& colour, const QColor& shade)
{
    const double w = box.width(), h = box.height();
    const double stepH = h * 0.05;
    for (int i = 0; i < 3; ++i)
        p.fillRect(QRectF(box.left() + i * w * 0.02, box.bottom() - (i + 1) * stepH, w - i * w * 0.04, stepH - 1), colour);
    const double top = box.top() + h * 0.38;
    const double beam = h * 0.08;
    const double colBottom = box.bottom() - 3 * stepH;
    const double span = w * 0.84;
    const double colW = span / (columns * 2 - 1) * 0.9;
    for (int i = 0; i < columns; ++i) {
        const double cx = box.left() + w * 0.08 + colW / 2 + i * (span - colW) / (columns - 1);
        p.fillRect(QRectF(cx - colW / 2, top + beam, colW, colBottom - top - beam), colour);
        p.fillRect(QRectF(cx - colW * 0.7, top + beam, colW * 1.4, h * 0.025), colour);
        p.fillRect(QRectF(cx - colW * 0.7, colBottom - h * 0.025, colW * 1.4, h * 0.025), colour);
        p.setPen(QPen(shade, 1));
        p.drawLine(QPointF(cx, top + beam + 3), QPointF(cx, colBottom - 4));
    }
    p.fillRect(QRectF(box.left() + w * 0.03, top, w * 0.94, beam), colour);
    QPainterPath pediment;
    pediment.moveTo(box.left(), top);
    pediment.lineTo(box.center().x(), box.top());
    pediment.lineTo(box.right(), top);
    pediment.closeSubpath();
    p.fillPath(pediment, colour);
    QPainterPath inner;
    inner.moveTo(box.left() + w * 0.16, top - h * 0.04);
    inner.lineTo(box.center().x(), box.top() + h * 0.1);
    inner.lineTo(box.right() - w * 0.16, top - h * 0.04);
    inner.closeSubpath();
    p.fillPath(inner, shade);
}

void DrawTitle(QPainter& p)
{
    const QString title = QStringLiteral("QUORIN \u00B7 UNIT \u00B7 PACKER");
    QFont font = SerifFont(28);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(font);
    p.setPen(QColor(0xb8, 0x8a, 0x2c));
    p.drawText(QPointF(19, 41), title);
    p.setPen(DeepRed);
    p.drawText(QPointF(17, 39), title);
}

void DrawTopBand(QPainter& p)
{
    QLinearGradient band(0, 0, 0, 64);
    band.setColorAt(0, Parchment);
    band.setColorAt(1, QColor(0xdc, 0xbc, 0x78));
    p.fillRect(QRect(0, 0, 800, 64), band);
    p.fillRect(QRect(0, 61, 800, 3), Gold);
    p.fillRect(QRect(0, 64, 800, 1), DarkRed);
    DrawTitle(p);
    DrawLaurelArc(p, QPointF(745, 30), 20, 200, 340, 6, 8, QColor(0x6f, 0x7a, 0x2a));
    DrawLaurelArc(p, QPointF(745, 30), 20, -20, 130, 6, 8, QColor(0x6f, 0x7a, 0x2a));
    p.setFont(SerifFont(16));
    p.setPen(DeepRed);
    p.drawText(QRectF(725, 12, 40, 36), Qt::AlignCenter, QStringLiteral("Q"));
}

// Faint veins, so the red reads as stone rather than paint.
void DrawVeins(QPainter& p, QRandomGenerator& random)
{
    for (int i = 0; i < 40; ++i) {
        QPainterPath vein;
        QPointF at(random.bounded(800), 64 + random.bounded(536));
        vein.moveTo(at);
        for (int k = 0; k < 4; ++k) {
            const QPointF next = at + QPointF(random.bounded(120) - 60, random.bounded(80) - 20);
            vein.quadTo(at + QPointF(random.bounded(40) - 20, random.bounded(40) - 20), next);
            at = next;
        }
        p.setPen(QPen(QColor(255, 200, 160, 6 + random.bounded(8)), 1));
        p.drawPath(vein);
    }
}

void DrawPlaque(QPainter& p, const QRectF& box)
{
    p.setPen(QPen(Gold, 1));
    p.setBrush(QColor(0x30, 0x04, 0x03, 120));
    p.drawRoundedRect(box, 4, 4);
    p.setPen(QPen(QColor(0xd8, 0xa9, 0x3b, 90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box.adjusted(3, 3, -3, -3), 2, 2);
}

QImage Background()
{
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient red(0, 64, 0, 600);
    red.setColorAt(0, QColor(0x8e, 0x1a, 0x12));
    red.setColorAt(0.6, DeepRed);
    red.setColorAt(1, DarkRed);
    p.fillRect(image.rect(), red);
    QRandomGenerator random(1755);
    DrawVeins(p, random);
    DrawTopBand(p);

    // The gold key down the column's edge, along the pages.
    p.save();
    p.translate(218, 76);
    p.rotate(90);
    DrawMeander(p, QPointF(0, 0), 40, 12.5, QPen(Gold, 1.5));
    p.restore();
    DrawMeander(p, QPointF(0, 589), 64, 12.5, QPen(QColor(0xd8, 0xa9, 0x3b, 140), 1.2));

    // A small wreath over the page buttons.
    DrawLaurelArc(p, QPointF(84, 92), 18, 105, 255, 5, 8, Gold);
    DrawLaurelArc(p, QPointF(84, 92), 18, 75, -75, 5, 8, Gold);
    p.setFont(SerifFont(17));
    p.setPen(PaleGold);
    p.drawText(QRectF(64, 74, 40, 36), Qt::AlignCenter, QStringLiteral("Q"));

    DrawPlaque(p, QRectF(2, 114, 166, 174));
    DrawPlaque(p, QRectF(2, 314, 166, 54));
    // Opening and saving a unit, a plaque of their own; the temple stands below.
    DrawPlaque(p, QRectF(2, 374, 166, 62));

    DrawTemple(p, QRectF(36, 441, 98, 75), 4, QColor(0xd8, 0xa9, 0x3b, 210), QColor(0x5a, 0x0c, 0x08));
    p.setPen(QPen(Gold, 1));
    p.drawLine(QPointF(0, 519), QPointF(172, 519));
    return image;
}

// The support forum's banner; its corners take the transparent colour.
QImage ForumBanner()
{
    QImage image(161, 38, QImage::Format_RGB32);
    image.fill(ButtonFace);
    QPainter p(&image);
    QLinearGradient red(0, 0, 0, 38);
    red.setColorAt(0, QColor(0x9a, 0x1e, 0x14));
    red.setColorAt(1, DarkRed);
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 0, 161, 38), 5, 5);
    p.fillPath(body, red);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Gold, 1));
    p.drawRoundedRect(QRectF(2.5, 2.5, 156, 33), 3, 3);
    QRadialGradient coin(QPointF(18, 17), 13);
    coin.setColorAt(0, PaleGold);
    coin.setColorAt(1, QColor(0xa8, 0x7a, 0x20));
    p.setBrush(coin);
    p.setPen(QPen(QColor(0x6a, 0x40, 0x10), 1));
    p.drawEllipse(QPointF(19, 19), 12, 12);
    p.setFont(SerifFont(15));
    p.setPen(DeepRed);
    p.drawText(QRectF(7, 7, 24, 24), Qt::AlignCenter, QStringLiteral("Q"));
    const QString heading = QStringLiteral("Форум Quorin");
    QFont headingFont = SerifFont(14);
    while (QFontMetrics(headingFont).horizontalAdvance(heading) > 116 && headingFont.pixelSize() > 9)
        headingFont.setPixelSize(headingFont.pixelSize() - 1);
    p.setFont(headingFont);
    p.setPen(PaleGold);
    p.drawText(QRectF(37, 4, 120, 17), Qt::AlignLeft | Qt::AlignVCenter, heading);
    p.setFont(SansFont(10, false));
    p.setPen(Parchment);
    p.drawText(QRectF(37, 19, 120, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("www.example.org"));
    return image;
}

// A legion's shield with its boss and lightning, on the transparent colour.
QImage Emblem()
{
    QImage image(48, 64, QImage::Format_RGB32);
    image.fill(ButtonFace);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF shield(5, 2, 38, 59);
    QLinearGradient red(shield.left(), 0, shield.right(), 0);
    red.setColorAt(0, DarkRed);
    red.setColorAt(0.45, QColor(0xb0, 0x22, 0x16));
    red.setColorAt(1, DarkRed);
    p.setPen(QPen(Gold, 2));
    p.setBrush(red);
    p.drawRoundedRect(shield, 6, 10);
    p.setPen(QPen(Gold, 1.4));
    const QPointF c = shield.center();
    for (int sx : {-1, 1})
        for (int sy : {-1, 1}) {
            QPainterPath bolt;
            bolt.moveTo(c + QPointF(sx * 5, sy * 5));
            bolt.lineTo(c + QPointF(sx * 10, sy * 11));
            bolt.lineTo(c + QPointF(sx * 7, sy * 13));
            bolt.lineTo(c + QPointF(sx * 13, sy * 23));
            p.drawPath(bolt);
        }
    p.fillRect(QRectF(c.x() - 1, shield.top() + 3, 2, shield.height() - 6), Gold);
    QRadialGradient boss(c + QPointF(-2, -2), 8);
    boss.setColorAt(0, PaleGold);
    boss.setColorAt(1, QColor(0x9a, 0x6c, 0x18));
    p.setBrush(boss);
    p.setPen(QPen(QColor(0x5a, 0x36, 0x08), 1));
    p.drawEllipse(c, 7, 7);
    return image;
}

// The program's icon: the emblem's shield, square and on transparency, for
// the desktop's menus and file managers. Drawn in 64 units scaled to size;
// strokes keep at least one pixel and the bolts are left out where they
// would blur into the shield.
QImage AppIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / 64.0;
    p.scale(scale, scale);
    const auto stroke = [scale](double units) { return std::max(units, 1.0 / scale); };
    const QRectF shield(10, 1.5, 44, 61);
    QLinearGradient red(shield.left(), 0, shield.right(), 0);
    red.setColorAt(0, DarkRed);
    red.setColorAt(0.45, QColor(0xb0, 0x22, 0x16));
    red.setColorAt(1, DarkRed);
    p.setPen(QPen(Gold, stroke(3)));
    p.setBrush(red);
    p.drawRoundedRect(shield, 7, 11);
    const QPointF c = shield.center();
    if (size >= 32) {
        p.setPen(QPen(Gold, stroke(2)));
        p.setBrush(Qt::NoBrush);
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                QPainterPath bolt;
                bolt.moveTo(c + QPointF(sx * 6, sy * 6));
                bolt.lineTo(c + QPointF(sx * 12, sy * 12));
                bolt.lineTo(c + QPointF(sx * 8, sy * 15));
                bolt.lineTo(c + QPointF(sx * 15, sy * 25));
                p.drawPath(bolt);
            }
    }
    const double spine = stroke(2.5);
    p.fillRect(QRectF(c.x() - spine / 2, shield.top() + 3, spine, shield.height() - 6), Gold);
    QRadialGradient boss(c + QPointF(-2.5, -2.5), 10);
    boss.setColorAt(0, PaleGold);
    boss.setColorAt(1, QColor(0x9a, 0x6c, 0x18));
    p.setBrush(boss);
    p.setPen(QPen(QColor(0x5a, 0x36, 0x08), stroke(1.2)));
    p.drawEllipse(c, 9, 9);
    return image;
}

QImage Illustration()
{
    QImage image(140, 140, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 110);
    sky.setColorAt(0, QColor(0x5a, 0x0a, 0x10));
    sky.setColorAt(0.55, QColor(0xc0, 0x3a, 0x1a));
    sky.setColorAt(1, QColor(0xf6, 0xc0, 0x5a));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(QPointF(70, 92), 34);
    sun.setColorAt(0, QColor(0xff, 0xf0, 0xb0));
    sun.setColorAt(0.45, QColor(0xff, 0xd0, 0x60));
    sun.setColorAt(1, QColor(0xff, 0xd0, 0x60, 0));
    p.fillRect(image.rect(), sun);
    const QColor silhouette(0x30, 0x06, 0x05);
    DrawTemple(p, QRectF(28, 48, 84, 70), 6, silhouette, QColor(0x5c, 0x14, 0x0a));
    for (double x : {12.0, 124.0}) {
        QPainterPath cypress;
        cypress.moveTo(x, 62);
        cypress.quadTo(x + 8, 90, x + 5, 118);
        cypress.lineTo(x - 5, 118);
        cypress.quadTo(x - 8, 90, x, 62);
        p.fillPath(cypress, silhouette);
    }
    p.fillRect(QRectF(0, 117, 140, 23), QColor(0x24, 0x05, 0x04));
    p.setPen(QPen(QColor(0xd8, 0xa9, 0x3b, 160), 1));
    p.drawLine(QPointF(0, 117.5), QPointF(140, 117.5));
    return image;
}

// The 16 x 16 button icons, drawn pixel-sharp on the transparent colour.
QImage IconCanvas()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(IconKey);
    return image;
}

QImage IconFolder()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    const QColor outline(0x6a, 0x48, 0x10);
    p.setPen(outline);
    p.setBrush(QColor(0xc8, 0x98, 0x30));
    p.drawRect(1, 3, 12, 10);
    p.fillRect(2, 2, 4, 1, QColor(0xc8, 0x98, 0x30));
    p.drawLine(1, 2, 6, 2);
    const QPoint flap[] = {{3, 7}, {15, 7}, {12, 13}, {1, 13}};
    p.setBrush(QColor(0xf4, 0xd0, 0x60));
    p.drawPolygon(flap, 4);
    return image;
}

QImage IconDoorway()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    p.fillRect(7, 1, 8, 14, QColor(0x70, 0x44, 0x1c));
    p.fillRect(8, 2, 6, 13, QColor(0x20, 0x10, 0x08));
    p.setPen(QColor(0x20, 0x60, 0xc0));
    p.setBrush(QColor(0x20, 0x60, 0xc0));
    p.drawEllipse(4, 2, 2, 2);
    p.drawLine(5, 5, 6, 9);
    p.drawLine(5, 6, 2, 8);
    p.drawLine(5, 6, 8, 7);
    p.drawLine(6, 9, 3, 13);
    p.drawLine(6, 9, 9, 12);
    p.drawLine(9, 12, 9, 14);
    p.fillRect(0, 15, 16, 1, QColor(0x50, 0x50, 0x50));
    image.setPixelColor(0, 15, IconKey);
    return image;
}

QImage IconBin()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    const QColor outline(0x40, 0x40, 0x48);
    p.setPen(outline);
    p.setBrush(QColor(0xb8, 0xbc, 0xc4));
    p.drawRect(3, 4, 9, 10);
    p.drawLine(2, 3, 13, 3);
    p.drawLine(6, 1, 9, 1);
    p.drawLine(6, 1, 6, 2);
    p.drawLine(9, 1, 9, 2);
    for (int x : {5, 7, 9})
        p.drawLine(x + 0, 6, x + 0, 12);
    return image;
}

QImage IconFloppy()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    p.setPen(QColor(0x10, 0x18, 0x40));
    p.setBrush(QColor(0x30, 0x48, 0x98));
    p.drawRect(1, 1, 13, 13);
    p.fillRect(4, 2, 8, 5, QColor(0xf0, 0xf0, 0xf0));
    p.fillRect(5, 10, 6, 4, QColor(0xa8, 0xb0, 0xb8));
    p.fillRect(9, 11, 1, 2, QColor(0x30, 0x48, 0x98));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawLine(5, 4, 10, 4);
    return image;
}

QImage IconTools()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    // A hammer leaning right and a wrench leaning left, crossed.
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x20), 2));
    p.drawLine(4, 13, 11, 6);
    p.setPen(QColor(0x40, 0x40, 0x48));
    p.setBrush(QColor(0x80, 0x84, 0x90));
    const QPoint head[] = {{8, 3}, {11, 0}, {15, 4}, {12, 7}};
    p.drawPolygon(head, 4);
    p.setPen(QPen(QColor(0x90, 0x94, 0xa0), 2));
    p.drawLine(12, 13, 5, 6);
    p.setPen(QColor(0x40, 0x40, 0x48));
    p.setBrush(QColor(0x90, 0x94, 0xa0));
    p.drawEllipse(1, 1, 5, 5);
    p.fillRect(3, 3, 2, 2, IconKey);
    return image;
}

// The preview button's glyph: a magnifying glass over a small landscape.
QImage IconPreview()
{
    QImage image = IconCanvas();
    QPainter p(&image);
    p.fillRect(1, 1, 11, 9, QColor(0x00, 0xff, 0xff));
    p.fillRect(1, 7, 11, 3, QColor(0x00, 0x80, 0x00));
    p.setPen(QColor(0x00, 0x00, 0x80));
    p.drawRect(0, 0, 12, 10);
    p.fillRect(8, 2, 2, 2, QColor(0xff, 0xff, 0x00));
    p.setPen(QColor(0x00, 0x00, 0x00));
    p.setBrush(QColor(0xff, 0xff, 0xff));
    p.drawEllipse(6, 5, 6, 6);
    p.setPen(QPen(QColor(0x80, 0x00, 0x00), 2));
    p.drawLine(12, 11, 14, 13);
    return image;
}

// The sixteen colours of the classic 4-bit palette; the key colour is one.
const QRgb SixteenColours[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xc0c0c0,
    0x808080, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff,
};

int NearestOfSixteen(QRgb colour)
{
    int best = 0, bestDistance = INT_MAX;
    for (int i = 0; i < 16; ++i) {
        const int dr = qRed(colour) - qRed(SixteenColours[i]);
        const int dg = qGreen(colour) - qGreen(SixteenColours[i]);
        const int db = qBlue(colour) - qBlue(SixteenColours[i]);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void PutLE(QByteArray& bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

// A 4-bit bitmap file, bottom-up rows; Qt writes 4-bit files as 8-bit.
QByteArray Encode16Colours(const QImage& image)
{
    const int stride = ((image.width() * 4 + 31) / 32) * 4;
    const quint32 offset = 14 + 40 + 16 * 4;
    const quint32 size = offset + quint32(stride * image.height());
    QByteArray bytes;
    bytes.append("BM");
    PutLE(bytes, size, 4);
    PutLE(bytes, 0, 4);
    PutLE(bytes, offset, 4);
    PutLE(bytes, 40, 4);
    PutLE(bytes, quint32(image.width()), 4);
    PutLE(bytes, quint32(image.height()), 4);
    PutLE(bytes, 1, 2);
    PutLE(bytes, 4, 2);
    PutLE(bytes, 0, 4); // uncompressed
    PutLE(bytes, quint32(stride * image.height()), 4);
    PutLE(bytes, 0, 4);
    PutLE(bytes, 0, 4);
    PutLE(bytes, 16, 4);
    PutLE(bytes, 0, 4);
    for (QRgb colour : SixteenColours)
        PutLE(bytes, colour & 0xFFFFFF, 4); // blue, green, red, 0
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const int index = NearestOfSixteen(image.pixel(x, y));
            row[x / 2] = char(row[x / 2] | (x % 2 ? index : index << 4));
        }
        bytes.append(row);
    }
    return bytes;
}

QByteArray Encode(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        std::fprintf(stderr, "cannot encode %s\n", format);
    return bytes;
}

bool WriteStored(const QString& path, const QByteArray& className, const QByteArray& file)
{
    QByteArray stored;
    stored.append(char(className.size()));
    stored.append(className);
    const quint32 count = quint32(file.size());
    for (int i = 0; i < 4; ++i)
        stored.append(char((count >> (8 * i)) & 0xFF));
    stored.append(file);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(stored) != stored.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool WriteJpeg(const QString& folder, const char* name, const QImage& image)
{
    return WriteStored(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".picture"), "TJPEGImage", Encode(image, "JPG", 85));
}

bool WriteBitmap(const QString& folder, const char* name, const QImage& image)
{
    return WriteStored(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".picture"), "TBitmap",
                       Encode(image.convertToFormat(QImage::Format_RGB888), "BMP", -1));
}

// The sizes desktops ask the icon theme for, from menus to file previews.
bool WriteIcons(const QString& folder)
{
    bool ok = true;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = folder + QStringLiteral("/quorin-unit-packer-%1.png").arg(size);
        if (!AppIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv); // fonts need it
    if (argc == 3 && qstrcmp(argv[1], "--icons") == 0)
        return WriteIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_artwork <output folder> [<dialogs' artwork folder>]\n"
                             "       make_artwork --icons <icon folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = WriteJpeg(folder, "Background", Background());
    ok = WriteBitmap(folder, "ForumBanner", ForumBanner()) && ok;
    ok = WriteBitmap(folder, "Emblem", Emblem()) && ok;
    ok = WriteJpeg(folder, "Illustration", Illustration()) && ok;
    ok = WriteBitmap(folder, "IconFolder", IconFolder()) && ok;
    ok = WriteBitmap(folder, "IconDoorway", IconDoorway()) && ok;
    ok = WriteBitmap(folder, "IconBin", IconBin()) && ok;
    ok = WriteBitmap(folder, "IconFloppy", IconFloppy()) && ok;
    ok = WriteBitmap(folder, "IconTools", IconTools()) && ok;
    if (argc == 3) {
        QFile glyph(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/PreviewGlyph.bmp"));
        const QByteArray bytes = Encode16Colours(IconPreview());
        ok = glyph.open(QIODevice::WriteOnly) && glyph.write(bytes) == bytes.size() && ok;
    }
    return ok ? 0 : 1;
}
