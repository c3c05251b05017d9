#pragma once
// Where the tool's own windows and its file dialogs appear.

class QWidget;

namespace quorin {

// Centres a top-level window on the primary screen.
void CentreOnScreen(QWidget& window);

// Places a file dialog as every file dialog of the tool is placed: centred
// horizontally on the monitor of the active window (or of the dialog's
// parent), its top at one third of the height the dialog leaves free.
void PlaceFileDialog(QWidget& dialog);

} // namespace quorin
