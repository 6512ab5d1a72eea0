#include "Canvas/CanvasOutlineGraphicsItem.h"

#include "Canvas/CanvasBackdropFrame.h"
#include "Canvas/CanvasScene.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"

#include "Project.h"

#include <QPainter>
#include <QPainterPath>

namespace lumo::ui {

namespace {

const QColor kFrameColour(77, 77, 77, 255);
const QColor kBackOfCardColour(77, 77, 77, 200);
constexpr int kBackOfCardPointSize = 8;

QPen FramePen(const QColor& colour, Qt::PenStyle style)
{
    QPen pen(colour, 1, style, Qt::SquareCap, Qt::BevelJoin);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

bool ShowsBackOfCard(const app::Canvas& canvas)
{
    return canvas.PrintAsCard() && (canvas.DimensionType() == app::CanvasDimensionPreset ||
                                    canvas.DimensionType() == app::CanvasDimensionCustom);
}

CanvasOutlineGraphicsItem::CanvasOutlineGraphicsItem(QGraphicsItem* parent) : QGraphicsObject(parent)
{
    setZValue(ZValue);
}

CanvasOutlineGraphicsItem::~CanvasOutlineGraphicsItem() = default;

QRectF CanvasOutlineGraphicsItem::boundingRect() const
{
    const Application* app = Application::Instance();
    return app != nullptr ? QRectF(app->WindowCacheRect()) : QRectF();
}

void CanvasOutlineGraphicsItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* /*option*/,
                                      QWidget* /*widget*/)
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (!project)
        return;
    const QRect canvasRect = CanvasRectInWorkspace();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setOpacity(1.0);
    if (!m_shadePaintedBelow) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(CanvasBackdrop::ShadeColour);
        painter->drawPath(ShadePath());
    }

    painter->setPen(FramePen(kFrameColour, Qt::SolidLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(canvasRect);

    const QRect back = BackOfCardRect();
    if (back.isNull())
        return;
    painter->setPen(FramePen(kBackOfCardColour, Qt::DashLine));
    painter->drawRect(back);
    painter->setFont(BackOfCardFont());
    painter->setPen(FramePen(kFrameColour, Qt::SolidLine));
    painter->drawText(back, Qt::AlignCenter, BackOfCardText());
}

QPainterPath CanvasOutlineGraphicsItem::ShadePath()
{
    const Application* app = Application::Instance();
    if (app == nullptr || !app->GetDocument()->GetProject())
        return QPainterPath();
    const QRect screen = app->ScreenGeometry();
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(QRect(0, 0, screen.width(), screen.height()));
    outside.addRect(CanvasRectInWorkspace());
    return outside;
}

QRect CanvasOutlineGraphicsItem::BackOfCardRect()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (!project || !ShowsBackOfCard(project->GetCanvas()))
        return QRect();
    const QRect canvasRect = CanvasRectInWorkspace();
    return project->GetCanvas().Orientation() == app::CanvasOrientationPortrait
               ? canvasRect.translated(canvasRect.left() - canvasRect.right() - 1, 0)
               : canvasRect.translated(0, canvasRect.top() - canvasRect.bottom() - 1);
}

QFont CanvasOutlineGraphicsItem::BackOfCardFont()
{
    QFont font(DefaultFontFamily, kBackOfCardPointSize, QFont::Bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QString CanvasOutlineGraphicsItem::BackOfCardText()
{
    return tr("Back of card");
}

} // namespace lumo::ui
