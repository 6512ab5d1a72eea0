#pragma once

#include "AppExport.h"

#include <cstdint>

class QImage;
class QIODevice;

namespace lumo::app {

// One row of Format_ARGB32 pixels composited over opaque white, as the normal source-over
// composite gives it (round((a * c + (255 - a) * 255) / 255) a channel, alpha 255). source and
// target may be the same row.
APP_EXPORT void CompositeRowOntoWhite(const std::uint8_t* source, std::uint8_t* target, int count);

// Writes the image composited over white as a baseline JPEG: 4:2:0 chroma, quality 0-100 (below
// 0: 75), the resolution of the image in the JFIF header. Bands of rows are encoded on all
// threads and joined through restart markers; the decoded pixels equal those of a single
// encoder's output. The image is read, never copied (except a format other than ARGB32/RGB32,
// converted first). False when the image is empty, too large for JPEG (65500 pixels a side),
// memory runs out or the device refuses the bytes.
APP_EXPORT bool WriteJpegOntoWhite(const QImage& image, QIODevice& device, int quality);

} // namespace lumo::app
