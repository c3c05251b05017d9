#pragma once
// The open dialog with a picture preview: Qt's own file dialog widened by a
// pane on the right that decodes the file under the cursor through the
// picture registry, shows its size and the picture scaled into the pane, and
// opens it in a full view on request.

#include <QString>
#include <QWidget>

#include "FileDialog.h"

class QDialog;
class QLabel;

namespace quorin {

class TImage;
class TSpeedButton;

// A panel with a lowered outer and a raised inner bevel that shows its
// caption centred. A failure while the picture inside it paints goes no
// further: the caption becomes "Invalid image".
class TSilentPaintPanel : public QWidget {
    Q_OBJECT
public:
    explicit TSilentPaintPanel(QWidget* parent);

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    // Keeps image's paint failures inside this panel.
    void Silence(TImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

class TOpenPictureDialog : public TFileDialog {
    Q_OBJECT
public:
    TOpenPictureDialog(const QString& name, const QString& filter, QWidget* parent);

    // The selection-change notification: updates the pane for the file at
    // path. Nothing a decoder raises gets out of here.
    void SelectionChanged(const QString& path);
    // The full view of the pane's picture, modal, closed by Esc.
    void ShowFullView();

    QWidget* PicturePanel = nullptr;
    QLabel* PictureLabel = nullptr;
    TSpeedButton* PreviewButton = nullptr;
    TSilentPaintPanel* PaintPanel = nullptr;
    TImage* PaintBox = nullptr;

public slots:
    void done(int result) override;

protected:
    void Showing() override;
    void OpeningOn(const QString& path) override;

private:
    void CreatePane();
    void ShowPicture(const QString& path);
    void ShowNoPicture();

    QString lastPath_; // the path the pane was last updated for
};

// The full view's client size for a w x h picture: the picture at its own
// size inside the panel's frame and border, at most three quarters of the
// monitor each way. chrome is what the window's client area has beyond the
// panel's inner area.
QSize FullViewClientSize(QSize picture, QSize chrome, QSize monitor);

} // namespace quorin
