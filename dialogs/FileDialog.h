#pragma once
// The tool's file dialogs: Qt's own dialog (the same on every platform),
// placed as every file dialog of the tool is placed, and opening each time on
// the file chosen last in it.

#include <QFileDialog>
#include <QString>

namespace quorin {

// A filter as the windows write it, "Entry|pattern" pairs joined by "|",
// as Qt's name filters: "Entry (pattern)". With HideNameFilterDetails set,
// Qt shows each entry exactly as written.
QStringList NameFilters(const QString& filter);

class TFileDialog : public QFileDialog {
    Q_OBJECT
public:
    // No title of its own; the filter's first entry selected; a typed name
    // of a missing file is returned like any other.
    TFileDialog(const QString& name, AcceptMode mode, const QString& filter, QWidget* parent);

    // Shows the dialog modally; true when the user chose a file.
    bool Execute();
    // The file chosen last, with the platform's separators; empty before.
    QString FileName() const;
    // Offers the filter's entries, the one chosen keeping its place.
    void SetFilter(const QString& filter);

public slots:
    void accept() override;
    void done(int result) override;

protected:
    // Runs each time the dialog has been set up, before it is placed and shown.
    virtual void Showing() {}
    // Runs after Showing when the dialog opens on the file chosen last.
    virtual void OpeningOn(const QString& /*path*/) {}

private:
    QString fileName_;
};

} // namespace quorin
