// The key panels' drag: the keyer's Removal, the foreground re-keyed from RenderLevelKey (and its
// shadow cache made stale) at every move.
#include "SliderDrag.h"

#include "Controls/ValueControls.h"
#include "Panels/KeyWidgets.h"

#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"

namespace {

using namespace lumo;

const bool registered = lumora::bench::RegisterSliderDrag(
    {"KeyRemoval", [](app::Project& project) {
         project.SetCurrentToolset(app::ToolsetSectionKey);
         project.SetCurrentLayerType(app::LayerTypeForeground);
         std::shared_ptr<app::AbstractKeyItem> item;
         project.GetLayerManager()->GetForegroundSettings()->Keys().GetFilterByType(
             app::KeyItemTypeAutoColorDifference, item);
         lumora::bench::DraggedPanel dragged;
         if (!item)
             return dragged;
         // Switched on and open, as the user has it while dragging.
         item->SetEnabled(true);
         item->SetCollapsed(true);
         auto* panel = new ui::AutoColorDifferenceKeyWidget(item, 0);
         dragged.panel.reset(panel);
         if (auto* pair = panel->RowControlAs<ui::SpinSlider>(ui::AutoColorDifferenceKeyWidget::RowRemoval))
             dragged.slider = pair->GetSlider();
         return dragged;
     }});

} // namespace
