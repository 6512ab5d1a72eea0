#pragma once

#include "Shell/LumoModel.h"

#include "ImageLayer.h"
#include "Mask.h"

#include <QGraphicsView>
#include <QPointF>
#include <QUuid>

#include <memory>
#include <optional>

class QGraphicsItem;

namespace lumo::ui {

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

// The main window's view of the canvas scene. View pixels are scene coordinates: no frame, no
// scroll bars, top-left alignment, and the scene rectangle follows the view's size, so
// mapToScene(p) == p; the handle maths relies on it. Dragging empty canvas pans, the wheel zooms,
// and presses on handle items start the drags of layers, text, the shadow quad and masks.
// Observes the model for all data types.
// The handle items (layers, text, crop, shadow quad, masks) are owned here; until they are built
// the operations on them have nothing to act on.
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

    // Layer handles.
    void CreateLayerHandles(const QUuid& layerId);
    void UpdateLayerHandles();
    void RemoveLayerHandles();
    void SetLayerHandlesVisible(bool visible);
    // Text items.
    void CreateTextItems();
    void RemoveAllTextItems();
    void SelectTextItem(const QUuid& id, bool selected);
    void UpdateAllTextItemTransforms();
    // Crop rectangle and shadow quad.
    void CreateCropItem();
    void RemoveCropItem();
    void UpdateCropItemTransform();
    void CreateShadowQuad();
    void RemoveShadowQuad();
    void SetShadowQuadEnabled(bool enabled);
    void StoreShadowQuad();
    void UpdateShadowQuadTransform();
    // Mask items.
    void CreateMaskItems(const QUuid& maskId);
    void RemoveMaskItems();
    void StoreMaskHandles();
    void UpdateMaskItemsTransform();
    void DeleteSelectedMaskHandles();

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
    void DeselectShadowQuad();
    void ReleaseShadowDrag();
    bool IsShownMaskClosed() const;
    int ShownMaskHandleCount() const;
    bool CloseMaskAtHandle(QGraphicsItem* handle);
    void AddMaskHandleAt(const QPointF& scenePosition);
    void SelectMaskShape();
    void ReleaseMaskShape(QMouseEvent* event);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
