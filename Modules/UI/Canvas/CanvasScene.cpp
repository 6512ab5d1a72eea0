#include "Canvas/CanvasScene.h"

#include "Shell/Application.h"

#include "Project.h"

#include <QGraphicsView>
#include <QPainter>
#include <QPixmap>

#include <new>

namespace lumo::ui {

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;

namespace {

// What the next paint renders before it draws; each request replaces the one before.
enum RenderMode : int {
    RenderModeStoredImage = 1,
    RenderModeLayer = 2,
    RenderModeCanvas = 4,
};

constexpr int kFitMargin = 40;

app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

} // namespace

QRect CanvasRectInWorkspace()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return QRect();
    const app::Canvas& canvas = project->GetCanvas();
    QTransform transform = canvas.WorkspaceTransform(HXDownsampleFactor0);
    transform.translate(-0.5 * canvas.Width(), -0.5 * canvas.Height());
    return transform.mapRect(QRect(0, 0, static_cast<int>(canvas.Width()), static_cast<int>(canvas.Height())));
}

struct CanvasScene::Private {
    QPixmap checker{QStringLiteral(":/Canvas/CheckBackground.png")};
    app::RenderLevel pendingLevel = app::RenderLevelPostFilter;
    HXDownsampleFactor pendingDownsample = HXDownsampleFactor0;
    int renderMode = RenderModeStoredImage;
    QImage image;
    QUuid pendingLayerId;
};

CanvasScene::CanvasScene(QObject* parent) : QGraphicsScene(parent), d(std::make_unique<Private>())
{
    setBackgroundBrush(QColor(0, 0, 0, 255));
    setItemIndexMethod(QGraphicsScene::NoIndex);
    if (Application* app = Application::Instance()) {
        connect(app, qOverload<HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested), this,
                qOverload<HXDownsampleFactor>(&CanvasScene::SlotRedrawScene));
        connect(app,
                qOverload<const QUuid&, app::RenderLevel, HXDownsampleFactor>(&Application::SignalCanvasRefreshRequested),
                this, qOverload<const QUuid&, app::RenderLevel, HXDownsampleFactor>(&CanvasScene::SlotRedrawScene));
    }
}

CanvasScene::~CanvasScene() = default;

const QImage& CanvasScene::CanvasImage() const
{
    return d->image;
}

void CanvasScene::SlotRedrawScene(HXDownsampleFactor downsample)
{
    d->pendingDownsample = downsample;
    d->renderMode = RenderModeCanvas;
    invalidate(QRectF(), QGraphicsScene::AllLayers);
}

void CanvasScene::SlotRedrawScene(const QUuid& layerId, app::RenderLevel level, HXDownsampleFactor downsample)
{
    d->pendingLayerId = layerId;
    d->pendingLevel = level;
    d->pendingDownsample = downsample;
    d->renderMode = RenderModeLayer;
    invalidate(QRectF(), QGraphicsScene::AllLayers);
}

void CanvasScene::ModelChanged(DataType type, const QUuid& /*id*/, FieldType field)
{
    if (type == DataTypeProject && field == FieldTypeRefreshAll) {
        d->image = QImage();
        invalidate(QRectF(), QGraphicsScene::ForegroundLayer);
    } else if (type == DataTypeCanvas && field == FieldTypeFocusCanvas) {
        FitCanvasToView();
    }
}

void CanvasScene::FitCanvasToView()
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    if (app == nullptr || !project)
        return;
    app::Canvas& canvas = project->GetCanvas();
    const int canvasWidth = static_cast<int>(canvas.Width());
    const int canvasHeight = static_cast<int>(canvas.Height());
    const int availableWidth = static_cast<int>(sceneRect().width()) - app->ToolsetWidth() - kFitMargin;
    const int availableHeight = static_cast<int>(sceneRect().height()) - app->CanvasActionsHeight() - kFitMargin;
    // A canvas or a free area of nothing has no scale (and must not divide by zero).
    if (canvasWidth <= 0 || canvasHeight <= 0 || availableWidth <= 0 || availableHeight <= 0)
        return;
    const float canvasAspect = static_cast<float>(canvasWidth) / static_cast<float>(canvasHeight);
    const float availableAspect = static_cast<float>(availableWidth) / static_cast<float>(availableHeight);
    const float scale = availableAspect > canvasAspect ? static_cast<float>(availableHeight) / canvasHeight
                                                       : static_cast<float>(availableWidth) / canvasWidth;
    canvas.SetScale(scale);
    canvas.SetPosition(0, 0);
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, model->GetDocument()->Id(), FieldTypeCanvasScale);
    app->InvalidateCompositeCaches(HXDownsampleFactor3);
    if (const auto processor = app->GetRenderProcessor())
        processor->InvalidateAllMaskCache();
    SlotRedrawScene(HXDownsampleFactor0);
}

void CanvasScene::RenderPending()
{
    const int mode = d->renderMode;
    const QUuid layerId = d->pendingLayerId;
    d->renderMode = RenderModeStoredImage;
    d->pendingLayerId = QUuid();
    Application* app = Application::Instance();
    if (app == nullptr)
        return;
    app::LMerr code = app::LMerrSuccess;
    if (mode == RenderModeLayer)
        code = app->RenderLayerToCanvas(d->image, layerId, d->pendingLevel, d->pendingDownsample);
    else if (mode == RenderModeCanvas)
        code = app->RenderAllLayersToCanvas(d->image, d->pendingDownsample);
    // Other failures (among them the refusal while exporting) leave the last image on screen.
    if (code == app::LMerrRenderOutOfMemory) {
        d->image = QImage();
        throw std::bad_alloc();
    }
}

void CanvasScene::drawBackground(QPainter* painter, const QRectF& /*exposed*/)
{
    const QRect whole = sceneRect().toRect();
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0, 0, 0, 255));
    painter->drawRect(whole);
    if (views().isEmpty() || !views().first()->isVisible())
        return;
    if (!d->checker.isNull())
        painter->drawTiledPixmap(CanvasRectInWorkspace(), d->checker, QPoint(0, 0));
    // A failed render must not unwind through the paint: it is reported by a queued call.
    bool rendered = false;
    RunGuarded([&] {
        RenderPending();
        rendered = true;
    });
    if (!rendered)
        return;
    const Application* app = Application::Instance();
    if (app != nullptr && !d->image.isNull() && d->image.constBits() != nullptr)
        painter->drawImage(app->WindowCacheRect(), d->image);
}

} // namespace lumo::ui
