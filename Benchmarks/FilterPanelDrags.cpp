// The filter panels' drag: the foreground's Brightness, the filter chain re-rendered from
// RenderLevelFilter.
#include "SliderDrag.h"

#include "Controls/ValueControls.h"
#include "Panels/FilterWidgets.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"

namespace {

using namespace lumo;

const bool registered = lumora::bench::RegisterSliderDrag(
    {"FilterBrightness", [](app::Project& project) {
         project.SetCurrentToolset(app::ToolsetSectionFilters);
         project.SetCurrentLayerType(app::LayerTypeForeground);
         std::shared_ptr<app::AbstractFilterItem> item;
         project.GetLayerManager()->GetForegroundSettings()->Filters().GetFilterByType(app::FilterItemTypeBrightness,
                                                                                       item);
         lumora::bench::DraggedPanel dragged;
         if (!item)
             return dragged;
         // Switched on and open, as the user has it while dragging.
         item->SetEnabled(true);
         item->SetCollapsed(true);
         auto* panel = new ui::BrightnessFilterWidget(item, 0, nullptr);
         dragged.panel.reset(panel);
         if (auto* pair = panel->RowControlAs<ui::SpinSlider>(0))
             dragged.slider = pair->GetSlider();
         return dragged;
     }});

} // namespace
