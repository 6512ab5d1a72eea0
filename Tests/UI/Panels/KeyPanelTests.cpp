// What the key panels show for what a project holds (percentages rounded, the inverted ones too;
// stored values outside a choice's entries kept), the crop edge they show on the canvas, and the
// preview after a typed spill strength.

#include "PanelTest.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Canvas/CropGraphicsItem.h"
#include "Controls/Buttons.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"

#include <QVariant>

namespace lumo::ui::testing {
namespace {

using namespace app;

template <class Item>
Item& As(AbstractRenderItem& item)
{
    return dynamic_cast<Item&>(item);
}

TEST(InvertedPercent, ShowsEveryWholePercentItWroteAndWritesItBack)
{
    // What an opposite control stores for each percent, written as 1 - p / 100 by other programs:
    // truncating the shown value would show 8-11, 18-22, 41-45, 57 and 58 one lower, and rewrite
    // them on the next click.
    for (int percent = 0; percent <= 100; ++percent) {
        const double stored = 1.0 - percent / 100.0;
        ASSERT_EQ(conversions::InvertedPercent.toControl(stored), percent);
        const double written = conversions::InvertedPercent.toItem(percent);
        ASSERT_NEAR(written, stored, 1e-12) << percent;
        ASSERT_EQ(conversions::InvertedPercent.toControl(written), percent);
    }
}

struct KeyLoadCase {
    const char* name;
    KeyItemType type;
    std::function<void(AbstractRenderItem&)> store;
    int row;
    QVariant shown; // a pair's value, or a combo box's text
    std::optional<bool> active = std::nullopt;     // none: the panel leaves the flag as it was
    std::function<void(AbstractRenderItem&)> kept = {}; // what the item still holds afterwards
};

void PrintTo(const KeyLoadCase& c, std::ostream* out)
{
    *out << c.name;
}

const KeyLoadCase kKeyLoadCases[] = {
    {"GreyThreshold033ShowsSoftness67", KeyItemTypeAutoColorDifference,
     [](AbstractRenderItem& i) { As<AutoColorDifferenceKeyItem>(i).SetGreyThreshold(0.33); },
     AutoColorDifferenceKeyWidget::RowSoftness, 67},
    {"GreyDetail071ShowsRemoval29", KeyItemTypeAutoColorDifference,
     [](AbstractRenderItem& i) { As<AutoColorDifferenceKeyItem>(i).SetGreyDetail(1 - 0.29); },
     AutoColorDifferenceKeyWidget::RowRemoval, 29},
    {"KeyDetail029ShowsDetail29", KeyItemTypeAutoColorDifference,
     [](AbstractRenderItem& i) { As<AutoColorDifferenceKeyItem>(i).SetKeyDetail(0.29); },
     AutoColorDifferenceKeyWidget::RowDetail, 29},
    {"AlphaWhite057Shows57", KeyItemTypeAlphaSuperContrast,
     [](AbstractRenderItem& i) { As<AlphaSuperContrastKeyItem>(i).SetWhiteLevel(0.57); },
     AlphaSuperContrastKeyWidget::RowWhite, 57, true},
    {"AlphaLevelsAtNeutralIsInactive", KeyItemTypeAlphaSuperContrast, [](AbstractRenderItem&) {},
     AlphaSuperContrastKeyWidget::RowBlack, 0, false},
    {"CropShowsTwoDecimals", KeyItemTypeCrop, [](AbstractRenderItem& i) { As<CropKeyItem>(i).SetRight(0.105); },
     CropKeyWidget::RowRight, 10.5, true},
    {"BlendMode9ShowsNormal", KeyItemTypeLightSpill,
     [](AbstractRenderItem& i) { As<LightSpillKeyItem>(i).SetBlendMode(hvn::image::HXBlendModeNormal); },
     LightSpillKeyWidget::RowBlendMode, QStringLiteral("Normal"), true},
    // A mode without an entry shows the first one, and the item keeps its own.
    {"BlendMode5ShowsAddAndStays", KeyItemTypeLightSpill,
     [](AbstractRenderItem& i) { As<LightSpillKeyItem>(i).SetBlendMode(hvn::image::HXBlendModeExclusion); },
     LightSpillKeyWidget::RowBlendMode, QStringLiteral("Add"), true,
     [](AbstractRenderItem& i) { EXPECT_EQ(As<LightSpillKeyItem>(i).BlendMode(), hvn::image::HXBlendModeExclusion); }},
    {"LightWrapSizeZeroIsInactive", KeyItemTypeLightSpill,
     [](AbstractRenderItem& i) { As<LightSpillKeyItem>(i).SetBlur(0); },
     LightSpillKeyWidget::RowSize, 0, false},
    {"SpillType2ShowsExtended", KeyItemTypeSpillSuppression,
     [](AbstractRenderItem& i) { As<SpillSuppressionKeyItem>(i).SetSpillType(hvn::image::HXSpillType(2)); },
     SpillSuppressionKeyWidget::RowType, QStringLiteral("Extended"), true,
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SpillSuppressionKeyItem>(i).SpillType(), 2); }},
    {"ApplyMethod7ShowsBeforeMasks", KeyItemTypeSpillSuppression,
     [](AbstractRenderItem& i) {
         As<SpillSuppressionKeyItem>(i).SetApplyMethod(static_cast<hvn::image::HXSpillApplyMethod>(7));
     },
     SpillSuppressionKeyWidget::RowProcess, QStringLiteral("Before masks"), true,
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SpillSuppressionKeyItem>(i).ApplyMethod(), 7); }},
    {"ApplyMethod1ShowsAfterMasks", KeyItemTypeSpillSuppression,
     [](AbstractRenderItem& i) { As<SpillSuppressionKeyItem>(i).SetApplyMethod(hvn::image::HXSpillApplyAfterMasks); },
     SpillSuppressionKeyWidget::RowProcess, QStringLiteral("After masks"), true},
    // Hidden, but loaded: the advanced strength shows 2 - bias.
    {"AdvancedStrengthShowsTwoMinusBias", KeyItemTypeSpillSuppression,
     [](AbstractRenderItem& i) { As<SpillSuppressionKeyItem>(i).SetAdvancedBias(0.5); },
     SpillSuppressionKeyWidget::RowAdvancedStrength, 1.5, true},
    {"UvBlurVertical", KeyItemTypeYuvBlur,
     [](AbstractRenderItem& i) { As<YuvBlurKeyItem>(i).SetBlurType(hvn::image::HXYUVBlurVertical); },
     YuvBlurKeyWidget::RowType, QStringLiteral("Vertical")},
    {"UvBlurRadiusIsTruncated", KeyItemTypeYuvBlur, [](AbstractRenderItem& i) { As<YuvBlurKeyItem>(i).SetRadius(2.7); },
     YuvBlurKeyWidget::RowBlur, 2, true},
};

class KeyLoadTest : public PanelTest, public ::testing::WithParamInterface<KeyLoadCase> {};

TEST_P(KeyLoadTest, ShowsTheStoredValue)
{
    const KeyLoadCase& c = GetParam();
    const std::shared_ptr<AbstractKeyItem> item = KeyItem(c.type);
    ASSERT_TRUE(item);
    c.store(*item);
    const bool activeBefore = !c.active.value_or(true);
    item->SetActive(activeBefore);
    AbstractEffectWidget* panel = Show(CreateKeyWidget(item, 0));
    ASSERT_NE(panel, nullptr);
    if (auto* combo = panel->RowControlAs<ComboBox>(c.row)) {
        EXPECT_EQ(combo->currentText(), c.shown.toString());
    } else if (auto* integer = qobject_cast<QSpinBox*>(SpinBoxOf(*panel, c.row))) {
        EXPECT_EQ(integer->value(), c.shown.toInt());
    } else {
        auto* real = qobject_cast<QDoubleSpinBox*>(SpinBoxOf(*panel, c.row));
        ASSERT_NE(real, nullptr);
        EXPECT_DOUBLE_EQ(real->value(), c.shown.toDouble());
    }
    EXPECT_EQ(item->IsActive(), c.active.value_or(activeBefore));
    if (c.kept)
        c.kept(*item);
    EXPECT_TRUE(refreshes.empty());
}

INSTANTIATE_TEST_SUITE_P(KeyPanels, KeyLoadTest, ::testing::ValuesIn(kKeyLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A typed strength is final at once and re-keys the foreground at full resolution; the next
// preview (a filter dragged afterwards renders from the filter stage) must show it too.
TEST_F(PanelTest, ATypedSpillStrengthReachesTheNextPreview)
{
    CurrentProject()->SetCurrentToolset(ToolsetSectionKey);
    const std::shared_ptr<AbstractKeyItem> item = KeyItem(KeyItemTypeSpillSuppression);
    ASSERT_TRUE(item);
    item->SetEnabled(true);
    item->SetCollapsed(true);
    // The canvas large on the screen, and the preview as the full strength leaves it (the panel
    // made the item active).
    Canvas& canvas = CurrentProject()->GetCanvas();
    canvas.SetScale(4.0f);
    canvas.SetCentre(960, 540);
    AbstractEffectWidget* panel = Show(CreateKeyWidget(item, 0));
    const QUuid foregroundSlot = CurrentProject()->GetLayerManager()->LayerList()->StaticForegroundId();
    QImage before;
    ASSERT_EQ(App().RenderLayerToCanvas(before, foregroundSlot, RenderLevelKey, HXDownsampleFactor3), LMerrSuccess);
    // The canvas image is the render processor's buffer: keep a copy.
    before = before.copy();

    TypeInto(*panel, SpillSuppressionKeyWidget::RowStrength, QStringLiteral("0"));
    ASSERT_DOUBLE_EQ(As<SpillSuppressionKeyItem>(*item).Opacity(), 0.0);

    QImage preview;
    ASSERT_EQ(App().RenderLayerToCanvas(preview, foregroundSlot, RenderLevelFilter, HXDownsampleFactor3),
              LMerrSuccess);
    preview = preview.copy();
    App().InvalidateLayerCache(LayerTypeForeground, RenderLevelKey, HXDownsampleFactor3);
    QImage fresh;
    ASSERT_EQ(App().RenderLayerToCanvas(fresh, foregroundSlot, RenderLevelKey, HXDownsampleFactor3), LMerrSuccess);
    ASSERT_NE(before, fresh) << "the scene's spill must show, or this test proves nothing";
    EXPECT_EQ(preview, fresh);
}

// The crop panel over the canvas view: each edge change shows that edge; a reset does not.
class CropOnCanvasTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        CurrentProject()->SetCurrentToolset(ToolsetSectionKey);
        view.setScene(&scene);
        App().SetCanvasView(&view);
        view.CreateCropItem();
    }

    void TearDown() override
    {
        App().SetCanvasView(nullptr);
        PanelTest::TearDown();
    }

    CanvasScene scene;
    CanvasView view;
};

TEST_F(CropOnCanvasTest, AnEdgeChangeShowsThatEdge)
{
    const auto crop = std::dynamic_pointer_cast<CropKeyItem>(KeyItem(KeyItemTypeCrop));
    ASSERT_TRUE(crop);
    crop->SetEnabled(true);
    crop->SetCollapsed(true);
    AbstractEffectWidget* panel = Show(CreateKeyWidget(crop, 0));
    CropGraphicsItem* item = view.Crop();
    ASSERT_NE(item, nullptr);
    ASSERT_FALSE(item->isVisible());
    const QRectF whole = item->rect();

    TypeInto(*panel, CropKeyWidget::RowRight, QStringLiteral("25"));
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(item->ActiveEdge(), 2);
    EXPECT_DOUBLE_EQ(item->InnerRect().right(), whole.width() * 0.75);

    TypeInto(*panel, CropKeyWidget::RowTop, QStringLiteral("10"));
    EXPECT_EQ(item->ActiveEdge(), 3);
    EXPECT_DOUBLE_EQ(item->InnerRect().top(), whole.height() * 0.1);

    // Faded out; the reset writes the item and renders, but leaves the canvas item alone.
    item->BeginToFadeOut();
    item->FadeItem(1000);
    ASSERT_FALSE(item->isVisible());
    QTest::mouseClick(panel->GetContainer()->Title()->ResetButton(), Qt::LeftButton);
    EXPECT_EQ(crop->Right(), 0.0);
    EXPECT_EQ(crop->Top(), 0.0);
    EXPECT_FALSE(item->isVisible());
    EXPECT_EQ(item->ActiveEdge(), 3);
    EXPECT_EQ(refreshes.back(), LayerRefresh(LayerTypeForeground, RenderLevelKey, 0));
}

} // namespace
} // namespace lumo::ui::testing
