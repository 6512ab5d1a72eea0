// The panels as the toolbox shows them, for a person to look at (build/Tests/UI/grabs/panels-*.png):
// every filter panel of the foreground in list order, the last one closed and off, and the two
// composite panels.

#include "Grabs.h"
#include "PanelTest.h"

#include "Controls/Container.h"

namespace lumo::ui::testing {
namespace {

using namespace app;

TEST_F(PanelTest, GrabsOfTheFilterAndCompositePanels)
{
    int built = 0;
    const FilterList& filters = Filters(LayerTypeForeground);
    for (auto it = filters.Begin(); it != filters.End(); ++it) {
        const bool last = std::next(it) == filters.End();
        (*it)->SetEnabled(!last);
        (*it)->SetCollapsed(!last);
        if (AbstractFilterWidget* panel = CreateFilterWidget(*it, built, nullptr)) {
            Show(panel);
            ++built;
        }
    }
    EXPECT_EQ(built, 10);
    host->adjustSize();
    ProcessEvents();
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), QStringLiteral("panels-filters")).isEmpty());
}

TEST_F(PanelTest, GrabOfTheCompositePanels)
{
    const CompositeList& composites = Compositors();
    int built = 0;
    for (auto it = composites.Begin(); it != composites.End(); ++it) {
        (*it)->SetEnabled(true);
        (*it)->SetCollapsed(true);
        if (AbstractCompositeWidget* panel = CreateCompositeWidget(*it, built)) {
            Show(panel);
            ++built;
        }
    }
    EXPECT_EQ(built, 2);
    host->adjustSize();
    ProcessEvents();
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), QStringLiteral("panels-composite")).isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
