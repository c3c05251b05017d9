#include "FactionList.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include "Controls.h"

namespace quorin {

namespace {

// Only the faction name is edited in place; the selection is drawn only
// while the list has the focus.
class TFactionDelegate : public QStyledItemDelegate {
public:
    explicit TFactionDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), view_(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return index.column() == 0 ? QStyledItemDelegate::createEditor(parent, option, index) : nullptr;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shown(option);
        if (!view_->hasFocus())
            shown.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, shown, index);
    }

private:
    QAbstractItemView* view_;
};

} // namespace

TFactionList::TFactionList(const QString& name, const QRect& bounds, const std::vector<std::pair<QString, int>>& columns,
                           QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(name);
    setGeometry(bounds);
    setFont(MakeFont(Tahoma, 9, true));
    AllowStandInLetters(this); // rows show the user's paths
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(SelectedClicked);
    setItemDelegate(new TFactionDelegate(this));
    setColumnCount(int(columns.size()));
    QStringList captions;
    for (const auto& column : columns)
        captions << column.first;
    setHeaderLabels(captions);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    for (int i = 0; i < int(columns.size()); ++i)
        header()->resizeSection(i, columns[std::size_t(i)].second);
}

QTreeWidgetItem* TFactionList::AppendRow(const QStringList& texts)
{
    auto* row = new QTreeWidgetItem(texts);
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    addTopLevelItem(row);
    return row;
}

QTreeWidgetItem* TFactionList::SelectedRow() const
{
    const QList<QTreeWidgetItem*> rows = selectedItems();
    return rows.isEmpty() ? nullptr : rows.constFirst();
}

void TFactionList::SelectRow(QTreeWidgetItem* row)
{
    setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFactionList::RemoveSelectedRow()
{
    QTreeWidgetItem* row = SelectedRow();
    if (!row)
        return;
    // Without a current row Qt does not select a neighbour in its place: the
    // list is left with no selection, and the card previews stay as they are.
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    delete row;
}

void TFactionList::mousePressEvent(QMouseEvent* event)
{
    // A click below the rows unselects, as in the platform's report lists.
    if (!indexAt(event->position().toPoint()).isValid())
        clearSelection();
    QTreeWidget::mousePressEvent(event);
}

void TFactionList::focusInEvent(QFocusEvent* event)
{
    QTreeWidget::focusInEvent(event);
    viewport()->update();
}

void TFactionList::focusOutEvent(QFocusEvent* event)
{
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

} // namespace quorin
