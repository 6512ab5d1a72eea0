#include "Canvas/CanvasScene.h"

#include "Canvas/CanvasBackdropFrame.h"
#include "Canvas/CanvasOutlineGraphicsItem.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "LayerManager.h"
#include "Project.h"

#include <QBasicTimer>
#include <QGraphicsView>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimerEvent>

#include <algorithm>
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
constexpr int kUniqueFramePenWidth = 2;

// Out of memory in a canvas render, as the fatal road reports it.
class RenderOutOfMemory : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "Render out of memory"; }
};

app::ProjectPtr CurrentProject()
{
    const Application* app = Application::Instance();
    return app != nullptr ? app->GetDocument()->GetProject() : nullptr;
}

// True when the canvas outline is the lowest item shown: its shade then lies right over the
// backdrop and can be painted with it.
bool OutlineIsLowest(const QGraphicsScene& scene, const QGraphicsItem* outline)
{
    if (outline == nullptr || !outline->isVisible())
        return false;
    const QList<QGraphicsItem*> shown = scene.items();
    return std::all_of(shown.begin(), shown.end(), [outline](const QGraphicsItem* item) {
        return item == outline || !item->isVisible() || item->topLevelItem()->zValue() > outline->zValue();
    });
}

} // namespace

QRect CanvasRectInWorkspace()
{
    const app::ProjectPtr project = CurrentProject();
    if (!project)
        return QRect();
    const app::Canvas& canvas = project->GetCanvas();
    // The shift to the canvas centre applies first, before the workspace transform.
    QTransform transform = canvas.WorkspaceTransform(HXDownsampleFactor0);
    transform.translate(-0.5 * canvas.Width(), -0.5 * canvas.Height());
    return transform.mapRect(QRect(0, 0, static_cast<int>(canvas.Width()), static_cast<int>(canvas.Height())));
}

struct CanvasScene::Private {
    CanvasOutlineGraphicsItem* outline = nullptr;
    QPixmap checker{QStringLiteral(":/Canvas/CheckBackground.png")};
    bool drawingEnabled = true;
    // A paint has drawn the canvas (more than black) in a shown view: from then on a resize waits
    // to settle, so that a window dragged larger is not rendered at every step.
    bool canvasDrawn = false;
    bool foregroundUnique = false;
    app::RenderLevel pendingLevel = app::RenderLevelPostFilter;
    HXDownsampleFactor pendingDownsample = HXDownsampleFactor0;
    int renderMode = RenderModeStoredImage;
    QImage image;
    // The image shows the window cache of the render pipeline that made it: that pipeline lives as
    // long as the image, even when opening a project replaces it.
    Application::RenderProcessorPtr imageSource;
    QUuid pendingLayerId;
    QBasicTimer redrawTimer;
    CanvasRenderCall render;
    // Paints the backdrop, the image and the outline's shade in one pass.
    CanvasBackdropFrame frame;

    void DropImage()
    {
        image = QImage();
        imageSource.reset();
    }
};

CanvasScene::CanvasScene(QObject* parent) : QGraphicsScene(parent), d(std::make_unique<Private>())
{
    d->outline = new CanvasOutlineGraphicsItem();
    addItem(d->outline);
    setBackgroundBrush(QColor(0, 0, 0, 255));
    // The items move all the time, and the outline's rectangle changes unannounced.
    setItemIndexMethod(QGraphicsScene::NoIndex);
    connect(this, &QGraphicsScene::sceneRectChanged, this, &CanvasScene::SlotSceneRectChanged);
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

CanvasOutlineGraphicsItem* CanvasScene::Outline() const
{
    return d->outline;
}

bool CanvasScene::IsDrawingEnabled() const
{
    return d->drawingEnabled;
}

void CanvasScene::SetRenderCall(CanvasRenderCall call)
{
    d->render = std::move(call);
}

app::LMerr CanvasScene::RenderThroughApplication(QImage& image, const CanvasRenderRequest& request)
{
    Application* app = Application::Instance();
    if (app == nullptr)
        return app::LMerrRenderFailed;
    return request.wholeCanvas ? app->RenderAllLayersToCanvas(image, request.downsample)
                               : app->RenderLayerToCanvas(image, request.layerId, request.level, request.downsample);
}

void CanvasScene::SlotSceneRectChanged(const QRectF& /*rect*/)
{
    d->drawingEnabled = false;
    d->redrawTimer.start(SettleMilliseconds, this);
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
        d->DropImage();
        d->foregroundUnique = false;
        invalidate(QRectF(), QGraphicsScene::ForegroundLayer);
    } else if (type == DataTypeProject && (field == FieldTypeImageAdded || field == FieldTypeForegroundUniqueness)) {
        // The frame follows the uniqueness whenever it may have changed, not only with a new image.
        const app::ProjectPtr project = CurrentProject();
        d->foregroundUnique = project && project->GetLayerManager()->IsCurrentForegroundUnique();
        invalidate(QRectF(), QGraphicsScene::ForegroundLayer);
    } else if (type == DataTypeCanvas && field == FieldTypeFocusCanvas) {
        FitCanvasToView();
    }
}

bool CanvasScene::IsShownInView() const
{
    const QList<QGraphicsView*> shownIn = views();
    return !shownIn.isEmpty() && shownIn.first()->isVisible();
}

void CanvasScene::timerEvent(QTimerEvent* event)
{
    // While the view is hidden the timer keeps running, at the settle pace even when a first paint
    // started it at once, so the fit follows once it is shown.
    if (event->timerId() == d->redrawTimer.timerId() && !IsShownInView()) {
        d->redrawTimer.start(SettleMilliseconds, this);
    } else if (event->timerId() == d->redrawTimer.timerId()) {
        d->redrawTimer.stop();
        d->drawingEnabled = true;
        FitCanvasToView();
        d->pendingDownsample = HXDownsampleFactor0;
        d->renderMode = RenderModeCanvas;
        invalidate(QRectF(), QGraphicsScene::AllLayers);
    }
    QGraphicsScene::timerEvent(event);
}

void CanvasScene::FitCanvasToView()
{
    Application* app = Application::Instance();
    const app::ProjectPtr project = CurrentProject();
    if (app == nullptr || !project || views().isEmpty())
        return;
    app::Canvas& canvas = project->GetCanvas();
    const int canvasWidth = static_cast<int>(canvas.Width());
    const int canvasHeight = static_cast<int>(canvas.Height());
    // A greeting card's back lies beside the canvas (left of a portrait card, above a landscape
    // one): the fit takes both, and the canvas moves by half its side so that the pair is centred.
    const bool withBack = ShowsBackOfCard(canvas);
    const bool backLeft = canvas.Orientation() == app::CanvasOrientationPortrait;
    const int fittedWidth = withBack && backLeft ? 2 * canvasWidth : canvasWidth;
    const int fittedHeight = withBack && !backLeft ? 2 * canvasHeight : canvasHeight;
    const int availableWidth = static_cast<int>(sceneRect().width()) - app->ToolsetWidth() - kFitMargin;
    const int availableHeight = static_cast<int>(sceneRect().height()) - app->CanvasActionsHeight() - kFitMargin;
    // A canvas or a free area of nothing has no scale (and must not divide by zero).
    if (canvasWidth <= 0 || canvasHeight <= 0 || availableWidth <= 0 || availableHeight <= 0)
        return;
    const float canvasAspect = static_cast<float>(fittedWidth) / static_cast<float>(fittedHeight);
    const float availableAspect = static_cast<float>(availableWidth) / static_cast<float>(availableHeight);
    const float scale = availableAspect > canvasAspect
                            ? static_cast<float>(availableHeight) / static_cast<float>(fittedHeight)
                            : static_cast<float>(availableWidth) / static_cast<float>(fittedWidth);
    canvas.SetScale(scale);
    canvas.SetPosition(withBack && backLeft ? canvasWidth / 2 : 0, withBack && !backLeft ? canvasHeight / 2 : 0);
    if (const LumoModelPtr model = Model())
        model->NotifyObservers(DataTypeCanvas, model->GetDocument()->Id(), FieldTypeCanvasScale);
    app->InvalidateCompositeCaches(HXDownsampleFactor3);
    if (const auto processor = app->GetRenderProcessor())
        processor->InvalidateAllMaskCache();
    SlotRedrawScene(HXDownsampleFactor0);
}

bool CanvasScene::RenderPending()
{
    if (d->renderMode == RenderModeStoredImage)
        return true;
    CanvasRenderRequest request;
    request.wholeCanvas = d->renderMode == RenderModeCanvas;
    request.layerId = d->pendingLayerId;
    request.level = d->pendingLevel;
    request.downsample = d->pendingDownsample;
    // A request is carried out once, whatever comes of it.
    d->renderMode = RenderModeStoredImage;
    d->pendingLayerId = QUuid();

    Application* app = Application::Instance();
    // The render processor that makes this image: the image may show its window cache.
    Application::RenderProcessorPtr source = app != nullptr ? app->GetRenderProcessor() : nullptr;
    QImage rendered;
    app::LMerr code = app::LMerrSuccess;
    try {
        code = d->render ? d->render(rendered, request) : RenderThroughApplication(rendered, request);
    } catch (...) {
        d->DropImage();
        if (app != nullptr)
            app->PostFatalError(std::current_exception());
        return false;
    }
    // Out of memory ends the program: reported from a queued call, never thrown through the paint.
    if (code == app::LMerrRenderOutOfMemory) {
        d->DropImage();
        if (app != nullptr)
            app->PostFatalError(std::make_exception_ptr(RenderOutOfMemory()));
        return false;
    }
    // Other failures (among them the refusal while exporting) may give no image: the last one
    // stays, with the render processor that holds its pixels. An image and its source change
    // together, or a project opened meanwhile would free the pixels still shown.
    if (code == app::LMerrSuccess || !rendered.isNull()) {
        d->image = std::move(rendered);
        d->imageSource = std::move(source);
    }
    return true;
}

void CanvasScene::drawBackground(QPainter* painter, const QRectF& /*exposed*/)
{
    // The view does not save the painter's state around the backdrop.
    painter->save();
    const QRect whole = sceneRect().toRect();
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0, 0, 0, 255));
    // The window's first show: its size is known by its first paint and no picture is on screen yet
    // that a resize under way could flicker, so the fit and the render follow this (black) paint
    // without waiting for the size to settle.
    if (!d->drawingEnabled && !d->canvasDrawn && IsShownInView())
        d->redrawTimer.start(0, this);
    // Nothing half drawn stays on screen while the program reports and ends.
    if (!d->drawingEnabled || !IsShownInView() || !RenderPending()) {
        d->outline->SetShadePaintedBelow(false);
        painter->drawRect(whole);
        painter->restore();
        return;
    }
    d->canvasDrawn = true;
    // Black, the checker where the canvas lies, the image over both and the outline's shade
    // outside the canvas: one pass over the window rather than four where the frame can give the
    // same pixels (the shade only while the outline is the lowest item).
    const Application* app = Application::Instance();
    const bool drawsImage = app != nullptr && !d->image.isNull() && d->image.constBits() != nullptr;
    CanvasBackdrop backdrop;
    backdrop.whole = whole;
    backdrop.checker = d->checker;
    backdrop.checkerRect = d->checker.isNull() ? QRect() : CanvasRectInWorkspace();
    backdrop.target = drawsImage ? app->WindowCacheRect() : QRect();
    // A photo shown from its preview until it is decoded whole: the reduced render is smoothed
    // rather than drawn in blocks (a drag's frames stay unsmoothed, for speed).
    const bool smooth = drawsImage && app->AwaitsWholePhotos() && d->image.width() < backdrop.target.width();
    if (drawsImage && !smooth && OutlineIsLowest(*this, d->outline))
        backdrop.shade = CanvasOutlineGraphicsItem::ShadePath();
    const bool composed = drawsImage && !smooth && d->frame.Paint(*painter, backdrop, d->image);
    if (!composed) {
        backdrop.shade = QPainterPath();
        CanvasBackdropFrame::PaintPasses(*painter, backdrop, drawsImage ? d->image : QImage(), smooth);
    }
    d->outline->SetShadePaintedBelow(composed && !backdrop.shade.isEmpty());
    painter->restore();
}

void CanvasScene::drawForeground(QPainter* painter, const QRectF& /*exposed*/)
{
    if (!d->foregroundUnique)
        return;
    // The frame runs just below the canvas actions bar.
    const Application* app = Application::Instance();
    const int top = app != nullptr ? std::max(0, app->CanvasActionsHeight()) : 0;
    const QRect whole = sceneRect().toRect();
    painter->save();
    painter->setPen(QPen(canvascolors::UniqueForegroundFrame, kUniqueFramePenWidth, Qt::SolidLine, Qt::SquareCap,
                         Qt::BevelJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRect(0, top, whole.width(), whole.height() - top));
    painter->restore();
}

} // namespace lumo::ui
