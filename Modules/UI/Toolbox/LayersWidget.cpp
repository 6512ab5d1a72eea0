#include "Toolbox/LayersWidget.h"

#include "Canvas/CanvasView.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/TableWidget.h"
#include "Shell/Application.h"
#include "Shell/Limits.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/ImageFileChoice.h"
#include "Toolbox/LayerPropertiesWidget.h"
#include "Toolbox/PanelSupport.h"

#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QMenu>
#include <QMimeData>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kSpacing = 10;
constexpr int kTableMinimumHeight = 320;

const QString kBlankIcon = QStringLiteral(":/Icons/BlankIcon.png");
const QString kOnlineMarker = QStringLiteral(":/Icons/ImageOffline.png");
const QString kOfflineMarker = QStringLiteral(":/Icons/ImageOfflineEnabled.png");

// The icons keep their own colours in cells that are not enabled (a click on an arrow only moves;
// the marker of a file in place is drawn dim itself).
QIcon CellIcon(const QString& path)
{
    QIcon icon(path);
    icon.addFile(path, QSize(), QIcon::Disabled);
    return icon;
}

QTableWidgetItem* IconItem(const QString& path, Qt::ItemFlags flags)
{
    auto* item = new QTableWidgetItem(CellIcon(path), QString());
    item->setFlags(flags);
    return item;
}

void EmitCanvasRefresh()
{
    emit Application::Instance()->SignalCanvasRefreshRequested(HXDownsampleFactor0);
}

} // namespace

LayersWidget::LayersWidget(QWidget* parent) : QWidget(parent)
{
    m_add = new ButtonDefault(QIcon(QStringLiteral(":Icons/Plus.png")), tr("Add Layer"),
                              this);
    m_remove = new ButtonDefault(QIcon(QStringLiteral(":Icons/Delete.png")),
                                 tr("Remove Layer"), this);
    m_table = new TableWidget(ColumnCount, this);
    m_table->setMinimumHeight(kTableMinimumHeight);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    // Rows are selected from code only.
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setItemDelegateForColumn(NameColumn, new LineEditDelegate(m_table));
    for (const int column : {OfflineColumn, IdColumn, TypeColumn})
        m_table->setColumnHidden(column, true);
    QHeaderView* header = m_table->horizontalHeader();
    for (const int column : {EnableColumn, UpColumn, DownColumn, OfflineColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_table->viewport()->setAcceptDrops(true);
    m_table->viewport()->installEventFilter(this);
    m_enableAll = new QAction(tr("Enable All"), this);
    m_disableAll = new QAction(tr("Disable All"), this);
    m_removeAll = new QAction(tr("Remove All"), this);
    m_container = new Container(tr("Layers"), 0, this);
    m_properties = new LayerPropertiesWidget(this);
    m_properties->hide();
    m_reset = new ButtonDefault(QIcon(QStringLiteral(":Icons/Reset.png")), tr("Reset"),
                                this);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(kSpacing);
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    auto* body = new QVBoxLayout(m_container->Body());
    body->setContentsMargins(kSpacing, kSpacing, kSpacing, kSpacing);
    body->setSpacing(kSpacing);
    body->addLayout(buttons);
    body->addWidget(m_table);
    m_container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    column->addWidget(m_container);
    column->addWidget(m_properties);
    column->addWidget(m_reset, 0, Qt::AlignRight);
    column->addStretch();

    connect(m_add, &QPushButton::clicked, this, &LayersWidget::SlotAddNewLayer);
    connect(m_remove, &QPushButton::clicked, this, &LayersWidget::SlotRemoveLayer);
    connect(m_table, &QWidget::customContextMenuRequested, this, &LayersWidget::SlotDisplayContextMenu);
    connect(m_table, &QTableWidget::cellClicked, this, &LayersWidget::SlotLayerTableCellClicked);
    connect(m_table, &QTableWidget::cellChanged, this, &LayersWidget::SlotLayerItemChanged);
    connect(m_table, &QTableWidget::itemDoubleClicked, this, &LayersWidget::SlotLayerItemDoubleClicked);
    connect(m_enableAll, &QAction::triggered, this, &LayersWidget::SlotEnableAllLayers);
    connect(m_disableAll, &QAction::triggered, this, &LayersWidget::SlotDisableAllLayers);
    connect(m_removeAll, &QAction::triggered, this, &LayersWidget::SlotResetLayers);
    connect(m_properties, &LayerPropertiesWidget::SignalRelinkLayer, this, &LayersWidget::SlotRelinkLayer);
    connect(m_reset, &QPushButton::clicked, this, &LayersWidget::SlotResetLayers);
    if (Application* app = Application::Instance())
        connect(app, &Application::SignalCheckOfflineImages, this, &LayersWidget::SlotAreLayersOffline);
}

LayersWidget::~LayersWidget() = default;

// ---- Rows

QUuid LayersWidget::RowLayerId(int row) const
{
    const QTableWidgetItem* item = m_table->item(row, IdColumn);
    return item != nullptr ? QUuid(item->data(Qt::UserRole).toString()) : QUuid();
}

int LayersWidget::RowType(int row) const
{
    const QTableWidgetItem* item = m_table->item(row, TypeColumn);
    return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

int LayersWidget::FindRow(const QUuid& id) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (RowLayerId(row) == id)
            return row;
    return -1;
}

int LayersWidget::SelectedRow() const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* name = m_table->item(row, NameColumn);
        if (name != nullptr && name->isSelected() && RowType(row) == app::LayerTypeImage)
            return row;
    }
    return -1;
}

bool LayersWidget::IsRowChecked(int row) const
{
    const QTableWidgetItem* item = m_table->item(row, EnableColumn);
    return item != nullptr && item->checkState() == Qt::Checked;
}

int LayersWidget::TopmostFurtherRow() const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (RowType(row) == app::LayerTypeImage)
            return row;
    return -1;
}

bool LayersWidget::HasFurtherLayers() const
{
    return TopmostFurtherRow() >= 0;
}

app::ImageLayerPtr LayersWidget::LayerOfRow(int row) const
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    const QUuid id = RowLayerId(row);
    return manager && !id.isNull() ? manager->GetLayer(id) : nullptr;
}

void LayersWidget::SelectRow(int row, const QUuid& id)
{
    m_table->setCurrentCell(row, NameColumn, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (const app::LayerManagerPtr manager = CurrentLayerManager())
        manager->LayerList()->SetCurrentlySelectedLayer(id);
}

void LayersWidget::ClearLayerSelection()
{
    m_table->setCurrentCell(m_table->currentRow(), NameColumn, QItemSelectionModel::Clear | QItemSelectionModel::Rows);
    m_table->clearSelection();
    if (const app::LayerManagerPtr manager = CurrentLayerManager())
        manager->LayerList()->SetCurrentlySelectedLayer(QUuid());
}

void LayersWidget::StoreCompositeOrder()
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return;
    QList<QUuid> order;
    for (int row = m_table->rowCount() - 1; row >= 0; --row)
        order.append(RowLayerId(row));
    manager->UpdateCompositionOrderList(order);
}

void LayersWidget::ShowRow(int row)
{
    const app::ImageLayerPtr layer = LayerOfRow(row);
    if (!layer || RowType(row) != app::LayerTypeImage)
        return;
    SelectRow(row, layer->Id());
    m_properties->SetCurrentLayer(layer, true);
    m_properties->EnableWidget(IsRowChecked(row));
}

void LayersWidget::ShowNoLayer()
{
    m_properties->Clear();
    if (const app::LayerManagerPtr manager = CurrentLayerManager())
        manager->LayerList()->SetLayerSuffix(1);
    ClearLayerSelection();
    if (CanvasView* view = CurrentCanvasView())
        view->RemoveLayerHandles();
}

void LayersWidget::SetOfflineMarker(int row, bool offline)
{
    const QSignalBlocker blocker(m_table);
    QTableWidgetItem* item = m_table->item(row, OfflineColumn);
    if (item == nullptr)
        return;
    item->setIcon(CellIcon(offline ? kOfflineMarker : kOnlineMarker));
    item->setFlags(offline ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::ItemIsSelectable);
    item->setData(Qt::UserRole, offline);
}

void LayersWidget::AddLayerToTable(const QUuid& id, app::LayerType type, const QString& name, bool enabled, bool show)
{
    const int selected = SelectedRow();
    const int row = m_rebuilding || selected < 0 ? 0 : selected;
    const bool further = type == app::LayerTypeImage;
    {
        const QSignalBlocker blocker(m_table);
        m_table->insertRow(row);
        auto* enable = new QTableWidgetItem();
        enable->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        enable->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
        enable->setToolTip(tr("Enable/Disable"));
        m_table->setItem(row, EnableColumn, enable);
        auto* nameItem = new QTableWidgetItem(name);
        nameItem->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        if (!further) {
            // The fixed rows are switched on and off, never renamed.
            nameItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            QFont font = nameItem->font();
            font.setItalic(true);
            nameItem->setFont(font);
        }
        m_table->setItem(row, NameColumn, nameItem);
        m_table->setItem(row, UpColumn,
                         IconItem(further ? QStringLiteral(":/Icons/FilterUp.png") : kBlankIcon, Qt::ItemIsSelectable));
        m_table->setItem(row, DownColumn,
                         IconItem(further ? QStringLiteral(":/Icons/FilterDown.png") : kBlankIcon, Qt::ItemIsSelectable));
        auto* offline = IconItem(further ? kOnlineMarker : kBlankIcon, Qt::ItemIsSelectable);
        offline->setData(Qt::UserRole, false);
        m_table->setItem(row, OfflineColumn, offline);
        auto* idItem = new QTableWidgetItem();
        idItem->setData(Qt::UserRole, id.toString());
        m_table->setItem(row, IdColumn, idItem);
        auto* typeItem = new QTableWidgetItem();
        typeItem->setData(Qt::UserRole, static_cast<int>(type));
        m_table->setItem(row, TypeColumn, typeItem);
    }
    if (!further)
        return;
    SelectRow(row, id);
    m_properties->EnableWidget(true);
    if (const app::LayerManagerPtr manager = CurrentLayerManager())
        m_properties->SetCurrentLayer(manager->GetLayer(id), show);
}

// ---- Rebuilding

void LayersWidget::UpdateFromModel()
{
    const Application* app = Application::Instance();
    const app::LayerManagerPtr manager = CurrentLayerManager();
    {
        const QSignalBlocker blocker(m_table);
        m_table->clearContents();
        m_table->setRowCount(0);
    }
    if (!manager)
        return;
    const std::shared_ptr<app::ImageLayerList> list = manager->LayerList();
    // Each further row selects itself as it goes in; the project's own selection is put back after.
    const QUuid stored = list->CurrentlySelectedLayer();
    m_rebuilding = true;
    const QList<QUuid> order = list->CompositeOrder();
    for (const QUuid& id : order) {
        if (list->IsForegroundId(id)) {
            AddLayerToTable(id, app::LayerTypeForeground, tr("Foreground"),
                            manager->ForegroundLayerList()->IsEnabled(), false);
            continue;
        }
        const app::ImageLayerPtr layer = manager->GetLayer(id);
        if (!layer)
            continue;
        if (layer->Type() == app::LayerTypeBackground) {
            AddLayerToTable(id, app::LayerTypeBackground, tr("Background"), layer->IsEnabled(), false);
        } else if (layer->Type() == app::LayerTypeImage) {
            if (layer->IsValid() && !layer->Path().isEmpty()) {
                // A reopened project's images are loaded already; one that is not is loaded into the layer.
                if (!IsImageFileReadable(layer->Path()))
                    layer->SetOffline(true);
                else if (!app->GetThumbnail(id))
                    Application::Instance()->ReloadLayerImage(id);
            }
            AddLayerToTable(id, app::LayerTypeImage, layer->Name(), layer->IsEnabled(), false);
        } else if (layer->Type() != app::LayerTypeOverlay) {
            break;
        }
    }
    m_rebuilding = false;
    list->SetCurrentlySelectedLayer(stored);
    SlotAreLayersOffline();

    // The project's own selection when it names a further layer here, else the topmost one (the
    // first further row from the top), so that a project with layers always shows its properties.
    int row = stored.isNull() ? -1 : FindRow(stored);
    if (row < 0 || RowType(row) != app::LayerTypeImage || !LayerOfRow(row))
        row = TopmostFurtherRow();
    if (row >= 0 && LayerOfRow(row)) {
        ShowRow(row);
    } else {
        ClearLayerSelection();
        m_properties->hide();
        m_properties->setEnabled(true);
    }
}

void LayersWidget::ClearLayerTable()
{
    {
        const QSignalBlocker blocker(m_table);
        m_table->clearContents();
        m_table->setRowCount(0);
    }
    m_properties->Clear();
}

void LayersWidget::UpdateLayerEnabledState(app::LayerType type)
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return;
    int row = -1;
    bool enabled = true;
    if (type == app::LayerTypeForeground) {
        row = FindRow(manager->LayerList()->StaticForegroundId());
        enabled = manager->ForegroundLayerList()->IsEnabled();
    } else if (type == app::LayerTypeBackground) {
        const app::ImageLayerPtr background = manager->GetBackground();
        if (!background)
            return;
        row = FindRow(background->Id());
        enabled = background->IsEnabled();
    }
    // The table may be empty or not yet rebuilt for this project.
    if (row < 0 || m_table->item(row, EnableColumn) == nullptr)
        return;
    const QSignalBlocker blocker(m_table);
    m_table->item(row, EnableColumn)->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
}

// ---- Adding and removing

QUuid LayersWidget::SlotAddNewLayer()
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return QUuid();
    if (m_table->rowCount() >= MaximumRows) {
        ShowItemLimitMessage(tr("You have already added the maximum number of layers to this project."));
        return QUuid();
    }
    const std::shared_ptr<app::ImageLayerList> list = manager->LayerList();
    const QString name = QStringLiteral("Layer #%1").arg(list->LayerSuffix());
    const auto layer = std::make_shared<app::ImageLayer>(app::LayerTypeImage, name, QString());
    layer->SetOffline(false);
    if (manager->AddLayer(layer) != app::LMerrSuccess)
        return QUuid();
    AddLayerToTable(layer->Id(), app::LayerTypeImage, name, layer->IsEnabled(), true);
    StoreCompositeOrder();
    list->IncrementLayerSuffix();
    return layer->Id();
}

void LayersWidget::SlotRemoveLayer()
{
    const int row = SelectedRow();
    if (row < 0 || !ConfirmImageRemoval(this))
        return;
    Application::Instance()->RemoveImageLayer(RowLayerId(row), app::LayerTypeImage);
    {
        const QSignalBlocker blocker(m_table);
        m_table->removeRow(row);
    }
    StoreCompositeOrder();
    if (!HasFurtherLayers()) {
        ShowNoLayer();
        return;
    }
    // The next further layer below the removed one, else the nearest above it.
    int next = -1;
    for (int candidate = row; candidate < m_table->rowCount() && next < 0; ++candidate)
        if (RowType(candidate) == app::LayerTypeImage)
            next = candidate;
    for (int candidate = row - 1; candidate >= 0 && next < 0; --candidate)
        if (RowType(candidate) == app::LayerTypeImage)
            next = candidate;
    ShowRow(next);
}

void LayersWidget::SlotResetLayers()
{
    if (!HasFurtherLayers())
        return;
    const QMessageBox::StandardButton answer = Application::Instance()->Dialogs().Message(
        {.parent = this,
         .icon = QMessageBox::Warning,
         .text = tr("Are you sure you wish to remove all the layers?"),
         .buttons = QMessageBox::Yes | QMessageBox::Cancel,
         .defaultButton = QMessageBox::Yes});
    if (answer != QMessageBox::Yes)
        return;
    for (int row = m_table->rowCount() - 1; row >= 0; --row) {
        if (RowType(row) != app::LayerTypeImage)
            continue;
        Application::Instance()->RemoveImageLayer(RowLayerId(row), app::LayerTypeImage);
        const QSignalBlocker blocker(m_table);
        m_table->removeRow(row);
    }
    StoreCompositeOrder();
    ShowNoLayer();
}

// ---- Clicks

void LayersWidget::SlotLayerTableCellClicked(int row, int column)
{
    const int type = RowType(row);
    const QUuid id = RowLayerId(row);
    if (id.isNull())
        return;
    const bool further = type == app::LayerTypeImage;
    if (further && column == NameColumn) {
        ShowRow(row);
    } else if (column == EnableColumn) {
        EnableClicked(row);
    } else if (further && column == UpColumn) {
        if (row > 0)
            MoveRow(row, true);
    } else if (further && column == DownColumn) {
        // Nothing goes below the bottom row (the background).
        if (row < m_table->rowCount() - 2)
            MoveRow(row, false);
    } else if (further && column == OfflineColumn) {
        const QTableWidgetItem* marker = m_table->item(row, OfflineColumn);
        if (marker != nullptr && marker->data(Qt::UserRole).toBool())
            SlotRelinkLayer(id);
    }
}

void LayersWidget::EnableClicked(int row)
{
    Application* app = Application::Instance();
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return;
    const int selected = SelectedRow();
    const bool checked = IsRowChecked(row);
    const int type = RowType(row);
    if (type == app::LayerTypeForeground) {
        const std::shared_ptr<app::ForegroundImageLayerList> foregrounds = manager->ForegroundLayerList();
        if (foregrounds->IsEnabled() != checked) {
            foregrounds->SetEnabled(checked);
            app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor3);
            app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor0);
            emit SignalForegroundEnabled();
        }
    } else if (const app::ImageLayerPtr layer = LayerOfRow(row); layer && layer->IsEnabled() != checked) {
        const WaitCursor busy;
        layer->SetEnabled(checked);
        if (row == selected)
            m_properties->EnableWidget(checked);
        if (type == app::LayerTypeBackground) {
            app->InvalidateLayerCache(app::LayerTypeBackground, app::RenderLevelPostFilter, HXDownsampleFactor3);
            app->RequestLayerRefresh(app::LayerTypeBackground, app::RenderLevelPostFilter, HXDownsampleFactor0);
            emit SignalBackgroundEnabled();
        } else {
            EmitCanvasRefresh();
        }
    }
    // A click on a check box never moves the selection.
    if (selected >= 0)
        SelectRow(selected, RowLayerId(selected));
}

void LayersWidget::MoveRow(int row, bool up)
{
    const int selected = SelectedRow();
    const QUuid selectedId = RowLayerId(selected);
    const int other = up ? row - 1 : row + 1;
    m_table->SwapRows(row, up);
    StoreCompositeOrder();
    if (selected == row)
        SelectRow(other, selectedId);
    else if (selected == other)
        SelectRow(row, selectedId);
    EmitCanvasRefresh();
}

// ---- Names

void LayersWidget::SlotLayerItemDoubleClicked(QTableWidgetItem* item)
{
    if (item != nullptr)
        m_oldName = item->text();
}

void LayersWidget::SlotLayerItemChanged(int row, int column)
{
    if (column != NameColumn)
        return;
    const app::ImageLayerPtr layer = LayerOfRow(row);
    QTableWidgetItem* item = m_table->item(row, NameColumn);
    if (!layer || item == nullptr)
        return;
    if (item->text().isEmpty() && !m_oldName.isEmpty()) {
        const QSignalBlocker blocker(m_table);
        item->setText(m_oldName);
        m_oldName.clear();
    }
    layer->SetName(item->text());
    if (m_properties->LayerId() == layer->Id()) {
        m_properties->SetLayerName(item->text());
        m_properties->UpdateTitle(m_properties->width());
    }
}

// ---- All layers

std::unique_ptr<QMenu> LayersWidget::CreateContextMenu() const
{
    if (m_table->rowCount() == 0)
        return nullptr;
    auto menu = std::make_unique<QMenu>();
    menu->addAction(m_enableAll);
    menu->addAction(m_disableAll);
    if (HasFurtherLayers()) {
        menu->addSeparator();
        menu->addAction(m_removeAll);
    }
    return menu;
}

void LayersWidget::SlotDisplayContextMenu(const QPoint& position)
{
    if (const std::unique_ptr<QMenu> menu = CreateContextMenu())
        menu->exec(m_table->viewport()->mapToGlobal(position));
}

void LayersWidget::SlotEnableAllLayers()
{
    SetAllLayersEnabled(true);
}

void LayersWidget::SlotDisableAllLayers()
{
    SetAllLayersEnabled(false);
}

void LayersWidget::SetAllLayersEnabled(bool enable)
{
    Application* app = Application::Instance();
    const app::LayerManagerPtr manager = CurrentLayerManager();
    if (!manager)
        return;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const int type = RowType(row);
        if (type == app::LayerTypeForeground) {
            manager->ForegroundLayerList()->SetEnabled(enable);
            emit SignalForegroundEnabled();
        } else if (const app::ImageLayerPtr layer = LayerOfRow(row)) {
            layer->SetEnabled(enable);
            if (type == app::LayerTypeBackground)
                emit SignalBackgroundEnabled();
        }
        const QSignalBlocker blocker(m_table);
        if (QTableWidgetItem* item = m_table->item(row, EnableColumn))
            item->setCheckState(enable ? Qt::Checked : Qt::Unchecked);
    }
    m_properties->EnableWidget(enable);
    app->InvalidateCompositeCaches(HXDownsampleFactor3);
    EmitCanvasRefresh();
}

// ---- Missing files

void LayersWidget::SlotAreLayersOffline()
{
    bool anyOffline = false;
    const int selected = SelectedRow();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (RowType(row) != app::LayerTypeImage)
            continue;
        const app::ImageLayerPtr layer = LayerOfRow(row);
        bool offline = layer && layer->IsValid() && !IsImageFileReadable(layer->Path());
        if (layer && layer->IsValid()) {
            // A file back in place that never reached the canvas (missing or unusable when the
            // project opened) is loaded into its layer; one that still fails stays offline.
            if (!offline && layer->IsOffline() && !Application::Instance()->GetThumbnail(layer->Id()))
                offline = !Application::Instance()->ReloadLayerImage(layer->Id());
            layer->SetOffline(offline);
            if (row == selected)
                m_properties->SetCurrentLayer(layer, true);
        }
        SetOfflineMarker(row, offline);
        anyOffline = anyOffline || offline;
    }
    m_table->setColumnHidden(OfflineColumn, !anyOffline);
    if (anyOffline)
        EmitCanvasRefresh();
}

void LayersWidget::SlotRelinkLayer(const QUuid& id)
{
    const app::LayerManagerPtr manager = CurrentLayerManager();
    const app::ImageLayerPtr layer = manager && !id.isNull() ? manager->GetLayer(id) : nullptr;
    if (!layer)
        return;
    const QString text = tr("The image cannot be found in its original location.\n\n%1\n\nWould you like to relocate it?")
                             .arg(QDir::toNativeSeparators(layer->Path()));
    if (!AskToRelocate(this, text))
        return;
    const QString file = ChooseRelinkedFile(this, tr("Relink image"), layer->Path());
    if (!file.isEmpty() && Application::Instance()->ImportImage(file, id, app::LayerTypeImage))
        RelinkOtherOfflineLayers(file);
}

void LayersWidget::RelinkOtherOfflineLayers(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const app::ImageLayerPtr layer = RowType(row) == app::LayerTypeImage ? LayerOfRow(row) : nullptr;
        if (!layer || !layer->IsOffline())
            continue;
        // Moved together, found together under their old names.
        const QFileInfo candidate(folder + QLatin1Char('/') + QFileInfo(layer->Path()).fileName());
        if (candidate.exists())
            Application::Instance()->ImportImage(candidate.absoluteFilePath(), layer->Id(), app::LayerTypeImage);
    }
    SlotAreLayersOffline();
}

// ---- Drops

bool LayersWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_table->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        const int row = m_table->rowAt(at.y());
        if (row < 0 || RowType(row) == app::LayerTypeImage)
            return false;
        // The fixed rows are only switched on and off.
        const bool enableClick = event->type() == QEvent::MouseButtonPress && m_table->columnAt(at.x()) == EnableColumn;
        if (enableClick)
            return false;
        event->ignore();
        return true;
    }
    case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        const QStringList files = DroppedFiles(enter->mimeData());
        if (files.size() == 1 && m_table->rowCount() < MaximumRows && !QFileInfo(files.first()).isDir()) {
            enter->setDropAction(Qt::CopyAction);
            enter->accept();
        } else {
            enter->ignore();
        }
        return true;
    }
    case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(event);
        move->setDropAction(Qt::CopyAction);
        move->accept();
        return true;
    }
    case QEvent::DragLeave:
        event->accept();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        drop->setDropAction(Qt::CopyAction);
        ImportDroppedFile(drop->mimeData());
        drop->accept();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void LayersWidget::ImportDroppedFile(const QMimeData* mimeData)
{
    const QStringList files = DroppedFiles(mimeData);
    if (files.isEmpty())
        return;
    const QString file = files.first();
    QImageReader reader(file);
    // Only a plain file is opened: a fifo would block the reader.
    if (!QFileInfo(file).isFile() || !reader.canRead()) {
        ShowItemLimitMessage(tr("The following file could not be loaded because it isn't a compatible image file."));
        return;
    }
    // The header tells the size: an oversized image is refused before it is decoded.
    if (reader.supportsOption(QImageIOHandler::Size)) {
        const QSize size = reader.size();
        if (static_cast<qint64>(size.width()) * size.height() > MaximumImagePixels) {
            ShowItemLimitMessage(
                tr("This image cannot be imported because its dimensions exceed the maximum that is supported."));
            return;
        }
    }
    const QUuid id = SlotAddNewLayer();
    if (!id.isNull() && m_properties->LayerId() == id)
        m_properties->SetImage(file);
}

} // namespace lumo::ui
