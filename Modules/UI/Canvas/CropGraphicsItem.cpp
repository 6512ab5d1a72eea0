#include "Canvas/CropGraphicsItem.h"

#include "Shell/InterfaceConstants.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimeLine>
#include <QTimer>

#include <algorithm>

namespace lumo::ui {

namespace {

constexpr int kFadeFrames = 1000;

QPen CosmeticPen(const QColor& colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

CropGraphicsItem::CropGraphicsItem(const QRectF& rect)
    : QGraphicsRectItem(rect),
      m_left(rect.left()),
      m_top(rect.top()),
      m_right(rect.right()),
      m_bottom(rect.bottom()),
      m_framePen(CosmeticPen(canvascolors::LightGreen, Qt::DashLine)),
      m_edgePen(CosmeticPen(canvascolors::Grey, Qt::SolidLine)),
      m_fade(new QTimeLine(FadeMilliseconds, this)),
      m_hold(new QTimer(this))
{
    // An odd-length pattern is completed with a gap of 1; give it whole to keep Qt quiet.
    m_framePen.setDashPattern({5, 8, 5, 1});
    m_fade->setFrameRange(0, kFadeFrames);
    m_hold->setSingleShot(true);
    setZValue(ZValue);
    setEnabled(false);
    setCacheMode(QGraphicsItem::NoCache);
    connect(m_fade, &QTimeLine::frameChanged, this, &CropGraphicsItem::FadeItem);
    connect(m_hold, &QTimer::timeout, this, &CropGraphicsItem::BeginToFadeOut);
}

void CropGraphicsItem::SetEdges(double left, double right, double top, double bottom)
{
    const double w = rect().width();
    const double h = rect().height();
    m_left = w * left;
    m_top = h * top;
    m_right = w - w * right;
    m_bottom = h - h * bottom;
    m_activeEdge = 0;
    update();
}

void CropGraphicsItem::SetLeftEdge(double fraction)
{
    m_left = rect().width() * fraction;
    ShowEdge(1);
}

void CropGraphicsItem::SetRightEdge(double fraction)
{
    m_right = rect().width() - rect().width() * fraction;
    ShowEdge(2);
}

void CropGraphicsItem::SetTopEdge(double fraction)
{
    m_top = rect().height() * fraction;
    ShowEdge(3);
}

void CropGraphicsItem::SetBottomEdge(double fraction)
{
    m_bottom = rect().height() - rect().height() * fraction;
    ShowEdge(4);
}

void CropGraphicsItem::ShowEdge(int edge)
{
    m_activeEdge = edge;
    show();
    if (m_fade->state() == QTimeLine::Running)
        m_fade->setPaused(true);
    m_opacity = 1.0;
    m_hold->start(HoldMilliseconds);
    update();
}

void CropGraphicsItem::BeginToFadeOut()
{
    m_hold->stop();
    m_opacity = 1.0;
    m_fade->setStartFrame(0);
    // A fade paused by a change is started over; a running one is left to run.
    if (m_fade->state() != QTimeLine::Running)
        m_fade->start();
}

void CropGraphicsItem::FadeItem(int frame)
{
    m_opacity -= frame / static_cast<double>(kFadeFrames);
    update();
    if (m_opacity <= 0) {
        if (m_fade->state() == QTimeLine::Running)
            m_fade->setPaused(true);
        hide();
    }
}

QRectF CropGraphicsItem::InnerRect() const
{
    return {m_left, m_top, m_right - m_left, m_bottom - m_top};
}

QRectF CropGraphicsItem::boundingRect() const
{
    return rect().adjusted(-0.5, -0.5, 0.5, 0.5);
}

void CropGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/, QWidget* /*widget*/)
{
    const QRectF whole = rect();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setOpacity(std::max(0.0, m_opacity));
    painter->setPen(m_framePen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(whole);

    QPainterPath cutAway;
    cutAway.setFillRule(Qt::OddEvenFill);
    cutAway.addRect(whole);
    cutAway.addRect(InnerRect());
    painter->setPen(Qt::NoPen);
    painter->setBrush(canvascolors::CyanFill);
    painter->drawPath(cutAway);

    painter->setPen(m_edgePen);
    painter->setBrush(Qt::NoBrush);
    const double w = whole.width();
    const double h = whole.height();
    switch (m_activeEdge) {
    case 1:
        painter->drawLine(QPointF(m_left, 0), QPointF(m_left, h));
        break;
    case 2:
        painter->drawLine(QPointF(m_right, h), QPointF(m_right, 0));
        break;
    case 3:
        painter->drawLine(QPointF(w, m_top), QPointF(0, m_top));
        break;
    case 4:
        painter->drawLine(QPointF(w, m_bottom), QPointF(0, m_bottom));
        break;
    default:
        break;
    }
}

} // namespace lumo::ui
