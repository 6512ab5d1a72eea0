#include "RenderProcessorTestPeer.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Mask.h"
#include "Project.h"

#include <hvn/image/HXOperation.h>

#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;
using hvn::image::HXOperationKind;
using hvn::image::HXPixelChannelOrderBGRA;

namespace lumo::app {
namespace {

namespace testhooks = hvn::image::testhooks;

// A subject in front of an evenly lit green backdrop.
QImage GreenScreen(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgb(40, 190, 60));
    for (int y = height / 4; y < height * 3 / 4; ++y)
        for (int x = width / 4; x < width * 3 / 4; ++x)
            image.setPixel(x, y, qRgb(200, 150 + (x % 8), 120));
    return image;
}

std::vector<std::uint8_t> Bytes(const hvn::image::HXImage8& image)
{
    return std::vector<std::uint8_t>(image.Buffer(), image.Buffer() + image.BufferByteSize());
}

// What the engine was asked to do, by the operations recorded while rendering.
struct Ran {
    bool key = false;       // the key pass
    bool spill = false;     // spill suppression (placement, or the filter stage with apply method 1)
    bool filter = false;    // the filter pass (the brightness filter the fixture enables)
    bool matte = false;     // the matte view of the final stage

    bool operator==(const Ran& other) const
    {
        return key == other.key && spill == other.spill && filter == other.filter && matte == other.matte;
    }
};

Ran TakeRan(std::vector<double>* alphaBlurs = nullptr)
{
    Ran ran;
    for (const auto& queue : testhooks::TakeRecordedRenders()) {
        for (const auto& op : queue) {
            ran.key |= op.kind == HXOperationKind::AutoColorDifferenceKey;
            ran.spill |= op.kind == HXOperationKind::SpillSuppression;
            ran.filter |= op.kind == HXOperationKind::Brightness;
            ran.matte |= op.kind == HXOperationKind::MatteView;
            if (op.kind == HXOperationKind::AlphaStackBlur && alphaBlurs != nullptr)
                alphaBlurs->push_back(op.Arg(0));
        }
    }
    return ran;
}

std::ostream& operator<<(std::ostream& out, const Ran& ran)
{
    return out << "key " << ran.key << " spill " << ran.spill << " filter " << ran.filter << " matte " << ran.matte;
}

class LayerRender : public ::testing::Test {
protected:
    static constexpr int kPhotoWidth = 64;
    static constexpr int kPhotoHeight = 48;

    void SetUp() override
    {
        LMerr result = LMerrSuccess;
        project = std::make_shared<Project>(result);
        ASSERT_EQ(result, LMerrSuccess);
        // The canvas is the photo's size, centred in an 80 x 60 window.
        Canvas& canvas = project->GetCanvas();
        canvas.SetDimensions(kPhotoWidth, kPhotoHeight);
        canvas.SetScale(1.0f);
        canvas.SetCentre(40, 30);
        manager = project->GetLayerManager();
        processor = std::make_unique<RenderProcessor>(project, HXPixelChannelOrderBGRA, QRect(0, 0, 80, 60), result);
        foreground = std::make_shared<ForegroundImageLayer>("foreground", QString());
        ASSERT_EQ(manager->AddForegroundLayer(foreground), LMerrSuccess);
        manager->SetCurrentForegroundId(foreground->Id());
        settings = foreground->ForegroundSettings();
        ASSERT_TRUE(settings);
        ASSERT_EQ(processor->SetLayer(foreground, GreenScreen(kPhotoWidth, kPhotoHeight)), LMerrSuccess);

        brightness = FindItemOfType<BrightnessFilterItem>(settings->Filters(), FilterItemTypeBrightness);
        ASSERT_TRUE(brightness);
        brightness->SetEnabled(true);
        brightness->SetActive(true);
        brightness->SetBrightness(0.2);
        spill = FindItemOfType<SpillSuppressionKeyItem>(settings->Keys(), KeyItemTypeSpillSuppression);
        ASSERT_TRUE(spill && spill->IsEnabled() && spill->IsActive());
        ASSERT_EQ(spill->ApplyMethod(), hvn::image::HXSpillApplyBeforeMasks);
        testhooks::RecordRenders(true);
    }

    void TearDown() override
    {
        testhooks::RecordRenders(false);
        testhooks::FailNextRender(0);
    }

    RenderProcessorTestPeer::Tables& Tables() { return RenderProcessorTestPeer::Impl(*processor); }

    void SetAll(HXDownsampleFactor factor, bool valid)
    {
        for (int level = RenderLevelKey; level <= RenderLevelFinal; ++level)
            processor->SetCacheValid(foreground, level, factor, valid);
    }

    std::set<int> ValidLevels(HXDownsampleFactor factor)
    {
        std::set<int> valid;
        for (int level = RenderLevelKey; level <= RenderLevelFinal; ++level)
            if (*Tables().StageFlag(*foreground, level, factor))
                valid.insert(level);
        return valid;
    }

    const hvn::image::HXImage8& Window(HXDownsampleFactor factor)
    {
        return *Tables().LayerWindowImages[foreground->Id()][factor];
    }

    MaskPtr AddSquareMask(bool remove, int feather)
    {
        auto mask = std::make_shared<Mask>("mask", remove, false, true, true, feather, 1.0f, 1.0f);
        for (const QPointF point : {QPointF(8, 8), QPointF(30, 8), QPointF(30, 30), QPointF(8, 30)})
            mask->Add(std::make_shared<MaskHandle>(point));
        settings->Masks().Add(mask);
        return mask;
    }

    ProjectPtr project;
    LayerManagerPtr manager;
    std::unique_ptr<RenderProcessor> processor;
    ForegroundImageLayerPtr foreground;
    ForegroundImageLayerSettingsPtr settings;
    std::shared_ptr<BrightnessFilterItem> brightness;
    std::shared_ptr<SpillSuppressionKeyItem> spill;
};

// A render starts at the earlier of the requested stage and the earliest stale one and runs
// every stage after it; it leaves every stage of that factor current and the other factor alone.
TEST_F(LayerRender, RunsTheStagesFromTheEarliestStaleOne)
{
    const struct {
        RenderLevel requested;
        std::set<int> stale;
        Ran expected;
    } cases[] = {
        {RenderLevelKey, {}, {true, true, true}},
        {RenderLevelPostFilter, {}, {false, true, true}},
        {RenderLevelFilter, {}, {false, false, true}},
        {RenderLevelFinal, {}, {false, false, false}},
        {RenderLevelFinal, {RenderLevelFinal}, {false, false, false}},
        {RenderLevelFinal, {RenderLevelFilter}, {false, false, true}},
        {RenderLevelFinal, {RenderLevelPostFilter}, {false, true, true}},
        {RenderLevelFinal, {RenderLevelKey}, {true, true, true}},
        {RenderLevelFilter, {RenderLevelKey, RenderLevelFinal}, {true, true, true}},
        {RenderLevelPostFilter, {RenderLevelFilter}, {false, true, true}},
        {RenderLevelFilter, {RenderLevelPostFilter}, {false, true, true}},
    };
    for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
        const HXDownsampleFactor other = factor == HXDownsampleFactor0 ? HXDownsampleFactor3 : HXDownsampleFactor0;
        // The work images start out keyed, so a render that skips the key has real input.
        ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, factor), LMerrSuccess);
        for (const auto& c : cases) {
            SetAll(factor, true);
            SetAll(other, false);
            for (const int level : c.stale)
                processor->SetCacheValid(foreground, level, factor, false);
            TakeRan();
            EXPECT_EQ(processor->RenderLayer(foreground, c.requested, factor), LMerrSuccess);
            EXPECT_EQ(TakeRan(), c.expected) << "factor " << factor << " requested " << c.requested;
            EXPECT_EQ(ValidLevels(factor), (std::set<int>{1, 2, 3, 4})) << "factor " << factor;
            EXPECT_TRUE(ValidLevels(other).empty());
        }
    }
}

// Matte view: no spill suppression and no filters; the final image shows alpha as grey, also
// when the final stage is asked for again.
TEST_F(LayerRender, MatteViewShowsAlphaAsGrey)
{
    AddSquareMask(true, 2);
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    const std::vector<std::uint8_t> colour = Bytes(Window(HXDownsampleFactor0));

    processor->EnableMatteView(true);
    SetAll(HXDownsampleFactor0, false);
    TakeRan();
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    EXPECT_EQ(TakeRan(), (Ran{true, false, false, true}));
    const std::vector<std::uint8_t> matte = Bytes(Window(HXDownsampleFactor0));
    std::set<int> greys;
    for (std::size_t i = 0; i < matte.size(); i += 4) {
        EXPECT_EQ(matte[i], colour[i + 3]) << "pixel " << i / 4;
        EXPECT_EQ(matte[i + 1], colour[i + 3]);
        EXPECT_EQ(matte[i + 2], colour[i + 3]);
        EXPECT_EQ(matte[i + 3], 255);
        greys.insert(matte[i]);
    }
    EXPECT_TRUE(greys.count(0) && greys.count(255)) << "the fixture keys nothing";

    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelFinal, HXDownsampleFactor0), LMerrSuccess);
    EXPECT_EQ(Bytes(Window(HXDownsampleFactor0)), matte);
}

// Engine failures of the key and filter passes come back as the render's result; the failing
// stage and those after it stay stale.
TEST_F(LayerRender, EngineFailuresComeBackAsResults)
{
    const struct {
        RenderLevel requested;
        int engineCode;
        LMerr expected;
        std::set<int> validAfter;
    } cases[] = {
        {RenderLevelKey, hvn::image::HXResultOutOfMemory, LMerrRenderOutOfMemory, {}},
        {RenderLevelKey, hvn::image::HXResultBadArgument, LMerrRenderEngine, {}},
        {RenderLevelFilter, hvn::image::HXResultOutOfMemory, LMerrRenderOutOfMemory, {1, 2}},
        {RenderLevelFilter, hvn::image::HXResultImageMismatch, LMerrRenderEngine, {1, 2}},
    };
    for (const auto& c : cases) {
        SetAll(HXDownsampleFactor3, true);
        for (int level = c.requested; level <= RenderLevelFinal; ++level)
            processor->SetCacheValid(foreground, level, HXDownsampleFactor3, false);
        testhooks::FailNextRender(c.engineCode);
        EXPECT_EQ(processor->RenderLayer(foreground, c.requested, HXDownsampleFactor3), c.expected)
            << c.requested << " " << c.engineCode;
        EXPECT_EQ(ValidLevels(HXDownsampleFactor3), c.validAfter);
    }
}

TEST_F(LayerRender, LayersThatAreNotRenderedLeaveTheirFlags)
{
    // Before SetLayer there is no source: a render failure, not out of memory.
    const auto unloaded = std::make_shared<ImageLayer>(LayerTypeImage, "unloaded", QString());
    EXPECT_EQ(processor->RenderLayer(unloaded, RenderLevelFinal, HXDownsampleFactor0), LMerrRenderFailed);
    const auto unknown = std::make_shared<ImageLayer>(static_cast<LayerType>(7), "unknown", QString());
    EXPECT_EQ(processor->RenderLayer(unknown, RenderLevelFinal, HXDownsampleFactor0), LMerrInvalidRenderLayer);
    unknown->SetOffline(true);
    EXPECT_EQ(processor->RenderLayer(unknown, RenderLevelFinal, HXDownsampleFactor0), LMerrSuccess);

    foreground->SetOffline(true);
    EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    foreground->SetOffline(false);
    manager->ForegroundLayerList()->SetEnabled(false);
    EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    EXPECT_TRUE(ValidLevels(HXDownsampleFactor0).empty());
    EXPECT_TRUE(TakeRan() == Ran{});

    // A disabled foreground in an enabled list is rendered.
    manager->ForegroundLayerList()->SetEnabled(true);
    foreground->SetEnabled(false);
    EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    EXPECT_EQ(ValidLevels(HXDownsampleFactor0), (std::set<int>{1, 2, 3, 4}));

    // Between the export's removal and restoration of the caches nothing is dereferenced.
    processor->RemoveCacheBeforeExport();
    EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrRenderFailed);
}

// Key radii are photo pixels: the canvas zoom reaches the filters but not the key.
TEST_F(LayerRender, KeyPassIgnoresTheCanvasZoom)
{
    project->GetCanvas().SetScale(0.5f);
    const auto blur = FindItemOfType<AlphaBlurKeyItem>(settings->Keys(), KeyItemTypeAlphaBlur);
    ASSERT_TRUE(blur);
    blur->SetEnabled(true);
    blur->SetActive(true);
    blur->SetRadius(4.0);
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    std::vector<double> radii;
    TakeRan(&radii);
    EXPECT_EQ(radii, std::vector<double>{4});
}

TEST_F(LayerRender, WithoutKeyItemsTheSourceIsCopied)
{
    for (auto it = settings->Keys().Begin(); it != settings->Keys().End(); ++it)
        (*it)->SetEnabled(false);
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor3), LMerrSuccess);
    EXPECT_EQ(Bytes(*Tables().ForegroundWorkImages[HXDownsampleFactor3]),
              Bytes(*Tables().SourceImages[foreground->Id()][HXDownsampleFactor3]));
}

// Spill suppressed after the masks runs in the filter stage, on the window image: redoing only
// the filters does not suppress the spill a second time.
TEST_F(LayerRender, SpillAfterMasksRunsWithTheFiltersOnce)
{
    spill->SetApplyMethod(hvn::image::HXSpillApplyAfterMasks);
    spill->SetOpacity(0.5);
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelKey, HXDownsampleFactor0), LMerrSuccess);
    const std::vector<std::uint8_t> first = Bytes(Window(HXDownsampleFactor0));
    TakeRan();
    processor->SetCacheValid(foreground, RenderLevelFilter, HXDownsampleFactor0, false);
    ASSERT_EQ(processor->RenderLayer(foreground, RenderLevelFilter, HXDownsampleFactor0), LMerrSuccess);
    EXPECT_EQ(TakeRan(), (Ran{false, true, true, false}));
    EXPECT_EQ(Bytes(Window(HXDownsampleFactor0)), first);
}

// The crop confines retaining masks. At the preview factor the limit is the full-resolution one
// scaled once, and a changed crop redraws the limit of a cached mask.
TEST_F(LayerRender, CropLimitsTheMasksAtBothFactors)
{
    const MaskPtr mask = AddSquareMask(false, 0);
    const auto crop = FindItemOfType<CropKeyItem>(settings->Keys(), KeyItemTypeCrop);
    ASSERT_TRUE(crop);
    crop->SetEnabled(true);
    crop->SetLeft(0.25);
    auto limitAt = [&](HXDownsampleFactor factor) {
        SetAll(factor, false);
        EXPECT_EQ(processor->RenderLayer(foreground, RenderLevelKey, factor), LMerrSuccess);
        const auto record = Tables().alphaMaskRenderer->Record(mask->Id());
        return (factor == HXDownsampleFactor0 ? record->fullDrawnWith : record->reducedDrawnWith).limit.boundingRect();
    };
    auto alphaAt = [&](int x, int y) {
        const auto& window = Window(HXDownsampleFactor0);
        return window.Buffer()[(y * window.Width() + x) * 4 + 3];
    };
    // The photo spans x 8 .. 72 of the window, the mask's square 16 .. 38; the crop cuts the
    // photo's left quarter. Backdrop inside the square is restored only within the crop.
    const QRectF full = limitAt(HXDownsampleFactor0);
    EXPECT_EQ(full, QRectF(24, 6, 48, 48));
    EXPECT_EQ(alphaAt(28, 16), 255);
    EXPECT_EQ(alphaAt(18, 16), 0);
    const QRectF preview = limitAt(HXDownsampleFactor3);
    EXPECT_NEAR(preview.left(), full.left() * 0.25, 1.0);
    EXPECT_NEAR(preview.width(), full.width() * 0.25, 1.0);

    // Nobody invalidates the mask: the cache sees the new limit.
    crop->SetLeft(0.5);
    EXPECT_EQ(limitAt(HXDownsampleFactor0), QRectF(40, 6, 32, 48));
    EXPECT_EQ(alphaAt(28, 16), 0);
}

} // namespace
} // namespace lumo::app
