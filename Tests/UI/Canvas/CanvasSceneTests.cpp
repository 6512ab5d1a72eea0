// The canvas scene shows what the render pipeline makes of the project, fits the canvas to the
// view, and turns a render that ran out of memory into the fatal road.

#include "GreenScreenProject.h"
#include "Grabs.h"
#include "RenderProcessorTestPeer.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/LumoModel.h"

#include "FilterItems.h"
#include "LayerManager.h"

#include <QTemporaryDir>

#include <cmath>

namespace lumo::ui::testing {
namespace {

using hvn::image::HXDownsampleFactor0;

int Distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The main window's canvas as it will be built: a view over the scene, both observing the model.
class CanvasSceneTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        view.setScene(&scene);
        App().SetCanvasView(&view);
        view.SetModel(model, {});
        scene.SetModel(model, {});
        view.resize(1280, 800);
    }

    void Notify(DataType type, FieldType field) { model->NotifyObservers(type, App().GetDocument()->Id(), field); }

    // Opens a green-screen project with its images loaded, shows the view and fits the canvas.
    void ShowGreenScreenProject(double megapixels)
    {
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), megapixels);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        LoadLayerImages(App());
        view.show();
        Notify(DataTypeProject, FieldTypeRefreshAll);
        Notify(DataTypeCanvas, FieldTypeFocusCanvas);
    }

    LumoModelPtr model = std::make_shared<LumoModel>(App().GetDocument());
    CanvasScene scene;
    CanvasView view;
    QTemporaryDir folder;
    GreenScreenProject written;
};

TEST_F(CanvasSceneTest, AGrabShowsTheKeyedPhotographOverTheBackgroundOnTheFittedCanvas)
{
    ShowGreenScreenProject(0.3);
    const QImage grab = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString saved = SaveGrab(grab, "canvas-green-screen");
    EXPECT_FALSE(saved.isEmpty());
    ASSERT_EQ(grab.size(), QSize(1280, 800));

    // The whole canvas fits in the view, beside the margins, and the rest of the view is black.
    const app::Canvas& canvas = CurrentProject()->GetCanvas();
    const QRect shown = CanvasRectInWorkspace();
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(shown));
    EXPECT_GT(shown.width(), written.scene.width);
    EXPECT_EQ(grab.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(grab.pixel(1274, 794), qRgb(0, 0, 0));

    // Photo pixels well away from an edge show the background where the backdrop was and the
    // subject where it is.
    const QTransform toView = QTransform(canvas.GetTransform()).translate(-0.5 * written.scene.width, -0.5 * written.scene.height);
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
    int backdrop = 0, backdropRight = 0, subject = 0, subjectRight = 0;
    for (int y = 2; y < written.scene.height; y += 5) {
        for (int x = 2; x < written.scene.width; x += 5) {
            const QPoint at = toView.map(QPointF(x + 0.5, y + 0.5)).toPoint();
            const QRgb pixel = grab.pixel(at);
            if (settled(x, y, 0)) {
                ++backdrop;
                backdropRight += Distance(pixel, written.background.pixel(x, y)) <= 24 ? 1 : 0;
            } else if (settled(x, y, 255)) {
                ++subject;
                const std::uint8_t* truth =
                    &written.scene.foreground[(static_cast<std::size_t>(y) * written.scene.width + x) * 4];
                subjectRight += Distance(pixel, qRgb(truth[2], truth[1], truth[0])) <= 40 ? 1 : 0;
            }
        }
    }
    ASSERT_GT(backdrop, 100);
    ASSERT_GT(subject, 100);
    EXPECT_GE(static_cast<double>(backdropRight) / backdrop, 0.97);
    EXPECT_GE(static_cast<double>(subjectRight) / subject, 0.90);
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
        {"no room below the actions bar", {300, 60}, {1200, 1800}, 104, 34, 0},
        {"no room at all", {40, 40}, {1200, 1800}, 0, 0, 0},
        {"an empty canvas", {1280, 800}, {0, 0}, 104, 34, 0},
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
            EXPECT_EQ(counter.count, 0);
        } else {
            EXPECT_FLOAT_EQ(canvas.Scale(), c.expectedScale);
            EXPECT_EQ(canvas.PositionX(), 0);
            EXPECT_EQ(counter.count, 1);
        }
    }
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

} // namespace
} // namespace lumo::ui::testing
