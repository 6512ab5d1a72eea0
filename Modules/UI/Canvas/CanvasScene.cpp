#include "Canvas/CanvasScene.h"

#include "Canvas/CanvasOutlineGraphicsItem.h"
#include "Shell/Application.h"
#include "Shell/InterfaceConstants.h"

#include "LayerManager.h"
#include "Project.h"

#include <QBasicTimer>
#include <QGraphicsView>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
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

// True when every pixel the image drawn over target shows in area is opaque, so that nothing
// painted in area before the image can show through. Only an area inside target qualifies. A
// pixel's neighbours count as well: a smoothed scale samples them.
bool OpaqueOver(const QImage& image, const QRect& target, const QRect& area)
{
    if (image.isNull() || area.isEmpty() || target.isEmpty() || !target.contains(area))
        return false;
    if (!image.hasAlphaChannel())
        return true;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const double sx = static_cast<double>(image.width()) / target.width();
    const double sy = static_cast<double>(image.height()) / target.height();
    const int left = std::max(0, static_cast<int>(std::floor((area.left() - target.left()) * sx)) - 1);
    const int right = std::min(image.width(), static_cast<int>(std::ceil((area.right() + 1 - target.left()) * sx)) + 1);
    const int top = std::max(0, static_cast<int>(std::floor((area.top() - target.top()) * sy)) - 1);
    const int bottom = std::min(image.height(), static_cast<int>(std::ceil((area.bottom() + 1 - target.top()) * sy)) + 1);
    for (int y = top; y < bottom; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = left; x < right; ++x)
            if (qAlpha(row[x]) != 255)
                return false;
    }
    return true;
}

// A scene pixel lands on exactly one device pixel: what the image hides in scene pixels it hides on
// the device.
bool MapsPixelsOntoPixels(const QTransform& transform)
{
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy());
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
    // What OpaqueOver answered for the shown image, which repaints without a render in between (a
    // handle moved): the image's cache key, the render count (a failed render may have rewritten
    // the buffer in place), the rectangles and the answer.
    struct Opacity {
        qint64 imageKey = 0;
        quint64 renders = 0;
        QRect target;
        QRect area;
        bool opaque = false;
    };
    Opacity opacity[2];
    quint64 renders = 0;

    bool ImageHides(const QRect& target, const QRect& area)
    {
        for (const Opacity& known : opacity)
            if (known.imageKey == image.cacheKey() && known.renders == renders && known.target == target &&
                known.area == area)
                return known.opaque;
        const bool opaque = OpaqueOver(image, target, area);
        opacity[1] = opacity[0];
        opacity[0] = Opacity{image.cacheKey(), renders, target, area, opaque};
        return opaque;
    }

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
    ++d->renders;
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
        painter->drawRect(whole);
        painter->restore();
        return;
    }
    d->canvasDrawn = true;
    // Black, the checker where the canvas lies and the image over both: a window-sized pass each on
    // the GUI thread, so black and the checker are left out where the image's opaque pixels would
    // hide them anyway (a canvas colour, an opaque background), with the same pixels on screen.
    const Application* app = Application::Instance();
    const bool drawsImage = app != nullptr && !d->image.isNull() && d->image.constBits() != nullptr;
    const QRect target = drawsImage ? app->WindowCacheRect() : QRect();
    const bool exact = drawsImage && MapsPixelsOntoPixels(painter->transform());
    const QRect checkerRect = d->checker.isNull() ? QRect() : CanvasRectInWorkspace();
    const bool wholeHidden = exact && d->ImageHides(target, whole);
    const bool checkerHidden = exact && !checkerRect.isEmpty() &&
                               ((wholeHidden && whole.contains(checkerRect)) || d->ImageHides(target, checkerRect));
    if (!wholeHidden) {
        const QRegion black = checkerHidden ? QRegion(whole).subtracted(checkerRect) : QRegion(whole);
        for (const QRect& rect : black)
            painter->drawRect(rect);
    }
    if (!checkerRect.isNull() && !checkerHidden)
        painter->drawTiledPixmap(checkerRect, d->checker, QPoint(0, 0));
    if (drawsImage) {
        // A photo shown from its preview until it is decoded whole: the reduced render is
        // smoothed rather than drawn in blocks (a drag's frames stay unsmoothed, for speed).
        if (app->AwaitsWholePhotos() && d->image.width() < target.width())
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(target, d->image);
    }
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
