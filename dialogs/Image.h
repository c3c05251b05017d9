#pragma once
// A picture control: draws the picture it holds, at its own size or scaled
// into the control, optionally keeping its proportions and centred.

#include <QPixmap>
#include <QWidget>
#include <functional>

#include "imaging/Picture.h"

namespace quorin {

// Where a w x h picture lands in a cw x ch control.
TRect PlacePicture(int w, int h, int cw, int ch, bool stretch, bool proportional, bool center);

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }

    bool Stretch() const { return stretch_; }
    bool Proportional() const { return proportional_; }
    bool Center() const { return center_; }
    bool Transparent() const { return transparent_; }
    void SetStretch(bool value);
    void SetProportional(bool value);
    void SetCenter(bool value);
    // Also becomes the picture's own Transparent flag (metafiles and icons
    // keep theirs: they are transparent by nature).
    void SetTransparent(bool value);

    // The rectangle the picture is drawn into, in the control's coordinates.
    TRect DestRect() const;

    // When set, a failure while the picture paints ends here and this runs;
    // otherwise the failure goes on to the application.
    std::function<void()> OnPaintFailure;

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Paint();
    void PictureChanged();
    void ApplyTransparent();
    void Invalidate();

    TPicture picture_;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
    bool transparent_ = false;
    // The picture as last drawn; drawing a large picture through the canvas on
    // every repaint would cost more than the rest of the window together.
    QPixmap cache_;
    bool cacheValid_ = false;
};

} // namespace quorin
