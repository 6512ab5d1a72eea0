// The whole canvas for the screen: every visible layer stacked in the project's composite order
// onto the window image, with the foreground's cast shadow, the background's depth of field, the
// light wrap of the background onto the foreground, the composite effects and the overlay. The
// shadow, depth-of-field and composite-effect passes serve the export too.

#include "RenderProcessor.h"

#include "AlphaMaskRenderer.h"
#include "CompositeItems.h"
#include "DrawableValues.h"
#include "FilterItems.h"
#include "ImageBuffers.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "ParallelRows.h"
#include "Project.h"
#include "RenderProcessorImpl.h"
#include "TransformationFunctions.h"

#include <hvn/image/HXImageCompositor.h>
#include <hvn/image/HXImageProcessor.h>

#include <QImage>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXImage8;
using hvn::image::HXImageCompositor;
using hvn::image::HXImageProcessor;
using hvn::maths::HXPoint2;
using hvn::maths::HXPoint2F;
using hvn::maths::HXQuad;
using hvn::maths::HXRect;

namespace lumo::app {

namespace {

// A QRect's right and bottom are its last column and row; the engine's rectangle ends after them,
// or the canvas's last column and row would be left out of every effect.
HXRect ToHXRect(const QRect& rect)
{
    return HXRect(HXPoint2(rect.left(), rect.top()), HXPoint2(rect.left() + rect.width(), rect.top() + rect.height()));
}

// The canvas's rectangle in the window image of a factor. A preview window is smaller than the
// full one by the factor's ratio, so the canvas is placed as the layers are at that factor.
QRect CanvasWindowRect(const Canvas& canvas, HXDownsampleFactor factor)
{
    if (factor == HXDownsampleFactor0)
        return canvas.GetTransformedRect();
    const double ratio = hvn::image::DownsampleValue(factor);
    const double width = ratio * canvas.Width();
    const double height = ratio * canvas.Height();
    return drawable::ToRect(canvas.WorkspaceTransform(factor).mapRect(QRectF(-0.5 * width, -0.5 * height, width, height)));
}

// From canvas coordinates (origin at the centre) to the target's pixels: the window placement on
// screen, the middle of the export image on export.
QTransform CanvasToTarget(const std::shared_ptr<Project>& project, const HXImage8& target, HXDownsampleFactor factor,
                          bool canvasSpace)
{
    QTransform t;
    if (canvasSpace)
        CombineCanvasTransformation(static_cast<unsigned int>(target.Width()),
                                    static_cast<unsigned int>(target.Height()), t, HXDownsampleFactor0);
    else
        CombineWorkspaceTransformation(project, t, factor);
    return t;
}

template <class Item>
void DepthOfField(const Item* item, HXImage8& target, unsigned int width, unsigned int height,
                  const std::shared_ptr<Project>& project, double scale, const HXRect& rect,
                  const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor, bool canvasSpace)
{
    if (item == nullptr || !IsActiveAndEnabled(*item))
        return;
    const double ratio = hvn::image::DownsampleValue(factor);
    const double size = std::max(width, height) * ratio;
    // The origin is a fraction of the canvas; the engine takes it in target pixels, y negated.
    const QPointF origin(width * item->Origin().x() * ratio, height * item->Origin().y() * ratio);
    const QPointF mapped = CanvasToTarget(project, target, factor, canvasSpace).map(origin);
    const unsigned int blur = canvasSpace ? item->Blur() : drawable::TruncateToUnsigned(item->Blur() * scale);
    HXImageProcessor processor(target, target, tables, factor);
    processor.SetDepthOfField(item->DOFType(), HXPoint2F(mapped.x(), -mapped.y()), item->Angle(), blur,
                              item->Spread(), item->Range(), item->Transparency(), scale * size, rect, scale);
    processor.Render();
}

} // namespace

bool IsLayerVisible(const ImageLayer& layer)
{
    return layer.IsEnabled() && layer.IsValid() && !layer.IsOffline();
}

bool BackgroundShows(const LayerManager& manager)
{
    const ImageLayerPtr background = manager.GetBackground();
    return background && background->IsValid() && background->IsEnabled();
}

void CheckRender(int engineResult)
{
    // The engine's lack of memory stays one, so the caller can offer to save the work.
    if (engineResult == hvn::image::HXResultOutOfMemory)
        throw std::bad_alloc();
    if (engineResult != 0)
        throw std::runtime_error("Render error");
}

void ClearImage8(HXImage8& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha)
{
    if (image.Buffer() == nullptr || image.Width() <= 0 || image.Height() <= 0)
        return;
    // Row by row in parallel: an export's canvas is hundreds of megabytes, touched here first.
    const std::size_t rowBytes = static_cast<std::size_t>(image.Width()) * 4u;
    const std::uint8_t pixel[4] = {blue, green, red, alpha};
    std::uint32_t pattern = 0;
    std::memcpy(&pattern, pixel, 4);
    std::uint8_t* bytes = image.Buffer();
    ParallelRows(image.Height(), static_cast<long long>(image.Width()) * image.Height(), [&](int begin, int end) {
        std::uint8_t* first = bytes + rowBytes * static_cast<std::size_t>(begin);
        const std::size_t length = rowBytes * static_cast<std::size_t>(end - begin);
        if (red == green && green == blue && blue == alpha) {
            std::memset(first, red, length);
            return;
        }
        for (std::size_t i = 0; i < length; i += 4)
            std::memcpy(first + i, &pattern, 4);
    });
}

int RunShadowCastPass(const ShadowCastFilterItem& item, const ForegroundImageLayerSettings& settings,
                      const HXImage8& source, HXImage8& target, const std::shared_ptr<Project>& project,
                      const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor, bool canvasSpace)
{
    QTransform t = CanvasToTarget(project, target, factor, canvasSpace);
    const auto placement = FindItemOfType<TransformationTransformItem>(settings.Transforms(),
                                                                        TransformItemTypeTransformation);
    if (!placement)
        return LMerrTransformNotFound;
    const Canvas& canvas = project->GetCanvas();
    CombineLayerTransformation(placement.get(), static_cast<unsigned int>(source.Width()),
                               static_cast<unsigned int>(source.Height()), canvas.Width(), canvas.Height(), t, factor);

    // The quad is kept in full-resolution photo pixels.
    const double ratio = hvn::image::DownsampleValue(factor);
    const auto corner = [&](const HXPoint2F& p) {
        const QPointF mapped = t.map(drawable::ImagePoint(QPointF(p.x, p.y)) * ratio);
        return HXPoint2(drawable::TruncateToInt(mapped.x()), drawable::TruncateToInt(mapped.y()));
    };
    const hvn::maths::HXQuadF& shadow = item.ShadowQuad();
    const HXQuad quad(corner(shadow.topLeft), corner(shadow.topRight), corner(shadow.bottomRight),
                      corner(shadow.bottomLeft));

    const auto crop = FindItemOfType<CropKeyItem>(settings.Keys(), KeyItemTypeCrop);
    if (!crop)
        return LMerrKeyNotFound;
    const int width = source.Width();
    const int height = source.Height();
    HXRect sourceRect(0, 0, width, height);
    if (IsActiveAndEnabled(*crop)) {
        using drawable::CropFraction;
        using drawable::TruncateToInt;
        sourceRect = HXRect(HXPoint2(TruncateToInt(width * CropFraction(crop->Left())),
                                     TruncateToInt(height * CropFraction(crop->Top()))),
                            HXPoint2(TruncateToInt(width - width * CropFraction(crop->Right())),
                                     TruncateToInt(height - height * CropFraction(crop->Bottom()))));
    }

    const unsigned int blur =
        canvasSpace ? item.Blur() : drawable::TruncateToUnsigned(item.Blur() * drawable::CanvasScale(canvas.Scale()));
    const LayerManagerPtr manager = project->GetLayerManager();
    const bool backgroundVisible = manager && BackgroundShows(*manager);

    HXImageCompositor compositor(target, 1.0, tables, factor);
    compositor.AddShadowCastLayer(source, sourceRect, quad, blur, 1.0 - item.Transparency(), effect::ToPixel(item.Color()),
                                  item.BlendMode(), backgroundVisible, factor);
    return compositor.Render() == 0 ? LMerrSuccess : LMerrCanvasRender;
}

void RunDepthOfFieldPass(const BackgroundDepthOfFieldFilterItem* item, HXImage8& target, unsigned int canvasWidth,
                         unsigned int canvasHeight, const std::shared_ptr<Project>& project, double scale,
                         const HXRect& rect, const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor,
                         bool canvasSpace)
{
    DepthOfField(item, target, canvasWidth, canvasHeight, project, scale, rect, tables, factor, canvasSpace);
}

void RunDepthOfFieldPass(const DepthOfFieldCompositeItem* item, HXImage8& target, unsigned int canvasWidth,
                         unsigned int canvasHeight, const std::shared_ptr<Project>& project, double scale,
                         const HXRect& rect, const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor,
                         bool canvasSpace)
{
    DepthOfField(item, target, canvasWidth, canvasHeight, project, scale, rect, tables, factor, canvasSpace);
}

LMerr RunCompositeEffects(const std::shared_ptr<Project>& project, HXImage8& target, unsigned int canvasWidth,
                          unsigned int canvasHeight, const CompositeList& composites,
                          const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor, const QRect& rect,
                          double scale, bool canvasSpace)
{
    const HXRect region = ToHXRect(rect);
    for (auto it = composites.Begin(); it != composites.End(); ++it) {
        AbstractCompositeItem& item = **it;
        if (!IsActiveAndEnabled(item))
            continue;
        if (item.Type() == CompositeItemTypeDepthOfField) {
            RunDepthOfFieldPass(dynamic_cast<const DepthOfFieldCompositeItem*>(&item), target, canvasWidth,
                                canvasHeight, project, scale, region, tables, factor, canvasSpace);
            continue;
        }
        HXImageProcessor processor(target, target, tables, factor);
        item.AddToImageProcessor(processor, region, scale);
        const int result = processor.Render();
        if (result == hvn::image::HXResultOutOfMemory)
            return LMerrRenderOutOfMemory;
        if (result != 0)
            return LMerrRenderEngine;
    }
    return LMerrSuccess;
}

LMerr RenderProcessor::RenderCanvasImage(HXDownsampleFactor factor, QImage& image)
{
    Impl& d = *m_impl;
    try {
        const ImagePtr target = d.WindowImages.value(factor);
        if (!target || !d.project)
            throw std::runtime_error("Render error");
        const Project& project = *d.project;
        const Canvas& canvas = project.GetCanvas();
        const LayerManagerPtr manager = project.GetLayerManager();
        if (!manager)
            throw std::runtime_error("Render error");
        const std::shared_ptr<ImageLayerList> layers = manager->LayerList();
        const double scale = drawable::CanvasScale(canvas.Scale());

        if (canvas.UseCanvasColor()) {
            const QColor color = canvas.CanvasColor();
            ClearImage8(*target, static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                        static_cast<std::uint8_t>(color.blue()), 255);
        } else {
            ClearImage8(*target, 0, 0, 0, 0);
        }

        // A layer's finished window image, re-rendered from its earliest stale stage first.
        const auto updatedImage = [&](const ImageLayerPtr& layer) -> const HXImage8& {
            RenderLevel level = RenderLevelKey;
            if (!IsCacheValid(layer, factor, level)) {
                const LMerr rendered = RenderLayer(layer, level, factor);
                // A layer that ran out of memory is reported as such, so the user can save.
                if (rendered == LMerrRenderOutOfMemory)
                    throw std::bad_alloc();
                if (rendered != LMerrSuccess)
                    throw std::runtime_error("Render error");
            }
            const ImagePtr cached = d.LayerWindowImages.value(layer->Id()).value(factor);
            if (!cached)
                throw std::runtime_error("Render error");
            return *cached;
        };

        HXImageCompositor compositor(*target, 1.0, d.lookupTables, factor);
        const QRect canvasRect = CanvasWindowRect(canvas, factor);
        const QList<QUuid> order = layers ? layers->CompositeOrder() : QList<QUuid>();
        for (const QUuid& id : order) {
            if (layers->IsForegroundId(id)) {
                const QUuid currentId = manager->CurrentForegroundId();
                if (currentId.isNull())
                    continue;
                const ForegroundImageLayerPtr foreground = manager->GetForeground(currentId);
                const bool listEnabled = manager->ForegroundLayerList()->IsEnabled();
                const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings();

                // Everything below the foreground goes onto the target, so that the shadow lies
                // between them.
                CheckRender(compositor.Render());
                compositor.ClearRenderQueue();
                if (!listEnabled || !foreground || foreground->IsOffline() || !settings)
                    continue;
                const HXImage8& foregroundImage = updatedImage(foreground);

                if (!d.matteView) {
                    if (const auto shadow = FindItemOfType<ShadowCastFilterItem>(settings->Filters(),
                                                                                 FilterItemTypeShadowCast)) {
                        if (!shadow->IsEnabled()) {
                            d.ForegroundExtraImages.clear();
                        } else {
                            ImagePtr source = d.ForegroundExtraImages.value(factor);
                            const ImagePtr work = d.ForegroundWorkImages.value(factor);
                            if (!source) {
                                try {
                                    if (!work)
                                        throw std::runtime_error("Render error");
                                    source = d.NewImage8(work->Width(), work->Height(), true);
                                    d.ForegroundExtraImages.insert(factor, source);
                                } catch (...) {
                                    return ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory
                                               ? LMerrRenderOutOfMemory
                                               : LMerrRenderFailed;
                                }
                            }
                            if (!d.ShadowValid.value(factor, false)) {
                                if (!work)
                                    throw std::runtime_error("Render error");
                                CopyImage8(true, *work, *source);
                                const MaskList& masks = settings->Masks();
                                if (masks.Size() > 0) {
                                    const double ratio = hvn::image::DownsampleValue(factor);
                                    const QPainterPath crop = BuildCropPath(
                                        settings->Keys(), static_cast<unsigned int>(work->Width()),
                                        static_cast<unsigned int>(work->Height()), QTransform());
                                    RenderCanvasMasks(masks, *source, d.lookupTables,
                                                      QTransform::fromScale(ratio, ratio), crop, factor);
                                }
                                d.ShadowValid[factor] = true;
                            }
                            RunShadowCastPass(*shadow, *settings, *source, *target, d.project, d.lookupTables,
                                              factor, false);
                        }
                    }
                }

                double transparency = 0.0;
                if (const auto item = FindItemOfType<TransparencyFilterItem>(settings->Filters(),
                                                                             FilterItemTypeTransparency);
                    item && IsActiveAndEnabled(*item))
                    transparency = item->Transparency();
                const auto lightSpill = FindItemOfType<LightSpillKeyItem>(settings->Keys(), KeyItemTypeLightSpill);
                const bool wrapsLight = !d.matteView && (canvas.UseCanvasColor() || BackgroundShows(*manager)) &&
                                        lightSpill && IsActiveAndEnabled(*lightSpill);
                if (wrapsLight)
                    CheckRender(compositor.AddLightSpillLayer(foregroundImage, drawable::TruncateToInt(lightSpill->Blur() * scale),
                                                        1.0 - transparency, lightSpill->BlendMode(), factor));
                else
                    CheckRender(compositor.AddLayer(foregroundImage, d.matteView ? 1.0 : 1.0 - transparency, kNormalBlend,
                                              kForegroundComposite));
                continue;
            }

            const ImageLayerPtr layer = manager->GetLayer(id);
            if (!layer || d.matteView || !IsLayerVisible(*layer))
                continue;
            if (layer->Type() == LayerTypeBackground) {
                CheckRender(compositor.AddLayer(updatedImage(layer), 1.0, kNormalBlend, kLayerComposite));
                CheckRender(compositor.Render());
                compositor.ClearRenderQueue();
                // The blur takes everything drawn so far and nothing drawn later.
                if (const ImageLayerSettingsPtr settings = manager->GetLayerSettings(id)) {
                    const auto depth = FindItemOfType<BackgroundDepthOfFieldFilterItem>(
                        settings->Filters(), FilterItemTypeBackgroundDepthOfField);
                    RunDepthOfFieldPass(depth.get(), *target, canvas.Width(), canvas.Height(), d.project, scale,
                                        ToHXRect(canvasRect), d.lookupTables, factor, false);
                }
            } else if (layer->Type() == LayerTypeImage) {
                CheckRender(compositor.AddLayer(updatedImage(layer), 1.0, kNormalBlend, kLayerComposite));
            }
        }
        CheckRender(compositor.Render());

        if (!d.matteView) {
            if (const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings())
                RunCompositeEffects(d.project, *target, canvas.Width(), canvas.Height(), settings->Compositors(),
                                    d.lookupTables, factor, canvasRect, scale, false);
            const ImageLayerPtr overlay = manager->GetOverlay();
            if (overlay && IsLayerVisible(*overlay)) {
                compositor.ClearRenderQueue();
                CheckRender(compositor.AddLayer(updatedImage(overlay), 1.0, kNormalBlend, kLayerComposite));
                CheckRender(compositor.Render());
            }
        }

        image = QImage(target->Buffer(), target->Width(), target->Height(), QImage::Format_ARGB32);
        return LMerrSuccess;
    } catch (...) {
        if (ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory)
            return LMerrRenderOutOfMemory;
    }
    // The caller draws what it gets: a failed render shows an empty (transparent) canvas, never
    // whatever the memory held.
    const ImagePtr window = d.WindowImages.value(factor);
    const QSize size = window ? QSize(window->Width(), window->Height()) : ScreenCacheSize(d.screenRect, factor);
    image = QImage(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return LMerrCanvasRender;
}

} // namespace lumo::app
