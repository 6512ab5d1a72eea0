// What a panel shows for what a project holds, and what building it writes back: percentages are
// rounded (a stored 0.29 shows 29 and survives a rewrite), the vignette's shape keeps two decimals
// however often its panel is rebuilt.

#include "PanelTest.h"

#include "Controls/ValueControls.h"

#include <cmath>
#include <limits>

namespace lumo::ui::testing {
namespace {

using namespace app;

TEST(PercentFromFraction, RoundsToTheNearestWholePercent)
{
    const struct {
        double fraction;
        int shown;
    } cases[] = {{0.29, 29},   {0.57, 57},     {0.58, 58},   {-0.29, -29}, {1.16, 116},
                 {1.234, 123}, {0.005, 1},     {-0.005, -1}, {0.0, 0},     {std::numeric_limits<double>::quiet_NaN(), 0},
                 {1e300, std::numeric_limits<int>::max()}};
    for (const auto& c : cases)
        EXPECT_EQ(PercentFromFraction(c.fraction), c.shown) << c.fraction;
    // Every whole percent a control writes reads back as itself.
    for (int percent = -200; percent <= 200; ++percent)
        ASSERT_EQ(PercentFromFraction(percent / 100.0), percent);
}

struct LoadCase {
    const char* name;
    FilterItemType type;
    std::function<void(AbstractRenderItem&)> store;
    int row;
    double shown;
    bool active;
};

void PrintTo(const LoadCase& c, std::ostream* out)
{
    *out << c.name;
}

template <class Item>
Item& As(AbstractRenderItem& item)
{
    return dynamic_cast<Item&>(item);
}

const LoadCase kLoadCases[] = {
    {"Brightness029Shows29", FilterItemTypeBrightness,
     [](AbstractRenderItem& i) { As<BrightnessFilterItem>(i).SetBrightness(0.29); }, 0, 29, true},
    {"BrightnessMinus029ShowsMinus29", FilterItemTypeBrightness,
     [](AbstractRenderItem& i) { As<BrightnessFilterItem>(i).SetBrightness(-0.29); }, 0, -29, true},
    {"LevelsWhite057Shows57", FilterItemTypeSuperContrast,
     [](AbstractRenderItem& i) { As<SuperContrastFilterItem>(i).SetWhiteLevel(0.57); }, 1, 57, true},
    {"HueStrength058Shows58", FilterItemTypeHueColorize,
     [](AbstractRenderItem& i) { As<HueColorizeFilterItem>(i).SetStrength(0.58); }, 1, 58, true},
    {"LevelsAtNeutralIsInactive", FilterItemTypeSuperContrast, [](AbstractRenderItem&) {}, 1, 100, false},
    {"Shift5000Shows6500Kelvin", FilterItemTypeColorTemperature, [](AbstractRenderItem&) {}, 0, 6500, false},
    {"KelvinIsTruncated", FilterItemTypeColorTemperature,
     [](AbstractRenderItem& i) { As<ColorTemperatureFilterItem>(i).SetTemperatureShift(4999.9); }, 0, 6499, true},
    {"BlurRadiusIsTruncated", FilterItemTypeBlur, [](AbstractRenderItem& i) { As<BlurFilterItem>(i).SetRadius(2.7); }, 0,
     2, true},
    {"BalanceShowsTwoDecimals", FilterItemTypeColorBalance,
     [](AbstractRenderItem& i) { As<ColorBalanceFilterItem>(i).SetBlue(1.234); }, 2, 1.23, true},
};

class LoadTest : public PanelTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, ShowsTheStoredValueAndSetsTheActiveFlag)
{
    const LoadCase& c = GetParam();
    const std::shared_ptr<AbstractFilterItem> item = FilterItem(c.type);
    ASSERT_TRUE(item);
    c.store(*item);
    item->SetActive(!c.active);
    AbstractEffectWidget* panel = Show(CreateFilterWidget(item, 0, nullptr));
    QAbstractSpinBox* box = SpinBoxOf(*panel, c.row);
    ASSERT_NE(box, nullptr);
    if (auto* integer = qobject_cast<QSpinBox*>(box))
        EXPECT_EQ(integer->value(), c.shown);
    else
        EXPECT_DOUBLE_EQ(static_cast<QDoubleSpinBox*>(box)->value(), c.shown);
    EXPECT_EQ(item->IsActive(), c.active);
}

INSTANTIATE_TEST_SUITE_P(Panels, LoadTest, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PanelTest, VignetteShapeKeepsTwoDecimalsOverRebuilds)
{
    const auto item = std::dynamic_pointer_cast<VignetteCompositeItem>(CompositeItem(CompositeItemTypeVignette));
    ASSERT_TRUE(item);
    item->SetHorizontalStretch(1.234);
    item->SetVerticalStretch(1.16);
    item->SetOpacity(0.29);
    item->SetSoftness(0.437);
    item->SetActive(false);
    for (int rebuild = 0; rebuild < 2; ++rebuild) {
        delete CreateCompositeWidget(item, 0);
        EXPECT_DOUBLE_EQ(item->HorizontalStretch(), 1.23) << "rebuild " << rebuild;
        EXPECT_DOUBLE_EQ(item->VerticalStretch(), 1.16) << "rebuild " << rebuild;
        EXPECT_DOUBLE_EQ(item->Opacity(), 0.29) << "rebuild " << rebuild;
        EXPECT_DOUBLE_EQ(item->Softness(), 0.437) << "softness and curvature are left as they are";
        EXPECT_TRUE(item->IsActive());
    }
    EXPECT_TRUE(refreshes.empty());
}

} // namespace
} // namespace lumo::ui::testing
