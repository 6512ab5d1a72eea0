#pragma once

#include "AppExport.h"
#include "TransformItems.h"

#include <hvn/image/HXImage.h>

#include <QSize>
#include <QTransform>
#include <QUuid>

#include <memory>

class QImage;

namespace lumo::app {

class ImageLayer;
class LayerManager;
class Project;
class TransformList;

// Where layers sit on the canvas and the canvas in the window, shared by the canvas view, the
// panels, the export and the render pipeline so that handles and rendered pixels agree. Each
// Combine function appends its placement to t (the operations are applied to points before
// those already in t). Lengths at a downsample factor are scaled by DownsampleValue(factor);
// conversions to integers truncate toward zero.

// The layer's placement: its centre lands at the canvas centre shifted by the item's translation,
// which is a fraction of the distance from the canvas centre to the canvas edge plus half the
// layer. w, h: the layer at the factor; cw, ch: the canvas at full quality. A null item leaves t.
APP_EXPORT void CombineLayerTransformation(const TransformationTransformItem* item, unsigned int w, unsigned int h,
                                           unsigned int cw, unsigned int ch, QTransform& t,
                                           hvn::image::HXDownsampleFactor factor);
// Canvas coordinates (origin at the centre) to the pixels of a canvas-sized image.
APP_EXPORT void CombineCanvasTransformation(unsigned int width, unsigned int height, QTransform& t,
                                            hvn::image::HXDownsampleFactor factor);
// Canvas coordinates to window pixels: the canvas's centre, scale and pan.
APP_EXPORT void CombineWorkspaceTransformation(const std::shared_ptr<Project>& project, QTransform& t,
                                               hvn::image::HXDownsampleFactor factor);

// Fits a layer of layerSize pixels by the mode, writing its placement into item: FitToCanvas
// scales it to canvasSize; FitToBackground and FitToForeground take over the translation,
// rotation, mirroring and placed size of the reference layer as the foreground foregroundId keeps
// it (its settings for the background, or its own). A missing reference keeps the start values
// (no translation or rotation, scale 1); FitToNone and unknown modes change nothing. True when
// the item changed.
APP_EXPORT bool FitLayerPlacement(const LayerManager& manager, FitTo fit, const QSize& canvasSize,
                                  const QUuid& foregroundId, const QSize& layerSize, TransformationTransformItem* item);

// Fits the overlay to the canvas, the background or the foreground by writing its transformation
// item; true when the item changed. Missing layers, items or sizes below 1 change nothing.
APP_EXPORT bool FitOverlayToTransform(const std::shared_ptr<Project>& project, FitTo fit);
// The same for a layer, by the fit item in its own settings.
APP_EXPORT bool FitLayerToTransform(const std::shared_ptr<Project>& project, const std::shared_ptr<ImageLayer>& layer);

// The render-time placement of a layer of w x h pixels at the factor: the window placement of
// the canvas and the layer's transformation item; the identity without the item.
APP_EXPORT QTransform LayerTransform(const std::shared_ptr<Project>& project, unsigned int w, unsigned int h,
                                     const TransformList& transforms, hvn::image::HXDownsampleFactor factor);
// The export placement of a layer in an image of exportWidth x exportHeight pixels.
APP_EXPORT QTransform ExportLayerTransform(unsigned int exportWidth, unsigned int exportHeight,
                                           const std::shared_ptr<Project>& project, unsigned int w, unsigned int h,
                                           const TransformList& transforms);

namespace helper {

// Draws the source into the target through the transform (smooth: bilinear and antialiased
// edges). The target gets the source's colours drawn opaque, so soft edges do not darken, and
// the alpha of a source-over draw of the source onto the target as it was. 32-bit images in the
// pipeline's layout (others are converted); throws std::bad_alloc when a working copy cannot be
// made.
APP_EXPORT void TransformImage(QImage& source, QImage& target, const QTransform& transform, bool smooth);
APP_EXPORT void TransformImage(const hvn::image::HXImage8& source, hvn::image::HXImage8& target,
                               const QTransform& transform, bool smooth);

} // namespace helper

} // namespace lumo::app
