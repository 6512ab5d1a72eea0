#pragma once

#include "Shell/LumoModel.h"

#include <QGraphicsView>

namespace lumo::ui {

// The main window's view of the canvas scene. View pixels are scene coordinates: no frame, no
// scroll bars, the scene rectangle follows the view's size. Observes the model for all data types.
// The interactive handles (layers, text, crop, shadow quad, masks) live here; until they exist the
// operations on them find nothing to act on.
class CanvasView : public QGraphicsView, public LumoModelObserver {
    Q_OBJECT

public:
    explicit CanvasView(QWidget* parent = nullptr);
    ~CanvasView() override;

    // Stores the view's size in the project and centres the canvas in the part of the view beside
    // the toolset bar and below the canvas actions bar.
    void UpdateCanvasCentre();
    void RemoveLayerHandles();
    void RemoveShadowQuad();
    void CreateTextItems();
    void CreateMaskItems();
    void StoreMaskHandles();

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace lumo::ui
