#pragma once

#include "AppExport.h"

#include <hvn/image/HXImage.h>

#include <QSize>

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

// The width x height image packed at the start of the buffer moved, in place, to (left, top) of
// a canvasWidth x canvasHeight image over the same buffer, every other pixel of it zeroed: the
// bytes a whole-pixel shift of the image onto a cleared canvas gives, without a second buffer.
// The image must lie inside the canvas (left, top >= 0, left + width <= canvasWidth, top +
// height <= canvasHeight); the buffer holds canvasWidth * canvasHeight * 4 bytes.
APP_EXPORT void PlaceInPlace8(std::uint8_t* bytes, int width, int height, int canvasWidth, int canvasHeight, int left,
                              int top);

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

// A photo copied into a new image (its bytes in Format_ARGB32's layout, labelled with the given
// pixel order), turned by quarterTurns (1: as QImage's
// 90-degree rotation, -1: as its -90-degree one, 0: upright), on the given number of threads.
// The bytes equal QImage's own conversion to Format_ARGB32 followed by its rotation. Only
// Format_RGB32 and Format_ARGB32 are taken; any other format gives an empty pointer. opaque, when
// given, tells whether every alpha byte of the copy is 255. Throws std::bad_alloc.
APP_EXPORT std::shared_ptr<hvn::image::HXImage8> PipelineCopy8(const QImage& image, int quarterTurns,
                                                               hvn::image::HXPixelChannelOrder order, int threads,
                                                               bool* opaque = nullptr);

// An HXImage8 over the image's pixels that keeps the image alive: a decoded photo becomes the cache
// itself instead of being copied once more. The image is detached first, so the result never
// shares pixels with another image. Throws std::bad_alloc when the image has no pixels.
APP_EXPORT std::shared_ptr<hvn::image::HXImage8> AdoptImage8(QImage image, hvn::image::HXPixelChannelOrder order);

// The photo itself as the pipeline image, where it can be: when the caller hands it over (image
// is not shared), it is upright (quarterTurns 0), Format_RGB32 (every decoded JPEG) and the order
// is BGRA. Its alpha bytes are then made 255 in place, as PipelineCopy8 makes them, and the image
// is moved into the result, which keeps its pixels alive. An empty pointer, image untouched,
// otherwise. Spares the copy, whose new memory costs more than the copying itself.
APP_EXPORT std::shared_ptr<hvn::image::HXImage8> AdoptOpaquePhoto8(QImage& image, int quarterTurns,
                                                                   hvn::image::HXPixelChannelOrder order, int threads);

// The nearest-neighbour scale that QImage::transformed(QTransform::fromScale(sx, sy),
// Qt::FastTransformation) gives for an opaque Format_ARGB32 image, byte for byte (Qt paints
// through premultiplied values, which changes pixels that are not opaque: those are not taken), computed straight into
// a new image (in the source's pixel order; pixels are moved whole) on the given number of
// threads. An empty pointer where Qt's result would be empty. Throws std::bad_alloc.
// The size QImage::transformed(QTransform::fromScale(sx, sy), Qt::FastTransformation) gives an
// image of the given size (empty where Qt's result would be).
APP_EXPORT QSize FastScaledSize(const QSize& size, double sx, double sy);

APP_EXPORT std::shared_ptr<hvn::image::HXImage8> ShrinkFast8(const hvn::image::HXImage8& source, double sx,
                                                             double sy, int threads);

} // namespace lumo::app
