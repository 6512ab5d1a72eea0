// The mask items on their own, in a scene without a view (scene coordinates stand for screen
// pixels): the outline through the handles, marks of constant size on screen, points inserted on
// the outline, closing, deleting, curving and straightening, and the handles' context menu.

#include "MaskTestSupport.h"
#include "UiTest.h"

#include "Canvas/GraphicsItemDeleter.h"
#include "Canvas/MaskGraphicsItems.h"

#include <QAction>
#include <QGraphicsScene>
#include <QMenu>
#include <QPointer>

#include <functional>
#include <memory>

namespace lumo::ui::testing {
namespace {

struct HandleSetup {
    QPointF position;
    std::optional<std::pair<QPointF, QPointF>> offsets; // right, left: a curved handle
};

class MaskItemsTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        scene.addItem(shape);
    }

    void TearDown() override
    {
        RemoveCanvasItem(shape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        UiTest::TearDown();
    }

    // Replaces the shape by one with these handles.
    void Build(const std::vector<HandleSetup>& handles, bool closed, qreal zoom = 1)
    {
        RemoveCanvasItem(shape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        shape = new MaskShapeGraphicsItem();
        scene.addItem(shape);
        shape->setTransform(QTransform::fromScale(zoom, zoom));
        for (const HandleSetup& h : handles) {
            if (h.offsets)
                shape->AppendCurvedHandle(h.position, h.offsets->first, h.offsets->second);
            else
                shape->AppendHandle(h.position);
        }
        shape->SetClosedFlag(closed);
    }

    void Select(const std::vector<int>& indices)
    {
        scene.clearSelection();
        for (int i : indices)
            shape->Handle(i)->setSelected(true);
    }

    std::vector<QPointF> Positions() const
    {
        std::vector<QPointF> positions;
        for (const MaskHandleGraphicsItem* h : shape->Handles())
            positions.push_back(h->pos());
        return positions;
    }

    QGraphicsScene scene;
    MaskShapeGraphicsItem* shape = new MaskShapeGraphicsItem();
};

std::vector<QPointF> ElementPoints(const QPainterPath& path)
{
    std::vector<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.emplace_back(path.elementAt(i));
    return points;
}

TEST_F(MaskItemsTest, TypesStackingAndTheOutlineThroughTheHandles)
{
    Build({{{0, 0}, {}}, {{100, 0}, std::make_pair(QPointF(10, 10), QPointF(-20, 30))}}, false);
    const MaskHandleGraphicsItem* curved = shape->Handle(1);
    EXPECT_EQ(shape->type(), 65538);
    EXPECT_EQ(curved->type(), 65539);
    EXPECT_EQ(curved->RightController()->type(), 65540);
    EXPECT_EQ(shape->zValue(), 107);
    EXPECT_EQ(curved->zValue(), 108);
    EXPECT_EQ(curved->RightController()->zValue(), 109);
    EXPECT_EQ(curved->parentItem(), shape);
    EXPECT_EQ(curved->RightController()->parentItem(), curved);

    struct Case {
        const char* name;
        std::vector<HandleSetup> handles;
        bool closed;
        std::vector<QPointF> elements; // moveTo, then three points per segment
    };
    const auto curve = std::make_pair(QPointF(10, 10), QPointF(-20, 30));
    const std::vector<Case> cases = {
        {"no handles", {}, true, {}},
        {"one handle", {{{10, 10}, {}}}, true, {}},
        {"two, closed: there and back", {{{0, 0}, {}}, {{100, 0}, {}}}, true,
         {{0, 0}, {0, 0}, {100, 0}, {100, 0}, {100, 0}, {0, 0}, {0, 0}}},
        {"two, open", {{{0, 0}, {}}, {{100, 0}, {}}}, false, {{0, 0}, {0, 0}, {100, 0}, {100, 0}}},
        // Arriving at the curved handle its left control point shapes the segment; leaving it,
        // its right one.
        {"a curved handle", {{{0, 0}, {}}, {{100, 0}, curve}}, true,
         {{0, 0}, {0, 0}, {80, 30}, {100, 0}, {110, 10}, {0, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(c.handles, c.closed);
        EXPECT_EQ(ElementPoints(shape->shape()), c.elements);
    }
    // Nothing to draw and nothing to press on without an outline.
    Build({}, true);
    EXPECT_TRUE(shape->boundingRect().isEmpty());
    Build({{{0, 0}, {}}, {{100, 50}, {}}}, false);
    shape->setEnabled(false);
    EXPECT_TRUE(shape->boundingRect().isEmpty()) << "a disabled mask takes no presses";
}

TEST_F(MaskItemsTest, MarksKeepTheirSizeOnScreenAtEveryZoom)
{
    for (const qreal zoom : {0.5, 3.0}) {
        SCOPED_TRACE(zoom);
        Build({{{50, 50}, std::make_pair(QPointF(20, 0), QPointF(-20, 0))}, {{150, 50}, {}}}, false, zoom);
        MaskHandleGraphicsItem* curved = shape->Handle(0);
        MaskHandleGraphicsItem* straight = shape->Handle(1);
        curved->setSelected(true);
        for (const MaskHandleGraphicsItem* h : {curved, straight}) {
            const QRectF mark = h->mapRectToScene(h->shape().boundingRect());
            EXPECT_NEAR(mark.width(), 12, 1e-9);
            EXPECT_NEAR(mark.height(), 12, 1e-9);
        }
        const MaskControllerGraphicsItem* right = curved->RightController();
        ASSERT_TRUE(right->isVisible()) << "shown while its handle is selected";
        EXPECT_NEAR(right->mapRectToScene(right->boundingRect()).width(), 8, 1e-9);
        // The control point takes presses a little beyond its mark, 5 screen pixels from its centre.
        const QPointF centre = right->scenePos();
        EXPECT_TRUE(right->Hits(centre + QPointF(4.9, -4.9)));
        EXPECT_FALSE(right->Hits(centre + QPointF(5.1, 0)));
        // The handle's rectangle reaches its shown control points; its shape is the mark alone.
        EXPECT_TRUE(curved->boundingRect().contains(curved->mapRectFromItem(right, right->boundingRect())));
        EXPECT_FALSE(curved->shape().contains(right->pos()));
        curved->setSelected(false);
        EXPECT_FALSE(right->isVisible());
        EXPECT_NEAR(curved->boundingRect().width(), 12 / zoom, 1e-9) << "hidden control points take no room";
    }
}

TEST_F(MaskItemsTest, AClickNearTheOutlineInsertsAPointThatKeepsTheCurve)
{
    // A square, and two curved handles whose segment bulges 180 pixels above their chord.
    const std::vector<HandleSetup> square = {{{0, 0}, {}}, {{200, 0}, {}}, {{200, 200}, {}}, {{0, 200}, {}}};
    const std::vector<HandleSetup> bulge = {{{0, 0}, std::make_pair(QPointF(0, -240), QPointF(0, 240))},
                                           {{200, 0}, std::make_pair(QPointF(0, 240), QPointF(0, -240))}};
    struct Case {
        const char* name;
        std::vector<HandleSetup> handles;
        bool closed;
        qreal zoom;
        QPointF click; // outline coordinates
        int insertedAt; // -1: nothing added
        bool onOutline;
    };
    const std::vector<Case> cases = {
        {"5 px beside an edge", square, true, 1, {60, 5}, 1, true},
        {"5 screen px beside an edge, zoomed in", square, true, 2, {60, 2.5}, 1, true},
        {"5 px beside the third edge", square, true, 1, {195, 120}, 2, true},
        {"beside the closing edge: appended", square, true, 1, {4, 150}, 4, true},
        {"7 px away", square, true, 1, {60, 7}, -1, false},
        {"20 px away", square, true, 1, {60, 20}, -1, false},
        {"20 px away, open", square, false, 1, {60, 20}, 4, false},
        {"on the curve", bulge, true, 1, {100, -176}, 1, true},
        {"beside the curve near its end", bulge, true, 1, {8.5, -64.2}, 1, true},
        // Between the curve and its chord, 90 px from the curve: not on the outline.
        {"inside the bulge, closed", bulge, true, 1, {100, -90}, -1, false},
        {"inside the bulge, open", bulge, false, 1, {100, -90}, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(c.handles, c.closed, c.zoom);
        const QPainterPath before = shape->shape();
        const std::vector<QPointF> positions = Positions();
        shape->AddHandleAt(shape->mapToScene(c.click));

        if (c.insertedAt < 0) {
            EXPECT_EQ(Positions(), positions);
            continue;
        }
        ASSERT_EQ(shape->HandleCount(), static_cast<int>(c.handles.size()) + 1);
        MaskHandleGraphicsItem* added = shape->Handle(c.insertedAt);
        std::vector<QPointF> others = Positions();
        others.erase(others.begin() + c.insertedAt);
        EXPECT_EQ(others, positions) << "the other points stay in order";
        if (c.onOutline) {
            EXPECT_TRUE(added->IsSettled()) << "dragged at once by the same press";
            EXPECT_LT(QLineF(added->pos(), c.click).length(), 6);
            EXPECT_LT(MaxDeviation(before, shape->shape()), 0.01);
            EXPECT_LT(MaxDeviation(shape->shape(), before), 0.01);
            EXPECT_EQ(added->IsCurved(), c.handles.front().offsets.has_value());
        } else {
            EXPECT_FALSE(added->IsSettled()) << "its press pulls its control points out";
            EXPECT_EQ(added->pos(), c.click);
            EXPECT_FALSE(added->IsCurved());
        }
    }
}

TEST_F(MaskItemsTest, ClosingOnTheFirstHandleNeedsThreeHandlesAndThePanelOpensAndCloses)
{
    const std::vector<HandleSetup> three = {{{0, 0}, {}}, {{100, 0}, {}}, {{100, 100}, {}}};
    struct Case {
        const char* name;
        std::vector<HandleSetup> handles;
        bool closed;
        int clicked;
        bool closes;
    };
    const std::vector<Case> cases = {
        {"two handles", {three[0], three[1]}, false, 0, false},
        {"three, on the first", three, false, 0, true},
        {"three, on the last", three, false, 2, false},
        {"already closed", three, true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(c.handles, c.closed);
        MaskSignalLog log;
        EXPECT_EQ(shape->CloseAtHandle(shape->Handle(c.clicked)->Id()), c.closes);
        EXPECT_EQ(shape->IsClosed(), c.closes || c.closed);
        EXPECT_EQ(shape->Handle(0)->IsClosing(), c.closes);
        EXPECT_EQ(log.entries, c.closes ? std::vector<std::string>{"closed"} : std::vector<std::string>{});
    }
    EXPECT_FALSE(shape->CloseAtHandle(QUuid::createUuid()));

    // The mask panel opens and closes the outline, the first point's arriving control point put
    // back on the point.
    Build({{{0, 0}, std::make_pair(QPointF(20, 5), QPointF(-20, -5))}, three[1], three[2]}, false);
    MaskSignalLog log;
    shape->SetClosed(true, true);
    EXPECT_TRUE(shape->IsClosed());
    EXPECT_EQ(shape->Handle(0)->LeftOffset(), QPointF(0, 0));
    EXPECT_EQ(shape->Handle(0)->RightOffset(), QPointF(20, 5));
    shape->SetClosed(false, false);
    EXPECT_FALSE(shape->IsClosed());
    EXPECT_EQ(log.entries, (std::vector<std::string>{"closed", "opened"}));
}

TEST_F(MaskItemsTest, DeletingSelectedHandlesReopensAClosedMaskLeftWithTwo)
{
    const std::vector<HandleSetup> four = {{{0, 0}, {}}, {{100, 0}, {}}, {{100, 100}, {}}, {{0, 100}, {}}};
    struct Case {
        const char* name;
        std::vector<HandleSetup> handles;
        bool closed;
        std::vector<int> selected;
        std::vector<QPointF> left;
        bool closedAfter;
        std::vector<std::string> signalsInOrder;
    };
    const std::vector<Case> cases = {
        {"closed, one of four", four, true, {1}, {{0, 0}, {100, 100}, {0, 100}}, true, {"enable"}},
        {"closed, two of four", four, true, {1, 3}, {{0, 0}, {100, 100}}, false, {"opened", "disable"}},
        {"closed, one of three", {four[0], four[1], four[2]}, true, {0}, {{100, 0}, {100, 100}}, false,
         {"opened", "disable"}},
        {"open, two of four", four, false, {0, 2}, {{100, 0}, {0, 100}}, false, {"disable"}},
        {"none selected", four, true, {}, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true, {"enable"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(c.handles, c.closed);
        Select(c.selected);
        std::vector<QPointer<MaskHandleGraphicsItem>> deleted;
        for (int i : c.selected)
            deleted.emplace_back(shape->Handle(i));
        MaskSignalLog log;
        shape->DeleteSelectedHandles();
        EXPECT_EQ(Positions(), c.left);
        EXPECT_EQ(shape->IsClosed(), c.closedAfter);
        EXPECT_EQ(log.entries, c.signalsInOrder);
        for (const auto& handle : deleted)
            EXPECT_EQ(handle->scene(), nullptr) << "out of the scene at once";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const auto& handle : deleted)
            EXPECT_TRUE(handle.isNull()) << "deleted from the event loop";
    }
}

TEST_F(MaskItemsTest, CurvingGivesStraightHandlesControlPointsAlongTheirNeighbours)
{
    const std::vector<HandleSetup> four = {{{10, 10}, {}}, {{110, 10}, {}}, {{110, 110}, {}}, {{10, 110}, {}}};
    struct Case {
        const char* name;
        std::vector<HandleSetup> handles;
        bool closed;
        int selected;
        QPointF right;
        QPointF left;
    };
    const std::vector<Case> cases = {
        // An end of an open path points along its only edge, halfway.
        {"first of an open path", four, false, 0, {50, 0}, {-50, 0}},
        {"last of an open path", four, false, 3, {-50, 0}, {50, 0}},
        // Between neighbours: parallel to the line through them.
        {"an inner handle", four, false, 1, {25, 25}, {-25, -25}},
        {"first of a closed path", four, true, 0, {25, -25}, {-25, 25}},
        {"last of a closed path", four, true, 3, {-25, -25}, {25, 25}},
        // Unequal edges: the handle divides the shifted midpoints as the edges' lengths do.
        {"unequal edges", {{{0, 50}, {}}, {{100, 50}, {}}, {{100, 350}, {}}}, false, 1, {37.5, 112.5}, {-12.5, -37.5}},
        {"two handles, closed", {four[0], four[1]}, true, 1, {50, 0}, {-50, 0}},
        // A neighbour exactly at the origin counts as missing.
        {"a neighbour at the origin", {{{0, 0}, {}}, {{100, 0}, {}}, {{100, 100}, {}}}, false, 1, {0, 50}, {0, -50}},
        // A curved handle keeps its control points.
        {"already curved", {four[0], {{110, 10}, std::make_pair(QPointF(7, 3), QPointF(-2, -9))}, four[2]}, false, 1,
         {7, 3}, {-2, -9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(c.handles, c.closed);
        Select({c.selected});
        shape->MakeSelectedHandlesCurved();
        const MaskHandleGraphicsItem* h = shape->Handle(c.selected);
        ASSERT_TRUE(h->IsCurved());
        EXPECT_NEAR(QLineF(h->RightOffset(), c.right).length(), 0, 1e-6);
        EXPECT_NEAR(QLineF(h->LeftOffset(), c.left).length(), 0, 1e-6);
        EXPECT_TRUE(h->RightController()->isVisible()) << "the handle is selected";
        for (int i = 0; i < shape->HandleCount(); ++i) {
            const bool wasCurved = c.handles[static_cast<std::size_t>(i)].offsets.has_value();
            EXPECT_EQ(shape->Handle(i)->IsCurved(), i == c.selected || wasCurved) << i;
        }
    }
    Build({four[0]}, false);
    Select({0});
    shape->MakeSelectedHandlesCurved();
    EXPECT_FALSE(shape->Handle(0)->IsCurved()) << "a single point has no neighbours to follow";
}

TEST_F(MaskItemsTest, StraightenedControlPointsLeaveOnceWhateverGoesFirst)
{
    const auto curve = std::make_pair(QPointF(20, 0), QPointF(-20, 0));
    Build({{{0, 0}, curve}, {{100, 0}, curve}, {{100, 100}, curve}}, true);
    ASSERT_EQ(scene.items().size(), 10);
    Select({0, 2});
    shape->MakeSelectedHandlesStraight();
    EXPECT_FALSE(shape->Handle(0)->IsCurved());
    EXPECT_TRUE(shape->Handle(1)->IsCurved());
    EXPECT_FALSE(shape->Handle(2)->IsCurved());
    EXPECT_EQ(scene.items().size(), 6) << "the four control points are out of the scene";
    EXPECT_EQ(ElementPoints(shape->shape()),
              (std::vector<QPointF>{{0, 0}, {0, 0}, {80, 0}, {100, 0}, {120, 0}, {100, 100}, {100, 100},
                                    {100, 100}, {0, 0}, {0, 0}}));

    shape->DeleteSelectedHandles();
    EXPECT_EQ(scene.items().size(), 4) << "the outline and the curved handle with its control points";

    // Outside a scene too, the handles and then the whole outline may go before the control
    // points' deleters run: each item is deleted once (a second deletion brings the run down).
    Build({{{0, 0}, curve}, {{100, 0}, curve}, {{100, 100}, curve}}, true);
    scene.removeItem(shape);
    Select({0, 2});
    shape->MakeSelectedHandlesStraight();
    EXPECT_EQ(shape->childItems().size(), 3);
    EXPECT_EQ(shape->Handle(0)->childItems().size(), 0);
    shape->DeleteSelectedHandles();
    EXPECT_EQ(shape->childItems().size(), 1);
    RemoveCanvasItem(shape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    shape = new MaskShapeGraphicsItem();
}

TEST_F(MaskItemsTest, TheContextMenuActsOnTheSelectionOrOnTheHandleAlone)
{
    const auto curve = std::make_pair(QPointF(20, 0), QPointF(-20, 0));
    Build({{{0, 0}, {}}, {{100, 0}, curve}, {{100, 100}, {}}}, false);
    const auto texts = [](const QMenu& menu) {
        std::vector<std::string> result;
        for (const QAction* action : menu.actions()) {
            result.push_back(action->isSeparator() ? "--" : action->text().toStdString());
            if (!action->isSeparator()) {
                EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
            }
        }
        return result;
    };
    struct Case {
        const char* name;
        std::vector<int> selected;
        int clicked;
        std::vector<std::string> actions;
        int selectedAfter;
    };
    const std::vector<Case> cases = {
        {"a mixed selection", {0, 1}, 1,
         {"Make all selected straight", "Make all selected curved", "--", "Delete all selected"}, 2},
        {"straight handles", {0, 2}, 0, {"Make all selected curved", "--", "Delete all selected"}, 2},
        {"curved handles", {1}, 1, {"Make straight", "--", "Delete"}, 1},
        {"a handle outside the selection", {0, 2}, 1, {"Make straight", "--", "Delete"}, 1},
        {"a straight handle alone", {}, 2, {"Make curved", "--", "Delete"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Select(c.selected);
        const std::unique_ptr<QMenu> menu = shape->Handle(c.clicked)->ContextMenu();
        EXPECT_EQ(texts(*menu), c.actions);
        EXPECT_EQ(shape->SelectedHandleCount(), c.selectedAfter);
        EXPECT_TRUE(shape->Handle(c.clicked)->isSelected());
        EXPECT_TRUE(menu->styleSheet().startsWith("QMenu { color: #cbcbcb;"));
        EXPECT_EQ(menu->styleSheet().count("\t\t\t"), 4);
    }
}

} // namespace
} // namespace lumo::ui::testing
