#pragma once

#include "Canvas/CanvasItemTypes.h"

#include <QGraphicsRectItem>
#include <QObject>
#include <QPen>

class QTimeLine;
class QTimer;

namespace lumo::ui {

// The crop key's edges over the foreground: the border that is cut away is tinted, the edge that
// changed last is drawn as a line. Shown when an edge changes, it stays for two seconds and then
// fades out over (at most) one. Takes no mouse input. The view gives it the foreground's
// placement, so its coordinates are the foreground's pixels.
class CropGraphicsItem : public QObject, public QGraphicsRectItem {
    Q_OBJECT

public:
    static constexpr qreal ZValue = 116;
    static constexpr int HoldMilliseconds = 2000;
    static constexpr int FadeMilliseconds = 1000;

    // rect: the foreground's pixel rectangle from (0, 0).
    explicit CropGraphicsItem(const QRectF& rect);

    // The kept rectangle from the fractions cut off at each edge; no edge is highlighted. Leaves
    // visibility and timers alone.
    void SetEdges(double left, double right, double top, double bottom);
    // One edge from its fraction, highlighted; shows the item at full opacity and holds it anew.
    void SetLeftEdge(double fraction);
    void SetRightEdge(double fraction);
    void SetTopEdge(double fraction);
    void SetBottomEdge(double fraction);

    // The kept rectangle in the item's coordinates.
    QRectF InnerRect() const;
    // 0 none, 1 left, 2 right, 3 top, 4 bottom.
    int ActiveEdge() const { return m_activeEdge; }
    double FadeOpacity() const { return m_opacity; }
    QTimeLine* FadeTimeLine() const { return m_fade; }
    QTimer* HoldTimer() const { return m_hold; }

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return CanvasItemCrop; }

public slots:
    // Each frame of the fade takes frame / 1000 off the opacity: the decrement grows, so the fade
    // ends well before its second is over.
    void FadeItem(int frame);
    void BeginToFadeOut();

private:
    void ShowEdge(int edge);

    double m_left;
    double m_top;
    double m_right;
    double m_bottom;
    int m_activeEdge = 0;
    double m_opacity = 0;
    QPen m_framePen;
    QPen m_edgePen;
    QTimeLine* m_fade;
    QTimer* m_hold;
};

} // namespace lumo::ui
