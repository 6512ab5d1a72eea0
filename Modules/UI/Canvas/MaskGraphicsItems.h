#pragma once

// The selected mask on the canvas: the outline item, one handle item per point of the path, and
// the two Bezier control points of a curved handle. The view gives the outline the foreground's
// placement on the canvas, so the outline's coordinates are foreground pixels. Handles are
// children of the outline; control points are children of their handle, so a control point's
// position is an offset from its handle (the left one shapes the segment arriving at the handle,
// the right one the segment leaving it). The items are the editing copy of the mask: the view
// builds them from the model and writes them back when an edit ends.

#include "Canvas/CanvasItemTypes.h"

#include <QColor>
#include <QGraphicsItem>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QPen>
#include <QUuid>

#include <memory>
#include <optional>

class QAction;
class QMenu;

namespace lumo::ui {

class MaskHandleGraphicsItem;

// A rectangle given in screen pixels, in the item's coordinates: the item's scene transform
// without its translation is undone, so the rectangle keeps its size on screen at every zoom.
// View pixels are scene coordinates on the canvas. A transform that cannot be undone (a scale of
// nothing) leaves the rectangle as it is.
QRectF ScreenConstantRect(const QGraphicsItem& item, const QRectF& screenRect);

// A Bezier control point of a curved handle. Drawn only while its handle is selected; presses on
// it reach the handle, which drags it.
class MaskControllerGraphicsItem final : public QGraphicsItem {
public:
    static constexpr qreal ZValue = 109;
    static constexpr QRectF MarkRect{-4, -4, 8, 8};
    static constexpr QRectF HitRect{-5, -5, 10, 10};

    MaskControllerGraphicsItem(const QPointF& offset, MaskHandleGraphicsItem* handle);

    // Whether a scene point lies on the control point (a little beyond its mark).
    bool Hits(const QPointF& scenePoint) const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemMaskController; }

private:
    QPen m_pen;
};

// Which kinds of handle a selection holds.
enum class MaskHandleKinds { None, StraightOnly, CurvedOnly, Both };

// One point of the mask's path: straight (a square, no control points) or curved (a circle with
// both control points). A handle placed by a click stays unsettled while that press is held:
// pulling then draws its control points out instead of moving it.
class MaskHandleGraphicsItem final : public QObject, public QGraphicsItem {
    Q_OBJECT
    Q_INTERFACES(QGraphicsItem)

public:
    static constexpr qreal ZValue = 108;
    static constexpr QRectF MarkRect{-6, -6, 12, 12};
    // A pull longer than this many screen pixels draws the control points out.
    static constexpr int PullDistance = 10;

    // A straight handle; movable once settled.
    MaskHandleGraphicsItem(const QPointF& position, bool settled, QGraphicsItem* shape);
    // A settled curved handle with control points at the offsets.
    MaskHandleGraphicsItem(const QPointF& position, const QPointF& rightOffset, const QPointF& leftOffset,
                           QGraphicsItem* shape);

    const QUuid& Id() const { return m_id; }
    bool IsCurved() const { return m_right != nullptr && m_left != nullptr; }
    bool IsSettled() const { return m_settled; }
    bool IsClosing() const { return m_closing; }
    bool IsHovered() const { return m_hovered; }
    const QColor& FillColour() const { return m_fill; }
    MaskControllerGraphicsItem* RightController() const { return m_right; }
    MaskControllerGraphicsItem* LeftController() const { return m_left; }
    // The control points' offsets from the handle; the handle itself when straight.
    QPointF RightOffset() const;
    QPointF LeftOffset() const;

    // Marks the first handle as the one that has just closed the path, for the press that did.
    void SetClosing(bool closing) { m_closing = closing; }
    // Both control points leave (from the event loop); the handle becomes straight.
    void RemoveControllers();
    // Gives a straight handle control points along the line through its neighbours (Qt's origin,
    // exactly, stands for a missing neighbour, as at the ends of an open path); a curved handle
    // is left as it is.
    void CreateSmoothControllers(const QPointF& next, const QPointF& previous);
    // Places one control point; the other stays opposite it: at its own distance, or, with Ctrl
    // held during the drag, as its exact mirror.
    void MoveRightController(const QPointF& offset);
    void MoveLeftController(const QPointF& offset);
    // Moves one control point alone; nothing for a straight handle.
    void SetRightOffset(const QPointF& offset);
    void SetLeftOffset(const QPointF& offset);
    void SetControllersVisible(bool visible);

    // The context menu for this handle: for a selection of several handles the commands act on
    // all of them; otherwise the selection becomes this handle alone. Built apart from running it.
    std::unique_ptr<QMenu> ContextMenu();

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemMaskHandle; }

public slots:
    void MakeHandlesStraight();
    void MakeHandlesCurved();
    void DeleteHandles();

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    void Initialise();
    // The outline changes with the handle's control points (and the handle's own rectangle
    // with them), or with its position alone.
    void OutlineChanging();
    void ShapeChanging();
    void CreateControllers(const QPointF& rightOffset, const QPointF& leftOffset);
    // A pull from the press to the pointer long enough on screen to draw control points out.
    bool IsLongPull(const QPointF& at) const;
    // Puts `moved` at the offset and `other` on the far side of the handle's centre.
    void MoveController(MaskControllerGraphicsItem* moved, MaskControllerGraphicsItem* other, const QPointF& offset);

    QUuid m_id;
    MaskControllerGraphicsItem* m_right = nullptr;
    MaskControllerGraphicsItem* m_left = nullptr;
    bool m_settled = true;
    bool m_draggingRight = false;
    bool m_draggingLeft = false;
    bool m_keepCollinear = true;
    bool m_closing = false;
    bool m_hovered = false;
    QAction* m_straightAction = nullptr;
    QAction* m_curvedAction = nullptr;
    QAction* m_deleteAction = nullptr;
    QColor m_fill;
    QPen m_pen;
    QPen m_controllerLinePen;
    QPointF m_pressPosition;
};

// The outline of the mask through its handles: closed or open, filled while closed, tinting
// everything outside it when inverted, with the feather drawn as a band along it. A closed,
// selected outline is dragged whole.
class MaskShapeGraphicsItem final : public QGraphicsItem {
public:
    static constexpr qreal ZValue = 107;
    // A click inserts a point on the outline within this many screen pixels of it.
    static constexpr qreal InsertTolerance = 6;

    MaskShapeGraphicsItem();
    ~MaskShapeGraphicsItem() override;

    // The mask the items were built from; the view writes them back into it.
    const QUuid& MaskId() const { return m_maskId; }
    void SetMaskId(const QUuid& id) { m_maskId = id; }

    const QList<MaskHandleGraphicsItem*>& Handles() const { return m_handles; }
    int HandleCount() const { return static_cast<int>(m_handles.size()); }
    MaskHandleGraphicsItem* Handle(int index) const { return m_handles.at(index); }
    bool IsClosed() const { return m_closed; }
    int Feather() const { return m_feather; }
    bool IsRemove() const { return m_remove; }
    bool IsInverted() const { return m_inverted; }
    bool IsMoving() const { return m_moving; }

    // Sets the flag alone, as when the items are built; SetClosed also tells the mask panel.
    void SetClosedFlag(bool closed) { m_closed = closed; }
    // Opens or closes the path and tells the mask panel; with resetFirstLeftController the first
    // handle's arriving control point goes back onto the handle.
    void SetClosed(bool resetFirstLeftController, bool closed);
    void SetFeather(int feather);
    void SetRemove(bool remove) { m_remove = remove; }
    // An inverted, closed outline tints everything outside it.
    void SetInverted(bool inverted);

    MaskHandleGraphicsItem* AppendHandle(const QPointF& position);
    MaskHandleGraphicsItem* AppendCurvedHandle(const QPointF& position, const QPointF& rightOffset,
                                               const QPointF& leftOffset);
    // A click in create mode: a point on the outline is inserted there; elsewhere an open path
    // gets a new, unsettled last point (a closed one nothing).
    void AddHandleAt(const QPointF& scenePoint);
    // A click in create mode on the handle with the id: closes an open path of 3 or more points on
    // its first point.
    bool CloseAtHandle(const QUuid& handleId);
    // Inserts a point where the point (outline coordinates) lies on the outline.
    bool InsertHandleOnCurve(const QPointF& point);

    void MakeSelectedHandlesStraight();
    void MakeSelectedHandlesCurved();
    // Removes the selected handles; a closed path left with fewer than 3 opens.
    void DeleteSelectedHandles();
    int SelectedHandleCount() const;
    MaskHandleKinds SelectedHandleKinds() const;

    // Where a handle's move or its control points change the outline.
    void OutlineChanging() { prepareGeometryChange(); }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemMaskShape; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    // The point that splits the segment from `first` to `second` where the point lies on it (within
    // the tolerance on screen); the control points of the two halves are set so that the curve
    // keeps its shape. None when the point is off the segment.
    MaskHandleGraphicsItem* SplitSegmentAt(const QPointF& point, MaskHandleGraphicsItem* first,
                                           MaskHandleGraphicsItem* second);
    // Everything the screen shows, in outline coordinates: the inverted tint covers it.
    QRectF ScreenRect(const QWidget* widget) const;

    QUuid m_maskId;
    QList<MaskHandleGraphicsItem*> m_handles;
    bool m_moving = false;
    bool m_closed = false;
    int m_feather = 0;
    bool m_remove = true;
    bool m_inverted = false;
    QColor m_fill;
    QColor m_featherColour;
    QPen m_outlinePen;
};

// The segment from the first handle to the second: a cubic whose control points are the handles'
// own control points (the handle itself where it is straight).
QPainterPath MaskSegmentPath(const MaskHandleGraphicsItem& first, const MaskHandleGraphicsItem& second);
// The curve parameter of the path's point nearest to the point, to a thousandth: the first of the
// nearest samples, distances measured in whole units of the path's coordinates.
float NearestCurveParameter(const QPainterPath& path, const QPointF& point);

} // namespace lumo::ui
