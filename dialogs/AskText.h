#pragma once
// The input prompt: a caption, a prompt line and one text field with OK and
// Cancel, laid out in dialog units of its font.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorin {

// The most characters (code points, not bytes) the prompt's field accepts.
inline constexpr int AskTextMaxLength = 255;

class TAskTextDialog : public QDialog {
    Q_OBJECT
public:
    TAskTextDialog(const QString& caption, const QString& prompt, const QString& value, QWidget* parent = nullptr);

    QString Value() const;

    QLabel* Prompt = nullptr;
    QLineEdit* Edit = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    void CreateControls(const QString& prompt, const QString& value);
    void LayOut();
};

// On OK stores the field's text into value and returns true; otherwise leaves
// value as it was and returns false (Cancel, Esc and the close button alike).
bool AskTextConfirmed(const QString& caption, const QString& prompt, QString& value);
// The field's text on OK, otherwise the default: a cancel cannot be told apart.
QString AskText(const QString& caption, const QString& prompt, const QString& defaultText);

} // namespace quorin
