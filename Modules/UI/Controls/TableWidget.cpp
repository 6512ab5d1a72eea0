#include "Controls/TableWidget.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>

#include <vector>

namespace lumo::ui {

namespace {

constexpr int kNameLength = 64;

} // namespace

TableWidget::TableWidget(int columns, QWidget* parent) : QTableWidget(0, columns, parent)
{
    setObjectName(QStringLiteral("MaskTable"));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    if (columns > 1)
        horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setFrameShadow(QFrame::Plain);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setFocusPolicy(Qt::NoFocus);
}

void TableWidget::SwapRows(int row, bool up)
{
    const QSignalBlocker blocker(this);
    const int neighbour = up ? row - 1 : row + 1;
    const int columns = columnCount();
    std::vector<QTableWidgetItem*> rowItems(static_cast<std::size_t>(columns));
    std::vector<QTableWidgetItem*> neighbourItems(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column) {
        rowItems[static_cast<std::size_t>(column)] = takeItem(row, column);
        neighbourItems[static_cast<std::size_t>(column)] = takeItem(neighbour, column);
    }
    for (int column = 0; column < columns; ++column) {
        setItem(row, column, neighbourItems[static_cast<std::size_t>(column)]);
        setItem(neighbour, column, rowItems[static_cast<std::size_t>(column)]);
    }
}

void TableWidget::mouseMoveEvent(QMouseEvent*) {}

void TableWidget::focusInEvent(QFocusEvent*)
{
    clearFocus();
}

QWidget* LineEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setContextMenuPolicy(Qt::NoContextMenu);
    editor->setMaxLength(kNameLength);
    return editor;
}

void LineEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(index.data(Qt::EditRole).toString());
}

void LineEditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        model->setData(index, line->text(), Qt::EditRole);
}

void LineEditDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

} // namespace lumo::ui
