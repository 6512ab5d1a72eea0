#pragma once

#include "Shell/LumoModel.h"
#include "Shell/MetaTypes.h"

#include "LMerr.h"

#include <QGraphicsScene>
#include <QImage>
#include <QRect>
#include <QUuid>

#include <functional>
#include <memory>

namespace lumo::ui {

class CanvasOutlineGraphicsItem;

// The rectangle the canvas occupies in scene coordinates; empty without a project.
QRect CanvasRectInWorkspace();

// One render the scene asks for in a paint: one layer from a stage (then the whole canvas is
// composed), or the whole canvas.
struct CanvasRenderRequest {
    bool wholeCanvas = true;
    QUuid layerId;
    app::RenderLevel level = app::RenderLevelPostFilter;
    hvn::image::HXDownsampleFactor downsample = hvn::image::HXDownsampleFactor0;
};

// Renders a request into image and answers the render pipeline's code (55: out of memory).
using CanvasRenderCall = std::function<app::LMerr(QImage& image, const CanvasRenderRequest& request)>;

// The one scene of the main window: a black backdrop, a checker where the canvas lies and over it
// the image the render pipeline made of the project, under the canvas outline. Every refresh
// request ends here: the scene keeps the last request and renders it in its next paint. After a
// change of the scene rectangle (a resize) only black is drawn until the size has settled for
// 250 ms; then the canvas is fitted and rendered at full resolution. Before the canvas has been
// drawn at all (the window's first show) there is no resize to wait out: the view's first paint
// takes its size as it is, and the fit and the render follow at once.
// Observes the model for all data types.
class CanvasScene : public QGraphicsScene, public LumoModelObserver {
    Q_OBJECT

public:
    static constexpr int SettleMilliseconds = 250;

    explicit CanvasScene(QObject* parent = nullptr);
    ~CanvasScene() override;

    // Scales the canvas to the scene's free area (beside the toolset bar, below the actions bar,
    // 40 pixels of margin), announces the scale and redraws at full resolution. Without a view,
    // without room or for an empty canvas nothing changes.
    void FitCanvasToView();

    void ModelChanged(DataType type, const QUuid& id, FieldType field) override;

    // The last rendered canvas image (null before the first render).
    const QImage& CanvasImage() const;
    CanvasOutlineGraphicsItem* Outline() const;
    // False from a change of the scene rectangle until the size has settled (at once when the
    // canvas was never drawn before).
    bool IsDrawingEnabled() const;
    // Replaces how the scene renders (tests count renders and force results); empty returns to
    // RenderThroughApplication.
    void SetRenderCall(CanvasRenderCall call);
    // The Application's RenderLayerToCanvas or RenderAllLayersToCanvas.
    static app::LMerr RenderThroughApplication(QImage& image, const CanvasRenderRequest& request);

public slots:
    void SlotSceneRectChanged(const QRectF& rect);
    void SlotRedrawScene(hvn::image::HXDownsampleFactor downsample);
    void SlotRedrawScene(const QUuid& layerId, lumo::app::RenderLevel level, hvn::image::HXDownsampleFactor downsample);

protected:
    void timerEvent(QTimerEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& exposed) override;
    void drawForeground(QPainter* painter, const QRectF& exposed) override;

private:
    bool IsShownInView() const;
    // Runs the pending request; false when it failed in a way that ends the program (reported).
    bool RenderPending();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace lumo::ui
