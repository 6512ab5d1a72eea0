#include "Canvas/CanvasViewPrivate.h"

namespace lumo::ui {

using namespace canvasview;

// ---- Items that follow the foreground: crop rectangle, shadow quad (and the mask shape)

void CanvasView::FollowForeground(QGraphicsItem& item, bool stopOnNegativeSize) const
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    item.setTransform(canvas.GetTransform());
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const app::ImageLayerPtr foreground = CurrentForeground(*manager);
    if (!foreground)
        return;
    const QSize size = foreground->Dimensions();
    if (stopOnNegativeSize && (size.width() < 0 || size.height() < 0))
        return;
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*manager);
    const auto transform = settings ? app::FindItemOfType<app::TransformationTransformItem>(
                                          settings->Transforms(), app::TransformItemTypeTransformation)
                                    : nullptr;
    QTransform placement;
    app::CombineLayerTransformation(transform.get(), static_cast<unsigned int>(std::max(0, size.width())),
                                    static_cast<unsigned int>(std::max(0, size.height())), canvas.Width(),
                                    canvas.Height(), placement, HXDownsampleFactor0);
    item.setTransform(placement, true);
}

CropGraphicsItem* CanvasView::Crop() const
{
    return d->crop;
}

ShadowQuadGraphicsItem* CanvasView::ShadowQuad() const
{
    return d->shadowQuad;
}

void CanvasView::CreateCropItem()
{
    RemoveCropItem();
    const app::ProjectPtr project = CurrentProject();
    if (scene() == nullptr || !project)
        return;
    const app::ImageLayerPtr foreground = CurrentForeground(*project->GetLayerManager());
    if (!foreground || foreground->Dimensions().width() < 0 || foreground->Dimensions().height() < 0)
        return;
    const QSize size = foreground->Dimensions();
    d->crop = new CropGraphicsItem(QRectF(0, 0, size.width(), size.height()));
    d->crop->hide();
    scene()->addItem(d->crop);
    UpdateCropItemTransform();
}

void CanvasView::UpdateCropItems(int edge)
{
    const app::ProjectPtr project = CurrentProject();
    if (d->crop == nullptr || !project)
        return;
    const auto crop = CropKey(*project->GetLayerManager());
    if (!crop)
        return;
    d->crop->SetEdges(crop->Left(), crop->Right(), crop->Top(), crop->Bottom());
    switch (edge) {
    case 1:
        d->crop->SetLeftEdge(crop->Left());
        break;
    case 2:
        d->crop->SetRightEdge(crop->Right());
        break;
    case 3:
        d->crop->SetTopEdge(crop->Top());
        break;
    case 4:
        d->crop->SetBottomEdge(crop->Bottom());
        break;
    default:
        break;
    }
}

void CanvasView::RemoveCropItem()
{
    RemoveCanvasItem(d->crop);
}

void CanvasView::UpdateCropItemTransform()
{
    if (d->crop != nullptr)
        FollowForeground(*d->crop, false);
}

void CanvasView::CreateShadowQuad()
{
    RemoveShadowQuad();
    const app::ProjectPtr project = CurrentProject();
    if (scene() == nullptr || !project)
        return;
    const auto shadow = ShadowFilter(*project->GetLayerManager());
    if (!shadow)
        return;
    d->shadowQuad = new ShadowQuadGraphicsItem();
    scene()->addItem(d->shadowQuad);
    const hvn::maths::HXQuadF& quad = shadow->ShadowQuad();
    if (quad.IsNull()) {
        PlaceDefaultShadowQuad();
    } else {
        const auto point = [](const hvn::maths::HXPoint2F& p) { return QPointF(p.X(), p.Y()); };
        d->shadowQuad->SetHandlePositions({point(quad.TopLeft()), point(quad.TopRight()), point(quad.BottomRight()),
                                           point(quad.BottomLeft())});
    }
    // Also when no default could be placed: the corners are then foreground pixels all the same.
    UpdateShadowQuadTransform();
}

void CanvasView::PlaceDefaultShadowQuad()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->shadowQuad == nullptr || !project)
        return;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const app::ImageLayerPtr foreground = CurrentForeground(*manager);
    const auto crop = CropKey(*manager);
    const auto shadow = ShadowFilter(*manager);
    if (!foreground || !crop || !shadow)
        return;
    const double W = foreground->Dimensions().width();
    const double H = foreground->Dimensions().height();
    if (W < 0 || H < 0)
        return;

    // The crop in whole pixels, while the crop key is on.
    double T = 0, L = 0, B = 0, R = 0;
    if (crop->IsEnabled()) {
        T = std::trunc(crop->Top() * H);
        L = std::trunc(crop->Left() * W);
        B = std::trunc(crop->Bottom() * H);
        R = std::trunc(crop->Right() * W);
    }
    const double Wc = W - R;
    const double Hc = H - B;
    const double w = Wc - L;
    const double Ym = T + (H - T + B) * 0.5 - B;
    ShadowQuadGraphicsItem::Corners corners;
    switch (static_cast<int>(shadow->Shape())) {
    case 0:
        corners = {QPointF(Wc, Ym), QPointF(Wc + w * 0.5, Ym), QPointF(Wc, Hc), QPointF(L, Hc)};
        break;
    case 1:
        corners = {QPointF(L - w * 0.5, Ym), QPointF(L, Ym), QPointF(Wc, Hc), QPointF(L, Hc)};
        break;
    case 2: {
        const double dx = 0.1 * (W - L + R);
        const double dy = 0.1 * (H - T + B);
        corners = {QPointF(L + dx, T + dy), QPointF(Wc + dx, T + dy), QPointF(Wc + dx, Hc + dy),
                   QPointF(L + dx, Hc + dy)};
        break;
    }
    case 3:
        corners = {QPointF(L - w * 0.25, Ym + H), QPointF(Wc + w * 0.25, Ym + H), QPointF(Wc, Hc), QPointF(L, Hc)};
        break;
    default:
        return;
    }
    // A corner exactly at the origin means there was nothing to place the quad by (an empty
    // foreground); QPointF's == would be fuzzy here.
    if (std::any_of(corners.begin(), corners.end(), [](const QPointF& p) { return p.x() == 0 && p.y() == 0; }))
        return;
    d->shadowQuad->SetHandlePositions(corners);
    UpdateShadowQuadTransform();
    StoreShadowQuad();
}

void CanvasView::RemoveShadowQuad()
{
    RemoveCanvasItem(d->shadowQuad);
}

void CanvasView::SetShadowQuadEnabled(bool enabled)
{
    if (d->shadowQuad == nullptr)
        return;
    d->shadowQuad->setEnabled(enabled);
    d->shadowQuad->setVisible(enabled);
}

void CanvasView::StoreShadowQuad()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->shadowQuad == nullptr || !project)
        return;
    const auto shadow = ShadowFilter(*project->GetLayerManager());
    if (!shadow)
        return;
    const ShadowQuadGraphicsItem::Corners corners = d->shadowQuad->HandlePositions();
    const auto point = [](const QPointF& p) { return hvn::maths::HXPoint2F(p.x(), p.y()); };
    shadow->SetShadowQuad(hvn::maths::HXQuadF(point(corners[0]), point(corners[1]), point(corners[2]), point(corners[3])));
}

void CanvasView::UpdateShadowQuadTransform()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->shadowQuad == nullptr || !project)
        return;
    FollowForeground(*d->shadowQuad, false);
    const float scale = project->GetCanvas().Scale();
    if (scale > 0)
        d->shadowQuad->SetScaleDivisor(1.0f / scale);
}

void CanvasView::DeselectShadowQuad()
{
    if (d->shadowQuad == nullptr)
        return;
    d->shadowQuad->setSelected(false);
    for (int i = 0; i < 4; ++i) {
        d->shadowQuad->Handle(i)->setSelected(false);
        d->shadowQuad->Edge(i)->setSelected(false);
    }
}

// The shadow quad's corners are written back when a drag of it ends with the foreground's filters
// open; the full-resolution redraw follows a drag.
void CanvasView::ReleaseShadowDrag()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->shadowQuad != nullptr && project && project->CurrentToolset() == app::ToolsetSectionFilters &&
        project->CurrentLayerType() == app::LayerTypeForeground)
        StoreShadowQuad();
    if (d->shadowDrag) {
        d->shadowDrag = false;
        if (Application* app = Application::Instance())
            emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
    }
}

} // namespace lumo::ui
