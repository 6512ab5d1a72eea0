// The canvas scene shows what the render pipeline makes of the project over the checker, fits the
// canvas to the view once a resize has settled, carries out only the last refresh request in each
// paint, and turns a render that ran out of memory into the fatal road.

#include "CanvasTest.h"
#include "Grabs.h"
#include "RenderProcessorTestPeer.h"

#include "Canvas/CanvasBackdropFrame.h"
#include "Canvas/CanvasOutlineGraphicsItem.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <set>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

int Distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// How many photo pixels well inside the backdrop and well inside the subject show what they should.
struct Agreement {
    int backdrop = 0;
    int backdropRight = 0;
    int subject = 0;
    int subjectRight = 0;
};

Agreement CompareWithPhoto(const QImage& grab, const GreenScreenProject& written,
                           const std::function<bool(QRgb shown, int x, int y)>& backdropShowsRight)
{
    const app::Canvas& canvas = Application::Instance()->GetDocument()->GetProject()->GetCanvas();
    const QTransform toView =
        QTransform(canvas.GetTransform()).translate(-0.5 * written.scene.width, -0.5 * written.scene.height);
    const auto settled = [&](int x, int y, int alpha) {
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const int sx = std::clamp(x + dx, 0, written.scene.width - 1);
                const int sy = std::clamp(y + dy, 0, written.scene.height - 1);
                if (written.AlphaAt(sx, sy) != alpha)
                    return false;
            }
        return true;
    };
    Agreement result;
    for (int y = 2; y < written.scene.height; y += 5) {
        for (int x = 2; x < written.scene.width; x += 5) {
            const QPoint at = toView.map(QPointF(x + 0.5, y + 0.5)).toPoint();
            const QRgb pixel = grab.pixel(at);
            if (settled(x, y, 0)) {
                ++result.backdrop;
                result.backdropRight += backdropShowsRight(pixel, x, y) ? 1 : 0;
            } else if (settled(x, y, 255)) {
                ++result.subject;
                const std::uint8_t* truth =
                    &written.scene.foreground[(static_cast<std::size_t>(y) * written.scene.width + x) * 4];
                result.subjectRight += Distance(pixel, qRgb(truth[2], truth[1], truth[0])) <= 40 ? 1 : 0;
            }
        }
    }
    return result;
}

// The two greys of the checker tile.
std::set<QRgb> CheckerColours()
{
    const QImage tile(QStringLiteral(":/Canvas/CheckBackground.png"));
    std::set<QRgb> colours;
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            colours.insert(tile.pixel(x, y) | 0xff000000u);
    return colours;
}

bool ShowsChecker(QRgb shown)
{
    static const std::set<QRgb> colours = CheckerColours();
    return std::any_of(colours.begin(), colours.end(), [&](QRgb colour) { return Distance(shown, colour) <= 6; });
}

void ExpectAgreement(const Agreement& agreement)
{
    ASSERT_GT(agreement.backdrop, 100);
    ASSERT_GT(agreement.subject, 100);
    EXPECT_GE(static_cast<double>(agreement.backdropRight) / agreement.backdrop, 0.97);
    EXPECT_GE(static_cast<double>(agreement.subjectRight) / agreement.subject, 0.90);
}

// Reaches the scene's backdrop painting, to paint it on its own into an image of the given format,
// shifted by whole pixels, within a clip where one is given.
struct BackdropAccess : CanvasScene {
    using CanvasScene::drawBackground;
};

QImage PaintBackdrop(CanvasScene& scene, QImage::Format format = QImage::Format_ARGB32_Premultiplied,
                     const QPoint& shift = QPoint(), const QRect& clip = QRect())
{
    QImage painted(scene.sceneRect().size().toSize() + QSize(shift.x(), shift.y()), format);
    painted.fill(qRgb(255, 0, 255));
    QPainter painter(&painted);
    painter.translate(shift);
    if (!clip.isNull())
        painter.setClipRect(clip);
    (scene.*(&BackdropAccess::drawBackground))(&painter, scene.sceneRect());
    return painted;
}

// Every pass painted by Qt in full, one over the other: black, the checker on the canvas, the
// image and, with shade, the outline's darkening outside the canvas.
QImage EveryPass(const QImage& like, const QImage& image, const QRect& target, bool shade, const QPoint& shift,
                 const QRect& clip)
{
    QImage painted(like.size(), like.format());
    painted.fill(qRgb(255, 0, 255));
    QPainter painter(&painted);
    painter.translate(shift);
    if (!clip.isNull())
        painter.setClipRect(clip);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    painter.drawRect(QRect(QPoint(0, 0), like.size() - QSize(shift.x(), shift.y())));
    painter.drawTiledPixmap(CanvasRectInWorkspace(), QPixmap(QStringLiteral(":/Canvas/CheckBackground.png")),
                            QPoint(0, 0));
    painter.drawImage(target, image);
    if (shade) {
        painter.setBrush(QColor(0, 0, 0, 220));
        painter.drawPath(CanvasOutlineGraphicsItem::ShadePath());
    }
    return painted;
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    int different = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            different += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return different;
}

using CanvasSceneTest = CanvasTest;

TEST_F(CanvasSceneTest, AGrabShowsTheKeyedPhotographOverTheBackgroundOnTheFittedCanvas)
{
    ShowGreenScreenProject(0.3);
    const QImage grab = Grab();
    const QString saved = SaveGrab(grab, "canvas-green-screen");
    EXPECT_FALSE(saved.isEmpty());
    ASSERT_EQ(grab.size(), QSize(1280, 800));

    // The whole canvas fits in the view, beside the margins, and the rest of the view is black.
    const QRect shown = CanvasRectInWorkspace();
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(shown));
    EXPECT_GT(shown.width(), written.scene.width);
    EXPECT_EQ(grab.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(grab.pixel(1274, 794), qRgb(0, 0, 0));

    // Photo pixels well away from an edge show the background where the backdrop was and the
    // subject where it is.
    ExpectAgreement(CompareWithPhoto(grab, written, [&](QRgb shown, int x, int y) {
        return Distance(shown, written.background.pixel(x, y)) <= 24;
    }));
}

TEST_F(CanvasSceneTest, AFullScreenViewShowsTheForegroundOverTheCheckerAndRefitsAfterAResize)
{
    const int toolsetReserve = 104;
    const int actionsReserve = 34;
    view.resize(1920, 1080);
    ASSERT_TRUE(folder.isValid());
    written = WriteGreenScreenProject(folder.path(), 0.3);
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    App().SetToolsetWidth(toolsetReserve);
    App().SetCanvasActionsHeight(actionsReserve);
    // The foreground alone: where its backdrop was keyed out, the checker shows through.
    CurrentProject()->GetLayerManager()->GetBackground()->SetEnabled(false);
    CurrentProject()->SetToolsetPosition(app::ToolsetPositionLeft);
    view.show();
    Notify(DataTypeProject, FieldTypeRefreshAll);
    Settle();

    ASSERT_EQ(CheckerColours().size(), 2u);
    const auto showsChecker = [](QRgb shown, int, int) { return ShowsChecker(shown); };

    for (const QSize size : {QSize(1920, 1080), QSize(1280, 800)}) {
        SCOPED_TRACE(::testing::Message() << size.width() << "x" << size.height());
        if (view.size() != size) {
            const float before = CurrentProject()->GetCanvas().Scale();
            view.resize(size);
            Settle();
            EXPECT_LT(CurrentProject()->GetCanvas().Scale(), before);
        }
        const QImage grab = Grab();
        EXPECT_FALSE(SaveGrab(grab, QStringLiteral("canvas-checker-%1x%2").arg(size.width()).arg(size.height())).isEmpty());
        ASSERT_EQ(grab.size(), size);

        // The canvas fills the free area beside the toolset bar (on the left) and below the
        // actions bar in one direction, 20 pixels clear of its edges.
        const QRect free(toolsetReserve + 20, actionsReserve + 20, size.width() - toolsetReserve - 40,
                         size.height() - actionsReserve - 40);
        const QRect shown = CanvasRectInWorkspace();
        EXPECT_TRUE(free.adjusted(-1, -1, 1, 1).contains(shown)) << shown.x() << "," << shown.y() << " "
                                                                   << shown.width() << "x" << shown.height();
        EXPECT_TRUE(std::abs(shown.width() - free.width()) <= 1 || std::abs(shown.height() - free.height()) <= 1);
        ExpectAgreement(CompareWithPhoto(grab, written, showsChecker));
    }
}

TEST_F(CanvasSceneTest, TheCanvasRectangleShiftsToTheCentreBeforeTheWorkspaceTransform)
{
    struct Case {
        QSize canvasSize;
        float scale;
        QPoint centre;
        QPoint position;
        QRect expected;
    };
    const std::vector<Case> cases = {
        {{1200, 1800}, 0.25f, {500, 400}, {0, 0}, {350, 175, 300, 450}},
        {{1200, 1800}, 0.5f, {500, 400}, {100, -40}, {250, -70, 600, 900}},
        {{1920, 1080}, 1.0f, {960, 540}, {0, 0}, {0, 0, 1920, 1080}},
        {{800, 600}, 2.0f, {100, 100}, {-10, 5}, {-720, -490, 1600, 1200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << c.scale << " position " << c.position.x() << ","
                                          << c.position.y());
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetDimensions(static_cast<unsigned int>(c.canvasSize.width()),
                             static_cast<unsigned int>(c.canvasSize.height()));
        canvas.SetScale(c.scale);
        canvas.SetCentre(c.centre.x(), c.centre.y());
        canvas.SetPosition(c.position.x(), c.position.y());
        EXPECT_EQ(CanvasRectInWorkspace(), c.expected);
    }
}

TEST_F(CanvasSceneTest, TheFitUsesTheRoomLeftBesideTheBarsAndNeverAScaleOfNothing)
{
    struct Case {
        const char* name;
        QSize sceneSize;
        QSize canvasSize;
        int toolsetReserve;
        int actionsReserve;
        float expectedScale; // 0: the scale stays as it was
    };
    const std::vector<Case> cases = {
        {"tall canvas, height decides", {1280, 800}, {1200, 1800}, -1, 0, 760.0f / 1800},
        {"reserves of both bars", {1280, 800}, {1200, 1800}, 104, 34, 726.0f / 1800},
        {"wide canvas, width decides", {1280, 800}, {1800, 600}, 104, 34, 1136.0f / 1800},
        {"equal aspects", {1240, 840}, {1500, 1000}, 0, 0, 0.8f},
        {"no room below the actions bar", {300, 60}, {1200, 1800}, 104, 34, 0},
        {"exactly no room beside the toolset bar", {144, 800}, {1200, 1800}, 104, 34, 0},
        {"no room at all", {40, 40}, {1200, 1800}, 0, 0, 0},
        {"an empty canvas", {1280, 800}, {0, 0}, 104, 34, 0},
        {"a canvas without height", {1280, 800}, {1200, 0}, 104, 34, 0},
    };
    struct ScaleCounter : LumoModelObserver {
        int count = 0;
        void ModelChanged(DataType type, const QUuid&, FieldType field) override
        {
            count += type == DataTypeCanvas && field == FieldTypeCanvasScale ? 1 : 0;
        }
    } counter;
    counter.SetModel(model, {DataTypeCanvas});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetDimensions(static_cast<unsigned int>(c.canvasSize.width()),
                             static_cast<unsigned int>(c.canvasSize.height()));
        canvas.SetScale(0.77f);
        canvas.SetPosition(5, 5);
        App().SetToolsetWidth(c.toolsetReserve);
        App().SetCanvasActionsHeight(c.actionsReserve);
        scene.setSceneRect(0, 0, c.sceneSize.width(), c.sceneSize.height());
        counter.count = 0;
        scene.FitCanvasToView();
        if (c.expectedScale == 0) {
            EXPECT_FLOAT_EQ(canvas.Scale(), 0.77f);
            EXPECT_EQ(canvas.PositionX(), 5);
            EXPECT_EQ(counter.count, 0);
        } else {
            EXPECT_FLOAT_EQ(canvas.Scale(), c.expectedScale);
            EXPECT_EQ(canvas.PositionX(), 0);
            EXPECT_EQ(counter.count, 1);
        }
    }

    // A scene that no view shows neither fits nor renders, and paints only black.
    CanvasScene alone;
    int aloneRenders = 0;
    alone.SetRenderCall([&](QImage&, const CanvasRenderRequest&) {
        ++aloneRenders;
        return app::LMerrSuccess;
    });
    alone.setSceneRect(0, 0, 1280, 800);
    CurrentProject()->GetCanvas().SetDimensions(1200, 1800);
    CurrentProject()->GetCanvas().SetScale(0.77f);
    alone.FitCanvasToView();
    EXPECT_FLOAT_EQ(CurrentProject()->GetCanvas().Scale(), 0.77f);
    alone.SlotRedrawScene(HXDownsampleFactor0);
    QImage painted(64, 40, QImage::Format_RGB32);
    painted.fill(Qt::white);
    QPainter painter(&painted);
    alone.render(&painter, QRectF(0, 0, 64, 40), QRectF(0, 0, 1280, 800));
    painter.end();
    EXPECT_EQ(aloneRenders, 0);
    EXPECT_EQ(painted.pixel(32, 20), qRgb(0, 0, 0));
}

TEST_F(CanvasSceneTest, EachPaintCarriesOutOnlyTheLastRequestAndTheSettledResizeRedrawsAtFullResolution)
{
    ShowGreenScreenProject(0.05);
    Grab();
    const QUuid foreground = CurrentProject()->GetLayerManager()->LayerList()->StaticForegroundId();

    // A whole-canvas preview, then a layer: only the layer is rendered, once.
    renders.clear();
    scene.SlotRedrawScene(HXDownsampleFactor3);
    scene.SlotRedrawScene(foreground, app::RenderLevelFilter, HXDownsampleFactor0);
    Grab();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_FALSE(renders[0].wholeCanvas);
    EXPECT_EQ(renders[0].layerId, foreground);
    EXPECT_EQ(renders[0].level, app::RenderLevelFilter);
    EXPECT_EQ(renders[0].downsample, HXDownsampleFactor0);
    // Nothing pending: a paint draws the stored image.
    Grab();
    EXPECT_EQ(renders.size(), 1u);

    // The other way round the whole canvas wins, and the Application's refresh is always at full
    // resolution.
    App().RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelKey, HXDownsampleFactor3);
    App().RefreshCanvas(HXDownsampleFactor3);
    Grab();
    ASSERT_EQ(renders.size(), 2u);
    EXPECT_TRUE(renders[1].wholeCanvas);
    EXPECT_EQ(renders[1].downsample, HXDownsampleFactor0);

    // A preview request, then a resize: black until the size settles, then the fit and one
    // whole-canvas render at full resolution.
    renders.clear();
    scene.SlotRedrawScene(HXDownsampleFactor3);
    const float scaleBefore = CurrentProject()->GetCanvas().Scale();
    view.resize(1000, 640);
    EXPECT_FALSE(scene.IsDrawingEnabled());
    const QImage unsettled = Grab();
    EXPECT_TRUE(renders.empty());
    EXPECT_EQ(unsettled.pixel(500, 320), qRgb(0, 0, 0));
    Settle();
    Grab();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_TRUE(renders[0].wholeCanvas);
    EXPECT_EQ(renders[0].downsample, HXDownsampleFactor0);
    EXPECT_LT(CurrentProject()->GetCanvas().Scale(), scaleBefore);
}

TEST_F(CanvasSceneTest, TheFirstShowFitsAndRendersWithoutWaitingForTheSizeToSettle)
{
    ASSERT_TRUE(folder.isValid());
    written = WriteGreenScreenProject(folder.path(), 0.05);
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    LoadLayerImages(App());
    Notify(DataTypeProject, FieldTypeRefreshAll);
    // Laid out before it shows, as the main window is: the size changes, nothing is drawn yet.
    view.resize(1000, 640);
    view.resize(1280, 800);
    ASSERT_FALSE(scene.IsDrawingEnabled());
    renders.clear();
    view.show();

    // The first paint is black and takes the size as it is: the fit and a full-resolution render
    // follow from the events already waiting, long before a resize would have settled.
    EXPECT_EQ(Grab().pixel(640, 400), qRgb(0, 0, 0));
    for (int pass = 0; pass < 3 && !scene.IsDrawingEnabled(); ++pass)
        QCoreApplication::processEvents();
    ASSERT_TRUE(scene.IsDrawingEnabled());
    const float fitted = CurrentProject()->GetCanvas().Scale();
    const QImage shown = Grab();
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_TRUE(renders[0].wholeCanvas);
    EXPECT_EQ(renders[0].downsample, HXDownsampleFactor0);
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(CanvasRectInWorkspace()));
    EXPECT_NE(shown.pixel(640, 400), qRgb(0, 0, 0));
    // The same fit as after a settled resize to this size.
    scene.FitCanvasToView();
    EXPECT_FLOAT_EQ(CurrentProject()->GetCanvas().Scale(), fitted);

    // Once the canvas has been on screen, a resize waits to settle again, in black.
    view.resize(1000, 640);
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
    EXPECT_FALSE(scene.IsDrawingEnabled());
    EXPECT_EQ(Grab().pixel(500, 320), qRgb(0, 0, 0));
    Settle();
}

TEST_F(CanvasSceneTest, TheUniqueFrameFollowsTheUniquenessAndANewProjectDropsItWithTheImage)
{
    App().SetCanvasActionsHeight(34);
    ShowGreenScreenProject(0.05);
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    ASSERT_EQ(manager->GetForeground(manager->CurrentForegroundId())->SetUnique(true), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeImageAdded, manager->LayerList()->StaticForegroundId());

    const auto framed = [](const QImage& grab) {
        int yellow = 0;
        for (int y = 30; y <= 38; ++y)
            yellow += Distance(grab.pixel(640, y), qRgb(253, 248, 39)) <= 2 ? 1 : 0;
        return yellow > 0;
    };
    const QImage unique = Grab();
    EXPECT_TRUE(framed(unique));
    EXPECT_FALSE(scene.CanvasImage().isNull());
    SaveGrab(unique, "canvas-unique-foreground");
    // The frame's top runs just below the bar, however high the bar is, not above it.
    for (int y = 28; y <= 31; ++y)
        EXPECT_GT(Distance(unique.pixel(640, y), qRgb(253, 248, 39)), 2) << "row " << y;

    // Switching the uniqueness without a new image takes the frame away and puts it back.
    ASSERT_EQ(manager->GetForeground(manager->CurrentForegroundId())->SetUnique(false), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    EXPECT_FALSE(framed(Grab()));
    ASSERT_EQ(manager->GetForeground(manager->CurrentForegroundId())->SetUnique(true), app::LMerrSuccess);
    Notify(DataTypeProject, FieldTypeForegroundUniqueness);
    EXPECT_TRUE(framed(Grab()));

    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_TRUE(scene.CanvasImage().isNull());
    const QImage reopened = Grab();
    EXPECT_FALSE(framed(reopened));
    // Only the checker until the next render.
    EXPECT_TRUE(ShowsChecker(reopened.pixel(CanvasRectInWorkspace().center())));
}

TEST_F(CanvasSceneTest, TheImageShownKeepsTheRenderProcessorThatHoldsItsPixels)
{
    ShowGreenScreenProject(0.05);
    Grab();
    ASSERT_FALSE(scene.CanvasImage().isNull());
    const uchar* firstBits = scene.CanvasImage().constBits();
    const std::weak_ptr<app::RenderProcessor> first = App().GetRenderProcessor();

    // Opened again, its photos not loaded yet: the new render processor's renders fail before
    // they make an image, so the first one's image stays shown, and that processor with it.
    ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
    App().RefreshCanvas();
    const QImage painted = Grab();
    EXPECT_FALSE(painted.isNull());
    EXPECT_EQ(scene.CanvasImage().constBits(), firstBits);
    EXPECT_FALSE(first.expired());
    // Its pixels are still there to read (the sanitizer build reports a read of freed memory).
    const QImage& shown = scene.CanvasImage();
    int opaque = 0;
    for (int y = 0; y < shown.height(); y += 4)
        for (int x = 0; x < shown.width(); x += 4)
            opaque += qAlpha(shown.pixel(x, y)) == 255 ? 1 : 0;
    EXPECT_GT(opaque, 0);

    // The first image made by the new processor replaces both.
    LoadLayerImages(App());
    App().RefreshCanvas();
    Grab();
    EXPECT_NE(scene.CanvasImage().constBits(), firstBits);
    EXPECT_TRUE(first.expired());
}

// A card's back is fitted with it: the pair fills the free area and is centred on the view's
// centre, the canvas moved by half its side. Without a back the canvas stays at the centre.
TEST_F(CanvasSceneTest, TheFitTakesTheBackOfACardBesideTheCanvas)
{
    struct Case {
        const char* name;
        QSize canvasSize;
        app::CanvasOrientation orientation;
        app::CanvasDimensionType dimensionType;
        float scale;
        QPoint position;
    };
    const std::vector<Case> cases = {
        {"portrait card", {900, 1200}, app::CanvasOrientationPortrait, app::CanvasDimensionPreset, 726.0f / 1200, {450, 0}},
        {"landscape card", {1200, 900}, app::CanvasOrientationLandscape, app::CanvasDimensionCustom, 726.0f / 1800, {0, 450}},
        {"card the size of the foreground", {900, 1200}, app::CanvasOrientationPortrait, app::CanvasDimensionForeground,
         726.0f / 1200, {0, 0}},
    };
    App().SetToolsetWidth(104);
    App().SetCanvasActionsHeight(34);
    view.show();
    scene.setSceneRect(0, 0, 1280, 800);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetDimensions(static_cast<unsigned int>(c.canvasSize.width()),
                             static_cast<unsigned int>(c.canvasSize.height()));
        canvas.SetPrintAsCard(true);
        canvas.SetDimensionType(c.dimensionType);
        canvas.SetOrientation(c.orientation);
        canvas.SetCentre(640, 400);
        scene.FitCanvasToView();
        EXPECT_FLOAT_EQ(canvas.Scale(), c.scale);
        EXPECT_EQ(QPoint(canvas.PositionX(), canvas.PositionY()), c.position);
        const QRect both = CanvasRectInWorkspace() | CanvasOutlineGraphicsItem::BackOfCardRect();
        EXPECT_NEAR(both.center().x(), 640, 1);
        EXPECT_NEAR(both.center().y(), 400, 1);
    }
}

TEST_F(CanvasSceneTest, TheBackOfAGreetingCardLiesLeftOfAPortraitAndAboveALandscapeCard)
{
    enum Back { None, Left, Above };
    struct Case {
        const char* name;
        bool card;
        app::CanvasDimensionType dimensionType;
        app::CanvasOrientation orientation;
        Back back;
    };
    const std::vector<Case> cases = {
        {"portrait preset card", true, app::CanvasDimensionPreset, app::CanvasOrientationPortrait, Left},
        {"landscape custom card", true, app::CanvasDimensionCustom, app::CanvasOrientationLandscape, Above},
        {"card the size of the background", true, app::CanvasDimensionBackground, app::CanvasOrientationPortrait, None},
        {"card the size of the foreground", true, app::CanvasDimensionForeground, app::CanvasOrientationLandscape, None},
        {"no card", false, app::CanvasDimensionPreset, app::CanvasOrientationPortrait, None},
    };
    // Nothing rendered: only the checker, the outline and the back are drawn.
    forcedResult = app::LMerrSuccess;
    view.show();
    Settle();
    // The canvas at (490, 300, 300, 200); its back to the left at x < 490 or above at y < 300.
    const auto greyPixels = [](const QImage& grab, const QRect& area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb pixel = grab.pixel(x, y);
                count += qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel) && qRed(pixel) >= 20 &&
                                 qRed(pixel) <= 100
                             ? 1
                             : 0;
            }
        return count;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetDimensions(600, 400);
        canvas.SetScale(0.5f);
        canvas.SetCentre(640, 400);
        canvas.SetPosition(0, 0);
        canvas.SetPrintAsCard(c.card);
        canvas.SetDimensionType(c.dimensionType);
        canvas.SetOrientation(c.orientation);
        ASSERT_EQ(CanvasRectInWorkspace(), QRect(490, 300, 300, 200));
        const QImage grab = Grab();
        if (c.back == Left)
            SaveGrab(grab, "canvas-back-of-portrait-card");
        const int left = greyPixels(grab, QRect(160, 302, 328, 196));
        const int above = greyPixels(grab, QRect(492, 60, 296, 238));
        EXPECT_EQ(left > 50, c.back == Left) << left;
        EXPECT_EQ(above > 50, c.back == Above) << above;
        EXPECT_EQ(left + above == 0, c.back == None) << left + above;
    }
}

TEST_F(CanvasSceneTest, AForcedOutOfMemoryResultFinishesThePaintInBlackAndReachesTheFatalRoadOnce)
{
    ShowGreenScreenProject(0.05);
    Grab();
    renders.clear();
    Dialogs().AnswerMessage(QMessageBox::Ok).ExpectExit();
    forcedResult = app::LMerrRenderOutOfMemory;

    QImage shown;
    {
        const MessageCapture paintMessages;
        App().RefreshCanvas();
        shown = Grab();
        EXPECT_TRUE(paintMessages.Messages().isEmpty()) << paintMessages.Messages().join('\n').toStdString();
    }
    ASSERT_EQ(renders.size(), 1u);
    // Reported after the paint, from a queued call.
    EXPECT_TRUE(Dialogs().Requests().empty());
    EXPECT_TRUE(scene.CanvasImage().isNull());
    // No checker and no stale picture: black where the canvas was.
    EXPECT_EQ(shown.pixel(CanvasRectInWorkspace().center()), qRgb(0, 0, 0));
    // The failed request is not tried again.
    Grab();
    ProcessEvents();
    EXPECT_EQ(renders.size(), 1u);
    ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 1u);
    EXPECT_TRUE(Dialogs().Requests()[0].message.text.startsWith("There is not enough memory available."));
    EXPECT_EQ(Dialogs().RequestsOf(DialogRequest::Exit).size(), 1u);
}

TEST_F(CanvasSceneTest, ARenderOutOfMemoryInThePaintGoesToTheFatalRoad)
{
    ShowGreenScreenProject(0.05);
    ASSERT_FALSE(view.grab().isNull());
    ASSERT_FALSE(scene.CanvasImage().isNull());

    // The cast shadow needs one more image at the next render, and there is no memory for it.
    const app::LayerManagerPtr manager = CurrentProject()->GetLayerManager();
    const auto shadow = std::make_shared<app::ShadowCastFilterItem>();
    shadow->SetEnabled(true);
    manager->GetForegroundSettings()->Filters().Add(shadow);
    app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor()).allocationsBeforeFailure = 0;
    Dialogs().AnswerMessage(QMessageBox::Ok).ExpectExit();
    App().RefreshCanvas();
    view.grab();
    app::RenderProcessorTestPeer::Impl(*App().GetRenderProcessor()).allocationsBeforeFailure = -1;
    ProcessEvents();

    ASSERT_EQ(Dialogs().RequestsOf(DialogRequest::Message).size(), 1u);
    EXPECT_TRUE(Dialogs().Requests()[0].message.text.startsWith("There is not enough memory available."));
    EXPECT_TRUE(scene.CanvasImage().isNull());
}

TEST_F(CanvasSceneTest, TheBackdropPaintedInOnePassShowsThePixelsOfEveryPass)
{
    ShowGreenScreenProject(0.05);
    const QRect target = App().WindowCacheRect();
    const QRect canvas = CanvasRectInWorkspace();
    ASSERT_TRUE(target.contains(canvas));
    ASSERT_FALSE(canvas.isEmpty());

    // An image of the window at 1/divisor: opaque where the canvas lies (or everywhere), with a
    // gradient so that a scaled draw shows where it samples, transparent around it; see-through
    // puts every alpha on the canvas.
    const auto windowImage = [&](int divisor, QImage::Format format, bool opaqueAround, bool seeThrough = false) {
        QImage image(target.width() / divisor, target.height() / divisor, format);
        image.fill(opaqueAround ? QColor(90, 90, 120) : QColor(Qt::transparent));
        const QRect onCanvas((canvas.left() - target.left()) / divisor, (canvas.top() - target.top()) / divisor,
                             canvas.width() / divisor, canvas.height() / divisor);
        for (int y = onCanvas.top(); y <= onCanvas.bottom(); ++y)
            for (int x = onCanvas.left(); x <= onCanvas.right(); ++x)
                image.setPixel(x, y, qRgba(x % 256, y % 256, 200, seeThrough ? (x * 7 + y) % 256 : 255));
        return std::make_pair(image, onCanvas);
    };
    struct Case {
        const char* name;
        QImage image; // null: the pipeline's own render
        QImage::Format device = QImage::Format_ARGB32_Premultiplied;
        QPoint shift;
        bool itemBelowOutline = false; // the outline then paints its shade itself
        QRect clip;
    };
    std::vector<Case> cases;
    cases.push_back({"the pipeline's render", QImage()});
    cases.push_back({"opaque everywhere", windowImage(1, QImage::Format_ARGB32, true).first});
    cases.push_back({"an opaque format", windowImage(1, QImage::Format_RGB32, true).first});
    cases.push_back({"opaque on the canvas", windowImage(1, QImage::Format_ARGB32, false).first});
    cases.push_back({"a half-size preview opaque on the canvas", windowImage(2, QImage::Format_ARGB32, false).first});
    cases.push_back({"a quarter-size preview with every alpha, on an opaque device",
                     windowImage(4, QImage::Format_ARGB32, false, true).first, QImage::Format_RGB32});
    cases.push_back({"a third-size preview with every alpha, shifted",
                     windowImage(3, QImage::Format_ARGB32, true, true).first, QImage::Format_ARGB32_Premultiplied,
                     QPoint(7, 19)});
    cases.push_back({"a quarter-size preview with every alpha, clipped and shifted",
                     windowImage(4, QImage::Format_ARGB32, false, true).first, QImage::Format_RGB32, QPoint(3, 5),
                     false, QRect(31, 17, target.width() - 90, target.height() - 50)});
    // The frame's pixels come from an area away from the device's corner: the full resolution's
    // mapping and the backdrop must both land on it.
    cases.push_back({"full resolution with every alpha, clipped and shifted",
                     windowImage(1, QImage::Format_ARGB32, false, true).first, QImage::Format_ARGB32_Premultiplied,
                     QPoint(11, 4), false, QRect(23, 9, target.width() - 70, target.height() - 40)});
    cases.push_back({"every alpha, an item below the outline",
                     windowImage(1, QImage::Format_ARGB32, false, true).first, QImage::Format_RGB32, QPoint(), true});
    {
        auto [image, onCanvas] = windowImage(1, QImage::Format_ARGB32, false);
        image.setPixel(onCanvas.center(), qRgba(0, 0, 0, 0));
        image.setPixel(onCanvas.bottomRight(), qRgba(40, 40, 40, 128));
        cases.push_back({"see-through pixels on the canvas", image});
    }
    {
        auto [image, onCanvas] = windowImage(1, QImage::Format_ARGB32, true);
        image.setPixel(0, 0, qRgba(0, 0, 0, 0));
        image.setPixel(onCanvas.topLeft(), qRgba(0, 0, 0, 0));
        cases.push_back({"opaque but for a corner of the window and of the canvas", image});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.image.isNull())
            scene.SetRenderCall([&](QImage& image, const CanvasRenderRequest&) {
                image = c.image;
                return app::LMerrSuccess;
            });
        QGraphicsRectItem below(QRectF(0, 0, 10, 10));
        below.setZValue(2);
        below.setPen(Qt::NoPen);
        if (c.itemBelowOutline)
            scene.addItem(&below);
        scene.SlotRedrawScene(HXDownsampleFactor0);
        // A new arrangement's first paint is the passes, the outline then painting the shade (the
        // whole view's grabs below cover that); the frame composes from the second paint on.
        PaintBackdrop(scene, c.device, c.shift, c.clip);
        const QImage oneRender = PaintBackdrop(scene, c.device, c.shift, c.clip);
        ASSERT_FALSE(scene.CanvasImage().isNull());
        const QImage expected =
            EveryPass(oneRender, scene.CanvasImage(), target, !c.itemBelowOutline, c.shift, c.clip);
        EXPECT_EQ(DifferentPixels(oneRender, expected), 0);
        // A repaint without a render (a handle moved) shows the same pixels.
        EXPECT_EQ(DifferentPixels(PaintBackdrop(scene, c.device, c.shift, c.clip), expected), 0);
        if (c.itemBelowOutline)
            scene.removeItem(&below);
    }

    // And so does the view, items and all, rendered into an image as onto the screen (a grab's
    // pixmap gets the passes). Where the view is asked to smooth scaled images it paints the
    // passes one by one (an unscaled image and lines look the same either way); an item below the
    // outline, drawing nothing, leaves the shade to the outline.
    const QImage seeThrough = windowImage(1, QImage::Format_ARGB32, false, true).first;
    const QImage preview = windowImage(4, QImage::Format_ARGB32, false, true).first;
    const auto grabShowing = [&](const QImage& image) {
        scene.SetRenderCall([&](QImage& shown, const CanvasRenderRequest&) {
            shown = image;
            return app::LMerrSuccess;
        });
        scene.SlotRedrawScene(HXDownsampleFactor0);
        QImage rendered(view.size(), QImage::Format_RGB32);
        rendered.fill(qRgb(255, 0, 255));
        static_cast<QWidget&>(view).render(&rendered);
        return rendered;
    };
    const QImage onePass = grabShowing(seeThrough);
    view.setRenderHint(QPainter::SmoothPixmapTransform, true);
    EXPECT_EQ(DifferentPixels(onePass, grabShowing(seeThrough)), 0);
    view.setRenderHint(QPainter::SmoothPixmapTransform, false);

    const QImage previewOnePass = grabShowing(preview);
    QGraphicsRectItem below(QRectF(0, 0, 10, 10));
    below.setZValue(2);
    below.setPen(Qt::NoPen);
    scene.addItem(&below);
    EXPECT_EQ(DifferentPixels(previewOnePass, grabShowing(preview)), 0);
    scene.removeItem(&below);
}


// The frame itself, apart from the scene: an arrangement painted once is left to the passes and
// learnt at its second paint, every pixel Qt's; what it cannot paint as Qt does it refuses with the
// window untouched.
TEST(CanvasBackdropFrameTest, LearnsAnArrangementAtItsSecondPaintAndRefusesWhatItCannotPaint)
{
    CanvasBackdrop backdrop;
    backdrop.whole = QRect(0, 0, 320, 200);
    backdrop.checkerRect = QRect(40, 20, 240, 160);
    backdrop.checker = QPixmap(16, 16);
    backdrop.checker.fill(QColor(90, 90, 90));
    backdrop.target = QRect(40, 20, 240, 160);
    backdrop.shade.addRect(QRectF(backdrop.whole));
    backdrop.shade.addRect(QRectF(backdrop.checkerRect));
    QImage image(120, 80, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 2, y * 3, 100, (x + y) % 3 == 0 ? 0 : (x * 7 + y) % 256));

    QImage expected(backdrop.whole.size(), QImage::Format_RGB32);
    {
        QPainter painter(&expected);
        CanvasBackdropFrame::PaintPasses(painter, backdrop, image, false);
    }
    CanvasBackdropFrame frame;
    const auto paint = [&](QImage& window, const std::function<void(QPainter&)>& setUp) {
        window = QImage(backdrop.whole.size(), QImage::Format_RGB32);
        window.fill(qRgb(255, 0, 255));
        QPainter painter(&window);
        setUp(painter);
        return frame.Paint(painter, backdrop, image);
    };
    const auto plain = [](QPainter&) {};
    QImage window;
    EXPECT_FALSE(paint(window, plain)) << "seen once";
    EXPECT_TRUE(paint(window, plain)) << "seen again";
    EXPECT_EQ(DifferentPixels(window, expected), 0);
    EXPECT_TRUE(paint(window, plain)) << "kept";
    EXPECT_EQ(DifferentPixels(window, expected), 0);

    QImage untouched(backdrop.whole.size(), QImage::Format_RGB32);
    untouched.fill(qRgb(255, 0, 255));
    const std::vector<std::pair<const char*, std::function<void(QPainter&)>>> refused = {
        {"smoothing", [](QPainter& p) { p.setRenderHint(QPainter::SmoothPixmapTransform, true); }},
        {"a fractional shift", [](QPainter& p) { p.translate(0.5, 0); }},
        {"a scale", [](QPainter& p) { p.scale(2, 2); }},
        {"an opacity", [](QPainter& p) { p.setOpacity(0.5); }},
    };
    for (const auto& [what, setUp] : refused) {
        for (int time = 0; time < 2; ++time)
            EXPECT_FALSE(paint(window, setUp)) << what;
        EXPECT_EQ(DifferentPixels(window, untouched), 0) << what;
    }
}

} // namespace
} // namespace lumo::ui::testing
