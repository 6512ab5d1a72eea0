// The filters list and the position panel over opened projects: the column of filter panels and
// its moves and reset (rows without a panel included), and the placement by numbers with its flips,
// resets and mask scaling.

#include "GreenScreenProject.h"
#include "Grabs.h"
#include "LayoutCheck.h"
#include "RefreshSignals.h"
#include "UiTest.h"

#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/DialControls.h"
#include "Controls/ValueControls.h"
#include "Panels/FilterWidgets.h"
#include "Shell/LumoDocument.h"
#include "Toolbox/FiltersWidget.h"
#include "Toolbox/PositionWidget.h"

#include "FilterItems.h"
#include "ImageLayer.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Mask.h"
#include "TransformItems.h"

#include <QGridLayout>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

app::LayerManagerPtr Layers()
{
    return Application::Instance()->GetDocument()->GetProject()->GetLayerManager();
}

app::FilterList& ForegroundFilters()
{
    return Layers()->GetForegroundSettings()->Filters();
}

std::vector<QUuid> IdsOf(const app::FilterList& list)
{
    std::vector<QUuid> ids;
    for (auto it = list.Begin(); it != list.End(); ++it)
        ids.push_back((*it)->Id());
    return ids;
}

// The layer refreshes asked for: (level, factor) each.
std::vector<std::pair<int, int>> LayerRefreshes(const QSignalSpy& spy)
{
    std::vector<std::pair<int, int>> refreshes;
    for (const QList<QVariant>& signal : spy)
        refreshes.emplace_back(signal.at(1).toInt(), int(signal.at(2).value<HXDownsampleFactor>()));
    return refreshes;
}

class FiltersPanelTest : public UiTest {
protected:
    void OpenGreenScreen()
    {
        ASSERT_TRUE(folder.isValid());
        const GreenScreenProject project = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(project.projectPath), app::LMerrSuccess);
    }
    void OpenRich()
    {
        QString data = qEnvironmentVariable("LUMORA_TEST_DATA");
        if (data.isEmpty())
            data = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
        ASSERT_EQ(App().OpenProject(data + "/projects/rich.lumo4"), app::LMerrSuccess);
        // The foreground whose chain holds types without a panel (the cast shadow among them).
        Layers()->SetCurrentForegroundId(QUuid(QStringLiteral("{cccccccc-3333-4333-8333-333333333333}")));
        CurrentProject()->SetCurrentLayerType(app::LayerTypeForeground);
    }
    FiltersWidget& Panel(int kind = 1)
    {
        if (!panel) {
            panel = std::make_unique<FiltersWidget>(kind, nullptr);
            panel->UpdateFromModel();
        }
        return *panel;
    }
    void TearDown() override
    {
        panel.reset();
        UiTest::TearDown();
    }
    QTemporaryDir folder;
    std::unique_ptr<FiltersWidget> panel;
};

TEST_F(FiltersPanelTest, EveryFilterHasItsRowThenResetThenTheStretch)
{
    OpenGreenScreen();
    const int count = int(ForegroundFilters().Count());
    ASSERT_EQ(count, 10);
    QGridLayout* grid = Panel().Grid();
    for (int row = 0; row < count; ++row) {
        ASSERT_NE(Panel().PanelAt(row), nullptr) << row;
        EXPECT_EQ(Panel().PanelAt(row)->Info().position, row);
        EXPECT_EQ(Panel().PanelAt(row)->Info().id, IdsOf(ForegroundFilters())[std::size_t(row)]);
    }
    ASSERT_NE(grid->itemAtPosition(count, 0), nullptr);
    EXPECT_EQ(grid->itemAtPosition(count, 0)->widget(), Panel().ResetButton());
    EXPECT_EQ(grid->itemAtPosition(count, 0)->alignment(), Qt::AlignRight);
    EXPECT_EQ(grid->rowStretch(count + 1), 1);
    // A rebuild leaves no stretch behind in the rows it reuses.
    Panel().UpdateFromModel();
    for (int row = 0; row <= count; ++row)
        EXPECT_EQ(grid->rowStretch(row), 0) << row;
}

TEST_F(FiltersPanelTest, MovesSwapModelAndRowsWithinTheList)
{
    OpenGreenScreen();
    const std::vector<QUuid> before = IdsOf(ForegroundFilters());
    const int count = int(before.size());
    AbstractFilterWidget* first = Panel().PanelAt(0);
    AbstractFilterWidget* second = Panel().PanelAt(1);
    QSignalSpy refreshes(&App(), kLayerSignal);
    emit second->SignalMoveFilterUp();
    std::vector<QUuid> expected = before;
    std::swap(expected[0], expected[1]);
    EXPECT_EQ(IdsOf(ForegroundFilters()), expected);
    EXPECT_EQ(Panel().PanelAt(0), second);
    EXPECT_EQ(Panel().PanelAt(1), first);
    EXPECT_EQ(second->Info().position, 0);
    EXPECT_EQ(first->Info().position, 1);
    EXPECT_EQ(LayerRefreshes(refreshes), (std::vector<std::pair<int, int>>{{app::RenderLevelFilter, 0}}));

    // The ends do not move.
    refreshes.clear();
    emit second->SignalMoveFilterUp();
    emit Panel().PanelAt(count - 1)->SignalMoveFilterDown();
    EXPECT_EQ(IdsOf(ForegroundFilters()), expected);
    EXPECT_EQ(refreshes.count(), 0);
}

TEST_F(FiltersPanelTest, ResetLeavesEveryFilterOffClosedAtItsDefaultsInOrder)
{
    OpenGreenScreen();
    const std::vector<QUuid> order = IdsOf(ForegroundFilters());
    AbstractFilterWidget* first = Panel().PanelAt(0);
    first->SlotSetEnabled(true);
    first->GetContainer()->SetBodyState(true, true);
    const int defaultValue = first->RowControlAs<SpinSlider>(0) ? first->RowControlAs<SpinSlider>(0)->GetSlider()->value()
                                                                : 0;
    if (SpinSlider* pair = first->RowControlAs<SpinSlider>(0))
        pair->GetSpinBox()->setValue(defaultValue + 7);
    QSignalSpy refreshes(&App(), kLayerSignal);
    Panel().ResetButton()->click();
    EXPECT_EQ(IdsOf(ForegroundFilters()), order);
    for (auto it = ForegroundFilters().Begin(); it != ForegroundFilters().End(); ++it) {
        EXPECT_FALSE((*it)->IsEnabled());
        // The stored flag is set for a panel shown open.
        EXPECT_FALSE((*it)->IsCollapsed());
    }
    if (SpinSlider* pair = first->RowControlAs<SpinSlider>(0))
        EXPECT_EQ(pair->GetSlider()->value(), defaultValue);
    EXPECT_FALSE(first->GetContainer()->Body()->isEnabled());
    EXPECT_EQ(LayerRefreshes(refreshes), (std::vector<std::pair<int, int>>{{app::RenderLevelFilter, 0}}));
}

TEST_F(FiltersPanelTest, RowsWithoutAPanelKeepTheirPlace)
{
    OpenRich();
    const std::vector<QUuid> before = IdsOf(ForegroundFilters());
    const int count = int(before.size());
    std::vector<int> empty;
    for (int row = 0; row < count; ++row) {
        if (Panel().PanelAt(row) == nullptr)
            empty.push_back(row);
    }
    ASSERT_FALSE(empty.empty());
    EXPECT_EQ(Panel().Grid()->itemAtPosition(count, 0)->widget(), Panel().ResetButton());
    // The last row's panel moves up past an empty row when there is one, else down the list.
    int moved = -1;
    for (int row = 1; row < count; ++row) {
        if (Panel().PanelAt(row) != nullptr && Panel().PanelAt(row - 1) == nullptr) {
            moved = row;
            break;
        }
    }
    ASSERT_GE(moved, 1);
    const QUuid id = Panel().PanelAt(moved)->Info().id;
    emit Panel().PanelAt(moved)->SignalMoveFilterUp();
    ProcessEvents();
    EXPECT_EQ(IdsOf(ForegroundFilters())[std::size_t(moved - 1)], id);
    ASSERT_NE(Panel().PanelAt(moved - 1), nullptr);
    EXPECT_EQ(Panel().PanelAt(moved - 1)->Info().id, id);
    EXPECT_EQ(Panel().PanelAt(moved - 1)->Info().position, moved - 1);
    EXPECT_EQ(Panel().PanelAt(moved), nullptr);
    // The last item moves down no further, whatever the grid holds.
    if (AbstractFilterWidget* last = Panel().PanelAt(count - 1)) {
        const std::vector<QUuid> order = IdsOf(ForegroundFilters());
        emit last->SignalMoveFilterDown();
        EXPECT_EQ(IdsOf(ForegroundFilters()), order);
    }
    Panel().ResetButton()->click();
    for (int row = 0; row < count; ++row) {
        if (AbstractFilterWidget* filter = Panel().PanelAt(row)) {
            std::shared_ptr<app::AbstractFilterItem> item;
            ASSERT_EQ(ForegroundFilters().Get(filter->Info().id, item), app::LMerrSuccess);
            EXPECT_FALSE(item->IsEnabled());
        }
    }
}

TEST_F(FiltersPanelTest, TheBackgroundListResetsItsOwnLayer)
{
    OpenRich();
    CurrentProject()->SetCurrentLayerType(app::LayerTypeBackground);
    const app::FilterList& list = Layers()->GetLayerSettings(app::LayerTypeBackground)->Filters();
    ASSERT_GT(list.Count(), 0u);
    QSignalSpy refreshes(&App(), kLayerSignal);
    Panel(0).ResetButton()->click();
    for (auto it = list.Begin(); it != list.End(); ++it)
        EXPECT_FALSE((*it)->IsEnabled());
    ASSERT_EQ(refreshes.count(), 1);
    EXPECT_EQ(refreshes.at(0).at(1).toInt(), int(app::RenderLevelFilter));
}

class PositionPanelTest : public FiltersPanelTest {
protected:
    PositionWidget& Position(int kind = 1)
    {
        if (!position) {
            position = std::make_unique<PositionWidget>(kind, nullptr);
            position->UpdateFromModel();
        }
        return *position;
    }
    static std::shared_ptr<app::TransformationTransformItem> Placement(app::LayerType type)
    {
        const app::TransformList& list = type == app::LayerTypeForeground
                                             ? Layers()->GetForegroundSettings()->Transforms()
                                             : Layers()->GetLayerSettings(app::LayerTypeBackground)->Transforms();
        return app::FindItemOfType<app::TransformationTransformItem>(list, app::TransformItemTypeTransformation);
    }
    void TearDown() override
    {
        position.reset();
        FiltersPanelTest::TearDown();
    }
    std::unique_ptr<PositionWidget> position;
};

TEST_F(PositionPanelTest, FlipsAndActionsGiveScalesAndRotation)
{
    OpenGreenScreen();
    struct Case {
        const char* name;
        bool flipH;
        bool flipV;
        std::function<void(PositionWidget&)> action;
        double scaleX;
        double scaleY;
        double rotation;
        bool flippedAfter;
    };
    const Case cases[] = {
        {"scale 150 flipped horizontally", true, false,
         [](PositionWidget& p) { p.ScaleSlider()->GetSpinBox()->setValue(150); }, -1.5, 1.5, 0, true},
        {"scale 50 flipped both ways", true, true,
         [](PositionWidget& p) { p.ScaleSlider()->GetSpinBox()->setValue(50); }, -0.5, -0.5, 0, true},
        {"rotation reset unflips", true, true,
         [](PositionWidget& p) {
             p.SlotUpdateRotation(30, HXDownsampleFactor0);
             p.RotationContainer()->SignalReset();
         },
         1, 1, 0, false},
        {"section reset", true, false,
         [](PositionWidget& p) {
             p.SlotUpdateScale(200, HXDownsampleFactor0);
             p.SlotUpdateRotation(45, HXDownsampleFactor0);
             p.ResetButton()->click();
         },
         1, 1, 0, false},
        {"rotation", false, false, [](PositionWidget& p) { p.SlotUpdateRotation(90, HXDownsampleFactor0); }, 1, 1, 90,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        position.reset();
        Position().SlotResetPositionSection();
        if (c.flipH)
            Position().FlipHorizontalButton()->click();
        if (c.flipV)
            Position().FlipVerticalButton()->click();
        c.action(Position());
        const auto item = Placement(app::LayerTypeForeground);
        EXPECT_DOUBLE_EQ(item->ScaleX(), c.scaleX);
        EXPECT_DOUBLE_EQ(item->ScaleY(), c.scaleY);
        EXPECT_DOUBLE_EQ(item->Rotation(), c.rotation);
        EXPECT_EQ(Position().FlippedHorizontally(), c.flippedAfter && c.flipH);
        // A new panel reads the same flips back from the signs.
        position.reset();
        EXPECT_EQ(Position().FlippedHorizontally(), c.flippedAfter && c.flipH);
        EXPECT_EQ(Position().FlippedVertically(), c.flippedAfter && c.flipV);
        EXPECT_DOUBLE_EQ(Position().ScaleSlider()->GetSpinBox()->value(), std::abs(c.scaleX) * 100);
    }
}

TEST_F(PositionPanelTest, TheCurrentLayerIsEditedAndOnlyTheForegroundScalesMasks)
{
    OpenGreenScreen();
    auto mask = std::make_shared<app::Mask>();
    mask->SetScale(1.0f);
    ASSERT_EQ(Layers()->GetForegroundSettings()->Masks().Add(mask), app::LMerrSuccess);
    const auto foreground = Placement(app::LayerTypeForeground);
    const auto background = Placement(app::LayerTypeBackground);
    ASSERT_TRUE(foreground && background);

    // A foreground panel edits the background while that is the current layer.
    CurrentProject()->SetCurrentLayerType(app::LayerTypeBackground);
    QSignalSpy refreshes(&App(), kLayerSignal);
    Position(1).SlotUpdateScale(200, HXDownsampleFactor3);
    Position(1).SlotUpdateHorizontalPosition(25, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(background->ScaleX(), 2.0);
    EXPECT_DOUBLE_EQ(background->TranslateX(), 0.25);
    EXPECT_DOUBLE_EQ(foreground->ScaleX(), 1.0);
    EXPECT_FLOAT_EQ(mask->Scale(), 1.0f);
    // A drag step at the preview factor, the final value at full resolution, from the placement on.
    const auto asked = LayerRefreshes(refreshes);
    ASSERT_GE(asked.size(), 2u);
    EXPECT_EQ(asked.front(), std::make_pair(int(app::RenderLevelPostFilter), 3));
    EXPECT_EQ(asked.back(), std::make_pair(int(app::RenderLevelPostFilter), 0));
    for (const auto& refresh : asked)
        EXPECT_EQ(refresh.first, int(app::RenderLevelPostFilter));

    CurrentProject()->SetCurrentLayerType(app::LayerTypeForeground);
    Position(1).SlotUpdateScale(80, HXDownsampleFactor0);
    EXPECT_DOUBLE_EQ(foreground->ScaleX(), 0.8);
    EXPECT_FLOAT_EQ(mask->Scale(), 0.8f);

    // Without a placement item nothing is written or rendered.
    ASSERT_EQ(Layers()->GetForegroundSettings()->Transforms().Remove(foreground->Id()), app::LMerrSuccess);
    refreshes.clear();
    Position(1).SlotUpdateScale(300, HXDownsampleFactor0);
    Position(1).SlotFlipHorizontal();
    Position(1).SlotUpdateRotation(10, HXDownsampleFactor0);
    Position(1).SlotResetPositionSection();
    EXPECT_EQ(refreshes.count(), 0);
    EXPECT_FLOAT_EQ(mask->Scale(), 0.8f);
}

TEST_F(PositionPanelTest, Grab)
{
    OpenGreenScreen();
    Position().resize(330, 560);
    Position().setStyleSheet(App().ApplicationStyleSheet());
    Position().show();
    Panel().resize(330, 700);
    Panel().show();
    ProcessEvents();
    ExpectSoundLayout(Position(), "position panel");
    ExpectSoundLayout(Panel(), "filters list");
    EXPECT_FALSE(SaveGrab(Position().grab().toImage(), "position-panel").isEmpty());
    EXPECT_FALSE(SaveGrab(Panel().grab().toImage(), "filters-list").isEmpty());
}

} // namespace
} // namespace lumo::ui::testing
