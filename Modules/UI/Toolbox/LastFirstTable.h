#pragma once

// The table of the masks and text panels. It lists a model list last-first: every row goes in at
// the top, so the item at list index i is on row n - 1 - i and the top row is the newest (for
// text, the one drawn in front). The up arrow therefore moves an item one place toward the end of
// its list and the down arrow toward the front, which keeps table and list in step.
//
// A row is: the enable box, the name (edited in place), the up and down arrows, and the item's id
// in a hidden column. The table keeps the selected row and the name remembered when a cell was
// double-clicked; the panels own the model and the canvas.

#include "LMerr.h"

#include <QString>
#include <QUuid>

#include <memory>

class QAction;
class QMenu;
class QPoint;
class QTableWidgetItem;
class QWidget;

namespace lumo::ui {

class TableWidget;

class LastFirstTable {
public:
    enum Column : int { EnableColumn = 0, NameColumn = 1, UpColumn = 2, DownColumn = 3, IdColumn = 4 };
    static constexpr int ColumnCount = 5;

    // The table and its "Enable All", "Disable All" and "Remove All" actions, children of parent.
    explicit LastFirstTable(QWidget* parent);
    LastFirstTable(const LastFirstTable&) = delete;
    LastFirstTable& operator=(const LastFirstTable&) = delete;

    TableWidget* Table() const { return m_table; }
    QAction* EnableAllAction() const { return m_enableAll; }
    QAction* DisableAllAction() const { return m_disableAll; }
    QAction* RemoveAllAction() const { return m_removeAll; }

    int RowCount() const;
    // Empties the table without emitting anything; no row is selected.
    void Clear();
    // Adds the item's row at the top without emitting anything; the selection is left as it is.
    void InsertTopRow(const QUuid& id, const QString& name, bool enabled);
    void RemoveRow(int row);
    // Null for a row that does not exist.
    QUuid RowId(int row) const;
    bool IsRowChecked(int row) const;
    // Sets the enable box without emitting anything.
    void SetRowChecked(int row, bool checked);

    // -1 for none.
    int SelectedRow() const { return m_selectedRow; }
    QUuid SelectedId() const { return RowId(m_selectedRow); }
    // Makes the whole row current and the selected row; -1 clears both.
    void SelectRow(int row);

    // The arrow of a row: up swaps it with the row above and moves its item toward the end of the
    // list, down the opposite. Nothing (false) for up on the top row, down on the bottom row, or an
    // item the list does not hold. The selection follows the item it was on.
    template <class List>
    bool MoveRow(List& list, int row, bool up)
    {
        const int other = up ? row - 1 : row + 1;
        if (row < 0 || row >= RowCount() || other < 0 || other >= RowCount())
            return false;
        const QUuid id = RowId(row);
        if ((up ? list.MoveDown(id) : list.MoveUp(id)) != app::LMerrSuccess)
            return false;
        SwapRows(row, other);
        return true;
    }

    // The name a double-click is about to edit (any column: another cell opens no editor).
    void RememberName(const QTableWidgetItem* item);
    // The row's name after an edit: a name cleared in an editor opened by a double-click gets the
    // remembered name back (once); otherwise the cell's text, possibly empty.
    QString EditedName(int row);

    // The context menu: "Enable All", "Disable All", a separator and "Remove All"; without rows it
    // has no actions.
    std::unique_ptr<QMenu> CreateContextMenu() const;
    // Runs the context menu at a point of the table's viewport; nothing without rows.
    void ShowContextMenu(const QPoint& position) const;

private:
    void SwapRows(int row, int other);

    TableWidget* m_table;
    QAction* m_enableAll;
    QAction* m_disableAll;
    QAction* m_removeAll;
    int m_selectedRow = -1;
    QString m_rememberedName;
};

} // namespace lumo::ui
