// Mask drawing, feathering and the banded alpha passes, and the processor's mask-cache calls.

#include "AlphaMaskRenderer.h"
#include "DrawableValues.h"
#include "Mask.h"
#include "RenderProcessor.h"
#include "RenderProcessorImpl.h"

#include <hvn/common/HXSystem.h>
#include <hvn/image/HXImageProcessor.h>

#include <QImage>
#include <QPainter>

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

using hvn::image::HXDownsampleFactor;
using hvn::image::HXDownsampleFactor0;
using hvn::image::HXImage8;

namespace lumo::app {

namespace {

// Where a mask lies on its target, in target pixels: the columns [x0, x1) of the rows [y0, y1).
struct Placed {
    int x0 = 0;
    int x1 = 0;
    int y0 = 0;
    int y1 = 0;
};

// One band of rows of one pass. The threads share the target and the mask; each writes only the
// alpha of its own rows, so no lock is needed.
struct CompositeData {
    HXImage8* target = nullptr;
    const AlphaMask* mask = nullptr;
    unsigned int firstRow = 0;
    unsigned int endRow = 0;
    Placed placed;
    // The rows outside the mask, and the columns beside it, take the outside coverage.
    bool outside = false;
    bool remove = true;
    bool inverted = false;
};

// The rule on count pixels, coverage given per pixel or (step 0) one value for all.
void ApplyRule(std::uint8_t* alpha, const std::uint8_t* coverage, std::size_t step, int count, bool remove,
               bool inverted)
{
    // One branch-free loop per rule.
    if (!remove) {
        for (int x = 0; x < count; ++x)
            alpha[x * 4] = std::max<std::uint8_t>(255 - coverage[x * step], alpha[x * 4]);
    } else if (inverted) {
        for (int x = 0; x < count; ++x)
            alpha[x * 4] = std::min<std::uint8_t>(coverage[x * step], alpha[x * 4]);
    } else {
        for (int x = 0; x < count; ++x)
            alpha[x * 4] = std::min<std::uint8_t>(255 - coverage[x * step], alpha[x * 4]);
    }
}

void CompositeRows(const CompositeData& band)
{
    const int width = band.target->Width();
    const std::size_t targetStride = static_cast<std::size_t>(width) * 4u;
    std::uint8_t* const pixels = band.target->Buffer();
    const AlphaMask& mask = *band.mask;
    const Placed& p = band.placed;
    const std::uint8_t outside = mask.outside.value_or(0);
    for (unsigned int row = band.firstRow; row < band.endRow; ++row) {
        const int y = static_cast<int>(row);
        std::uint8_t* alpha = pixels + static_cast<std::size_t>(y) * targetStride + 3;
        if (y < p.y0 || y >= p.y1) {
            ApplyRule(alpha, &outside, 0, width, band.remove, band.inverted);
            continue;
        }
        const std::uint8_t* coverage = mask.bytes.data() + static_cast<std::size_t>(y - mask.top) * mask.width +
                                       static_cast<std::size_t>(p.x0 - mask.left);
        ApplyRule(alpha + static_cast<std::size_t>(p.x0) * 4, coverage, 1, p.x1 - p.x0, band.remove, band.inverted);
        if (band.outside) {
            ApplyRule(alpha, &outside, 0, p.x0, band.remove, band.inverted);
            ApplyRule(alpha + static_cast<std::size_t>(p.x1) * 4, &outside, 0, width - p.x1, band.remove,
                      band.inverted);
        }
    }
}

// Whether the rule leaves every alpha as it is for this coverage.
bool LeavesAlpha(std::uint8_t coverage, bool remove, bool inverted)
{
    return remove && !inverted ? coverage == 0 : coverage == 255;
}

void* CompositeMaskBand(void* item)
{
    if (item != nullptr)
        CompositeRows(*static_cast<const CompositeData*>(item));
    return nullptr;
}

// Handle points as they can be drawn: a file may hold any number.
QPointF PositionOf(const AbstractMaskHandle& handle)
{
    return drawable::ImagePoint(handle.Position());
}

void AddMaskPathSegment(QPainterPath& path, const AbstractMaskHandle& from, const AbstractMaskHandle& to)
{
    if (from.Type() == MaskHandleTypeNoControl && to.Type() == MaskHandleTypeNoControl) {
        path.lineTo(PositionOf(to));
        return;
    }
    QPointF outgoing = PositionOf(from);
    if (from.Type() == MaskHandleTypeMonoControl)
        outgoing += drawable::ImagePoint(static_cast<const MonoControlMaskHandle&>(from).ControlPosition());
    else if (from.Type() == MaskHandleTypeDualControl)
        outgoing += drawable::ImagePoint(static_cast<const DualControlMaskHandle&>(from).RightControlPosition());
    QPointF incoming = PositionOf(to);
    if (to.Type() == MaskHandleTypeMonoControl)
        incoming += drawable::ImagePoint(static_cast<const MonoControlMaskHandle&>(to).ControlPosition());
    else if (to.Type() == MaskHandleTypeDualControl)
        incoming += drawable::ImagePoint(static_cast<const DualControlMaskHandle&>(to).LeftControlPosition());
    path.cubicTo(outgoing, incoming, PositionOf(to));
}

// A closed mask with no handles has no outline; a project file can hold one.
bool TakesPart(const Mask& mask)
{
    return mask.IsEnabled() && mask.IsClosed() && mask.Size() > 0;
}

// The coverage of a mask drawn anew for the target.
std::shared_ptr<AlphaMask> DrawCoverage(const Mask& mask, const HXImage8& target,
                                        const hvn::common::HXLookupTables& tables, const QTransform& transform,
                                        const QPainterPath& limit, int radius)
{
    return DrawMaskCoverage(mask, target.Width(), target.Height(), tables, transform, limit, radius);
}

// Whole pixels covering the rectangle, limited to the image in doubles first (a mask's points can
// lie anywhere).
QRect PixelsWithin(const QRectF& rect, const QRect& image)
{
    const QRectF within = rect & QRectF(image).adjusted(-1, -1, 1, 1);
    return within.isEmpty() ? QRect() : within.toAlignedRect() & image;
}

template <class CoverageOf>
void ApplyMasks(const MaskList& masks, HXImage8& target, CoverageOf coverageOf)
{
    if (target.Width() <= 0 || target.Height() <= 0)
        return;
    for (auto it = masks.Begin(); it != masks.End(); ++it) {
        const Mask& mask = **it;
        if (!TakesPart(mask))
            continue;
        const std::shared_ptr<AlphaMask> coverage = coverageOf(mask);
        CompositeMaskParallel(target, mask.IsRemove(), mask.IsInverted(), *coverage);
    }
}

} // namespace

std::shared_ptr<AlphaMask> DrawMaskCoverage(const Mask& mask, int width, int height,
                                            const hvn::common::HXLookupTables& tables, const QTransform& transform,
                                            const QPainterPath& limit, int radius)
{
    const QRect whole(0, 0, std::max(width, 0), std::max(height, 0));
    const QPainterPath outline = transform.map(MaskOutline(mask));
    // The feather reaches its radius beyond the outline, the antialiased edge a pixel more; the
    // blur of a box that wide is the blur of the whole image there.
    const double reach = std::min(std::fabs(static_cast<double>(radius)), 4.0 * std::max(width, height) + 4.0) + 2.0;
    QRect box = outline.isEmpty() ? QRect()
                                  : PixelsWithin(outline.controlPointRect().adjusted(-reach, -reach, reach, reach), whole);
    // An inverted retaining mask restores the whole limit outside its outline.
    if (!mask.IsRemove() && mask.IsInverted())
        box |= PixelsWithin(limit.controlPointRect(), whole);
    auto coverage = std::make_shared<AlphaMask>(box, mask.IsRemove() ? 0 : 255);
    if (box.isEmpty())
        return coverage;

    QImage image(box.width(), box.height(), QImage::Format_ARGB32);
    if (image.isNull())
        throw std::bad_alloc();
    image.fill(0);
    // Whole-pixel shifts: the box draws exactly the pixels the whole image would.
    const QTransform toBox = QTransform::fromTranslate(-box.left(), -box.top());
    DrawMaskShape(transform * toBox, mask, image);
    FeatherMaskShape(radius, tables, mask.IsRemove(), mask.IsInverted(), toBox.map(limit), image);
    QImageAlphaToMask(*coverage, image);
    return coverage;
}

QPainterPath MaskOutline(const Mask& mask)
{
    QPainterPath path;
    if (mask.Size() == 0)
        return path;
    const AbstractMaskHandle& first = **mask.Begin();
    path.moveTo(PositionOf(first));
    const AbstractMaskHandle* previous = &first;
    for (auto it = mask.Begin() + 1; it != mask.End(); ++it) {
        AddMaskPathSegment(path, *previous, **it);
        previous = it->get();
    }
    AddMaskPathSegment(path, *previous, first);
    return path;
}

void DrawMaskShape(const QTransform& transform, const Mask& mask, QImage& image)
{
    const QPainterPath outline = MaskOutline(mask);
    if (outline.isEmpty())
        return;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setWorldTransform(transform, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(QColor(0, 0, 0, 255), Qt::SolidPattern));
    painter.drawPath(outline);
}

bool FeatherMaskShape(int radius, const hvn::common::HXLookupTables& tables, bool remove, bool inverted,
                      const QPainterPath& limit, QImage& image)
{
    bool feathered = true;
    // In unsigned arithmetic: the magnitude of INT_MIN is no int.
    const unsigned int magnitude = radius < 0 ? 0u - static_cast<unsigned int>(radius) : static_cast<unsigned int>(radius);
    // A radius of 0 would only copy the image.
    if (magnitude > 0 && !image.isNull()) {
        uchar* bits = image.bits();
        if (bits == nullptr)
            throw std::bad_alloc();
        // Only the alpha is drawn and blurred: it is all a failed blur needs back.
        AlphaMask drawn(static_cast<unsigned int>(image.width()), static_cast<unsigned int>(image.height()));
        QImageAlphaToMask(drawn, image);
        // The blur runs in place, which the engine allows.
        HXImage8 view(bits, image.width(), image.height(), hvn::image::HXPixelChannelOrderBGRA);
        hvn::image::HXImageProcessor processor(view, view, tables, HXDownsampleFactor0);
        if (processor.SetStackBlur(magnitude, true, true, hvn::image::HXChannelsAlpha) != 0 ||
            processor.RenderQueueCount() == 0 || processor.Render() != 0) {
            // A failed render may have left a partial blur: fall back to the hard edge, which is
            // still the right shape.
            for (int y = 0; y < image.height(); ++y) {
                uchar* pixel = image.scanLine(y);
                const std::uint8_t* alpha = drawn.bytes.data() + static_cast<std::size_t>(y) * drawn.width;
                for (int x = 0; x < image.width(); ++x)
                    pixel[x * 4 + 3] = alpha[x];
            }
            feathered = false;
        }
    }
    // A retaining mask is turned into its coverage whether or not it was feathered: left as
    // drawn it would restore everything outside its outline.
    if (!remove) {
        if (!inverted)
            image.invertPixels(QImage::InvertRgba);
        QPainterPath outsideLimit;
        outsideLimit.addRect(QRectF(0, 0, image.width(), image.height()));
        outsideLimit.addPath(limit);
        outsideLimit.setFillRule(Qt::OddEvenFill);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::SmoothPixmapTransform | QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 255));
        painter.drawPath(outsideLimit);
    }
    return feathered;
}

void QImageAlphaToMask(AlphaMask& mask, const QImage& image)
{
    if (image.isNull() || image.depth() != 32)
        return;
    const unsigned int height = std::min(mask.height, static_cast<unsigned int>(image.height()));
    const unsigned int width = std::min(mask.width, static_cast<unsigned int>(image.width()));
    for (unsigned int y = 0; y < height; ++y) {
        const uchar* pixel = image.constScanLine(static_cast<int>(y));
        std::uint8_t* row = mask.bytes.data() + static_cast<std::size_t>(y) * mask.width;
        for (unsigned int x = 0; x < width; ++x)
            row[x] = pixel[x * 4 + 3];
    }
}

bool CompositeMaskBands(HXImage8& target, bool remove, bool inverted, const AlphaMask& mask, int threads,
                        int startableThreads)
{
    if (target.Buffer() == nullptr || target.Width() <= 0 || target.Height() <= 0)
        return true;
    const std::int64_t targetWidth = target.Width();
    const std::int64_t targetHeight = target.Height();
    // The mask's box on the target (64 bits: a box may lie anywhere).
    Placed placed;
    placed.x0 = static_cast<int>(std::clamp<std::int64_t>(mask.left, 0, targetWidth));
    placed.x1 = static_cast<int>(std::clamp<std::int64_t>(std::int64_t(mask.left) + mask.width, placed.x0, targetWidth));
    placed.y0 = static_cast<int>(std::clamp<std::int64_t>(mask.top, 0, targetHeight));
    placed.y1 = static_cast<int>(std::clamp<std::int64_t>(std::int64_t(mask.top) + mask.height, placed.y0, targetHeight));
    const bool outside = mask.outside && !LeavesAlpha(*mask.outside, remove, inverted);
    if (!outside && (placed.x0 == placed.x1 || placed.y0 == placed.y1))
        return true;
    // Only the mask's rows change, unless the outside does too.
    const unsigned int first = outside ? 0u : static_cast<unsigned int>(placed.y0);
    const unsigned int height = (outside ? static_cast<unsigned int>(targetHeight) : static_cast<unsigned int>(placed.y1)) - first;
    const unsigned int count = static_cast<unsigned int>(std::clamp(threads, 1, static_cast<int>(std::min(255u, height))));
    const unsigned int band = (height + count - 1) / count;

    std::vector<CompositeData> items(count);
    for (unsigned int index = 0; index < count; ++index) {
        CompositeData& item = items[index];
        item = {&target, &mask, first + std::min(index * band, height), first + std::min((index + 1) * band, height),
                placed, outside, remove, inverted};
    }
    // The last band runs on the calling thread; it would only wait otherwise.
    std::vector<pthread_t> started;
    started.reserve(count - 1);
    bool allStarted = true;
    unsigned int next = 0;
    for (; next + 1 < count; ++next) {
        pthread_t thread;
        if (static_cast<int>(started.size()) >= startableThreads ||
            pthread_create(&thread, nullptr, CompositeMaskBand, &items[next]) != 0) {
            allStarted = false;
            break;
        }
        started.push_back(thread);
    }
    for (; next < count; ++next)
        CompositeRows(items[next]);
    bool allJoined = true;
    for (const pthread_t thread : started)
        allJoined = pthread_join(thread, nullptr) == 0 && allJoined;
    return allStarted && allJoined;
}

bool CompositeMaskParallel(HXImage8& target, bool remove, bool inverted, const AlphaMask& mask)
{
    // A band is one pass over a byte a pixel: starting a thread costs more than a band of fewer
    // than about a million pixels takes, so a preview window runs on one thread and a 42-megapixel
    // export on every core.
    constexpr std::uint64_t kPixelsPerThread = 1u << 20;
    const std::uint64_t targetPixels = std::uint64_t(std::max(target.Width(), 0)) * std::uint64_t(std::max(target.Height(), 0));
    const std::uint64_t pixels =
        mask.outside ? targetPixels : std::min<std::uint64_t>(targetPixels, std::uint64_t(mask.width) * mask.height);
    const int worthwhile = static_cast<int>(std::min<std::uint64_t>(pixels / kPixelsPerThread + 1, 255));
    return CompositeMaskBands(target, remove, inverted, mask,
                              std::min(hvn::common::HXSystem::GetCPUCoreCount(), worthwhile));
}

void RenderLayerMasks(AlphaMaskRenderer& renderer, const MaskList& masks, HXImage8& target,
                      const hvn::common::HXLookupTables& tables, const QTransform& transform, const QPainterPath& limit,
                      HXDownsampleFactor factor)
{
    ApplyMasks(masks, target,
               [&](const Mask& mask) { return renderer.Coverage(mask, tables, transform, limit, factor); });
}

void RenderCanvasMasks(const MaskList& masks, HXImage8& target, const hvn::common::HXLookupTables& tables,
                       const QTransform& transform, const QPainterPath& limit, HXDownsampleFactor factor)
{
    const double ratio = hvn::image::DownsampleValue(factor);
    ApplyMasks(masks, target, [&](const Mask& mask) {
        const int radius = static_cast<int>(std::trunc(ratio * mask.Feather()));
        return DrawCoverage(mask, target, tables, transform, limit, radius);
    });
}

void RenderExportMasks(const MaskList& masks, HXImage8& target, const hvn::common::HXLookupTables& tables,
                       const QTransform& transform, const QPainterPath& limit)
{
    ApplyMasks(masks, target, [&](const Mask& mask) {
        return DrawCoverage(mask, target, tables, transform, limit, mask.Feather());
    });
}

void RenderProcessor::InvalidateMaskCache(const QUuid& maskId)
{
    m_impl->alphaMaskRenderer->InvalidateMask(maskId);
}

void RenderProcessor::InvalidateAllMaskCache()
{
    m_impl->alphaMaskRenderer->InvalidateAllMasks();
}

void RenderProcessor::RemoveMaskCache(const QUuid& maskId)
{
    m_impl->alphaMaskRenderer->RemoveMask(maskId);
}

} // namespace lumo::app
