#include "Image.h"

#include <QPaintEvent>
#include <QPainter>

#include "imaging/ICO.h"
#include "imaging/Metafile.h"
#include "imaging/QtCanvas.h"

namespace quorin {

TRect PlacePicture(int w, int h, int cw, int ch, bool stretch, bool proportional, bool center)
{
    int width = w, height = h;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w > 0 && h > 0) {
            const double aspect = double(w) / double(h);
            if (w > h) {
                width = cw;
                height = int(cw / aspect);
                if (height > ch) {
                    height = ch;
                    width = int(ch * aspect);
                }
            } else {
                height = ch;
                width = int(ch * aspect);
                if (width > cw) {
                    width = cw;
                    height = int(cw / aspect);
                }
            }
        } else {
            width = cw;
            height = ch;
        }
    }
    TRect rect{0, 0, width, height};
    if (center) {
        const int dx = (cw - width) / 2, dy = (ch - height) / 2;
        rect = {dx, dy, dx + width, dy + height};
    }
    return rect;
}

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    picture_.OnChange = [this] { PictureChanged(); };
}

void TImage::SetStretch(bool value)
{
    stretch_ = value;
    Invalidate();
}

void TImage::SetProportional(bool value)
{
    proportional_ = value;
    Invalidate();
}

void TImage::SetCenter(bool value)
{
    center_ = value;
    Invalidate();
}

void TImage::SetTransparent(bool value)
{
    transparent_ = value;
    ApplyTransparent();
    Invalidate();
}

TRect TImage::DestRect() const
{
    return PlacePicture(picture_.Width(), picture_.Height(), width(), height(), stretch_, proportional_, center_);
}

void TImage::PictureChanged()
{
    ApplyTransparent();
    Invalidate();
}

void TImage::ApplyTransparent()
{
    TGraphic* graphic = picture_.Graphic();
    if (!graphic)
        return;
    const TGraphicClass& type = graphic->ClassType();
    if (type.InheritsFrom(TMetafile::ClassRecord) || type.InheritsFrom(TIcon::ClassRecord))
        return;
    if (graphic->Transparent() != transparent_)
        graphic->SetTransparent(transparent_);
}

void TImage::Invalidate()
{
    cacheValid_ = false;
    update();
}

void TImage::resizeEvent(QResizeEvent* event)
{
    cacheValid_ = false;
    QWidget::resizeEvent(event);
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    emit DoubleClicked();
}

void TImage::paintEvent(QPaintEvent*)
{
    if (!OnPaintFailure) {
        Paint();
        return;
    }
    try {
        Paint();
    } catch (...) {
        cacheValid_ = false;
        OnPaintFailure();
    }
}

void TImage::Paint()
{
    const TGraphic* graphic = picture_.Graphic();
    const TRect dest = DestRect();
    if (!graphic || dest.Width() <= 0 || dest.Height() <= 0)
        return;
    if (!cacheValid_ || cache_.size() != QSize(dest.Width(), dest.Height())) {
        cache_ = QPixmap(dest.Width(), dest.Height());
        cache_.fill(Qt::transparent);
        QPainter cachePainter(&cache_);
        TQtCanvas canvas(cachePainter);
        graphic->Draw(canvas, TRect{0, 0, dest.Width(), dest.Height()});
        cacheValid_ = true;
    }
    QPainter painter(this);
    painter.drawPixmap(dest.Left, dest.Top, cache_);
}

} // namespace quorin
