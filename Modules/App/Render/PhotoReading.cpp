#include "PhotoReading.h"

#include "Exif.h"
#include "RenderProcessorImpl.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

#include <cstring>

namespace lumo::app {

namespace {

// Pixels as stored: the layer turns the photo by its EXIF orientation itself.
void SetUp(QImageReader& reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
}

// Walks a JPEG's segments to its end-of-image marker; false when the data ends first. The
// entropy-coded data after a start of scan runs to the first marker that is neither a stuffed
// 0xFF nor a restart marker.
bool JpegReachesItsEnd(const uchar* data, qint64 size)
{
    constexpr uchar kMarker = 0xFF;
    constexpr uchar kEndOfImage = 0xD9;
    constexpr uchar kStartOfScan = 0xDA;
    const auto isRestart = [](uchar code) { return code >= 0xD0 && code <= 0xD7; };
    const auto nextMarker = [&](qint64 from) -> qint64 {
        const void* found = from < size ? std::memchr(data + from, kMarker, static_cast<std::size_t>(size - from)) : nullptr;
        return found != nullptr ? static_cast<const uchar*>(found) - data : size;
    };
    qint64 at = 2; // after the start-of-image marker
    while (true) {
        // Bytes between segments are passed over, as the decoder does.
        at = nextMarker(at);
        while (at < size && data[at] == kMarker)
            ++at;
        if (at >= size)
            return false;
        const uchar code = data[at++];
        if (code == kEndOfImage)
            return true;
        // Markers without a length.
        if (code == 0x00 || code == 0x01 || code == 0xD8 || isRestart(code))
            continue;
        if (size - at < 2)
            return false;
        const qint64 length = (qint64(data[at]) << 8) | data[at + 1];
        if (length < 2 || size - at < length)
            return false;
        at += length;
        if (code != kStartOfScan)
            continue;
        while (true) {
            at = nextMarker(at);
            if (size - at < 2)
                return false;
            const uchar following = data[at + 1];
            if (following == 0x00 || isRestart(following)) {
                at += 2;
                continue;
            }
            if (following == kMarker) {
                ++at;
                continue;
            }
            break; // the marker after the scan
        }
    }
}

} // namespace

bool IsWholePhotoFile(const QString& path)
{
    // Only a plain file is opened: a fifo would block, a device stream without end.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    QByteArray head = file.peek(3);
    if (head.size() < 3 || uchar(head[0]) != 0xFF || uchar(head[1]) != 0xD8 || uchar(head[2]) != 0xFF)
        return true; // not a JPEG
    if (const uchar* mapped = file.map(0, size))
        return JpegReachesItsEnd(mapped, size);
    const QByteArray bytes = file.readAll();
    return JpegReachesItsEnd(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size());
}

void AllowPhotoAllocations()
{
    const int limit = QImageReader::allocationLimit();
    if (limit != 0 && limit < kPhotoAllocationLimitMegabytes)
        QImageReader::setAllocationLimit(kPhotoAllocationLimitMegabytes);
}

QImage ReadPhoto(const QString& path)
{
    AllowPhotoAllocations();
    if (!IsWholePhotoFile(path))
        return QImage();
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
    if (!IsWholePhotoFile(path))
        return {};
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
