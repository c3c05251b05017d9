#include "FileDialog.h"

#include <QDir>

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
    setNameFilters(NameFilters(filter));
}

bool TFileDialog::Execute()
{
    if (!fileName_.isEmpty())
        selectFile(fileName_);
    Showing();
    PlaceFileDialog(*this);
    if (exec() != Accepted)
        return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty())
        return false;
    fileName_ = chosen.constFirst();
    return true;
}

QString TFileDialog::FileName() const { return QDir::toNativeSeparators(fileName_); }

} // namespace quorin
