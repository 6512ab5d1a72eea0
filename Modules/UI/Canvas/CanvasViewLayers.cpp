#include "Canvas/CanvasViewPrivate.h"

namespace lumo::ui {

using namespace canvasview;

std::optional<LayerHandleChoice> ChooseLayerHandles(const app::Project& project)
{
    const app::LayerManagerPtr manager = project.GetLayerManager();
    if (!manager)
        return std::nullopt;
    LayerHandleChoice choice;
    switch (project.CurrentToolset()) {
    case app::ToolsetSectionPosition:
        if (project.CurrentLayerType() != app::LayerTypeBackground) {
            choice.handleId = manager->LayerList()->StaticForegroundId();
            const QUuid& current = manager->CurrentForegroundId();
            choice.layer = current.isNull() ? nullptr : manager->GetForeground(current);
            choice.visible = manager->ForegroundLayerList()->IsEnabled();
        } else {
            choice.layer = manager->GetBackground();
            choice.handleId = choice.layer ? choice.layer->Id() : QUuid();
            choice.visible = choice.layer && choice.layer->IsEnabled();
        }
        break;
    case app::ToolsetSectionLayers:
        choice.handleId = manager->LayerList()->CurrentlySelectedLayer();
        choice.layer = choice.handleId.isNull() ? nullptr : manager->GetLayer(choice.handleId);
        choice.visible = choice.layer && choice.layer->IsEnabled() && PlacedByHand(*manager, choice.handleId);
        break;
    case app::ToolsetSectionOverlay:
        choice.layer = manager->GetOverlay();
        choice.handleId = choice.layer ? choice.layer->Id() : QUuid();
        choice.visible = choice.layer && choice.layer->IsEnabled() && PlacedByHand(*manager, choice.handleId);
        break;
    default:
        return std::nullopt;
    }
    if (!choice.layer || !choice.layer->IsValid())
        return std::nullopt;
    return choice;
}

// ---- Layer handles

LayerQuadGraphicsItem* CanvasView::LayerQuad() const
{
    return d->layerQuad;
}

LayerRotateGraphicsItem* CanvasView::LayerRotate() const
{
    return d->layerRotateItem;
}

app::LMerr CanvasView::FindLayerTransformItem(const QUuid& layerId, app::LayerType& type,
                                              std::shared_ptr<app::TransformationTransformItem>& item) const
{
    item.reset();
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return app::LMerrTransformNotFound;
    const app::LayerManagerPtr manager = project->GetLayerManager();
    if (layerId == manager->LayerList()->StaticForegroundId()) {
        type = app::LayerTypeForeground;
        if (const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*manager))
            item = app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                         app::TransformItemTypeTransformation);
    } else {
        const app::ImageLayerPtr layer = manager->GetLayer(layerId);
        if (!layer)
            return app::LMerrTransformNotFound;
        type = layer->Type();
        if (const app::ImageLayerSettingsPtr settings = manager->GetLayerSettings(layerId))
            item = app::FindItemOfType<app::TransformationTransformItem>(settings->Transforms(),
                                                                         app::TransformItemTypeTransformation);
    }
    return item ? app::LMerrSuccess : app::LMerrTransformNotFound;
}

QSize CanvasView::LayerPixelSize(const QUuid& layerId) const
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return {0, 0};
    const app::LayerManagerPtr manager = project->GetLayerManager();
    app::ImageLayerPtr layer;
    if (layerId == manager->LayerList()->StaticForegroundId())
        layer = CurrentForeground(*manager);
    else
        layer = manager->GetLayer(layerId);
    return layer ? layer->Dimensions() : QSize(0, 0);
}

void CanvasView::CreateLayerHandles(const QUuid& layerId)
{
    RemoveLayerHandles();
    const QSize size = LayerPixelSize(layerId);
    if (scene() == nullptr || size.width() < 0 || size.height() < 0)
        return;
    d->layerQuad = new LayerQuadGraphicsItem(layerId, QRectF(0, 0, size.width(), size.height()));
    d->layerRotateItem = new LayerRotateGraphicsItem(d->layerQuad->Centre());
    scene()->addItem(d->layerQuad);
    scene()->addItem(d->layerRotateItem);
}

void CanvasView::UpdateLayerHandles()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->layerQuad == nullptr || !project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    d->layerQuad->setTransform(canvas.GetTransform());
    app::LayerType type = app::LayerTypeForeground;
    std::shared_ptr<app::TransformationTransformItem> item;
    const QUuid& layerId = d->layerQuad->LayerId();
    if (FindLayerTransformItem(layerId, type, item) != app::LMerrSuccess)
        return;
    const QSize size = LayerPixelSize(layerId);
    QTransform placement;
    app::CombineLayerTransformation(item.get(), static_cast<unsigned int>(std::max(0, size.width())),
                                    static_cast<unsigned int>(std::max(0, size.height())), canvas.Width(),
                                    canvas.Height(), placement, HXDownsampleFactor0);
    // Combined: the layer's placement applies first, then the canvas transform.
    d->layerQuad->setTransform(placement, true);
    if (d->layerRotateItem != nullptr) {
        d->layerRotateItem->setPos(d->layerQuad->Centre());
        d->layerRotateItem->setTransform(QTransform().rotate(item->Rotation(), Qt::ZAxis));
        d->layerQuad->SetRotation(item->Rotation());
    }
}

void CanvasView::RemoveLayerHandles()
{
    RemoveCanvasItem(d->layerQuad);
    RemoveCanvasItem(d->layerRotateItem);
    // A drag of handles that are gone ends here; its release has nothing left to write.
    d->layerMove = d->layerScale = d->layerRotate = false;
}

void CanvasView::SetLayerHandlesVisible(bool visible)
{
    if (d->layerQuad != nullptr)
        d->layerQuad->setVisible(visible);
    if (d->layerRotateItem != nullptr)
        d->layerRotateItem->setVisible(visible);
}

void CanvasView::PressLayerHandle(QGraphicsItem* item, QMouseEvent* event)
{
    if (d->layerQuad == nullptr)
        return;
    const QUuid layerId = d->layerQuad->LayerId();
    app::LayerType type = app::LayerTypeForeground;
    std::shared_ptr<app::TransformationTransformItem> transform;
    if (event->buttons() == Qt::RightButton) {
        // The right button alone resets what the handle edits: the size (flips kept) or the turn.
        d->layerQuad->setSelected(false);
        if (d->layerRotateItem != nullptr)
            d->layerRotateItem->setSelected(false);
        if (item->type() == CanvasItemLayerScale && FindLayerTransformItem(layerId, type, transform) == app::LMerrSuccess) {
            ApplyLayerScale(QPointF(transform->ScaleX(), transform->ScaleY()), layerId, HXDownsampleFactor0, 1.0);
            UpdateLayerHandles();
            d->pressReset = true;
        } else if (item->type() == CanvasItemLayerRotate) {
            ApplyLayerRotation(layerId, HXDownsampleFactor0, 0);
            UpdateLayerHandles();
            d->pressReset = true;
        }
        return;
    }
    if (d->spaceHeld || d->panning || FindLayerTransformItem(layerId, type, transform) != app::LMerrSuccess)
        return;
    d->pressPosition = event->position();
    d->layerTranslateXAtPress = transform->TranslateX();
    d->layerTranslateYAtPress = transform->TranslateY();
    d->layerScaleXAtPress = transform->ScaleX();
    d->layerScaleYAtPress = transform->ScaleY();
    d->layerRotationAtPress = transform->Rotation();
    switch (item->type()) {
    case CanvasItemLayerQuad:
        if (!d->layerScale && !d->layerRotate)
            d->layerMove = true;
        break;
    case CanvasItemLayerScale:
        d->layerQuad->ScaleHandle()->setSelected(true);
        d->layerScale = true;
        break;
    case CanvasItemLayerRotate:
        if (d->layerRotateItem != nullptr)
            d->layerRotateItem->setSelected(true);
        d->layerRotate = true;
        break;
    default:
        break;
    }
}

void CanvasView::DragLayerHandle(QMouseEvent* event)
{
    if (d->layerQuad == nullptr)
        return;
    if (d->layerMove)
        MoveLayer(event->position(), event->modifiers(), HXDownsampleFactor3);
    if (d->layerScale)
        ScaleLayer(event->position(), HXDownsampleFactor3);
    if (d->layerRotate)
        RotateLayer(event->position(), event->modifiers(), HXDownsampleFactor3);
}

void CanvasView::ReleaseLayerHandle(QMouseEvent* event)
{
    if (d->layerQuad == nullptr)
        return;
    // The last value once more, at full resolution.
    if (d->layerMove) {
        MoveLayer(event->position(), event->modifiers(), HXDownsampleFactor0);
        d->layerMove = false;
        d->layerXLocked = d->layerYLocked = false;
    }
    if (d->layerScale) {
        ScaleLayer(event->position(), HXDownsampleFactor0);
        if (d->layerQuad != nullptr)
            d->layerQuad->ScaleHandle()->setSelected(false);
        d->layerScale = false;
    }
    if (d->layerRotate) {
        RotateLayer(event->position(), event->modifiers(), HXDownsampleFactor0);
        if (d->layerRotateItem != nullptr)
            d->layerRotateItem->setSelected(false);
        d->layerRotate = false;
    }
}

void CanvasView::MoveLayer(const QPointF& at, Qt::KeyboardModifiers modifiers, HXDownsampleFactor factor)
{
    const app::ProjectPtr project = CurrentProject();
    if (d->layerQuad == nullptr || !project)
        return;
    FollowAxisLock(d->pressPosition, at, modifiers, d->layerXLocked, d->layerYLocked);
    const QPointF delta = LockedDelta(d->pressPosition, at, d->layerXLocked, d->layerYLocked);
    const double dx = delta.x();
    const double dy = delta.y();

    // The translation is a fraction of the way from the canvas centre to where the layer's edge
    // meets the canvas edge, in whole canvas pixels.
    const app::Canvas& canvas = project->GetCanvas();
    const QUuid layerId = d->layerQuad->LayerId();
    const QSize size = LayerPixelSize(layerId);
    const double halfX = std::trunc(canvas.Width() * 0.5 + std::fabs(d->layerScaleXAtPress) * size.width() * 0.5);
    const double halfY = std::trunc(canvas.Height() * 0.5 + std::fabs(d->layerScaleYAtPress) * size.height() * 0.5);
    const double scale = canvas.Scale();
    QPointF translate(d->layerTranslateXAtPress, d->layerTranslateYAtPress);
    // An empty canvas and layer, or a canvas shown at no scale, leave the translation as it was
    // rather than writing an infinity into the project.
    if (halfX * scale > 0)
        translate.rx() += dx / (halfX * scale);
    if (halfY * scale > 0)
        translate.ry() += dy / (scale * halfY);
    ApplyLayerTranslation(translate, layerId, factor);
    UpdateLayerHandles();
}

void CanvasView::ScaleLayer(const QPointF& at, HXDownsampleFactor factor)
{
    if (d->layerQuad == nullptr)
        return;
    const double magnitude = std::clamp(std::fabs(d->layerScaleXAtPress) + (at.y() - d->pressPosition.y()) / kScaleDragPixels,
                                        kMinimumLayerScale, kMaximumLayerScale);
    ApplyLayerScale(QPointF(d->layerScaleXAtPress, d->layerScaleYAtPress), d->layerQuad->LayerId(), factor, magnitude);
    UpdateLayerHandles();
}

void CanvasView::RotateLayer(const QPointF& at, Qt::KeyboardModifiers modifiers, HXDownsampleFactor factor)
{
    if (d->layerQuad == nullptr)
        return;
    const double angle = DragAngle(d->pressPosition, at, d->layerQuad->Centre(), d->layerRotationAtPress, modifiers);
    ApplyLayerRotation(d->layerQuad->LayerId(), factor, angle);
    UpdateLayerHandles();
}

void CanvasView::ApplyLayerTranslation(QPointF translate, const QUuid& layerId, HXDownsampleFactor factor)
{
    ApplyLayerTransform(layerId, factor, [&](app::TransformationTransformItem& item) {
        item.SetTranslateX(translate.x());
        item.SetTranslateY(translate.y());
    });
}

void CanvasView::ApplyLayerScale(QPointF scaleAtPress, const QUuid& layerId, HXDownsampleFactor factor, double magnitude)
{
    ApplyLayerTransform(layerId, factor, [&](app::TransformationTransformItem& item) {
        item.SetScaleX((scaleAtPress.x() < 0 ? -1 : 1) * magnitude);
        item.SetScaleY((scaleAtPress.y() < 0 ? -1 : 1) * magnitude);
    });
}

void CanvasView::ApplyLayerRotation(const QUuid& layerId, HXDownsampleFactor factor, double degrees)
{
    ApplyLayerTransform(layerId, factor, [&](app::TransformationTransformItem& item) { item.SetRotation(degrees); });
}

void CanvasView::ApplyLayerTransform(const QUuid& layerId, HXDownsampleFactor factor,
                                     const std::function<void(app::TransformationTransformItem&)>& write)
{
    app::LayerType type = app::LayerTypeForeground;
    std::shared_ptr<app::TransformationTransformItem> item;
    if (FindLayerTransformItem(layerId, type, item) != app::LMerrSuccess)
        return;
    write(*item);
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, layerId, FieldTypeLayerTransform);
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    // A further layer is redrawn on its own: nothing is fitted to it and it carries no masks.
    if (type == app::LayerTypeImage) {
        emit app->SignalCanvasRefreshRequested(layerId, app::RenderLevelPostFilter, factor);
        return;
    }
    if (factor == HXDownsampleFactor0)
        app->InvalidateLayerCache(type, app::RenderLevelPostFilter, HXDownsampleFactor3);
    // The masks are drawn in the foreground's placement.
    if (type == app::LayerTypeForeground)
        if (const auto processor = app->GetRenderProcessor())
            processor->InvalidateAllMaskCache();
    app->UpdateOverlayFit(factor, true);
    app->UpdateLayerFits(factor, true);
    app->RequestLayerRefresh(type, app::RenderLevelPostFilter, factor);
}

} // namespace lumo::ui
