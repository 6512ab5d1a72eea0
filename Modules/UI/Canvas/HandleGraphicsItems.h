#pragma once

// The handles by which layers and text are moved, scaled and turned on the canvas. The items only
// draw themselves, report their geometry and track hovering; the canvas view places them and
// turns drags on them into edits of the model.

#include "Canvas/CanvasItemTypes.h"

#include <QGraphicsItem>
#include <QGraphicsRectItem>
#include <QObject>
#include <QPen>
#include <QPixmap>
#include <QUuid>

namespace lumo::ui {

// A ring on a stem above its origin, which the view puts on the centre of the layer or text it
// turns; while hovered, an arc round the origin shows the way it turns. Only the ring takes
// presses. Keeps its size on screen at every zoom. The hover arc reaches beyond the bounding
// rectangle: that is sound only because the view repaints its whole viewport.
class RotateHandleGraphicsItem : public QGraphicsItem {
public:
    // The ring's rectangle: 81 screen pixels above the origin to its centre.
    static constexpr QRectF RingRect{-11, -92, 22, 22};

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return m_type; }

    bool IsHovered() const { return m_hovered; }

protected:
    RotateHandleGraphicsItem(int type, qreal z, const QPointF& scenePosition);

    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    int m_type;
    bool m_hovered = false;
    QPen m_ringPen;
    QPen m_stemPen;
    QPen m_arcPen;
};

// A square on its quad, child of it, that scales the layer or text; while hovered it shows the
// scale icon. Keeps its size on screen at every zoom; the quad turns it with the layer.
class ScaleHandleGraphicsItem : public QGraphicsItem {
public:
    static constexpr QRectF HandleRect{-9, -9, 18, 18};

    QRectF boundingRect() const override { return HandleRect; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return m_type; }

    bool IsHovered() const { return m_hovered; }

protected:
    ScaleHandleGraphicsItem(int type, qreal z, qreal iconOpacity, const QPointF& position, QGraphicsItem* quad);

    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    int m_type;
    qreal m_iconOpacity;
    bool m_hovered = false;
    QPen m_pen;
    QPixmap m_icon;
};

class LayerScaleGraphicsItem final : public ScaleHandleGraphicsItem {
public:
    static constexpr qreal ZValue = 114;
    LayerScaleGraphicsItem(const QPointF& position, QGraphicsItem* quad);
};

class LayerRotateGraphicsItem final : public RotateHandleGraphicsItem {
public:
    static constexpr qreal ZValue = 115;
    explicit LayerRotateGraphicsItem(const QPointF& scenePosition);
};

class TextScaleGraphicsItem final : public ScaleHandleGraphicsItem {
public:
    static constexpr qreal ZValue = 105;
    TextScaleGraphicsItem(const QPointF& position, QGraphicsItem* quad);
};

class TextRotateGraphicsItem final : public RotateHandleGraphicsItem {
public:
    static constexpr qreal ZValue = 106;
    explicit TextRotateGraphicsItem(const QPointF& scenePosition);
};

// The outline of the layer being positioned, over the layer's pixel rectangle; the view gives it
// the layer's placement on the canvas. Carries the layer's scale handle at the centre.
class LayerQuadGraphicsItem : public QObject, public QGraphicsRectItem {
    Q_OBJECT

public:
    static constexpr qreal ZValue = 113;

    // layerId: the foreground slot's fixed id for the current foreground, else the layer's own.
    LayerQuadGraphicsItem(const QUuid& layerId, const QRectF& rect);

    const QUuid& LayerId() const { return m_layerId; }
    LayerScaleGraphicsItem* ScaleHandle() const { return m_scaleHandle; }
    double Rotation() const { return m_rotation; }
    // The rectangle's centre in the scene.
    QPointF Centre() const;
    // Turns the scale handle's square with the layer.
    void SetRotation(double degrees);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemLayerQuad; }

private:
    QUuid m_layerId;
    QPen m_pen;
    LayerScaleGraphicsItem* m_scaleHandle;
    double m_rotation = 0;
};

} // namespace lumo::ui
