#include "Toolbox/TextWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/TableWidget.h"
#include "Shell/Application.h"
#include "Shell/Limits.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/PanelSupport.h"
#include "Toolbox/TextPropertiesWidget.h"

#include "DrawableValues.h"

#include <QAction>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace lumo::ui {

namespace {

constexpr int kSpacing = 10;
constexpr int kTableHeight = 160;

} // namespace

TextWidget::TextWidget(QWidget* parent) : QWidget(parent), m_rows(this)
{
    m_add = new ButtonDefault(QIcon(QStringLiteral(":Icons/Plus.png")), tr("Add Text"),
                              this);
    m_remove = new ButtonDefault(QIcon(QStringLiteral(":Icons/Delete.png")),
                                 tr("Remove Text"), this);
    TableWidget* table = m_rows.Table();
    table->setFixedHeight(kTableHeight);
    m_container = new Container(tr("Text Items"), 0, this);
    m_properties = new TextPropertiesWidget(this);
    m_properties->hide();
    m_reset = new ButtonDefault(QIcon(QStringLiteral(":Icons/Reset.png")), tr("Reset"), this);

    auto* addRemove = new QHBoxLayout();
    addRemove->setContentsMargins(0, 0, 0, 0);
    addRemove->setSpacing(kSpacing);
    addRemove->addWidget(m_add);
    addRemove->addWidget(m_remove);
    auto* body = new QVBoxLayout(m_container->Body());
    body->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    body->setSpacing(kSpacing);
    body->addLayout(addRemove);
    body->addWidget(table);
    m_container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    column->addWidget(m_container);
    column->addWidget(m_properties);
    column->addWidget(m_reset, 0, Qt::AlignRight);
    column->addStretch();

    connect(m_add, &QPushButton::clicked, this, &TextWidget::SlotAddNewTextItem);
    connect(m_remove, &QPushButton::clicked, this, &TextWidget::SlotRemoveTextItem);
    connect(table, &QWidget::customContextMenuRequested, this, &TextWidget::SlotDisplayContextMenu);
    connect(table, &QTableWidget::cellClicked, this, &TextWidget::SlotTextTableCellClicked);
    connect(table, &QTableWidget::cellChanged, this, &TextWidget::SlotTextItemChanged);
    connect(table, &QTableWidget::itemDoubleClicked, this, &TextWidget::SlotTextItemDoubleClicked);
    connect(m_rows.EnableAllAction(), &QAction::triggered, this, &TextWidget::SlotEnableAllTextItems);
    connect(m_rows.DisableAllAction(), &QAction::triggered, this, &TextWidget::SlotDisableAllTextItems);
    connect(m_rows.RemoveAllAction(), &QAction::triggered, this, &TextWidget::SlotResetTextItems);
    connect(m_reset, &QPushButton::clicked, this, &TextWidget::SlotResetTextItems);
}

TextWidget::~TextWidget() = default;

void TextWidget::AddCanvasItem(const app::TextItem& item, bool selected)
{
    CanvasView* view = CurrentCanvasView();
    if (view == nullptr)
        return;
    QFont font(item.FontName(), app::drawable::FontSize(item.FontSize()));
    font.setStyleStrategy(QFont::PreferAntialias);
    view->AddTextItem(item.Id(), item.TextString(), font, selected, item.IsEnabled());
}

void TextWidget::UpdateFromModel()
{
    m_rows.Clear();
    app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    if (list->Size() == 0) {
        m_properties->hide();
        m_properties->setEnabled(true);
        list->SetNameSuffix(1);
        list->SetCurrentlySelectedTextItem(QUuid());
    }
    const QUuid selected = list->CurrentlySelectedTextItem();
    for (auto item = list->Begin(); item != list->End(); ++item) {
        SlotAddTextItemToTable(*item, false, false, false);
        AddCanvasItem(**item, (*item)->Id() == selected);
        // The new canvas item takes the look the properties now show, this item's.
        m_properties->ApplyToCanvas();
    }
    for (int row = 0; row < m_rows.RowCount() && !selected.isNull(); ++row) {
        if (m_rows.RowId(row) != selected)
            continue;
        m_rows.SelectRow(row);
        m_properties->SetTextItem(true, false, selected);
        if (const app::TextItemPtr item = FindInList(list, selected))
            m_properties->setEnabled(item->IsEnabled());
    }
}

void TextWidget::SlotAddTextItemToTable(app::TextItemPtr item, bool viewProperties, bool initFromRegistry,
                                        bool selectRow)
{
    if (!item)
        return;
    m_rows.InsertTopRow(item->Id(), item->TextItemName(), item->IsEnabled());
    if (selectRow)
        m_rows.SelectRow(0);
    m_properties->setEnabled(true);
    m_properties->SetTextItem(viewProperties, initFromRegistry, item->Id());
}

void TextWidget::SlotAddNewTextItem()
{
    app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    if (m_rows.RowCount() >= MaximumTextItems) {
        ShowItemLimitMessage(tr("You have already added the maximum number of text items to this project."));
        return;
    }
    auto item = std::make_shared<app::TextItem>();
    item->SetTextItemName(QStringLiteral("Text #%1").arg(list->NameSuffix()));
    if (list->Add(item) != app::LMerrSuccess)
        return;
    // The properties give the new item the stored look first.
    SlotAddTextItemToTable(item, true, true, true);
    list->SetCurrentlySelectedTextItem(item->Id());
    AddCanvasItem(*item, true);
    m_properties->ApplyToCanvas();
    list->IncrementNameSuffix();
}

void TextWidget::ShowNoTextItem(app::TextList& list)
{
    m_properties->hide();
    m_properties->setEnabled(true);
    list.SetNameSuffix(1);
    list.SetCurrentlySelectedTextItem(QUuid());
    m_rows.SelectRow(-1);
}

void TextWidget::SlotRemoveTextItem()
{
    app::TextList* list = CurrentTextList();
    const int row = m_rows.SelectedRow();
    if (list == nullptr || row < 0)
        return;
    const QUuid id = m_rows.RowId(row);
    m_rows.RemoveRow(row);
    list->Remove(id);
    CanvasView* view = CurrentCanvasView();
    if (view != nullptr)
        view->RemoveTextItem(id);
    if (m_rows.RowCount() == 0) {
        ShowNoTextItem(*list);
        return;
    }
    const int shown = std::max(row - 1, 0);
    const QUuid shownId = m_rows.RowId(shown);
    m_rows.SelectRow(shown);
    m_properties->SetTextItem(true, false, shownId);
    m_properties->setEnabled(m_rows.IsRowChecked(shown));
    list->SetCurrentlySelectedTextItem(shownId);
    if (view != nullptr)
        view->SelectTextItem(shownId, true);
}

void TextWidget::SlotResetTextItems()
{
    app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    while (m_rows.RowCount() > 0) {
        list->Remove(m_rows.RowId(0));
        m_rows.RemoveRow(0);
    }
    ShowNoTextItem(*list);
    if (CanvasView* view = CurrentCanvasView())
        view->RemoveAllTextItems();
}

void TextWidget::SlotTextTableCellClicked(int row, int column)
{
    app::TextList* list = CurrentTextList();
    const QUuid id = m_rows.RowId(row);
    if (list == nullptr || id.isNull())
        return;
    switch (column) {
    case LastFirstTable::EnableColumn:
        EnableClick(row, id);
        break;
    case LastFirstTable::NameColumn:
        SelectClick(row, id);
        break;
    case LastFirstTable::UpColumn:
    case LastFirstTable::DownColumn:
        if (m_rows.MoveRow(*list, row, column == LastFirstTable::UpColumn))
            if (CanvasView* view = CurrentCanvasView())
                view->UpdateTextItemsZOrder();
        break;
    default:
        break;
    }
}

void TextWidget::EnableClick(int row, const QUuid& id)
{
    const app::TextItemPtr item = FindInList(CurrentTextList(), id);
    const bool checked = m_rows.IsRowChecked(row);
    if (item && checked != item->IsEnabled()) {
        const WaitCursor wait;
        item->SetEnabled(checked);
        CanvasView* view = CurrentCanvasView();
        if (view != nullptr)
            view->SetTextItemEnabled(id, checked);
        if (row == m_rows.SelectedRow()) {
            m_properties->setEnabled(checked);
            // A disabled text loses its frame and handles.
            if (view != nullptr)
                view->SelectTextItem(id, item->IsEnabled());
        }
    }
    m_rows.SelectRow(m_rows.SelectedRow());
}

void TextWidget::SelectClick(int row, const QUuid& id)
{
    app::TextList* list = CurrentTextList();
    const app::TextItemPtr item = FindInList(list, id);
    if (!item)
        return;
    m_rows.SelectRow(row);
    list->SetCurrentlySelectedTextItem(id);
    if (CanvasView* view = CurrentCanvasView())
        view->SelectTextItem(id, item->IsEnabled());
    m_properties->SetTextItem(true, false, id);
    m_properties->setEnabled(m_rows.IsRowChecked(row));
}

void TextWidget::SlotTextItemChanged(int row, int column)
{
    const app::TextItemPtr item =
        column == LastFirstTable::NameColumn ? FindInList(CurrentTextList(), m_rows.RowId(row)) : nullptr;
    if (!item)
        return;
    const QString name = m_rows.EditedName(row);
    item->SetTextItemName(name);
    m_properties->SetTextItemName(item->Id(), name);
}

void TextWidget::SlotTextItemDoubleClicked(QTableWidgetItem* item)
{
    m_rows.RememberName(item);
}

void TextWidget::SlotDisplayContextMenu(const QPoint& position)
{
    m_rows.ShowContextMenu(position);
}

void TextWidget::SlotEnableAllTextItems()
{
    EnableAllTextItems(true);
}

void TextWidget::SlotDisableAllTextItems()
{
    EnableAllTextItems(false);
}

void TextWidget::EnableAllTextItems(bool enabled)
{
    app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    CanvasView* view = CurrentCanvasView();
    for (int row = 0; row < m_rows.RowCount(); ++row) {
        const QUuid id = m_rows.RowId(row);
        if (const app::TextItemPtr item = FindInList(list, id))
            item->SetEnabled(enabled);
        if (view != nullptr)
            view->SetTextItemEnabled(id, enabled);
        m_rows.SetRowChecked(row, enabled);
    }
    m_properties->setEnabled(enabled);
    // The selected text's frame and handles go and come back with it.
    if (view != nullptr && m_rows.SelectedRow() >= 0)
        view->SelectTextItem(m_rows.SelectedId(), enabled);
}

} // namespace lumo::ui
