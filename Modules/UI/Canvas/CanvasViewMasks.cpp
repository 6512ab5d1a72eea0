#include "Canvas/CanvasViewPrivate.h"

namespace lumo::ui {

using namespace canvasview;

// ---- Mask items

MaskShapeGraphicsItem* CanvasView::MaskShape() const
{
    return d->maskShape;
}

app::MaskPtr CanvasView::FindMask(const QUuid& maskId) const
{
    const app::ProjectPtr project = CurrentProject();
    const app::ForegroundImageLayerSettingsPtr settings =
        project ? CurrentForegroundSettings(*project->GetLayerManager()) : nullptr;
    if (!settings)
        return nullptr;
    app::MaskPtr mask;
    if (settings->Masks().Get(maskId, mask) != app::LMerrSuccess) {
        // Items and model have parted ways: the program cannot go on trusting either. Reported
        // from the event loop, never thrown through Qt.
        if (Application* app = Application::Instance())
            app->PostFatalError(std::make_exception_ptr(std::runtime_error(
                tr("Mask Data has become corrupted, please notify %1 and restart %2.")
                    .arg(SupportEmailAddress, ApplicationName)
                    .toStdString())));
        return nullptr;
    }
    return mask;
}

void CanvasView::CreateMaskItems(const QUuid& maskId)
{
    RemoveMaskItems();
    const app::ProjectPtr project = CurrentProject();
    if (scene() == nullptr || !project)
        return;
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*project->GetLayerManager());
    if (!settings)
        return;
    // Looked up before anything is made, so that a missing mask leaves nothing behind.
    const app::MaskPtr mask = FindMask(maskId);
    if (!mask)
        return;
    d->maskShape = new MaskShapeGraphicsItem();
    d->maskShape->SetMaskId(maskId);
    scene()->addItem(d->maskShape);
    for (auto handle = mask->Begin(); handle != mask->End(); ++handle) {
        // A handle with one control point is shown, and stored again, as a straight one.
        if ((*handle)->Type() == app::MaskHandleTypeDualControl) {
            const auto& curved = static_cast<const app::DualControlMaskHandle&>(**handle);
            d->maskShape->AppendCurvedHandle(curved.Position(), curved.RightControlPosition(),
                                             curved.LeftControlPosition());
        } else {
            d->maskShape->AppendHandle((*handle)->Position());
        }
    }
    SetMaskMode(settings->Masks().CurrentMaskMode());
    // The zoom is the one the mask was drawn at (its feather follows it): showing the mask at
    // another zoom changes neither the mask nor the project; storing an edit renews it.
    UpdateMaskItemsTransform();
    if (mask->IsClosed()) {
        d->maskShape->SetClosedFlag(true);
        if (Application* app = Application::Instance())
            emit app->SignalMaskDragDropClosed(true);
    }
    if (mask->Feather() >= 0)
        d->maskShape->SetFeather(mask->Feather());
    d->maskShape->SetInverted(mask->IsInverted());
    d->maskShape->SetRemove(mask->IsRemove());
    d->maskShape->setEnabled(mask->IsEnabled());
    d->maskShape->setVisible(mask->IsEnabled());
    if (Application* app = Application::Instance())
        emit app->SignalMaskEnableClosed(mask->Size() > 2 || mask->IsClosed());
}

void CanvasView::RemoveMaskItems()
{
    RemoveCanvasItem(d->maskShape);
}

void CanvasView::StoreMaskHandles()
{
    const app::ProjectPtr project = CurrentProject();
    if (d->maskShape == nullptr || !project)
        return;
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*project->GetLayerManager());
    if (!settings || settings->Masks().CurrentlySelectedMask().isNull())
        return;
    // Into the mask the items show, which is the selected one unless a caller has changed the
    // selection without showing it: another mask's outline must never overwrite it.
    const app::MaskPtr mask = FindMask(d->maskShape->MaskId());
    if (!mask)
        return;
    const app::Mask before(*mask);
    mask->Clear();
    for (const MaskHandleGraphicsItem* handle : d->maskShape->Handles()) {
        if (handle->IsCurved())
            mask->Add(std::make_shared<app::DualControlMaskHandle>(handle->pos(), handle->LeftOffset(),
                                                                   handle->RightOffset()));
        else
            mask->Add(std::make_shared<app::MaskHandle>(handle->pos()));
    }
    mask->SetClosed(d->maskShape->IsClosed());
    mask->SetFeather(d->maskShape->Feather());
    mask->SetZoom(project->GetCanvas().Scale());
    mask->SetInverted(d->maskShape->IsInverted());
    mask->SetRemove(d->maskShape->IsRemove());
    mask->SetEnabled(d->maskShape->isEnabled());
    if (*mask != before) {
        if (const auto processor = Application::Instance()->GetRenderProcessor()) {
            processor->InvalidateMaskCache(mask->Id());
            processor->InvalidateShadowCache(HXDownsampleFactor0);
            processor->InvalidateShadowCache(HXDownsampleFactor3);
        }
    }
}

void CanvasView::UpdateMaskItemsTransform()
{
    if (d->maskShape != nullptr)
        FollowForeground(*d->maskShape, true);
}

void CanvasView::MakeSelectedMaskHandlesStraight()
{
    FinishMaskHandlesEdit([](MaskShapeGraphicsItem& shape) { shape.MakeSelectedHandlesStraight(); });
}

void CanvasView::MakeSelectedMaskHandlesCurved()
{
    FinishMaskHandlesEdit([](MaskShapeGraphicsItem& shape) { shape.MakeSelectedHandlesCurved(); });
}

void CanvasView::DeleteSelectedMaskHandles()
{
    FinishMaskHandlesEdit([](MaskShapeGraphicsItem& shape) { shape.DeleteSelectedHandles(); });
}

void CanvasView::FinishMaskHandlesEdit(const std::function<void(MaskShapeGraphicsItem&)>& edit)
{
    if (d->maskShape == nullptr)
        return;
    edit(*d->maskShape);
    StoreMaskHandles();
    Application* app = Application::Instance();
    if (d->maskShape == nullptr || app == nullptr)
        return;
    if (const auto processor = app->GetRenderProcessor()) {
        processor->InvalidateShadowCache(HXDownsampleFactor0);
        processor->InvalidateShadowCache(HXDownsampleFactor3);
        processor->InvalidateMaskCache(d->maskShape->MaskId());
    }
    app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor3);
    app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor0);
}

bool CanvasView::IsShownMaskClosed() const
{
    return d->maskShape != nullptr && d->maskShape->IsClosed();
}

int CanvasView::ShownMaskHandleCount() const
{
    return d->maskShape != nullptr ? d->maskShape->HandleCount() : 0;
}

bool CanvasView::CloseMaskAtHandle(QGraphicsItem* handle)
{
    if (d->maskShape == nullptr || handle == nullptr || handle->type() != CanvasItemMaskHandle)
        return false;
    return d->maskShape->CloseAtHandle(static_cast<MaskHandleGraphicsItem*>(handle)->Id());
}

void CanvasView::AddMaskHandleAt(const QPointF& scenePosition)
{
    if (d->maskShape != nullptr)
        d->maskShape->AddHandleAt(scenePosition);
}

void CanvasView::SelectMaskShape()
{
    if (d->maskShape != nullptr)
        d->maskShape->setSelected(true);
}

// The edited points are written back in the masks toolset; a closed mask then cuts the foreground
// anew.
void CanvasView::ReleaseMaskShape(QMouseEvent* event)
{
    const app::ProjectPtr project = CurrentProject();
    if (d->maskShape == nullptr || !project)
        return;
    if (project->CurrentToolset() == app::ToolsetSectionMasks)
        StoreMaskHandles();
    if (event->button() == Qt::LeftButton && IsShownMaskClosed()) {
        Application* app = Application::Instance();
        app->InvalidateLayerCache(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor3);
        app->RequestLayerRefresh(app::LayerTypeForeground, app::RenderLevelPostFilter, HXDownsampleFactor0);
    }
}

} // namespace lumo::ui
