// The panels as the toolbox shows them, for a person to look at (build/Tests/UI/grabs/panels-*.png):
// every filter panel of the foreground in list order, the last one closed and off, the two
// composite panels, and the key panels of the default key chain; each laid out soundly.

#include "Grabs.h"
#include "LayoutCheck.h"
#include "PanelTest.h"

#include "Controls/Container.h"

#include <QComboBox>

namespace lumo::ui::testing {
namespace {

using namespace app;

TEST_F(PanelTest, GrabOfTheFilterPanels)
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
    ExpectSoundLayout(*host, QStringLiteral("filter panels"));
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
    ExpectSoundLayout(*host, QStringLiteral("composite panels"));
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), QStringLiteral("panels-composite")).isEmpty());
}

TEST_F(PanelTest, GrabOfTheKeyPanels)
{
    // As the default project has them, but every panel open: UV Blur stays off.
    const KeyList& keys = Keys();
    int built = 0;
    for (auto it = keys.Begin(); it != keys.End(); ++it) {
        const bool on = (*it)->Type() != KeyItemTypeYuvBlur;
        (*it)->SetEnabled(on);
        (*it)->SetCollapsed(on);
        if (AbstractKeyWidget* panel = CreateKeyWidget(*it, built)) {
            Show(panel);
            ++built;
        }
    }
    EXPECT_EQ(built, 8);
    for (const QComboBox* combo : host->findChildren<QComboBox*>()) {
        EXPECT_EQ(combo->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
        EXPECT_EQ(combo->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
    host->adjustSize();
    ProcessEvents();
    ExpectSoundLayout(*host, QStringLiteral("key panels"));
    EXPECT_FALSE(SaveGrab(host->grab().toImage(), QStringLiteral("panels-keys")).isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
