#include "ImageBuffers.h"

#include "JpegWriting.h"
#include "ParallelRows.h"
#include "RenderProcessor.h"
#include "RenderProcessorImpl.h"

#include <hvn/common/HXParallel.h>

#include <QImage>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

using hvn::image::HXBitsPerChannel8;
using hvn::image::HXImage8;
using hvn::image::HXPixelChannelOrderBGRA;

namespace lumo::app {

namespace {

bool IsPipelineFormat(const HXImage8& image)
{
    return image.BitsPerChannel() == HXBitsPerChannel8 && image.PixelChannelOrder() == HXPixelChannelOrderBGRA;
}

std::size_t RowBytes(const HXImage8& image)
{
    return static_cast<std::size_t>(image.Width()) * 4u;
}

} // namespace

void DetectCpuFeatures(CpuFeatures& features)
{
    features = CpuFeatures{};
#if defined(__x86_64__) || defined(__i386__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        features.mmx = (edx >> 23) & 1u;
        features.sse = (edx >> 25) & 1u;
        features.sse2 = (edx >> 26) & 1u;
        features.sse3 = ecx & 1u;
    }
#endif
}

// The copies go through memcpy, which already moves 16 bytes or more at a time on every x86-64
// processor (SSE2 is part of the architecture) and falls back to narrower moves elsewhere; the
// bytes are the same either way, so no separate SIMD path is kept.
void CopyImage8(bool clear, const HXImage8& source, HXImage8& target)
{
    if (!IsPipelineFormat(source) || target.Buffer() == nullptr)
        return;
    if (clear)
        std::memset(target.Buffer(), 0, target.BufferByteSize());
    const int width = std::min(source.Width(), target.Width());
    const int height = std::min(source.Height(), target.Height());
    if (width <= 0 || height <= 0 || source.Buffer() == nullptr)
        return;
    const std::size_t sourceStride = RowBytes(source);
    const std::size_t targetStride = RowBytes(target);
    const std::size_t bytes = static_cast<std::size_t>(width) * 4u;
    const std::uint8_t* from = source.Buffer();
    std::uint8_t* to = target.Buffer();
    if (from == to)
        return;
    for (int y = 0; y < height; ++y)
        std::memcpy(to + y * targetStride, from + y * sourceStride, bytes);
}

void CopyImage8(bool clear, const std::shared_ptr<HXImage8>& source, const std::shared_ptr<HXImage8>& target)
{
    if (source && target)
        CopyImage8(clear, *source, *target);
}

void PlaceInPlace8(std::uint8_t* bytes, int width, int height, int canvasWidth, int canvasHeight, int left, int top)
{
    if (bytes == nullptr || canvasWidth <= 0 || canvasHeight <= 0)
        return;
    const std::size_t canvasStride = static_cast<std::size_t>(canvasWidth) * 4u;
    const auto clearRows = [&](int first, int end) {
        if (end <= first)
            return;
        ParallelRows(end - first, static_cast<long long>(end - first) * canvasWidth, [&](int begin, int stop) {
            std::memset(bytes + (first + begin) * canvasStride, 0, (stop - begin) * canvasStride);
        });
    };
    if (width <= 0 || height <= 0) {
        clearRows(0, canvasHeight);
        return;
    }
    const std::size_t stride = static_cast<std::size_t>(width) * 4u;
    const std::size_t leftBytes = static_cast<std::size_t>(left) * 4u;
    const std::size_t rightBytes = canvasStride - leftBytes - stride;
    // Below the image nothing is read: the image ends at height * stride, the canvas rows below
    // it start later.
    clearRows(top + height, canvasHeight);
    const auto moveRow = [&](int y) {
        std::uint8_t* row = bytes + (top + y) * canvasStride;
        std::memmove(row + leftBytes, bytes + y * stride, stride);
        std::memset(row, 0, leftBytes);
        std::memset(row + leftBytes + stride, 0, rightBytes);
    };
    // A canvas row lies at or after its image row, so the rows go from the last one up; every
    // image row in [first, end) can move at once when all their canvas rows lie past the image
    // rows not yet moved, the band's own included.
    int end = height;
    while (end > 0) {
        const std::size_t unread = static_cast<std::size_t>(end) * stride;
        const long long firstFree = static_cast<long long>((unread + canvasStride - 1) / canvasStride) - top;
        const int first = static_cast<int>(std::clamp<long long>(firstFree, 0, end));
        if (first == end) {
            // The row's canvas row overlaps its own image row: moved alone.
            moveRow(end - 1);
            --end;
            continue;
        }
        ParallelRows(end - first, static_cast<long long>(end - first) * canvasWidth, [&](int begin, int stop) {
            for (int y = first + begin; y < first + stop; ++y)
                moveRow(y);
        });
        end = first;
    }
    clearRows(0, std::min(top, canvasHeight));
}

bool SameImageFormat(const HXImage8& a, const HXImage8& b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() && a.PixelChannelOrder() == b.PixelChannelOrder() &&
           a.BitsPerChannel() == b.BitsPerChannel();
}

int CopyWholeImage8(HXImage8& target, const HXImage8& source)
{
    if (!SameImageFormat(target, source))
        return ImageBufferFormatMismatch;
    if (source.BitsPerChannel() != HXBitsPerChannel8)
        return ImageBufferNot8Bit;
    if (source.BufferSize() > 0 && source.Buffer() != target.Buffer())
        std::memcpy(target.Buffer(), source.Buffer(), source.BufferSize());
    return ImageBufferOk;
}

int CopyWholeImage8(const std::shared_ptr<HXImage8>& target, const std::shared_ptr<HXImage8>& source)
{
    if (!target || !source)
        return ImageBufferFormatMismatch;
    return CopyWholeImage8(*target, *source);
}

int FillImage8(HXImage8& image, const PixelColor8& color)
{
    if (!IsPipelineFormat(image))
        return ImageBufferNot8Bit;
    const std::uint8_t pixel[4] = {color.blue, color.green, color.red, color.alpha};
    std::uint32_t pattern = 0;
    std::memcpy(&pattern, pixel, 4);
    std::uint8_t* bytes = image.Buffer();
    const std::size_t count = image.BufferByteSize() / 4u;
    // memcpy per pixel keeps the loop free of alignment assumptions; the compiler turns it into
    // wide stores.
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(bytes + i * 4u, &pattern, 4);
    return ImageBufferOk;
}

void CopyAlphaChannel(const QImage& source, QImage& target)
{
    if (source.depth() != 32 || target.depth() != 32)
        return;
    const int width = std::min(source.width(), target.width());
    const int height = std::min(source.height(), target.height());
    for (int y = 0; y < height; ++y) {
        const uchar* from = source.constScanLine(y);
        uchar* to = target.scanLine(y);
        for (int x = 0; x < width; ++x)
            to[x * 4 + 3] = from[x * 4 + 3];
    }
}

void SetAlphaOpaque(QImage& image)
{
    if (image.depth() != 32)
        return;
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            row[x * 4 + 3] = 255;
    }
}

std::shared_ptr<HXImage8> ImageView8(QImage& image)
{
    return std::make_shared<HXImage8>(image.bits(), image.width(), image.height(), HXPixelChannelOrderBGRA);
}

std::shared_ptr<HXImage8> AdoptImage8(QImage image, hvn::image::HXPixelChannelOrder order)
{
    uchar* bits = image.bits();
    if (bits == nullptr)
        throw std::bad_alloc();
    const int width = image.width();
    const int height = image.height();
    return std::shared_ptr<HXImage8>(new HXImage8(bits, width, height, order),
                                     [kept = std::move(image)](HXImage8* view) mutable {
                                         delete view;
                                         kept = QImage();
                                     });
}

std::shared_ptr<HXImage8> AdoptOpaquePhoto8(QImage& image, int quarterTurns, hvn::image::HXPixelChannelOrder order,
                                            int threads)
{
    if (image.isNull() || image.format() != QImage::Format_RGB32 || !image.isDetached() || quarterTurns != 0 ||
        order != HXPixelChannelOrderBGRA || image.bytesPerLine() != image.width() * 4)
        return nullptr;
    uchar* bits = image.bits();
    const int width = image.width();
    const int height = image.height();
    const std::size_t stride = static_cast<std::size_t>(image.bytesPerLine());
    hvn::common::HXParallelBands(height, std::min(height, std::max(1, threads) * 4), std::max(1, threads),
                                 [&](int begin, int end) {
                                     for (int y = begin; y < end; ++y) {
                                         std::uint8_t* row = bits + y * stride;
                                         for (int x = 0; x < width; ++x) {
                                             std::uint32_t pixel;
                                             std::memcpy(&pixel, row + x * 4, 4);
                                             pixel |= 0xFF000000u;
                                             std::memcpy(row + x * 4, &pixel, 4);
                                         }
                                     }
                                 });
    return AdoptImage8(std::move(image), order);
}

std::shared_ptr<HXImage8> PipelineCopy8(const QImage& image, int quarterTurns, hvn::image::HXPixelChannelOrder order,
                                        int threads, bool* opaque)
{
    if (image.isNull() || (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32))
        return nullptr;
    // Qt's RGB32 to ARGB32 conversion forces every alpha byte to 255, whatever the unused byte held.
    const std::uint32_t alpha = image.format() == QImage::Format_RGB32 ? 0xFF000000u : 0u;
    const int width = image.width();
    const int height = image.height();
    const bool turned = quarterTurns == 1 || quarterTurns == -1;
    const int targetWidth = turned ? height : width;
    const int targetHeight = turned ? width : height;
    auto target = std::make_shared<HXImage8>(targetWidth, targetHeight, order, false);
    const uchar* from = image.constBits();
    const std::size_t fromStride = static_cast<std::size_t>(image.bytesPerLine());
    std::uint8_t* to = target->Buffer();
    const std::size_t toStride = static_cast<std::size_t>(targetWidth) * 4u;
    threads = std::max(1, threads);
    // The AND of every pixel written, each band adding its own: its top byte is 255 only when
    // every alpha is. (A slot per band found from the band's first row would let two bands share
    // one when the rows do not divide evenly, and lose a band's transparent pixels.)
    std::atomic<std::uint32_t> allWritten{0xFFFFFFFFu};
    const auto bandsOf = [&](int count) { return std::min(count, threads * 4); };

    if (!turned) {
        const int bands = bandsOf(height);
        hvn::common::HXParallelBands(height, bands, threads, [&](int begin, int end) {
            std::uint32_t allBits = 0xFFFFFFFFu;
            for (int y = begin; y < end; ++y) {
                const uchar* in = from + y * fromStride;
                std::uint8_t* out = to + y * toStride;
                for (int x = 0; x < width; ++x) {
                    std::uint32_t pixel;
                    std::memcpy(&pixel, in + x * 4, 4);
                    pixel |= alpha;
                    allBits &= pixel;
                    std::memcpy(out + x * 4, &pixel, 4);
                }
            }
            allWritten.fetch_and(allBits, std::memory_order_relaxed);
        });
        if (opaque != nullptr)
            *opaque = (allWritten.load(std::memory_order_relaxed) >> 24) == 0xFFu;
        return target;
    }

    // Target pixel (x, y) comes from source (y, height - 1 - x) for a clockwise turn and from
    // (width - 1 - y, x) for an anticlockwise one. Square tiles keep both sides in the cache.
    constexpr int kTile = 64;
    const int tileRows = (targetHeight + kTile - 1) / kTile;
    const int tileColumns = (targetWidth + kTile - 1) / kTile;
    const bool clockwise = quarterTurns == 1;
    const int bands = bandsOf(tileRows);
    hvn::common::HXParallelBands(tileRows, bands, threads, [&](int beginTile, int endTile) {
        std::uint32_t allBits = 0xFFFFFFFFu;
        for (int tileRow = beginTile; tileRow < endTile; ++tileRow) {
            const int y0 = tileRow * kTile;
            const int y1 = std::min(targetHeight, y0 + kTile);
            for (int tileColumn = 0; tileColumn < tileColumns; ++tileColumn) {
                const int x0 = tileColumn * kTile;
                const int x1 = std::min(targetWidth, x0 + kTile);
                for (int y = y0; y < y1; ++y) {
                    std::uint8_t* out = to + y * toStride;
                    const int sourceX = clockwise ? y : width - 1 - y;
                    for (int x = x0; x < x1; ++x) {
                        const int sourceY = clockwise ? height - 1 - x : x;
                        std::uint32_t pixel;
                        std::memcpy(&pixel, from + sourceY * fromStride + static_cast<std::size_t>(sourceX) * 4u, 4);
                        pixel |= alpha;
                        allBits &= pixel;
                        std::memcpy(out + x * 4, &pixel, 4);
                    }
                }
            }
        }
        allWritten.fetch_and(allBits, std::memory_order_relaxed);
    });
    if (opaque != nullptr)
        *opaque = (allWritten.load(std::memory_order_relaxed) >> 24) == 0xFFu;
    return target;
}

namespace {

// The source index Qt's fast scale reads for each pixel along one axis (-1 where it writes none),
// taken from Qt itself on a one-pixel-thin image of indices: its fixed-point walk is then matched
// exactly, rounding included, without copying its arithmetic.
std::vector<int> FastScaleSamples(int length, double scale, bool vertical)
{
    QImage probe(vertical ? 1 : length, vertical ? length : 1, QImage::Format_ARGB32);
    if (probe.isNull())
        throw std::bad_alloc();
    auto* indices = reinterpret_cast<QRgb*>(probe.bits());
    for (int i = 0; i < length; ++i)
        indices[i] = 0xFF000000u | static_cast<QRgb>(i + 1);
    const QImage scaled = probe.transformed(QTransform::fromScale(vertical ? 1.0 : scale, vertical ? scale : 1.0),
                                            Qt::FastTransformation);
    const int count = vertical ? scaled.height() : scaled.width();
    std::vector<int> samples(static_cast<std::size_t>(std::max(0, count)), -1);
    for (int i = 0; i < count; ++i) {
        const QRgb value = scaled.pixel(vertical ? 0 : i, vertical ? i : 0);
        const int index = static_cast<int>(value & 0xFFFFFFu) - 1;
        if (value != 0 && index >= 0 && index < length)
            samples[i] = index;
    }
    return samples;
}

} // namespace

QSize FastScaledSize(const QSize& size, double sx, double sy)
{
    if (size.width() <= 0 || size.height() <= 0 || size.width() >= 0xFFFFFF || size.height() >= 0xFFFFFF ||
        !(sx > 0.0) || !(sy > 0.0))
        return QSize();
    // Qt's own rounding of the size, from thin probes.
    const auto length = [](int count, double scale, bool vertical) {
        const QImage probe(vertical ? 1 : count, vertical ? count : 1, QImage::Format_ARGB32);
        if (probe.isNull())
            throw std::bad_alloc();
        const QImage scaled = probe.transformed(QTransform::fromScale(vertical ? 1.0 : scale, vertical ? scale : 1.0),
                                                Qt::FastTransformation);
        return vertical ? scaled.height() : scaled.width();
    };
    return QSize(length(size.width(), sx, false), length(size.height(), sy, true));
}

std::shared_ptr<HXImage8> ShrinkFast8(const HXImage8& source, double sx, double sy, int threads)
{
    const int width = source.Width();
    const int height = source.Height();
    if (source.BitsPerChannel() != HXBitsPerChannel8 || source.Buffer() == nullptr || width <= 0 || height <= 0 ||
        width >= 0xFFFFFF || height >= 0xFFFFFF || !(sx > 0.0) || !(sy > 0.0))
        return nullptr;
    const std::vector<int> columns = FastScaleSamples(width, sx, false);
    const std::vector<int> rows = FastScaleSamples(height, sy, true);
    if (columns.empty() || rows.empty())
        return nullptr;
    const int targetWidth = static_cast<int>(columns.size());
    const int targetHeight = static_cast<int>(rows.size());
    auto target = std::make_shared<HXImage8>(targetWidth, targetHeight, source.PixelChannelOrder(), false);
    const std::uint8_t* from = source.Buffer();
    std::uint8_t* to = target->Buffer();
    const std::size_t fromStride = RowBytes(source);
    const std::size_t toStride = RowBytes(*target);
    threads = std::max(1, threads);
    hvn::common::HXParallelBands(targetHeight, threads * 4, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* out = to + y * toStride;
            if (rows[y] < 0) {
                std::memset(out, 0, toStride);
                continue;
            }
            const std::uint8_t* in = from + static_cast<std::size_t>(rows[y]) * fromStride;
            for (int x = 0; x < targetWidth; ++x) {
                std::uint32_t pixel = 0;
                if (columns[x] >= 0)
                    std::memcpy(&pixel, in + static_cast<std::size_t>(columns[x]) * 4u, 4);
                std::memcpy(out + x * 4, &pixel, 4);
            }
        }
    });
    return target;
}

void RenderProcessor::CompositeOntoWhite(QImage& image)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        throw std::bad_alloc();
    // In place: the white is the formula's, not a second image.
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    ParallelRows(image.height(), static_cast<long long>(width) * image.height(), [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            CompositeRowOntoWhite(bits + y * stride, bits + y * stride, width);
    });
}

} // namespace lumo::app
