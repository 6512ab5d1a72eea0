#pragma once

#include "Shell/LumoModel.h"
#include "Shell/MetaTypes.h"

#include <QGraphicsScene>
#include <QImage>
#include <QRect>
#include <QUuid>

#include <memory>

namespace lumo::ui {

// The rectangle the canvas occupies in scene coordinates.
QRect CanvasRectInWorkspace();

// The one scene of the main window: a black backdrop, a checker where the canvas lies and over it
// the image the render pipeline made of the project. Every refresh request ends here: the scene
// keeps the last request and renders it in its next paint, through the Application.
// Observes the model for all data types.
class CanvasScene : public QGraphicsScene, public LumoModelObserver {
    Q_OBJECT

public:
    explicit CanvasScene(QObject* parent = nullptr);
    ~CanvasScene() override;

    // Scales the canvas to the scene's free area (beside the toolset bar, below the actions bar,
    // 40 pixels of margin), announces the scale and redraws at full resolution. Without room,
    // or for an empty canvas, nothing changes.
    void FitCanvasToView();

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

    // The last rendered canvas image (null before the first render).
    const QImage& CanvasImage() const;

public slots:
    void SlotRedrawScene(hvn::image::HXDownsampleFactor downsample);
    void SlotRedrawScene(const QUuid& layerId, lumo::app::RenderLevel level, hvn::image::HXDownsampleFactor downsample);

protected:
    void drawBackground(QPainter* painter, const QRectF& exposed) override;

private:
    void RenderPending();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
