#include "Toolbox/EffectSections.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Panels/CompositeWidgets.h"
#include "Panels/KeyWidgets.h"
#include "Shell/Application.h"
#include "Shell/OverrideCursor.h"
#include "Toolbox/PanelSupport.h"

#include "LayerManager.h"
#include "LayerSettings.h"
#include "RenderProcessor.h"

#include <QApplication>
#include <QGridLayout>
#include <QHash>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

// ---- EffectListSection

EffectListSection::EffectListSection(app::ToolsetSections index, QWidget* parent)
    : AbstractToolboxSection({index, app::LayerTypeForeground, true, false, true}, parent)
    , m_column(std::make_unique<EffectPanelColumn>(CreateScrollFrame()))
{
}

void EffectListSection::Rebuild()
{
    const std::vector<AbstractEffectWidget*> panels = CreatePanels();
    for (AbstractEffectWidget* panel : panels)
        if (panel != nullptr)
            connect(panel, &AbstractEffectWidget::SignalContainerExpandChanged, this,
                    &EffectListSection::SlotContainerExpandChanged);
    connect(m_column->Fill(panels), &QPushButton::clicked, this, &EffectListSection::SlotResetFilters);
    ApplyApplicationStyleSheet(this);
}

void EffectListSection::SlotContainerExpandChanged()
{
    m_column->Relayout();
}

// ---- KeySection

KeySection::KeySection(QWidget* parent) : EffectListSection(app::ToolsetSectionKey, parent) {}

std::vector<AbstractEffectWidget*> KeySection::CreatePanels()
{
    std::vector<AbstractEffectWidget*> panels;
    if (const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings()) {
        const app::KeyList& keys = settings->Keys();
        for (auto it = keys.Begin(); it != keys.End(); ++it)
            panels.push_back(CreateKeyWidget(*it, static_cast<int>(panels.size())));
    }
    return panels;
}

void KeySection::SlotResetFilters()
{
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    {
        const WaitCursor wait;
        for (int row = 0; row < ListRows(); ++row) {
            auto* panel = qobject_cast<AbstractKeyWidget*>(PanelAt(row));
            if (panel == nullptr)
                continue;
            const bool enabled = panel->Info().defaultEnabled;
            const bool expanded = panel->Info().defaultExpanded;
            panel->SlotResetWidgetParameters(false);
            panel->SlotSetEnabled(enabled, false);
            panel->SlotSetExpanded(expanded);
            panel->GetContainer()->SetBodyState(enabled, expanded);
        }
        Column().Relayout();
        app->InvalidateShadowCache(HXDownsampleFactor0);
        app->InvalidateShadowCache(HXDownsampleFactor3);
        app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor3);
        app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor0);
    }
}

// ---- EffectsSection

EffectsSection::EffectsSection(QWidget* parent) : EffectListSection(app::ToolsetSectionEffects, parent) {}

std::vector<AbstractEffectWidget*> EffectsSection::CreatePanels()
{
    std::vector<AbstractEffectWidget*> panels;
    if (const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings()) {
        const app::CompositeList& composites = settings->Compositors();
        for (auto it = composites.Begin(); it != composites.End(); ++it) {
            AbstractCompositeWidget* panel = CreateCompositeWidget(*it, static_cast<int>(panels.size()));
            if (panel != nullptr) {
                connect(panel, &AbstractEffectWidget::SignalMoveFilterUp, this, &EffectsSection::SlotMoveFilterUp);
                connect(panel, &AbstractEffectWidget::SignalMoveFilterDown, this,
                        &EffectsSection::SlotMoveFilterDown);
            }
            panels.push_back(panel);
        }
    }
    return panels;
}

void EffectsSection::SlotMoveFilterUp()
{
    MovePanel(true);
}

void EffectsSection::SlotMoveFilterDown()
{
    MovePanel(false);
}

void EffectsSection::MovePanel(bool up)
{
    auto* moved = qobject_cast<AbstractCompositeWidget*>(sender());
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings();
    if (moved == nullptr || !settings || PanelAt(moved->Info().position) != moved)
        return;
    // The neighbour is the nearest row with a panel: rows of items without one are passed over, so
    // that the last panel stays last and the list and the grid keep one order.
    const int step = up ? -1 : 1;
    const int from = moved->Info().position;
    int to = from + step;
    while (to >= 0 && to < ListRows() && PanelAt(to) == nullptr)
        to += step;
    if (to < 0 || to >= ListRows())
        return;

    app::CompositeList& list = settings->Compositors();
    for (int row = from; row != to; row += step)
        if (up)
            list.MoveUp(moved->Info().id);
        else
            list.MoveDown(moved->Info().id);

    // The panels take the rows of their items in the new order.
    QHash<QUuid, AbstractCompositeWidget*> panels;
    for (int row = 0; row < ListRows(); ++row)
        if (auto* panel = qobject_cast<AbstractCompositeWidget*>(PanelAt(row))) {
            panels.insert(panel->Info().id, panel);
            Grid()->removeWidget(panel);
        }
    int row = 0;
    for (auto it = list.Begin(); it != list.End(); ++it, ++row)
        if (AbstractCompositeWidget* panel = panels.value((*it)->Id(), nullptr)) {
            Grid()->addWidget(panel, row, 0);
            panel->Info().position = row;
        }
    if (Application* app = Application::Instance())
        emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
}

void EffectsSection::SlotResetFilters()
{
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    {
        const WaitCursor wait;
        Column().ResetPanelsOff();
        emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
    }
}

} // namespace lumo::ui
