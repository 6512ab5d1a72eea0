// The filter, composite and key panels driven through their real controls: what the item holds
// afterwards, whether it is active, which refreshes were asked for, which render caches were made
// stale (by the control's cache step or by the slot), and whether the shadow cache was made stale
// before each refresh.

#include "PanelTest.h"
#include "WheelInput.h"

#include "Controls/Buttons.h"
#include "Controls/ColorPickerWidget.h"
#include "Controls/Container.h"
#include "Controls/SmallWidgets.h"
#include "Controls/ValueControls.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include <gmock/gmock.h>

#include <functional>

namespace lumo::ui::testing {
namespace {

using namespace app;
using ::testing::Each;

enum class Family { Filter, Composite, Key };

// Which panel, and which layer type is current while it is used (filter panels look in its list).
struct PanelOf {
    Family family = Family::Filter;
    int type = 0;
    LayerType tab = LayerTypeForeground;
};

PanelOf Filter(FilterItemType type, LayerType tab = LayerTypeForeground)
{
    return {Family::Filter, type, tab};
}

PanelOf Composite(CompositeItemType type)
{
    return {Family::Composite, type, LayerTypeForeground};
}

PanelOf Key(KeyItemType type, LayerType tab = LayerTypeForeground)
{
    return {Family::Key, type, tab};
}

// The keyer's own steps: the cast shadow is cut from their matte, so each of their renders first
// makes the shadow cache stale at both factors.
std::vector<int> ShadowMadeStale(const PanelOf& panel)
{
    const bool keyerStep = panel.family == Family::Key && panel.type != KeyItemTypeLightSpill &&
                           panel.type != KeyItemTypeSpillSuppression;
    return keyerStep ? std::vector<int>{0, 3} : std::vector<int>{};
}

template <class Item>
Item& As(AbstractRenderItem& item)
{
    return dynamic_cast<Item&>(item);
}

using ItemCheck = std::function<void(AbstractRenderItem&)>;
using Act = std::function<void(AbstractEffectWidget&, ScriptedDialogs&)>;

Act Type(int row, const char* text)
{
    return [=](AbstractEffectWidget& panel, ScriptedDialogs&) { TypeInto(panel, row, QString::fromLatin1(text)); };
}

Act Choose(int row, int index)
{
    return [=](AbstractEffectWidget& panel, ScriptedDialogs&) {
        ComboBox* combo = panel.RowControlAs<ComboBox>(row);
        ASSERT_NE(combo, nullptr);
        combo->setCurrentIndex(index);
    };
}

Act PickColour(int row, const QColor& colour)
{
    return [=](AbstractEffectWidget& panel, ScriptedDialogs& dialogs) {
        dialogs.AnswerColour(colour);
        auto* picker = panel.RowControlAs<ColorPickerWidget>(row);
        ASSERT_NE(picker, nullptr);
        QTest::mouseClick(picker, Qt::LeftButton);
    };
}

Act ClickPreset(int preset)
{
    return [=](AbstractEffectWidget& panel, ScriptedDialogs&) {
        QTest::mouseClick(static_cast<VignetteCompositeWidget&>(panel).PresetButton(preset), Qt::LeftButton);
    };
}

QImage IconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The presets' buttons show the toggle on for `preset` and off for the others.
void ExpectPresetShown(AbstractEffectWidget& panel, int preset)
{
    const QImage on = IconImage(QIcon(QStringLiteral(":/Icons/ToggleOn.png")));
    const QImage off = IconImage(QIcon(QStringLiteral(":/Icons/ToggleOff.png")));
    ASSERT_NE(on, off);
    auto& vignette = static_cast<VignetteCompositeWidget&>(panel);
    for (int type = 0; type < VignetteCompositeWidget::PresetCount; ++type)
        EXPECT_EQ(IconImage(vignette.PresetButton(type)->icon()), type == preset ? on : off) << "preset " << type;
}

void ExpectVignette(AbstractRenderItem& item, int type, double stretch, double opacity, double softness,
                    double curvature, const QColor& colour)
{
    auto& vignette = As<VignetteCompositeItem>(item);
    EXPECT_EQ(vignette.VignetteType(), type);
    EXPECT_DOUBLE_EQ(vignette.HorizontalStretch(), stretch);
    EXPECT_DOUBLE_EQ(vignette.VerticalStretch(), stretch);
    EXPECT_DOUBLE_EQ(vignette.Opacity(), opacity);
    EXPECT_DOUBLE_EQ(vignette.Softness(), softness);
    EXPECT_DOUBLE_EQ(vignette.Curvature(), curvature);
    EXPECT_EQ(vignette.Color(), colour);
}

const Refresh kForegroundFilter = LayerRefresh(LayerTypeForeground, RenderLevelFilter, 0);
const StaleCache kForegroundPreviewFromFilter{LayerTypeForeground, 3, RenderLevelFilter};
const Refresh kForegroundKey = LayerRefresh(LayerTypeForeground, RenderLevelKey, 0);
const StaleCache kForegroundPreviewFromKey{LayerTypeForeground, 3, RenderLevelKey};
const Refresh kForegroundPlacement = LayerRefresh(LayerTypeForeground, RenderLevelPostFilter, 0);
const StaleCache kForegroundPreviewFromPlacement{LayerTypeForeground, 3, RenderLevelPostFilter};
const QColor kBlack(0, 0, 0, 255);

class EffectPanelTest : public PanelTest {
protected:
    static std::shared_ptr<AbstractRenderItem> ItemOf(const PanelOf& panel)
    {
        switch (panel.family) {
        case Family::Composite:
            return CompositeItem(static_cast<CompositeItemType>(panel.type));
        case Family::Key:
            return KeyItem(static_cast<KeyItemType>(panel.type));
        case Family::Filter:
            break;
        }
        return FilterItem(static_cast<FilterItemType>(panel.type), panel.tab);
    }

    AbstractEffectWidget* Build(const PanelOf& panel, const std::shared_ptr<AbstractRenderItem>& item)
    {
        AbstractEffectWidget* widget = nullptr;
        switch (panel.family) {
        case Family::Composite:
            widget = CreateCompositeWidget(std::dynamic_pointer_cast<AbstractCompositeItem>(item), 0);
            break;
        case Family::Key:
            CurrentProject()->SetCurrentToolset(ToolsetSectionKey);
            widget = CreateKeyWidget(std::dynamic_pointer_cast<AbstractKeyItem>(item), 0);
            break;
        case Family::Filter:
            widget = CreateFilterWidget(std::dynamic_pointer_cast<AbstractFilterItem>(item), 0, nullptr);
            break;
        }
        return widget != nullptr ? Show(widget) : nullptr;
    }

    // Every refresh was asked for after the shadow-group panels made the shadow cache stale.
    void ExpectShadowBeforeEachRefresh(const PanelOf& panel) const
    {
        ASSERT_EQ(shadowStaleAtRefresh.size(), refreshes.size());
        for (std::size_t i = 0; i < refreshes.size(); ++i)
            EXPECT_EQ(shadowStaleAtRefresh[i], ShadowMadeStale(panel)) << "refresh " << i;
    }
};

// ---- A change through a control

struct DriveCase {
    const char* name;
    PanelOf panel;
    ItemCheck prepare; // on the item before the panel is built; may be empty
    Act act;
    ItemCheck stored;
    std::optional<bool> active; // none: as it was before the panel was built
    Refresh refresh; // every request the panel made
    // Typing: one for each value the box takes on the way, and one more for Return, which the
    // spin box announces again.
    int requests;
    std::vector<StaleCache> stale;
    std::function<void(AbstractEffectWidget&)> shown = {}; // what the panel shows afterwards
};

void PrintTo(const DriveCase& c, std::ostream* out)
{
    *out << c.name;
}

const DriveCase kFilterCases[] = {
    {"ColorTemperature6501KelvinWrites5001", Filter(FilterItemTypeColorTemperature), {}, Type(0, "6501"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<ColorTemperatureFilterItem>(i).TemperatureShift(), 5001); },
     true, kForegroundFilter, 2, {kForegroundPreviewFromFilter}},
    {"LevelsBlackOneIsActive", Filter(FilterItemTypeSuperContrast), {}, Type(0, "1"),
     [](AbstractRenderItem& i) {
         EXPECT_DOUBLE_EQ(As<SuperContrastFilterItem>(i).BlackLevel(), 0.01);
         EXPECT_DOUBLE_EQ(As<SuperContrastFilterItem>(i).WhiteLevel(), 1.0);
     },
     true, kForegroundFilter, 2, {kForegroundPreviewFromFilter}},
    {"LevelsWhite99IsActive", Filter(FilterItemTypeSuperContrast), {}, Type(1, "99"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<SuperContrastFilterItem>(i).WhiteLevel(), 0.99); }, true,
     kForegroundFilter, 3, {kForegroundPreviewFromFilter}},
    {"LevelsBackAtNeutralIsInactive", Filter(FilterItemTypeSuperContrast),
     [](AbstractRenderItem& i) { As<SuperContrastFilterItem>(i).SetBlackLevel(0.05); }, Type(0, "0"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<SuperContrastFilterItem>(i).BlackLevel(), 0.0); }, false,
     kForegroundFilter, 2, {kForegroundPreviewFromFilter}},
    {"ColorBalanceOneChannelOffOne", Filter(FilterItemTypeColorBalance), {}, Type(1, "1.2"),
     [](AbstractRenderItem& i) {
         auto& balance = As<ColorBalanceFilterItem>(i);
         EXPECT_DOUBLE_EQ(balance.Red(), 1.0);
         EXPECT_DOUBLE_EQ(balance.Green(), 1.2);
         EXPECT_DOUBLE_EQ(balance.Blue(), 1.0);
     },
     true, kForegroundFilter, 2, {kForegroundPreviewFromFilter}},
    // The background's own filter: the background re-renders.
    {"BrightnessOnBackgroundTab", Filter(FilterItemTypeBrightness, LayerTypeBackground), {}, Type(0, "-25"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<BrightnessFilterItem>(i).Brightness(), -0.25); }, true,
     LayerRefresh(LayerTypeBackground, RenderLevelFilter, 0), 3, {{LayerTypeBackground, 3, RenderLevelFilter}}},
    // The pair marks the current layer's preview stale; the panel re-renders the foreground's placement.
    {"TransparencyFromBackgroundTab", Filter(FilterItemTypeTransparency, LayerTypeBackground), {}, Type(0, "40"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<TransparencyFilterItem>(i).Transparency(), 0.4); }, true,
     LayerRefresh(LayerTypeForeground, RenderLevelPostFilter, 0), 3, {{LayerTypeBackground, 3, RenderLevelFilter}}},
    // The silhouette's active flag is the model's business; the panel leaves it as it was.
    {"SilhouetteThroughColourDialog", Filter(FilterItemTypeSilhouette), {}, PickColour(0, QColor(200, 30, 40)),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SilhouetteFilterItem>(i).Color(), QColor(200, 30, 40)); }, std::nullopt,
     kForegroundFilter, 1, {kForegroundPreviewFromFilter}},
};

const DriveCase kCompositeCases[] = {
    {"TintTypeChosen", Composite(CompositeItemTypeTint), {}, Choose(TintCompositeWidget::RowType, 0),
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<TintCompositeItem>(i).TintType(), hvn::image::HXTintBlackAndWhite);
         EXPECT_DOUBLE_EQ(As<TintCompositeItem>(i).Strength(), 1.0);
     },
     true, CanvasRefresh(0), 1, {}},
    {"TintStrengthZeroIsInactive", Composite(CompositeItemTypeTint), {}, Type(TintCompositeWidget::RowStrength, "0"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<TintCompositeItem>(i).Strength(), 0.0); }, false,
     CanvasRefresh(0), 2, {}},
    {"TintTypeChangesAtStrengthZero", Composite(CompositeItemTypeTint),
     [](AbstractRenderItem& i) { As<TintCompositeItem>(i).SetStrength(0); }, Choose(TintCompositeWidget::RowType, 0),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<TintCompositeItem>(i).TintType(), hvn::image::HXTintBlackAndWhite); },
     false, CanvasRefresh(0), 1, {}},
    {"VignetteBold", Composite(CompositeItemTypeVignette), {}, ClickPreset(VignetteCompositeWidget::PresetBold),
     [](AbstractRenderItem& i) { ExpectVignette(i, 2, 0.8, 1.0, 0.6, 0.8, kBlack); }, true, CanvasRefresh(0), 1, {},
     [](AbstractEffectWidget& panel) { ExpectPresetShown(panel, VignetteCompositeWidget::PresetBold); }},
    {"VignetteColourThroughDialog", Composite(CompositeItemTypeVignette), {},
     PickColour(VignetteCompositeWidget::RowColor, QColor(10, 20, 90)),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<VignetteCompositeItem>(i).Color(), QColor(10, 20, 90)); }, true,
     CanvasRefresh(0), 1, {}},
};

// Key panels edit the foreground's key list and re-key it (Light Wrap: re-place it).
const DriveCase kKeyCases[] = {
    {"AlphaBlurRadius", Key(KeyItemTypeAlphaBlur), {}, Type(0, "12"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<AlphaBlurKeyItem>(i).Radius(), 12); }, true, kForegroundKey, 3,
     {kForegroundPreviewFromKey}},
    {"AlphaLevelsWhite99IsActive", Key(KeyItemTypeAlphaSuperContrast), {},
     Type(AlphaSuperContrastKeyWidget::RowWhite, "99"),
     [](AbstractRenderItem& i) {
         EXPECT_DOUBLE_EQ(As<AlphaSuperContrastKeyItem>(i).WhiteLevel(), 0.99);
         EXPECT_DOUBLE_EQ(As<AlphaSuperContrastKeyItem>(i).BlackLevel(), 0.0);
     },
     true, kForegroundKey, 3, {kForegroundPreviewFromKey}},
    // Removal and Softness run opposite to the stored values; the keyer's active flag is left alone.
    {"Removal40StoresGreyDetail06", Key(KeyItemTypeAutoColorDifference), {},
     Type(AutoColorDifferenceKeyWidget::RowRemoval, "40"),
     [](AbstractRenderItem& i) { EXPECT_NEAR(As<AutoColorDifferenceKeyItem>(i).GreyDetail(), 0.6, 1e-12); },
     std::nullopt, kForegroundKey, 3, {kForegroundPreviewFromKey}},
    {"RemovalAtZeroStoresOne", Key(KeyItemTypeAutoColorDifference), {},
     Type(AutoColorDifferenceKeyWidget::RowRemoval, "0"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<AutoColorDifferenceKeyItem>(i).GreyDetail(), 1.0); },
     std::nullopt, kForegroundKey, 2, {kForegroundPreviewFromKey}},
    {"SoftnessAt100StoresZero", Key(KeyItemTypeAutoColorDifference), {},
     Type(AutoColorDifferenceKeyWidget::RowSoftness, "100"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<AutoColorDifferenceKeyItem>(i).GreyThreshold(), 0.0); },
     std::nullopt, kForegroundKey, 4, {kForegroundPreviewFromKey}},
    {"KeyColourBlue", Key(KeyItemTypeAutoColorDifference), {}, Choose(AutoColorDifferenceKeyWidget::RowColor, 2),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<AutoColorDifferenceKeyItem>(i).KeyColor(), hvn::image::HXKeyColorBlue); },
     std::nullopt, kForegroundKey, 1, {kForegroundPreviewFromKey}},
    // Half a percent off one edge makes the crop active; back at exactly 0 it is not.
    {"CropLeftHalfPercentIsActive", Key(KeyItemTypeCrop), {}, Type(CropKeyWidget::RowLeft, "0.5"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<CropKeyItem>(i).Left(), 0.005); }, true, kForegroundKey, 2,
     {kForegroundPreviewFromKey}},
    {"CropBackAtZeroIsInactive", Key(KeyItemTypeCrop), [](AbstractRenderItem& i) { As<CropKeyItem>(i).SetTop(0.1); },
     Type(CropKeyWidget::RowTop, "0"),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<CropKeyItem>(i).Top(), 0.0); }, false, kForegroundKey, 2,
     {kForegroundPreviewFromKey}},
    {"ErodeDistance", Key(KeyItemTypeErode), {}, Type(0, "5"),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<ErodeKeyItem>(i).Distance(), 5); }, true, kForegroundKey, 2,
     {kForegroundPreviewFromKey}},
    // The light wrap is drawn when the canvas is composed: its size pair makes no cache stale.
    {"LightWrapSize", Key(KeyItemTypeLightSpill), {}, Type(LightSpillKeyWidget::RowSize, "20"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<LightSpillKeyItem>(i).Blur(), 20); }, true, kForegroundPlacement,
     3, {}},
    {"LightWrapScreen", Key(KeyItemTypeLightSpill), {}, Choose(LightSpillKeyWidget::RowBlendMode, 3),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<LightSpillKeyItem>(i).BlendMode(), hvn::image::HXBlendModeScreen); },
     std::nullopt, kForegroundPlacement, 1, {kForegroundPreviewFromPlacement}},
    {"SpillStandardStoresZero", Key(KeyItemTypeSpillSuppression),
     [](AbstractRenderItem& i) { As<SpillSuppressionKeyItem>(i).SetSpillType(hvn::image::HXSpillType(2)); },
     Choose(SpillSuppressionKeyWidget::RowType, 0),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SpillSuppressionKeyItem>(i).SpillType(), 0); },
     true, kForegroundKey, 1, {kForegroundPreviewFromKey},
     [](AbstractEffectWidget& panel) {
         // Whatever the type, the advanced strengths stay out of sight.
         auto& spill = static_cast<SpillSuppressionKeyWidget&>(panel);
         for (int row = SpillSuppressionKeyWidget::RowRed; row <= SpillSuppressionKeyWidget::RowAdvancedStrength; ++row)
             EXPECT_FALSE(spill.RowControl(row)->isVisible()) << "row " << row;
         EXPECT_TRUE(spill.RowControl(SpillSuppressionKeyWidget::RowStrength)->isVisible());
     }},
    // A typed strength is final at once: the preview cache of the key stage must not keep the old one.
    {"SpillStrengthTyped", Key(KeyItemTypeSpillSuppression), {}, Type(SpillSuppressionKeyWidget::RowStrength, "40"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<SpillSuppressionKeyItem>(i).Opacity(), 0.4); }, true,
     kForegroundKey, 3, {kForegroundPreviewFromKey}},
    // The type leaves the active flag to the radius (0 in the default project).
    {"UvBlurBox", Key(KeyItemTypeYuvBlur), {}, Choose(YuvBlurKeyWidget::RowType, 2),
     [](AbstractRenderItem& i) { EXPECT_EQ(As<YuvBlurKeyItem>(i).BlurType(), hvn::image::HXYUVBlurBox); }, false,
     kForegroundKey, 1, {kForegroundPreviewFromKey}},
    {"UvBlurRadius", Key(KeyItemTypeYuvBlur), {}, Type(YuvBlurKeyWidget::RowBlur, "3"),
     [](AbstractRenderItem& i) { EXPECT_DOUBLE_EQ(As<YuvBlurKeyItem>(i).Radius(), 3); }, true, kForegroundKey, 2,
     {kForegroundPreviewFromKey}},
};

class DriveTest : public EffectPanelTest, public ::testing::WithParamInterface<DriveCase> {};

TEST_P(DriveTest, WritesTheItemAndAsksForItsRefresh)
{
    const DriveCase& c = GetParam();
    CurrentProject()->SetCurrentLayerType(c.panel.tab);
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    // Switched on and open, as the user leaves it before using it.
    item->SetEnabled(true);
    item->SetCollapsed(true);
    if (c.prepare)
        c.prepare(*item);
    const bool activeBefore = item->IsActive();
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    MarkCachesCurrent();

    c.act(*panel, Dialogs());

    c.stored(*item);
    EXPECT_EQ(item->IsActive(), c.active.value_or(activeBefore));
    EXPECT_EQ(static_cast<int>(refreshes.size()), c.requests);
    EXPECT_THAT(refreshes, Each(c.refresh));
    EXPECT_EQ(StaleCaches(), c.stale);
    ExpectShadowBeforeEachRefresh(c.panel);
    if (c.shown)
        c.shown(*panel);
}

INSTANTIATE_TEST_SUITE_P(FilterPanels, DriveTest, ::testing::ValuesIn(kFilterCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(CompositePanels, DriveTest, ::testing::ValuesIn(kCompositeCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(KeyPanels, DriveTest, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A drag: previews while the handle moves, one full render on release

struct DragCase {
    const char* name;
    PanelOf panel;
    int row;
    std::function<double(AbstractRenderItem&)> stored;
    Refresh release;
    std::vector<StaleCache> stale;
};

void PrintTo(const DragCase& c, std::ostream* out)
{
    *out << c.name;
}

const DragCase kDragCases[] = {
    {"BrightnessPreviewsTheLayer", Filter(FilterItemTypeBrightness), 0,
     [](AbstractRenderItem& i) { return As<BrightnessFilterItem>(i).Brightness(); }, kForegroundFilter,
     {kForegroundPreviewFromFilter}},
    {"TintPreviewsTheCanvas", Composite(CompositeItemTypeTint), TintCompositeWidget::RowStrength,
     [](AbstractRenderItem& i) { return As<TintCompositeItem>(i).Strength(); }, CanvasRefresh(0), {}},
    {"KeyDetailRekeysTheForeground", Key(KeyItemTypeAutoColorDifference), AutoColorDifferenceKeyWidget::RowDetail,
     [](AbstractRenderItem& i) { return As<AutoColorDifferenceKeyItem>(i).KeyDetail(); }, kForegroundKey,
     {kForegroundPreviewFromKey}},
};

class DragTest : public EffectPanelTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(DragTest, WritesEveryStepAndRendersOnceOnRelease)
{
    const DragCase& c = GetParam();
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    item->SetEnabled(true);
    item->SetCollapsed(true);
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    QAbstractSlider* slider = SliderOf(*panel, c.row);
    ASSERT_NE(slider, nullptr);
    MarkCachesCurrent();
    // What the item holds when each refresh is asked for.
    std::vector<double> written;
    const auto record = [&] { written.push_back(c.stored(*item)); };
    const QMetaObject::Connection layer = QObject::connect(
        &App(), qOverload<const QUuid&, RenderLevel, HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested),
        record);
    const QMetaObject::Connection canvas =
        QObject::connect(&App(), qOverload<HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested), record);

    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() / 5, y));
    for (const double at : {0.4, 0.6, 0.8})
        QTest::mouseMove(slider, QPoint(static_cast<int>(slider->width() * at), y));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() * 4 / 5, y));
    QObject::disconnect(layer);
    QObject::disconnect(canvas);

    ASSERT_GE(refreshes.size(), 4u);
    for (std::size_t i = 0; i + 1 < refreshes.size(); ++i) {
        Refresh preview = c.release;
        preview.factor = 3;
        EXPECT_EQ(refreshes[i], preview) << "request " << i;
    }
    EXPECT_EQ(refreshes.back(), c.release);
    // Each move wrote its value before its preview was asked for; the release writes the last again.
    ASSERT_EQ(written.size(), refreshes.size());
    for (std::size_t i = 1; i < written.size(); ++i)
        EXPECT_GE(written[i], written[i - 1]) << "step " << i;
    EXPECT_LT(written.front(), written[written.size() - 2]);
    EXPECT_EQ(written.back(), written[written.size() - 2]);
    EXPECT_TRUE(item->IsActive());
    EXPECT_EQ(StaleCaches(), c.stale);
    ExpectShadowBeforeEachRefresh(c.panel);
}

INSTANTIATE_TEST_SUITE_P(Panels, DragTest, ::testing::ValuesIn(kDragCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Reset

struct ResetCase {
    const char* name;
    PanelOf panel;
    ItemCheck change;   // values away from the defaults
    ItemCheck defaults; // what the reset leaves
    std::optional<bool> active;
    Refresh refresh;
    std::vector<StaleCache> stale;
};

void PrintTo(const ResetCase& c, std::ostream* out)
{
    *out << c.name;
}

const ResetCase kResetCases[] = {
    {"Blur", Filter(FilterItemTypeBlur), [](AbstractRenderItem& i) { As<BlurFilterItem>(i).SetRadius(12); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<BlurFilterItem>(i).Radius(), 0); }, false, kForegroundFilter,
     {kForegroundPreviewFromFilter}},
    {"Brightness", Filter(FilterItemTypeBrightness),
     [](AbstractRenderItem& i) { As<BrightnessFilterItem>(i).SetBrightness(0.3); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<BrightnessFilterItem>(i).Brightness(), 0); }, false, kForegroundFilter,
     {kForegroundPreviewFromFilter}},
    {"Contrast", Filter(FilterItemTypeContrast), [](AbstractRenderItem& i) { As<ContrastFilterItem>(i).SetContrast(1.5); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<ContrastFilterItem>(i).Contrast(), 1); }, false, kForegroundFilter,
     {kForegroundPreviewFromFilter}},
    {"Saturation", Filter(FilterItemTypeSaturation),
     [](AbstractRenderItem& i) { As<SaturationFilterItem>(i).SetSaturation(0.4); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SaturationFilterItem>(i).Saturation(), 1); }, false, kForegroundFilter,
     {kForegroundPreviewFromFilter}},
    {"Levels", Filter(FilterItemTypeSuperContrast),
     [](AbstractRenderItem& i) {
         As<SuperContrastFilterItem>(i).SetBlackLevel(0.1);
         As<SuperContrastFilterItem>(i).SetWhiteLevel(0.8);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<SuperContrastFilterItem>(i).BlackLevel(), 0);
         EXPECT_EQ(As<SuperContrastFilterItem>(i).WhiteLevel(), 1);
     },
     false, kForegroundFilter, {kForegroundPreviewFromFilter}},
    {"ColorTemperature", Filter(FilterItemTypeColorTemperature),
     [](AbstractRenderItem& i) { As<ColorTemperatureFilterItem>(i).SetTemperatureShift(7000); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<ColorTemperatureFilterItem>(i).TemperatureShift(), 5000); }, false,
     kForegroundFilter, {kForegroundPreviewFromFilter}},
    {"ColorBalance", Filter(FilterItemTypeColorBalance),
     [](AbstractRenderItem& i) {
         As<ColorBalanceFilterItem>(i).SetRed(1.3);
         As<ColorBalanceFilterItem>(i).SetGreen(0.7);
         As<ColorBalanceFilterItem>(i).SetBlue(1.1);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<ColorBalanceFilterItem>(i).Red(), 1);
         EXPECT_EQ(As<ColorBalanceFilterItem>(i).Green(), 1);
         EXPECT_EQ(As<ColorBalanceFilterItem>(i).Blue(), 1);
     },
     false, kForegroundFilter, {kForegroundPreviewFromFilter}},
    {"HueColorize", Filter(FilterItemTypeHueColorize),
     [](AbstractRenderItem& i) {
         As<HueColorizeFilterItem>(i).SetHue(120);
         As<HueColorizeFilterItem>(i).SetStrength(0.5);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<HueColorizeFilterItem>(i).Hue(), 0);
         EXPECT_EQ(As<HueColorizeFilterItem>(i).Strength(), 0);
     },
     false, kForegroundFilter, {kForegroundPreviewFromFilter}},
    {"Transparency", Filter(FilterItemTypeTransparency),
     [](AbstractRenderItem& i) { As<TransparencyFilterItem>(i).SetTransparency(0.4); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<TransparencyFilterItem>(i).Transparency(), 0); }, false,
     LayerRefresh(LayerTypeForeground, RenderLevelPostFilter, 0), {{LayerTypeForeground, 3, RenderLevelPostFilter}}},
    {"Silhouette", Filter(FilterItemTypeSilhouette),
     [](AbstractRenderItem& i) { As<SilhouetteFilterItem>(i).SetColor(Qt::red); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<SilhouetteFilterItem>(i).Color(), kBlack); }, std::nullopt,
     kForegroundFilter, {kForegroundPreviewFromFilter}},
    {"Tint", Composite(CompositeItemTypeTint),
     [](AbstractRenderItem& i) {
         As<TintCompositeItem>(i).SetTintType(hvn::image::HXTintBlackAndWhite);
         As<TintCompositeItem>(i).SetStrength(0.3);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<TintCompositeItem>(i).TintType(), hvn::image::HXTintSepia);
         EXPECT_EQ(As<TintCompositeItem>(i).Strength(), 1);
     },
     true, CanvasRefresh(0), {}},
    // After "Light" and a colour: "Normal" and black.
    {"VignetteAfterLight", Composite(CompositeItemTypeVignette),
     [](AbstractRenderItem& i) {
         auto& vignette = As<VignetteCompositeItem>(i);
         vignette.SetVignetteType(hvn::image::HXVignetteTypeLight);
         vignette.SetHorizontalStretch(1.1);
         vignette.SetVerticalStretch(1.1);
         vignette.SetOpacity(0.6);
         vignette.SetCurvature(0.8);
         vignette.SetColor(Qt::red);
     },
     [](AbstractRenderItem& i) { ExpectVignette(i, 1, 1.0, 0.8, 0.4, 1.0, kBlack); }, true, CanvasRefresh(0), {}},
};

const ResetCase kKeyResetCases[] = {
    {"UvBlur", Key(KeyItemTypeYuvBlur),
     [](AbstractRenderItem& i) {
         As<YuvBlurKeyItem>(i).SetBlurType(hvn::image::HXYUVBlurHorizontal);
         As<YuvBlurKeyItem>(i).SetRadius(5);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<YuvBlurKeyItem>(i).BlurType(), hvn::image::HXYUVBlurGaussian);
         EXPECT_EQ(As<YuvBlurKeyItem>(i).Radius(), 0);
     },
     false, kForegroundKey, {kForegroundPreviewFromKey}},
    // The default project's values: automatic colour, full detail and removal, softness 67.
    {"AutoColorDifference", Key(KeyItemTypeAutoColorDifference),
     [](AbstractRenderItem& i) {
         auto& key = As<AutoColorDifferenceKeyItem>(i);
         key.SetKeyColor(hvn::image::HXKeyColorBlue);
         key.SetKeyDetail(0.5);
         key.SetGreyDetail(0.7);
         key.SetGreyThreshold(0.1);
     },
     [](AbstractRenderItem& i) {
         auto& key = As<AutoColorDifferenceKeyItem>(i);
         EXPECT_EQ(key.KeyColor(), hvn::image::HXKeyColorAuto);
         EXPECT_DOUBLE_EQ(key.KeyDetail(), 1.0);
         EXPECT_DOUBLE_EQ(key.GreyDetail(), 0.0);
         EXPECT_NEAR(key.GreyThreshold(), 0.33, 1e-12);
     },
     std::nullopt, kForegroundKey, {kForegroundPreviewFromKey}},
    // The advanced strengths come back too, though they are never shown; the bias returns to 1.
    {"SpillSuppression", Key(KeyItemTypeSpillSuppression),
     [](AbstractRenderItem& i) {
         auto& spill = As<SpillSuppressionKeyItem>(i);
         spill.SetApplyMethod(hvn::image::HXSpillApplyAfterMasks);
         spill.SetSpillType(hvn::image::HXSpillTypeStandard);
         spill.SetOpacity(0.3);
         spill.SetRedStrength(0.2);
         spill.SetGreenStrength(-0.1);
         spill.SetBlueStrength(0.3);
         spill.SetAdvancedBias(0.5);
     },
     [](AbstractRenderItem& i) {
         auto& spill = As<SpillSuppressionKeyItem>(i);
         EXPECT_EQ(spill.ApplyMethod(), hvn::image::HXSpillApplyBeforeMasks);
         EXPECT_EQ(spill.SpillType(), hvn::image::HXSpillTypeExtended);
         EXPECT_DOUBLE_EQ(spill.Opacity(), 1.0);
         EXPECT_EQ(spill.RedStrength(), 0);
         EXPECT_EQ(spill.GreenStrength(), 0);
         EXPECT_EQ(spill.BlueStrength(), 0);
         EXPECT_DOUBLE_EQ(spill.AdvancedBias(), 1.0);
     },
     true, kForegroundKey, {kForegroundPreviewFromKey}},
    {"Crop", Key(KeyItemTypeCrop),
     [](AbstractRenderItem& i) {
         auto& crop = As<CropKeyItem>(i);
         crop.SetLeft(0.1);
         crop.SetRight(0.2);
         crop.SetTop(0.3);
         crop.SetBottom(0.4);
     },
     [](AbstractRenderItem& i) {
         auto& crop = As<CropKeyItem>(i);
         EXPECT_EQ(crop.Left(), 0);
         EXPECT_EQ(crop.Right(), 0);
         EXPECT_EQ(crop.Top(), 0);
         EXPECT_EQ(crop.Bottom(), 0);
     },
     false, kForegroundKey, {kForegroundPreviewFromKey}},
    {"LightWrap", Key(KeyItemTypeLightSpill),
     [](AbstractRenderItem& i) {
         As<LightSpillKeyItem>(i).SetBlur(30);
         As<LightSpillKeyItem>(i).SetBlendMode(hvn::image::HXBlendModeNormal);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<LightSpillKeyItem>(i).Blur(), 10);
         EXPECT_EQ(As<LightSpillKeyItem>(i).BlendMode(), hvn::image::HXBlendModeLighten);
     },
     true, kForegroundPlacement, {kForegroundPreviewFromPlacement}},
    {"AlphaLevels", Key(KeyItemTypeAlphaSuperContrast),
     [](AbstractRenderItem& i) {
         As<AlphaSuperContrastKeyItem>(i).SetBlackLevel(0.1);
         As<AlphaSuperContrastKeyItem>(i).SetWhiteLevel(0.8);
     },
     [](AbstractRenderItem& i) {
         EXPECT_EQ(As<AlphaSuperContrastKeyItem>(i).BlackLevel(), 0);
         EXPECT_EQ(As<AlphaSuperContrastKeyItem>(i).WhiteLevel(), 1);
     },
     false, kForegroundKey, {kForegroundPreviewFromKey}},
    {"AlphaBlur", Key(KeyItemTypeAlphaBlur), [](AbstractRenderItem& i) { As<AlphaBlurKeyItem>(i).SetRadius(5); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<AlphaBlurKeyItem>(i).Radius(), 0); }, false, kForegroundKey,
     {kForegroundPreviewFromKey}},
    {"Erode", Key(KeyItemTypeErode), [](AbstractRenderItem& i) { As<ErodeKeyItem>(i).SetDistance(4); },
     [](AbstractRenderItem& i) { EXPECT_EQ(As<ErodeKeyItem>(i).Distance(), 0); }, false, kForegroundKey,
     {kForegroundPreviewFromKey}},
};

class ResetTest : public EffectPanelTest, public ::testing::WithParamInterface<ResetCase> {
protected:
    // Every pair's slider stands at its default.
    static void ExpectControlsAtDefaults(AbstractEffectWidget& panel)
    {
        for (int row = 0; row < panel.RowCount(); ++row) {
            if (auto* slider = qobject_cast<ResettableSlider*>(SliderOf(panel, row))) {
                EXPECT_EQ(slider->value(), slider->DefaultValue()) << "row " << row;
            }
        }
    }
};

TEST_P(ResetTest, WritesTheDefaultsQuietlyOrWithOneRefresh)
{
    const ResetCase& c = GetParam();
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    item->SetEnabled(true);
    c.change(*item);
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    MarkCachesCurrent();

    // As the list's reset-all calls it: every value written, nothing asked for.
    panel->SlotResetWidgetParameters(false);
    c.defaults(*item);
    if (c.active) {
        EXPECT_EQ(item->IsActive(), *c.active);
    }
    ExpectControlsAtDefaults(*panel);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(StaleCaches().empty());

    // The title's reset button: one final render.
    c.change(*item);
    MarkCachesCurrent();
    QTest::mouseClick(panel->GetContainer()->Title()->ResetButton(), Qt::LeftButton);
    c.defaults(*item);
    EXPECT_EQ(refreshes, std::vector<Refresh>{c.refresh});
    EXPECT_EQ(StaleCaches(), c.stale);
    ExpectShadowBeforeEachRefresh(c.panel);
    if (c.panel.family == Family::Composite && c.panel.type == CompositeItemTypeVignette)
        ExpectPresetShown(*panel, VignetteCompositeWidget::PresetNormal);
}

INSTANTIATE_TEST_SUITE_P(Panels, ResetTest, ::testing::ValuesIn(kResetCases),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(KeyPanels, ResetTest, ::testing::ValuesIn(kKeyResetCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The title: enable, collapse, move

struct TitleCase {
    const char* name;
    PanelOf panel;
    Refresh enableRefresh;
    std::vector<StaleCache> stale;
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << c.name;
}

const TitleCase kTitleCases[] = {
    {"Brightness", Filter(FilterItemTypeBrightness), kForegroundFilter, {kForegroundPreviewFromFilter}},
    // Enabling re-renders the current layer's filters, whatever the panel's own refresh.
    {"TransparencyOnBackgroundTab", Filter(FilterItemTypeTransparency, LayerTypeBackground),
     LayerRefresh(LayerTypeBackground, RenderLevelFilter, 0), {{LayerTypeBackground, 3, RenderLevelFilter}}},
    {"Tint", Composite(CompositeItemTypeTint), CanvasRefresh(0), {}},
    // Every key panel re-keys the foreground when switched, Light Wrap too; only the keyer's own
    // steps make the shadow stale first. The key list is the foreground's whatever tab is current.
    {"UvBlur", Key(KeyItemTypeYuvBlur), kForegroundKey, {kForegroundPreviewFromKey}},
    {"AutoColorDifference", Key(KeyItemTypeAutoColorDifference), kForegroundKey, {kForegroundPreviewFromKey}},
    {"SpillSuppression", Key(KeyItemTypeSpillSuppression), kForegroundKey, {kForegroundPreviewFromKey}},
    {"CropOnBackgroundTab", Key(KeyItemTypeCrop, LayerTypeBackground), kForegroundKey, {kForegroundPreviewFromKey}},
    {"LightWrap", Key(KeyItemTypeLightSpill), kForegroundKey, {kForegroundPreviewFromKey}},
    {"AlphaLevels", Key(KeyItemTypeAlphaSuperContrast), kForegroundKey, {kForegroundPreviewFromKey}},
    {"AlphaBlur", Key(KeyItemTypeAlphaBlur), kForegroundKey, {kForegroundPreviewFromKey}},
    {"Erode", Key(KeyItemTypeErode), kForegroundKey, {kForegroundPreviewFromKey}},
};

class TitleTest : public EffectPanelTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleTest, EnablingAClosedPanelOpensItAndRendersOnce)
{
    const TitleCase& c = GetParam();
    CurrentProject()->SetCurrentLayerType(c.panel.tab);
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    item->SetEnabled(false);
    item->SetCollapsed(false);
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    ContainerTitle* title = panel->GetContainer()->Title();
    ASSERT_FALSE(panel->GetContainer()->Body()->isVisible());
    QSignalSpy relaid(panel, &AbstractEffectWidget::SignalContainerExpandChanged);
    MarkCachesCurrent();

    QTest::mouseClick(title->EnableCheckBox(), Qt::LeftButton);

    EXPECT_TRUE(panel->GetContainer()->Body()->isVisible());
    EXPECT_TRUE(item->IsEnabled());
    EXPECT_TRUE(item->IsCollapsed()) << "the collapsed flag holds the open state";
    EXPECT_EQ(relaid.count(), 1);
    EXPECT_EQ(refreshes, std::vector<Refresh>{c.enableRefresh});
    EXPECT_EQ(StaleCaches(), c.stale);
    ExpectShadowBeforeEachRefresh(c.panel);

    // Closing and moving change the item's flag or the list, never the picture. Key panels keep
    // the key chain's order: they have no move buttons.
    MarkCachesCurrent();
    QSignalSpy up(panel, &AbstractEffectWidget::SignalMoveFilterUp);
    QSignalSpy down(panel, &AbstractEffectWidget::SignalMoveFilterDown);
    QTest::mouseClick(title->CollapseButton(), Qt::LeftButton);
    const bool moves = c.panel.family != Family::Key;
    EXPECT_EQ(title->MoveUpButton() != nullptr, moves);
    EXPECT_EQ(title->MoveDownButton() != nullptr, moves);
    if (moves) {
        QTest::mouseClick(title->MoveUpButton(), Qt::LeftButton);
        QTest::mouseClick(title->MoveDownButton(), Qt::LeftButton);
    }
    EXPECT_FALSE(item->IsCollapsed());
    EXPECT_TRUE(item->IsEnabled());
    EXPECT_EQ(up.count(), moves ? 1 : 0);
    EXPECT_EQ(down.count(), moves ? 1 : 0);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_TRUE(StaleCaches().empty());

    // Switched off again: the same render, the shadow group's shadow first.
    MarkCachesCurrent();
    QTest::mouseClick(title->EnableCheckBox(), Qt::LeftButton);
    EXPECT_FALSE(item->IsEnabled());
    EXPECT_EQ(refreshes, std::vector<Refresh>{c.enableRefresh});
    EXPECT_EQ(StaleCaches(), c.stale);
    ExpectShadowBeforeEachRefresh(c.panel);
}

INSTANTIATE_TEST_SUITE_P(Panels, TitleTest, ::testing::ValuesIn(kTitleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The item is not where the panel looks

struct LostCase {
    const char* name;
    PanelOf panel;
    int row;
    std::function<void(AbstractRenderItem&)> lose;
    std::function<double(AbstractRenderItem&)> value;
};

void PrintTo(const LostCase& c, std::ostream* out)
{
    *out << c.name;
}

const LostCase kLostCases[] = {
    {"CurrentLayerPointsAtAnotherList", Filter(FilterItemTypeBrightness), 0,
     [](AbstractRenderItem&) { PanelTest::CurrentProject()->SetCurrentLayerType(LayerTypeBackground); },
     [](AbstractRenderItem& i) { return As<BrightnessFilterItem>(i).Brightness(); }},
    {"FilterRemoved", Filter(FilterItemTypeBrightness), 0,
     [](AbstractRenderItem& i) { ASSERT_EQ(PanelTest::Filters(LayerTypeForeground).Remove(i.Id()), LMerrSuccess); },
     [](AbstractRenderItem& i) { return As<BrightnessFilterItem>(i).Brightness(); }},
    {"CompositeRemoved", Composite(CompositeItemTypeTint), TintCompositeWidget::RowStrength,
     [](AbstractRenderItem& i) { ASSERT_EQ(PanelTest::Compositors().Remove(i.Id()), LMerrSuccess); },
     [](AbstractRenderItem& i) { return As<TintCompositeItem>(i).Strength(); }},
    {"KeyRemoved", Key(KeyItemTypeCrop), CropKeyWidget::RowBottom,
     [](AbstractRenderItem& i) { ASSERT_EQ(PanelTest::Keys().Remove(i.Id()), LMerrSuccess); },
     [](AbstractRenderItem& i) { return As<CropKeyItem>(i).Bottom(); }},
};

class LostItemTest : public EffectPanelTest, public ::testing::WithParamInterface<LostCase> {};

TEST_P(LostItemTest, SlotsWriteAndAskForNothing)
{
    const LostCase& c = GetParam();
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    item->SetEnabled(false);
    item->SetCollapsed(false);
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    c.lose(*item);
    const double before = c.value(*item);
    const bool active = item->IsActive();
    MarkCachesCurrent();

    // Ticked first: the body and its controls are disabled until then.
    QTest::mouseClick(panel->GetContainer()->Title()->EnableCheckBox(), Qt::LeftButton);
    TypeInto(*panel, c.row, QStringLiteral("30"));
    QTest::mouseClick(panel->GetContainer()->Title()->ResetButton(), Qt::LeftButton);

    EXPECT_EQ(c.value(*item), before);
    EXPECT_EQ(item->IsActive(), active);
    EXPECT_FALSE(item->IsEnabled());
    EXPECT_FALSE(item->IsCollapsed());
    EXPECT_TRUE(refreshes.empty());
    // The controls follow the user all the same.
    EXPECT_TRUE(panel->GetContainer()->Body()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Panels, LostItemTest, ::testing::ValuesIn(kLostCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Every other way a pair's slider moves: the box, the item and the render follow

// A row's pair, seen through what the three kinds share.
struct PairOf {
    QAbstractSlider* slider = nullptr;
    QAbstractSpinBox* box = nullptr;
    double unitsPerValue = 1; // slider integers per box unit
    std::function<void(double)> set; // both, quietly

    double Box() const
    {
        if (const auto* integer = qobject_cast<const QSpinBox*>(box))
            return integer->value();
        return qobject_cast<const QDoubleSpinBox*>(box)->value();
    }
    double Handle() const { return slider->value() / unitsPerValue; }
};

PairOf PairOfRow(AbstractEffectWidget& panel, int row)
{
    if (auto* pair = panel.RowControlAs<SpinSlider>(row))
        return {pair->GetSlider(), pair->GetSpinBox(), 1, [pair](double v) { pair->SetValue(static_cast<int>(v)); }};
    if (auto* pair = panel.RowControlAs<DoubleSpinSlider>(row)) // the hue pair too
        return {pair->GetSlider(), pair->GetSpinBox(), 1000, [pair](double v) { pair->SetValue(v); }};
    return {};
}

struct SliderInputCase {
    const char* name;
    PanelOf panel;
    int row;
    double start;                                    // in the box's units
    std::function<double(AbstractRenderItem&)> shown; // the item's value in the box's units
    Refresh road;                                    // the final render a change asks for
    bool keepsItsKeys = false;                        // the hue slider: keys and wheel move it itself
};

void PrintTo(const SliderInputCase& c, std::ostream* out)
{
    *out << c.name;
}

const SliderInputCase kSliderInputCases[] = {
    {"BrightnessIntegerPair", Filter(FilterItemTypeBrightness), 0, 10,
     [](AbstractRenderItem& i) { return As<BrightnessFilterItem>(i).Brightness() * 100; }, kForegroundFilter},
    {"ColorBalanceRedRealPair", Filter(FilterItemTypeColorBalance), 0, 1,
     [](AbstractRenderItem& i) { return As<ColorBalanceFilterItem>(i).Red(); }, kForegroundFilter},
    {"HueColorizeHuePair", Filter(FilterItemTypeHueColorize), 0, 180,
     [](AbstractRenderItem& i) { return As<HueColorizeFilterItem>(i).Hue(); }, kForegroundFilter, true},
    {"TintStrengthIntegerPair", Composite(CompositeItemTypeTint), TintCompositeWidget::RowStrength, 50,
     [](AbstractRenderItem& i) { return As<TintCompositeItem>(i).Strength() * 100; }, CanvasRefresh(0)},
    {"LightWrapSizeIntegerPair", Key(KeyItemTypeLightSpill), LightSpillKeyWidget::RowSize, 20,
     [](AbstractRenderItem& i) { return As<LightSpillKeyItem>(i).Blur(); }, kForegroundPlacement},
    {"CropLeftRealPair", Key(KeyItemTypeCrop), CropKeyWidget::RowLeft, 50,
     [](AbstractRenderItem& i) { return As<CropKeyItem>(i).Left() * 100; }, kForegroundKey},
};

class SliderInputTest : public EffectPanelTest, public ::testing::WithParamInterface<SliderInputCase> {};

TEST_P(SliderInputTest, TheBoxTheItemAndTheRenderFollowTheSlider)
{
    const SliderInputCase& c = GetParam();
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(c.panel);
    ASSERT_TRUE(item);
    item->SetEnabled(true);
    item->SetCollapsed(true);
    AbstractEffectWidget* panel = Build(c.panel, item);
    ASSERT_NE(panel, nullptr);
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    const PairOf pair = PairOfRow(*panel, c.row);
    ASSERT_NE(pair.slider, nullptr);

    using Input = std::function<void(QAbstractSlider*)>;
    const auto key = [](Qt::Key k) { return [k](QAbstractSlider* s) { QTest::keyClick(s, k); }; };
    struct Step {
        const char* name;
        Input input;
        bool moves; // for the pairs' own sliders; a slider that keeps its keys moves on every one
    };
    const std::vector<Step> steps = {
        {"wheel on the focused slider", [](QAbstractSlider* s) {
             s->setFocus(Qt::TabFocusReason);
             TurnWheel(s);
         }, true},
        {"Up", key(Qt::Key_Up), true},
        {"Down", key(Qt::Key_Down), true},
        // The pairs' sliders leave the page keys to the page around.
        {"Page Up", key(Qt::Key_PageUp), false},
        {"Page Down", key(Qt::Key_PageDown), false},
        {"Home", key(Qt::Key_Home), false},
        {"End", key(Qt::Key_End), false},
        {"click on the groove", [](QAbstractSlider* s) {
             QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() * 3 / 4, s->height() / 2));
         }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        panel->SlotUpdateValue(c.row, c.start, HXDownsampleFactor0, false);
        pair.set(c.start);
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        ProcessEvents();
        const double before = c.shown(*item);
        ASSERT_NEAR(pair.Box(), c.start, 1e-9);
        MarkCachesCurrent();

        step.input(pair.slider);

        // The box shows where the handle stands (a real pair's to its two decimals) and the item
        // holds what the box shows.
        EXPECT_NEAR(pair.Box(), pair.Handle(), pair.unitsPerValue > 1 ? 0.0051 : 0.0);
        EXPECT_NEAR(c.shown(*item), pair.Box(), 1e-9);
        if (step.moves || c.keepsItsKeys) {
            EXPECT_NE(c.shown(*item), before);
            ASSERT_FALSE(refreshes.empty());
            EXPECT_EQ(refreshes.back(), c.road);
        } else {
            EXPECT_EQ(c.shown(*item), before);
            EXPECT_TRUE(refreshes.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Panels, SliderInputTest, ::testing::ValuesIn(kSliderInputCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Scrolling a page of panels with the pointer over a control scrolls the page; the wheel changes a
// control only after a click or Tab gave it the focus.
TEST_F(EffectPanelTest, TheWheelScrollsThePageUnlessTheControlHasTheFocus)
{
    const std::shared_ptr<AbstractRenderItem> item = ItemOf(Key(KeyItemTypeLightSpill));
    ASSERT_TRUE(item);
    item->SetEnabled(true);
    item->SetCollapsed(true);
    CurrentProject()->SetCurrentToolset(ToolsetSectionKey);
    QScrollArea page;
    page.setStyleSheet(App().ApplicationStyleSheet());
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    auto* panel = CreateKeyWidget(std::dynamic_pointer_cast<AbstractKeyItem>(item), 0);
    ASSERT_NE(panel, nullptr);
    layout->addWidget(panel);
    layout->addSpacing(600); // more than the page shows
    page.setWidget(column);
    page.setWidgetResizable(true);
    page.resize(380, 200);
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    const PairOf pair = PairOfRow(*panel, LightSpillKeyWidget::RowSize);
    QScrollBar* scroll = page.verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);

    struct Over {
        const char* name;
        QWidget* target;
    };
    for (const Over& over : {Over{"slider", pair.slider}, Over{"spin box", pair.box->findChild<QLineEdit*>()}}) {
        SCOPED_TRACE(over.name);
        scroll->setValue(0);
        page.setFocus();
        MarkCachesCurrent();
        TurnWheel(over.target, -1); // towards the user: down the page
        EXPECT_GT(scroll->value(), 0);
        EXPECT_DOUBLE_EQ(As<LightSpillKeyItem>(*item).Blur(), 10);
        EXPECT_EQ(pair.Box(), 10);
        EXPECT_TRUE(refreshes.empty());
        EXPECT_FALSE(over.target->hasFocus()) << "the wheel gave it the focus";
    }

    for (const Over& over : {Over{"slider", pair.slider}, Over{"spin box", pair.box->findChild<QLineEdit*>()}}) {
        SCOPED_TRACE(::testing::Message() << "focused " << over.name);
        scroll->setValue(0);
        over.target->setFocus(Qt::TabFocusReason);
        const double before = pair.Box();
        MarkCachesCurrent();
        TurnWheel(over.target, -1);
        EXPECT_EQ(scroll->value(), 0);
        EXPECT_EQ(pair.Box(), before - 1);
        EXPECT_EQ(pair.Handle(), before - 1);
        EXPECT_DOUBLE_EQ(As<LightSpillKeyItem>(*item).Blur(), before - 1);
        EXPECT_EQ(refreshes, std::vector<Refresh>{kForegroundPlacement});
    }
}

} // namespace
} // namespace lumo::ui::testing
