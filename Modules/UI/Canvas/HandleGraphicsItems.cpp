#include "Canvas/HandleGraphicsItems.h"

#include "Shell/InterfaceConstants.h"

#include <QPainter>
#include <QPainterPath>

namespace lumo::ui {

namespace {

// The hover arc: a circle of radius 82 round the origin with a gap of 16 degrees at the top,
// where the ring sits (Qt counts in sixteenths of a degree, anticlockwise from three o'clock).
constexpr QRectF kArcRect(-82, -82, 164, 164);
constexpr int kArcStart = 98 * 16;
constexpr int kArcSpan = 344 * 16;
constexpr QPointF kStemTop(0, -70);
constexpr QPointF kStemBottom(0, -9);

constexpr qreal kLayerIconOpacity = 0.8;
constexpr qreal kTextIconOpacity = 0.5;

QPen HandlePen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

// ---- Rotate handles

RotateHandleGraphicsItem::RotateHandleGraphicsItem(int type, qreal z, const QPointF& scenePosition)
    : m_type(type),
      m_ringPen(HandlePen(canvascolors::Accent, 2)),
      m_stemPen(HandlePen(canvascolors::PaleGreen, 1)),
      m_arcPen(HandlePen(canvascolors::PaleGreen, 1))
{
    setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIgnoresTransformations);
    setAcceptHoverEvents(true);
    setZValue(z);
    setPos(scenePosition);
}

QRectF RotateHandleGraphicsItem::boundingRect() const
{
    return {-11, -92, 22, 81};
}

QPainterPath RotateHandleGraphicsItem::shape() const
{
    QPainterPath path;
    path.addEllipse(RingRect);
    return path;
}

void RotateHandleGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/,
                                     QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    if (m_hovered) {
        painter->setPen(m_arcPen);
        painter->drawArc(kArcRect, kArcStart, kArcSpan);
    }
    painter->setPen(m_stemPen);
    painter->drawLine(kStemTop, kStemBottom);
    painter->setPen(m_ringPen);
    painter->drawEllipse(RingRect);
}

void RotateHandleGraphicsItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = true;
    QGraphicsItem::hoverEnterEvent(event);
}

void RotateHandleGraphicsItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = false;
    QGraphicsItem::hoverLeaveEvent(event);
}

// ---- Scale handles

ScaleHandleGraphicsItem::ScaleHandleGraphicsItem(int type, qreal z, qreal iconOpacity, const QPointF& position,
                                                 QGraphicsItem* quad)
    : QGraphicsItem(quad),
      m_type(type),
      m_iconOpacity(iconOpacity),
      m_pen(HandlePen(canvascolors::Accent, 2)),
      m_icon(QStringLiteral(":/Canvas/ScaleIcon.png"))
{
    setFlags(QGraphicsItem::ItemIsSelectable | QGraphicsItem::ItemIgnoresTransformations);
    setAcceptHoverEvents(true);
    setZValue(z);
    setPos(position);
}

void ScaleHandleGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/,
                                    QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (m_hovered) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter->setOpacity(m_iconOpacity);
        painter->drawPixmap(QPointF(-m_icon.width() / 2.0, -m_icon.height() / 2.0), m_icon);
    }
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->setOpacity(1.0);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(m_pen);
    painter->drawRect(HandleRect);
}

void ScaleHandleGraphicsItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = true;
    QGraphicsItem::hoverEnterEvent(event);
}

void ScaleHandleGraphicsItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = false;
    QGraphicsItem::hoverLeaveEvent(event);
}

// ---- The layer's and the text's handles

LayerScaleGraphicsItem::LayerScaleGraphicsItem(const QPointF& position, QGraphicsItem* quad)
    : ScaleHandleGraphicsItem(CanvasItemLayerScale, ZValue, kLayerIconOpacity, position, quad)
{
}

LayerRotateGraphicsItem::LayerRotateGraphicsItem(const QPointF& scenePosition)
    : RotateHandleGraphicsItem(CanvasItemLayerRotate, ZValue, scenePosition)
{
}

TextScaleGraphicsItem::TextScaleGraphicsItem(const QPointF& position, QGraphicsItem* quad)
    : ScaleHandleGraphicsItem(CanvasItemTextScale, ZValue, kTextIconOpacity, position, quad)
{
}

TextRotateGraphicsItem::TextRotateGraphicsItem(const QPointF& scenePosition)
    : RotateHandleGraphicsItem(CanvasItemTextRotate, ZValue, scenePosition)
{
}

// ---- Layer quad

LayerQuadGraphicsItem::LayerQuadGraphicsItem(const QUuid& layerId, const QRectF& rect)
    : QGraphicsRectItem(rect), m_layerId(layerId), m_pen(HandlePen(canvascolors::Accent, 1))
{
    m_pen.setCosmetic(true);
    setZValue(ZValue);
    m_scaleHandle = new LayerScaleGraphicsItem(mapFromScene(rect.center()), this);
}

QPointF LayerQuadGraphicsItem::Centre() const
{
    return mapToScene(rect().center());
}

void LayerQuadGraphicsItem::SetRotation(double degrees)
{
    m_rotation = degrees;
    m_scaleHandle->setTransform(QTransform().rotate(degrees, Qt::ZAxis));
    update();
}

QRectF LayerQuadGraphicsItem::boundingRect() const
{
    return rect().adjusted(-0.5, -0.5, 0.5, 0.5);
}

void LayerQuadGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(m_pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect());
}

} // namespace lumo::ui
