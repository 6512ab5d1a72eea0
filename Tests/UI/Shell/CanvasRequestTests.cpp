// What the views ask of the Application for the canvas: cache invalidation, refresh requests and
// the canvas renders.

#include "GreenScreenProject.h"
#include "RefreshSignals.h"
#include "UiTest.h"

#include "ImageLayer.h"
#include "LayerManager.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>
#include <functional>

namespace lumo::ui::testing {
namespace {

using app::RenderLevel;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

using RefreshRequestTest = UiTest;

TEST_F(RefreshRequestTest, EachLayerKindAndLevelIsRequestedWithItsLayersId)
{
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", QString());
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    QSignalSpy layerSpy(&App(), kLayerSignal);
    QSignalSpy canvasSpy(&App(), kCanvasSignal);

    // Nothing selected in the layer list: kind 3 names no layer.
    App().RequestLayerRefresh(app::LayerTypeImage, app::RenderLevelFilter, HXDownsampleFactor0);
    EXPECT_EQ(layerSpy.count(), 0);
    manager->LayerList()->SetCurrentlySelectedLayer(further->Id());

    const std::vector<std::pair<int, QUuid>> kinds = {
        {app::LayerTypeBackground, manager->GetBackground()->Id()},
        // The foreground slot's fixed id, whichever foreground is current (here none).
        {app::LayerTypeForeground, manager->LayerList()->StaticForegroundId()},
        {app::LayerTypeOverlay, manager->GetOverlay()->Id()},
        {app::LayerTypeImage, further->Id()},
    };
    for (const auto& [kind, id] : kinds) {
        for (int level = app::RenderLevelKey; level <= app::RenderLevelFinal; ++level) {
            for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
                SCOPED_TRACE(::testing::Message() << "kind " << kind << " level " << level << " factor " << factor);
                layerSpy.clear();
                App().RequestLayerRefresh(kind, static_cast<RenderLevel>(level), factor);
                ASSERT_EQ(layerSpy.count(), 1);
                EXPECT_EQ(layerSpy.at(0).at(0).value<QUuid>(), id);
                EXPECT_EQ(layerSpy.at(0).at(1).value<RenderLevel>(), level);
                EXPECT_EQ(layerSpy.at(0).at(2).value<HXDownsampleFactor>(), factor);
            }
        }
    }
    layerSpy.clear();
    App().RequestLayerRefresh(4, app::RenderLevelKey, HXDownsampleFactor0);
    App().RequestLayerRefresh(-1, app::RenderLevelKey, HXDownsampleFactor0);
    EXPECT_EQ(layerSpy.count(), 0);
    EXPECT_EQ(canvasSpy.count(), 0);

    // A whole-canvas refresh always redraws at full resolution.
    App().RefreshCanvas();
    App().RefreshCanvas(HXDownsampleFactor3);
    ASSERT_EQ(canvasSpy.count(), 2);
    EXPECT_EQ(canvasSpy.at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    EXPECT_EQ(canvasSpy.at(1).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    EXPECT_EQ(layerSpy.count(), 0);
}

// A green-screen project whose layers are in the render processor.
class RenderedProjectTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), megapixels);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        LoadLayerImages(App());
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetScale(1.0f);
        canvas.SetPosition(0, 0);
        canvas.SetCentre(960, 540);
        manager = CurrentProject()->GetLayerManager();
        foreground = manager->GetForeground(manager->CurrentForegroundId());
        background = manager->GetBackground();
        ASSERT_TRUE(foreground && background);
    }

    // Renders the canvas at both factors, so that every cache is current.
    void RenderBoth()
    {
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrSuccess);
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
    }

    // The stale stage of the layer at the factor, or 0 when it is current.
    int StaleLevel(const app::ImageLayerPtr& layer, HXDownsampleFactor factor)
    {
        RenderLevel level = app::RenderLevelKey;
        return App().GetRenderProcessor()->IsCacheValid(layer, factor, level) ? 0 : level;
    }

    double megapixels = 0.05;
    QTemporaryDir folder;
    GreenScreenProject written;
    app::LayerManagerPtr manager;
    app::ImageLayerPtr foreground;
    app::ImageLayerPtr background;
};

TEST_F(RenderedProjectTest, InvalidationMarksTheNamedStageStaleExceptInTheEffectsToolset)
{
    struct Case {
        const char* name;
        app::ToolsetSections toolset;
        std::function<void(Application&)> invalidate;
        int foregroundAt0, foregroundAt3, backgroundAt0, backgroundAt3; // stale level, 0 current
    };
    const QUuid backgroundId = background->Id();
    const QUuid slotId = manager->LayerList()->StaticForegroundId();
    const std::vector<Case> cases = {
        {"current foreground from its filters", app::ToolsetSectionKey,
         [](Application& a) { a.InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelFilter, HXDownsampleFactor3); },
         0, app::RenderLevelFilter, 0, 0},
        {"background from its placement", app::ToolsetSectionFilters,
         [](Application& a) { a.InvalidateLayerCache(app::LayerTypeBackground, app::RenderLevelPostFilter, HXDownsampleFactor0); },
         0, 0, app::RenderLevelPostFilter, 0},
        {"nothing in the effects toolset", app::ToolsetSectionEffects,
         [](Application& a) { a.InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor0); },
         0, 0, 0, 0},
        {"by id in the effects toolset", app::ToolsetSectionEffects,
         [backgroundId](Application& a) { a.InvalidateCacheOfLayer(backgroundId, app::RenderLevelPostFilter, HXDownsampleFactor0); },
         0, 0, app::RenderLevelPostFilter, 0},
        {"the foreground slot's id means the current foreground", app::ToolsetSectionEffects,
         [slotId](Application& a) { a.InvalidateCacheOfLayer(slotId, app::RenderLevelKey, HXDownsampleFactor0); },
         app::RenderLevelKey, 0, 0, 0},
        {"a level that names no cache", app::ToolsetSectionKey,
         [](Application& a) { a.InvalidateLayerCache(app::LayerTypeForeground, 5, HXDownsampleFactor0); },
         0, 0, 0, 0},
        {"the whole composite at the preview factor", app::ToolsetSectionEffects,
         [](Application& a) { a.InvalidateCompositeCaches(HXDownsampleFactor3); },
         0, app::RenderLevelKey, 0, app::RenderLevelPostFilter},
        {"refreshing the canvas at the preview factor", app::ToolsetSectionEffects,
         [](Application& a) { a.RefreshCanvas(HXDownsampleFactor3); },
         0, app::RenderLevelKey, 0, app::RenderLevelPostFilter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderBoth();
        CurrentProject()->SetCurrentToolset(c.toolset);
        c.invalidate(App());
        EXPECT_EQ(StaleLevel(foreground, HXDownsampleFactor0), c.foregroundAt0);
        EXPECT_EQ(StaleLevel(foreground, HXDownsampleFactor3), c.foregroundAt3);
        EXPECT_EQ(StaleLevel(background, HXDownsampleFactor0), c.backgroundAt0);
        EXPECT_EQ(StaleLevel(background, HXDownsampleFactor3), c.backgroundAt3);
    }
}

TEST_F(RenderedProjectTest, BothCanvasRendersRefuseWhileExporting)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QImage before = image.copy();
    App().InvalidateCompositeCaches(HXDownsampleFactor0);
    App().SetExporting(true);
    EXPECT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrCanvasRender);
    EXPECT_EQ(App().RenderLayerToCanvas(image, foreground->Id(), app::RenderLevelKey, HXDownsampleFactor0),
              app::LMerrCanvasRender);
    EXPECT_EQ(image, before);
    EXPECT_EQ(StaleLevel(foreground, HXDownsampleFactor0), app::RenderLevelKey);

    App().SetExporting(false);
    EXPECT_EQ(App().RenderLayerToCanvas(image, manager->LayerList()->StaticForegroundId(), app::RenderLevelKey,
                                        HXDownsampleFactor0),
              app::LMerrSuccess);
    EXPECT_EQ(image.size(), QSize(1920, 1080));
}

int Distance(QRgb a, int red, int green, int blue)
{
    return std::max({std::abs(qRed(a) - red), std::abs(qGreen(a) - green), std::abs(qBlue(a) - blue)});
}

class KeyedRenderTest : public RenderedProjectTest {
protected:
    KeyedRenderTest() { megapixels = 0.3; }
};

TEST_F(KeyedRenderTest, TheCanvasShowsTheKeyedSubjectOverTheBackground)
{
    QImage image;
    ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor0), app::LMerrSuccess);
    ASSERT_EQ(image.size(), App().WindowCacheRect().size());
    const QRect canvas = CurrentProject()->GetCanvas().GetTransformedRect();
    ASSERT_EQ(canvas.size(), QSize(written.scene.width, written.scene.height));

    int backdrop = 0, backdropShowsBackground = 0, subject = 0, subjectKept = 0, green = 0;
    for (int y = 0; y < written.scene.height; ++y) {
        for (int x = 0; x < written.scene.width; ++x) {
            const QRgb shown = image.pixel(canvas.left() + x, canvas.top() + y);
            const int alpha = written.AlphaAt(x, y);
            green += qGreen(shown) > std::max(qRed(shown), qBlue(shown)) + 40 ? 1 : 0;
            if (alpha == 0) {
                ++backdrop;
                const QRgb sky = written.background.pixel(x, y);
                backdropShowsBackground += Distance(shown, qRed(sky), qGreen(sky), qBlue(sky)) <= 24 ? 1 : 0;
            } else if (alpha == 255) {
                ++subject;
                const std::uint8_t* truth = &written.scene.foreground[(static_cast<std::size_t>(y) * written.scene.width + x) * 4];
                subjectKept += Distance(shown, truth[2], truth[1], truth[0]) <= 40 ? 1 : 0;
            }
        }
    }
    ASSERT_GT(backdrop, 0);
    ASSERT_GT(subject, 0);
    EXPECT_GE(static_cast<double>(backdropShowsBackground) / backdrop, 0.97);
    EXPECT_GE(static_cast<double>(subjectKept) / subject, 0.90);
    EXPECT_LT(green, written.scene.width * written.scene.height / 100);
}

} // namespace
} // namespace lumo::ui::testing
