// Removing and clearing layers, the current foreground's file, the canvas size and the fits of the
// overlay and the further layers that follow from it.

#include "RefreshSignals.h"
#include "UiTest.h"

#include "Canvas/CanvasView.h"

#include "ImageLayer.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "TransformItems.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace lumo::ui::testing {
namespace {

using app::RenderLevel;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

// The placement an item holds, to tell whether a fit changed it.
struct Placement {
    double translateX, translateY, scaleX, scaleY, rotation;
    bool operator==(const Placement&) const = default;
};

class LayerOperationsTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        manager = CurrentProject()->GetLayerManager();
        QImage image(200, 100, QImage::Format_RGB32);
        image.fill(qRgb(90, 120, 200));
        photo = folder.filePath(QStringLiteral("photo.png"));
        ASSERT_TRUE(image.save(photo));
    }

    // A further layer with its default settings, holding the photo.
    app::ImageLayerPtr AddFurtherLayer()
    {
        const auto layer = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", QString());
        EXPECT_EQ(manager->AddLayer(layer), app::LMerrSuccess);
        EXPECT_TRUE(App().ImportImage(photo, layer->Id(), app::LayerTypeImage));
        return layer;
    }

    template <class Item>
    std::shared_ptr<Item> ItemOf(const app::ImageLayerSettingsPtr& settings, app::TransformItemType type)
    {
        app::TransformList::Pointer item;
        EXPECT_EQ(settings->Transforms().GetFilterByType(type, item), app::LMerrSuccess);
        return std::dynamic_pointer_cast<Item>(item);
    }

    Placement PlacementOf(const app::ImageLayerSettingsPtr& settings)
    {
        const auto item = ItemOf<app::TransformationTransformItem>(settings, app::TransformItemTypeTransformation);
        return {item->TranslateX(), item->TranslateY(), item->ScaleX(), item->ScaleY(), item->Rotation()};
    }

    QTemporaryDir folder;
    QString photo;
    app::LayerManagerPtr manager;
};

TEST_F(LayerOperationsTest, RemovingALayerTakesItFromTheViewTheRendererAndTheProject)
{
    CanvasView view;
    App().SetCanvasView(&view);
    const app::ImageLayerPtr further = AddFurtherLayer();
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeBackground));
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeOverlay));
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeForeground));
    const app::ImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId());
    const app::ImageLayerPtr background = manager->GetBackground();
    const app::ImageLayerPtr overlay = manager->GetOverlay();

    struct Case {
        app::LayerType kind;
        app::ImageLayerPtr layer;
        std::function<bool()> gone;
    };
    const std::vector<Case> cases = {
        // Background and overlay keep their slots, emptied.
        {app::LayerTypeBackground, background, [&] { return background->Path().isEmpty() && !background->IsValid(); }},
        {app::LayerTypeOverlay, overlay, [&] { return manager->GetOverlay() == overlay && !overlay->IsValid(); }},
        {app::LayerTypeImage, further, [&] { return !manager->GetLayer(further->Id()); }},
        {app::LayerTypeForeground, foreground,
         [&] { return manager->Count(app::LayerTypeForeground) == 0 && manager->CurrentForegroundId().isNull(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_TRUE(App().GetThumbnail(c.layer->Id()));
        QSignalSpy canvasSpy(&App(), kCanvasSignal);
        App().RemoveImageLayer(c.layer->Id(), c.kind);
        EXPECT_TRUE(c.gone());
        EXPECT_FALSE(App().GetThumbnail(c.layer->Id()));
        ASSERT_EQ(canvasSpy.count(), 1);
        EXPECT_EQ(canvasSpy.at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    }
    EXPECT_TRUE(App().CurrentForegroundPath().isEmpty());
    QImage canvas;
    EXPECT_EQ(App().RenderAllLayersToCanvas(canvas, HXDownsampleFactor0), app::LMerrSuccess);

    // Nothing to remove: no request either.
    QSignalSpy canvasSpy(&App(), kCanvasSignal);
    App().RemoveImageLayer(QUuid(), app::LayerTypeForeground);
    App().RemoveImageLayer(QUuid::createUuid(), app::LayerTypeImage);
    App().RemoveImageLayer(QUuid(), static_cast<app::LayerType>(4));
    EXPECT_EQ(canvasSpy.count(), 0);
}

TEST_F(LayerOperationsTest, ClearingALayerEmptiesItButKeepsItInTheProject)
{
    const app::ImageLayerPtr further = AddFurtherLayer();
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeForeground));
    QSignalSpy canvasSpy(&App(), kCanvasSignal);

    App().ClearLayer(further->Id());
    EXPECT_EQ(manager->GetLayer(further->Id()), further);
    EXPECT_TRUE(further->Path().isEmpty());
    EXPECT_FALSE(further->IsValid());
    EXPECT_EQ(further->Dimensions(), QSize(0, 0));
    EXPECT_FALSE(App().GetThumbnail(further->Id()));
    EXPECT_EQ(canvasSpy.count(), 1);

    // Foregrounds are not cleared this way.
    App().ClearLayer(manager->CurrentForegroundId());
    EXPECT_EQ(App().CurrentForegroundPath(), photo);
    EXPECT_EQ(canvasSpy.count(), 1);
}

TEST_F(LayerOperationsTest, TheCurrentForegroundsFileIsNamedOnlyWhileItExists)
{
    EXPECT_TRUE(App().CurrentForegroundPath().isEmpty());
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeForeground));
    EXPECT_EQ(App().CurrentForegroundPath(), photo);
    manager->SetCurrentForegroundId(QUuid::createUuid());
    EXPECT_TRUE(App().CurrentForegroundPath().isEmpty());
}

TEST_F(LayerOperationsTest, AFoldedCardShowsOneFaceOfTheSheet)
{
    struct Case {
        bool card;
        app::CanvasDimensionType type;
        app::CanvasOrientation orientation;
        int width, height;
        QSize face;
    };
    using enum app::CanvasDimensionType;
    const std::vector<Case> cases = {
        {true, CanvasDimensionPreset, app::CanvasOrientationPortrait, 1000, 700, {350, 1000}},
        {true, CanvasDimensionCustom, app::CanvasOrientationLandscape, 1000, 700, {700, 500}},
        {true, CanvasDimensionCustom, app::CanvasOrientationPortrait, 1001, 701, {350, 1001}},
        {true, CanvasDimensionPreset, app::CanvasOrientationLandscape, 1001, 701, {701, 500}},
        // Sized from an image, or not a card: the whole sheet.
        {true, CanvasDimensionBackground, app::CanvasOrientationPortrait, 1000, 700, {1000, 700}},
        {true, CanvasDimensionForeground, app::CanvasOrientationLandscape, 1000, 700, {1000, 700}},
        {false, CanvasDimensionPreset, app::CanvasOrientationPortrait, 1000, 700, {1000, 700}},
    };
    app::Canvas& canvas = CurrentProject()->GetCanvas();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.card << " type " << c.type << " orientation " << c.orientation << " "
                                          << c.width << " x " << c.height);
        canvas.SetPrintAsCard(c.card);
        canvas.SetDimensionType(c.type);
        canvas.SetOrientation(c.orientation);
        App().SetCanvasDimensions(c.width, c.height);
        EXPECT_EQ(QSize(int(canvas.ActualWidth()), int(canvas.ActualHeight())), QSize(c.width, c.height));
        EXPECT_EQ(QSize(int(canvas.Width()), int(canvas.Height())), c.face);
    }
}

TEST_F(LayerOperationsTest, TheOverlayFollowsTheCanvasAndRedrawsWhenItMoves)
{
    ASSERT_TRUE(App().ImportImage(photo, QUuid(), app::LayerTypeOverlay));
    const app::ImageLayerSettingsPtr settings = manager->GetLayerSettings(app::LayerTypeOverlay);
    ASSERT_TRUE(settings);
    ASSERT_EQ(ItemOf<app::FitTransformItem>(settings, app::TransformItemTypeFit)->Fit(), app::FitToCanvas);
    const QUuid overlayId = manager->GetOverlay()->Id();
    QSignalSpy layerSpy(&App(), kLayerSignal);

    // A new canvas size refits at full resolution.
    const Placement before = PlacementOf(settings);
    App().SetCanvasDimensions(1000, 700);
    EXPECT_NE(PlacementOf(settings), before);
    ASSERT_EQ(layerSpy.count(), 1);
    EXPECT_EQ(layerSpy.at(0).at(0).value<QUuid>(), overlayId);
    EXPECT_EQ(layerSpy.at(0).at(1).value<RenderLevel>(), app::RenderLevelPostFilter);

    // At the preview factor only a change redraws, and only when asked.
    layerSpy.clear();
    App().UpdateOverlayFit(HXDownsampleFactor3, true);
    EXPECT_EQ(layerSpy.count(), 0);
    CurrentProject()->GetCanvas().SetDimensions(500, 500);
    const Placement fitted = PlacementOf(settings);
    App().UpdateOverlayFit(HXDownsampleFactor3, false);
    EXPECT_NE(PlacementOf(settings), fitted);
    EXPECT_EQ(layerSpy.count(), 0);
    CurrentProject()->GetCanvas().SetDimensions(800, 600);
    App().UpdateOverlayFit(HXDownsampleFactor3, true);
    ASSERT_EQ(layerSpy.count(), 1);
    EXPECT_EQ(layerSpy.at(0).at(2).value<HXDownsampleFactor>(), HXDownsampleFactor3);

    // Fitted to nothing: left where it is.
    ItemOf<app::FitTransformItem>(settings, app::TransformItemTypeFit)->SetFit(app::FitToNone);
    const Placement placed = PlacementOf(settings);
    layerSpy.clear();
    App().SetCanvasDimensions(300, 300);
    EXPECT_EQ(PlacementOf(settings), placed);
    EXPECT_EQ(layerSpy.count(), 0);
}

TEST_F(LayerOperationsTest, FurtherLayersAreRefittedWithOneCanvasRedraw)
{
    const app::ImageLayerPtr fitted = AddFurtherLayer();
    const app::ImageLayerPtr free = AddFurtherLayer();
    const app::ImageLayerSettingsPtr fittedSettings = manager->GetLayerSettings(fitted->Id());
    const app::ImageLayerSettingsPtr freeSettings = manager->GetLayerSettings(free->Id());
    ASSERT_TRUE(fittedSettings && freeSettings);
    ItemOf<app::FitTransformItem>(fittedSettings, app::TransformItemTypeFit)->SetFit(app::FitToCanvas);
    ASSERT_EQ(ItemOf<app::FitTransformItem>(freeSettings, app::TransformItemTypeFit)->Fit(), app::FitToNone);
    const Placement fittedBefore = PlacementOf(fittedSettings);
    const Placement freeBefore = PlacementOf(freeSettings);
    QSignalSpy canvasSpy(&App(), kCanvasSignal);

    CurrentProject()->GetCanvas().SetDimensions(900, 600);
    App().UpdateLayerFits(HXDownsampleFactor3, true);
    EXPECT_NE(PlacementOf(fittedSettings), fittedBefore);
    EXPECT_EQ(PlacementOf(freeSettings), freeBefore);
    ASSERT_EQ(canvasSpy.count(), 1);
    EXPECT_EQ(canvasSpy.at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor3);

    // Nothing changed at the preview factor: no redraw; at full resolution always one.
    canvasSpy.clear();
    App().UpdateLayerFits(HXDownsampleFactor3, true);
    EXPECT_EQ(canvasSpy.count(), 0);
    App().UpdateLayerFits(HXDownsampleFactor0, true);
    EXPECT_EQ(canvasSpy.count(), 1);
    App().UpdateLayerFits(HXDownsampleFactor0, false);
    EXPECT_EQ(canvasSpy.count(), 1);
}

} // namespace
} // namespace lumo::ui::testing
