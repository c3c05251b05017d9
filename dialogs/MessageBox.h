#pragma once
// The message box the tool builds itself (the information box among them):
// icon, message and a centred row of buttons laid out in dialog units, and
// Ctrl+C copying the box as plain text.

#include <QDialog>
#include <QString>
#include <vector>

class QFontMetrics;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace quorin {

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };
// In the order the buttons stand in the row.
enum class TMsgDlgBtn { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help, Close };
enum class TModalResult { None, OK, Cancel, Abort, Retry, Ignore, Yes, No, Close, Help, All, NoToAll, YesToAll };

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    TMessageForm(const QString& message, TMsgDlgType kind, std::vector<TMsgDlgBtn> buttons, QWidget* parent = nullptr);

    // The box as Ctrl+C puts it on the clipboard.
    QString ClipboardText() const;
    TModalResult Result() const { return result_; }

    QLabel* Message = nullptr;
    QLabel* Image = nullptr; // the kind's icon; null for a custom box
    std::vector<QPushButton*> Buttons;

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateButtons(const std::vector<TMsgDlgBtn>& buttons);
    void LayOut();
    void Finish(TModalResult result);

    QString message_; // as given; the label may hold it with breaks added
    QPushButton* cancelButton_ = nullptr;
    TModalResult result_ = TModalResult::None;
};

// Whether a key press asks a box to copy itself: the platform's copy
// shortcut, also where a non-Latin layout is active (a Russian layout puts
// "С" on the C key), with no other modifier than Ctrl.
bool IsCopyKey(const QKeyEvent& event);

// A box as its copy puts it on the clipboard: divider, caption, divider,
// message, divider, each button's caption (without "&") followed by three
// spaces, divider; every line ends with CR LF.
QString BoxClipboardText(const QString& caption, const QString& message, const QStringList& buttonCaptions);

// The text with a break allowed between the characters of every word wider
// than width pixels (a zero-width space after each), so that word wrapping
// keeps a long file name inside a box instead of widening it off screen.
QString BreakableText(const QString& text, const QFontMetrics& metrics, int width);
// A zero-width space, the breaks BreakableText inserts.
inline constexpr QChar ZeroWidthSpace = QChar(0x200B);

// Shows the box modally and returns the button pressed (Esc and the close
// button press the box's cancel button: Cancel, else No, else OK).
TModalResult ShowMessageBox(const QString& message, TMsgDlgType kind, std::vector<TMsgDlgBtn> buttons);

} // namespace quorin
