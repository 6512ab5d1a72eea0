#include "CanvasRenderFixture.h"

#include "CompositeItems.h"
#include "FilterItems.h"
#include "ItemLists.h"

#include <hvn/image/HXOperation.h>

#include <cstring>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace lumo::app {
namespace {

using testing::CanvasRenderTest;
using testing::kCanvasHeight;
using testing::kCanvasWidth;
using testing::RectImage;
using testing::Solid;

const QRgb kRed = qRgb(220, 0, 0);
const QRgb kGreen = qRgb(0, 200, 0);
const QRgb kBlue = qRgb(0, 0, 230);

std::shared_ptr<TintCompositeItem> BlackAndWhite()
{
    auto tint = std::make_shared<TintCompositeItem>();
    tint->SetTintType(hvn::image::HXTintBlackAndWhite);
    tint->SetStrength(1.0);
    tint->SetEnabled(true);
    tint->SetActive(true);
    return tint;
}

class CanvasCompositionTest : public CanvasRenderTest {
protected:
    QImage Render(LMerr expected = LMerrSuccess)
    {
        QImage image;
        EXPECT_EQ(processor->RenderCanvasImage(HXDownsampleFactor0, image), expected);
        return image.copy();
    }

    template <class Item>
    std::shared_ptr<Item> Filter(FilterItemType type)
    {
        FilterList::Pointer item;
        Settings().Filters().GetFilterByType(type, item);
        return std::dynamic_pointer_cast<Item>(item);
    }
};

TEST_F(CanvasCompositionTest, ClearsToTheCanvasColourOrToTransparent)
{
    struct Case {
        bool use;
        QColor color;
        HXDownsampleFactor factor;
        QRgb expected;
    };
    const Case cases[] = {
        {false, QColor(10, 20, 30), HXDownsampleFactor0, qRgba(0, 0, 0, 0)},
        {true, QColor(10, 20, 30), HXDownsampleFactor0, qRgba(10, 20, 30, 255)},
        {true, QColor(255, 255, 255), HXDownsampleFactor0, qRgba(255, 255, 255, 255)},
        {true, QColor(10, 20, 30), HXDownsampleFactor3, qRgba(10, 20, 30, 255)},
    };
    manager->SetCurrentForegroundId(QUuid());
    for (const Case& c : cases) {
        project->GetCanvas().SetUseCanvasColor(c.use);
        project->GetCanvas().SetCanvasColor(c.color);
        QImage image;
        ASSERT_EQ(processor->RenderCanvasImage(c.factor, image), LMerrSuccess);
        const QSize expectedSize = ScreenCacheSize(processor->WindowCacheRect(), c.factor);
        ASSERT_EQ(image.size(), expectedSize);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        // A view of the window cache, not a copy.
        EXPECT_EQ(image.constBits(), Tables().WindowImages.value(c.factor)->Buffer());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), c.expected) << c.use << " at " << x << "," << y;
    }
}

TEST_F(CanvasCompositionTest, StacksLayersInTheCompositeOrder)
{
    Inject(background, Solid(kCanvasWidth, kCanvasHeight, kRed));
    Inject(further, RectImage(kCanvasWidth, kCanvasHeight, QRect(0, 0, 20, kCanvasHeight), kGreen));
    Inject(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(10, 0, 20, kCanvasHeight), kBlue));
    for (const bool above : {true, false}) {
        PlaceFurther(above);
        const QImage image = Render();
        EXPECT_EQ(image.pixel(5, 15), kGreen);
        EXPECT_EQ(image.pixel(15, 15), above ? kGreen : kBlue) << "further layer above the foreground: " << above;
        EXPECT_EQ(image.pixel(25, 15), kBlue);
        EXPECT_EQ(image.pixel(35, 15), kRed);
    }
}

TEST_F(CanvasCompositionTest, OverlayGoesOnTopAndTransparencyThinsTheForeground)
{
    Inject(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(10, 0, 20, kCanvasHeight), kBlue));
    Inject(overlay, RectImage(kCanvasWidth, kCanvasHeight, QRect(0, 0, 15, kCanvasHeight), kRed));
    const auto transparency = Filter<TransparencyFilterItem>(FilterItemTypeTransparency);
    ASSERT_TRUE(transparency);
    transparency->SetEnabled(true);
    transparency->SetActive(true);
    transparency->SetTransparency(0.5);
    const QImage image = Render();
    EXPECT_EQ(image.pixel(12, 15), kRed);
    EXPECT_NEAR(qAlpha(image.pixel(20, 15)), 128, 2);
    EXPECT_EQ(qAlpha(image.pixel(35, 15)), 0);
}

TEST_F(CanvasCompositionTest, MatteViewShowsOnlyTheForeground)
{
    project->GetCanvas().SetUseCanvasColor(false);
    Inject(background, Solid(kCanvasWidth, kCanvasHeight, kRed));
    Inject(further, Solid(kCanvasWidth, kCanvasHeight, kGreen));
    Inject(overlay, Solid(kCanvasWidth, kCanvasHeight, kGreen));
    Inject(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(10, 0, 20, kCanvasHeight), kBlue));
    const auto transparency = Filter<TransparencyFilterItem>(FilterItemTypeTransparency);
    transparency->SetEnabled(true);
    transparency->SetTransparency(0.5);
    auto* vignette = dynamic_cast<VignetteCompositeItem*>(Settings().Compositors().Begin()->get());
    ASSERT_TRUE(vignette);
    vignette->SetEnabled(true);
    processor->EnableMatteView(true);

    const QImage image = Render();
    EXPECT_EQ(image.pixel(5, 15), qRgba(0, 0, 0, 0));
    EXPECT_EQ(image.pixel(35, 15), qRgba(0, 0, 0, 0));
    // Opaque despite the transparency filter; no composite effect touches it.
    EXPECT_EQ(image.pixel(15, 15), kBlue);
    EXPECT_EQ(image.pixel(25, 15), kBlue);
}

TEST_F(CanvasCompositionTest, LightWrapNeedsCanvasColourOrAVisibleBackgroundAndAnActiveItem)
{
    struct Case {
        const char* name;
        bool canvasColor;
        bool backgroundValid;
        bool backgroundEnabled;
        bool backgroundOffline;
        bool itemEnabled;
        bool itemActive;
        bool matteView;
        bool wraps;
    };
    const Case cases[] = {
        {"canvas colour", true, false, false, false, true, true, false, true},
        {"background", false, true, true, false, true, true, false, true},
        {"offline background still counts", false, true, true, true, true, true, false, true},
        {"disabled background", false, true, false, false, true, true, false, false},
        {"invalid background", false, false, true, false, true, true, false, false},
        {"item disabled", true, true, true, false, false, true, false, false},
        {"item not active", true, true, true, false, true, false, false, false},
        {"matte view adds a plain layer", true, true, true, false, true, true, true, false},
    };
    // The light comes from the red layer below the foreground (or the red canvas colour).
    PlaceFurther(false);
    Inject(further, Solid(kCanvasWidth, kCanvasHeight, kRed));
    Inject(background, Solid(kCanvasWidth, kCanvasHeight, qRgba(0, 0, 0, 0)));
    Inject(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(10, 5, 20, 20), kBlue));
    KeyList::Pointer key;
    ASSERT_EQ(Settings().Keys().GetFilterByType(KeyItemTypeLightSpill, key), LMerrSuccess);
    const auto lightSpill = std::dynamic_pointer_cast<LightSpillKeyItem>(key);
    lightSpill->SetBlur(10.0);
    lightSpill->SetBlendMode(hvn::image::HXBlendModeLighten);
    project->GetCanvas().SetCanvasColor(QColor(kRed));

    for (const Case& c : cases) {
        project->GetCanvas().SetUseCanvasColor(c.canvasColor);
        background->SetIsValid(c.backgroundValid);
        background->SetEnabled(c.backgroundEnabled);
        background->SetOffline(c.backgroundOffline);
        lightSpill->SetEnabled(c.itemEnabled);
        lightSpill->SetActive(c.itemActive);
        processor->EnableMatteView(c.matteView);
        const QImage image = Render();
        // The foreground's inner edge takes on the red light; its middle stays blue.
        if (c.wraps)
            EXPECT_GT(qRed(image.pixel(10, 15)), 20) << c.name;
        else
            EXPECT_EQ(qRed(image.pixel(10, 15)), 0) << c.name;
        EXPECT_EQ(qAlpha(image.pixel(10, 15)), 255) << c.name;
    }
}

TEST_F(CanvasCompositionTest, BackgroundDepthOfFieldBlursOnlyWhatLiesBelow)
{
    QImage checker(kCanvasWidth, kCanvasHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kCanvasHeight; ++y)
        for (int x = 0; x < kCanvasWidth; ++x)
            checker.setPixel(x, y, ((x / 2 + y / 2) % 2) != 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    manager->SetCurrentForegroundId(QUuid());
    Inject(background, checker);
    // The further layer above the foreground slot covers the left half with the same pattern.
    Inject(further, checker.copy(0, 0, kCanvasWidth / 2, kCanvasHeight).copy(0, 0, kCanvasWidth, kCanvasHeight));
    auto depth = std::make_shared<BackgroundDepthOfFieldFilterItem>(hvn::image::HXDepthOfFieldLinear,
                                                                    QPointF(-0.5, 0.5), 90.0, 10, 0.0, 0.0, 0.0);
    manager->GetLayerSettings(background->Id())->Filters().Add(depth);
    // The focus line runs down the canvas's left edge: the right half is far from it.
    const auto largestStep = [](const QImage& image, int from, int to) {
        int step = 0;
        for (int y = 0; y < kCanvasHeight; ++y)
            for (int x = from; x < to - 1; ++x)
                step = std::max(step, std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y))));
        return step;
    };
    const QImage sharp = [&] {
        depth->SetEnabled(false);
        return Render();
    }();
    depth->SetEnabled(true);
    const QImage image = Render();
    EXPECT_EQ(largestStep(sharp, 24, kCanvasWidth), 255);
    EXPECT_LT(largestStep(image, 24, kCanvasWidth), 60);
    EXPECT_EQ(largestStep(image, 0, kCanvasWidth / 2), 255) << "the layer above is not blurred";
}

TEST_F(CanvasCompositionTest, ShadowLiesUnderTheForeground)
{
    struct Case {
        const char* name;
        bool enabled;
        bool active;
        bool withCrop;
        bool casts;
    };
    const Case cases[] = {
        {"enabled", true, true, true, true},
        {"enabled but not active", true, false, true, true},
        {"disabled", false, true, true, false},
        {"no crop item: nothing drawn, canvas still rendered", true, true, false, false},
    };
    project->GetCanvas().SetUseCanvasColor(true);
    project->GetCanvas().SetCanvasColor(Qt::white);
    // A 10 x 10 photo centred on the canvas: window pixels 15..24 x 10..19.
    const QImage photo = Solid(10, 10, kBlue);
    Inject(foreground, RectImage(kCanvasWidth, kCanvasHeight, QRect(15, 10, 10, 10), kBlue), photo);
    std::memcpy(Tables().ForegroundWorkImages.value(HXDownsampleFactor0)->Buffer(), photo.constBits(), 10 * 10 * 4);
    auto shadow = std::make_shared<ShadowCastFilterItem>(hvn::image::HXShadowCastShapeRight, 0, 0.0, QColor(Qt::black),
                                                         hvn::image::HXBlendModeNormal);
    // The photo's own square moved 6 pixels right: window pixels 21..30.
    shadow->SetShadowQuad(hvn::maths::HXQuadF({6, 0}, {16, 0}, {16, 10}, {6, 10}));
    Settings().Filters().Add(shadow);
    KeyList::Pointer crop;
    ASSERT_EQ(Settings().Keys().GetFilterByType(KeyItemTypeCrop, crop), LMerrSuccess);

    for (const Case& c : cases) {
        shadow->SetEnabled(c.enabled);
        shadow->SetActive(c.active);
        if (!c.withCrop)
            Settings().Keys().Remove(crop->Id());
        processor->InvalidateShadowCache(HXDownsampleFactor0);
        const QImage image = Render();
        EXPECT_EQ(image.pixel(22, 15), kBlue) << c.name;
        EXPECT_EQ(image.pixel(5, 15), qRgb(255, 255, 255)) << c.name;
        if (c.casts)
            EXPECT_LT(qGray(image.pixel(28, 15)), 60) << c.name;
        else
            EXPECT_EQ(image.pixel(28, 15), qRgb(255, 255, 255)) << c.name;
        // Switching the shadow off frees its source.
        EXPECT_EQ(Tables().ForegroundExtraImages.isEmpty(), !c.enabled) << c.name;
    }
}

TEST_F(CanvasCompositionTest, FailedCompositionReturns43WithAClearedImage)
{
    Inject(background, Solid(kCanvasWidth, kCanvasHeight, kRed));
    // Leave memory behind in the window cache that a careless failure would hand out.
    ClearImage8(*Tables().WindowImages.value(HXDownsampleFactor0), 77, 77, 77, 77);
    hvn::image::testhooks::FailNextRender(hvn::image::HXResultBadArgument);
    QImage image;
    EXPECT_EQ(processor->RenderCanvasImage(HXDownsampleFactor0, image), LMerrCanvasRender);
    ASSERT_EQ(image.size(), QSize(kCanvasWidth, kCanvasHeight));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y), 0u);

    hvn::image::testhooks::FailNextRender(hvn::image::HXResultOutOfMemory);
    QImage untouched(3, 3, QImage::Format_ARGB32);
    untouched.fill(Qt::red);
    EXPECT_EQ(processor->RenderCanvasImage(HXDownsampleFactor0, untouched), LMerrRenderOutOfMemory);
    EXPECT_EQ(untouched.size(), QSize(3, 3));
    EXPECT_EQ(untouched.pixel(1, 1), qRgb(255, 0, 0));
}

// A layer render that fails fails the canvas; one that ran out of memory says so, so the user is
// offered to save rather than shown an empty canvas.
TEST_F(CanvasCompositionTest, FailedLayerRenderFailsTheCanvasByItsKind)
{
    Inject(foreground, Solid(kCanvasWidth, kCanvasHeight, kBlue));
    Load(background, Solid(kCanvasWidth, kCanvasHeight, kRed));
    const auto brightness = FindItemOfType<BrightnessFilterItem>(
        manager->GetLayerSettings(background->Id())->Filters(), FilterItemTypeBrightness);
    ASSERT_TRUE(brightness);
    brightness->SetEnabled(true);
    brightness->SetActive(true);
    brightness->SetBrightness(0.2);
    const struct {
        int engineCode;
        LMerr expected;
    } cases[] = {{hvn::image::HXResultOutOfMemory, LMerrRenderOutOfMemory},
                 {hvn::image::HXResultBadArgument, LMerrCanvasRender}};
    for (const auto& c : cases) {
        processor->SetCacheValid(background, RenderLevelFilter, HXDownsampleFactor0, false);
        // The background's filter pass is the first engine render of the canvas.
        hvn::image::testhooks::FailNextRender(c.engineCode);
        Render(c.expected);
        hvn::image::testhooks::FailNextRender(0);
    }
    Render();
}

// A composite effect whose engine render fails ends the pass with its code; the canvas drawn so
// far stays and the later effects are not applied.
TEST_F(CanvasCompositionTest, FailingCompositeEffectStopsThePassAndKeepsTheCanvas)
{
    CompositeList composites;
    composites.Add(BlackAndWhite());
    composites.Add(std::make_shared<BleachBypassCompositeItem>(1.0, 0.0, 1.0));
    struct Case {
        int engineCode;
        LMerr expected;
    };
    for (const Case c : {Case{hvn::image::HXResultOutOfMemory, LMerrRenderOutOfMemory},
                         Case{hvn::image::HXResultBadArgument, LMerrRenderEngine}}) {
        hvn::image::HXImage8 target(kCanvasWidth, kCanvasHeight, hvn::image::HXPixelChannelOrderBGRA, true);
        ClearImage8(target, 200, 40, 10, 255);
        hvn::image::testhooks::FailNextRender(c.engineCode);
        EXPECT_EQ(RunCompositeEffects(project, target, kCanvasWidth, kCanvasHeight, composites, Tables().lookupTables,
                                      HXDownsampleFactor0, QRect(0, 0, kCanvasWidth, kCanvasHeight), 1.0, false),
                  c.expected);
        // Neither the failed tint nor the bleach bypass after it changed a pixel.
        for (std::size_t i = 0; i < target.BufferByteSize(); i += 4)
            ASSERT_EQ(std::memcmp(target.Buffer() + i, "\x0a\x28\xc8\xff", 4), 0);
    }

    // Without the failure both apply, one after the other.
    hvn::image::HXImage8 target(kCanvasWidth, kCanvasHeight, hvn::image::HXPixelChannelOrderBGRA, true);
    ClearImage8(target, 200, 40, 10, 255);
    EXPECT_EQ(RunCompositeEffects(project, target, kCanvasWidth, kCanvasHeight, composites, Tables().lookupTables,
                                  HXDownsampleFactor0, QRect(0, 0, kCanvasWidth, kCanvasHeight), 1.0, false),
              LMerrSuccess);
    const std::uint8_t* pixel = target.Buffer();
    EXPECT_NEAR(pixel[0], pixel[2], 2) << "black and white after the tint";
}

TEST_F(CanvasCompositionTest, CompositeEffectsActOnTheCanvasUnderTheOverlay)
{
    project->GetCanvas().SetUseCanvasColor(true);
    project->GetCanvas().SetCanvasColor(QColor(200, 40, 10));
    manager->SetCurrentForegroundId(QUuid());
    Inject(overlay, RectImage(kCanvasWidth, kCanvasHeight, QRect(0, 0, 10, kCanvasHeight), kBlue));
    Settings().Compositors().Add(BlackAndWhite());
    const QImage image = Render();
    EXPECT_EQ(image.pixel(5, 15), kBlue);
    const QRgb tinted = image.pixel(30, 15);
    EXPECT_NEAR(qRed(tinted), qBlue(tinted), 2);
}

} // namespace
} // namespace lumo::app
