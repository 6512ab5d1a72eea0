#include "Canvas/ShadowQuadGraphicsItems.h"

#include "Canvas/CanvasView.h"
#include "Shell/InterfaceConstants.h"

#include <QCursor>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QWidget>

namespace lumo::ui {

namespace {

// The first corners of a new quad, in scene coordinates; the view moves them to the model's quad.
constexpr std::array<QPointF, 4> kFirstCorners = {QPointF(0, 0), QPointF(100, 0), QPointF(100, 100),
                                                  QPointF(0, 100)};
// Dragging 200 screen pixels down doubles the quad.
constexpr double kScalePixels = 200.0;

QPen CosmeticPen(const QColor& colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style);
    pen.setCosmetic(true);
    return pen;
}

bool BothButtonsDown(const QGraphicsSceneMouseEvent* event)
{
    return event->buttons().testFlag(Qt::LeftButton) && event->buttons().testFlag(Qt::RightButton);
}

} // namespace

// ---- Marks: corners and edges

ShadowMarkGraphicsItem::ShadowMarkGraphicsItem(QGraphicsItem* quad, qreal z)
    : QGraphicsItem(quad), m_fill(canvascolors::White)
{
    setFlags(QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable |
             QGraphicsItem::ItemIgnoresTransformations);
    setAcceptHoverEvents(true);
    setZValue(z);
    setCursor(QCursor(QPixmap(QStringLiteral(":/Icons/MaskMoveCursor.png")), 0, 0));
}

bool ShadowMarkGraphicsItem::SpaceHeld(const QGraphicsSceneMouseEvent* event)
{
    const QWidget* viewport = event->widget();
    const auto* view = viewport != nullptr ? qobject_cast<const CanvasView*>(viewport->parentWidget()) : nullptr;
    return view != nullptr && view->IsSpaceHeld();
}

QBrush ShadowMarkGraphicsItem::MarkBrush() const
{
    return isSelected() || m_hovered ? QBrush(m_fill) : QBrush(Qt::NoBrush);
}

void ShadowMarkGraphicsItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    if (!isSelected())
        m_fill = canvascolors::Hover;
    m_hovered = true;
    QGraphicsItem::hoverEnterEvent(event);
}

void ShadowMarkGraphicsItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    m_fill = canvascolors::White;
    m_hovered = false;
    setSelected(false);
    QGraphicsItem::hoverLeaveEvent(event);
}

QVariant ShadowMarkGraphicsItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == QGraphicsItem::ItemSelectedChange && value.toBool())
        m_fill = canvascolors::White;
    return QGraphicsItem::itemChange(change, value);
}

// ---- Corner handles

ShadowHandleGraphicsItem::ShadowHandleGraphicsItem(QGraphicsItem* quad, const QPointF& position)
    : ShadowMarkGraphicsItem(quad, ZValue), m_pen(CosmeticPen(canvascolors::Accent, Qt::SolidLine))
{
    setPos(position);
    // From here on every move keeps the edges and the quad's outline with the corner.
    setFlag(QGraphicsItem::ItemSendsGeometryChanges, true);
}

void ShadowHandleGraphicsItem::SetEdges(ShadowEdgeGraphicsItem* previous, ShadowEdgeGraphicsItem* next)
{
    m_previous = previous;
    m_next = next;
}

QRectF ShadowHandleGraphicsItem::boundingRect() const
{
    return isEnabled() ? MarkRect : QRectF();
}

void ShadowHandleGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/,
                                     QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(MarkBrush());
    painter->setPen(m_pen);
    painter->drawRect(boundingRect());
}

void ShadowHandleGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (SpaceHeld(event))
        setFlag(QGraphicsItem::ItemIsMovable, false);
    QGraphicsItem::mousePressEvent(event);
}

void ShadowHandleGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    // Qt moves the corner (and whatever else is selected and movable); the edges follow in
    // itemChange.
    QGraphicsItem::mouseMoveEvent(event);
}

void ShadowHandleGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    setFlag(QGraphicsItem::ItemIsMovable, true);
    setSelected(false);
    QGraphicsItem::mouseReleaseEvent(event);
}

QVariant ShadowHandleGraphicsItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == QGraphicsItem::ItemPositionHasChanged) {
        if (m_previous != nullptr)
            m_previous->Recentre();
        if (m_next != nullptr)
            m_next->Recentre();
        if (parentItem() != nullptr && parentItem()->type() == CanvasItemShadowQuad)
            static_cast<ShadowQuadGraphicsItem*>(parentItem())->HandleMoved();
    }
    return ShadowMarkGraphicsItem::itemChange(change, value);
}

// ---- Edges

ShadowEdgeGraphicsItem::ShadowEdgeGraphicsItem(QGraphicsItem* quad, QGraphicsItem* first, QGraphicsItem* second)
    : ShadowMarkGraphicsItem(quad, ZValue),
      m_first(first),
      m_second(second),
      m_linePen(CosmeticPen(canvascolors::LightGreen, Qt::DashLine)),
      m_markPen(CosmeticPen(canvascolors::Accent, Qt::SolidLine))
{
    // An odd-length pattern is completed with a gap of 1; give it whole to keep Qt quiet.
    m_linePen.setDashPattern({5, 8, 5, 1});
    Recentre();
}

void ShadowEdgeGraphicsItem::Recentre()
{
    prepareGeometryChange();
    setPos((m_first->pos() + m_second->pos()) / 2);
}

QRectF ShadowEdgeGraphicsItem::boundingRect() const
{
    if (!isEnabled())
        return {};
    // The line between the corners, in screen pixels: the edge ignores the canvas's scale, so
    // the corners' offsets are scaled and turned by the linear part of the scene transform.
    QRectF reach = mapRectFromItem(m_first, m_first->boundingRect()) | mapRectFromItem(m_second, m_second->boundingRect());
    const QTransform toScene = sceneTransform();
    if (!toScene.isIdentity()) {
        const QTransform linear(toScene.m11(), toScene.m12(), 0, toScene.m21(), toScene.m22(), 0, 0, 0, toScene.m33());
        reach = linear.mapRect(reach);
    }
    return reach | MarkRect;
}

QPainterPath ShadowEdgeGraphicsItem::shape() const
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRect(MarkRect);
    return path;
}

void ShadowEdgeGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    // Drawn in view pixels: the view shows the scene unscaled from its top-left corner, so the
    // corners' scene positions are view pixels.
    const QPointF first = m_first->scenePos();
    const QPointF second = m_second->scenePos();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setWorldMatrixEnabled(false);
    painter->setPen(m_linePen);
    painter->setBrush(Qt::NoBrush);
    painter->drawLine(first, second);
    painter->setBrush(MarkBrush());
    painter->setPen(m_markPen);
    painter->drawEllipse(MarkRect.translated((first + second) / 2));
    painter->setWorldMatrixEnabled(true);
}

QLineF ShadowEdgeGraphicsItem::ToQuad(const QLineF& screenLine) const
{
    return sceneTransform().inverted().map(screenLine);
}

void ShadowEdgeGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (SpaceHeld(event)) {
        setFlag(QGraphicsItem::ItemIsMovable, false);
    } else if (event->button() == Qt::LeftButton) {
        m_dragging = true;
    } else if (event->button() == Qt::RightButton) {
        m_stretching = true;
        m_firstAtPress = m_first->pos();
        m_secondAtPress = m_second->pos();
        m_screenAtPress = event->screenPos();
        setSelected(true);
    }
    QGraphicsItem::mousePressEvent(event);
}

void ShadowEdgeGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    // Qt never moves the edge itself: the corners move and the edge follows them.
    if (BothButtonsDown(event))
        return;
    if (m_dragging) {
        const QLineF step = ToQuad(QLineF(event->lastScreenPos(), event->screenPos()));
        const QPointF by(step.dx(), step.dy());
        m_first->setPos(m_first->pos() + by);
        m_second->setPos(m_second->pos() + by);
    } else if (m_stretching) {
        // Down pushes the corners apart along the edge, up draws them together (and past each
        // other); whole pixels.
        const double along = ToQuad(QLineF(m_screenAtPress, event->screenPos())).dy();
        const QPointF centre = pos();
        const auto stretched = [&](const QPointF& atPress) {
            const QLineF outward(centre, atPress);
            if (outward.length() <= 0)
                return atPress;
            const QLineF unit = outward.unitVector();
            return atPress + QPointF(static_cast<int>(unit.dx() * along), static_cast<int>(unit.dy() * along));
        };
        const QPointF first = stretched(m_firstAtPress);
        const QPointF second = stretched(m_secondAtPress);
        m_first->setPos(first);
        m_second->setPos(second);
    } else {
        return;
    }
    if (auto* handle = dynamic_cast<ShadowHandleGraphicsItem*>(m_first); handle && handle->PreviousEdge())
        handle->PreviousEdge()->Recentre();
    if (auto* handle = dynamic_cast<ShadowHandleGraphicsItem*>(m_second); handle && handle->NextEdge())
        handle->NextEdge()->Recentre();
    Recentre();
}

void ShadowEdgeGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    m_dragging = false;
    m_stretching = false;
    setFlag(QGraphicsItem::ItemIsMovable, true);
    QGraphicsItem::mouseReleaseEvent(event);
}

// ---- The quad

ShadowQuadGraphicsItem::ShadowQuadGraphicsItem()
{
    setFlags(QGraphicsItem::ItemIsMovable | QGraphicsItem::ItemIsSelectable);
    setAcceptHoverEvents(true);
    setZValue(ZValue);
    for (std::size_t i = 0; i < m_handles.size(); ++i)
        m_handles[i] = new ShadowHandleGraphicsItem(this, mapFromScene(kFirstCorners[i]));
    for (std::size_t i = 0; i < m_edges.size(); ++i)
        m_edges[i] = new ShadowEdgeGraphicsItem(this, m_handles[i], m_handles[(i + 1) % m_handles.size()]);
    for (std::size_t i = 0; i < m_handles.size(); ++i)
        m_handles[i]->SetEdges(m_edges[(i + m_edges.size() - 1) % m_edges.size()], m_edges[i]);
}

ShadowQuadGraphicsItem::Corners ShadowQuadGraphicsItem::HandlePositions() const
{
    Corners corners;
    for (std::size_t i = 0; i < m_handles.size(); ++i)
        corners[i] = m_handles[i]->pos();
    return corners;
}

void ShadowQuadGraphicsItem::SetHandlePositions(const Corners& corners)
{
    for (std::size_t i = 0; i < m_handles.size(); ++i)
        m_handles[i]->setPos(corners[i]);
    RecentreEdges();
}

void ShadowQuadGraphicsItem::RecentreEdges()
{
    for (ShadowEdgeGraphicsItem* edge : m_edges)
        edge->Recentre();
}

QPainterPath ShadowQuadGraphicsItem::shape() const
{
    QPolygonF outline;
    for (const ShadowHandleGraphicsItem* handle : m_handles)
        outline << mapFromItem(handle, handle->boundingRect().center());
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

QRectF ShadowQuadGraphicsItem::boundingRect() const
{
    return shape().boundingRect();
}

void ShadowQuadGraphicsItem::paint(QPainter* /*painter*/, const QStyleOptionGraphicsItem* /*option*/,
                                   QWidget* /*widget*/)
{
    // The edges and corners draw the quad.
}

void ShadowQuadGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (ShadowMarkGraphicsItem::SpaceHeld(event)) {
        // Neither selected nor grabbed: the view pans.
        event->ignore();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
    } else if (event->button() == Qt::RightButton) {
        m_scaling = true;
        m_pressPosition = event->pos();
        m_handlesAtPress = HandlePositions();
    }
    QGraphicsItem::mousePressEvent(event);
}

void ShadowQuadGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (BothButtonsDown(event))
        return;
    if (m_dragging) {
        const QPointF by = event->pos() - event->lastPos();
        for (ShadowHandleGraphicsItem* handle : m_handles)
            handle->setPos(handle->pos() + by);
    } else if (m_scaling) {
        const QLineF drag = sceneTransform().inverted().map(QLineF(m_pressPosition, event->pos()));
        const double s = 1 + drag.dy() / (kScalePixels * m_scaleDivisor);
        const QTransform about = QTransform::fromTranslate(m_pressPosition.x(), m_pressPosition.y())
                                     .scale(s, s)
                                     .translate(-m_pressPosition.x(), -m_pressPosition.y());
        for (std::size_t i = 0; i < m_handles.size(); ++i)
            m_handles[i]->setPos(about.map(m_handlesAtPress[i]));
    } else {
        return;
    }
    RecentreEdges();
}

void ShadowQuadGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    m_dragging = false;
    m_scaling = false;
    QGraphicsItem::mouseReleaseEvent(event);
}

} // namespace lumo::ui
