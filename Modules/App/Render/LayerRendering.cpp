// The layer render: a layer's cached images brought up to date from its earliest stale stage
// (key, placement, filter, final) at one downsample factor.

#include "RenderProcessor.h"

#include "DrawableValues.h"
#include "FilterItems.h"
#include "ForegroundImageLayer.h"
#include "ImageBuffers.h"
#include "ImageLayer.h"
#include "KeyItems.h"
#include "LayerManager.h"
#include "LayerSettings.h"
#include "Project.h"
#include "RenderProcessorImpl.h"
#include "Resampling.h"
#include "TransformationFunctions.h"

#include <hvn/image/HXImageCompositor.h>
#include <hvn/image/HXImageKeyer.h>
#include <hvn/image/HXImageProcessor.h>

#include <QPainterPath>
#include <QTransform>

#include <cmath>
#include <cstring>
#include <stdexcept>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXImage8;

namespace lumo::app {

namespace {

LMerr EngineResult(int result)
{
    if (result == 0)
        return LMerrSuccess;
    return result == hvn::image::HXResultOutOfMemory ? LMerrRenderOutOfMemory : LMerrRenderEngine;
}

LMerr CheckPassImages(const ImagePtr& source, const ImagePtr& target)
{
    if (source && source->BitsPerChannel() != hvn::image::HXBitsPerChannel8)
        return LMerrRenderBitDepth;
    if (!source || (source->Width() == 0 && source->Height() == 0) || !target)
        return LMerrRenderEmptySource;
    return LMerrSuccess;
}

// With nothing queued the pass is a copy; in place there is nothing to do.
LMerr CopyInsteadOfPass(const ImagePtr& source, const ImagePtr& target)
{
    if (source != target)
        CopyWholeImage8(target, source);
    return LMerrSuccess;
}

// A stage image the layer render needs; missing ones (a render between the export's removal and
// restoration of the caches, or before SetLayer) fail the render instead of being dereferenced.
ImagePtr Required(const FactorImages& images, HXDownsampleFactor factor)
{
    ImagePtr image = images.value(factor);
    if (!image)
        throw std::runtime_error("Render error");
    return image;
}

hvn::image::HXSpillApplyMethod SpillApplyMethod(const KeyList& keys)
{
    const auto spill = FindItemOfType<SpillSuppressionKeyItem>(keys, KeyItemTypeSpillSuppression);
    return spill ? spill->ApplyMethod() : hvn::image::HXSpillApplyBeforeMasks;
}

const TransformList& NoTransforms()
{
    static const TransformList list;
    return list;
}

const FilterList& NoFilters()
{
    static const FilterList list;
    return list;
}

} // namespace

LMerr RunKeyerPass(const KeyList& keys, const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor,
                   const ImagePtr& source, const ImagePtr& target, double scale)
{
    if (const LMerr checked = CheckPassImages(source, target))
        return checked;
    hvn::image::HXImageKeyer keyer(*source, *target, tables, factor);
    for (auto it = keys.Begin(); it != keys.End(); ++it) {
        AbstractKeyItem& item = **it;
        // Spill suppression has a pass of its own after placement; the light spill belongs to the
        // composition.
        if (!item.IsActive() || !item.IsEnabled() || item.Type() == KeyItemTypeSpillSuppression ||
            item.Type() == KeyItemTypeLightSpill)
            continue;
        item.AddToImageKeyer(keyer, scale);
    }
    if (keyer.RenderQueueCount() == 0)
        return CopyInsteadOfPass(source, target);
    return EngineResult(keyer.Render());
}

LMerr RunFilterPass(const FilterList& filters, const hvn::common::HXLookupTables& tables, HXDownsampleFactor factor,
                    const ImagePtr& source, const ImagePtr& target, double scale)
{
    if (const LMerr checked = CheckPassImages(source, target))
        return checked;
    hvn::image::HXImageProcessor processor(*source, *target, tables, factor);
    for (auto it = filters.Begin(); it != filters.End(); ++it) {
        AbstractFilterItem& item = **it;
        // Applied by the composition.
        if (!item.IsActive() || !item.IsEnabled() || item.Type() == FilterItemTypeTransparency ||
            item.Type() == FilterItemTypeShadowCast || item.Type() == FilterItemTypeBackgroundDepthOfField)
            continue;
        item.AddToImageProcessor(processor, scale);
    }
    if (processor.RenderQueueCount() == 0)
        return CopyInsteadOfPass(source, target);
    return EngineResult(processor.Render());
}

void RunTransformPass(const QTransform& transform, bool smooth, const HXImage8& source, HXImage8& target)
{
    if (transform.isIdentity()) {
        CopyImage8(true, source, target);
        return;
    }
    // Every target pixel is written, those the source does not reach with 0.
    resampling::DrawThrough(
        {source.Buffer(), source.Width(), source.Height(), static_cast<std::ptrdiff_t>(source.Width()) * 4},
        {target.Buffer(), target.Width(), target.Height(), static_cast<std::ptrdiff_t>(target.Width()) * 4},
        transform, smooth, resampling::Target::Replace);
}

void RunSpillSuppressionPass(const KeyList& keys, const ImageLayer& layer, const hvn::common::HXLookupTables& tables,
                             HXImage8& image)
{
    const auto spill = FindItemOfType<SpillSuppressionKeyItem>(keys, KeyItemTypeSpillSuppression);
    if (!spill || !spill->IsActive() || !spill->IsEnabled())
        return;
    // The key's colour counts whatever the key item's flags: it names the backdrop.
    hvn::image::HXKeyColor keyColor = hvn::image::HXKeyColorGreen;
    if (const auto key = FindItemOfType<AutoColorDifferenceKeyItem>(keys, KeyItemTypeAutoColorDifference))
        keyColor = key->KeyColor();
    if (keyColor == hvn::image::HXKeyColorAuto)
        keyColor = layer.DominantKeyColor();
    const hvn::image::HXChannel channel =
        keyColor == hvn::image::HXKeyColorBlue ? hvn::image::HXChannelBlue : hvn::image::HXChannelGreen;
    hvn::image::HXImageKeyer keyer(image, image, tables, HXDownsampleFactor0);
    keyer.SetSpillSuppression(channel, spill->SpillType(), spill->Opacity(), spill->RedStrength(),
                              spill->GreenStrength(), spill->BlueStrength(), spill->AdvancedBias());
    keyer.Render();
}

QPainterPath BuildCropPath(const KeyList& keys, unsigned int width, unsigned int height, const QTransform& transform)
{
    const double w = width;
    const double h = height;
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = w;
    double y1 = h;
    const auto crop = FindItemOfType<CropKeyItem>(keys, KeyItemTypeCrop);
    if (crop && crop->IsEnabled()) {
        x0 = std::trunc(drawable::CropFraction(crop->Left()) * w);
        y0 = std::trunc(drawable::CropFraction(crop->Top()) * h);
        x1 = std::trunc(w - drawable::CropFraction(crop->Right()) * w);
        y1 = std::trunc(h - drawable::CropFraction(crop->Bottom()) * h);
    }
    QPainterPath path;
    path.addRect(QRectF(x0, y0, x1 - x0, y1 - y0));
    return transform.map(path);
}

LMerr RenderProcessor::RenderLayer(const std::shared_ptr<ImageLayer>& layer, RenderLevel level,
                                   HXDownsampleFactor factor)
{
    if (!layer)
        return LMerrRenderFailed;
    if (layer->IsOffline())
        return LMerrSuccess;
    if (layer->Type() < LayerTypeBackground || layer->Type() > LayerTypeImage)
        return LMerrInvalidRenderLayer;
    Impl& d = *m_impl;
    if (!d.project)
        return LMerrRenderFailed;
    const LayerManagerPtr manager = d.project->GetLayerManager();
    if (!manager)
        return LMerrRenderFailed;
    const QUuid& id = layer->Id();
    const double canvasScale = drawable::CanvasScale(d.project->GetCanvas().Scale());

    try {
        switch (layer->Type()) {
        case LayerTypeForeground: {
            const auto foregrounds = manager->ForegroundLayerList();
            if (!foregrounds || !foregrounds->IsEnabled())
                return LMerrSuccess;
            const auto foreground = std::dynamic_pointer_cast<ForegroundImageLayer>(layer);
            const ForegroundImageLayerSettingsPtr settings = foreground ? foreground->ForegroundSettings() : nullptr;
            if (!settings)
                return LMerrRenderFailed;
            const ImagePtr source = d.SourceImages.value(id).value(factor);
            if (!source)
                return LMerrRenderFailed;
            const KeyList& keys = settings->Keys();
            const MaskList& masks = settings->Masks();
            const bool hasMasks = masks.Size() > 0;

            RenderLevel start = d.StartLevel(*layer, factor, level);
            // The final stage writes masks and the matte view over the filter stage's output; done
            // twice it would turn the matte white, so it always starts from a fresh filter output.
            if (start == RenderLevelFinal && (hasMasks || d.matteView))
                start = RenderLevelFilter;

            const unsigned int width = static_cast<unsigned int>(source->Width());
            const unsigned int height = static_cast<unsigned int>(source->Height());
            const QTransform placement = LayerTransform(d.project, width, height, settings->Transforms(), factor);
            // Masks are drawn in the photo's full-resolution pixels; the crop is in the pixels
            // of this factor's source, so it takes the placement alone.
            const double ratio = hvn::image::DownsampleValue(factor);
            const QTransform maskTransform = QTransform(placement).scale(ratio, ratio);
            const QPainterPath limit = hasMasks ? BuildCropPath(keys, width, height, placement) : QPainterPath();

            const ImagePtr work = Required(d.ForegroundWorkImages, factor);
            const ImagePtr stage = Required(d.LayerStageImages.value(id), factor);
            const ImagePtr window = Required(d.LayerWindowImages.value(id), factor);

            if (start <= RenderLevelKey) {
                // Radii in key items are photo pixels: the canvas zoom must not change the key,
                // or the preview and the export would differ.
                if (const LMerr result = RunKeyerPass(keys, d.lookupTables, factor, source, work, 1.0))
                    return result;
                d.KeyValid[factor] = true;
            }

            const hvn::image::HXSpillApplyMethod spillMethod = SpillApplyMethod(keys);
            if (start <= RenderLevelPostFilter) {
                RunTransformPass(placement, factor == HXDownsampleFactor0, *work, *stage);
                if (!d.matteView && spillMethod == hvn::image::HXSpillApplyBeforeMasks) {
                    ImagePtr unsuppressed;
                    if (hasMasks) {
                        unsuppressed = Required(d.ForegroundWindowImages, factor);
                        CopyImage8(true, *stage, *unsuppressed);
                    }
                    RunSpillSuppressionPass(keys, *layer, d.lookupTables, *stage);
                    if (hasMasks) {
                        // Retaining masks protect their inside from the spill suppression: the
                        // unsuppressed pixels come back there.
                        hvn::image::HXImageProcessor transparent(*unsuppressed, *unsuppressed, d.lookupTables,
                                                                 HXDownsampleFactor0);
                        transparent.SetOpacity(0.0);
                        transparent.Render();
                        RenderLayerMasks(*d.alphaMaskRenderer, masks, *unsuppressed, d.lookupTables, maskTransform,
                                         limit, factor);
                        hvn::image::HXImageCompositor compositor(*stage, 1.0, d.lookupTables, HXDownsampleFactor0);
                        compositor.AddLayer(*unsuppressed, 1.0, hvn::image::HXBlendModeNormal,
                                            hvn::image::HXCompositeTypeOverMasked);
                        compositor.Render();
                    }
                }
                d.PostFilterValid[id][factor] = true;
            }

            if (start <= RenderLevelFilter) {
                if (d.matteView) {
                    CopyImage8(true, *stage, *window);
                } else if (spillMethod == hvn::image::HXSpillApplyAfterMasks) {
                    // Suppressed in the window image, so the stage image stays as placed and a
                    // filter change does not suppress the spill once more.
                    CopyImage8(true, *stage, *window);
                    RunSpillSuppressionPass(keys, *layer, d.lookupTables, *window);
                    if (const LMerr result = RunFilterPass(settings->Filters(), d.lookupTables, factor, window,
                                                           window, canvasScale))
                        return result;
                } else if (const LMerr result = RunFilterPass(settings->Filters(), d.lookupTables, factor, stage,
                                                              window, canvasScale)) {
                    return result;
                }
                d.FilterValid[id][factor] = true;
            }

            if (hasMasks)
                RenderLayerMasks(*d.alphaMaskRenderer, masks, *window, d.lookupTables, maskTransform, limit, factor);
            if (d.matteView) {
                hvn::image::HXImageProcessor matte(*window, *window, d.lookupTables, factor);
                matte.SetMatteView();
                matte.Render();
            }
            d.FinalValid[factor] = true;
            return LMerrSuccess;
        }
        case LayerTypeBackground: {
            if (!layer->IsEnabled())
                return LMerrSuccess;
            const RenderLevel start = d.StartLevel(*layer, factor, level);
            const ImageLayerSettingsPtr settings = manager->GetLayerSettings(id);
            const ImagePtr stage = d.LayerStageImages.value(id).value(factor);
            if (!stage)
                return LMerrRenderFailed;
            if (start <= RenderLevelPostFilter) {
                const ImagePtr source = d.SourceImages.value(id).value(factor);
                if (!source)
                    return LMerrRenderFailed;
                const QTransform placement =
                    LayerTransform(d.project, static_cast<unsigned int>(source->Width()),
                                   static_cast<unsigned int>(source->Height()),
                                   settings ? settings->Transforms() : NoTransforms(), factor);
                RunTransformPass(placement, factor == HXDownsampleFactor0, *source, *stage);
                d.PostFilterValid[id][factor] = true;
            }
            const ImagePtr window = Required(d.LayerWindowImages.value(id), factor);
            if (const LMerr result = RunFilterPass(settings ? settings->Filters() : NoFilters(), d.lookupTables,
                                                   factor, stage, window, canvasScale))
                return result;
            d.FilterValid[id][factor] = true;
            return LMerrSuccess;
        }
        default: {
            if (!layer->IsEnabled())
                return LMerrSuccess;
            const ImagePtr source = d.SourceImages.value(id).value(factor);
            if (!source)
                return LMerrRenderFailed;
            const ImageLayerSettingsPtr settings = manager->GetLayerSettings(id);
            const QTransform placement =
                LayerTransform(d.project, static_cast<unsigned int>(source->Width()),
                               static_cast<unsigned int>(source->Height()),
                               settings ? settings->Transforms() : NoTransforms(), factor);
            const ImagePtr window = Required(d.LayerWindowImages.value(id), factor);
            RunTransformPass(placement, factor == HXDownsampleFactor0, *source, *window);
            d.PostFilterValid[id][factor] = true;
            return LMerrSuccess;
        }
        }
    } catch (const std::runtime_error&) {
        return LMerrRenderFailed;
    }
}

} // namespace lumo::app
