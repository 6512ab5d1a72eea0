#include "PhotoReading.h"

#include "Exif.h"
#include "RenderProcessorImpl.h"

#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

namespace lumo::app {

namespace {

// Pixels as stored: the layer turns the photo by its EXIF orientation itself.
void SetUp(QImageReader& reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
}

} // namespace

void AllowPhotoAllocations()
{
    const int limit = QImageReader::allocationLimit();
    if (limit != 0 && limit < kPhotoAllocationLimitMegabytes)
        QImageReader::setAllocationLimit(kPhotoAllocationLimitMegabytes);
}

QImage ReadPhoto(const QString& path)
{
    AllowPhotoAllocations();
    QImageReader reader(path);
    SetUp(reader);
    return reader.read();
}

QFuture<QImage> ReadPhotoInBackground(const QString& path)
{
    // Raised here, on the caller's thread, rather than while other threads may be reading.
    AllowPhotoAllocations();
    return QtConcurrent::run([path] { return ReadPhoto(path); });
}

PhotoPreview ReadPhotoPreview(const QString& path)
{
    AllowPhotoAllocations();
    const EXIF::Orientation orientation = EXIF::CameraOrientation(path);
    const bool turned = orientation == EXIF::OrientationRightTop || orientation == EXIF::OrientationLeftBottom;
    // The preview source's size, as stored in the file.
    const auto previewSize = [turned](const QSize& stored) {
        const QSize upright = PreviewSourceSize(turned ? stored.transposed() : stored);
        return turned ? upright.transposed() : upright;
    };
    QImageReader reader(path);
    SetUp(reader);
    const QSize stored = reader.size();
    if (stored.isEmpty()) {
        // No size in the header: the whole photo is read and made small.
        const QImage photo = reader.read();
        if (photo.isNull())
            return {};
        return {photo.scaled(previewSize(photo.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), photo.size()};
    }
    reader.setScaledSize(previewSize(stored));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return {std::move(image), stored};
}

bool HasQuickPreview(QImageReader& reader)
{
    if (reader.format() != "jpeg")
        return false;
    const QSize stored = reader.size();
    const QSize preview = PreviewSourceSize(stored);
    const qint64 pixels = static_cast<qint64>(stored.width()) * stored.height();
    return !preview.isEmpty() && pixels >= kQuickPreviewMinimumPixels &&
           4 * static_cast<qint64>(preview.width()) * preview.height() <= pixels;
}

} // namespace lumo::app
