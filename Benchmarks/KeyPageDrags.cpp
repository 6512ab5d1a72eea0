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

#include <QCoreApplication>

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
        m_model->NotifyObservers(ui::DataTypeProject, app->GetDocument()->Id(), ui::FieldTypeRefreshAll);
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
         auto* keys = qobject_cast<ui::KeySection*>(dock->Section(app::ToolsetSectionKey));
         for (int row = 0; keys != nullptr && row < keys->ListRows(); ++row)
             if (auto* panel = qobject_cast<ui::AutoColorDifferenceKeyWidget*>(keys->PanelAt(row)))
                 if (auto* pair = panel->RowControlAs<ui::SpinSlider>(ui::AutoColorDifferenceKeyWidget::RowRemoval))
                     dragged.slider = pair->GetSlider();
         return dragged;
     }});

} // namespace
