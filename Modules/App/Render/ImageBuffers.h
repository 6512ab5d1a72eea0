#pragma once

#include "AppExport.h"

#include <hvn/image/HXImage.h>

#include <cstdint>
#include <memory>

class QImage;

namespace lumo::app {

// Every buffer of the render pipeline holds 8 bits a channel, 4 bytes a pixel, bytes blue, green,
// red, alpha in memory (QImage::Format_ARGB32, HXPixelChannelOrder 1), rows without gaps. An
// HXImage8 made over a QImage's bits() shares its memory: the QImage must outlive the view.

struct CpuFeatures {
    bool mmx = false;
    bool sse = false;
    bool sse2 = false;
    bool sse3 = false;
};

// A fill colour, given red first; stored in a buffer as blue, green, red, alpha.
struct PixelColor8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
};

enum ImageBufferResult : int {
    ImageBufferOk = 0,
    ImageBufferNot8Bit = 10,
    ImageBufferFormatMismatch = 1000,
};

// CPUID leaf 1; all false where the instruction does not exist.
APP_EXPORT void DetectCpuFeatures(CpuFeatures& features);

// Copies the top-left overlap of two images row by row; with clear the whole target is zeroed
// first. Does nothing unless the source is 8 bits a channel in pixel order 1.
APP_EXPORT void CopyImage8(bool clear, const hvn::image::HXImage8& source, hvn::image::HXImage8& target);
APP_EXPORT void CopyImage8(bool clear, const std::shared_ptr<hvn::image::HXImage8>& source,
                           const std::shared_ptr<hvn::image::HXImage8>& target);

// Width, height, pixel order and bits per channel all equal.
APP_EXPORT bool SameImageFormat(const hvn::image::HXImage8& a, const hvn::image::HXImage8& b);

// The whole buffer; ImageBufferFormatMismatch or ImageBufferNot8Bit leave the target unchanged.
APP_EXPORT int CopyWholeImage8(hvn::image::HXImage8& target, const hvn::image::HXImage8& source);
APP_EXPORT int CopyWholeImage8(const std::shared_ptr<hvn::image::HXImage8>& target,
                               const std::shared_ptr<hvn::image::HXImage8>& source);

// Every pixel set to the colour; ImageBufferNot8Bit for an image not in pixel order 1.
APP_EXPORT int FillImage8(hvn::image::HXImage8& image, const PixelColor8& color);

// Each target pixel takes the alpha of the source pixel at the same place (the overlap of two
// 32-bit images).
APP_EXPORT void CopyAlphaChannel(const QImage& source, QImage& target);

// Every alpha byte of a 32-bit image set to 255.
APP_EXPORT void SetAlphaOpaque(QImage& image);

// A view of a QImage's pixels (Format_ARGB32, rows without gaps); the image must outlive it.
APP_EXPORT std::shared_ptr<hvn::image::HXImage8> ImageView8(QImage& image);

} // namespace lumo::app
