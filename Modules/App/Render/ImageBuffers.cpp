#include "ImageBuffers.h"

#include "RenderProcessor.h"
#include "RenderProcessorImpl.h"

#include <hvn/image/HXImageCompositor.h>

#include <QImage>

#include <algorithm>
#include <cstring>

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

void RenderProcessor::CompositeOntoWhite(QImage& image)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    QImage white(image.size(), QImage::Format_ARGB32);
    if (white.isNull() || image.isNull())
        throw std::bad_alloc();
    white.fill(0xFFFFFFFFu);
    const std::shared_ptr<HXImage8> base = ImageView8(white);
    const std::shared_ptr<HXImage8> layer = ImageView8(image);
    hvn::image::HXImageCompositor compositor(*base, 1.0, m_impl->lookupTables, hvn::image::HXDownsampleFactor0);
    compositor.AddLayer(*layer, 1.0, hvn::image::HXBlendModeNormal, hvn::image::HXCompositeTypeOver);
    compositor.Render();
    image = white;
}

} // namespace lumo::app
