// The keyer's Removal dragged in the key page docked in the program's main window, which fills the
// 1920 x 1080 screen: the frames paint the window's own canvas view, with the toolset bar, the
// canvas actions and the dock around it, as a person works. Then a switch between two foregrounds
// with settings of their own, each switch rebuilding the docked key page.
#include "SliderDrag.h"

#include "Canvas/CanvasView.h"
#include "Shell/Application.h"
#include "Shell/LumoModel.h"
#include "Window/MainWindow.h"
#include "Toolbox/EffectSections.h"
#include "Toolbox/ToolboxDockWidget.h"

#include "ForegroundImageLayer.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "PhotoReading.h"
#include "RenderProcessor.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

namespace {

using namespace lumo;

const char* const kCase = "MainWindowKeyRemoval";

// The window the case built; it lives as long as the slider-drag workspace.
ui::MainWindow* g_window = nullptr;

ui::KeySection* DockedKeyPage()
{
    return g_window != nullptr
               ? qobject_cast<ui::KeySection*>(g_window->GetToolboxDock()->Section(app::ToolsetSectionKey))
               : nullptr;
}

const bool registered = lumora::bench::RegisterSliderDrag(
    {kCase, [](app::Project& project) {
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
         // The window builds its pages and refreshes them from the open project, as at start-up.
         auto window = std::make_unique<ui::MainWindow>(QString());
         g_window = window.get();
         if (ui::KeySection* keys = DockedKeyPage())
             dragged.slider = lumora::bench::KeyRemovalSlider(*keys);
         dragged.view = window->GetCanvasView();
         dragged.scene = window->GetCanvasScene();
         dragged.panel = std::move(window);
         return dragged;
     }});

// A frame: another foreground with settings of its own becomes current and is announced as the
// foreground slot's new image, as an import announces it; the docked key page rebuilds for it and
// the window lays it out and paints (the canvas included). page_ms: the notification alone.
void MainWindowKeyPageSwitch(benchmark::State& state)
{
    if (!lumora::bench::BuildSliderDragCase(kCase) || DockedKeyPage() == nullptr) {
        state.SkipWithError("no main window");
        return;
    }
    auto* app = static_cast<ui::Application*>(QCoreApplication::instance());
    const app::ProjectPtr project = app->GetDocument()->GetProject();
    const app::LayerManagerPtr layers = project->GetLayerManager();
    const app::ForegroundImageLayerPtr first = layers->GetForeground(layers->CurrentForegroundId());
    // The second foreground: the same photograph with settings of its own, in the renderer too.
    static app::ForegroundImageLayerPtr second;
    if (!second) {
        second = std::make_shared<app::ForegroundImageLayer>("second", first->Path());
        // As an import leaves it: the canvas follows the photograph's size.
        second->SetDimensions(first->Dimensions());
        if (layers->AddForegroundLayer(second) != app::LMerrSuccess || second->SetUnique(true) != app::LMerrSuccess ||
            first->SetUnique(true) != app::LMerrSuccess ||
            app->GetRenderProcessor()->SetLayer(second, app::ReadPhoto(first->Path())) != app::LMerrSuccess) {
            state.SkipWithError("cannot add the second foreground");
            return;
        }
    }
    const ui::LumoModelPtr model = g_window->Model();
    const QUuid slot = layers->LayerList()->StaticForegroundId();
    project->SetCurrentToolset(app::ToolsetSectionKey);
    model->NotifyObservers(ui::DataTypeInterface, app->GetDocument()->Id(), ui::FieldTypeCurrentToolset);
    QCoreApplication::processEvents();
    bool toSecond = true;
    double pageMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        layers->SetCurrentForegroundId((toSecond ? second : first)->Id());
        model->NotifyObservers(ui::DataTypeProject, slot, ui::FieldTypeImageAdded);
        pageMs += clock.nsecsElapsed() / 1.0e6;
        g_window->repaint();
        g_window->GetCanvasView()->viewport()->repaint();
        QCoreApplication::processEvents();
        toSecond = !toSecond;
    }
    state.counters["page_ms"] = pageMs / static_cast<double>(state.iterations());
    layers->SetCurrentForegroundId(first->Id());
    model->NotifyObservers(ui::DataTypeProject, slot, ui::FieldTypeImageAdded);
    QCoreApplication::processEvents();
}

const bool switchRegistered = [] {
    benchmark::RegisterBenchmark("Switch/MainWindowKeyPageUniqueToUnique", MainWindowKeyPageSwitch)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();

} // namespace
