// The keyer's Removal dragged in the key page of the toolbox dock: the dock with its eleven pages
// over a model of its own, the key page current and built from the project as a refresh-all builds
// it, so that the page's layout, scroll area and style sheet take part in every frame.
#include "SliderDrag.h"

#include "Controls/ValueControls.h"
#include "Panels/KeyWidgets.h"
#include "Shell/Application.h"
#include "Shell/LumoModel.h"
#include "Toolbox/EffectSections.h"
#include "Toolbox/ToolboxDockWidget.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <chrono>

namespace lumora::bench {

QAbstractSlider* KeyRemovalSlider(lumo::ui::KeySection& keys)
{
    for (int row = 0; row < keys.ListRows(); ++row)
        if (auto* panel = qobject_cast<lumo::ui::AutoColorDifferenceKeyWidget*>(keys.PanelAt(row)))
            if (auto* pair = panel->RowControlAs<lumo::ui::SpinSlider>(lumo::ui::AutoColorDifferenceKeyWidget::RowRemoval))
                return pair->GetSlider();
    return nullptr;
}

} // namespace lumora::bench

namespace {

using namespace lumo;

// Keeps the dock's model alive as long as the dock.
class BenchDock : public ui::ToolboxDockWidget {
public:
    BenchDock() : ui::ToolboxDockWidget(QStringLiteral("Toolbox"))
    {
        auto* app = static_cast<ui::Application*>(QCoreApplication::instance());
        m_model = std::make_shared<ui::LumoModel>(app->GetDocument());
        SetModel(m_model);
        Notify(ui::DataTypeProject, ui::FieldTypeRefreshAll);
    }

    void Notify(ui::DataType type, ui::FieldType field)
    {
        m_model->NotifyObservers(type, m_model->GetDocument()->Id(), field);
    }

private:
    ui::LumoModelPtr m_model;
};

const bool registered = lumora::bench::RegisterSliderDrag(
    {"KeyPageRemoval", [](app::Project& project) {
         project.SetCurrentToolset(app::ToolsetSectionKey);
         project.SetCurrentLayerType(app::LayerTypeForeground);
         lumora::bench::DraggedPanel dragged;
         std::shared_ptr<app::AbstractKeyItem> item;
         project.GetLayerManager()->GetForegroundSettings()->Keys().GetFilterByType(
             app::KeyItemTypeAutoColorDifference, item);
         if (!item)
             return dragged;
         item->SetEnabled(true);
         item->SetCollapsed(true);
         auto* dock = new BenchDock;
         dragged.panel.reset(dock);
         if (auto* keys = qobject_cast<ui::KeySection*>(dock->Section(app::ToolsetSectionKey)))
             dragged.slider = lumora::bench::KeyRemovalSlider(*keys);
         return dragged;
     }});

// The key page when the current foreground stops being unique: the page is rebuilt for the shared
// settings, as for a switch between a unique and a shared foreground (the same work). A frame is the
// notification and the layout it leaves; run after KeyPageRemoval, which opens the project.
void KeyPageSwitch(benchmark::State& state)
{
    auto* app = static_cast<ui::Application*>(QCoreApplication::instance());
    const app::ProjectPtr project = app->GetDocument()->GetProject();
    const app::LayerManagerPtr layers = project ? project->GetLayerManager() : nullptr;
    const app::ForegroundImageLayerPtr foreground = layers ? layers->GetForeground(layers->CurrentForegroundId()) : nullptr;
    if (!foreground) {
        state.SkipWithError("no foreground: run with the KeyPageRemoval cases");
        return;
    }
    project->SetCurrentToolset(app::ToolsetSectionKey);
    BenchDock dock;
    dock.resize(380, 1000);
    dock.show();
    dock.Notify(ui::DataTypeInterface, ui::FieldTypeCurrentToolset);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        foreground->SetUnique(true);
        dock.Notify(ui::DataTypeProject, ui::FieldTypeForegroundUniqueness);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        foreground->SetUnique(false);
        dock.Notify(ui::DataTypeProject, ui::FieldTypeForegroundUniqueness);
        QCoreApplication::processEvents();
    }
}

const bool switchRegistered = [] {
    benchmark::RegisterBenchmark("Switch/KeyPageUniqueToShared", KeyPageSwitch)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();

} // namespace
