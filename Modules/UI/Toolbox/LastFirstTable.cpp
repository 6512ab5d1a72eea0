#include "Toolbox/LastFirstTable.h"

#include "Controls/TableWidget.h"

#include <QAction>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QSignalBlocker>

namespace lumo::ui {

namespace {

// The arrows' cells are not enabled (a click on them only moves); their icon keeps its own colours.
QIcon ArrowIcon(const QString& path)
{
    QIcon icon(path);
    icon.addFile(path, QSize(), QIcon::Disabled);
    return icon;
}

QTableWidgetItem* ArrowItem(const QIcon& icon)
{
    auto* item = new QTableWidgetItem(icon, QString());
    item->setFlags(Qt::ItemIsSelectable);
    return item;
}

} // namespace

LastFirstTable::LastFirstTable(QWidget* parent)
    : m_table(new TableWidget(ColumnCount, parent)),
      m_enableAll(new QAction(QObject::tr("Enable All"), m_table)),
      m_disableAll(new QAction(QObject::tr("Disable All"), m_table)),
      m_removeAll(new QAction(QObject::tr("Remove All"), m_table))
{
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    // The panels set the current cell themselves.
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setItemDelegateForColumn(NameColumn, new LineEditDelegate(m_table));
    m_table->setColumnHidden(IdColumn, true);
    QHeaderView* header = m_table->horizontalHeader();
    for (const int column : {EnableColumn, UpColumn, DownColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

int LastFirstTable::RowCount() const
{
    return m_table->rowCount();
}

void LastFirstTable::Clear()
{
    const QSignalBlocker blocker(m_table);
    m_table->clearContents();
    m_table->setRowCount(0);
    m_selectedRow = -1;
}

void LastFirstTable::InsertTopRow(const QUuid& id, const QString& name, bool enabled)
{
    const QSignalBlocker blocker(m_table);
    m_table->insertRow(0);

    auto* enable = new QTableWidgetItem();
    enable->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    enable->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    enable->setToolTip(QObject::tr("Enable/Disable"));
    m_table->setItem(0, EnableColumn, enable);

    auto* nameItem = new QTableWidgetItem(name);
    nameItem->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setItem(0, NameColumn, nameItem);

    m_table->setItem(0, UpColumn, ArrowItem(ArrowIcon(QStringLiteral(":/Icons/FilterUp.png"))));
    m_table->setItem(0, DownColumn, ArrowItem(ArrowIcon(QStringLiteral(":/Icons/FilterDown.png"))));

    auto* idItem = new QTableWidgetItem();
    idItem->setData(Qt::UserRole, id.toString());
    m_table->setItem(0, IdColumn, idItem);

    // A row above the selected one moves it down.
    if (m_selectedRow >= 0)
        ++m_selectedRow;
}

void LastFirstTable::RemoveRow(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    const QSignalBlocker blocker(m_table);
    m_table->removeRow(row);
    if (m_selectedRow == row)
        m_selectedRow = -1;
    else if (m_selectedRow > row)
        --m_selectedRow;
}

QUuid LastFirstTable::RowId(int row) const
{
    const QTableWidgetItem* item = row >= 0 && row < RowCount() ? m_table->item(row, IdColumn) : nullptr;
    return item != nullptr ? QUuid::fromString(item->data(Qt::UserRole).toString()) : QUuid();
}

bool LastFirstTable::IsRowChecked(int row) const
{
    const QTableWidgetItem* item = row >= 0 && row < RowCount() ? m_table->item(row, EnableColumn) : nullptr;
    return item != nullptr && item->checkState() == Qt::Checked;
}

void LastFirstTable::SetRowChecked(int row, bool checked)
{
    QTableWidgetItem* item = row >= 0 && row < RowCount() ? m_table->item(row, EnableColumn) : nullptr;
    if (item == nullptr)
        return;
    const QSignalBlocker blocker(m_table);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void LastFirstTable::SelectRow(int row)
{
    if (row < 0 || row >= RowCount()) {
        m_selectedRow = -1;
        m_table->setCurrentCell(-1, NameColumn, QItemSelectionModel::Clear);
        return;
    }
    m_selectedRow = row;
    m_table->setCurrentCell(row, NameColumn, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LastFirstTable::SwapRows(int row, int other)
{
    m_table->SwapRows(row, other < row);
    if (m_selectedRow == row)
        SelectRow(other);
    else if (m_selectedRow == other)
        SelectRow(row);
}

void LastFirstTable::RememberName(const QTableWidgetItem* item)
{
    if (item != nullptr)
        m_rememberedName = item->text();
}

QString LastFirstTable::EditedName(int row)
{
    QTableWidgetItem* item = row >= 0 && row < RowCount() ? m_table->item(row, NameColumn) : nullptr;
    if (item == nullptr)
        return QString();
    if (item->text().isEmpty() && !m_rememberedName.isEmpty()) {
        const QSignalBlocker blocker(m_table);
        item->setText(m_rememberedName);
        m_rememberedName.clear();
    }
    return item->text();
}

std::unique_ptr<QMenu> LastFirstTable::CreateContextMenu() const
{
    auto menu = std::make_unique<QMenu>(m_table);
    if (RowCount() == 0)
        return menu;
    menu->addAction(m_enableAll);
    menu->addAction(m_disableAll);
    menu->addSeparator();
    menu->addAction(m_removeAll);
    return menu;
}

void LastFirstTable::ShowContextMenu(const QPoint& position) const
{
    const std::unique_ptr<QMenu> menu = CreateContextMenu();
    if (!menu->isEmpty())
        menu->exec(m_table->viewport()->mapToGlobal(position));
}

} // namespace lumo::ui
