#include "OpenPictureDialog.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "Glyph.h"
#include "Image.h"
#include "Placement.h"
#include "SpeedButton.h"

namespace quorin {

namespace {

constexpr int PanelBorder = 6;
constexpr int LabelStrip = 23;
constexpr int PanelWidth = 169;
constexpr int FullViewBorder = 5;

// The pane's panel: a fixed-width column whose children stand where the
// dialog's layout puts them, the label strip on top and the paint panel
// filling the rest, with the preview button at the strip's right end.
class TPicturePanel : public QWidget {
public:
    using QWidget::QWidget;
    QLabel* Label = nullptr;
    QWidget* Button = nullptr;
    QWidget* Paint = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        const int inner = width() - 2 * PanelBorder;
        Label->setGeometry(PanelBorder, PanelBorder, inner, LabelStrip);
        Paint->setGeometry(PanelBorder, PanelBorder + LabelStrip, inner,
                           std::max(0, height() - 2 * PanelBorder - LabelStrip));
        Button->move(Paint->geometry().x() + Paint->width() - Button->width() - 2, 1);
    }
};

void SetBevel(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

} // namespace

TSilentPaintPanel::TSilentPaintPanel(QWidget* parent) : QWidget(parent)
{
    setContentsMargins(2, 2, 2, 2);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void TSilentPaintPanel::SetCaption(const QString& caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    update();
}

void TSilentPaintPanel::Silence(TImage& image)
{
    image.OnPaintFailure = [this] { SetCaption(QStringLiteral("Invalid image")); };
}

void TSilentPaintPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    SetBevel(painter, outer, dark, light);                          // lowered
    SetBevel(painter, outer.adjusted(1, 1, -1, -1), light, dark);   // raised
    if (!caption_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, caption_);
    }
}

TOpenPictureDialog::TOpenPictureDialog(const QString& name, const QString& filter, QWidget* parent)
    : TFileDialog(name, AcceptOpen, filter, parent)
{
    CreatePane();
    connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::SelectionChanged);
    // Qt tells of a moved cursor only; a file selected without moving it (the
    // file the dialog opens on, a name typed into the name field) is
    // followed through the views' shared selection.
    if (auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView")); view && view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            const QStringList files = selectedFiles();
            if (!files.isEmpty())
                SelectionChanged(files.constFirst());
        });
}

void TOpenPictureDialog::CreatePane()
{
    auto* panel = new TPicturePanel(this);
    PicturePanel = panel;
    PicturePanel->setObjectName(QStringLiteral("PicturePanel"));
    PicturePanel->setFixedWidth(PanelWidth);
    PicturePanel->setMinimumHeight(200);

    PictureLabel = new QLabel(PicturePanel);
    PictureLabel->setObjectName(QStringLiteral("PictureLabel"));
    PictureLabel->setTextFormat(Qt::PlainText);
    PictureLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    PreviewButton = new TSpeedButton(QStringLiteral("PreviewButton"), QString(), QRect(77, 1, 23, 22), PicturePanel);
    PreviewButton->SetGlyph(PreviewGlyph());
    PreviewButton->setToolTip(QStringLiteral("Preview"));
    PreviewButton->setEnabled(false);
    connect(PreviewButton, &QToolButton::clicked, this, &TOpenPictureDialog::ShowFullView);

    PaintPanel = new TSilentPaintPanel(PicturePanel);
    PaintPanel->setObjectName(QStringLiteral("PaintPanel"));
    PaintBox = new TImage(PaintPanel);
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    PaintBox->SetStretch(true);
    PaintBox->SetProportional(true);
    PaintBox->SetCenter(true);
    PaintPanel->layout()->addWidget(PaintBox);
    PaintPanel->Silence(*PaintBox);
    connect(PaintBox, &TImage::DoubleClicked, this, &TOpenPictureDialog::ShowFullView);

    panel->Label = PictureLabel;
    panel->Button = PreviewButton;
    panel->Paint = PaintPanel;
    PreviewButton->raise();

    // Qt's own dialog lays its controls out in a grid: the pane becomes a
    // column of its own on the right, as tall as the dialog, 4 pixels down.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        auto* column = new QVBoxLayout;
        column->setContentsMargins(0, 4, 0, 0);
        column->addWidget(PicturePanel);
        grid->addLayout(column, 0, grid->columnCount(), grid->rowCount(), 1);
    }
}

void TOpenPictureDialog::Showing()
{
    PaintBox->Picture().Clear();
    lastPath_.clear();
    PaintPanel->SetCaption(QStringLiteral("(None)"));
}

void TOpenPictureDialog::OpeningOn(const QString& path)
{
    // The name the dialog opens on is the file under the cursor: shown at
    // once, whether or not Qt also selects it in its list later.
    SelectionChanged(path);
}

void TOpenPictureDialog::done(int result)
{
    QToolTip::hideText();
    TFileDialog::done(result);
}

void TOpenPictureDialog::SelectionChanged(const QString& path)
{
    if (path == lastPath_)
        return;
    lastPath_ = path;
    const QFileInfo info(path);
    if (!info.isFile()) {
        ShowNoPicture();
        return;
    }
    try {
        ShowPicture(path);
    } catch (...) {
        // A file the registry cannot decode simply is not a picture here.
        ShowNoPicture();
    }
}

void TOpenPictureDialog::ShowPicture(const QString& path)
{
    TPicture& picture = PaintBox->Picture();
    picture.LoadByExtension(path.toStdString());
    PictureLabel->setText(QString::asprintf(" (%dx%d)", picture.Width(), picture.Height()));
    PreviewButton->setEnabled(true);
    PaintPanel->SetCaption(QString());
}

void TOpenPictureDialog::ShowNoPicture()
{
    PictureLabel->setText(QStringLiteral("Picture:"));
    PreviewButton->setEnabled(false);
    PaintBox->Picture().Clear();
    PaintPanel->SetCaption(QStringLiteral("(None)"));
}

QSize FullViewClientSize(QSize picture, QSize chrome, QSize monitor)
{
    return {std::min(monitor.width() * 3 / 4, chrome.width() + picture.width() + 2 * FullViewBorder),
            std::min(monitor.height() * 3 / 4, chrome.height() + picture.height() + 2 * FullViewBorder)};
}

void TOpenPictureDialog::ShowFullView()
{
    QDialog form(this, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    form.setObjectName(QStringLiteral("PreviewForm"));
    form.setWindowTitle(QStringLiteral("Preview"));

    auto* panel = new QFrame(&form);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Base));
    panel->setPalette(colours);
    auto* outer = new QVBoxLayout(&form);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);

    auto* image = new TImage(panel);
    image->setObjectName(QStringLiteral("Image"));
    image->SetStretch(true);
    image->SetProportional(true);
    image->SetCenter(true);
    image->Picture().CopyFrom(PaintBox->Picture());
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(FullViewBorder, FullViewBorder, FullViewBorder, FullViewBorder);
    inner->addWidget(image);

    form.resize(320, 240);
    if (image->Picture().Width() > 0) {
        outer->activate();
        const QSize chrome = form.size() - panel->contentsRect().size();
        const QScreen* screen = form.screen();
        const QSize monitor = screen ? screen->geometry().size() : QSize(1024, 768);
        const QSize picture(image->Picture().Width(), image->Picture().Height());
        form.resize(FullViewClientSize(picture, chrome, monitor));
    }
    CentreOnScreen(form);
    form.exec();
}

} // namespace quorin
