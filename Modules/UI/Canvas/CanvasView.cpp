#include "Canvas/CanvasViewPrivate.h"

#include <QPaintEvent>
#include <QPainter>

namespace lumo::ui {

using namespace canvasview;

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
    // The scene's backdrop covers every pixel of the viewport (the scene rectangle follows the
    // view's size): Qt need not fill it with the palette first, a pass over the window per frame.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // The hub removes layers without knowing the view: the view in use follows.
    if (Application* app = Application::Instance()) {
        const auto inUse = [this, app] { return app->GetCanvasView() == this; };
        connect(app, &Application::SignalLayerHandlesObsolete, this, [this, inUse](bool foregroundRemoved) {
            if (!inUse())
                return;
            if (foregroundRemoved)
                RemoveShadowQuad();
            RemoveLayerHandles();
        });
        connect(app, &Application::SignalTextItemsObsolete, this, [this, inUse] {
            if (inUse())
                CreateTextItems();
        });
    }
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
    // Rebuilding the text items removes the text quad and its handles too; the selected text
    // gets them again in the text toolset only.
    CreateTextItems();
    const app::ToolsetSections toolset = project->CurrentToolset();
    if (const app::TextList* texts = CurrentTextList())
        SelectTextItem(texts->CurrentlySelectedTextItem(), toolset == app::ToolsetSectionText);

    const app::LayerManagerPtr manager = project->GetLayerManager();
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*manager);

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
        if (project->CurrentLayerType() != app::LayerTypeBackground) {
            if (const auto shadow = ShadowFilter(*manager)) {
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
    d->pressReset = false;
    if (project && project->CurrentToolset() == app::ToolsetSectionMasks) {
        PressInMasksToolset(event);
    } else if (!PressInOtherToolsets(event)) {
        // Nothing under the pointer (outside the rendered area): the press is not for the view.
        event->ignore();
        return;
    }
    QGraphicsView::mousePressEvent(event);
    // A press that starts a pan or a drag belongs to the view, whatever the items made of it.
    if (d->panning || d->pressReset || d->shadowDrag || d->layerMove || d->layerScale || d->layerRotate || d->textMove ||
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

void CanvasView::paintEvent(QPaintEvent* event)
{
    // Without a scene nothing covers the viewport, which Qt no longer fills itself.
    if (scene() == nullptr) {
        QPainter(viewport()).fillRect(event->rect(), Qt::black);
        return;
    }
    QGraphicsView::paintEvent(event);
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
    if (processor)
        if (const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(*manager))
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

} // namespace lumo::ui
