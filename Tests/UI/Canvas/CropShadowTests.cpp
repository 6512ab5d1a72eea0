// The crop rectangle and the cast shadow's quad on the canvas: both follow the foreground, the
// crop shows the crop key's edges, and the quad gets a default by the shadow's shape, is dragged,
// stretched and scaled, and is written back into the shadow-cast filter.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RefreshSignals.h"

#include "Canvas/CropGraphicsItem.h"
#include "Canvas/ShadowQuadGraphicsItems.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "TransformItems.h"

#include <QSignalSpy>

#include <array>

// Readable quads in failure messages (found by argument-dependent lookup).
namespace hvn::maths {
inline void PrintTo(const HXQuadF& q, std::ostream* out)
{
    for (const HXPoint2F& p : {q.TopLeft(), q.TopRight(), q.BottomRight(), q.BottomLeft()})
        *out << "(" << p.X() << ", " << p.Y() << ") ";
}
} // namespace hvn::maths

namespace lumo::ui::testing {
namespace {

using hvn::maths::HXPoint2F;
using hvn::maths::HXQuadF;
using Corners = std::array<QPointF, 4>;

HXQuadF ToQuad(const Corners& c)
{
    const auto p = [](const QPointF& q) { return HXPoint2F(q.x(), q.y()); };
    return {p(c[0]), p(c[1]), p(c[2]), p(c[3])};
}

class CropShadowTest : public CanvasTest {
protected:
    // The rich test project with the foreground Gamma current: it shares the default settings,
    // which hold a crop key (left 0.1, right 0.2, top 0.4, bottom 0.3, on) and a cast shadow
    // (shape 1, on). Gamma is made 400 x 300; nothing is rendered.
    void OpenRichProject()
    {
        forcedResult = app::LMerrSuccess;
        QString data = qEnvironmentVariable("LUMORA_TEST_DATA");
        if (data.isEmpty())
            data = QStringLiteral(LUMORA_SOURCE_TEST_DATA);
        const QString path = data + QStringLiteral("/projects/rich.lumo4");
        ASSERT_EQ(App().OpenProject(path), app::LMerrSuccess);
        project = CurrentProject();
        manager = project->GetLayerManager();
        manager->SetCurrentForegroundId(QUuid(QStringLiteral("{cccccccc-3333-4333-8333-333333333333}")));
        foreground = manager->GetForeground(manager->CurrentForegroundId());
        ASSERT_TRUE(foreground);
        foreground->SetDimensions(QSize(400, 300));
        const auto settings = manager->GetForegroundSettings();
        shadow = app::FindItemOfType<app::ShadowCastFilterItem>(settings->Filters(), app::FilterItemTypeShadowCast);
        crop = app::FindItemOfType<app::CropKeyItem>(settings->Keys(), app::KeyItemTypeCrop);
        placement = app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                          app::TransformItemTypeTransformation);
        ASSERT_TRUE(shadow && crop && placement);
        ASSERT_FALSE(shadow->ShadowQuad().IsNull());
    }

    // The foreground unplaced on a canvas shown at scale 1 about (640, 400): its pixel (x, y) is
    // on screen at (440 + x, 250 + y).
    void ShowAtScaleOne()
    {
        view.show();
        Settle();
        ShowUnplacedAtScaleOne(*placement);
    }

    void ShowToolset(app::ToolsetSections toolset, app::LayerType type)
    {
        project->SetCurrentToolset(toolset);
        project->SetCurrentLayerType(type);
        Notify(DataTypeInterface, FieldTypeCurrentToolset);
    }

    Corners HandlePositions() const { return view.ShadowQuad()->HandlePositions(); }

    QPoint OnScreen(const QPointF& pixel) const { return view.ShadowQuad()->mapToScene(pixel).toPoint(); }

    app::ProjectPtr project;
    app::LayerManagerPtr manager;
    app::ImageLayerPtr foreground;
    std::shared_ptr<app::ShadowCastFilterItem> shadow;
    std::shared_ptr<app::CropKeyItem> crop;
    std::shared_ptr<app::TransformationTransformItem> placement;
};

TEST_F(CropShadowTest, AQuadNeverSetGetsTheDefaultForItsShapeStoredAtOnce)
{
    // 400 x 300 with the crop on: T 120, L 40, B 90, R 80, so the right boundary is 320, the
    // bottom 210, the cropped width 280 and the middle 165. Without the crop: 400, 300, 400, 150.
    struct Case {
        int shape;
        bool cropOn;
        Corners corners;
    };
    const std::vector<Case> cases = {
        {0, true, {QPointF(320, 165), QPointF(460, 165), QPointF(320, 210), QPointF(40, 210)}},
        {1, true, {QPointF(-100, 165), QPointF(40, 165), QPointF(320, 210), QPointF(40, 210)}},
        // dx = 0.1 x (400 - 40 + 80), dy = 0.1 x (300 - 120 + 90).
        {2, true, {QPointF(84, 147), QPointF(364, 147), QPointF(364, 237), QPointF(84, 237)}},
        {3, true, {QPointF(-30, 465), QPointF(390, 465), QPointF(320, 210), QPointF(40, 210)}},
        {0, false, {QPointF(400, 150), QPointF(600, 150), QPointF(400, 300), QPointF(0, 300)}},
        {1, false, {QPointF(-200, 150), QPointF(0, 150), QPointF(400, 300), QPointF(0, 300)}},
        {2, false, {QPointF(40, 30), QPointF(440, 30), QPointF(440, 330), QPointF(40, 330)}},
        {3, false, {QPointF(-100, 450), QPointF(500, 450), QPointF(400, 300), QPointF(0, 300)}},
    };
    ASSERT_NO_FATAL_FAILURE(OpenRichProject());
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "shape " << c.shape << (c.cropOn ? ", crop on" : ", crop off"));
        shadow->SetShadowQuad(HXQuadF());
        shadow->SetShape(static_cast<hvn::image::HXShadowCastShape>(c.shape));
        crop->SetEnabled(c.cropOn);
        ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
        ASSERT_NE(view.ShadowQuad(), nullptr);
        EXPECT_EQ(shadow->ShadowQuad(), ToQuad(c.corners));
        EXPECT_EQ(ToQuad(HandlePositions()), ToQuad(c.corners));
        EXPECT_TRUE(view.ShadowQuad()->isVisible());
    }

    // Nothing to place it by: an unknown shape, an empty foreground (a corner at the origin) or no
    // crop key. The quad stays unset.
    struct Unplaced {
        const char* name;
        std::function<void()> arrange;
    };
    const std::vector<Unplaced> unplaced = {
        {"shape 4", [&] { shadow->SetShape(static_cast<hvn::image::HXShadowCastShape>(4)); }},
        {"a 0 x 0 foreground",
         [&] {
             shadow->SetShape(hvn::image::HXShadowCastShapeRight);
             foreground->SetDimensions(QSize(0, 0));
         }},
        {"no crop key",
         [&] {
             foreground->SetDimensions(QSize(400, 300));
             manager->GetForegroundSettings()->Keys().Remove(crop->Id());
         }},
    };
    for (const Unplaced& u : unplaced) {
        SCOPED_TRACE(u.name);
        u.arrange();
        shadow->SetShadowQuad(HXQuadF());
        ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
        ASSERT_NE(view.ShadowQuad(), nullptr);
        EXPECT_TRUE(shadow->ShadowQuad().IsNull());
    }
}

TEST_F(CropShadowTest, AStoredQuadIsShownAsItIsAndFollowsTheForeground)
{
    ASSERT_NO_FATAL_FAILURE(OpenRichProject());
    const HXQuadF stored = shadow->ShadowQuad();
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
    ASSERT_NE(view.ShadowQuad(), nullptr);
    EXPECT_EQ(ToQuad(HandlePositions()), stored);
    EXPECT_EQ(shadow->ShadowQuad(), stored);
    // Pixel (0, 0) of the unplaced foreground sits at (440, 250); the quad follows the
    // foreground's placement and the canvas scale.
    EXPECT_EQ(OnScreen(QPointF(0, 0)), QPoint(440, 250));
    placement->SetTranslateX(0.5);
    project->GetCanvas().SetScale(0.5f);
    Notify(DataTypeCanvas, FieldTypeCanvasScale);
    // The way to the edge: half the foreground plus half the 1500-pixel canvas, 950 pixels.
    EXPECT_EQ(view.ShadowQuad()->mapToScene(QPointF(200, 150)), QPointF(640 + 475 * 0.5, 400));
    EXPECT_EQ(view.ShadowQuad()->mapToScene(QPointF(0, 0)), QPointF(640 + 475 * 0.5 - 100, 400 - 75));
    EXPECT_FLOAT_EQ(view.ShadowQuad()->ScaleDivisor(), 2.0f);

    // The quad shows only with the foreground's filters, while the shadow is on.
    shadow->SetEnabled(false);
    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
    ASSERT_NE(view.ShadowQuad(), nullptr);
    EXPECT_FALSE(view.ShadowQuad()->isVisible());
    EXPECT_TRUE(view.ShadowQuad()->Handle(0)->boundingRect().isEmpty()) << "disabled corners take no presses";
    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeBackground);
    EXPECT_EQ(view.ShadowQuad(), nullptr);
}

// Each case starts from the quad (100, 100) (300, 100) (300, 250) (100, 250) in foreground
// pixels, on screen at scale 1.
TEST_F(CropShadowTest, CornersEdgesAndTheQuadAreDraggedStretchedAndScaled)
{
    struct Drag {
        Qt::MouseButton button;
        QPoint by;
    };
    struct Case {
        const char* name;
        QPointF pressAt; // foreground pixels
        std::vector<Drag> drags; // one press each, all held, moved together by the last offset
        bool space;
        Corners corners;
        int canvasX;
    };
    const Corners start = {QPointF(100, 100), QPointF(300, 100), QPointF(300, 250), QPointF(100, 250)};
    const auto moved = [&](const QPointF& by) {
        return Corners{start[0] + by, start[1] + by, start[2] + by, start[3] + by};
    };
    const std::vector<Case> cases = {
        {"a corner", {100, 100}, {{Qt::LeftButton, {30, 20}}}, false,
         {QPointF(130, 120), start[1], start[2], start[3]}, 0},
        {"the top edge, left button", {200, 100}, {{Qt::LeftButton, {10, 15}}}, false,
         {QPointF(110, 115), QPointF(310, 115), start[2], start[3]}, 0},
        {"the top edge, right button down stretches", {200, 100}, {{Qt::RightButton, {0, 20}}}, false,
         {QPointF(80, 100), QPointF(320, 100), start[2], start[3]}, 0},
        {"the top edge, right button far up crosses the corners", {200, 100}, {{Qt::RightButton, {0, -120}}}, false,
         {QPointF(220, 100), QPointF(180, 100), start[2], start[3]}, 0},
        {"the quad, left button", {150, 200}, {{Qt::LeftButton, {25, -10}}}, false, moved({25, -10}), 0},
        // s = 1 + 50 / 200 about the press (200, 175).
        {"the quad, right button scales", {200, 175}, {{Qt::RightButton, {0, 50}}}, false,
         {QPointF(75, 81.25), QPointF(325, 81.25), QPointF(325, 268.75), QPointF(75, 268.75)}, 0},
        {"the quad, both buttons", {150, 200}, {{Qt::LeftButton, {}}, {Qt::RightButton, {25, 30}}}, false, start, 0},
        {"an edge, both buttons", {200, 100}, {{Qt::RightButton, {}}, {Qt::LeftButton, {0, 40}}}, false, start, 0},
        {"a corner with Space pans", {100, 100}, {{Qt::LeftButton, {40, 0}}}, true, start, 40},
        {"the quad with Space pans", {150, 200}, {{Qt::LeftButton, {40, 0}}}, true, start, 40},
    };
    ASSERT_NO_FATAL_FAILURE(OpenRichProject());
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    QSignalSpy redraws(&App(), kCanvasSignal);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        project->GetCanvas().SetPosition(0, 0);
        Notify(DataTypeCanvas, FieldTypeCanvasZoom);
        shadow->SetShadowQuad(ToQuad(start));
        ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
        ASSERT_NE(view.ShadowQuad(), nullptr);
        ASSERT_EQ(ToQuad(HandlePositions()), ToQuad(start));

        if (c.space)
            QTest::keyPress(&view, Qt::Key_Space);
        const QPoint press = OnScreen(c.pressAt);
        for (const Drag& drag : c.drags)
            QTest::mousePress(view.viewport(), drag.button, {}, press);
        const QPoint to = press + c.drags.back().by;
        QTest::mouseMove(view.viewport(), to);
        redraws.clear();
        for (auto drag = c.drags.rbegin(); drag != c.drags.rend(); ++drag)
            QTest::mouseRelease(view.viewport(), drag->button, {}, to);
        if (c.space)
            QTest::keyRelease(&view, Qt::Key_Space);

        EXPECT_EQ(shadow->ShadowQuad(), ToQuad(c.corners));
        EXPECT_EQ(ToQuad(HandlePositions()), ToQuad(c.corners));
        EXPECT_EQ(project->GetCanvas().PositionX(), c.canvasX);
        // The release redraws in full, after a drag as after a pan.
        ASSERT_GE(redraws.count(), 1);
        EXPECT_EQ(redraws.last().at(0).value<hvn::image::HXDownsampleFactor>(), hvn::image::HXDownsampleFactor0);
        // The edges stay at the middle of their corners.
        const ShadowQuadGraphicsItem* quad = view.ShadowQuad();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(quad->Edge(i)->pos(), (quad->Handle(i)->pos() + quad->Handle((i + 1) % 4)->pos()) / 2) << i;
    }

    // A drag that ends while the background tab is current moves the corner but stores nothing.
    shadow->SetShadowQuad(ToQuad(start));
    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
    project->SetCurrentLayerType(app::LayerTypeBackground);
    const QPoint corner = OnScreen(start[0]);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, corner);
    QTest::mouseMove(view.viewport(), corner + QPoint(30, 20));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, corner + QPoint(30, 20));
    EXPECT_EQ(HandlePositions()[0], QPointF(130, 120));
    EXPECT_EQ(shadow->ShadowQuad(), ToQuad(start));
}

TEST_F(CropShadowTest, TheCropShowsTheCropKeysEdgesOverTheForeground)
{
    ASSERT_NO_FATAL_FAILURE(OpenRichProject());
    ASSERT_NO_FATAL_FAILURE(ShowAtScaleOne());
    ShowToolset(app::ToolsetSectionKey, app::LayerTypeForeground);
    CropGraphicsItem* item = view.Crop();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isVisible());
    EXPECT_EQ(item->rect(), QRectF(0, 0, 400, 300));
    EXPECT_EQ(item->mapToScene(item->rect()).boundingRect(), QRectF(440, 250, 400, 300));

    // The crop panel changed the left edge: left 0.1, right 0.2, top 0.4, bottom 0.3.
    view.UpdateCropItems(1);
    EXPECT_TRUE(item->isVisible());
    EXPECT_EQ(item->ActiveEdge(), 1);
    EXPECT_EQ(item->InnerRect(), QRectF(40, 120, 280, 90));
    crop->SetBottom(0.5);
    view.UpdateCropItems(4);
    EXPECT_EQ(item->ActiveEdge(), 4);
    EXPECT_EQ(item->InnerRect(), QRectF(40, 120, 280, 30));
    item->BeginToFadeOut();
    item->FadeItem(1000);
    EXPECT_FALSE(item->isVisible());

    // It follows the canvas.
    project->GetCanvas().SetScale(0.5f);
    Notify(DataTypeCanvas, FieldTypeCanvasZoom);
    EXPECT_EQ(item->mapToScene(item->rect()).boundingRect(), QRectF(540, 325, 200, 150));

    // Without a crop key the panel's call changes nothing.
    manager->GetForegroundSettings()->Keys().Remove(crop->Id());
    view.UpdateCropItems(2);
    EXPECT_EQ(item->ActiveEdge(), 4);
    EXPECT_FALSE(item->isVisible());
}

TEST_F(CropShadowTest, GrabsOfTheShadowQuadAndTheCrop)
{
    ASSERT_NO_FATAL_FAILURE(ShowGreenScreenProject(0.25));
    project = CurrentProject();
    manager = project->GetLayerManager();
    const auto settings = manager->GetForegroundSettings();
    crop = app::FindItemOfType<app::CropKeyItem>(settings->Keys(), app::KeyItemTypeCrop);
    ASSERT_TRUE(crop);
    crop->SetEnabled(true);
    crop->SetLeft(0.15);
    crop->SetRight(0.1);
    crop->SetTop(0.05);
    crop->SetBottom(0.0);
    shadow = std::make_shared<app::ShadowCastFilterItem>();
    shadow->SetEnabled(true);
    shadow->SetTransparency(0.4);
    settings->Filters().Add(shadow);

    ShowToolset(app::ToolsetSectionFilters, app::LayerTypeForeground);
    ASSERT_NE(view.ShadowQuad(), nullptr);
    ASSERT_FALSE(shadow->ShadowQuad().IsNull());
    // Zoomed out so that the whole quad shows.
    project->GetCanvas().SetScale(project->GetCanvas().Scale() * 0.6f);
    Notify(DataTypeCanvas, FieldTypeCanvasZoom);
    App().RefreshCanvas();
    // Hover a corner so that it shows filled.
    QTest::mouseMove(view.viewport(), view.ShadowQuad()->Handle(0)->scenePos().toPoint());
    EXPECT_TRUE(view.ShadowQuad()->Handle(0)->IsHovered());
    const QImage quad = Grab();
    EXPECT_FALSE(SaveGrab(quad, "canvas-shadow-quad").isEmpty());
    ExpectItemDrawn(view.ShadowQuad(), quad);

    ShowToolset(app::ToolsetSectionKey, app::LayerTypeForeground);
    view.UpdateCropItems(1);
    ASSERT_NE(view.Crop(), nullptr);
    ASSERT_TRUE(view.Crop()->isVisible());
    const QImage cropped = Grab();
    EXPECT_FALSE(SaveGrab(cropped, "canvas-crop").isEmpty());
    ExpectItemDrawn(view.Crop(), cropped);
}

} // namespace
} // namespace lumo::ui::testing
