#pragma once

#include "AppExport.h"
#include "LMerr.h"

#include <hvn/image/HXTypes.h>

#include <QRect>
#include <QSize>
#include <QUuid>

#include <memory>

class QImage;

namespace lumo::app {

class ImageLayer;
class Project;

// The stages of a layer render, in the order in which they run. A refresh request names a stage;
// that stage and every later one are redone.
enum RenderLevel : int {
    RenderLevelKey = 1,        // keying the foreground in its own pixels
    RenderLevelPostFilter = 2, // placing the layer on the canvas window, spill suppression, masks
    RenderLevelFilter = 3,     // filters
    RenderLevelFinal = 4,      // the finished foreground image
};

// The one object that turns the project's image layers into pixels. It owns every image buffer of
// the render pipeline: each layer's decoded source photo at full and preview resolution
// (HXDownsampleFactor 0 and 3), the screen-sized working images, and the flags that say which
// stage of which layer is current at each factor. GUI thread only.
class APP_EXPORT RenderProcessor {
public:
    // screen is the canvas window (inclusive right and bottom). Throws std::runtime_error
    // "Invalid screen dimensions" for an empty rectangle and std::bad_alloc when memory runs out;
    // result is not written on success.
    RenderProcessor(std::shared_ptr<Project> project, hvn::image::HXPixelChannelOrder order, const QRect& screen,
                    LMerr& result);
    RenderProcessor(const RenderProcessor&) = delete;
    RenderProcessor& operator=(const RenderProcessor&) = delete;
    virtual ~RenderProcessor();

    hvn::image::HXPixelChannelOrder PixelOrder() const;
    // Where the canvas view draws the rendered canvas image.
    const QRect& WindowCacheRect() const;
    // Read by the layer render; the caller invalidates the caches itself.
    void EnableMatteView(bool enable);

    // Decodes the layer's photo into its source caches (EXIF orientation applied) and makes its
    // screen caches; every stage of the layer becomes stale. 40 for an unknown layer type, 44 for
    // an image that cannot be used, 55 when memory runs out; on failure nothing changes.
    // A decoded JPEG handed over (moved) becomes the full-resolution cache itself rather than being
    // copied.
    LMerr SetLayer(const std::shared_ptr<ImageLayer>& layer, QImage image);
    // Loads a layer from a quick preview of its photo alone (the photo decoded at the preview
    // source's size, as ReadPhotoPreview gives it; photoSize: the photo's size as stored), so that
    // renders at the preview factor can start while the whole photo is decoded. Orientation, key
    // colour and caches as SetLayer, at the preview factor only: renders at full quality fail
    // (the photo is missing) until SetLayer gives the photo, which then keeps this preview and
    // what was rendered from it. Results as SetLayer.
    // A preview handed over as SetLayer's photo becomes the cache itself.
    LMerr SetLayerPreview(const std::shared_ptr<ImageLayer>& layer, QImage preview, const QSize& photoSize);
    // True while the layer, or any layer, loaded from its preview waits for its whole photo.
    bool AwaitsWholePhoto(const ImageLayer& layer) const;
    bool AwaitsWholePhoto() const;
    // Frees the layer's caches; removing the foreground makes every layer's placement stale.
    LMerr RemoveLayer(const std::shared_ptr<ImageLayer>& layer);

    // Marks one stage of one layer at one factor; levels the layer's type does not have are ignored.
    void SetCacheValid(const std::shared_ptr<ImageLayer>& layer, int level, hvn::image::HXDownsampleFactor factor,
                       bool valid);
    // True when every stage of the layer is current at the factor; otherwise level receives the
    // stale stage to restart from (for a foreground by the priority key, filter, placement, final).
    bool IsCacheValid(const std::shared_ptr<ImageLayer>& layer, hvn::image::HXDownsampleFactor factor,
                      RenderLevel& level);

    // The export frees the screen caches to make room and rebuilds them from the cached sources
    // afterwards (no file is read again): 0, 55 when memory runs out, 44 on any other failure.
    void RemoveCacheBeforeExport();
    LMerr RestoreCacheAfterExport();

    void InvalidateShadowCache(hvn::image::HXDownsampleFactor factor);
    void InvalidateMaskCache(const QUuid& maskId);
    void InvalidateAllMaskCache();
    void RemoveMaskCache(const QUuid& maskId);

    // Brings the layer's caches up to date at the factor from the given stage on.
    LMerr RenderLayer(const std::shared_ptr<ImageLayer>& layer, RenderLevel level,
                      hvn::image::HXDownsampleFactor factor);
    // The whole canvas for the screen; image is a view of the window cache.
    LMerr RenderCanvasImage(hvn::image::HXDownsampleFactor factor, QImage& image);
    // One foreground's finished image at full resolution. Its rows lie inside a larger working
    // image (bytesPerLine() is more than 4 a pixel), which the result keeps alive.
    LMerr RenderExportImage(const QUuid& foregroundId, QImage& image);
    // Composites the image over opaque white in place (another format is made Format_ARGB32
    // first). Throws std::bad_alloc when that conversion cannot be made.
    void CompositeOntoWhite(QImage& image);

private:
    friend class RenderProcessorTestPeer;
    struct Impl;
    Impl* m_impl;
};

} // namespace lumo::app
