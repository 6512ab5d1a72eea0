#include "Canvas/CanvasView.h"

#include "Canvas/CanvasItemTypes.h"
#include "Canvas/CropGraphicsItem.h"
#include "Canvas/GraphicsItemDeleter.h"
#include "Canvas/HandleGraphicsItems.h"
#include "Canvas/MaskGraphicsItems.h"
#include "Canvas/ShadowQuadGraphicsItems.h"
#include "Canvas/TextGraphicsItems.h"
#include "Shell/Application.h"
#include "Shell/Identity.h"

#include "FilterItems.h"
#include "DrawableValues.h"
#include "ForegroundImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "Project.h"
#include "TextItem.h"
#include "TransformItems.h"
#include "TransformationFunctions.h"

#include <QApplication>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QKeyEvent>
#include <QLineF>
#include <QMap>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace lumo::ui {


using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

constexpr int kCentreMargin = 40;
// One notch of a mouse wheel (120) zooms by 0.05.
constexpr float kWheelUnitsPerScale = 2400.0f;
constexpr float kMaximumScale = 4.0f;
constexpr float kMinimumScale = 0.01f;

// A Ctrl move locks an axis once the pointer is this far from the press.
constexpr double kAxisLockDistance = 5.0;
// Dragging the scale handle 100 pixels down adds 1 to the layer's scale.
constexpr double kScaleDragPixels = 100.0;
constexpr double kMinimumLayerScale = 0.1;
constexpr double kMaximumLayerScale = 5.0;
// Ctrl turns in steps of 45 degrees.
constexpr double kRotationSnap = 45.0;

// Ctrl keeps a move on the axis it started along, once that is clear: 5 pixels from the press, a
// mostly vertical start locks x, any other y. Without Ctrl both axes are free.
void FollowAxisLock(const QPointF& press, const QPointF& at, Qt::KeyboardModifiers modifiers, bool& xLocked,
                    bool& yLocked)
{
    if (!modifiers.testFlag(Qt::ControlModifier)) {
        xLocked = yLocked = false;
    } else if (!xLocked && !yLocked) {
        const QLineF line(press, at);
        if (line.length() > kAxisLockDistance) {
            const double angle = line.angle();
            if ((angle > 225 && angle < 315) || (angle > 45 && angle < 135))
                xLocked = true;
            else
                yLocked = true;
        }
    }
}

// The move from the press, a locked axis contributing nothing.
QPointF LockedDelta(const QPointF& press, const QPointF& at, bool xLocked, bool yLocked)
{
    return {xLocked ? 0.0 : at.x() - press.x(), yLocked ? 0.0 : at.y() - press.y()};
}

// The angle a drag about centre turns to from the angle at the press, in degrees between 0 and
// 360 (a drag back past 0 wraps); Ctrl snaps to the nearest 45 degrees, so 337.5 and above give
// 360.
double DragAngle(const QPointF& press, const QPointF& at, const QPointF& centre, double angleAtPress,
                 Qt::KeyboardModifiers modifiers)
{
    double angle = QLineF(press, centre).angle() - QLineF(at, centre).angle() + angleAtPress;
    if (angle < 0)
        angle += 360;
    if (angle > 360)
        angle -= 360;
    if (modifiers.testFlag(Qt::ControlModifier))
        angle = std::trunc((angle + kRotationSnap / 2) / kRotationSnap) * kRotationSnap;
    return angle;
}

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

// The current foreground and its settings in force; null without a current foreground.
app::ImageLayerPtr CurrentForeground(const app::LayerManager& manager)
{
    const QUuid& id = manager.CurrentForegroundId();
    return id.isNull() ? nullptr : manager.GetForeground(id);
}

app::ForegroundImageLayerSettingsPtr CurrentForegroundSettings(const app::LayerManager& manager)
{
    return manager.CurrentForegroundId().isNull() ? nullptr : manager.GetForegroundSettings();
}

// The current foreground's cast shadow and crop key; null when it has none.
std::shared_ptr<app::ShadowCastFilterItem> ShadowFilter(const app::LayerManager& manager)
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(manager);
    return settings ? app::FindItemOfType<app::ShadowCastFilterItem>(settings->Filters(), app::FilterItemTypeShadowCast)
                    : nullptr;
}

std::shared_ptr<app::CropKeyItem> CropKey(const app::LayerManager& manager)
{
    const app::ForegroundImageLayerSettingsPtr settings = CurrentForegroundSettings(manager);
    return settings ? app::FindItemOfType<app::CropKeyItem>(settings->Keys(), app::KeyItemTypeCrop) : nullptr;
}

// The list the text panels edit: the current foreground's, or the shared defaults' while there
// is none. Null only for a project whose loading failed.
app::TextList* CurrentTextList()
{
    const app::ProjectPtr project = CurrentProject();
    const app::ForegroundImageLayerSettingsPtr settings =
        project ? project->GetLayerManager()->GetForegroundSettings() : nullptr;
    return settings ? &settings->TextItems() : nullptr;
}

app::TextItemPtr FindTextItem(const QUuid& id)
{
    app::TextList* list = CurrentTextList();
    app::TextItemPtr item;
    if (list == nullptr || list->Get(id, item) != app::LMerrSuccess)
        return nullptr;
    return item;
}

bool InTextToolset()
{
    const app::ProjectPtr project = CurrentProject();
    return project && project->CurrentToolset() == app::ToolsetSectionText;
}

// What the item shows, as Base64 of its UTF-8 bytes: its own text, or the current foreground's
// file name or path.
QByteArray ShownText(const app::TextItem& item)
{
    switch (item.UseOption()) {
    case app::TextUseFilename:
        return QFileInfo(Application::Instance()->CurrentForegroundPath()).fileName().toUtf8().toBase64();
    case app::TextUseFilePath:
        return Application::Instance()->CurrentForegroundPath().toUtf8().toBase64();
    case app::TextUseCustom:
        break;
    }
    return item.TextString();
}

// The item's font at a size, drawn as the export draws it.
QFont ShownFont(const app::TextItem& item, int pointSize)
{
    QFont font(item.FontName(), app::drawable::FontSize(pointSize));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setBold(item.IsBold());
    font.setItalic(item.IsItalic());
    font.setUnderline(item.IsUnderlined());
    return font;
}

} // namespace

Qt::Alignment TextAlignmentFlags(app::TextAlignmentMethod alignment)
{
    switch (alignment) {
    case app::TextAlignmentCentre:
        return Qt::AlignCenter;
    case app::TextAlignmentRight:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

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
    LayerRotateGraphicsItem* layerRotateItem = nullptr;
    MaskShapeGraphicsItem* maskShape = nullptr;
    TextQuadGraphicsItem* textQuad = nullptr;
    TextRotateGraphicsItem* textRotateItem = nullptr;
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
    // The press reset a handle's value (a right click on a layer's scale or rotate handle).
    bool pressReset = false;

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
    // The canvas item of each text item by its id; the text items stay hidden while set.
    QMap<QUuid, TextLayerGraphicsItem*> textItems;
    bool textHidden = false;
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

// ---- Text items

TextLayerGraphicsItem* CanvasView::TextLayerItem(const QUuid& id) const
{
    return d->textItems.value(id, nullptr);
}

TextQuadGraphicsItem* CanvasView::TextQuad() const
{
    return d->textQuad;
}

TextRotateGraphicsItem* CanvasView::TextRotate() const
{
    return d->textRotateItem;
}

void CanvasView::AddTextItem(const QUuid& id, const QByteArray& text, const QFont& font, bool selected, bool enabled)
{
    if (scene() == nullptr || d->textItems.contains(id))
        return;
    auto* item = new TextLayerGraphicsItem(id, text, font, static_cast<int>(d->textItems.size()));
    scene()->addItem(item);
    d->textItems.insert(id, item);
    UpdateTextItemsZOrder();
    item->setEnabled(enabled);
    item->setVisible(enabled && !d->textHidden);
    // An item added unselected leaves the selection of the others as it is.
    if (selected && InTextToolset())
        SelectTextItem(id, true);
    else
        item->SetTextSelected(false);
    UpdateAllTextItemTransforms();
}

void CanvasView::CreateTextItems()
{
    RemoveAllTextItems();
    const app::TextList* list = CurrentTextList();
    if (list == nullptr)
        return;
    const QUuid& selected = list->CurrentlySelectedTextItem();
    const bool textToolset = InTextToolset();
    for (auto it = list->Begin(); it != list->End(); ++it) {
        const app::TextItem& text = **it;
        AddTextItem(text.Id(), ShownText(text), ShownFont(text, text.FontSize()), textToolset && text.Id() == selected,
                    text.IsEnabled());
        SetTextItemAlignment(text.Id(), TextAlignmentFlags(text.TextAlignment()));
        SetTextItemColor(text.Id(), text.FontColor());
        SetTextItemOpacity(text.Id(), app::drawable::Opacity(text.Opacity()));
    }
}

void CanvasView::RemoveTextItem(const QUuid& id)
{
    TextLayerGraphicsItem* item = d->textItems.take(id);
    if (item == nullptr)
        return;
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        RemoveTextHandles();
    RemoveCanvasItem(item);
}

void CanvasView::RemoveAllTextItems()
{
    for (TextLayerGraphicsItem* item : std::as_const(d->textItems))
        RemoveCanvasItem(item);
    d->textItems.clear();
    RemoveTextHandles();
}

void CanvasView::RemoveTextHandles()
{
    RemoveCanvasItem(d->textQuad);
    RemoveCanvasItem(d->textRotateItem);
    // A drag of handles that are gone ends here; its release has nothing left to write.
    d->textMove = d->textScale = d->textRotate = false;
}

void CanvasView::SelectTextItem(const QUuid& id, bool selected)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    RemoveTextHandles();
    for (auto it = d->textItems.cbegin(); it != d->textItems.cend(); ++it)
        it.value()->SetTextSelected(selected && it.key() == id);
    const app::TextItemPtr text = FindTextItem(id);
    if (selected && text && text->IsEnabled() && scene() != nullptr) {
        d->textQuad = new TextQuadGraphicsItem(id, item->text(), item->font(), item->Alignment());
        d->textRotateItem = new TextRotateGraphicsItem(QPointF(0, 0));
        scene()->addItem(d->textQuad);
        scene()->addItem(d->textRotateItem);
        UpdateTextItemTransform(id);
    }
    viewport()->update();
}

void CanvasView::UpdateTextItemTransform(const QUuid& id)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    const app::TextItemPtr text = FindTextItem(id);
    const app::ProjectPtr project = CurrentProject();
    if (item == nullptr || !text || !project)
        return;
    const app::Canvas& canvas = project->GetCanvas();
    const int halfWidth = static_cast<int>(canvas.Width() * 0.5);
    const int halfHeight = static_cast<int>(canvas.Height() * 0.5);
    // A file may hold any numbers; they are drawn as the export draws them.
    const double angle = app::drawable::Degrees(text->Angle());
    const QTransform placement = QTransform()
                                     .translate(halfWidth * app::drawable::CanvasFraction(text->Position().x()),
                                                halfHeight * app::drawable::CanvasFraction(text->Position().y()))
                                     .rotate(angle, Qt::ZAxis);
    // The text's own placement applies first, then the canvas transform.
    const QTransform transform = placement * canvas.GetTransform();
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id) {
        d->textQuad->setTransform(transform);
        if (d->textRotateItem != nullptr) {
            d->textRotateItem->setTransform(QTransform().rotate(angle, Qt::ZAxis));
            d->textRotateItem->setPos(d->textQuad->scenePos());
        }
        d->textQuad->SetAngle(angle);
    }
    item->setTransform(transform);
    item->SetAngle(angle);
}

void CanvasView::UpdateAllTextItemTransforms()
{
    for (auto it = d->textItems.cbegin(); it != d->textItems.cend(); ++it)
        UpdateTextItemTransform(it.key());
}

void CanvasView::UpdateTextItemsZOrder()
{
    const app::TextList* list = CurrentTextList();
    if (list == nullptr || !InTextToolset())
        return;
    int index = 0;
    for (auto it = list->Begin(); it != list->End(); ++it, ++index)
        if (TextLayerGraphicsItem* item = TextLayerItem((*it)->Id()))
            item->SetIndex(index);
}

void CanvasView::SetTextItemsVisible(bool visible)
{
    // A disabled item stays hidden when the others are shown again.
    for (TextLayerGraphicsItem* item : std::as_const(d->textItems))
        item->setVisible(visible && item->isEnabled());
}

void CanvasView::SetTextItemsHidden(bool hidden)
{
    d->textHidden = hidden;
    SetTextItemsVisible(!hidden);
}

bool CanvasView::AreTextItemsHidden() const
{
    return d->textHidden;
}

void CanvasView::SetTextItemEnabled(const QUuid& id, bool enabled)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id)) {
        item->setEnabled(enabled);
        item->setVisible(enabled && !d->textHidden);
    }
}

void CanvasView::SetTextItemText(const QUuid& id, const QByteArray& text)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetTextFromBase64(text);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetTextString(item->text());
}

void CanvasView::SetTextItemFont(const QUuid& id, const QFont& font)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetTextFont(font);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetTextFont(font);
}

void CanvasView::SetTextItemAlignment(const QUuid& id, Qt::Alignment alignment)
{
    TextLayerGraphicsItem* item = TextLayerItem(id);
    if (item == nullptr)
        return;
    item->SetAlignment(alignment);
    if (d->textQuad != nullptr && d->textQuad->TextItemId() == id)
        d->textQuad->SetAlignment(alignment);
}

void CanvasView::SetTextItemColor(const QUuid& id, const QColor& color)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id))
        item->SetColor(color);
}

void CanvasView::SetTextItemOpacity(const QUuid& id, double opacity)
{
    if (TextLayerGraphicsItem* item = TextLayerItem(id))
        item->SetTextOpacity(opacity);
}

void CanvasView::SetTextPosition(QPointF position, const QUuid& id)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) != nullptr && text)
        text->SetPosition(position);
}

void CanvasView::SetTextFontSize(const QUuid& id, int size)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) == nullptr || !text)
        return;
    text->SetFontSize(size);
    SetTextItemFont(id, ShownFont(*text, size));
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, id, FieldTypeTextItem);
}

void CanvasView::SetTextAngle(const QUuid& id, double degrees)
{
    const app::TextItemPtr text = FindTextItem(id);
    if (TextLayerItem(id) == nullptr || !text)
        return;
    text->SetAngle(degrees);
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, id, FieldTypeTextItem);
}

// The drags of the text frame edit the text it frames; they write the model and move the canvas
// items, and ask for no render.
void CanvasView::PressTextHandle(QGraphicsItem* item, QMouseEvent* event)
{
    if (d->textQuad == nullptr)
        return;
    const QUuid id = d->textQuad->TextItemId();
    if (event->buttons() == Qt::RightButton) {
        // The right button alone resets what the handle edits: the size or the turn.
        d->textQuad->ScaleHandle()->setSelected(false);
        if (d->textRotateItem != nullptr)
            d->textRotateItem->setSelected(false);
        if (item->type() == CanvasItemTextScale) {
            SetTextFontSize(id, app::TextItem::DefaultTextItemSize);
            UpdateTextItemTransform(id);
            d->pressReset = true;
        } else if (item->type() == CanvasItemTextRotate) {
            SetTextAngle(id, 0);
            UpdateTextItemTransform(id);
            d->pressReset = true;
        }
        return;
    }
    const app::TextItemPtr text = FindTextItem(id);
    if (d->spaceHeld || d->panning || !text)
        return;
    d->pressPosition = event->position();
    d->textXAtPress = app::drawable::CanvasFraction(text->Position().x());
    d->textYAtPress = app::drawable::CanvasFraction(text->Position().y());
    d->textFontSizeAtPress = app::drawable::FontSize(text->FontSize());
    d->textAngleAtPress = app::drawable::Degrees(text->Angle());
    switch (item->type()) {
    case CanvasItemTextQuad:
        if (!d->textScale && !d->textRotate)
            d->textMove = true;
        break;
    case CanvasItemTextScale:
        d->textQuad->ScaleHandle()->setSelected(true);
        d->textScale = true;
        break;
    case CanvasItemTextRotate:
        if (d->textRotateItem != nullptr)
            d->textRotateItem->setSelected(true);
        d->textRotate = true;
        break;
    default:
        break;
    }
}

void CanvasView::DragTextHandle(QMouseEvent* event)
{
    if (d->textQuad == nullptr)
        return;
    if (d->textMove)
        MoveText(event->position(), event->modifiers());
    if (d->textScale)
        ScaleText(event->position());
    if (d->textRotate)
        RotateText(event->position(), event->modifiers());
}

void CanvasView::ReleaseTextHandle(QMouseEvent* event)
{
    // The last value once more.
    DragTextHandle(event);
    if (d->textQuad != nullptr)
        d->textQuad->ScaleHandle()->setSelected(false);
    if (d->textRotateItem != nullptr)
        d->textRotateItem->setSelected(false);
    d->textMove = d->textScale = d->textRotate = false;
    d->textXLocked = d->textYLocked = false;
}

void CanvasView::MoveText(const QPointF& at, Qt::KeyboardModifiers modifiers)
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return;
    FollowAxisLock(d->pressPosition, at, modifiers, d->textXLocked, d->textYLocked);
    const QPointF delta = LockedDelta(d->pressPosition, at, d->textXLocked, d->textYLocked);
    const app::Canvas& canvas = project->GetCanvas();
    const double scale = canvas.Scale();
    const int halfWidth = static_cast<int>(canvas.Width() * 0.5);
    const int halfHeight = static_cast<int>(canvas.Height() * 0.5);
    QPointF position(d->textXAtPress, d->textYAtPress);
    // An empty canvas, or one shown at no scale, leaves the text where it was rather than
    // writing an infinity into the project.
    if (halfWidth * scale > 0)
        position.rx() += delta.x() / (halfWidth * scale);
    if (halfHeight * scale > 0)
        position.ry() += delta.y() / (scale * halfHeight);
    const QUuid id = d->textQuad->TextItemId();
    SetTextPosition(position, id);
    UpdateTextItemTransform(id);
}

void CanvasView::ScaleText(const QPointF& at)
{
    // One point per pixel; dragging down enlarges.
    const int size = std::clamp(static_cast<int>(d->textFontSizeAtPress + (at.y() - d->pressPosition.y())),
                                app::drawable::kMinFontSize, app::drawable::kMaxFontSize);
    const QUuid id = d->textQuad->TextItemId();
    SetTextFontSize(id, size);
    UpdateTextItemTransform(id);
}

void CanvasView::RotateText(const QPointF& at, Qt::KeyboardModifiers modifiers)
{
    const QUuid id = d->textQuad->TextItemId();
    SetTextAngle(id, DragAngle(d->pressPosition, at, d->textQuad->scenePos(), d->textAngleAtPress, modifiers));
    UpdateTextItemTransform(id);
}

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
