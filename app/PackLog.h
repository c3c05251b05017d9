#pragma once
// The pack page's log: the checks' findings with a severity icon and their
// page, a row for each file the build embeds, and a last row with the result.

#include <QIcon>
#include <QString>
#include <map>
#include <QtGlobal>

#include "Language.h"
#include "check/Finding.h"

class QListWidget;
class QListWidgetItem;

namespace quorin {

class TPackLog {
public:
    explicit TPackLog(QListWidget* list) : list_(list) {}

    void Clear();
    // pageName is the caption of the finding's page; the finding speaks language.
    void AddFinding(const TFinding& finding, const QString& pageName, TLanguage language);
    // The checks found nothing.
    void AddClean();
    void AddEmbedded(const QString& path, qint64 size, TLanguage language);
    // size < 0 when the package's size cannot be told (a device).
    void AddBuilt(const QString& fileName, qint64 size, TLanguage language);
    void AddFailure(const QString& message);

    // The page of a finding's row, or -1 for another row.
    static int PageOf(const QListWidgetItem& row);

private:
    void Add(const QString& text, const QString& iconName);
    const QIcon& Icon(const QString& name);

    QListWidget* list_;
    std::map<QString, QIcon> icons_; // drawn once each
};

// "1 байт", "2 байта", "5 байт", digits grouped as in Russian; "1 byte",
// "1,024 bytes" in English.
QString ByteCountText(qint64 count, TLanguage language = TLanguage::Russian);

} // namespace quorin
