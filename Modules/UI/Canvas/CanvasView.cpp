#include "Canvas/CanvasView.h"

#include "Canvas/CanvasItemTypes.h"
#include "Shell/Application.h"

#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "LayerManager.h"
#include "Project.h"
#include "TransformItems.h"

#include <QApplication>
#include <QGraphicsItem>
#include <QKeyEvent>
#include <QMap>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

namespace lumo::ui {

// The handle items; each comes with the canvas editing that drives it.
class LayerQuadGraphicsItem;
class MaskShapeGraphicsItem;
class TextQuadGraphicsItem;
class CropGraphicsItem;
class ShadowQuadGraphicsItem;

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kCentreMargin = 40;
// One notch of a mouse wheel (120) zooms by 0.05.
constexpr float kWheelUnitsPerScale = 2400.0f;
constexpr float kMaximumScale = 4.0f;
constexpr float kMinimumScale = 0.01f;

app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

// Layers and the overlay are placed by hand only without a fit, or with a fit to none.
bool PlacedByHand(const app::LayerManager& manager, const QUuid& layerId)
{
    const app::ImageLayerSettingsPtr settings = manager.GetLayerSettings(layerId);
    if (!settings)
        return true;
    const auto fit = app::FindItemOfType<app::FitTransformItem>(settings->Transforms(), app::TransformItemTypeFit);
    return !fit || fit->Fit() == app::FitToNone;
}

} // namespace

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

struct CanvasView::Private {
    LayerQuadGraphicsItem* layerQuad = nullptr;
    QGraphicsItem* layerRotateItem = nullptr;
    MaskShapeGraphicsItem* maskShape = nullptr;
    TextQuadGraphicsItem* textQuad = nullptr;
    QGraphicsItem* textRotateItem = nullptr;
    CropGraphicsItem* crop = nullptr;
    ShadowQuadGraphicsItem* shadowQuad = nullptr;

    bool panning = false;
    bool panCursorShown = false;
    QPointF pressPosition;
    int canvasXAtPress = 0;
    int canvasYAtPress = 0;
    bool spaceHeld = false;

    bool layerXLocked = false;
    bool layerYLocked = false;
    bool textXLocked = false;
    bool textYLocked = false;
    bool layerMove = false;
    bool layerScale = false;
    bool layerRotate = false;
    bool textMove = false;
    bool textScale = false;
    bool textRotate = false;
    bool shadowDrag = false;

    double layerTranslateXAtPress = 0;
    double layerTranslateYAtPress = 0;
    double layerScaleXAtPress = 0;
    double layerScaleYAtPress = 0;
    double layerRotationAtPress = 0;
    double textXAtPress = 0;
    double textYAtPress = 0;
    int textFontSizeAtPress = 0;
    double textAngleAtPress = 0;

    app::MaskMode maskMode = app::MaskModeCreate;
    QMap<QUuid, QGraphicsItem*> textItems;
};

CanvasView::CanvasView(QWidget* parent) : QGraphicsView(parent), d(std::make_unique<Private>())
{
    setFrameShape(QFrame::NoFrame);
    setFrameShadow(QFrame::Plain);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The canvas outline's rectangle changes without announcing it: repaint everything.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setOptimizationFlags(QGraphicsView::DontSavePainterState);
}

CanvasView::~CanvasView()
{
    EndPanCursor();
}

bool CanvasView::IsSpaceHeld() const
{
    return d->spaceHeld;
}

// ---- Centre and model

void CanvasView::UpdateCanvasCentre()
{
    const Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
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

void CanvasView::SetMaskMode(app::MaskMode mode)
{
    d->maskMode = mode;
    setDragMode(mode == app::MaskModeSelect ? QGraphicsView::RubberBandDrag : QGraphicsView::NoDrag);
}

void CanvasView::ModelChanged(DataType type, const QUuid& id, FieldType field)
{
    switch (type) {
    case DataTypeProject:
        if (field == FieldTypeProjectOpened) {
            RemoveLayerHandles();
            RemoveMaskItems();
            RemoveCropItem();
            RemoveShadowQuad();
            RemoveAllTextItems();
        }
        if (field == FieldTypeProjectOpened || field == FieldTypeRefreshAll) {
            RefreshHandles();
            UpdateCanvasCentre();
        } else if (field == FieldTypeImageAdded) {
            const app::ProjectPtr project = CurrentProject();
            if (project && id == project->GetLayerManager()->LayerList()->StaticForegroundId())
                RefreshHandles();
        } else if (field == FieldTypeForegroundUniqueness) {
            RefreshHandles();
        }
        break;
    case DataTypeInterface:
        if (field == FieldTypeCurrentToolset || field == FieldTypeCurrentLayerType)
            RefreshHandles();
        break;
    case DataTypeCanvas:
        if (field == FieldTypeCanvasScale || field == FieldTypeCanvasZoom)
            FollowCanvasTransform();
        break;
    }
}

void CanvasView::RefreshHandles()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    RemoveLayerHandles();
    RemoveMaskItems();
    RemoveCropItem();
    RemoveShadowQuad();
    // Rebuilding the text items removes the text quad and its handles too.
    CreateTextItems();

    const app::ToolsetSections toolset = project->CurrentToolset();
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const app::ForegroundImageLayerSettingsPtr settings =
        manager->CurrentForegroundId().isNull() ? nullptr : manager->GetForegroundSettings();
    if (settings) {
        const QUuid& selectedText = settings->TextItems().CurrentlySelectedTextItem();
        if (!selectedText.isNull())
            SelectTextItem(selectedText, toolset == app::ToolsetSectionText);
    }

    switch (toolset) {
    case app::ToolsetSectionKey:
        CreateCropItem();
        break;
    case app::ToolsetSectionMasks:
        if (settings) {
            if (const QUuid& mask = settings->Masks().CurrentlySelectedMask(); !mask.isNull())
                CreateMaskItems(mask); // which also places them on the canvas
            SetMaskMode(settings->Masks().CurrentMaskMode());
        }
        break;
    case app::ToolsetSectionFilters:
        if (project->CurrentLayerType() != app::LayerTypeBackground && settings) {
            if (const auto shadow = app::FindItemOfType<app::ShadowCastFilterItem>(settings->Filters(),
                                                                                   app::FilterItemTypeShadowCast)) {
                CreateShadowQuad();
                SetShadowQuadEnabled(shadow->IsEnabled());
            }
        }
        break;
    default:
        break;
    }

    if (const std::optional<LayerHandleChoice> choice = ChooseLayerHandles(*project)) {
        CreateLayerHandles(choice->handleId);
        SetLayerHandlesVisible(choice->visible);
        UpdateLayerHandles();
    }
}

void CanvasView::FollowCanvasTransform()
{
    UpdateLayerHandles();
    UpdateMaskItemsTransform();
    UpdateAllTextItemTransforms();
    UpdateCropItemTransform();
    UpdateShadowQuadTransform();
}

// ---- Input

void CanvasView::wheelEvent(QWheelEvent* event)
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    // A horizontal scroll (angleDelta().y() of 0) is no zoom and must not throw the caches away.
    const int wheelUnits = event->angleDelta().y();
    if (app != nullptr && project && wheelUnits != 0) {
        app::Canvas& canvas = project->GetCanvas();
        float scale = canvas.Scale() + static_cast<float>(wheelUnits) / kWheelUnitsPerScale;
        if (scale > kMaximumScale)
            scale = kMaximumScale;
        else if (scale <= kMinimumScale)
            scale = kMinimumScale;
        canvas.SetScale(scale);
        app->InvalidateCompositeCaches(HXDownsampleFactor3);
        if (const auto processor = app->GetRenderProcessor())
            processor->InvalidateAllMaskCache();
        emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
        if (const LumoModelPtr model = Model())
            model->NotifyObservers(DataTypeCanvas, model->GetDocument()->Id(), FieldTypeCanvasScale);
    }
    QGraphicsView::wheelEvent(event);
}

void CanvasView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        d->spaceHeld = true;
    } else if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        const app::ProjectPtr project = CurrentProject();
        if (d->maskShape != nullptr && project && project->CurrentToolset() == app::ToolsetSectionMasks)
            DeleteSelectedMaskHandles();
    }
    QGraphicsView::keyPressEvent(event);
}

void CanvasView::keyReleaseEvent(QKeyEvent* event)
{
    // Any release ends the Space state (a held key repeats as release and press pairs).
    d->spaceHeld = false;
    QGraphicsView::keyReleaseEvent(event);
}

void CanvasView::mousePressEvent(QMouseEvent* event)
{
    const app::ProjectPtr project = CurrentProject();
    setDragMode(QGraphicsView::NoDrag);
    d->layerXLocked = d->layerYLocked = false;
    d->textXLocked = d->textYLocked = false;
    if (project && project->CurrentToolset() == app::ToolsetSectionMasks) {
        PressInMasksToolset(event);
    } else if (!PressInOtherToolsets(event)) {
        // Nothing under the pointer (outside the rendered area): the press is not for the view.
        event->ignore();
        return;
    }
    QGraphicsView::mousePressEvent(event);
    // A press that starts a pan or a drag belongs to the view, whatever the items made of it.
    if (d->panning || d->shadowDrag || d->layerMove || d->layerScale || d->layerRotate || d->textMove ||
        d->textScale || d->textRotate)
        event->accept();
}

void CanvasView::PressInMasksToolset(QMouseEvent* event)
{
    const bool left = event->button() == Qt::LeftButton;
    const bool selecting = d->maskMode == app::MaskModeSelect && left && !d->spaceHeld;
    setDragMode(selecting ? QGraphicsView::RubberBandDrag : QGraphicsView::NoDrag);
    if (d->spaceHeld || d->maskShape == nullptr || !left)
        return;
    QGraphicsItem* decider = nullptr;
    for (QGraphicsItem* item : items(event->position().toPoint())) {
        const int type = item->type();
        if (type == CanvasItemOutline || type == CanvasItemTextLayer || type == CanvasItemMaskShape ||
            type == CanvasItemMaskHandle || type == CanvasItemMaskController) {
            decider = item;
            break;
        }
    }
    if (decider == nullptr)
        return;
    const int type = decider->type();
    if (d->maskMode == app::MaskModeCreate) {
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            setDragMode(QGraphicsView::RubberBandDrag);
        } else if (type == CanvasItemMaskHandle) {
            CloseMaskAtHandle(decider);
        } else if (type != CanvasItemMaskController) {
            AddMaskHandleAt(mapToScene(event->position().toPoint()));
            if (Application* app = Application::Instance())
                emit app->SignalMaskEnableClosed(ShownMaskHandleCount() > 2);
        }
    }
    if (type == CanvasItemMaskShape)
        SelectMaskShape();
}

bool CanvasView::PressInOtherToolsets(QMouseEvent* event)
{
    QGraphicsItem* item = itemAt(event->position().toPoint());
    if (item == nullptr)
        return false;
    const QPointF at = event->position();
    const bool rightButton = event->button() == Qt::RightButton;
    switch (item->type()) {
    case CanvasItemOutline:
    case CanvasItemTextLayer:
    case CanvasItemCrop:
        StartPanning(at);
        break;
    case CanvasItemShadowEdge:
    case CanvasItemShadowHandle:
    case CanvasItemShadowQuad:
        if (d->spaceHeld) {
            DeselectShadowQuad();
            StartPanning(at);
        } else {
            d->shadowDrag = true;
        }
        break;
    case CanvasItemLayerQuad:
    case CanvasItemLayerScale:
    case CanvasItemLayerRotate:
        if (item->type() == CanvasItemLayerQuad && (d->spaceHeld || rightButton))
            StartPanning(at);
        PressLayerHandle(item, event);
        break;
    case CanvasItemTextQuad:
    case CanvasItemTextScale:
    case CanvasItemTextRotate:
        if (item->type() == CanvasItemTextQuad && (d->spaceHeld || rightButton))
            StartPanning(at);
        PressTextHandle(item, event);
        break;
    default:
        // The mask items outside the masks toolset, and anything else: the items have the press.
        break;
    }
    return true;
}

void CanvasView::mouseMoveEvent(QMouseEvent* event)
{
    if (d->panning)
        PanTo(event->position());
    DragLayerHandle(event);
    DragTextHandle(event);
    QGraphicsView::mouseMoveEvent(event);
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event)
{
    d->panning = false;
    if (d->panCursorShown) {
        EndPanCursor();
        // The preview caches were left as they were while panning; the full view follows now.
        if (Application* app = Application::Instance()) {
            app->InvalidateCompositeCaches(HXDownsampleFactor3);
            emit app->SignalCanvasRefreshRequested(HXDownsampleFactor0);
        }
    } else {
        ReleaseShadowDrag();
        ReleaseMaskShape(event);
        ReleaseLayerHandle(event);
        ReleaseTextHandle(event);
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void CanvasView::resizeEvent(QResizeEvent* event)
{
    if (scene() != nullptr) {
        scene()->setSceneRect(0, 0, width(), height());
        UpdateCanvasCentre();
    }
    QGraphicsView::resizeEvent(event);
}

// ---- Panning

void CanvasView::StartPanning(const QPointF& at)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    d->panning = true;
    d->pressPosition = at;
    d->canvasXAtPress = project->GetCanvas().PositionX();
    d->canvasYAtPress = project->GetCanvas().PositionY();
}

void CanvasView::PanTo(const QPointF& at)
{
    const QPointF delta = at - d->pressPosition;
    if (delta.manhattanLength() <= QApplication::startDragDistance())
        return;
    if (!d->panCursorShown) {
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
        d->panCursorShown = true;
    }
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    if (app == nullptr || !project)
        return;
    app::Canvas& canvas = project->GetCanvas();
    const double scale = canvas.Scale();
    // A project file may hold a scale of nothing; such a canvas cannot be panned.
    if (!(scale > 0))
        return;
    canvas.SetPosition(static_cast<int>(delta.x() / scale + d->canvasXAtPress),
                       static_cast<int>(delta.y() / scale + d->canvasYAtPress));
    FollowCanvasTransform();
    emit app->SignalCanvasRefreshRequested(HXDownsampleFactor3);
    // The masks are drawn in canvas placement: they follow the pan, the other caches wait for the
    // release.
    const app::LayerManagerPtr manager = project->GetLayerManager();
    const auto processor = app->GetRenderProcessor();
    if (processor && !manager->CurrentForegroundId().isNull())
        if (const app::ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings())
            for (auto mask = settings->Masks().Begin(); mask != settings->Masks().End(); ++mask)
                processor->InvalidateMaskCache((*mask)->Id());
}

void CanvasView::EndPanCursor()
{
    if (!d->panCursorShown)
        return;
    d->panCursorShown = false;
    QApplication::restoreOverrideCursor();
}

// ---- The handle items. Each operation acts on its items once they are built; until then there
// is nothing to act on.

void CanvasView::CreateLayerHandles(const QUuid& /*layerId*/) {}

void CanvasView::UpdateLayerHandles() {}

void CanvasView::RemoveLayerHandles() {}

void CanvasView::SetLayerHandlesVisible(bool /*visible*/) {}

void CanvasView::CreateTextItems() {}

void CanvasView::RemoveAllTextItems() {}

void CanvasView::SelectTextItem(const QUuid& /*id*/, bool /*selected*/) {}

void CanvasView::UpdateAllTextItemTransforms() {}

void CanvasView::CreateCropItem() {}

void CanvasView::RemoveCropItem() {}

void CanvasView::UpdateCropItemTransform() {}

void CanvasView::CreateShadowQuad() {}

void CanvasView::RemoveShadowQuad() {}

void CanvasView::SetShadowQuadEnabled(bool /*enabled*/) {}

void CanvasView::StoreShadowQuad() {}

void CanvasView::UpdateShadowQuadTransform() {}

void CanvasView::CreateMaskItems(const QUuid& /*maskId*/) {}

void CanvasView::RemoveMaskItems() {}

void CanvasView::StoreMaskHandles() {}

void CanvasView::UpdateMaskItemsTransform() {}

void CanvasView::DeleteSelectedMaskHandles() {}

void CanvasView::PressLayerHandle(QGraphicsItem* /*item*/, QMouseEvent* /*event*/) {}

void CanvasView::DragLayerHandle(QMouseEvent* /*event*/) {}

void CanvasView::ReleaseLayerHandle(QMouseEvent* /*event*/) {}

void CanvasView::PressTextHandle(QGraphicsItem* /*item*/, QMouseEvent* /*event*/) {}

void CanvasView::DragTextHandle(QMouseEvent* /*event*/) {}

void CanvasView::ReleaseTextHandle(QMouseEvent* /*event*/) {}

void CanvasView::DeselectShadowQuad() {}

bool CanvasView::IsShownMaskClosed() const
{
    return false;
}

int CanvasView::ShownMaskHandleCount() const
{
    return 0;
}

bool CanvasView::CloseMaskAtHandle(QGraphicsItem* /*handle*/)
{
    return false;
}

void CanvasView::AddMaskHandleAt(const QPointF& /*scenePosition*/) {}

void CanvasView::SelectMaskShape() {}

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
