#include "TransformationFunctions.h"

#include "DrawableValues.h"
#include "ItemLists.h"
#include "LayerManager.h"
#include "ParallelRows.h"
#include "Project.h"

#include <QImage>
#include <QPainter>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <atomic>
#include <cmath>
#include <cstring>
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

namespace {

// ---- TransformImage ----

struct ConstPlane {
    const uchar* bits;
    int width;
    int height;
    qsizetype stride;
};

struct Plane {
    uchar* bits;
    int width;
    int height;
    qsizetype stride;
};

#if defined(__linux__)
struct Mapping {
    void* address;
    std::size_t bytes;
};

void Unmap(void* info)
{
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->address, mapping->bytes);
    delete mapping;
}
#endif

// A working image of the pipeline's layout, uninitialised. A 42-megapixel copy in small pages
// costs some 40,000 page faults, which take longer than the copy itself; large ones are backed by
// huge pages where the system allows it.
QImage WorkingImage(int width, int height)
{
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4u;
    if (bytes >= 2 * kHugePage) {
        const std::size_t mapped = bytes + kHugePage;
        void* address = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (address == MAP_FAILED)
            throw std::bad_alloc();
        auto* mapping = new Mapping{address, mapped};
        const auto start = (reinterpret_cast<std::uintptr_t>(address) + kHugePage - 1) & ~(kHugePage - 1);
        madvise(reinterpret_cast<void*>(start), bytes & ~(kHugePage - 1), MADV_HUGEPAGE);
        return QImage(reinterpret_cast<uchar*>(start), width, height, static_cast<qsizetype>(width) * 4,
                      QImage::Format_ARGB32, Unmap, mapping);
    }
#endif
    return QImage(width, height, QImage::Format_ARGB32);
}

void DrawThrough(QImage& device, const QImage& image, const QTransform& transform, bool smooth)
{
    QPainter painter(&device);
    painter.setTransform(transform);
    if (smooth)
        painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
    painter.drawImage(0, 0, image);
}

// Whether every pixel of the rectangle has alpha 255; stops early once one does not.
bool IsOpaque(const ConstPlane& plane, const QRect& rect)
{
    std::atomic<bool> transparent{false};
    const int left = rect.left();
    const int width = rect.width();
    ParallelRows(rect.height(), static_cast<long long>(width) * rect.height(), [&](int begin, int end) {
        for (int y = rect.top() + begin; y < rect.top() + end; ++y) {
            if (transparent.load(std::memory_order_relaxed))
                return;
            const uchar* row = plane.bits + y * plane.stride + left * 4;
            uchar all = 255;
            for (int x = 0; x < width; ++x)
                all &= row[x * 4 + 3];
            if (all != 255)
                transparent.store(true, std::memory_order_relaxed);
        }
    });
    return !transparent.load();
}

// The rectangle of the source copied into the same place of the target with alpha forced to 255.
void CopyOpaque(const ConstPlane& source, QImage& target, const QRect& rect)
{
    const int left = rect.left();
    const int width = rect.width();
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    ParallelRows(rect.height(), static_cast<long long>(width) * rect.height(), [&](int begin, int end) {
        for (int y = rect.top() + begin; y < rect.top() + end; ++y) {
            const uchar* from = source.bits + y * source.stride + left * 4;
            uchar* to = bits + y * stride + left * 4;
            for (int x = 0; x < width; ++x) {
                std::uint32_t pixel;
                std::memcpy(&pixel, from + x * 4, 4);
                pixel |= 0xFF000000u; // byte 3 (alpha) on a little-endian machine
                std::memcpy(to + x * 4, &pixel, 4);
            }
        }
    });
}

// Whole pixels covering the rectangle (as QRectF::toAlignedRect), widened by the margin and cut
// to the bounds. The rectangle is limited to the bounds in doubles first: a placement from a file
// can throw an image further away than an int can count.
QRect AlignedWithin(const QRectF& rect, const QRect& bounds, int margin)
{
    const QRectF limit = QRectF(bounds).adjusted(-margin - 1, -margin - 1, margin + 1, margin + 1);
    const QRectF within = rect & limit;
    if (within.isEmpty())
        return QRect();
    return within.toAlignedRect().adjusted(-margin, -margin, margin, margin) & bounds;
}

bool IsFinite(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m13()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.m23()) && std::isfinite(t.m31()) && std::isfinite(t.m32()) &&
           std::isfinite(t.m33());
}

void TransformPixels(const ConstPlane& whole, const Plane& target, const QTransform& placement, bool smooth)
{
    if (whole.bits == nullptr || target.bits == nullptr || whole.width <= 0 || whole.height <= 0 ||
        target.width <= 0 || target.height <= 0 || !IsFinite(placement) || !placement.isInvertible())
        return;
    // Only pixels inside the drawn quad (and one around it, for antialiased edges) can change;
    // only source pixels mapped into that area (and two around, for bilinear neighbours) can be
    // read. Everything below is restricted to those two rectangles.
    const QRect targetRect(0, 0, target.width, target.height);
    const QRect wholeRect(0, 0, whole.width, whole.height);
    const QRectF mapped = placement.mapRect(QRectF(wholeRect));
    const QRect area = AlignedWithin(mapped, targetRect, 1);
    if (area.isEmpty())
        return;
    const QRect wholeNeeded = AlignedWithin(placement.inverted().mapRect(QRectF(area)), wholeRect, 2);

    // The rasteriser counts in fixed point: an image placed far beyond the target (by a scale or a
    // translation from a file) is drawn as the part of it that reaches the target. Nearer, the
    // whole image is drawn, as always.
    constexpr double kRasterReach = double(1 << 22);
    const bool far = mapped.left() < -kRasterReach || mapped.top() < -kRasterReach || mapped.right() > kRasterReach ||
                     mapped.bottom() > kRasterReach;
    if (far && wholeNeeded.isEmpty())
        return;
    const QRect drawn = far ? wholeNeeded : wholeRect;
    const QTransform transform = far ? QTransform::fromTranslate(drawn.left(), drawn.top()) * placement : placement;
    const ConstPlane source{whole.bits + drawn.top() * whole.stride + drawn.left() * 4, drawn.width(), drawn.height(),
                            whole.stride};
    const QRect needed = wholeNeeded.translated(-drawn.topLeft());

    const QImage sourceView(source.bits, source.width, source.height, source.stride, QImage::Format_ARGB32);
    QImage targetView(target.bits, target.width, target.height, target.stride, QImage::Format_ARGB32);

    // An opaque source draws the same colours whether or not its alpha is forced to 255, and the
    // same alpha in both draws: one draw gives the result.
    if (needed.isEmpty() || IsOpaque(source, needed)) {
        DrawThrough(targetView, sourceView, transform, smooth);
        return;
    }

    // Full-size images keep the draws' coordinates identical to drawing the whole images; their
    // memory is only written (and so only committed) inside the two rectangles.
    QImage opaque = WorkingImage(source.width, source.height);
    QImage oldTarget = WorkingImage(target.width, target.height);
    if (opaque.isNull() || oldTarget.isNull())
        throw std::bad_alloc();
    CopyOpaque(source, opaque, needed);
    const qsizetype areaBytes = static_cast<qsizetype>(area.width()) * 4;
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::memcpy(oldTarget.scanLine(y) + area.left() * 4, target.bits + y * target.stride + area.left() * 4, areaBytes);

    DrawThrough(targetView, opaque, transform, smooth);
    DrawThrough(oldTarget, sourceView, transform, smooth);

    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar* from = oldTarget.constScanLine(y);
        uchar* to = target.bits + y * target.stride;
        for (int x = area.left(); x <= area.right(); ++x)
            to[x * 4 + 3] = from[x * 4 + 3];
    }
}

} // namespace

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
    TransformPixels({converted.constBits(), converted.width(), converted.height(), converted.bytesPerLine()},
                    {targetBits, target.width(), target.height(), target.bytesPerLine()}, transform, smooth);
}

void TransformImage(const hvn::image::HXImage8& source, hvn::image::HXImage8& target, const QTransform& transform,
                    bool smooth)
{
    TransformPixels({source.Buffer(), source.Width(), source.Height(), static_cast<qsizetype>(source.Width()) * 4},
                    {target.Buffer(), target.Width(), target.Height(), static_cast<qsizetype>(target.Width()) * 4},
                    transform, smooth);
}

} // namespace helper

} // namespace lumo::app
