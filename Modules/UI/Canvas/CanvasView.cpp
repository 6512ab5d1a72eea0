#include "Canvas/CanvasView.h"

#include "Shell/Application.h"

#include "Project.h"

#include <QResizeEvent>

namespace lumo::ui {

namespace {

constexpr int kCentreMargin = 40;

} // namespace

CanvasView::CanvasView(QWidget* parent) : QGraphicsView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

CanvasView::~CanvasView() = default;

void CanvasView::UpdateCanvasCentre()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = app != nullptr ? app->GetDocument()->GetProject() : nullptr;
    if (!project)
        return;
    project->SetWindowWidth(static_cast<unsigned int>(width()));
    project->SetWindowHeight(static_cast<unsigned int>(height()));
    const int sideReserve = app->ToolsetWidth();
    const int topReserve = app->CanvasActionsHeight();
    const double freeWidth = width() - sideReserve - kCentreMargin;
    const double freeHeight = height() - topReserve - kCentreMargin;
    double centreX = freeWidth * 0.5;
    if (project->ToolsetPosition() == app::ToolsetPositionLeft)
        centreX += sideReserve;
    const double centreY = freeHeight * 0.5 + topReserve;
    project->GetCanvas().SetCentre(static_cast<int>(centreX + kCentreMargin / 2),
                                   static_cast<int>(centreY + kCentreMargin / 2));
}

void CanvasView::RemoveLayerHandles() {}

void CanvasView::RemoveShadowQuad() {}

void CanvasView::CreateTextItems() {}

void CanvasView::CreateMaskItems() {}

void CanvasView::StoreMaskHandles() {}

void CanvasView::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeRefreshAll)
        UpdateCanvasCentre();
}

void CanvasView::resizeEvent(QResizeEvent* event)
{
    if (scene() != nullptr) {
        scene()->setSceneRect(0, 0, width(), height());
        UpdateCanvasCentre();
    }
    QGraphicsView::resizeEvent(event);
}

} // namespace lumo::ui
