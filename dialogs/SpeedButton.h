#pragma once
// A flat button: no face or frame of its own, a thin raised frame while the
// mouse is over it and a sunken one while it is pressed; an optional glyph
// stands left of the caption, the two centred together. It takes no focus.

#include <QPixmap>
#include <QToolButton>

namespace quorin {

class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(const QString& name, const QString& caption, const QRect& bounds, QWidget* parent);

    void SetGlyph(const QPixmap& glyph);
    const QPixmap& Glyph() const { return glyph_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawFrame(QPainter& painter) const;

    QPixmap glyph_;
};

} // namespace quorin
