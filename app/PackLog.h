#pragma once
// The pack page's log: the checks' findings with a severity icon and their
// page, a row for each file the build embeds, and a last row with the result.

#include <QIcon>
#include <QString>
#include <map>
#include <QtGlobal>

#include "check/Finding.h"

class QListWidget;
class QListWidgetItem;

namespace quorin {

class TPackLog {
public:
    explicit TPackLog(QListWidget* list) : list_(list) {}

    void Clear();
    // pageName is the caption of the finding's page.
    void AddFinding(const TFinding& finding, const QString& pageName);
    // The checks found nothing.
    void AddClean();
    void AddEmbedded(const QString& path, qint64 size);
    // size < 0 when the package's size cannot be told (a device).
    void AddBuilt(const QString& fileName, qint64 size);
    void AddFailure(const QString& message);

    // The page of a finding's row, or -1 for another row.
    static int PageOf(const QListWidgetItem& row);

private:
    void Add(const QString& text, const QString& iconName);
    const QIcon& Icon(const QString& name);

    QListWidget* list_;
    std::map<QString, QIcon> icons_; // drawn once each
};

// "1 байт", "2 байта", "5 байт", digits grouped as in Russian.
QString ByteCountText(qint64 count);

} // namespace quorin
