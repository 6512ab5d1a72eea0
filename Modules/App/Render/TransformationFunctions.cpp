#include "TransformationFunctions.h"

#include "DrawableValues.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "Project.h"

#include "Resampling.h"

#include <QImage>

#include <cmath>
#include <limits>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;

namespace lumo::app {

namespace {

QSize CanvasSize(const Project& project)
{
    return QSize(static_cast<int>(project.GetCanvas().Width()), static_cast<int>(project.GetCanvas().Height()));
}

std::shared_ptr<TransformationTransformItem> FindTransformation(const TransformList& transforms)
{
    return FindItemOfType<TransformationTransformItem>(transforms, TransformItemTypeTransformation);
}

// A placed size in whole pixels; a scale read from a file can be anything, and a size beyond int
// fits nothing anyway.
int PlacedSize(double scale, int size)
{
    const double placed = std::trunc(std::fabs(scale) * size);
    return placed < static_cast<double>(std::numeric_limits<int>::max()) ? static_cast<int>(placed) : 0;
}

// What a fit aims at: a translation, rotation and mirroring taken over from the reference layer,
// and the reference size the layer is scaled to.
struct FitTarget {
    double translateX = 0.0;
    double translateY = 0.0;
    double rotation = 0.0;
    bool mirrorX = false;
    bool mirrorY = false;
    int referenceWidth = 0;
    int referenceHeight = 0;
};

// The reference layer's translation and rotation and, when its size is known, its mirroring and
// its size as placed.
void TakeReference(const TransformList* transforms, const ImageLayer* layer, bool requireValid, FitTarget& target)
{
    const auto item = transforms ? FindTransformation(*transforms) : nullptr;
    if (!item)
        return;
    target.translateX = item->TranslateX();
    target.translateY = item->TranslateY();
    target.rotation = item->Rotation();
    if (layer == nullptr || (requireValid && !layer->IsValid()))
        return;
    const QSize size = layer->Dimensions();
    if (size.width() < 1 || size.height() < 1)
        return;
    target.mirrorX = item->ScaleX() < 0.0;
    target.mirrorY = item->ScaleY() < 0.0;
    target.referenceWidth = PlacedSize(item->ScaleX(), size.width());
    target.referenceHeight = PlacedSize(item->ScaleY(), size.height());
}

// Fills the target for a fit mode; false for a mode that fits nothing.
bool ResolveFit(const LayerManager& manager, FitTo fit, const QSize& canvasSize, const QUuid& foregroundId,
                FitTarget& target)
{
    switch (fit) {
    case FitToCanvas:
        target.referenceWidth = canvasSize.width();
        target.referenceHeight = canvasSize.height();
        return true;
    case FitToBackground:
        if (const ImageLayerPtr background = manager.GetBackground()) {
            const ImageLayerSettingsPtr settings = manager.GetLayerSettings(background->Id(), foregroundId);
            TakeReference(settings ? &settings->Transforms() : nullptr, background.get(), true, target);
        }
        return true;
    case FitToForeground:
        if (const ForegroundImageLayerPtr foreground =
                foregroundId.isNull() ? nullptr : manager.GetForeground(foregroundId)) {
            const ForegroundImageLayerSettingsPtr settings = manager.GetForegroundSettings(foregroundId);
            TakeReference(settings ? &settings->Transforms() : nullptr, foreground.get(), false, target);
        }
        return true;
    case FitToNone:
        break;
    }
    return false;
}

} // namespace

bool FitLayerPlacement(const LayerManager& manager, FitTo fit, const QSize& canvasSize, const QUuid& foregroundId,
                       const QSize& layerSize, TransformationTransformItem* item)
{
    FitTarget target;
    if (!ResolveFit(manager, fit, canvasSize, foregroundId, target))
        return false;
    double scaleX = 1.0;
    double scaleY = 1.0;
    if (layerSize.width() >= 1 && layerSize.height() >= 1 && target.referenceWidth >= 1 && target.referenceHeight >= 1) {
        scaleX = static_cast<double>(target.referenceWidth) / layerSize.width();
        scaleY = static_cast<double>(target.referenceHeight) / layerSize.height();
        if (target.mirrorX)
            scaleX = -scaleX;
        if (target.mirrorY)
            scaleY = -scaleY;
    }
    if (item == nullptr)
        return false;
    bool changed = false;
    if (item->TranslateX() != target.translateX || item->TranslateY() != target.translateY) {
        item->SetTranslateX(target.translateX);
        item->SetTranslateY(target.translateY);
        changed = true;
    }
    if (item->ScaleX() != scaleX || item->ScaleY() != scaleY) {
        item->SetScaleX(scaleX);
        item->SetScaleY(scaleY);
        changed = true;
    }
    if (item->Rotation() != target.rotation) {
        item->SetRotation(target.rotation);
        changed = true;
    }
    return changed;
}

void CombineLayerTransformation(const TransformationTransformItem* item, unsigned int w, unsigned int h, unsigned int cw,
                                unsigned int ch, QTransform& t, HXDownsampleFactor factor)
{
    if (item == nullptr)
        return;
    const double ratio = hvn::image::DownsampleValue(factor);
    // The placement as it can be drawn; the item may hold any number a file or a setter gave it.
    const drawable::Placement placement = drawable::LayerPlacement(*item);
    // The magnitudes are single precision, as the stored placements were made with.
    const float magnitudeX = std::fabs(static_cast<float>(placement.scaleX));
    const float magnitudeY = std::fabs(static_cast<float>(placement.scaleY));
    const int reachX = drawable::TruncateToInt(magnitudeX * w * 0.5 + ratio * cw * 0.5);
    const int reachY = drawable::TruncateToInt(magnitudeY * h * 0.5 + ratio * ch * 0.5);
    t.translate(placement.translateX * reachX, placement.translateY * reachY);
    t.rotate(placement.rotation);
    t.scale(placement.scaleX, placement.scaleY);
    t.translate(-(w * 0.5), -(h * 0.5));
}

void CombineCanvasTransformation(unsigned int width, unsigned int height, QTransform& t, HXDownsampleFactor factor)
{
    const double ratio = hvn::image::DownsampleValue(factor);
    t.translate(ratio * width * 0.5, ratio * height * 0.5);
}

void CombineWorkspaceTransformation(const std::shared_ptr<Project>& project, QTransform& t, HXDownsampleFactor factor)
{
    if (!project)
        return;
    t = project->GetCanvas().WorkspaceTransform(factor) * t;
}

// The screen fits use the canvas and the current foreground's settings.
bool FitOverlayToTransform(const std::shared_ptr<Project>& project, FitTo fit)
{
    if (!project)
        return false;
    const LayerManagerPtr manager = project->GetLayerManager();
    if (!manager)
        return false;
    const ImageLayerPtr overlay = manager->GetOverlay();
    if (!overlay)
        return false;
    const ImageLayerSettingsPtr settings = manager->GetLayerSettings(LayerTypeOverlay);
    return FitLayerPlacement(*manager, fit, CanvasSize(*project), manager->CurrentForegroundId(),
                             overlay->Dimensions(),
                             settings ? FindTransformation(settings->Transforms()).get() : nullptr);
}

bool FitLayerToTransform(const std::shared_ptr<Project>& project, const std::shared_ptr<ImageLayer>& layer)
{
    if (!project || !layer)
        return false;
    const LayerManagerPtr manager = project->GetLayerManager();
    if (!manager)
        return false;
    const ImageLayerSettingsPtr settings = manager->GetLayerSettings(layer->Id());
    if (!settings)
        return false;
    const auto fit = FindItemOfType<FitTransformItem>(settings->Transforms(), TransformItemTypeFit);
    if (!fit)
        return false;
    return FitLayerPlacement(*manager, fit->Fit(), CanvasSize(*project), manager->CurrentForegroundId(),
                             layer->Dimensions(), FindTransformation(settings->Transforms()).get());
}

QTransform LayerTransform(const std::shared_ptr<Project>& project, unsigned int w, unsigned int h,
                          const TransformList& transforms, HXDownsampleFactor factor)
{
    QTransform t;
    const auto item = FindTransformation(transforms);
    if (!item || !project)
        return t;
    CombineWorkspaceTransformation(project, t, factor);
    const Canvas& canvas = project->GetCanvas();
    CombineLayerTransformation(item.get(), w, h, canvas.Width(), canvas.Height(), t, factor);
    return t;
}

QTransform ExportLayerTransform(unsigned int exportWidth, unsigned int exportHeight,
                                const std::shared_ptr<Project>& project, unsigned int w, unsigned int h,
                                const TransformList& transforms)
{
    QTransform t;
    const auto item = FindTransformation(transforms);
    if (!item || !project)
        return t;
    CombineCanvasTransformation(exportWidth, exportHeight, t, HXDownsampleFactor0);
    const Canvas& canvas = project->GetCanvas();
    CombineLayerTransformation(item.get(), w, h, canvas.Width(), canvas.Height(), t, HXDownsampleFactor0);
    return t;
}

namespace helper {

void TransformImage(QImage& source, QImage& target, const QTransform& transform, bool smooth)
{
    if (source.isNull() || target.isNull())
        return;
    const QImage converted =
        source.format() == QImage::Format_ARGB32 ? source : source.convertToFormat(QImage::Format_ARGB32);
    if (target.format() != QImage::Format_ARGB32)
        target = target.convertToFormat(QImage::Format_ARGB32);
    if (converted.isNull() || target.isNull())
        throw std::bad_alloc();
    uchar* targetBits = target.bits();
    if (targetBits == nullptr)
        throw std::bad_alloc();
    resampling::DrawThrough({converted.constBits(), converted.width(), converted.height(), converted.bytesPerLine()},
                            {targetBits, target.width(), target.height(), target.bytesPerLine()}, transform, smooth,
                            resampling::Target::Compose);
}

void TransformImage(const hvn::image::HXImage8& source, hvn::image::HXImage8& target, const QTransform& transform,
                    bool smooth)
{
    resampling::DrawThrough({source.Buffer(), source.Width(), source.Height(), static_cast<std::ptrdiff_t>(source.Width()) * 4},
                            {target.Buffer(), target.Width(), target.Height(), static_cast<std::ptrdiff_t>(target.Width()) * 4},
                            transform, smooth, resampling::Target::Compose);
}

} // namespace helper

} // namespace lumo::app
