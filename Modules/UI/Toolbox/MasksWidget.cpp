#include "Toolbox/MasksWidget.h"

#include "Canvas/CanvasView.h"
#include "Canvas/MaskGraphicsItems.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/TableWidget.h"
#include "Shell/Application.h"
#include "Shell/Limits.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/MaskPropertiesWidget.h"
#include "Toolbox/PanelSupport.h"

#include <QAction>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace lumo::ui {

namespace {

constexpr int kSpacing = 10;
constexpr int kTableMinimumHeight = 320;
constexpr int kHandleButtonWidth = 38;

} // namespace

MasksWidget::MasksWidget(QWidget* parent) : QWidget(parent), m_rows(this)
{
    m_add = new ButtonDefault(QIcon(QStringLiteral(":Icons/Plus.png")), tr("Add Mask"),
                              this);
    m_remove = new ButtonDefault(QIcon(QStringLiteral(":Icons/Delete.png")),
                                 tr("Remove Mask"), this);
    TableWidget* table = m_rows.Table();
    table->setMinimumHeight(kTableMinimumHeight);
    m_create = new ButtonDefault(QIcon(QStringLiteral(":Icons/Create.png")), tr("Create"), this);
    m_select = new ButtonDefault(QIcon(QStringLiteral(":Icons/Select.png")), tr("Select"), this);
    for (ButtonDefault* mode : {m_create, m_select}) {
        mode->setCheckable(true);
        mode->setAutoExclusive(true);
    }
    m_create->setChecked(true);
    m_straight = new ButtonDefault(QIcon(QStringLiteral(":Icons/StraightPoint.png")), QString(), this);
    m_straight->setFixedWidth(kHandleButtonWidth);
    m_straight->setToolTip(tr("Make all selected handles straight"));
    m_curved = new ButtonDefault(QIcon(QStringLiteral(":Icons/CurvedPoint.png")), QString(), this);
    m_curved->setFixedWidth(kHandleButtonWidth);
    m_curved->setToolTip(tr("Make all selected handles curved"));
    m_container = new Container(tr("Masks"), 0, this);
    m_properties = new MaskPropertiesWidget(this);
    m_properties->hide();
    m_reset = new ButtonDefault(QIcon(QStringLiteral(":Icons/Reset.png")), tr("Reset"), this);

    auto* addRemove = new QHBoxLayout();
    addRemove->setContentsMargins(0, 0, 0, 0);
    addRemove->setSpacing(kSpacing);
    addRemove->addWidget(m_add);
    addRemove->addWidget(m_remove);
    auto* modes = new QHBoxLayout();
    modes->setContentsMargins(0, 0, 0, 0);
    modes->setSpacing(kSpacing);
    modes->addWidget(m_create);
    modes->addWidget(m_select);
    modes->addWidget(m_straight);
    modes->addWidget(m_curved);
    auto* body = new QVBoxLayout(m_container->Body());
    body->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    body->setSpacing(kSpacing);
    body->addLayout(addRemove);
    body->addWidget(table);
    body->addLayout(modes);
    m_container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    column->addWidget(m_container);
    column->addWidget(m_properties);
    column->addWidget(m_reset, 0, Qt::AlignRight);
    column->addStretch();

    connect(m_add, &QPushButton::clicked, this, &MasksWidget::SlotAddNewMask);
    connect(m_remove, &QPushButton::clicked, this, &MasksWidget::SlotRemoveMask);
    connect(table, &QWidget::customContextMenuRequested, this, &MasksWidget::SlotDisplayContextMenu);
    connect(table, &QTableWidget::cellClicked, this, &MasksWidget::SlotMaskTableCellClicked);
    connect(table, &QTableWidget::cellChanged, this, &MasksWidget::SlotMaskItemChanged);
    connect(table, &QTableWidget::itemDoubleClicked, this, &MasksWidget::SlotMaskItemDoubleClicked);
    connect(m_rows.EnableAllAction(), &QAction::triggered, this, &MasksWidget::SlotEnableAllMasks);
    connect(m_rows.DisableAllAction(), &QAction::triggered, this, &MasksWidget::SlotDisableAllMasks);
    connect(m_rows.RemoveAllAction(), &QAction::triggered, this, &MasksWidget::SlotResetMasks);
    connect(m_reset, &QPushButton::clicked, this, &MasksWidget::SlotResetMasks);
    connect(m_create, &QPushButton::clicked, this, &MasksWidget::SlotMaskModeChange);
    connect(m_select, &QPushButton::clicked, this, &MasksWidget::SlotMaskModeChange);
    connect(m_straight, &QPushButton::clicked, this, &MasksWidget::SlotSetSelectedHandlesLinear);
    connect(m_curved, &QPushButton::clicked, this, &MasksWidget::SlotSetSelectedHandlesCurved);
}

MasksWidget::~MasksWidget() = default;

void MasksWidget::ClearMaskTable()
{
    m_rows.Clear();
    m_properties->hide();
    m_properties->setEnabled(true);
    m_properties->ClearMask();
}

void MasksWidget::UpdateFromModel()
{
    m_rows.Clear();
    app::MaskList* list = CurrentMaskList();
    if (list == nullptr)
        return;
    if (list->Size() == 0) {
        m_properties->hide();
        m_properties->setEnabled(true);
        list->SetNameSuffix(1);
        list->SetCurrentlySelectedMask(QUuid());
    }
    for (auto mask = list->Begin(); mask != list->End(); ++mask)
        SlotAddMaskToTable(*mask, false);
    // The rows added selected themselves; the list's selection decides.
    m_rows.SelectRow(-1);
    const QUuid selected = list->CurrentlySelectedMask();
    for (int row = 0; row < m_rows.RowCount(); ++row) {
        if (selected.isNull() || m_rows.RowId(row) != selected)
            continue;
        m_rows.SelectRow(row);
        m_properties->SetCurrentMask(selected, true);
        m_properties->setEnabled(m_rows.IsRowChecked(row));
    }
    (list->CurrentMaskMode() == app::MaskModeSelect ? m_select : m_create)->setChecked(true);
}

void MasksWidget::SlotAddMaskToTable(app::MaskPtr mask, bool viewProperties)
{
    if (!mask)
        return;
    m_rows.InsertTopRow(mask->Id(), mask->MaskName(), mask->IsEnabled());
    m_rows.SelectRow(0);
    m_properties->setEnabled(true);
    m_properties->SetCurrentMask(mask->Id(), viewProperties);
}

void MasksWidget::SlotAddNewMask()
{
    app::MaskList* list = CurrentMaskList();
    if (list == nullptr)
        return;
    if (m_rows.RowCount() >= MaximumMasks) {
        ShowItemLimitMessage(tr("You have already added the maximum number of masks to this project."));
        return;
    }
    const QString name = QStringLiteral("Mask #%1").arg(list->NameSuffix());
    auto mask = std::make_shared<app::Mask>(name, true, false, false, true, 0, 1.0f, 1.0f);
    if (list->Add(mask) != app::LMerrSuccess)
        return;
    SlotAddMaskToTable(mask, true);
    list->SetCurrentlySelectedMask(mask->Id());
    if (CanvasView* view = CurrentCanvasView())
        view->CreateMaskItems(mask->Id());
    list->IncrementNameSuffix();
    // A new mask is drawn at once.
    m_create->setChecked(true);
    SlotMaskModeChange();
}

void MasksWidget::ShowNoMask(app::MaskList& list)
{
    m_properties->hide();
    m_properties->setEnabled(true);
    list.SetNameSuffix(1);
    list.SetCurrentlySelectedMask(QUuid());
    m_rows.SelectRow(-1);
    if (CanvasView* view = CurrentCanvasView())
        view->RemoveMaskItems();
}

void MasksWidget::ShowRowMask(int row)
{
    app::MaskList* list = CurrentMaskList();
    const QUuid id = m_rows.RowId(row);
    if (list == nullptr || id.isNull())
        return;
    m_rows.SelectRow(row);
    m_properties->SetCurrentMask(id, true);
    m_properties->setEnabled(m_rows.IsRowChecked(row));
    if (CanvasView* view = CurrentCanvasView())
        view->CreateMaskItems(id);
    list->SetCurrentlySelectedMask(id);
}

void MasksWidget::SlotRemoveMask()
{
    app::MaskList* list = CurrentMaskList();
    const int row = m_rows.SelectedRow();
    if (list == nullptr || row < 0)
        return;
    const QUuid id = m_rows.RowId(row);
    m_rows.RemoveRow(row);
    if (const auto processor = CurrentRenderProcessor())
        processor->RemoveMaskCache(id);
    list->Remove(id);
    if (m_rows.RowCount() == 0)
        ShowNoMask(*list);
    else
        ShowRowMask(std::max(row - 1, 0));
    RequestMaskRefresh();
}

void MasksWidget::SlotResetMasks()
{
    app::MaskList* list = CurrentMaskList();
    if (list == nullptr)
        return;
    const auto processor = CurrentRenderProcessor();
    while (m_rows.RowCount() > 0) {
        const QUuid id = m_rows.RowId(0);
        if (processor)
            processor->RemoveMaskCache(id);
        list->Remove(id);
        m_rows.RemoveRow(0);
    }
    ShowNoMask(*list);
    RequestMaskRefresh();
}

void MasksWidget::SlotMaskTableCellClicked(int row, int column)
{
    app::MaskList* list = CurrentMaskList();
    const QUuid id = m_rows.RowId(row);
    if (list == nullptr || id.isNull())
        return;
    switch (column) {
    case LastFirstTable::EnableColumn:
        EnableClick(row, id);
        break;
    case LastFirstTable::NameColumn:
        // Showing a mask renders nothing.
        ShowRowMask(row);
        break;
    case LastFirstTable::UpColumn:
    case LastFirstTable::DownColumn:
        if (m_rows.MoveRow(*list, row, column == LastFirstTable::UpColumn))
            RequestMaskRefresh();
        break;
    default:
        break;
    }
}

void MasksWidget::EnableClick(int row, const QUuid& id)
{
    const app::MaskPtr mask = FindInList(CurrentMaskList(), id);
    const bool checked = m_rows.IsRowChecked(row);
    // A click that left the box as the mask is changes nothing.
    if (!mask || checked == mask->IsEnabled())
        return;
    const WaitCursor wait;
    mask->SetEnabled(checked);
    if (row == m_rows.SelectedRow()) {
        m_properties->setEnabled(checked);
        ShowOutline(checked);
    }
    RequestMaskRefresh();
}

void MasksWidget::ShowOutline(bool enabled)
{
    const CanvasView* view = CurrentCanvasView();
    if (MaskShapeGraphicsItem* outline = view != nullptr ? view->MaskShape() : nullptr) {
        // The outline's enabled state is written back with it: a hidden outline that stayed
        // enabled would switch its mask on again at the next store.
        outline->setEnabled(enabled);
        outline->setVisible(enabled);
    }
}

void MasksWidget::SlotMaskItemChanged(int row, int column)
{
    const app::MaskPtr mask =
        column == LastFirstTable::NameColumn ? FindInList(CurrentMaskList(), m_rows.RowId(row)) : nullptr;
    if (!mask)
        return;
    const QString name = m_rows.EditedName(row);
    mask->SetMaskName(name);
    m_properties->SetMaskName(mask->Id(), name);
}

void MasksWidget::SlotMaskItemDoubleClicked(QTableWidgetItem* item)
{
    m_rows.RememberName(item);
}

void MasksWidget::SlotDisplayContextMenu(const QPoint& position)
{
    m_rows.ShowContextMenu(position);
}

void MasksWidget::SlotEnableAllMasks()
{
    SetAllMasksEnabled(true);
}

void MasksWidget::SlotDisableAllMasks()
{
    SetAllMasksEnabled(false);
}

void MasksWidget::SetAllMasksEnabled(bool enabled)
{
    app::MaskList* list = CurrentMaskList();
    if (list == nullptr)
        return;
    for (int row = 0; row < m_rows.RowCount(); ++row) {
        if (const app::MaskPtr mask = FindInList(list, m_rows.RowId(row)))
            mask->SetEnabled(enabled);
        m_rows.SetRowChecked(row, enabled);
    }
    m_properties->setEnabled(enabled);
    ShowOutline(enabled);
    RequestMaskRefresh();
}

void MasksWidget::SlotMaskModeChange()
{
    app::MaskList* list = CurrentMaskList();
    if (list == nullptr)
        return;
    list->SetCurrentMaskMode(m_create->isChecked() ? app::MaskModeCreate : app::MaskModeSelect);
    if (CanvasView* view = CurrentCanvasView())
        view->SetMaskMode(list->CurrentMaskMode());
}

void MasksWidget::SlotSetSelectedHandlesLinear()
{
    if (CanvasView* view = CurrentCanvasView())
        view->MakeSelectedMaskHandlesStraight();
}

void MasksWidget::SlotSetSelectedHandlesCurved()
{
    if (CanvasView* view = CurrentCanvasView())
        view->MakeSelectedMaskHandlesCurved();
}

} // namespace lumo::ui
