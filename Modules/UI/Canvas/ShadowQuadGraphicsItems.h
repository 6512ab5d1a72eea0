#pragma once

// The editable quadrilateral of the cast shadow: four corner handles and four edges between them,
// children of the quad item. The view gives the quad the foreground's placement on the canvas, so
// handle positions are foreground pixels. Corners are dragged; an edge is dragged with the left
// button and stretched along itself with the right; the quad is dragged with the left button and
// scaled about the press with the right. While Space is held in the view, presses on these items
// start a pan instead.

#include "Canvas/CanvasItemTypes.h"

#include <QColor>
#include <QGraphicsItem>
#include <QPen>

#include <array>

namespace lumo::ui {

class ShadowEdgeGraphicsItem;
class ShadowQuadGraphicsItem;

// What corner handles and edges share: a mark of constant size on screen that is white while
// selected or hovered, the move cursor, and no move of their own while Space is held.
class ShadowMarkGraphicsItem : public QGraphicsItem {
public:
    static constexpr QRectF MarkRect{-6, -6, 12, 12};

    bool IsHovered() const { return m_hovered; }
    const QColor& FillColour() const { return m_fill; }

    // True while the view that delivers the press has Space held: presses on shadow items then
    // pan the canvas.
    static bool SpaceHeld(const QGraphicsSceneMouseEvent* event);

protected:
    ShadowMarkGraphicsItem(QGraphicsItem* quad, qreal z);

    QBrush MarkBrush() const;

    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    bool m_hovered = false;
    QColor m_fill;
};

class ShadowHandleGraphicsItem final : public ShadowMarkGraphicsItem {
public:
    static constexpr qreal ZValue = 111;

    ShadowHandleGraphicsItem(QGraphicsItem* quad, const QPointF& position);

    void SetEdges(ShadowEdgeGraphicsItem* previous, ShadowEdgeGraphicsItem* next);
    ShadowEdgeGraphicsItem* PreviousEdge() const { return m_previous; }
    ShadowEdgeGraphicsItem* NextEdge() const { return m_next; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemShadowHandle; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    ShadowEdgeGraphicsItem* m_previous = nullptr;
    ShadowEdgeGraphicsItem* m_next = nullptr;
    QPen m_pen;
};

class ShadowEdgeGraphicsItem final : public ShadowMarkGraphicsItem {
public:
    static constexpr qreal ZValue = 110;

    ShadowEdgeGraphicsItem(QGraphicsItem* quad, QGraphicsItem* first, QGraphicsItem* second);

    QGraphicsItem* FirstHandle() const { return m_first; }
    QGraphicsItem* SecondHandle() const { return m_second; }
    // Back to the midpoint of the two handles.
    void Recentre();

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemShadowEdge; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    // A screen line as a line in the quad's coordinates (the edge's own offset cancels).
    QLineF ToQuad(const QLineF& screenLine) const;

    bool m_dragging = false;
    bool m_stretching = false;
    QGraphicsItem* m_first;
    QGraphicsItem* m_second;
    QPointF m_firstAtPress;
    QPointF m_secondAtPress;
    QPointF m_screenAtPress;
    QPen m_linePen;
    QPen m_markPen;
};

class ShadowQuadGraphicsItem final : public QGraphicsItem {
public:
    static constexpr qreal ZValue = 112;
    // Handle order: top left, top right, bottom right, bottom left.
    using Corners = std::array<QPointF, 4>;

    ShadowQuadGraphicsItem();

    ShadowHandleGraphicsItem* Handle(int index) const { return m_handles.at(static_cast<std::size_t>(index)); }
    ShadowEdgeGraphicsItem* Edge(int index) const { return m_edges.at(static_cast<std::size_t>(index)); }
    Corners HandlePositions() const;
    void SetHandlePositions(const Corners& corners);
    void RecentreEdges();
    // The scale drag divides by it; the view sets 1 / canvas scale.
    float ScaleDivisor() const { return m_scaleDivisor; }
    void SetScaleDivisor(float divisor) { m_scaleDivisor = divisor; }
    // The outline changes with its handles.
    void HandleMoved() { prepareGeometryChange(); }

    QPainterPath shape() const override;
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemShadowQuad; }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    bool m_dragging = false;
    bool m_scaling = false;
    std::array<ShadowHandleGraphicsItem*, 4> m_handles{};
    std::array<ShadowEdgeGraphicsItem*, 4> m_edges{};
    QPointF m_pressPosition;
    Corners m_handlesAtPress;
    float m_scaleDivisor = 1.0f;
};

} // namespace lumo::ui
