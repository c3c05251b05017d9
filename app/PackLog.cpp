#include "PackLog.h"

#include <QCoreApplication>
#include <QIcon>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "base/Text.h"

namespace quorin {

namespace {

constexpr int PageRole = Qt::UserRole;
constexpr int IconSize = 16;

// The severity icons, drawn once in the window's flat look: a red disc with
// a cross, an amber triangle with "!", a blue disc with "i", a green tick.
QPixmap DrawIcon(const QString& name)
{
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPen mark(Qt::white, 2, Qt::SolidLine, Qt::RoundCap);
    if (name == QLatin1String("error")) {
        painter.setBrush(QColor(200, 40, 30));
        painter.drawEllipse(QRectF(1, 1, 14, 14));
        painter.setPen(mark);
        painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    } else if (name == QLatin1String("warning")) {
        QPainterPath triangle;
        triangle.moveTo(8, 1);
        triangle.lineTo(15.5, 14.5);
        triangle.lineTo(0.5, 14.5);
        triangle.closeSubpath();
        painter.setBrush(QColor(235, 170, 20));
        painter.drawPath(triangle);
        painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
        painter.drawPoint(QPointF(8, 12.5));
    } else if (name == QLatin1String("note")) {
        painter.setBrush(QColor(40, 100, 200));
        painter.drawEllipse(QRectF(1, 1, 14, 14));
        painter.setPen(mark);
        painter.drawLine(QPointF(8, 7), QPointF(8, 11.5));
        painter.drawPoint(QPointF(8, 4.5));
    } else if (name == QLatin1String("done")) {
        painter.setBrush(QColor(40, 150, 60));
        painter.drawEllipse(QRectF(1, 1, 14, 14));
        painter.setPen(mark);
        painter.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5.5)}));
    } else if (name == QLatin1String("file")) {
        painter.setBrush(QColor(250, 250, 250));
        painter.setPen(QColor(110, 110, 110));
        painter.drawRect(QRectF(3.5, 1.5, 9, 13));
        painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 5.5));
        painter.drawLine(QPointF(5.5, 8.5), QPointF(10.5, 8.5));
        painter.drawLine(QPointF(5.5, 11.5), QPointF(10.5, 11.5));
    }
    return pixmap;
}

QString FileNameOf(const QString& path) { return QString::fromStdString(std::string(FileNamePart(path.toStdString()))); }

} // namespace

QString ByteCountText(qint64 count, TLanguage language)
{
    if (language == TLanguage::English)
        return QLocale(QLocale::English).toString(count) + (count == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    const qint64 lastTwo = count % 100, last = count % 10;
    const char* word = (last == 1 && lastTwo != 11) ? "байт"
                       : (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) ? "байта"
                                                                                    : "байт";
    return QLocale(QLocale::Russian).toString(count) + QLatin1Char(' ') + QString::fromUtf8(word);
}

void TPackLog::Clear() { list_->clear(); }

const QIcon& TPackLog::Icon(const QString& name)
{
    auto found = icons_.find(name);
    if (found == icons_.end())
        found = icons_.emplace(name, QIcon(DrawIcon(name))).first;
    return found->second;
}

void TPackLog::Add(const QString& text, const QString& iconName)
{
    auto* row = new QListWidgetItem(Icon(iconName), text, list_);
    row->setData(PageRole, -1);
}

void TPackLog::AddFinding(const TFinding& finding, const QString& pageName, TLanguage language)
{
    const std::string& message = language == TLanguage::English ? finding.Message : finding.MessageRu;
    Add(pageName + QStringLiteral(": ") + QString::fromStdString(message),
        QString::fromUtf8(SeverityName(finding.Severity)));
    QListWidgetItem* row = list_->item(list_->count() - 1);
    row->setData(PageRole, static_cast<int>(finding.Page));
    row->setToolTip(QString::fromUtf8(finding.Code.data(), static_cast<qsizetype>(finding.Code.size())) +
                    (finding.File.empty() ? QString() : QStringLiteral("\n") + QString::fromStdString(finding.File)));
}

void TPackLog::AddClean()
{
    Add(QCoreApplication::translate("quorin::TPackLog", "Проверка юнита: замечаний нет"), QStringLiteral("done"));
}

void TPackLog::AddEmbedded(const QString& path, qint64 size, TLanguage language)
{
    const QString text = QCoreApplication::translate("quorin::TPackLog", "Файл %1: %2");
    Add(text.arg(FileNameOf(path), ByteCountText(size, language)), QStringLiteral("file"));
    list_->item(list_->count() - 1)->setToolTip(path);
}

void TPackLog::AddBuilt(const QString& fileName, qint64 size, TLanguage language)
{
    const QString text =
        size < 0 ? QCoreApplication::translate("quorin::TPackLog", "Пак %1 создан").arg(fileName)
                 : QCoreApplication::translate("quorin::TPackLog", "Пак %1 создан: %2")
                       .arg(fileName, ByteCountText(size, language));
    Add(text, QStringLiteral("done"));
}

void TPackLog::AddFailure(const QString& message)
{
    Add(QCoreApplication::translate("quorin::TPackLog", "Пак не создан: ") + message, QStringLiteral("error"));
}

int TPackLog::PageOf(const QListWidgetItem& row)
{
    const QVariant page = row.data(PageRole);
    return page.isValid() ? page.toInt() : -1;
}

} // namespace quorin
