#pragma once

// The main window's canvas as it will be built: a view over the scene, both observing the model,
// with the scene's renders counted (and, where a test says so, answered with a forced result).

#include "GreenScreenProject.h"
#include "UiTest.h"

#include "Canvas/CanvasScene.h"
#include "Canvas/CanvasView.h"
#include "Shell/LumoModel.h"

#include "TransformItems.h"

#include <QGraphicsItem>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <vector>

namespace lumo::ui::testing {

// Collects what Qt logs while it lives (one at a time).
class MessageCapture {
public:
    MessageCapture() : m_previous(qInstallMessageHandler(&MessageCapture::Collect)) { s_current = this; }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QStringList& Messages() const { return m_messages; }

private:
    static void Collect(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (s_current != nullptr)
            s_current->m_messages.append(message);
    }

    static inline MessageCapture* s_current = nullptr;
    QtMessageHandler m_previous;
    QStringList m_messages;
};

class CanvasTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        view.setScene(&scene);
        App().SetCanvasView(&view);
        view.SetModel(model, {});
        scene.SetModel(model, {});
        view.resize(1280, 800);
        scene.SetRenderCall([this](QImage& image, const CanvasRenderRequest& request) {
            renders.push_back(request);
            return forcedResult ? *forcedResult : CanvasScene::RenderThroughApplication(image, request);
        });
    }

    void Notify(DataType type, FieldType field, const QUuid& id = QUuid())
    {
        model->NotifyObservers(type, id.isNull() ? App().GetDocument()->Id() : id, field);
    }

    // Waits until a resize has settled: the canvas is fitted and the full-resolution redraw asked.
    void Settle()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return scene.IsDrawingEnabled(); }, 10000));
    }

    // Opens a green-screen project with its images loaded, shows the view and waits for the fit.
    void ShowGreenScreenProject(double megapixels)
    {
        ASSERT_TRUE(folder.isValid());
        written = WriteGreenScreenProject(folder.path(), megapixels);
        ASSERT_EQ(App().OpenProject(written.projectPath), app::LMerrSuccess);
        LoadLayerImages(App());
        view.show();
        Notify(DataTypeProject, FieldTypeRefreshAll);
        Settle();
    }

    // The layer of this placement unmoved, unscaled and unturned on a canvas shown at scale 1 about
    // (640, 400): its pixels are screen pixels.
    void ShowUnplacedAtScaleOne(app::TransformationTransformItem& placement)
    {
        placement.SetTranslateX(0);
        placement.SetTranslateY(0);
        placement.SetScaleX(1);
        placement.SetScaleY(1);
        placement.SetRotation(0);
        app::Canvas& canvas = CurrentProject()->GetCanvas();
        canvas.SetScale(1.0f);
        canvas.SetCentre(640, 400);
        canvas.SetPosition(0, 0);
        Notify(DataTypeCanvas, FieldTypeCanvasZoom);
    }

    QImage Grab() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // The item (with its children) shows in the view's picture, and draws nothing outside its
    // bounds: the grab with it against the grab without it.
    void ExpectItemDrawn(QGraphicsItem* item, const QImage& with, int leastPixels = 50)
    {
        ASSERT_NE(item, nullptr);
        item->setVisible(false);
        const QImage without = Grab();
        item->setVisible(true);
        const QRectF sceneBounds = item->mapRectToScene(item->boundingRect() | item->childrenBoundingRect());
        // Cosmetic pens and handles drawn at a constant size reach a few pixels past the bounds.
        const QRect bounds = view.mapFromScene(sceneBounds).boundingRect().adjusted(-12, -12, 12, 12);
        int inside = 0;
        int outside = 0;
        for (int y = 0; y < with.height(); ++y)
            for (int x = 0; x < with.width(); ++x)
                if (with.pixel(x, y) != without.pixel(x, y))
                    ++(bounds.contains(x, y) ? inside : outside);
        EXPECT_GE(inside, leastPixels) << "the item is not drawn";
        EXPECT_EQ(outside, 0) << "drawn outside " << bounds.x() << ", " << bounds.y() << ", " << bounds.width()
                              << " x " << bounds.height();
    }

    LumoModelPtr model = std::make_shared<LumoModel>(App().GetDocument());
    CanvasScene scene;
    CanvasView view;
    QTemporaryDir folder;
    GreenScreenProject written;
    std::vector<CanvasRenderRequest> renders;
    std::optional<app::LMerr> forcedResult;
};

} // namespace lumo::ui::testing
