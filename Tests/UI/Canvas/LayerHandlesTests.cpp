// Layer handles on the canvas: which items each toolset shows, how drags on them move, scale and
// turn the layer, and what each edit asks to be redrawn.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"
#include "RenderProcessorTestPeer.h"

#include "Canvas/CropGraphicsItem.h"
#include "Canvas/HandleGraphicsItems.h"
#include "Canvas/ShadowQuadGraphicsItems.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "TransformItems.h"

#include <QPointer>

#include <cmath>
#include <numbers>

namespace lumo::ui::testing {
namespace {

using app::LayerType;
using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

// What a refresh signal asked for.
struct Refresh {
    bool wholeCanvas = false;
    QUuid layerId;
    HXDownsampleFactor factor = HXDownsampleFactor0;
    bool operator==(const Refresh&) const = default;
};

void PrintTo(const Refresh& r, std::ostream* out)
{
    *out << (r.wholeCanvas ? "canvas" : r.layerId.toString().toStdString()) << " at " << r.factor;
}

// Records both refresh signals in the order they come; the layer signal's level is always the
// placement's.
class RefreshLog {
public:
    RefreshLog()
    {
        QObject::connect(Application::Instance(), kLayerSignal, &m_context,
                         [this](const QUuid& id, app::RenderLevel level, HXDownsampleFactor factor) {
                             EXPECT_EQ(level, app::RenderLevelPostFilter);
                             entries.push_back({false, id, factor});
                         });
        QObject::connect(Application::Instance(), kCanvasSignal, &m_context,
                         [this](HXDownsampleFactor factor) { entries.push_back({true, QUuid(), factor}); });
    }
    std::vector<Refresh> entries;

private:
    QObject m_context;
};

// Counts the layer-transform notifications by layer id.
struct TransformNotifications : LumoModelObserver {
    std::vector<QUuid> ids;
    void ModelChanged(DataType type, const QUuid& id, FieldType field) override
    {
        if (type == DataTypeCanvas && field == FieldTypeLayerTransform)
            ids.push_back(id);
    }
};

int CountOfType(const QGraphicsScene& scene, int type)
{
    const QList<QGraphicsItem*> items = scene.items();
    return static_cast<int>(std::count_if(items.begin(), items.end(), [type](QGraphicsItem* i) { return i->type() == type; }));
}

class LayerHandlesTest : public CanvasTest {
protected:
    void OpenGreenScreenProject()
    {
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), 0.05);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        project = CurrentProject();
        manager = project->GetLayerManager();
        slot = manager->LayerList()->StaticForegroundId();
    }

    // A 400 x 300 foreground on a 1200 x 1800 canvas shown at 0.25 about (640, 400), with its
    // handles: the quad spans (590, 362.5) to (690, 437.5) on screen, the scale handle sits at
    // the centre and the rotate ring 81 pixels above it. Nothing is rendered.
    void ShowForegroundHandles()
    {
        forcedResult = app::LMerrSuccess;
        ASSERT_NO_FATAL_FAILURE(OpenGreenScreenProject());
        view.show();
        Settle();
        manager->GetForeground(manager->CurrentForegroundId())->SetDimensions(QSize(400, 300));
        app::Canvas& canvas = project->GetCanvas();
        canvas.SetDimensions(1200, 1800);
        canvas.SetScale(0.25f);
        canvas.SetCentre(640, 400);
        canvas.SetPosition(0, 0);
        ShowToolset(app::ToolsetSectionPosition, app::LayerTypeForeground);
        ASSERT_NE(view.LayerQuad(), nullptr);
        ASSERT_EQ(view.LayerQuad()->Centre(), QPointF(640, 400));
    }

    void ShowToolset(app::ToolsetSections toolset, LayerType type)
    {
        project->SetCurrentToolset(toolset);
        project->SetCurrentLayerType(type);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }

    std::shared_ptr<app::TransformationTransformItem> Placement(const QUuid& layerId)
    {
        LayerType type = app::LayerTypeForeground;
        std::shared_ptr<app::TransformationTransformItem> item;
        EXPECT_EQ(view.FindLayerTransformItem(layerId, type, item), app::LMerrSuccess);
        return item;
    }

    void SetPlacement(double tx, double ty, double sx, double sy, double rotation)
    {
        const auto item = Placement(slot);
        item->SetTranslateX(tx);
        item->SetTranslateY(ty);
        item->SetScaleX(sx);
        item->SetScaleY(sy);
        item->SetRotation(rotation);
        view.UpdateLayerHandles();
    }

    void Move(const QPoint& to, bool ctrl)
    {
        QTest::mouseEvent(QTest::MouseMove, view.viewport(), Qt::NoButton,
                          ctrl ? Qt::ControlModifier : Qt::NoModifier, to);
    }

    app::ProjectPtr project;
    app::LayerManagerPtr manager;
    QUuid slot;
};

TEST_F(LayerHandlesTest, EachToolsetShowsItsItemsAndRemovesTheOthers)
{
    forcedResult = app::LMerrSuccess;
    ASSERT_NO_FATAL_FAILURE(OpenGreenScreenProject());
    const QUuid backgroundId = manager->GetBackground()->Id();
    const app::ImageLayerPtr overlay = manager->GetOverlay();
    overlay->SetIsValid(true);
    overlay->SetDimensions(QSize(100, 50));
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", written.backgroundPath);
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    further->SetIsValid(true);
    further->SetDimensions(QSize(80, 60));
    manager->LayerList()->SetCurrentlySelectedLayer(further->Id());
    const auto setFit = [&](const QUuid& layerId, app::FitTo fit) {
        app::FindItemOfType<app::FitTransformItem>(manager->GetLayerSettings(layerId)->Transforms(),
                                                   app::TransformItemTypeFit)
            ->SetFit(fit);
    };
    setFit(overlay->Id(), app::FitToNone);
    const auto shadow = std::make_shared<app::ShadowCastFilterItem>();
    shadow->SetEnabled(true);
    manager->GetForegroundSettings()->Filters().Add(shadow);

    enum Shown { None, Visible, Hidden };
    struct Case {
        const char* name;
        std::function<void()> arrange;
        app::ToolsetSections toolset;
        LayerType layerType;
        QUuid handleLayer;
        Shown handles;
        Shown crop;
        Shown shadowQuad;
    };
    const std::vector<Case> cases = {
        {"position, foreground", [] {}, app::ToolsetSectionPosition, app::LayerTypeForeground, slot, Visible, None,
         None},
        {"position, foregrounds disabled", [&] { manager->ForegroundLayerList()->SetEnabled(false); },
         app::ToolsetSectionPosition, app::LayerTypeForeground, slot, Hidden, None, None},
        {"position, background", [&] { manager->ForegroundLayerList()->SetEnabled(true); },
         app::ToolsetSectionPosition, app::LayerTypeBackground, backgroundId, Visible, None, None},
        {"layers, placed by hand", [&] { setFit(further->Id(), app::FitToNone); }, app::ToolsetSectionLayers,
         app::LayerTypeImage, further->Id(), Visible, None, None},
        {"layers, fitted to the canvas", [&] { setFit(further->Id(), app::FitToCanvas); }, app::ToolsetSectionLayers,
         app::LayerTypeImage, further->Id(), Hidden, None, None},
        {"layers, nothing selected", [&] { manager->LayerList()->SetCurrentlySelectedLayer(QUuid()); },
         app::ToolsetSectionLayers, app::LayerTypeImage, {}, None, None, None},
        {"overlay", [] {}, app::ToolsetSectionOverlay, app::LayerTypeOverlay, overlay->Id(), Visible, None, None},
        {"key: the crop, hidden until an edge changes", [] {}, app::ToolsetSectionKey, app::LayerTypeForeground, {},
         None, Hidden, None},
        {"filters, foreground", [] {}, app::ToolsetSectionFilters, app::LayerTypeForeground, {}, None, None, Visible},
        {"filters, the shadow switched off", [&] { shadow->SetEnabled(false); }, app::ToolsetSectionFilters,
         app::LayerTypeForeground, {}, None, None, Hidden},
        {"filters, background", [&] { shadow->SetEnabled(true); }, app::ToolsetSectionFilters,
         app::LayerTypeBackground, {}, None, None, None},
        {"export", [] {}, app::ToolsetSectionExport, app::LayerTypeForeground, {}, None, None, None},
    };
    const auto expectShown = [](const QGraphicsItem* item, Shown shown, const char* what) {
        if (shown == None) {
            EXPECT_EQ(item, nullptr) << what;
            return;
        }
        ASSERT_NE(item, nullptr) << what;
        EXPECT_EQ(item->isVisible(), shown == Visible) << what;
    };
    QPointer<LayerQuadGraphicsItem> previousQuad;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        ShowToolset(c.toolset, c.layerType);
        expectShown(view.LayerQuad(), c.handles, "layer quad");
        expectShown(view.LayerRotate(), c.handles, "rotate handle");
        expectShown(view.Crop(), c.crop, "crop rectangle");
        expectShown(view.ShadowQuad(), c.shadowQuad, "shadow quad");
        if (view.LayerQuad() != nullptr) {
            EXPECT_EQ(view.LayerQuad()->LayerId(), c.handleLayer);
            EXPECT_EQ(view.LayerQuad()->ScaleHandle()->isVisible(), c.handles == Visible);
        }
        // Every refresh takes the previous items out of the scene at once and deletes them from
        // the event loop.
        EXPECT_EQ(CountOfType(scene, CanvasItemLayerQuad), c.handles == None ? 0 : 1);
        EXPECT_EQ(CountOfType(scene, CanvasItemLayerRotate), c.handles == None ? 0 : 1);
        EXPECT_EQ(CountOfType(scene, CanvasItemCrop), c.crop == None ? 0 : 1);
        EXPECT_EQ(CountOfType(scene, CanvasItemShadowQuad), c.shadowQuad == None ? 0 : 1);
        if (previousQuad) {
            EXPECT_EQ(previousQuad->scene(), nullptr);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(previousQuad.isNull());
        }
        previousQuad = view.LayerQuad();
    }

    // A newly opened project takes every item away.
    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
    ASSERT_NE(view.ShadowQuad(), nullptr);
    ASSERT_EQ(App().OpenProject(QString()), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeProjectOpened);
    EXPECT_EQ(view.ShadowQuad(), nullptr);
    EXPECT_EQ(CountOfType(scene, CanvasItemShadowQuad), 0);
}

TEST_F(LayerHandlesTest, TheRotateAndScaleHandlesKeepTheirSizeOnScreenWhileTheQuadFollowsTheCanvas)
{
    ASSERT_NO_FATAL_FAILURE(ShowForegroundHandles());
    for (const float scale : {0.25f, 0.5f}) {
        SCOPED_TRACE(scale);
        project->GetCanvas().SetScale(scale);
        Notify(DataTypeCanvas, FieldTypeCanvasZoom);
        const QTransform toView = view.viewportTransform();
        const LayerQuadGraphicsItem* quad = view.LayerQuad();
        EXPECT_EQ(quad->deviceTransform(toView).mapRect(quad->rect()).size(), QSizeF(400 * scale, 300 * scale));
        EXPECT_EQ(quad->ScaleHandle()->deviceTransform(toView).mapRect(quad->ScaleHandle()->boundingRect()).size(),
                  QSizeF(18, 18));
        EXPECT_EQ(view.LayerRotate()->deviceTransform(toView).mapRect(view.LayerRotate()->boundingRect()).size(),
                  QSizeF(22, 81));
        // The ring takes presses 81 pixels above the centre, the stem below it does not.
        EXPECT_EQ(view.itemAt(QPoint(640, 400 - 81)), view.LayerRotate());
        EXPECT_NE(view.itemAt(QPoint(640, 400 - 40)), view.LayerRotate());
    }
}

TEST_F(LayerHandlesTest, DraggingTheQuadMovesTheLayerAndCtrlLocksTheAxisItStartsAlong)
{
    // At scale 0.25 the half extents are 800 (x) and 1050 (y) canvas pixels: 200 and 262.5 on
    // screen per unit of translation.
    struct Step {
        QPoint by;
        bool ctrl;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        QPointF translate;
    };
    const std::vector<Case> cases = {
        {"40 pixels right", {{{40, 0}, false}}, {0.2, 0}},
        {"Ctrl at 30 degrees locks y", {{{35, -20}, true}}, {0.175, 0}},
        {"Ctrl at 80 degrees locks x", {{{7, -40}, true}}, {0, -40 / 262.5}},
        {"no lock within 5 pixels", {{{3, -2}, true}, {{7, -40}, true}}, {0, -40 / 262.5}},
        {"the lock holds when the drag turns", {{{35, -20}, true}, {{10, -60}, true}}, {0.05, 0}},
        {"releasing Ctrl frees both axes", {{{35, -20}, true}, {{35, -20}, false}}, {0.175, -20 / 262.5}},
    };
    ASSERT_NO_FATAL_FAILURE(ShowForegroundHandles());
    const QPoint press(660, 420);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetPlacement(0, 0, 1, 1, 0);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
        for (const Step& step : c.steps)
            Move(press + step.by, step.ctrl);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, c.steps.back().ctrl ? Qt::ControlModifier : Qt::NoModifier,
                            press + c.steps.back().by);
        const auto item = Placement(slot);
        EXPECT_DOUBLE_EQ(item->TranslateX(), c.translate.x());
        EXPECT_DOUBLE_EQ(item->TranslateY(), c.translate.y());
        EXPECT_EQ(item->ScaleX(), 1);
        // The handles follow the layer.
        EXPECT_NEAR(view.LayerQuad()->Centre().x(), 640 + c.translate.x() * 200, 1e-9);
        EXPECT_NEAR(view.LayerQuad()->Centre().y(), 400 + c.translate.y() * 262.5, 1e-9);
        EXPECT_EQ(view.LayerRotate()->pos(), view.LayerQuad()->Centre());
    }

    // With Space held a press on the quad pans the canvas instead.
    SetPlacement(0, 0, 1, 1, 0);
    QTest::keyPress(&view, Qt::Key_Space);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
    QTest::mouseMove(view.viewport(), press + QPoint(40, 0));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, press + QPoint(40, 0));
    QTest::keyRelease(&view, Qt::Key_Space);
    EXPECT_EQ(project->GetCanvas().PositionX(), 160);
    EXPECT_EQ(Placement(slot)->TranslateX(), 0);
    EXPECT_EQ(view.LayerQuad()->Centre(), QPointF(680, 400)) << "the handles follow the pan";
}

TEST_F(LayerHandlesTest, DraggingTheScaleHandleScalesBothAxesWithinLimitsKeepingFlips)
{
    struct Case {
        const char* name;
        QPointF scaleAtPress;
        int dy;
        QPointF scale;
    };
    const std::vector<Case> cases = {
        {"50 pixels down", {1, 1}, 50, {1.5, 1.5}},
        {"far up stops at 0.1", {1, 1}, -300, {0.1, 0.1}},
        {"far down stops at 5", {2, 2}, 350, {5, 5}},
        {"a horizontal flip is kept", {-1, 1}, 50, {-1.5, 1.5}},
        {"an uneven scale becomes even in size", {2, -0.5}, -50, {1.5, -1.5}},
    };
    ASSERT_NO_FATAL_FAILURE(ShowForegroundHandles());
    const QPoint press(640, 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetPlacement(0, 0, c.scaleAtPress.x(), c.scaleAtPress.y(), 0);
        ASSERT_EQ(view.itemAt(press), view.LayerQuad()->ScaleHandle());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
        EXPECT_TRUE(view.LayerQuad()->ScaleHandle()->isSelected());
        QTest::mouseMove(view.viewport(), press + QPoint(0, c.dy));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, press + QPoint(0, c.dy));
        EXPECT_FALSE(view.LayerQuad()->ScaleHandle()->isSelected());
        const auto item = Placement(slot);
        EXPECT_DOUBLE_EQ(item->ScaleX(), c.scale.x());
        EXPECT_DOUBLE_EQ(item->ScaleY(), c.scale.y());
        const QTransform toView = view.viewportTransform();
        EXPECT_NEAR(view.LayerQuad()->deviceTransform(toView).mapRect(view.LayerQuad()->rect()).width(),
                    100 * std::fabs(c.scale.x()), 1e-9);
    }

    // The right button alone resets the size, flips kept.
    SetPlacement(0.1, 0, -2, 3, 0);
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, view.LayerQuad()->Centre().toPoint());
    EXPECT_EQ(Placement(slot)->ScaleX(), -1);
    EXPECT_EQ(Placement(slot)->ScaleY(), 1);
    EXPECT_EQ(Placement(slot)->TranslateX(), 0.1);
}

TEST_F(LayerHandlesTest, DraggingTheRingTurnsTheLayerAndCtrlSnapsTo45Degrees)
{
    struct Case {
        const char* name;
        double rotationAtPress;
        double turn; // clockwise on screen, in degrees
        bool ctrl;
        double rotation;
        double tolerance;
    };
    const std::vector<Case> cases = {
        {"a quarter turn and a bit", 0, 100, false, 100, 1},
        {"back past zero wraps", 30, -50, false, 340, 1},
        {"Ctrl snaps 350 to 360", 0, 350, true, 360, 0},
        {"Ctrl snaps 20 to 0", 0, 20, true, 0, 0},
        {"Ctrl snaps 60 to 45", 10, 50, true, 45, 0},
    };
    ASSERT_NO_FATAL_FAILURE(ShowForegroundHandles());
    const QPointF centre(640, 400);
    const auto onRing = [&](double degrees) {
        const double a = degrees * std::numbers::pi / 180;
        return (centre + 81 * QPointF(std::sin(a), -std::cos(a))).toPoint();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetPlacement(0, 0, 1, 1, c.rotationAtPress);
        const QPoint press = onRing(c.rotationAtPress);
        ASSERT_EQ(view.itemAt(press), view.LayerRotate());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, press);
        Move(onRing(c.rotationAtPress + c.turn), c.ctrl);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, c.ctrl ? Qt::ControlModifier : Qt::NoModifier,
                            onRing(c.rotationAtPress + c.turn));
        EXPECT_NEAR(Placement(slot)->Rotation(), c.rotation, c.tolerance);
        EXPECT_FALSE(view.LayerRotate()->isSelected());
        EXPECT_EQ(view.LayerQuad()->Rotation(), Placement(slot)->Rotation()) << "the scale handle turns along";
    }

    // The right button alone turns the layer back.
    SetPlacement(0, 0, 1, 1, 123);
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, onRing(123));
    EXPECT_EQ(Placement(slot)->Rotation(), 0);
    EXPECT_EQ(view.LayerRotate()->transform(), QTransform());
}

// What each edit asks to be redrawn and marks stale, by the kind of layer and the factor: a drag
// previews at 3, the release draws at 0.
TEST_F(LayerHandlesTest, AnEditRedrawsItsLayerAndWhatIsFittedToIt)
{
    ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.05));
    project = CurrentProject();
    manager = project->GetLayerManager();
    slot = manager->LayerList()->StaticForegroundId();
    const app::ImageLayerPtr background = manager->GetBackground();
    const app::ImageLayerPtr overlay = manager->GetOverlay();
    ASSERT_TRUE(App().ImportImage(written.backgroundPath, overlay->Id(), app::LayerTypeOverlay));
    const auto further = std::make_shared<app::ImageLayer>(app::LayerTypeImage, "further", written.backgroundPath);
    ASSERT_EQ(manager->AddLayer(further), app::LMerrSuccess);
    ASSERT_TRUE(App().ImportImage(written.backgroundPath, further->Id(), app::LayerTypeImage));
    QList<QUuid> order = manager->LayerList()->CompositeOrder();
    order.append(further->Id());
    manager->UpdateCompositionOrderList(order);
    // The overlay is placed by hand, the further layer follows the foreground.
    const auto fitOf = [&](const QUuid& id) {
        return app::FindItemOfType<app::FitTransformItem>(manager->GetLayerSettings(id)->Transforms(),
                                                          app::TransformItemTypeFit);
    };
    fitOf(overlay->Id())->SetFit(app::FitToNone);
    fitOf(further->Id())->SetFit(app::FitToForeground);
    // A closed mask on the foreground, so that its coverage is cached.
    const auto mask = std::make_shared<app::Mask>("square", true, false, true, true, 2, 1.0f, 1.0f);
    for (const QPointF& p : {QPointF(10, 10), QPointF(60, 10), QPointF(60, 60), QPointF(10, 60)})
        mask->Add(std::make_shared<app::MaskHandle>(p));
    ASSERT_EQ(manager->GetForegroundSettings()->Masks().Add(mask), app::LMerrSuccess);
    const auto& maskRenderer = *app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor()).alphaMaskRenderer;

    struct Case {
        const char* name;
        QUuid handleId;
        app::ImageLayerPtr layer;
        HXDownsampleFactor factor;
        std::vector<Refresh> refreshes;
        bool previewStale;
        bool masksStale;
    };
    const QUuid overlayId = overlay->Id();
    const app::ImageLayerPtr foreground = manager->GetForeground(manager->CurrentForegroundId());
    const std::vector<Case> cases = {
        // The fitted further layer follows a moved foreground: the whole canvas is redrawn, then the
        // foreground's layer request (the last request wins in the scene).
        {"foreground, dragging", slot, foreground, HXDownsampleFactor3,
         {{true, {}, HXDownsampleFactor3}, {false, slot, HXDownsampleFactor3}}, false, true},
        {"foreground, released", slot, foreground, HXDownsampleFactor0,
         {{true, {}, HXDownsampleFactor0}, {false, slot, HXDownsampleFactor0}}, true, true},
        {"background, dragging", background->Id(), background, HXDownsampleFactor3,
         {{false, background->Id(), HXDownsampleFactor3}}, false, false},
        {"background, released", background->Id(), background, HXDownsampleFactor0,
         {{true, {}, HXDownsampleFactor0}, {false, background->Id(), HXDownsampleFactor0}}, true, false},
        {"overlay, dragging", overlayId, overlay, HXDownsampleFactor3, {{false, overlayId, HXDownsampleFactor3}}, false,
         false},
        {"overlay, released", overlayId, overlay, HXDownsampleFactor0,
         {{true, {}, HXDownsampleFactor0}, {false, overlayId, HXDownsampleFactor0}}, true, false},
        // A further layer asks for its own redraw and nothing else.
        {"further layer, dragging", further->Id(), further, HXDownsampleFactor3,
         {{false, further->Id(), HXDownsampleFactor3}}, false, false},
        {"further layer, released", further->Id(), further, HXDownsampleFactor0,
         {{false, further->Id(), HXDownsampleFactor0}}, false, false},
    };
    TransformNotifications notifications;
    notifications.SetModel(model, {DataTypeCanvas});
    double translate = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image;
        ASSERT_EQ(App().RenderAllLayersToCanvas(image, HXDownsampleFactor3), app::LMerrSuccess);
        ASSERT_TRUE(maskRenderer.Record(mask->Id()) && maskRenderer.Record(mask->Id())->reducedValid);
        notifications.ids.clear();
        RefreshLog log;
        translate += 0.05;
        view.ApplyLayerTranslation(QPointF(translate, 0), c.handleId, c.factor);

        EXPECT_EQ(Placement(c.handleId)->TranslateX(), translate);
        EXPECT_EQ(log.entries, c.refreshes);
        app::RenderLevel level = app::RenderLevelKey;
        EXPECT_EQ(App().GetRenderProcessor()->IsCacheValid(c.layer, HXDownsampleFactor3, level), !c.previewStale);
        EXPECT_EQ(!maskRenderer.Record(mask->Id())->reducedValid, c.masksStale);
        EXPECT_EQ(notifications.ids, std::vector<QUuid>{c.handleId});
    }

    // An id that names no layer writes nothing and asks for nothing.
    RefreshLog log;
    notifications.ids.clear();
    view.ApplyLayerRotation(QUuid::createUuid(), HXDownsampleFactor0, 90);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_TRUE(notifications.ids.empty());
}

TEST_F(LayerHandlesTest, GrabWithLayerHandles)
{
    ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.25));
    project = CurrentProject();
    manager = project->GetLayerManager();
    slot = manager->LayerList()->StaticForegroundId();
    const auto item = Placement(slot);
    item->SetScaleX(0.6);
    item->SetScaleY(0.6);
    item->SetRotation(12);
    item->SetTranslateX(0.15);
    App().RefreshCanvas();
    ShowToolset(app::ToolsetSectionPosition, app::LayerTypeForeground);
    // Hover the rotate ring so that its arc shows.
    const QPointF ring = view.LayerRotate()->mapToScene(RotateHandleGraphicsItem::RingRect.center());
    QTest::mouseMove(view.viewport(), ring.toPoint());
    ASSERT_TRUE(view.LayerRotate()->IsHovered());
    const QImage grab = Grab();
    EXPECT_FALSE(SaveGrab(grab, "canvas-layer-handles").isEmpty());
    // The outline is drawn in the handle green along the layer's top edge (the sky behind it is
    // never that green).
    const QPoint onEdge =
        view.LayerQuad()->mapToScene(view.LayerQuad()->rect().topLeft() + QPointF(60, 0)).toPoint();
    bool green = false;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QRgb pixel = grab.pixel(onEdge + QPoint(dx, dy));
            green = green || (qGreen(pixel) > 150 && qBlue(pixel) < 100);
        }
    EXPECT_TRUE(green);
}

} // namespace
} // namespace lumo::ui::testing
