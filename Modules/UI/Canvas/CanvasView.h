#pragma once

#include "Shell/LumoModel.h"

#include "ImageLayer.h"
#include "LMerr.h"
#include "Mask.h"
#include "TextItem.h"
#include "TransformItems.h"

#include <hvn/image/HXTypes.h>

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QGraphicsView>
#include <QPointF>
#include <QSize>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class QGraphicsItem;

namespace lumo::ui {

class CropGraphicsItem;
class LayerQuadGraphicsItem;
class LayerRotateGraphicsItem;
class MaskShapeGraphicsItem;
class ShadowQuadGraphicsItem;
class TextLayerGraphicsItem;
class TextQuadGraphicsItem;
class TextRotateGraphicsItem;

// The layer that gets transform handles in the project's current toolset and layer type.
struct LayerHandleChoice {
    // What the handles carry: the foreground slot's fixed id for the current foreground, otherwise
    // the layer's own id.
    QUuid handleId;
    app::ImageLayerPtr layer;
    bool visible = false;
};

// Position: the current foreground (or the background for layer type 0); Layers: the selected
// layer; Overlay: the overlay. Layers and the overlay show their handles only while they are
// placed by hand (no fit, or a fit to none). Nothing in other toolsets or when the layer is absent
// or has no valid image.
std::optional<LayerHandleChoice> ChooseLayerHandles(const app::Project& project);

// How a text item's alignment is drawn (and shown in the text panel's box): centre, right, and
// left for anything else.
Qt::Alignment TextAlignmentFlags(app::TextAlignmentMethod alignment);

// The main window's view of the canvas scene. View pixels are scene coordinates: no frame, no
// scroll bars, top-left alignment, and the scene rectangle follows the view's size, so
// mapToScene(p) == p; the handle maths relies on it. Dragging empty canvas pans, the wheel zooms,
// and presses on handle items start the drags of layers, text, the shadow quad and masks.
// Observes the model for all data types.
// The handle items (layers, text, crop, shadow quad, masks) are owned here and removed only
// through GraphicsItemDeleter.
// on.
class CanvasView : public QGraphicsView, public LumoModelObserver {
    Q_OBJECT

public:
    explicit CanvasView(QWidget* parent = nullptr);
    ~CanvasView() override;

    // Stores the view's size in the project and centres the canvas in the part of the view beside
    // the toolset bar and below the canvas actions bar.
    void UpdateCanvasCentre();
    // Create mode clicks add mask points; select mode drags a rubber band over them.
    void SetMaskMode(app::MaskMode mode);
    // While Space is held, presses on handles pan the canvas instead.
    bool IsSpaceHeld() const;

    // Layer handles: the outline of the layer with its scale handle, and the rotate handle at its
    // centre. layerId is the foreground slot's fixed id for the current foreground, else the
    // layer's own id. Create replaces existing handles; Update follows the layer's placement and
    // the canvas transform.
    void CreateLayerHandles(const QUuid& layerId);
    void UpdateLayerHandles();
    void RemoveLayerHandles();
    void SetLayerHandlesVisible(bool visible);
    LayerQuadGraphicsItem* LayerQuad() const;
    LayerRotateGraphicsItem* LayerRotate() const;
    // The layer's placement item and its type (the foreground slot's id: the current foreground,
    // type 1); 21 when there is none.
    app::LMerr FindLayerTransformItem(const QUuid& layerId, app::LayerType& type,
                                      std::shared_ptr<app::TransformationTransformItem>& item) const;
    // The layer's pixel size; (0, 0) when there is none.
    QSize LayerPixelSize(const QUuid& layerId) const;
    // Write the placement, tell the model's observers and redraw: a preview at factor 3 while
    // dragging, in full at factor 0.
    void ApplyLayerTranslation(QPointF translate, const QUuid& layerId, hvn::image::HXDownsampleFactor factor);
    // Both axes get the magnitude, each with the sign it had at the press (a flip is kept).
    void ApplyLayerScale(QPointF scaleAtPress, const QUuid& layerId, hvn::image::HXDownsampleFactor factor,
                         double magnitude);
    void ApplyLayerRotation(const QUuid& layerId, hvn::image::HXDownsampleFactor factor, double degrees);
    // Text items: each text item of the current foreground's list shown by a canvas item over the
    // rendered canvas (text is drawn live, never rendered here), the selected one framed with a
    // scale and a rotate handle in the text toolset. Every operation on one id does nothing for
    // an id without a canvas item; model writes act only on ids in the current list. None asks
    // for a render.
    // Adds the canvas item of a text (Base64 of its UTF-8 bytes), on top of the others; nothing
    // when the id has one already.
    void AddTextItem(const QUuid& id, const QByteArray& text, const QFont& font, bool selected, bool enabled);
    // Rebuilds the items from the current list, in list order.
    void CreateTextItems();
    void RemoveTextItem(const QUuid& id);
    void RemoveAllTextItems();
    // Selects the item (the others are deselected); a selected item that is enabled in the model
    // gets the frame and the handles, which any previous selection loses.
    void SelectTextItem(const QUuid& id, bool selected);
    // Places the item (and its frame and handles) at its position, turned by its angle.
    void UpdateTextItemTransform(const QUuid& id);
    void UpdateAllTextItemTransforms();
    // In the text toolset only: stacks the items in list order (the last in front).
    void UpdateTextItemsZOrder();
    // Shows every enabled item, or hides them all.
    void SetTextItemsVisible(bool visible);
    // While set (matte view), the items stay hidden.
    void SetTextItemsHidden(bool hidden);
    bool AreTextItemsHidden() const;
    void SetTextItemEnabled(const QUuid& id, bool enabled);
    // The text the item and its frame show (Base64 of its UTF-8 bytes).
    void SetTextItemText(const QUuid& id, const QByteArray& text);
    void SetTextItemFont(const QUuid& id, const QFont& font);
    void SetTextItemAlignment(const QUuid& id, Qt::Alignment alignment);
    void SetTextItemColor(const QUuid& id, const QColor& color);
    void SetTextItemOpacity(const QUuid& id, double opacity);
    // Model writes. Position: fractions of half the canvas from its centre; size and angle tell
    // the model's observers (the text panel follows the handles).
    void SetTextPosition(QPointF position, const QUuid& id);
    void SetTextFontSize(const QUuid& id, int size);
    void SetTextAngle(const QUuid& id, double degrees);
    TextLayerGraphicsItem* TextLayerItem(const QUuid& id) const;
    TextQuadGraphicsItem* TextQuad() const;
    TextRotateGraphicsItem* TextRotate() const;
    // Crop rectangle and shadow quad; both follow the current foreground's placement.
    void CreateCropItem();
    // The crop key changed at an edge (1 left, 2 right, 3 top, 4 bottom): the rectangle shows it,
    // then fades.
    void UpdateCropItems(int edge);
    void RemoveCropItem();
    void UpdateCropItemTransform();
    // Shows the shadow-cast filter's quad; a quad never set gets the default for the shadow's
    // shape, stored at once.
    void CreateShadowQuad();
    void RemoveShadowQuad();
    void SetShadowQuadEnabled(bool enabled);
    void StoreShadowQuad();
    void UpdateShadowQuadTransform();
    CropGraphicsItem* Crop() const;
    ShadowQuadGraphicsItem* ShadowQuad() const;
    // Mask items: the outline of one mask of the current foreground with its handles, edited on
    // the canvas and written back by StoreMaskHandles when an edit ends. Create replaces the
    // shown items; a mask id the foreground lacks goes to the fatal road and shows nothing.
    void CreateMaskItems(const QUuid& maskId);
    void RemoveMaskItems();
    // Writes the shown items back into the mask they were built from (every store gives the
    // model's handles new ids); a changed mask drops its cached coverage and the shadow's.
    void StoreMaskHandles();
    void UpdateMaskItemsTransform();
    // The selected handles lose or get control points, or go; the mask is stored and the
    // foreground redrawn.
    void MakeSelectedMaskHandlesStraight();
    void MakeSelectedMaskHandlesCurved();
    void DeleteSelectedMaskHandles();
    // The shown outline; null when none is shown.
    MaskShapeGraphicsItem* MaskShape() const;

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

signals:
    void SignalBackgroundDepthOfFieldOriginChanged(QPointF origin);
    void SignalEffectsDepthOfFieldOriginChanged(QPointF origin);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Rebuilds the handle items for the current toolset.
    void RefreshHandles();
    // Brings every handle item to the current canvas transform.
    void FollowCanvasTransform();
    void PressInMasksToolset(QMouseEvent* event);
    // False when no item lies under the press: the press is then ignored.
    bool PressInOtherToolsets(QMouseEvent* event);
    void StartPanning(const QPointF& at);
    void PanTo(const QPointF& at);
    void EndPanCursor();

    // The drags of the handle items.
    void PressLayerHandle(QGraphicsItem* item, QMouseEvent* event);
    void DragLayerHandle(QMouseEvent* event);
    void ReleaseLayerHandle(QMouseEvent* event);
    void PressTextHandle(QGraphicsItem* item, QMouseEvent* event);
    void DragTextHandle(QMouseEvent* event);
    void ReleaseTextHandle(QMouseEvent* event);
    // Where text drags write: move by the pointer, size by its height, turn about the text's
    // origin.
    void MoveText(const QPointF& at, Qt::KeyboardModifiers modifiers);
    void ScaleText(const QPointF& at);
    void RotateText(const QPointF& at, Qt::KeyboardModifiers modifiers);
    void RemoveTextHandles();
    // Where layer drags write: move by the pointer, scale by its height, turn about the centre.
    void MoveLayer(const QPointF& at, Qt::KeyboardModifiers modifiers, hvn::image::HXDownsampleFactor factor);
    void ScaleLayer(const QPointF& at, hvn::image::HXDownsampleFactor factor);
    void RotateLayer(const QPointF& at, Qt::KeyboardModifiers modifiers, hvn::image::HXDownsampleFactor factor);
    // The model write of the three Apply operations and their shared refresh.
    void ApplyLayerTransform(const QUuid& layerId, hvn::image::HXDownsampleFactor factor,
                             const std::function<void(app::TransformationTransformItem&)>& write);
    // Gives the item the canvas transform with the current foreground's placement applied first,
    // so that its coordinates are the foreground's pixels; the canvas transform alone without a
    // current foreground (or, when stopOnNegativeSize is set, for a negative size).
    void FollowForeground(QGraphicsItem& item, bool stopOnNegativeSize) const;
    void PlaceDefaultShadowQuad();
    void DeselectShadowQuad();
    void ReleaseShadowDrag();
    bool IsShownMaskClosed() const;
    int ShownMaskHandleCount() const;
    bool CloseMaskAtHandle(QGraphicsItem* handle);
    void AddMaskHandleAt(const QPointF& scenePosition);
    void SelectMaskShape();
    void ReleaseMaskShape(QMouseEvent* event);
    // The mask of the current foreground with the id; a missing one goes to the fatal road.
    app::MaskPtr FindMask(const QUuid& maskId) const;
    // The shape's edit written back, the mask and the shadow redrawn from their caches' start.
    void FinishMaskHandlesEdit(const std::function<void(MaskShapeGraphicsItem&)>& edit);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
