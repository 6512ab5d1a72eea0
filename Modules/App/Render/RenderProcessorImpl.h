#pragma once

// The render processor's private state, shared by the .cpp files of the render pipeline.

#include "AlphaMaskRenderer.h"
#include "ItemLists.h"
#include "RenderProcessor.h"

#include <hvn/common/HXLookupTables.h>
#include <hvn/image/HXImage.h>
#include <hvn/maths/HXGeometry.h>

#include <QHash>
#include <QImage>
#include <QRect>
#include <QUuid>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPainterPath;
class QTransform;

namespace lumo::app {

class FilterList;
class ImageLayer;
class KeyList;
class Project;

using ImagePtr = std::shared_ptr<hvn::image::HXImage8>;
// Tables keyed by factor alone belong to the foreground; the others are keyed by layer first.
using FactorImages = QHash<hvn::image::HXDownsampleFactor, ImagePtr>;
using LayerImages = QHash<QUuid, FactorImages>;
using FactorMasks = QHash<hvn::image::HXDownsampleFactor, std::shared_ptr<AlphaMask>>;
using FactorFlags = QHash<hvn::image::HXDownsampleFactor, bool>;
using LayerFlags = QHash<QUuid, FactorFlags>;

// Every cache exists for full quality and for the preview used while a slider is dragged.
inline constexpr std::array<hvn::image::HXDownsampleFactor, 2> kCacheFactors = {hvn::image::HXDownsampleFactor0,
                                                                                  hvn::image::HXDownsampleFactor3};

// Internal codes of a caught exception, by its type; only kErrorOutOfMemory is acted on: every
// catch in the pipeline returns its out-of-memory result for it and its general result otherwise.
enum RenderErrorCode : int {
    kErrorRuntime = 2,
    kErrorLogic = 3,
    kErrorInvalidArgument = 4,
    kErrorOutOfRange = 7,
    kErrorOutOfMemory = 8,
};
int ExceptionToErrorCode(const std::exception_ptr& error);

// The size of a photo's preview source (factor 3) for the photo turned upright.
QSize PreviewSourceSize(const QSize& photo);

// The size of a screen cache at a factor: full size at 0, rounded up otherwise.
QSize ScreenCacheSize(const QRect& screen, hvn::image::HXDownsampleFactor factor);

// The stage passes of the layer render (LayerRendering.cpp), shared with the canvas composition
// and the export. The keyer and filter passes return 0, 54 for a source that is not 8 bits a
// channel, 31 for a missing or 0 x 0 source, 55 when the engine runs out of memory and 35 for any
// other engine failure; with nothing to queue they copy the source into the target.
LMerr RunKeyerPass(const KeyList& keys, const hvn::common::HXLookupTables& tables,
                   hvn::image::HXDownsampleFactor factor, const ImagePtr& source, const ImagePtr& target, double scale);
LMerr RunFilterPass(const FilterList& filters, const hvn::common::HXLookupTables& tables,
                    hvn::image::HXDownsampleFactor factor, const ImagePtr& source, const ImagePtr& target,
                    double scale);
// The source drawn into the target (cleared first) through the transform.
void RunTransformPass(const QTransform& transform, bool smooth, const hvn::image::HXImage8& source,
                      hvn::image::HXImage8& target);
// The key list's spill suppression on the image in place, for the backdrop colour of the key (the
// layer's detected one when the key is automatic); nothing when the item is off.
void RunSpillSuppressionPass(const KeyList& keys, const ImageLayer& layer, const hvn::common::HXLookupTables& tables,
                             hvn::image::HXImage8& image);
// The part of an image of width x height pixels that the enabled crop item keeps, mapped through
// the transform: the limit of retaining masks.
QPainterPath BuildCropPath(const KeyList& keys, unsigned int width, unsigned int height, const QTransform& transform);

struct RenderProcessor::Impl {
    Impl(std::shared_ptr<Project> project, hvn::image::HXPixelChannelOrder order, const QRect& screen);

    // A new image in the processor's pixel order; zeroFill clears it. Throws std::bad_alloc.
    ImagePtr NewImage8(int width, int height, bool zeroFill) const;
    // Screen-sized images (zeroed) and 8-bit mask buffers for both factors.
    FactorImages CreateScreenCaches() const;
    FactorMasks CreateScreenMaskBuffers() const;
    // The source images of a photo at both factors: converted to 32 bits, turned upright by its
    // EXIF orientation, the preview scaled down (at least 1 x 1). Stores the layer's dominant key
    // colour. Throws std::runtime_error "Cannot load image" for a null image, std::bad_alloc when
    // memory runs out.
    // The image is taken by value: a caller that hands it over lets it be converted in place.
    // keptPreview, when it has the preview's size, is kept as the preview.
    FactorImages SetLayerImage(QImage image, ImageLayer& layer, const ImagePtr& keptPreview = nullptr) const;
    // The preview source alone, from a preview of the photo (photoSize: the photo as stored):
    // turned upright, brought to the preview size when it has another; the layer's dominant key
    // colour from it. Throws as SetLayerImage.
    FactorImages SetLayerPreviewImage(QImage preview, const QSize& photoSize, ImageLayer& layer) const;
    // A layer's new sources into the tables, with new caches and stale flags for its type.
    void InstallLayer(const ImageLayer& layer, FactorImages sources);
    // The full-quality source of a layer loaded from its preview, and what goes with it; the
    // preview's caches stay unless the whole photo names another backdrop colour.
    void CompleteLayer(ImageLayer& layer, FactorImages sources, hvn::image::HXKeyColor previewKeyColor);
    // The foreground's caches after its source: work, window, stage and mask images, its flags.
    void ResetForegroundCaches(const QUuid& id);

    // The flag of one stage of one layer at a factor (created stale when missing), or null for a
    // stage the layer's type does not have.
    bool* StageFlag(const ImageLayer& layer, int level, hvn::image::HXDownsampleFactor factor);
    // The earliest stale stage below the requested one, among the stages the layer's type has;
    // the requested level when there is none.
    RenderLevel StartLevel(const ImageLayer& layer, hvn::image::HXDownsampleFactor factor, RenderLevel requested);

    static FactorFlags StaleFlags();
    // Counts image allocations down and fails the one that reaches zero; -1 never fails. Set
    // only by tests, to reach the out-of-memory paths.
    mutable int allocationsBeforeFailure = -1;

    std::shared_ptr<Project> project;
    hvn::image::HXPixelChannelOrder pixelOrder;
    QRect screenRect;
    bool matteView = false;
    std::shared_ptr<AlphaMaskRenderer> alphaMaskRenderer;
    hvn::common::HXLookupTables lookupTables{true};

    // The last export's time by stage, in milliseconds, in the order the stages first ran: for the
    // benchmarks.
    std::vector<std::pair<std::string, double>> exportStages;

    // Layers loaded from a preview alone, with the upright size of the photo still to come.
    QHash<QUuid, QSize> PreviewOnly;

    // Images.
    LayerImages SourceImages;            // the layer's photo at both factors
    FactorImages WindowImages;           // the finished canvas, screen-sized
    LayerImages LayerWindowImages;       // each layer's finished image, screen-sized
    LayerImages LayerStageImages;        // background and foreground placement, screen-sized
    FactorImages ForegroundWorkImages;   // the keyed foreground, its source's size
    FactorImages ForegroundExtraImages;  // the shadow source, kept by the canvas composition
    FactorImages ForegroundWindowImages; // screen-sized
    FactorMasks ForegroundMaskBuffers;   // zeroed 8-bit, screen-sized

    // Stage flags: true while the stage's output is current.
    LayerFlags PostFilterValid; // RenderLevelPostFilter, every layer type
    LayerFlags FilterValid;     // RenderLevelFilter, background and foreground
    FactorFlags KeyValid;       // RenderLevelKey, foreground
    FactorFlags FinalValid;     // RenderLevelFinal, foreground
    FactorFlags ShadowValid;    // the foreground's shadow source
};

// ---- Canvas composition passes, shared by the screen canvas and the export ----

class BackgroundDepthOfFieldFilterItem;
class CompositeList;
class DepthOfFieldCompositeItem;
class ForegroundImageLayerSettings;
class ShadowCastFilterItem;

class LayerManager;

// Every layer is drawn with the normal blend; the foreground's soft, masked edges take the second
// composite type.
inline constexpr auto kNormalBlend = hvn::image::HXBlendModeNormal;
inline constexpr auto kLayerComposite = hvn::image::HXCompositeTypeOver;
inline constexpr auto kForegroundComposite = hvn::image::HXCompositeTypeOverMasked;

template <class Item>
bool IsActiveAndEnabled(const Item& item)
{
    return item.IsActive() && item.IsEnabled();
}
// Enabled, valid and not offline: the layer is drawn.
bool IsLayerVisible(const ImageLayer& layer);
// A valid and enabled background (its offline flag aside) lights the foreground's edges.
bool BackgroundShows(const LayerManager& manager);
// A main compositor's engine call that fails ends the render: std::bad_alloc when the engine ran
// out of memory, std::runtime_error "Render error" otherwise.
void CheckRender(int engineResult);

// Every pixel set to one colour; four equal values fill the buffer in one go.
void ClearImage8(hvn::image::HXImage8& image, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                 std::uint8_t alpha);

// Casts the foreground's shadow (source: the keyed foreground with its masks, in its own pixels)
// onto the target, in window pixels or, with canvasSpace, in the pixels of a canvas-centred image.
// 0, 21 without a transformation item, 19 without a crop item, 43 when the engine fails.
int RunShadowCastPass(const ShadowCastFilterItem& item, const ForegroundImageLayerSettings& settings,
                      const hvn::image::HXImage8& source, hvn::image::HXImage8& target,
                      const std::shared_ptr<Project>& project, const hvn::common::HXLookupTables& tables,
                      hvn::image::HXDownsampleFactor factor, bool canvasSpace);

// One depth-of-field item applied to the target in place; nothing unless it is active and
// enabled. rect: the canvas in target pixels; scale: the canvas display scale (1 on export).
void RunDepthOfFieldPass(const BackgroundDepthOfFieldFilterItem* item, hvn::image::HXImage8& target,
                         unsigned int canvasWidth, unsigned int canvasHeight, const std::shared_ptr<Project>& project,
                         double scale, const hvn::maths::HXRect& rect, const hvn::common::HXLookupTables& tables,
                         hvn::image::HXDownsampleFactor factor, bool canvasSpace);
void RunDepthOfFieldPass(const DepthOfFieldCompositeItem* item, hvn::image::HXImage8& target,
                         unsigned int canvasWidth, unsigned int canvasHeight, const std::shared_ptr<Project>& project,
                         double scale, const hvn::maths::HXRect& rect, const hvn::common::HXLookupTables& tables,
                         hvn::image::HXDownsampleFactor factor, bool canvasSpace);

// The active and enabled composite effects in list order, each on the result of the one before.
// The first engine failure ends the pass: 55 for out of memory, 35 otherwise.
LMerr RunCompositeEffects(const std::shared_ptr<Project>& project, hvn::image::HXImage8& target,
                          unsigned int canvasWidth, unsigned int canvasHeight, const CompositeList& composites,
                          const hvn::common::HXLookupTables& tables, hvn::image::HXDownsampleFactor factor,
                          const QRect& rect, double scale, bool canvasSpace);

} // namespace lumo::app
