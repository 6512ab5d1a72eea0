// The finished image of one foreground at full resolution: the same stages as the screen canvas,
// in canvas pixels, in a working image with a margin on every side that the text may run into.

#include "RenderProcessor.h"

#include "AlphaMaskRenderer.h"
#include "DrawableValues.h"
#include "Exif.h"
#include "FilterItems.h"
#include "ImageBuffers.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "ParallelRows.h"
#include "PhotoReading.h"
#include "Project.h"
#include "RenderProcessorImpl.h"
#include "Resampling.h"
#include "TextDrawing.h"
#include "TransformationFunctions.h"

#include <hvn/image/HXImageCompositor.h>
#include <hvn/image/HXImageProcessor.h>

#include <QFileInfo>
#include <QImage>
#include <QPainterPath>
#include <QTransform>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

using hvn::image::HXDownsampleFactor0;
using hvn::image::HXImage8;
using hvn::image::HXImageCompositor;
using hvn::image::HXImageProcessor;
using hvn::maths::HXPoint2;
using hvn::maths::HXRect;

namespace lumo::app {

namespace {

constexpr double kInchesPerMetre = 39.3700787;

// The settings the exported foreground keeps for a layer; the export cannot place a layer without.
ImageLayerSettingsPtr SettingsFor(const LayerManager& manager, const QUuid& layerId, const QUuid& foregroundId)
{
    ImageLayerSettingsPtr settings = manager.GetLayerSettings(layerId, foregroundId);
    if (!settings)
        throw std::runtime_error("Render error");
    return settings;
}

// Fits a layer for the export size by the fit item of its settings (none: no fit). The settings,
// and the reference placements, are those of the foreground being exported, the ones its render
// reads; the fitted values stay stored in the project.
void FitForExport(const LayerManager& manager, const ImageLayerSettingsPtr& settings, const QSize& layerSize,
                  const QUuid& foregroundId, unsigned int width, unsigned int height)
{
    if (!settings)
        return;
    const auto fitItem = FindItemOfType<FitTransformItem>(settings->Transforms(), TransformItemTypeFit);
    const auto item = FindItemOfType<TransformationTransformItem>(settings->Transforms(),
                                                                  TransformItemTypeTransformation);
    FitLayerPlacement(manager, fitItem ? fitItem->Fit() : FitToNone,
                      QSize(static_cast<int>(width), static_cast<int>(height)), foregroundId, layerSize, item.get());
}

// The export fits of a further image layer and of the overlay.
void FitLayerForExport(const LayerManager& manager, const ImageLayer& layer, const ImageLayerSettingsPtr& settings,
                       const QUuid& foregroundId, unsigned int width, unsigned int height)
{
    FitForExport(manager, settings, layer.Dimensions(), foregroundId, width, height);
}

void FitOverlayForExport(const LayerManager& manager, const ImageLayer& overlay, const ImageLayerSettingsPtr& settings,
                         const QUuid& foregroundId, unsigned int width, unsigned int height)
{
    FitForExport(manager, settings, overlay.Dimensions(), foregroundId, width, height);
}

// A layer that passed its checks but whose photo is not cached cannot be drawn: a render
// failure, not a lack of memory.
struct MissingSource : std::runtime_error {
    MissingSource() : std::runtime_error("Render error") {}
};

ImagePtr CachedSource(const LayerImages& sources, const QUuid& id)
{
    ImagePtr source = sources.value(id).value(HXDownsampleFactor0);
    if (!source)
        throw MissingSource();
    return source;
}

// Export images are hundreds of megabytes each and written once: in small pages the first touch
// of every 4 KB costs a fault that takes longer than the write itself. Where the system allows
// it, the (not yet touched) buffer is backed by huge pages.
void AdviseHugePages(std::uint8_t* bytes, std::size_t size)
{
#if defined(__linux__)
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(bytes) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(bytes) + size) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)bytes;
    (void)size;
#endif
}

// The W x H middle of the working image, as an image over the working image's own pixels that
// keeps it alive: a copy would cost a second image's memory and its first touch.
QImage CanvasPart(QImage working, int width, int height)
{
    auto* holder = new QImage(std::move(working));
    uchar* bits = holder->bits() + static_cast<qsizetype>(kExportMargin) * holder->bytesPerLine() + kExportMargin * 4;
    QImage part(
        bits, width, height, holder->bytesPerLine(), QImage::Format_ARGB32,
        [](void* info) { delete static_cast<QImage*>(info); }, holder);
    if (part.isNull()) {
        // Not made: the clean-up is not called.
        delete holder;
        throw std::bad_alloc();
    }
    return part;
}

// The photo of a foreground that is not on screen, read from its file for this export alone (the
// processor's caches are not touched). The layer learns its size and resolution.
QImage ReadForegroundPhoto(ImageLayer& layer)
{
    // Only a plain file is read, as the project loader reads only plain files: a fifo would
    // block the export for ever.
    if (!QFileInfo(layer.Path()).isFile())
        throw std::runtime_error("Render error");
    QImage photo = ReadPhoto(layer.Path());
    if (photo.isNull())
        throw std::runtime_error("Render error");
    const EXIF::Orientation orientation = EXIF::CameraOrientation(layer.Path());
    if (orientation == EXIF::OrientationRightTop || orientation == EXIF::OrientationLeftBottom)
        layer.SetDimensions(QSize(photo.height(), photo.width()));
    else
        layer.SetDimensions(photo.size());
    // A file's density can be anything (2^31 pixels a metre reads as a negative number).
    layer.SetDpiX(drawable::TruncateToUnsigned(photo.dotsPerMeterX() / kInchesPerMetre + 0.5));
    layer.SetDpiY(drawable::TruncateToUnsigned(photo.dotsPerMeterY() / kInchesPerMetre + 0.5));
    layer.SetIsValid(true);
    return photo;
}

// The export size: the canvas, or the photo the canvas takes its size from.
QSize ExportSize(const Canvas& canvas, const LayerManager& manager, const ForegroundImageLayerPtr& foreground)
{
    QSize size(static_cast<int>(canvas.Width()), static_cast<int>(canvas.Height()));
    if (canvas.DimensionType() == CanvasDimensionForeground && foreground && !foreground->IsOffline()) {
        size = foreground->Dimensions();
    } else if (canvas.DimensionType() == CanvasDimensionBackground) {
        const ImageLayerPtr background = manager.GetBackground();
        if (background && background->IsValid() && !background->IsOffline())
            size = background->Dimensions();
    }
    return size;
}

} // namespace

LMerr RenderProcessor::RenderExportImage(const QUuid& foregroundId, QImage& image)
{
    Impl& d = *m_impl;
    d.exportStages.clear();
    // The time since the last lap goes to the named stage.
    auto lapStart = std::chrono::steady_clock::now();
    const auto lap = [&](const char* stage) {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - lapStart).count();
        lapStart = now;
        for (auto& entry : d.exportStages)
            if (entry.first == stage) {
                entry.second += ms;
                return;
            }
        d.exportStages.emplace_back(stage, ms);
    };
    try {
        if (!d.project)
            throw std::runtime_error("Render error");
        const std::shared_ptr<Project>& project = d.project;
        const Canvas& canvas = project->GetCanvas();
        const LayerManagerPtr manager = project->GetLayerManager();
        if (!manager)
            throw std::runtime_error("Render error");
        const std::shared_ptr<ImageLayerList> layers = manager->LayerList();
        const ForegroundImageLayerPtr foreground =
            foregroundId.isNull() ? nullptr : manager->GetForeground(foregroundId);
        const bool isCurrent = foregroundId == manager->CurrentForegroundId();

        ImagePtr photo;
        if (foreground && !foreground->IsOffline())
            photo = isCurrent ? d.SourceImages.value(foregroundId).value(HXDownsampleFactor0)
                              : d.SetLayerImage(ReadForegroundPhoto(*foreground), *foreground).value(HXDownsampleFactor0);
        lap("photo read");

        const QSize size = ExportSize(canvas, *manager, foreground);
        // An empty canvas has no image to give; reporting success with a null image would let
        // the caller write an empty file.
        if (size.width() < 1 || size.height() < 1)
            throw std::runtime_error("Render error");
        const unsigned int width = static_cast<unsigned int>(size.width());
        const unsigned int height = static_cast<unsigned int>(size.height());
        // A size read from a file can be anything; with its margin it must still be an int.
        if (size.width() > std::numeric_limits<int>::max() - 2 * kExportMargin ||
            size.height() > std::numeric_limits<int>::max() - 2 * kExportMargin)
            throw std::bad_alloc();
        const int fullWidth = size.width() + 2 * kExportMargin;
        const int fullHeight = size.height() + 2 * kExportMargin;

        QImage working(fullWidth, fullHeight, QImage::Format_ARGB32);
        if (working.isNull())
            throw std::bad_alloc();
        AdviseHugePages(working.bits(), static_cast<std::size_t>(working.sizeInBytes()));
        HXImage8 target(working.bits(), fullWidth, fullHeight, d.pixelOrder);
        if (canvas.UseCanvasColor()) {
            const QColor color = canvas.CanvasColor();
            ClearImage8(target, static_cast<std::uint8_t>(color.red()), static_cast<std::uint8_t>(color.green()),
                        static_cast<std::uint8_t>(color.blue()), 255);
        } else {
            ClearImage8(target, 0, 0, 0, 0);
        }
        lap("canvas cleared");

        HXImageCompositor compositor(target, 1.0, d.lookupTables, HXDownsampleFactor0);
        // Working images are made untouched: each is written whole by the pass that fills it.
        const auto newImage = [&](int imageWidth, int imageHeight) {
            ImagePtr made = d.NewImage8(imageWidth, imageHeight, false);
            AdviseHugePages(made->Buffer(), made->BufferByteSize());
            return made;
        };
        // A stage's finished output-size image is handed to the next stage that needs one instead
        // of being freed and made again: the memory in use stays the same and is touched once.
        std::vector<ImagePtr> spare;
        const auto outputImage = [&] {
            if (spare.empty())
                return newImage(fullWidth, fullHeight);
            ImagePtr reused = std::move(spare.back());
            spare.pop_back();
            return reused;
        };
        const auto release = [&](ImagePtr& done) {
            if (done && done.use_count() == 1)
                spare.push_back(std::move(done));
            done.reset();
        };
        // A background, image layer or overlay photo drawn into an output-size image by its placement.
        const auto placeLayer = [&](const ImageLayerSettings& settings, const HXImage8& source, HXImage8& placed) {
            RunTransformPass(ExportLayerTransform(static_cast<unsigned int>(fullWidth),
                                                  static_cast<unsigned int>(fullHeight), project,
                                                  static_cast<unsigned int>(source.Width()),
                                                  static_cast<unsigned int>(source.Height()), settings.Transforms()),
                             true, source, placed);
        };
        // Draws one finished layer at its place in the composite order; its image may go after.
        const auto drawLayer = [&](const HXImage8& layerImage, double opacity, hvn::image::HXCompositeType type) {
            compositor.ClearRenderQueue();
            CheckRender(compositor.AddLayer(layerImage, opacity, kNormalBlend, type));
            CheckRender(compositor.Render());
            compositor.ClearRenderQueue();
        };

        const QList<QUuid> order = layers ? layers->CompositeOrder() : QList<QUuid>();
        for (const QUuid& id : order) {
            if (layers->IsForegroundId(id)) {
                if (!foreground || foreground->IsOffline() || !manager->ForegroundLayerList()->IsEnabled())
                    continue;
                if (!photo)
                    throw MissingSource();
                const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings(foregroundId);
                if (!settings)
                    throw std::runtime_error("Render error");
                const KeyList& keys = settings->Keys();
                const MaskList& masks = settings->Masks();
                const bool hasMasks = masks.Size() > 0;
                compositor.ClearRenderQueue();
                const int photoWidth = photo->Width();
                const int photoHeight = photo->Height();
                const QTransform placement = ExportLayerTransform(
                    static_cast<unsigned int>(fullWidth), static_cast<unsigned int>(fullHeight), project,
                    static_cast<unsigned int>(photoWidth), static_cast<unsigned int>(photoHeight),
                    settings->Transforms());
                QPainterPath crop;
                if (hasMasks)
                    crop = BuildCropPath(keys, static_cast<unsigned int>(photoWidth),
                                         static_cast<unsigned int>(photoHeight), placement);

                // Key. A photo its placement only moves by whole pixels, within the output, is keyed
                // into the front of the output-size image and moved into place there: the keyed
                // photo takes no image of its own.
                int shiftX = 0;
                int shiftY = 0;
                const bool placedInPlace = resampling::WholePixelShift(placement, shiftX, shiftY) && shiftX >= 0 &&
                                           shiftY >= 0 && shiftX <= fullWidth - photoWidth &&
                                           shiftY <= fullHeight - photoHeight;
                ImagePtr placed = placedInPlace ? outputImage() : nullptr;
                ImagePtr keyed = placed ? std::make_shared<HXImage8>(placed->Buffer(), photoWidth, photoHeight,
                                                                     placed->PixelChannelOrder())
                                        : newImage(photoWidth, photoHeight);
                if (const LMerr result = RunKeyerPass(keys, d.lookupTables, HXDownsampleFactor0, photo, keyed, 1.0))
                    return result;
                if (!isCurrent)
                    photo.reset();
                lap("foreground key");

                // The shadow goes onto the target at once, beneath the foreground.
                if (const auto shadow = FindItemOfType<ShadowCastFilterItem>(settings->Filters(),
                                                                             FilterItemTypeShadowCast);
                    shadow && shadow->IsEnabled()) {
                    ImagePtr source = newImage(photoWidth, photoHeight);
                    CopyImage8(true, *keyed, *source);
                    if (hasMasks)
                        RenderCanvasMasks(masks, *source, d.lookupTables, QTransform(),
                                          BuildCropPath(keys, static_cast<unsigned int>(photoWidth),
                                                        static_cast<unsigned int>(photoHeight), QTransform()),
                                          HXDownsampleFactor0);
                    RunShadowCastPass(*shadow, *settings, *source, target, project, d.lookupTables,
                                      HXDownsampleFactor0, true);
                    lap("foreground shadow");
                }

                // Placement, spill suppression and masks. The keyed photo has no reader after its
                // placement.
                if (placed) {
                    PlaceInPlace8(placed->Buffer(), photoWidth, photoHeight, fullWidth, fullHeight, shiftX, shiftY);
                } else {
                    placed = outputImage();
                    RunTransformPass(placement, true, *keyed, *placed);
                }
                keyed.reset();
                lap("foreground placement");
                const auto spill = FindItemOfType<SpillSuppressionKeyItem>(keys, KeyItemTypeSpillSuppression);
                const int applyMethod = spill ? static_cast<int>(spill->ApplyMethod()) : 0;
                if (applyMethod == 0) {
                    // Masked-off parts keep their colours as keyed: a copy from before the spill
                    // suppression, cut by the masks, goes back over the result.
                    ImagePtr unsuppressed;
                    if (hasMasks) {
                        unsuppressed = outputImage();
                        CopyImage8(true, *placed, *unsuppressed);
                    }
                    RunSpillSuppressionPass(keys, *foreground, d.lookupTables, *placed);
                    if (unsuppressed) {
                        HXImageProcessor clear(*unsuppressed, *unsuppressed, d.lookupTables, HXDownsampleFactor0);
                        clear.SetOpacity(0.0);
                        clear.Render();
                        RenderExportMasks(masks, *unsuppressed, d.lookupTables, placement, crop);
                        HXImageCompositor restore(*placed, 1.0, d.lookupTables, HXDownsampleFactor0);
                        restore.AddLayer(*unsuppressed, 1.0, kNormalBlend, kForegroundComposite);
                        restore.Render();
                        release(unsuppressed);
                    }
                } else if (applyMethod == 1) {
                    RunSpillSuppressionPass(keys, *foreground, d.lookupTables, *placed);
                }
                lap("foreground spill suppression");

                // Filters, in place (no copy when there are none), then the masks on the finished
                // foreground.
                if (const LMerr result =
                        RunFilterPass(settings->Filters(), d.lookupTables, HXDownsampleFactor0, placed, placed, 1.0))
                    return result;
                ImagePtr filtered = std::move(placed);
                lap("foreground filters");
                if (hasMasks) {
                    RenderExportMasks(masks, *filtered, d.lookupTables, placement, crop);
                    lap("foreground masks");
                }

                double transparency = 0.0;
                if (const auto item = FindItemOfType<TransparencyFilterItem>(settings->Filters(),
                                                                             FilterItemTypeTransparency);
                    item && IsActiveAndEnabled(*item))
                    transparency = item->Transparency();
                const auto lightSpill = FindItemOfType<LightSpillKeyItem>(keys, KeyItemTypeLightSpill);
                if ((canvas.UseCanvasColor() || BackgroundShows(*manager)) && lightSpill && IsActiveAndEnabled(*lightSpill)) {
                    compositor.ClearRenderQueue();
                    CheckRender(compositor.AddLightSpillLayer(*filtered, drawable::TruncateToInt(lightSpill->Blur()),
                                                        1.0 - transparency, lightSpill->BlendMode(),
                                                        HXDownsampleFactor0));
                    CheckRender(compositor.Render());
                    compositor.ClearRenderQueue();
                    lap("foreground light wrap and draw");
                } else {
                    drawLayer(*filtered, 1.0 - transparency, kForegroundComposite);
                    lap("foreground draw");
                }
                release(filtered);
                continue;
            }

            const ImageLayerPtr layer = manager->GetLayer(id);
            if (!layer || !IsLayerVisible(*layer))
                continue;
            if (layer->Type() == LayerTypeBackground) {
                const ImageLayerSettingsPtr settings = SettingsFor(*manager, id, foregroundId);
                const ImagePtr source = CachedSource(d.SourceImages, id);
                ImagePtr placed = outputImage();
                placeLayer(*settings, *source, *placed);
                lap("background placement");
                if (const LMerr result =
                        RunFilterPass(settings->Filters(), d.lookupTables, HXDownsampleFactor0, placed, placed, 1.0))
                    return result;
                ImagePtr filtered = std::move(placed);
                lap("background filters");
                drawLayer(*filtered, 1.0, kLayerComposite);
                release(filtered);
                lap("background draw");
                const auto depth = FindItemOfType<BackgroundDepthOfFieldFilterItem>(
                    settings->Filters(), FilterItemTypeBackgroundDepthOfField);
                RunDepthOfFieldPass(depth.get(), target, width, height, project, 1.0,
                                    HXRect(HXPoint2(kExportMargin, kExportMargin),
                                           HXPoint2(size.width() + kExportMargin, size.height() + kExportMargin)),
                                    d.lookupTables, HXDownsampleFactor0, true);
                lap("background depth of field");
            } else if (layer->Type() == LayerTypeImage) {
                const ImageLayerSettingsPtr settings = SettingsFor(*manager, id, foregroundId);
                const ImagePtr source = CachedSource(d.SourceImages, id);
                ImagePtr placed = outputImage();
                FitLayerForExport(*manager, *layer, settings, foregroundId, width, height);
                placeLayer(*settings, *source, *placed);
                drawLayer(*placed, 1.0, kLayerComposite);
                release(placed);
                lap("image layers");
            }
        }

        // The composite effects act on the whole canvas, with or without a foreground.
        if (const ForegroundImageLayerSettingsPtr settings = manager->GetForegroundSettings(foregroundId))
            RunCompositeEffects(project, target, width, height, settings->Compositors(), d.lookupTables,
                                HXDownsampleFactor0,
                                QRect(kExportMargin, kExportMargin, size.width(), size.height()),
                                1.0, true);
        lap("composite effects");

        const ImageLayerPtr overlay = manager->GetOverlay();
        if (overlay && IsLayerVisible(*overlay)) {
            compositor.ClearRenderQueue();
            const ImageLayerSettingsPtr settings = SettingsFor(*manager, overlay->Id(), foregroundId);
            const ImagePtr source = CachedSource(d.SourceImages, overlay->Id());
            ImagePtr placed = outputImage();
            spare.clear();
            FitOverlayForExport(*manager, *overlay, settings, foregroundId, width, height);
            placeLayer(*settings, *source, *placed);
            lap("overlay placement");
            drawLayer(*placed, 1.0, kLayerComposite);
            lap("overlay draw");
        }

        DrawTextItems(foregroundId, working, project);
        lap("text");

        image = CanvasPart(std::move(working), size.width(), size.height());
        lap("canvas taken out of the margin");
        return LMerrSuccess;
    } catch (const MissingSource&) {
        return LMerrRenderFailed;
    } catch (...) {
        return ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory ? LMerrRenderOutOfMemory
                                                                                   : LMerrExportRender;
    }
}

} // namespace lumo::app
