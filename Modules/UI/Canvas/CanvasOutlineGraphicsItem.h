#pragma once

#include "Canvas/CanvasItemTypes.h"

#include <QFont>
#include <QGraphicsObject>
#include <QPainterPath>

namespace lumo::app {
class Canvas;
}

namespace lumo::ui {

// A card folds along one edge of the canvas: a portrait card opens to the left, a landscape one
// upwards; the back is drawn beside the canvas. Cards whose size follows an image have no back.
bool ShowsBackOfCard(const app::Canvas& canvas);

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

    // What the shade darkens: the screen but the canvas, in scene coordinates; empty without a
    // project.
    static QPainterPath ShadePath();
    // Set by the scene for each paint: its backdrop already holds the shade (the outline is then
    // the lowest item, so the pixels are the same), and the outline draws only its frame.
    void SetShadePaintedBelow(bool painted) { m_shadePaintedBelow = painted; }

    // The back of a greeting card beside the canvas, in scene coordinates; a null rectangle when
    // the canvas is no card or its size follows an image.
    static QRect BackOfCardRect();
    static QFont BackOfCardFont();
    static QString BackOfCardText();

private:
    bool m_shadePaintedBelow = false;
};

} // namespace lumo::ui
