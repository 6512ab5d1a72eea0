#pragma once

// Reading photographs for the layers: whole, or first as a quick preview straight from the file.

#include "AppExport.h"

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>

class QImageReader;

namespace lumo::app {

// The most Qt may allocate for one image while the library reads a photo. Qt's own limit (128 MB
// in Qt 6.4) refuses a 42-megapixel photo (168 MB decoded) as if the file were damaged.
inline constexpr int kPhotoAllocationLimitMegabytes = 1024;

// Raises Qt's image allocation limit to kPhotoAllocationLimitMegabytes where it is lower; a higher
// limit, or none, stays. Every read below does this itself.
APP_EXPORT void AllowPhotoAllocations();

// False when path names no plain file (missing, a folder, a fifo, a device: none of them is
// opened, so nothing blocks or streams without end), or a JPEG whose data stops before its
// end-of-image marker: its decoder fills the missing part with grey and says so only on standard
// error. Other formats answer true: their decoders refuse a file cut short themselves.
APP_EXPORT bool IsWholePhotoFile(const QString& path);

// The photo decoded whole, its format found from its content, its pixels as stored (the layer
// applies the EXIF orientation). A null image when the file cannot be read or is not whole
// (IsWholePhotoFile).
APP_EXPORT QImage ReadPhoto(const QString& path);
// The same on a worker thread, so that the caller can go on. For a photo opened preview first, it
// is best started once the preview shows: decoded at the same time, the two decodes and the
// preview's first render slow each other down by about half (the preview's decode alone is
// bound by the JPEG's entropy decoding, which no reduced scale skips).
APP_EXPORT QFuture<QImage> ReadPhotoInBackground(const QString& path);

struct PhotoPreview {
    QImage image;   // the photo at the preview size, its pixels as stored (not turned upright)
    QSize fullSize; // the photo's size as stored in the file
};

// The photo decoded straight at the size of the render pipeline's preview source: a JPEG through
// its decoder's own scaling, which skips most of the work. A null image when the file cannot be
// read or is not whole; fullSize is then empty too.
APP_EXPORT PhotoPreview ReadPhotoPreview(const QString& path);

// Photos smaller than this decode whole about as fast as a preview and a whole decode together.
inline constexpr qint64 kQuickPreviewMinimumPixels = 4'000'000;

// True when ReadPhotoPreview spares most of the decoding of the photo the reader is set on: a JPEG
// of at least kQuickPreviewMinimumPixels, which its decoder reduces while decoding, whose preview
// has at most a quarter of its pixels. Any other format is decoded whole either way. Reads the
// header only.
APP_EXPORT bool HasQuickPreview(QImageReader& reader);

} // namespace lumo::app
