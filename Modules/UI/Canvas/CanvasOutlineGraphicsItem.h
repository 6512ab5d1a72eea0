#pragma once

#include "Canvas/CanvasItemTypes.h"

#include <QGraphicsObject>

namespace lumo::ui {

// Darkens everything outside the canvas, frames the canvas and, for a greeting card printed from a
// preset or custom page, shows where the back of the card lies. Its bounding rectangle is the
// whole window cache rectangle, so a press anywhere on the shown canvas area that hits no handle
// lands on it: the view pans from there.
// The rectangle follows the render pipeline without prepareGeometryChange; that is sound only
// because the scene keeps no item index and the view repaints its whole viewport.
class CanvasOutlineGraphicsItem : public QGraphicsObject {
    Q_OBJECT

public:
    static constexpr qreal ZValue = 102;

    explicit CanvasOutlineGraphicsItem(QGraphicsItem* parent = nullptr);
    ~CanvasOutlineGraphicsItem() override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemOutline; }
};

} // namespace lumo::ui
