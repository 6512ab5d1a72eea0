// The canvas view: view pixels are scene coordinates, the canvas is centred beside the bars, the
// wheel zooms, dragging empty canvas pans, presses go to the handles they land on, and the layer
// that gets handles follows the toolset.

#include "CanvasTest.h"

#include "Canvas/CanvasItemTypes.h"

#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "TransformItems.h"

#include <QGraphicsRectItem>
#include <QSignalSpy>
#include <QWheelEvent>

namespace lumo::ui::testing {
namespace {

using app::RenderLevel;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

const auto kCanvasSignal = qOverload<HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested);

// Counts the canvas-scale notifications.
struct ScaleCounter : LumoModelObserver {
    int count = 0;
    void ModelChanged(DataType type, const QUuid&, FieldType field) override
    {
        count += type == DataTypeCanvas && field == FieldTypeCanvasScale ? 1 : 0;
    }
};

// An item that answers a handle's type, standing in for the handles of later canvas editing.
class StandInHandle : public QGraphicsRectItem {
public:
    StandInHandle(int type, const QRectF& rect) : QGraphicsRectItem(rect), m_type(type) { setZValue(200); }
    int type() const override { return m_type; }

private:
    int m_type;
};

class CanvasViewTest : public CanvasTest {
protected:
    // A green-screen project shown at scale 0.5 with every layer's preview cache current.
    void ShowAtHalfScale()
    {
        ShowGreenScreenProject(0.05);
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetScale(0.5f);
        canvas.SetPosition(10, -20);
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
        ASSERT_TRUE(PreviewCurrent());
    }

    bool PreviewCurrent()
    {
        const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
        RenderLevel level = app::RenderLevelKey;
        return App().GetRenderProcessor()->IsCacheValid(manager->GetForeground(manager->CurrentForegroundId()),
                                                        HXDownsampleFactor3, level);
    }

    QPoint Position() const
    {
        const app::Canvas& canvas = CurrentProject()->GetCanvas();
        return {canvas.PositionX(), canvas.PositionY()};
    }

    void Wheel(int angleY, int angleX = 0)
    {
        const QPointF at(400, 300);
        QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(angleX, angleY), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    }

};

TEST_F(CanvasViewTest, ViewPixelsAreSceneCoordinates)
{
    view.show();
    Settle();
    EXPECT_EQ(scene.sceneRect(), QRectF(0, 0, 1280, 800));
    for (const QPoint p : {QPoint(0, 0), QPoint(123, 45), QPoint(1279, 799)})
        EXPECT_EQ(view.mapToScene(p), QPointF(p));
    EXPECT_EQ(view.frameShape(), QFrame::NoFrame);
    EXPECT_EQ(view.viewportUpdateMode(), QGraphicsView::FullViewportUpdate);
    EXPECT_EQ(scene.itemIndexMethod(), QGraphicsScene::NoIndex);
}

// Qt does not fill the viewport before a paint: the scene's backdrop covers every pixel, after a
// resize as well, and a view without a scene paints black.
TEST_F(CanvasViewTest, EveryPixelOfTheViewportIsPaintedWithOrWithoutAScene)
{
    const auto rendered = [](QWidget& widget) {
        QImage image(widget.size(), QImage::Format_RGB32);
        image.fill(qRgb(255, 0, 255));
        widget.render(&image);
        return image;
    };
    const auto magentaPixels = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == qRgb(255, 0, 255) ? 1 : 0;
        return count;
    };
    ShowGreenScreenProject(0.05);
    EXPECT_EQ(magentaPixels(rendered(view)), 0);
    view.resize(900, 700);
    EXPECT_EQ(magentaPixels(rendered(view)), 0); // black while the size settles
    Settle();
    EXPECT_EQ(magentaPixels(rendered(view)), 0);

    CanvasView bare;
    bare.resize(120, 90);
    const QImage image = rendered(bare);
    EXPECT_EQ(magentaPixels(image), 0);
    EXPECT_EQ(image.pixel(60, 45), qRgb(0, 0, 0));
}

TEST_F(CanvasViewTest, TheCanvasCentreLiesInTheRoomBesideTheToolsetBarAndBelowTheActionsBar)
{
    struct Case {
        app::ToolsetPositionID toolset;
        int sideReserve;
        int topReserve;
        QPoint centre;
    };
    const std::vector<Case> cases = {
        {app::ToolsetPositionLeft, 64, 33, {532, 366}},
        {app::ToolsetPositionRight, 64, 33, {468, 366}},
        {app::ToolsetPositionLeft, 0, 0, {500, 350}},
    };
    view.resize(1000, 700);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "toolset " << c.toolset << " reserves " << c.sideReserve << ", "
                                          << c.topReserve);
        CurrentProject()->SetToolsetPosition(c.toolset);
        App().SetToolsetWidth(c.sideReserve);
        App().SetCanvasActionsHeight(c.topReserve);
        CurrentProject()->GetCanvas().SetCentre(0, 0);
        // A new or reopened project centres the canvas again.
        Notify(DataTypeProject, FieldTypeRefreshAll);
        const app::Canvas& canvas = CurrentProject()->GetCanvas();
        EXPECT_EQ(QPoint(canvas.CentreX(), canvas.CentreY()), c.centre);
        EXPECT_EQ(CurrentProject()->WindowWidth(), 1000u);
        EXPECT_EQ(CurrentProject()->WindowHeight(), 700u);
    }
}

TEST_F(CanvasViewTest, TheWheelZoomsByANotchWithinItsLimitsAndRedrawsAtFullResolution)
{
    struct Case {
        float scale;
        int angle;
        float expected;
    };
    const std::vector<Case> cases = {
        {1.0f, 120, 1.05f}, {1.0f, -240, 0.9f}, {3.98f, 120, 4.0f},
        {4.0f, 120, 4.0f},  {0.02f, -120, 0.01f}, {0.5f, 30, 0.5125f},
    };
    ShowAtHalfScale();
    ScaleCounter counter;
    counter.SetModel(model, {DataTypeCanvas});
    QSignalSpy refreshes(&App(), kCanvasSignal);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.scale << " by " << c.angle);
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
        CurrentProject()->GetCanvas().SetScale(c.scale);
        refreshes.clear();
        counter.count = 0;
        Wheel(c.angle);
        EXPECT_FLOAT_EQ(CurrentProject()->GetCanvas().Scale(), c.expected);
        ASSERT_EQ(refreshes.count(), 1);
        EXPECT_EQ(refreshes.at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
        EXPECT_FALSE(PreviewCurrent());
        EXPECT_EQ(counter.count, 1);
    }

    // A sideways scroll is no zoom: nothing changes and nothing is thrown away.
    QImage image;
    ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
    CurrentProject()->GetCanvas().SetScale(0.5f);
    refreshes.clear();
    counter.count = 0;
    Wheel(0, 120);
    EXPECT_FLOAT_EQ(CurrentProject()->GetCanvas().Scale(), 0.5f);
    EXPECT_EQ(refreshes.count(), 0);
    EXPECT_TRUE(PreviewCurrent());
    EXPECT_EQ(counter.count, 0);
}

TEST_F(CanvasViewTest, DraggingTheCanvasPansItAndTheReleaseRedrawsItWhole)
{
    ShowAtHalfScale();
    QSignalSpy refreshes(&App(), kCanvasSignal);

    // Within the start-drag distance nothing happens, at the move or at the release.
    const QPoint press(600, 400);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
    QTest::mouseMove(view.viewport(), press + QPoint(6, 4));
    EXPECT_EQ(Position(), QPoint(10, -20));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, press + QPoint(6, 4));
    EXPECT_EQ(refreshes.count(), 0);
    EXPECT_TRUE(PreviewCurrent());

    // 40 pixels across and 30 down at scale 0.5 move the canvas 80 and 60 canvas pixels; while the
    // pan lasts only the preview is redrawn and the caches stay.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
    QTest::mouseMove(view.viewport(), press + QPoint(40, 30));
    EXPECT_EQ(Position(), QPoint(90, 40));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ClosedHandCursor);
    ASSERT_GE(refreshes.count(), 1);
    EXPECT_EQ(refreshes.last().at(0).value<HXDownsampleFactor>(), HXDownsampleFactor3);
    EXPECT_TRUE(PreviewCurrent());

    refreshes.clear();
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, press + QPoint(40, 30));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(refreshes.count(), 1);
    EXPECT_EQ(refreshes.at(0).at(0).value<HXDownsampleFactor>(), HXDownsampleFactor0);
    EXPECT_FALSE(PreviewCurrent());
    EXPECT_EQ(Position(), QPoint(90, 40));
}

TEST_F(CanvasViewTest, APressOutsideTheRenderedAreaIsIgnored)
{
    // A render pipeline whose window covers only the view's top-left 640 x 480.
    App().SetRenderProcessorFactory([](const app::ProjectPtr& project, const QRect&, app::LMerr& code) {
        return std::make_shared<app::RenderProcessor>(project, hvn::image::HXPixelChannelOrderBGRA,
                                                      QRect(0, 0, 640, 480), code);
    });
    ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
    forcedResult = app::LMerrSuccess;
    view.show();
    Settle();
    CurrentProject()->GetCanvas().SetScale(1.0f);
    CurrentProject()->GetCanvas().SetPosition(0, 0);

    {
        // QTest says so when the view leaves a press unaccepted.
        const MessageCapture messages;
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(900, 600));
        EXPECT_EQ(messages.Messages().filter("not accepted").size(), 1);
    }
    QTest::mouseMove(view.viewport(), QPoint(1000, 700));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(1000, 700));
    EXPECT_EQ(Position(), QPoint(0, 0));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    {
        const MessageCapture messages;
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(300, 200));
        EXPECT_TRUE(messages.Messages().isEmpty());
    }
    QTest::mouseMove(view.viewport(), QPoint(350, 200));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(350, 200));
    EXPECT_EQ(Position(), QPoint(50, 0));
}

TEST_F(CanvasViewTest, APressPansFromEmptyCanvasAndFromAQuadOnlyWithSpaceOrTheRightButton)
{
    struct Case {
        const char* name;
        int itemType; // 0: no handle, the canvas outline takes the press
        Qt::MouseButton button;
        Qt::Key keyBefore; // pressed before the mouse (Key_unknown: none)
        Qt::Key releasedKey; // released before the mouse (Key_unknown: none)
        bool pans;
    };
    const std::vector<Case> cases = {
        {"empty canvas", 0, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, true},
        {"a text on the canvas", CanvasItemTextLayer, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, true},
        {"the crop rectangle", CanvasItemCrop, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, true},
        {"a layer quad", CanvasItemLayerQuad, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, false},
        {"a layer quad with Space", CanvasItemLayerQuad, Qt::LeftButton, Qt::Key_Space, Qt::Key_unknown, true},
        {"a layer quad, right button", CanvasItemLayerQuad, Qt::RightButton, Qt::Key_unknown, Qt::Key_unknown, true},
        {"a layer quad after Space and another key went up", CanvasItemLayerQuad, Qt::LeftButton, Qt::Key_Space,
         Qt::Key_A, false},
        {"a layer scale handle with Space", CanvasItemLayerScale, Qt::LeftButton, Qt::Key_Space, Qt::Key_unknown,
         false},
        {"a text quad, right button", CanvasItemTextQuad, Qt::RightButton, Qt::Key_unknown, Qt::Key_unknown, true},
        {"a text rotate handle", CanvasItemTextRotate, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, false},
        {"a shadow corner with Space", CanvasItemShadowHandle, Qt::LeftButton, Qt::Key_Space, Qt::Key_unknown, true},
        {"a shadow corner", CanvasItemShadowHandle, Qt::LeftButton, Qt::Key_unknown, Qt::Key_unknown, false},
        {"a mask handle outside the masks toolset", CanvasItemMaskHandle, Qt::LeftButton, Qt::Key_unknown,
         Qt::Key_unknown, false},
    };
    forcedResult = app::LMerrSuccess;
    view.show();
    Settle();
    app::Canvas& canvas = CurrentProject()->GetCanvas();
    canvas.SetScale(1.0f);
    QSignalSpy refreshes(&App(), kCanvasSignal);
    const QPoint press(600, 400);
    // The stand-in handles leave the presses they get unaccepted, which QTest reports.
    const MessageCapture unacceptedPresses;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        canvas.SetPosition(0, 0);
        std::unique_ptr<StandInHandle> handle;
        if (c.itemType != 0) {
            handle = std::make_unique<StandInHandle>(c.itemType, QRectF(500, 300, 200, 200));
            scene.addItem(handle.get());
        }
        if (c.keyBefore != Qt::Key_unknown)
            QTest::keyPress(&view, c.keyBefore);
        if (c.releasedKey != Qt::Key_unknown)
            QTest::keyRelease(&view, c.releasedKey);
        QTest::mousePress(view.viewport(), c.button, {}, press);
        QTest::mouseMove(view.viewport(), press + QPoint(30, 0));
        EXPECT_EQ(Position().x(), c.pans ? 30 : 0);
        refreshes.clear();
        QTest::mouseRelease(view.viewport(), c.button, {}, press + QPoint(30, 0));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // The end of a pan and of a shadow drag redraw at full resolution.
        const bool redraws = c.pans || c.itemType == CanvasItemShadowHandle;
        EXPECT_EQ(refreshes.count(), redraws ? 1 : 0);
        if (c.keyBefore != Qt::Key_unknown && c.releasedKey == Qt::Key_unknown)
            QTest::keyRelease(&view, c.keyBefore);
        if (handle)
            scene.removeItem(handle.get());
    }
}

TEST_F(CanvasViewTest, TheLayerHandlesFollowTheToolsetAndHowTheLayerIsPlaced)
{
    ASSERT_TRUE(folder.isValid());
    written = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    const app::ProjectPtr project = CurrentProject();
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const QUuid slot = manager->LayerList()->StaticForegroundId();
    const QUuid foregroundId = manager->CurrentForegroundId();
    const app::ImageLayerPtr background = manager->GetBackground();
    const app::ImageLayerPtr overlay = manager->GetOverlay();
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", written.backgroundPath);
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    const auto setFit = [&](const QUuid& layerId, app::FitTo fit) {
        const auto item = app::FindItemOfType<app::FitTransformItem>(manager->GetLayerSettings(layerId)->Transforms(),
                                                                     app::TransformItemTypeFit);
        ASSERT_TRUE(item);
        item->SetFit(fit);
    };

    struct Case {
        const char* name;
        std::function<void()> arrange;
        app::ToolsetSections toolset;
        app::LayerType layerType;
        QUuid handleId; // null: no handles
        QUuid layerId;
        bool visible;
    };
    const std::vector<Case> cases = {
        {"the foreground in the position section", [] {}, app::ToolsetSectionPosition, app::LayerTypeForeground, slot,
         foregroundId, true},
        {"disabled foregrounds keep hidden handles",
         [&] { manager->ForegroundLayerList()->SetEnabled(false); }, app::ToolsetSectionPosition,
         app::LayerTypeForeground, slot, foregroundId, false},
        {"the background in the position section", [&] { manager->ForegroundLayerList()->SetEnabled(true); },
         app::ToolsetSectionPosition, app::LayerTypeBackground, background->Id(), background->Id(), true},
        {"the key section has none", [] {}, app::ToolsetSectionKey, app::LayerTypeForeground, {}, {}, false},
        {"no layer selected", [] {}, app::ToolsetSectionLayers, app::LayerTypeImage, {}, {}, false},
        {"a selected layer without an image",
         [&] { manager->LayerList()->SetCurrentlySelectedLayer(further->Id()); }, app::ToolsetSectionLayers,
         app::LayerTypeImage, {}, {}, false},
        {"a selected layer placed by hand",
         [&] {
             further->SetIsValid(true);
             setFit(further->Id(), app::FitToNone);
         },
         app::ToolsetSectionLayers, app::LayerTypeImage, further->Id(), further->Id(), true},
        {"a selected layer fitted to the canvas", [&] { setFit(further->Id(), app::FitToCanvas); },
         app::ToolsetSectionLayers, app::LayerTypeImage, further->Id(), further->Id(), false},
        {"an overlay without an image", [] {}, app::ToolsetSectionOverlay, app::LayerTypeOverlay, {}, {}, false},
        {"an overlay fitted to the foreground",
         [&] {
             overlay->SetIsValid(true);
             setFit(overlay->Id(), app::FitToForeground);
         },
         app::ToolsetSectionOverlay, app::LayerTypeOverlay, overlay->Id(), overlay->Id(), false},
        {"an overlay placed by hand", [&] { setFit(overlay->Id(), app::FitToNone); }, app::ToolsetSectionOverlay,
         app::LayerTypeOverlay, overlay->Id(), overlay->Id(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        project->SetCurrentToolset(c.toolset);
        project->SetCurrentLayerType(c.layerType);
        const std::optional<LayerHandleChoice> choice = ChooseLayerHandles(*project);
        if (c.handleId.isNull()) {
            EXPECT_FALSE(choice.has_value());
            continue;
        }
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(choice->handleId, c.handleId);
        ASSERT_TRUE(choice->layer);
        EXPECT_EQ(choice->layer->Id(), c.layerId);
        EXPECT_EQ(choice->visible, c.visible);
    }

    // The masks section puts the view in the selected mask mode.
    const auto settings = manager->GetForegroundSettings();
    settings->Masks().SetCurrentMaskMode(app::MaskModeSelect);
    project->SetCurrentToolset(app::ToolsetSectionMasks);
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
    EXPECT_EQ(view.dragMode(), QGraphicsView::RubberBandDrag);
    settings->Masks().SetCurrentMaskMode(app::MaskModeCreate);
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
    EXPECT_EQ(view.dragMode(), QGraphicsView::NoDrag);
}

} // namespace
} // namespace lumo::ui::testing
