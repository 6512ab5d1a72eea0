#include "Toolbox/ToolboxSections.h"

#include "Controls/SmallWidgets.h"
#include "Panels/FilterWidgets.h"
#include "Shell/Application.h"
#include "Toolbox/PanelSupport.h"
#include "Toolbox/BasicExportWidget.h"
#include "Toolbox/CanvasSizeWidget.h"
#include "Toolbox/FiltersWidget.h"
#include "Toolbox/LayerPropertiesWidget.h"
#include "Toolbox/LayersWidget.h"
#include "Toolbox/MasksWidget.h"
#include "Toolbox/PositionWidget.h"
#include "Toolbox/SingleImport.h"
#include "Toolbox/TextPropertiesWidget.h"
#include "Toolbox/TextWidget.h"

#include "LayerManager.h"
#include "LayerSettings.h"

#include <QGridLayout>
#include <QScrollArea>
#include <QVBoxLayout>

namespace lumo::ui {

using app::LayerType;
using app::ProjectPtr;

namespace {

constexpr int kFrameMargin = 10;
constexpr int kFrameSpacing = 10;

QGridLayout* CreatePanelGrid(QFrame* frame)
{
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    grid->setVerticalSpacing(kFrameSpacing);
    return grid;
}

// An empty widget holding only a stretch, below a section's panels.
QWidget* CreateStretchWidget(QWidget* parent)
{
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->addStretch();
    return widget;
}

} // namespace

// ---- AbstractToolboxSection

AbstractToolboxSection::AbstractToolboxSection(const SectionRules& rules, QWidget* parent)
    : QFrame(parent), m_rules(rules)
{
}

AbstractToolboxSection::~AbstractToolboxSection() = default;

ProjectPtr AbstractToolboxSection::CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr && app->GetDocument() ? app->GetDocument()->GetProject() : nullptr;
}

bool AbstractToolboxSection::IsOwnToolset() const
{
    const ProjectPtr project = CurrentProject();
    return project && project->CurrentToolset() == m_rules.index;
}

void AbstractToolboxSection::ModelChanged(DataType type, const QUuid& id, FieldType field)
{
    const ProjectPtr project = CurrentProject();
    if (!project)
        return;
    if (type == DataTypeProject && field == FieldTypeRefreshAll) {
        RefreshAll();
    } else if (type == DataTypeInterface && field == FieldTypeCurrentToolset) {
        if (IsOwnToolset()) {
            OwnToolsetChosen();
            if (m_rebuildPending)
                RequestRebuild();
        }
    } else if (m_rules.followsForeground && type == DataTypeProject && field == FieldTypeImageAdded) {
        if (IsOwnToolset() && id == project->GetLayerManager()->LayerList()->StaticForegroundId())
            FollowForeground();
    } else if (m_rules.followsForeground && type == DataTypeProject && field == FieldTypeForegroundUniqueness) {
        if (m_rules.uniquenessOnAnyToolset || IsOwnToolset())
            ApplyUniqueness();
    } else {
        OtherChange(type, id, field);
    }
}

void AbstractToolboxSection::RefreshAll()
{
    RequestRebuild();
    if (m_rules.followsForeground)
        RecordForeground();
}

void AbstractToolboxSection::OwnToolsetChosen()
{
    if (const ProjectPtr project = CurrentProject())
        project->SetCurrentLayerType(m_rules.layerType);
    if (m_rules.followsForeground)
        FollowForeground();
}

void AbstractToolboxSection::OtherChange(DataType /*type*/, const QUuid& /*id*/, FieldType /*field*/) {}

void AbstractToolboxSection::FollowForeground()
{
    const ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const QUuid id = manager->CurrentForegroundId();
    const bool unique = manager->IsCurrentForegroundUnique();
    if (id != m_foregroundId && (unique || m_foregroundUnique))
        RequestRebuild();
    m_foregroundId = id;
    m_foregroundUnique = unique;
}

void AbstractToolboxSection::ApplyUniqueness()
{
    const ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const bool unique = project->GetLayerManager()->IsCurrentForegroundUnique();
    if (m_foregroundUnique && !unique)
        RequestRebuild();
    m_foregroundUnique = unique;
}

void AbstractToolboxSection::RequestRebuild()
{
    m_rebuildPending = m_rules.rebuildsWhenShown && !IsOwnToolset();
    if (!m_rebuildPending)
        Rebuild();
}

void AbstractToolboxSection::RecordForeground()
{
    if (const ProjectPtr project = CurrentProject()) {
        m_foregroundId = project->GetLayerManager()->CurrentForegroundId();
        m_foregroundUnique = project->GetLayerManager()->IsCurrentForegroundUnique();
    }
}

void AbstractToolboxSection::Notify(DataType type, FieldType field)
{
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(type, model->GetDocument()->Id(), field);
}

void AbstractToolboxSection::NotifyWithId(DataType type, const QUuid& id, FieldType field)
{
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(type, id, field);
}

QFrame* AbstractToolboxSection::CreateScrollFrame(bool horizontalScrollBar)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setObjectName(QStringLiteral("ScrollArea"));
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (!horizontalScrollBar)
        m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setFrameShadow(QFrame::Plain);
    auto* frame = new QFrame(m_scrollArea);
    frame->setObjectName(QStringLiteral("ToolboxFrame"));
    m_scrollArea->setWidget(frame);
    layout->addWidget(m_scrollArea);
    return frame;
}

// ---- CanvasSizeSection

CanvasSizeSection::CanvasSizeSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionCanvasSize, app::LayerTypeForeground}, parent)
{
    QFrame* frame = CreateScrollFrame();
    m_layout = new QVBoxLayout(frame);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_panel = new CanvasSizeWidget(frame);
    m_layout->addWidget(m_panel);
    m_layout->addStretch();
    connect(m_panel, &CanvasSizeWidget::SignalFocusCanvas, this, &CanvasSizeSection::SlotFocusCanvas);
}

void CanvasSizeSection::SlotFocusCanvas()
{
    Notify(DataTypeCanvas, FieldTypeFocusCanvas);
}

void CanvasSizeSection::Rebuild()
{
    m_panel->UpdateFromModel();
}

void CanvasSizeSection::OtherChange(DataType type, const QUuid& id, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeImageAdded)
        m_panel->UpdateLayerDimensions(id);
    else if (type == DataTypeInterface && field == FieldTypeGreetingCard)
        m_panel->UpdateGreetingsCardState();
}

// ---- ImportSection

ImportSection::ImportSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionImport, app::LayerTypeForeground}, parent)
{
    QFrame* frame = CreateScrollFrame();
    m_layout = new QVBoxLayout(frame);
    m_layout->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    m_layout->setSpacing(kFrameSpacing);
    m_foreground = new SingleImport(tr("Foreground"), app::LayerTypeForeground, frame);
    m_background = new SingleImport(tr("Background"), app::LayerTypeBackground, frame);
    m_layout->addWidget(m_foreground);
    m_layout->addWidget(m_background);
    m_layout->addWidget(CreateStretchWidget(frame));
    for (SingleImport* box : {m_foreground, m_background}) {
        connect(box, &SingleImport::SignalNewImageAdded, this, &ImportSection::SlotNewImageAdded);
        connect(box, &SingleImport::SignalForegroundEnabled, this, &ImportSection::SlotForegroundEnabled);
        connect(box, &SingleImport::SignalBackgroundEnabled, this, &ImportSection::SlotBackgroundEnabled);
    }
}

void ImportSection::Rebuild()
{
    m_foreground->UpdateFromModel();
    m_background->UpdateFromModel();
}

void ImportSection::OtherChange(DataType type, const QUuid& /*id*/, FieldType field)
{
    if (type != DataTypeProject)
        return;
    if (field == FieldTypeForegroundEnabled)
        m_foreground->UpdateLayer(app::LayerTypeForeground);
    else if (field == FieldTypeBackgroundEnabled)
        m_background->UpdateLayer(app::LayerTypeBackground);
}

void ImportSection::SlotNewImageAdded(QUuid id)
{
    NotifyWithId(DataTypeProject, id, FieldTypeImageAdded);
}

void ImportSection::SlotAutoExportImage(QUuid id)
{
    NotifyWithId(DataTypeProject, id, FieldTypeAutoExportImage);
}

void ImportSection::SlotNotifyNavigationButtons()
{
    Notify(DataTypeInterface, FieldTypeNavigationButtons);
}

void ImportSection::SlotUniquenessChanged()
{
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
}

void ImportSection::SlotHotFolderStateChanged()
{
    Notify(DataTypeProject, FieldTypeHotFolderState);
}

void ImportSection::SlotForegroundEnabled()
{
    Notify(DataTypeProject, FieldTypeForegroundEnabled);
}

void ImportSection::SlotBackgroundEnabled()
{
    Notify(DataTypeProject, FieldTypeBackgroundEnabled);
}

// ---- MasksSection

MasksSection::MasksSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionMasks, app::LayerTypeForeground, true}, parent)
{
    QFrame* frame = CreateScrollFrame(false);
    m_masks = new MasksWidget(frame);
    CreatePanelGrid(frame)->addWidget(m_masks, 0, 0);
}

void MasksSection::Rebuild()
{
    m_masks->UpdateFromModel();
}

void MasksSection::OtherChange(DataType type, const QUuid& /*id*/, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeProjectOpened)
        m_masks->ClearMaskTable();
}

// ---- Tabbed sections

TabbedToolboxSection::TabbedToolboxSection(const SectionRules& rules, bool horizontal, QWidget* parent)
    : AbstractToolboxSection(rules, parent)
{
    setObjectName(QStringLiteral("TabFrameBorder"));
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(this)) : new QVBoxLayout(this);
    layout->setContentsMargins(0, kFrameMargin, 0, 0);
    layout->setSpacing(0);
    m_tabs = new TabWidget(this);
    for (QVBoxLayout** page : {&m_foreground, &m_background}) {
        auto* widget = new QWidget(m_tabs);
        *page = new QVBoxLayout(widget);
        (*page)->setContentsMargins(0, 0, 0, 0);
        (*page)->setSpacing(0);
        m_tabs->addTab(widget, page == &m_foreground ? tr("Foreground") : tr("Background"));
    }
    layout->addWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, &TabbedToolboxSection::SlotTabChange);
}

QVBoxLayout* TabbedToolboxSection::PanelLayout(LayerType kind) const
{
    return kind == app::LayerTypeForeground ? m_foreground : m_background;
}

void TabbedToolboxSection::SlotTabChange(int index)
{
    const ProjectPtr project = CurrentProject();
    if (!project)
        return;
    project->SetCurrentLayerType(index == 0 ? app::LayerTypeForeground : app::LayerTypeBackground);
    Notify(DataTypeInterface, FieldTypeCurrentLayerType);
}

LayerType TabbedToolboxSection::ShowLayerTab(bool writeProject)
{
    const ProjectPtr project = CurrentProject();
    LayerType type = project ? project->CurrentLayerType() : app::LayerTypeForeground;
    if (type != app::LayerTypeBackground && type != app::LayerTypeForeground) {
        type = app::LayerTypeForeground;
        if (writeProject && project)
            project->SetCurrentLayerType(type);
    }
    // Selecting the tab here only shows the layer: the notification belongs to a user's choice.
    const QSignalBlocker blocker(m_tabs);
    m_tabs->setCurrentIndex(type == app::LayerTypeForeground ? 0 : 1);
    return type;
}

void TabbedToolboxSection::RefreshAll()
{
    ShowLayerTab(IsOwnToolset());
    RequestRebuild();
    if (RecordsOnRefreshAll())
        RecordForeground();
}

void TabbedToolboxSection::OwnToolsetChosen()
{
    ShowLayerTab(true);
    FollowForeground();
}

// ---- FiltersSection

FiltersSection::FiltersSection(QWidget* parent)
    : TabbedToolboxSection({app::ToolsetSectionFilters, app::LayerTypeForeground, true, false, true}, true, parent)
{
}

void FiltersSection::Rebuild()
{
    if (m_foreground == nullptr) {
        m_foreground = new FiltersWidget(app::LayerTypeForeground, PanelLayout(app::LayerTypeForeground)->parentWidget());
        m_background = new FiltersWidget(app::LayerTypeBackground, PanelLayout(app::LayerTypeBackground)->parentWidget());
        PanelLayout(app::LayerTypeForeground)->addWidget(m_foreground);
        PanelLayout(app::LayerTypeBackground)->addWidget(m_background);
    }
    m_foreground->UpdateFromModel();
    m_background->UpdateFromModel();
}

// ---- PositionSection

PositionSection::PositionSection(QWidget* parent)
    : TabbedToolboxSection({app::ToolsetSectionPosition, app::LayerTypeForeground, true}, false, parent)
{
    m_foreground = new PositionWidget(app::LayerTypeForeground, PanelLayout(app::LayerTypeForeground)->parentWidget());
    m_background = new PositionWidget(app::LayerTypeBackground, PanelLayout(app::LayerTypeBackground)->parentWidget());
    PanelLayout(app::LayerTypeForeground)->addWidget(m_foreground);
    PanelLayout(app::LayerTypeBackground)->addWidget(m_background);
}

void PositionSection::Rebuild()
{
    m_foreground->UpdateFromModel();
    m_background->UpdateFromModel();
}

void PositionSection::OtherChange(DataType type, const QUuid& id, FieldType field)
{
    if (type == DataTypeCanvas && field == FieldTypeLayerTransform) {
        m_foreground->UpdateLayer(id);
        m_background->UpdateLayer(id);
    }
}

// ---- LayersSection

LayersSection::LayersSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionLayers, app::LayerTypeImage, true}, parent)
{
    QFrame* frame = CreateScrollFrame(false);
    m_layout = CreatePanelGrid(frame);
    m_layers = new LayersWidget(frame);
    m_layout->addWidget(m_layers, 0, 0);
    connect(m_layers, &LayersWidget::SignalForegroundEnabled, this, &LayersSection::SlotNotifyForegroundEnabled);
    connect(m_layers, &LayersWidget::SignalBackgroundEnabled, this, &LayersSection::SlotNotifyBackgroundEnabled);
}

void LayersSection::Rebuild()
{
    m_layers->UpdateFromModel();
}

void LayersSection::OtherChange(DataType type, const QUuid& id, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeProjectOpened)
        m_layers->ClearLayerTable();
    else if (type == DataTypeProject && field == FieldTypeForegroundEnabled)
        m_layers->UpdateLayerEnabledState(app::LayerTypeForeground);
    else if (type == DataTypeProject && field == FieldTypeBackgroundEnabled)
        m_layers->UpdateLayerEnabledState(app::LayerTypeBackground);
    else if (type == DataTypeCanvas && field == FieldTypeLayerTransform)
        m_layers->Properties()->UpdateTransform(id);
}

void LayersSection::SlotNotifyForegroundEnabled()
{
    Notify(DataTypeProject, FieldTypeForegroundEnabled);
}

void LayersSection::SlotNotifyBackgroundEnabled()
{
    Notify(DataTypeProject, FieldTypeBackgroundEnabled);
}

// ---- TextSection

TextSection::TextSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionText, app::LayerTypeForeground, true, true}, parent)
{
    QFrame* frame = CreateScrollFrame(false);
    m_text = new TextWidget(frame);
    CreatePanelGrid(frame)->addWidget(m_text, 0, 0);
}

void TextSection::Rebuild()
{
    m_text->UpdateFromModel();
}

void TextSection::OtherChange(DataType type, const QUuid& id, FieldType field)
{
    if (type == DataTypeCanvas && field == FieldTypeTextItem)
        m_text->Properties()->SyncFromCanvas(id);
}

// ---- ExportSection

ExportSection::ExportSection(QWidget* parent)
    : AbstractToolboxSection({app::ToolsetSectionExport, app::LayerTypeForeground}, parent)
{
    QFrame* frame = CreateScrollFrame(false);
    m_layout = CreatePanelGrid(frame);
    m_export = new BasicExportWidget(frame);
    m_layout->addWidget(m_export, 0, 0);
    m_layout->addWidget(CreateStretchWidget(frame), 1, 0);
}

void ExportSection::RefreshAll()
{
    ApplyApplicationStyleSheet(this);
}

} // namespace lumo::ui
