#include "RenderProcessor.h"

#include "Exif.h"
#include "ImageBuffers.h"
#include "ImageLayer.h"
#include "LayerManager.h"
#include "Project.h"
#include "RenderProcessorImpl.h"

#include <hvn/common/HXSystem.h>
#include <hvn/image/HXOperation.h>
#include <hvn/image/HXImageKeyer.h>

#include <QImage>
#include <QTransform>

#include <cmath>
#include <stdexcept>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXDownsampleFactor3;
using hvn::image::HXImage8;

namespace lumo::app {

namespace {

constexpr int kLayerTypeCount = 4;

bool IsKnownType(const ImageLayer& layer)
{
    return layer.Type() >= 0 && layer.Type() < kLayerTypeCount;
}

// A 32-bit copy of the image in the pipeline's byte layout; std::bad_alloc when Qt could not
// allocate it (Qt reports that as a null image).
QImage ToPipelineFormat(QImage image)
{
    // An image not shared with anyone is converted in place (a 32-bit photo of 42 megapixels
    // would otherwise be held twice).
    QImage converted =
        image.format() == QImage::Format_ARGB32 ? std::move(image) : std::move(image).convertToFormat(QImage::Format_ARGB32);
    if (converted.isNull() || converted.constBits() == nullptr)
        throw std::bad_alloc();
    return converted;
}

} // namespace

int ExceptionToErrorCode(const std::exception_ptr& error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    } catch (const std::invalid_argument&) {
        return kErrorInvalidArgument;
    } catch (const std::out_of_range&) {
        return kErrorOutOfRange;
    } catch (const std::logic_error&) {
        return kErrorLogic;
    } catch (...) {
        return kErrorRuntime;
    }
    return kErrorRuntime;
}

QSize ScreenCacheSize(const QRect& screen, HXDownsampleFactor factor)
{
    if (factor == HXDownsampleFactor0)
        return QSize(screen.width(), screen.height());
    const double scale = hvn::image::DownsampleValue(factor);
    return QSize(static_cast<int>(std::ceil(screen.width() * scale)), static_cast<int>(std::ceil(screen.height() * scale)));
}

RenderProcessor::Impl::Impl(std::shared_ptr<Project> project, hvn::image::HXPixelChannelOrder order, const QRect& screen)
    : project(std::move(project)), pixelOrder(order), screenRect(screen)
{
    if (screen.right() < screen.left() || screen.bottom() < screen.top())
        throw std::runtime_error("Invalid screen dimensions");
    alphaMaskRenderer = std::make_shared<AlphaMaskRenderer>(static_cast<unsigned int>(screen.width()),
                                                            static_cast<unsigned int>(screen.height()));
    WindowImages = CreateScreenCaches();
}

ImagePtr RenderProcessor::Impl::NewImage8(int width, int height, bool zeroFill) const
{
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0)
        throw std::bad_alloc();
    return std::make_shared<HXImage8>(width, height, pixelOrder, zeroFill);
}

FactorImages RenderProcessor::Impl::CreateScreenCaches() const
{
    FactorImages images;
    for (const HXDownsampleFactor factor : kCacheFactors) {
        const QSize size = ScreenCacheSize(screenRect, factor);
        images.insert(factor, NewImage8(size.width(), size.height(), true));
    }
    return images;
}

FactorMasks RenderProcessor::Impl::CreateScreenMaskBuffers() const
{
    FactorMasks masks;
    for (const HXDownsampleFactor factor : kCacheFactors) {
        const QSize size = ScreenCacheSize(screenRect, factor);
        masks.insert(factor, std::make_shared<AlphaMask>(static_cast<unsigned int>(size.width()),
                                                         static_cast<unsigned int>(size.height())));
    }
    return masks;
}

FactorFlags RenderProcessor::Impl::StaleFlags()
{
    FactorFlags flags;
    for (const HXDownsampleFactor factor : kCacheFactors)
        flags.insert(factor, false);
    return flags;
}

namespace {

int QuarterTurns(const ImageLayer& layer)
{
    const EXIF::Orientation orientation = EXIF::CameraOrientation(layer.Path());
    return orientation == EXIF::OrientationRightTop ? 1 : orientation == EXIF::OrientationLeftBottom ? -1 : 0;
}

// The scale from a photo to its preview source. The preview keeps at least one pixel each way, so
// photos narrower or lower than 1 / ratio pixels still get a usable preview; its pixels are those
// of QImage's fast scaledToWidth (or, below one row, of scaled to one row).
struct PreviewScale {
    int width = 1;
    double sx = 1.0;
    double sy = 1.0;
    bool oneRow = false;
};

PreviewScale PreviewScaleOf(int fullWidth, int fullHeight)
{
    PreviewScale scale;
    const double ratio = hvn::image::DownsampleValue(HXDownsampleFactor3);
    scale.width = std::max(1, static_cast<int>(fullWidth * ratio));
    scale.sx = static_cast<double>(scale.width) / fullWidth;
    scale.oneRow = std::lround(fullHeight * scale.sx) < 1;
    scale.sy = scale.oneRow ? 1.0 / fullHeight : scale.sx;
    return scale;
}

} // namespace

QSize PreviewSourceSize(const QSize& photo)
{
    if (photo.width() <= 0 || photo.height() <= 0)
        return QSize();
    const PreviewScale scale = PreviewScaleOf(photo.width(), photo.height());
    return FastScaledSize(photo, scale.sx, scale.sy);
}

FactorImages RenderProcessor::Impl::SetLayerImage(QImage image, ImageLayer& layer, const ImagePtr& keptPreview) const
{
    if (image.isNull())
        throw std::runtime_error("Cannot load image");
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0)
        throw std::bad_alloc();
    const int threads = hvn::common::HXSystem::GetCPUCoreCount();
    const int quarterTurns = QuarterTurns(layer);

    // A decoded JPEG handed over becomes the cache; the usual decoded formats are otherwise
    // converted and turned in one parallel pass into the cache; anything else goes through Qt, and
    // the cache then keeps Qt's image.
    ImagePtr fullImage = AdoptOpaquePhoto8(image, quarterTurns, pixelOrder, threads);
    bool opaque = fullImage != nullptr;
    if (!fullImage)
        fullImage = PipelineCopy8(image, quarterTurns, pixelOrder, threads, &opaque);
    QImage full;
    if (!fullImage) {
        full = ToPipelineFormat(std::move(image));
        if (quarterTurns != 0) {
            QTransform turn;
            turn.rotate(quarterTurns > 0 ? 90.0 : -90.0);
            full = ToPipelineFormat(full.transformed(turn, Qt::SmoothTransformation));
        }
    }
    image = QImage();
    const int fullWidth = fullImage ? fullImage->Width() : full.width();
    const int fullHeight = fullImage ? fullImage->Height() : full.height();

    ImagePtr previewImage;
    if (keptPreview && QSize(keptPreview->Width(), keptPreview->Height()) ==
                           PreviewSourceSize(QSize(fullWidth, fullHeight)))
        previewImage = keptPreview;
    const PreviewScale scale = PreviewScaleOf(fullWidth, fullHeight);
    // Qt scales through premultiplied values, which changes pixels that are not opaque: only
    // opaque photos (every decoded JPEG) are sampled directly.
    if (!previewImage && opaque)
        previewImage = ShrinkFast8(*fullImage, scale.sx, scale.sy, threads);
    if (!previewImage) {
        const QImage fullQt = fullImage ? QImage(static_cast<const uchar*>(fullImage->Buffer()), fullWidth,
                                                 fullHeight, fullWidth * 4, QImage::Format_ARGB32)
                                        : full;
        QImage preview = scale.oneRow ? fullQt.scaled(scale.width, 1, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                      : fullQt.scaledToWidth(scale.width, Qt::FastTransformation);
        previewImage = AdoptImage8(ToPipelineFormat(std::move(preview)), pixelOrder);
    }
    if (!fullImage)
        fullImage = AdoptImage8(std::move(full), pixelOrder);

    FactorImages sources;
    sources.insert(HXDownsampleFactor3, previewImage);
    sources.insert(HXDownsampleFactor0, fullImage);

    hvn::image::HXKeyColor keyColor = hvn::image::HXKeyColorGreen;
    hvn::image::AutoDetectKeyColor(fullImage.get(), threads, &keyColor);
    layer.SetDominantKeyColor(keyColor);
    return sources;
}

FactorImages RenderProcessor::Impl::SetLayerPreviewImage(QImage preview, const QSize& photoSize,
                                                         ImageLayer& layer) const
{
    if (preview.isNull() || photoSize.width() <= 0 || photoSize.height() <= 0)
        throw std::runtime_error("Cannot load image");
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0)
        throw std::bad_alloc();
    const int quarterTurns = QuarterTurns(layer);
    const QSize upright = quarterTurns != 0 ? photoSize.transposed() : photoSize;
    const QSize size = PreviewSourceSize(upright);
    // As stored in the file: a turned photo's preview is turned with it.
    const QSize stored = quarterTurns != 0 ? size.transposed() : size;
    if (preview.size() != stored)
        preview = preview.scaled(stored, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (preview.format() != QImage::Format_RGB32 && preview.format() != QImage::Format_ARGB32)
        preview = preview.convertToFormat(QImage::Format_ARGB32);
    if (preview.isNull())
        throw std::bad_alloc();
    const int threads = hvn::image::EngineThreadCount(static_cast<long long>(size.width()) * size.height());
    ImagePtr previewImage = AdoptOpaquePhoto8(preview, quarterTurns, pixelOrder, threads);
    if (!previewImage)
        previewImage = PipelineCopy8(preview, quarterTurns, pixelOrder, threads);
    if (!previewImage)
        throw std::bad_alloc();

    FactorImages sources;
    sources.insert(HXDownsampleFactor3, previewImage);
    hvn::image::HXKeyColor keyColor = hvn::image::HXKeyColorGreen;
    hvn::image::AutoDetectKeyColor(previewImage.get(), threads, &keyColor);
    layer.SetDominantKeyColor(keyColor);
    return sources;
}

void RenderProcessor::Impl::ResetForegroundCaches(const QUuid& id)
{
    // The old work images go first: at 42 megapixels each is large, and they are stale anyway.
    // The screen caches are all made before any of them is replaced.
    ForegroundWorkImages.clear();
    ForegroundExtraImages.clear();
    KeyValid = StaleFlags();
    FinalValid = StaleFlags();
    FactorImages work;
    const auto sources = SourceImages.constFind(id);
    if (sources != SourceImages.constEnd()) {
        for (const HXDownsampleFactor factor : kCacheFactors) {
            const ImagePtr source = sources->value(factor);
            if (source)
                work.insert(factor, NewImage8(source->Width(), source->Height(), true));
        }
    }
    FactorImages layerWindow = CreateScreenCaches();
    FactorImages foregroundWindow = CreateScreenCaches();
    FactorImages stage = CreateScreenCaches();
    FactorMasks masks = CreateScreenMaskBuffers();

    LayerWindowImages.insert(id, std::move(layerWindow));
    ForegroundWorkImages = std::move(work);
    ForegroundExtraImages.clear();
    ForegroundWindowImages = std::move(foregroundWindow);
    LayerStageImages.insert(id, std::move(stage));
    ForegroundMaskBuffers = std::move(masks);
    FilterValid.insert(id, StaleFlags());
    PostFilterValid.insert(id, StaleFlags());
    KeyValid = StaleFlags();
    FinalValid = StaleFlags();
    ShadowValid = StaleFlags();
}

bool* RenderProcessor::Impl::StageFlag(const ImageLayer& layer, int level, HXDownsampleFactor factor)
{
    const QUuid& id = layer.Id();
    switch (layer.Type()) {
    case LayerTypeForeground:
        switch (level) {
        case RenderLevelKey: return &KeyValid[factor];
        case RenderLevelPostFilter: return &PostFilterValid[id][factor];
        case RenderLevelFilter: return &FilterValid[id][factor];
        case RenderLevelFinal: return &FinalValid[factor];
        default: return nullptr;
        }
    case LayerTypeBackground:
        switch (level) {
        case RenderLevelPostFilter: return &PostFilterValid[id][factor];
        case RenderLevelFilter: return &FilterValid[id][factor];
        default: return nullptr;
        }
    case LayerTypeOverlay:
    case LayerTypeImage:
        return level == RenderLevelPostFilter ? &PostFilterValid[id][factor] : nullptr;
    }
    return nullptr;
}

RenderLevel RenderProcessor::Impl::StartLevel(const ImageLayer& layer, HXDownsampleFactor factor, RenderLevel requested)
{
    for (int level = RenderLevelKey; level < requested && level <= RenderLevelFinal; ++level) {
        const bool* flag = StageFlag(layer, level, factor);
        if (flag != nullptr && !*flag)
            return static_cast<RenderLevel>(level);
    }
    return requested;
}

RenderProcessor::RenderProcessor(std::shared_ptr<Project> project, hvn::image::HXPixelChannelOrder order,
                                 const QRect& screen, LMerr& /*result*/)
    : m_impl(new Impl(std::move(project), order, screen))
{
}

RenderProcessor::~RenderProcessor()
{
    delete m_impl;
}

hvn::image::HXPixelChannelOrder RenderProcessor::PixelOrder() const
{
    return m_impl->pixelOrder;
}

const QRect& RenderProcessor::WindowCacheRect() const
{
    return m_impl->screenRect;
}

void RenderProcessor::EnableMatteView(bool enable)
{
    m_impl->matteView = enable;
}

void RenderProcessor::Impl::InstallLayer(const ImageLayer& layer, FactorImages sources)
{
    // The new caches are made before the tables change, so a failure leaves the layer's previous
    // source in place (a foreground's derived images are then stale).
    const QUuid id = layer.Id();
    switch (layer.Type()) {
    case LayerTypeBackground: {
        FactorImages layerWindow = CreateScreenCaches();
        FactorImages stage = CreateScreenCaches();
        SourceImages.insert(id, std::move(sources));
        LayerWindowImages.insert(id, std::move(layerWindow));
        LayerStageImages.insert(id, std::move(stage));
        FilterValid.insert(id, StaleFlags());
        PostFilterValid.insert(id, StaleFlags());
        break;
    }
    case LayerTypeForeground: {
        FactorImages previous = std::exchange(SourceImages[id], std::move(sources));
        try {
            ResetForegroundCaches(id);
        } catch (...) {
            SourceImages.insert(id, std::move(previous));
            throw;
        }
        break;
    }
    case LayerTypeOverlay:
    case LayerTypeImage: {
        FactorImages layerWindow = CreateScreenCaches();
        SourceImages.insert(id, std::move(sources));
        LayerWindowImages.insert(id, std::move(layerWindow));
        PostFilterValid.insert(id, StaleFlags());
        break;
    }
    }
}

void RenderProcessor::Impl::CompleteLayer(ImageLayer& layer, FactorImages sources,
                                          hvn::image::HXKeyColor previewKeyColor)
{
    const QUuid id = layer.Id();
    const ImagePtr full = sources.value(HXDownsampleFactor0);
    if (layer.Type() == LayerTypeForeground) {
        ImagePtr work = NewImage8(full->Width(), full->Height(), true);
        ForegroundWorkImages.insert(HXDownsampleFactor0, std::move(work));
    }
    SourceImages[id].insert(HXDownsampleFactor0, full);
    // The whole photo may name the other backdrop colour: the preview's key is then redone.
    if (layer.Type() == LayerTypeForeground && layer.DominantKeyColor() != previewKeyColor) {
        KeyValid[HXDownsampleFactor3] = false;
        PostFilterValid[id][HXDownsampleFactor3] = false;
    }
}

LMerr RenderProcessor::SetLayer(const std::shared_ptr<ImageLayer>& layer, QImage image)
{
    if (!layer)
        return LMerrRenderFailed;
    if (!IsKnownType(*layer))
        return LMerrInvalidRenderLayer;
    Impl& d = *m_impl;
    const QUuid id = layer->Id();
    try {
        // A layer loaded from its preview keeps that preview and everything rendered from it.
        const auto pending = d.PreviewOnly.constFind(id);
        const ImagePtr preview = pending != d.PreviewOnly.constEnd() ? d.SourceImages.value(id).value(HXDownsampleFactor3)
                                                                     : nullptr;
        const hvn::image::HXKeyColor previewKeyColor = layer->DominantKeyColor();
        FactorImages sources = d.SetLayerImage(std::move(image), *layer, preview);
        const ImagePtr full = sources.value(HXDownsampleFactor0);
        if (preview && sources.value(HXDownsampleFactor3) == preview &&
            QSize(full->Width(), full->Height()) == *pending) {
            d.CompleteLayer(*layer, std::move(sources), previewKeyColor);
        } else {
            d.InstallLayer(*layer, std::move(sources));
        }
        d.PreviewOnly.remove(id);
    } catch (...) {
        return ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory ? LMerrRenderOutOfMemory
                                                                                   : LMerrRenderFailed;
    }
    return LMerrSuccess;
}

LMerr RenderProcessor::SetLayerPreview(const std::shared_ptr<ImageLayer>& layer, QImage preview,
                                       const QSize& photoSize)
{
    if (!layer)
        return LMerrRenderFailed;
    if (!IsKnownType(*layer))
        return LMerrInvalidRenderLayer;
    Impl& d = *m_impl;
    try {
        FactorImages sources = d.SetLayerPreviewImage(std::move(preview), photoSize, *layer);
        d.InstallLayer(*layer, std::move(sources));
        d.PreviewOnly.insert(layer->Id(), QuarterTurns(*layer) != 0 ? photoSize.transposed() : photoSize);
    } catch (...) {
        return ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory ? LMerrRenderOutOfMemory
                                                                                   : LMerrRenderFailed;
    }
    return LMerrSuccess;
}

bool RenderProcessor::AwaitsWholePhoto(const ImageLayer& layer) const
{
    return m_impl->PreviewOnly.contains(layer.Id());
}

bool RenderProcessor::AwaitsWholePhoto() const
{
    return !m_impl->PreviewOnly.isEmpty();
}

LMerr RenderProcessor::RemoveLayer(const std::shared_ptr<ImageLayer>& layer)
{
    if (!layer)
        return LMerrRenderFailed;
    if (!IsKnownType(*layer))
        return LMerrInvalidRenderLayer;
    Impl& d = *m_impl;
    const QUuid& id = layer->Id();
    switch (layer->Type()) {
    case LayerTypeBackground:
        d.LayerStageImages[id].clear();
        d.PostFilterValid[id][HXDownsampleFactor0] = false;
        d.PostFilterValid[id][HXDownsampleFactor3] = false;
        break;
    case LayerTypeForeground:
        d.ForegroundWorkImages.clear();
        d.ForegroundWindowImages.clear();
        d.LayerStageImages[id].clear();
        d.ForegroundMaskBuffers.clear();
        d.ForegroundExtraImages.clear();
        d.KeyValid[HXDownsampleFactor0] = false;
        d.KeyValid[HXDownsampleFactor3] = false;
        // Every layer is placed relative to the foreground: all placements go stale.
        d.FilterValid.clear();
        d.PostFilterValid.clear();
        break;
    case LayerTypeOverlay:
    case LayerTypeImage:
        d.PostFilterValid[id][HXDownsampleFactor0] = false;
        d.PostFilterValid[id][HXDownsampleFactor3] = false;
        break;
    }
    d.SourceImages[id].clear();
    d.LayerWindowImages[id].clear();
    d.PreviewOnly.remove(id);
    return LMerrSuccess;
}

void RenderProcessor::SetCacheValid(const std::shared_ptr<ImageLayer>& layer, int level, HXDownsampleFactor factor,
                                    bool valid)
{
    if (!layer || !IsKnownType(*layer))
        return;
    if (bool* flag = m_impl->StageFlag(*layer, level, factor))
        *flag = valid;
}

bool RenderProcessor::IsCacheValid(const std::shared_ptr<ImageLayer>& layer, HXDownsampleFactor factor,
                                   RenderLevel& level)
{
    if (!layer || !IsKnownType(*layer))
        return true;
    // Tested from the latest stage to the earliest, each stale one overwriting the level, so the
    // level left is the priority key, filter, placement, final.
    static constexpr RenderLevel kForegroundOrder[] = {RenderLevelFinal, RenderLevelPostFilter, RenderLevelFilter,
                                                       RenderLevelKey};
    static constexpr RenderLevel kBackgroundOrder[] = {RenderLevelPostFilter, RenderLevelFilter};
    static constexpr RenderLevel kOtherOrder[] = {RenderLevelPostFilter};
    const RenderLevel* begin = kOtherOrder;
    const RenderLevel* end = std::end(kOtherOrder);
    if (layer->Type() == LayerTypeForeground) {
        begin = kForegroundOrder;
        end = std::end(kForegroundOrder);
    } else if (layer->Type() == LayerTypeBackground) {
        begin = kBackgroundOrder;
        end = std::end(kBackgroundOrder);
    }
    bool valid = true;
    for (const RenderLevel* stage = begin; stage != end; ++stage) {
        if (!*m_impl->StageFlag(*layer, *stage, factor)) {
            level = *stage;
            valid = false;
        }
    }
    return valid;
}

void RenderProcessor::RemoveCacheBeforeExport()
{
    Impl& d = *m_impl;
    d.LayerWindowImages.clear();
    d.LayerStageImages.clear();
    d.ForegroundWorkImages.clear();
    d.ForegroundExtraImages.clear();
    d.ForegroundWindowImages.clear();
    d.ForegroundMaskBuffers.clear();
}

LMerr RenderProcessor::RestoreCacheAfterExport()
{
    Impl& d = *m_impl;
    try {
        if (!d.project)
            return LMerrSuccess;
        const LayerManagerPtr manager = d.project->GetLayerManager();
        if (!manager)
            return LMerrSuccess;
        const std::shared_ptr<ImageLayerList> layers = manager->LayerList();
        const QList<QUuid> order = layers ? layers->CompositeOrder() : QList<QUuid>();
        for (const QUuid& entry : order) {
            if (layers->IsForegroundId(entry)) {
                const QUuid& current = manager->CurrentForegroundId();
                if (!current.isNull())
                    d.ResetForegroundCaches(current);
                continue;
            }
            const ImageLayerPtr layer = manager->GetLayer(entry);
            if (!layer)
                continue;
            if (layer->Type() == LayerTypeBackground) {
                d.LayerWindowImages.insert(entry, d.CreateScreenCaches());
                d.LayerStageImages.insert(entry, d.CreateScreenCaches());
                d.FilterValid.insert(entry, Impl::StaleFlags());
                d.PostFilterValid.insert(entry, Impl::StaleFlags());
            } else if (layer->Type() == LayerTypeImage) {
                d.LayerWindowImages.insert(entry, d.CreateScreenCaches());
                d.PostFilterValid.insert(entry, Impl::StaleFlags());
            }
        }
        if (const ImageLayerPtr overlay = manager->GetOverlay()) {
            d.LayerWindowImages.insert(overlay->Id(), d.CreateScreenCaches());
            d.PostFilterValid.insert(overlay->Id(), Impl::StaleFlags());
        }
    } catch (...) {
        return ExceptionToErrorCode(std::current_exception()) == kErrorOutOfMemory ? LMerrRenderOutOfMemory
                                                                                   : LMerrRenderFailed;
    }
    return LMerrSuccess;
}

void RenderProcessor::InvalidateShadowCache(HXDownsampleFactor factor)
{
    m_impl->ShadowValid[factor] = false;
}

} // namespace lumo::app
