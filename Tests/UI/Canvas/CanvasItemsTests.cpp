// The canvas items on their own: the numbers the view tells them apart by and their stacking, the
// deleter every item leaves the canvas through, and the crop rectangle's edges and fade.

#include "UiTest.h"

#include "Canvas/CanvasOutlineGraphicsItem.h"
#include "Canvas/CropGraphicsItem.h"
#include "Canvas/GraphicsItemDeleter.h"
#include "Canvas/HandleGraphicsItems.h"
#include "Canvas/ShadowQuadGraphicsItems.h"

#include <QGraphicsScene>
#include <QPainter>
#include <QTimeLine>
#include <QTimer>

#include <functional>
#include <memory>

namespace lumo::ui::testing {
namespace {

TEST(CanvasItems, TypesAndStacking)
{
    struct Case {
        const char* name;
        std::function<QGraphicsItem*(QGraphicsItem* parent)> make;
        int type;
        qreal z;
    };
    const std::vector<Case> cases = {
        {"canvas outline", [](QGraphicsItem*) { return new CanvasOutlineGraphicsItem(); }, 65537, 102},
        {"shadow edge",
         [](QGraphicsItem* parent) { return new ShadowEdgeGraphicsItem(parent, parent, parent); }, 65541, 110},
        {"shadow handle", [](QGraphicsItem* parent) { return new ShadowHandleGraphicsItem(parent, {}); }, 65542, 111},
        {"shadow quad", [](QGraphicsItem*) { return new ShadowQuadGraphicsItem(); }, 65543, 112},
        {"layer quad", [](QGraphicsItem*) { return new LayerQuadGraphicsItem(QUuid(), QRectF(0, 0, 10, 10)); }, 65544,
         113},
        {"layer scale handle", [](QGraphicsItem* parent) { return new LayerScaleGraphicsItem({}, parent); }, 65545, 114},
        {"layer rotate handle", [](QGraphicsItem*) { return new LayerRotateGraphicsItem({}); }, 65546, 115},
        {"text scale handle", [](QGraphicsItem* parent) { return new TextScaleGraphicsItem({}, parent); }, 65549, 105},
        {"text rotate handle", [](QGraphicsItem*) { return new TextRotateGraphicsItem({}); }, 65550, 106},
        {"crop rectangle", [](QGraphicsItem*) { return new CropGraphicsItem(QRectF(0, 0, 10, 10)); }, 65551, 116},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QGraphicsRectItem parent;
        std::unique_ptr<QGraphicsItem> item(c.make(&parent));
        EXPECT_EQ(item->type(), c.type);
        EXPECT_EQ(item->zValue(), c.z);
        if (item->parentItem() != nullptr)
            item.release(); // the parent deletes it
    }

    // The quad's children: four corners, then four edges, each edge between consecutive corners
    // and each corner between the edge before it and the edge after it.
    const ShadowQuadGraphicsItem quad;
    EXPECT_EQ(quad.childItems().size(), 8);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(quad.Edge(i)->FirstHandle(), quad.Handle(i));
        EXPECT_EQ(quad.Edge(i)->SecondHandle(), quad.Handle((i + 1) % 4));
        EXPECT_EQ(quad.Handle(i)->PreviousEdge(), quad.Edge((i + 3) % 4));
        EXPECT_EQ(quad.Handle(i)->NextEdge(), quad.Edge(i));
    }
    EXPECT_EQ(quad.Handle(2)->pos(), QPointF(100, 100));
    EXPECT_EQ(quad.Edge(1)->pos(), QPointF(100, 50));
}

// Counts its deletions.
class TrackedItem : public QGraphicsRectItem {
public:
    explicit TrackedItem(int& deletions) : QGraphicsRectItem(0, 0, 10, 10), m_deletions(deletions) {}
    ~TrackedItem() override { ++m_deletions; }

private:
    int& m_deletions;
};

TEST(CanvasItems, TheDeleterDeletesFromTheEventLoopAndNullsTheHolder)
{
    int deletions = 0;
    QGraphicsScene scene;
    auto* item = new TrackedItem(deletions);
    TrackedItem* holder = item;
    scene.addItem(holder);

    RemoveCanvasItem(holder);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(item->scene(), nullptr) << "taken out of the scene at once";
    EXPECT_EQ(deletions, 0) << "alive until the event loop deletes it";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(deletions, 1);

    // A holder that is already null deletes nothing, and neither does removing it again.
    new GraphicsItemDeleter<TrackedItem>(holder);
    RemoveCanvasItem(holder);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(deletions, 1);
}

// A 400 x 300 foreground's crop rectangle, drawn alone for pixel checks.
class CropItemTest : public UiTest {
protected:
    QImage Paint()
    {
        QGraphicsScene scene(0, 0, 400, 300);
        scene.setBackgroundBrush(Qt::black);
        scene.addItem(&crop);
        QImage image(400, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        scene.render(&painter, QRectF(0, 0, 400, 300), QRectF(0, 0, 400, 300));
        painter.end();
        scene.removeItem(&crop);
        return image;
    }

    CropGraphicsItem crop{QRectF(0, 0, 400, 300)};
};

TEST_F(CropItemTest, EdgesComeFromTheFractionsAndTheLastSingleEdgeIsHighlighted)
{
    EXPECT_FALSE(crop.isEnabled()) << "takes no mouse input";
    EXPECT_EQ(crop.InnerRect(), QRectF(0, 0, 400, 300));
    EXPECT_EQ(crop.ActiveEdge(), 0);

    // The view adds it hidden. left 0.1, right 0.2, top 0.25, bottom 0.5 of 400 x 300:
    crop.hide();
    crop.SetEdges(0.1, 0.2, 0.25, 0.5);
    EXPECT_EQ(crop.InnerRect(), QRectF(40, 75, 280, 75));
    EXPECT_EQ(crop.ActiveEdge(), 0);
    EXPECT_FALSE(crop.isVisible()) << "SetEdges leaves visibility alone";
    EXPECT_FALSE(crop.HoldTimer()->isActive());

    struct Case {
        std::function<void()> set;
        int edge;
        QRectF inner;
    };
    const std::vector<Case> cases = {
        {[&] { crop.SetLeftEdge(0.25); }, 1, QRectF(100, 75, 220, 75)},
        {[&] { crop.SetRightEdge(0.5); }, 2, QRectF(100, 75, 100, 75)},
        {[&] { crop.SetTopEdge(0.0); }, 3, QRectF(100, 0, 100, 150)},
        {[&] { crop.SetBottomEdge(0.1); }, 4, QRectF(100, 0, 100, 270)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        c.set();
        EXPECT_EQ(crop.ActiveEdge(), c.edge);
        EXPECT_EQ(crop.InnerRect(), c.inner);
        EXPECT_TRUE(crop.isVisible());
        EXPECT_EQ(crop.FadeOpacity(), 1.0);
        EXPECT_TRUE(crop.HoldTimer()->isActive());
        EXPECT_EQ(crop.HoldTimer()->interval(), CropGraphicsItem::HoldMilliseconds);
    }
    crop.SetEdges(0, 0, 0, 0);
    EXPECT_EQ(crop.ActiveEdge(), 0);
}

TEST_F(CropItemTest, TheCutAwayBorderIsTintedAndTheKeptAreaLeftClear)
{
    // Pixels well inside the kept area, in the border, and on the highlighted left edge.
    const QPoint kept(200, 150);
    const QPoint border(20, 150);
    const QPoint leftEdge(100, 200);

    crop.SetEdges(0, 0, 0, 0);
    crop.SetLeftEdge(0.0);
    QImage image = Paint();
    EXPECT_EQ(image.pixel(kept), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(border), qRgb(0, 0, 0)) << "nothing is cut away, nothing is tinted";

    crop.SetEdges(0.25, 0, 0, 0);
    crop.SetLeftEdge(0.25);
    image = Paint();
    EXPECT_EQ(image.pixel(kept), qRgb(0, 0, 0));
    const QRgb tint = image.pixel(border);
    EXPECT_GT(qBlue(tint), 0);
    EXPECT_GT(qGreen(tint), qRed(tint)) << "the cyan tint";
    // The line at x = 100 shares its width between the pixels either side.
    EXPECT_GT(qRed(image.pixel(leftEdge - QPoint(1, 0))) + qRed(image.pixel(leftEdge)), 150) << "the grey edge line";

    // Half faded: the tint is fainter.
    crop.FadeItem(500);
    image = Paint();
    EXPECT_LT(qBlue(image.pixel(border)), qBlue(tint));
}

TEST_F(CropItemTest, AfterTheHoldItFadesOutAndAChangeDuringTheFadeRestoresIt)
{
    QTimeLine* fade = crop.FadeTimeLine();
    EXPECT_EQ(fade->duration(), CropGraphicsItem::FadeMilliseconds);
    EXPECT_EQ(fade->startFrame(), 0);
    EXPECT_EQ(fade->endFrame(), 1000);

    crop.SetEdges(0.1, 0.1, 0.1, 0.1);
    crop.SetBottomEdge(0.1);
    ASSERT_TRUE(crop.isVisible());
    // The hold ends in the fade (the timer's own timeout calls this).
    crop.BeginToFadeOut();
    EXPECT_FALSE(crop.HoldTimer()->isActive());
    EXPECT_EQ(fade->state(), QTimeLine::Running);
    EXPECT_EQ(crop.FadeOpacity(), 1.0);

    // Each frame takes frame / 1000 off: the decrements add up.
    crop.FadeItem(100);
    EXPECT_DOUBLE_EQ(crop.FadeOpacity(), 0.9);
    crop.FadeItem(300);
    EXPECT_DOUBLE_EQ(crop.FadeOpacity(), 0.6);
    EXPECT_TRUE(crop.isVisible());

    // A change now pauses the fade and shows the rectangle at full opacity for the whole hold.
    crop.SetTopEdge(0.2);
    EXPECT_EQ(fade->state(), QTimeLine::Paused);
    EXPECT_EQ(crop.FadeOpacity(), 1.0);
    EXPECT_TRUE(crop.isVisible());
    EXPECT_TRUE(crop.HoldTimer()->isActive());

    // The next fade starts over and ends hidden once the opacity is gone.
    crop.BeginToFadeOut();
    EXPECT_EQ(fade->state(), QTimeLine::Running);
    EXPECT_EQ(fade->currentTime(), 0);
    crop.FadeItem(400);
    crop.FadeItem(600);
    EXPECT_LE(crop.FadeOpacity(), 0.0);
    EXPECT_FALSE(crop.isVisible());
    EXPECT_EQ(fade->state(), QTimeLine::Paused);

    // A change after the fade shows it again.
    crop.SetLeftEdge(0.3);
    EXPECT_TRUE(crop.isVisible());
    EXPECT_EQ(crop.FadeOpacity(), 1.0);
}

} // namespace
} // namespace lumo::ui::testing
