#include "FileDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileSystemModel>
#include <QCompleter>
#include <QDir>
#include <QLineEdit>

#include "Placement.h"

namespace quorin {

QStringList NameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return filters;
}

TFileDialog::TFileDialog(const QString& name, AcceptMode mode, const QString& filter, QWidget* parent)
    : QFileDialog(parent)
{
    setObjectName(name);
    setOptions(DontUseNativeDialog | DontConfirmOverwrite | HideNameFilterDetails);
    setAcceptMode(mode);
    setFileMode(AnyFile);
    SetFilter(filter);
}

void TFileDialog::SetFilter(const QString& filter)
{
    // The selected name filter reads as shown, without its patterns: only
    // the list's position tells which entry it is.
    const auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    const int chosen = types ? types->currentIndex() : 0;
    const QStringList filters = NameFilters(filter);
    setNameFilters(filters);
    if (chosen > 0 && chosen < filters.size())
        selectNameFilter(filters[chosen]);
}

bool TFileDialog::Execute()
{
    Showing();
    if (!fileName_.isEmpty()) {
        selectFile(fileName_);
        OpeningOn(fileName_);
    }
    PlaceFileDialog(*this);
    if (exec() != Accepted)
        return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty())
        return false;
    fileName_ = chosen.constFirst();
    return true;
}

void TFileDialog::accept()
{
    // Qt prefers the list's selection to the name field, and selects the file
    // a dialog opens on only once its folder has been read: a name typed
    // before that would lose to it. What the name field shows is what opens.
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* view = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    const QString typed = name ? name->text() : QString();
    if (view && view->selectionModel() && !typed.isEmpty() && !typed.startsWith(QLatin1Char('"'))) {
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        const bool same = rows.size() == 1 && (rows.constFirst().data().toString() == typed ||
                                               rows.constFirst().data(QFileSystemModel::FilePathRole).toString() == typed);
        if (!rows.isEmpty() && !same)
            view->selectionModel()->clearSelection();
    }
    QFileDialog::accept();
}

void TFileDialog::done(int result)
{
    // A name typed and confirmed with Enter leaves the name field's
    // completion list open on some desktops after the dialog has gone.
    for (const QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit->completer() && edit->completer()->popup())
            edit->completer()->popup()->hide();
    QFileDialog::done(result);
}

QString TFileDialog::FileName() const { return QDir::toNativeSeparators(fileName_); }

} // namespace quorin
