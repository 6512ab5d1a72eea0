#pragma once

// The tables of the masks, text items and layers panels: whole rows, one at a time, never the
// focus, no drag selection; and the editor of their name cells.

#include <QItemDelegate>
#include <QTableWidget>

namespace lumo::ui {

class TableWidget : public QTableWidget {
    Q_OBJECT

public:
    // No rows; column 1 takes the width left over.
    TableWidget(int columns, QWidget* parent);

    // Swaps every cell of the row with the row above (up) or below; emits nothing. Both rows
    // must exist.
    void SwapRows(int row, bool up);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

// A frameless line editor of at most 64 characters, without a context menu.
class LineEditDelegate : public QItemDelegate {
    Q_OBJECT

public:
    using QItemDelegate::QItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

} // namespace lumo::ui
