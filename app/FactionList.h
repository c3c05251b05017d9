#pragma once
// A faction list: a report view with a header, whole-row single selection
// that is hidden while the list has no focus, rows in the order added, and
// the faction name (first column) editable in place by a click on the
// selected row.

#include <QStringList>
#include <QTreeWidget>
#include <utility>
#include <vector>

namespace quorin {

class TFactionList : public QTreeWidget {
    Q_OBJECT
public:
    // columns: caption and width in pixels, left to right.
    TFactionList(const QString& name, const QRect& bounds, const std::vector<std::pair<QString, int>>& columns,
                 QWidget* parent);

    // Appends a row, not selected, and returns it.
    QTreeWidgetItem* AppendRow(const QStringList& texts);
    // The selected row, or null.
    QTreeWidgetItem* SelectedRow() const;
    // Selects the row alone, as a click on it would.
    void SelectRow(QTreeWidgetItem* row);
    // Deletes the selected row, if any; the rows after it move up.
    void RemoveSelectedRow();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace quorin
