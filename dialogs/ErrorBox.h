#pragma once
// The error box: the failure's message with the error icon, a single OK and
// the application's title as caption.

#include <QString>

class QMessageBox;

namespace quorin {

// The message as the error box shows it: with a full stop appended when it is
// not empty and its last character sorts after "." in the users' single-byte
// code page (letters, digits and Cyrillic letters do; ")", "!", " " do not).
QString FailureBoxText(const QString& message);

// Shows the error box modally over the active window and returns when it is
// closed; a window holding the mouse capture loses it first.
void ShowErrorBox(const QString& message, const QString& caption);

} // namespace quorin
