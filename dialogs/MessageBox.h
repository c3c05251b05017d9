#pragma once
// The message box the tool builds itself (the information box among them):
// icon, message and a centred row of buttons laid out in dialog units, and
// Ctrl+C copying the box as plain text.

#include <QDialog>
#include <QString>
#include <vector>

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

    QPushButton* cancelButton_ = nullptr;
    TModalResult result_ = TModalResult::None;
};

// Shows the box modally and returns the button pressed (Esc and the close
// button press the box's cancel button: Cancel, else No, else OK).
TModalResult ShowMessageBox(const QString& message, TMsgDlgType kind, std::vector<TMsgDlgBtn> buttons);

} // namespace quorin
