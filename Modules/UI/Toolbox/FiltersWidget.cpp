#include "Toolbox/FiltersWidget.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Panels/FilterWidgets.h"
#include "Shell/Application.h"
#include "Shell/LumoDocument.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/PanelSupport.h"

#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"
#include "RenderProcessor.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>

namespace lumo::ui {

FiltersWidget::FiltersWidget(int kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_column(AddToolboxScrollFrame(*this))
{
}

app::FilterList* FiltersWidget::CurrentFilterList() const
{
    const app::ProjectPtr project = Application::Instance()->GetDocument()->GetProject();
    if (!project)
        return nullptr;
    const app::LayerManagerPtr layers = project->GetLayerManager();
    if (m_kind != 0) {
        const app::ForegroundImageLayerSettingsPtr settings = layers->GetForegroundSettings();
        return settings ? &settings->Filters() : nullptr;
    }
    // The same list the filter panels edit for the background.
    const app::ImageLayerSettingsPtr settings = layers->GetLayerSettings(app::LayerTypeBackground);
    return settings ? &settings->Filters() : nullptr;
}

AbstractFilterWidget* FiltersWidget::PanelAt(int row) const
{
    return qobject_cast<AbstractFilterWidget*>(m_column.PanelAt(row));
}

void FiltersWidget::UpdateFromModel()
{
    std::vector<AbstractEffectWidget*> panels;
    if (const app::FilterList* list = CurrentFilterList()) {
        for (auto it = list->Begin(); it != list->End(); ++it) {
            AbstractFilterWidget* panel = CreateFilterWidget(*it, static_cast<int>(panels.size()), this);
            if (panel != nullptr) {
                connect(panel, &AbstractEffectWidget::SignalMoveFilterUp, this, &FiltersWidget::SlotMoveFilterUp);
                connect(panel, &AbstractEffectWidget::SignalMoveFilterDown, this, &FiltersWidget::SlotMoveFilterDown);
                connect(panel, &AbstractEffectWidget::SignalContainerExpandChanged, this,
                        &FiltersWidget::SlotContainerExpandChanged);
            }
            panels.push_back(panel);
        }
    }
    m_resetButton = m_column.Fill(panels);
    connect(m_resetButton, &QPushButton::clicked, this, &FiltersWidget::SlotResetFilters);
    ApplyApplicationStyleSheet(this);
}

void FiltersWidget::SlotMoveFilterUp()
{
    if (auto* panel = qobject_cast<AbstractFilterWidget*>(sender()))
        MoveFilter(panel, false);
}

void FiltersWidget::SlotMoveFilterDown()
{
    if (auto* panel = qobject_cast<AbstractFilterWidget*>(sender()))
        MoveFilter(panel, true);
}

void FiltersWidget::MoveFilter(AbstractFilterWidget* panel, bool down)
{
    app::FilterList* list = CurrentFilterList();
    if (list == nullptr)
        return;
    // Bounded by the list, whose rows may hold types without a panel.
    const int position = panel->Info().position;
    const int count = int(list->Count());
    if (down ? position >= count - 1 : position <= 0)
        return;
    const int target = down ? position + 1 : position - 1;
    if ((down ? list->MoveDown(panel->Info().id) : list->MoveUp(panel->Info().id)) != app::LMerrSuccess)
        return;
    if (AbstractFilterWidget* other = PanelAt(target)) {
        Grid()->removeWidget(other);
        Grid()->removeWidget(panel);
        Grid()->addWidget(other, position, 0);
        other->Info().position = position;
        Grid()->addWidget(panel, target, 0);
        panel->Info().position = target;
    } else {
        // The neighbour has no panel: the model is the order, the column is built from it again.
        UpdateFromModel();
    }
    RequestFilterRefresh();
}

void FiltersWidget::RequestFilterRefresh()
{
    Application* app = Application::Instance();
    app->InvalidateLayerCache(m_kind, app::RenderLevelFilter, hvn::image::HXDownsampleFactor3);
    app->RequestLayerRefresh(m_kind, app::RenderLevelFilter, hvn::image::HXDownsampleFactor0);
}

void FiltersWidget::SlotContainerExpandChanged()
{
    m_column.Relayout();
}

void FiltersWidget::SlotResetFilters()
{
    const WaitCursor busy;
    m_column.ResetPanelsOff();
    if (m_kind == 1) {
        if (const auto processor = Application::Instance()->GetRenderProcessor()) {
            processor->InvalidateShadowCache(hvn::image::HXDownsampleFactor0);
            processor->InvalidateShadowCache(hvn::image::HXDownsampleFactor3);
        }
    }
    RequestFilterRefresh();
}

} // namespace lumo::ui
