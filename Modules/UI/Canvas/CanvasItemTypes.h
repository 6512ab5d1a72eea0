#pragma once

#include <QGraphicsItem>

namespace lumo::ui {

// What QGraphicsItem::type() answers for each item of the canvas scene; the view tells the items
// under the pointer apart by these numbers.
enum CanvasItemType : int {
    CanvasItemOutline = QGraphicsItem::UserType + 1,
    CanvasItemMaskShape = QGraphicsItem::UserType + 2,
    CanvasItemMaskHandle = QGraphicsItem::UserType + 3,
    CanvasItemMaskController = QGraphicsItem::UserType + 4,
    CanvasItemShadowEdge = QGraphicsItem::UserType + 5,
    CanvasItemShadowHandle = QGraphicsItem::UserType + 6,
    CanvasItemShadowQuad = QGraphicsItem::UserType + 7,
    CanvasItemLayerQuad = QGraphicsItem::UserType + 8,
    CanvasItemLayerScale = QGraphicsItem::UserType + 9,
    CanvasItemLayerRotate = QGraphicsItem::UserType + 10,
    CanvasItemTextLayer = QGraphicsItem::UserType + 11,
    CanvasItemTextQuad = QGraphicsItem::UserType + 12,
    CanvasItemTextScale = QGraphicsItem::UserType + 13,
    CanvasItemTextRotate = QGraphicsItem::UserType + 14,
    CanvasItemCrop = QGraphicsItem::UserType + 15,
};

} // namespace lumo::ui
