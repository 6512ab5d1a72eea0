#include "Exif.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>

#include <array>
#include <optional>

namespace lumo::app {

namespace {

constexpr quint16 kOrientationTag = 274;
constexpr quint16 kTypeShort = 3;

// Reads a TIFF structure (a TIFF file, or the block after "Exif\0\0" in a JPEG) through a device,
// every read checked against the structure's size, so a damaged block cannot read past its end.
class TiffReader {
public:
    TiffReader(QIODevice& device, qint64 base, qint64 size) : m_device(device), m_base(base), m_size(size) {}

    // The first value of IFD0's Orientation tag when it is a SHORT; nothing otherwise.
    std::optional<quint16> Orientation()
    {
        char order[2];
        if (!Read(0, order, 2))
            return std::nullopt;
        if (order[0] == 'I' && order[1] == 'I')
            m_littleEndian = true;
        else if (order[0] == 'M' && order[1] == 'M')
            m_littleEndian = false;
        else
            return std::nullopt;
        const auto magic = U16(2);
        const auto ifd = U32(4);
        if (magic != 42u || !ifd)
            return std::nullopt;
        const auto count = U16(*ifd);
        if (!count)
            return std::nullopt;
        for (quint32 i = 0; i < *count; ++i) {
            const qint64 entry = qint64(*ifd) + 2 + 12 * qint64(i);
            const auto tag = U16(entry);
            if (!tag)
                return std::nullopt;
            if (*tag != kOrientationTag)
                continue;
            const auto type = U16(entry + 2);
            const auto values = U32(entry + 4);
            if (type != kTypeShort || !values || *values == 0)
                return std::nullopt;
            return U16(entry + 8);
        }
        return std::nullopt;
    }

private:
    bool Read(qint64 offset, char* out, qint64 length)
    {
        if (offset < 0 || offset > m_size - length)
            return false;
        return m_device.seek(m_base + offset) && m_device.read(out, length) == length;
    }

    std::optional<quint32> Unsigned(qint64 offset, int length)
    {
        unsigned char bytes[4];
        if (!Read(offset, reinterpret_cast<char*>(bytes), length))
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < length; ++i) {
            const int byte = m_littleEndian ? length - 1 - i : i;
            value = (value << 8) | bytes[byte];
        }
        return value;
    }

    std::optional<quint16> U16(qint64 offset)
    {
        const auto value = Unsigned(offset, 2);
        return value ? std::optional<quint16>(quint16(*value)) : std::nullopt;
    }
    std::optional<quint32> U32(qint64 offset) { return Unsigned(offset, 4); }

    QIODevice& m_device;
    qint64 m_base;
    qint64 m_size;
    bool m_littleEndian = true;
};

// Walks the JPEG markers up to the image data and reads the first Exif APP1 segment.
std::optional<quint16> JpegOrientationTag(QFile& file)
{
    const qint64 size = file.size();
    auto byteAt = [&](qint64 offset) -> std::optional<unsigned char> {
        char c;
        if (offset < 0 || offset >= size || !file.seek(offset) || !file.getChar(&c))
            return std::nullopt;
        return static_cast<unsigned char>(c);
    };
    if (byteAt(0) != 0xFF || byteAt(1) != 0xD8)
        return std::nullopt;
    qint64 position = 2;
    while (true) {
        if (byteAt(position) != 0xFF)
            return std::nullopt;
        auto marker = byteAt(position + 1);
        while (marker == 0xFF) { // fill bytes
            ++position;
            marker = byteAt(position + 1);
        }
        if (!marker || *marker == 0xD9 || *marker == 0xDA) // end of image, start of scan
            return std::nullopt;
        position += 2;
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD7)) // markers without a length
            continue;
        const auto high = byteAt(position), low = byteAt(position + 1);
        if (!high || !low)
            return std::nullopt;
        const qint64 length = (qint64(*high) << 8) | *low;
        if (length < 2 || position + length > size)
            return std::nullopt;
        if (*marker == 0xE1 && length >= 8) {
            file.seek(position + 2);
            if (file.read(6) == QByteArray("Exif\0\0", 6)) {
                QByteArray block = file.read(length - 8);
                QBuffer buffer(&block);
                buffer.open(QIODevice::ReadOnly);
                return TiffReader(buffer, 0, block.size()).Orientation();
            }
        }
        position += length;
    }
}

std::optional<quint16> OrientationTag(const QString& path, const QByteArray& format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (format == "jpeg")
        return JpegOrientationTag(file);
    return TiffReader(file, 0, file.size()).Orientation();
}

// Qt's transformation for each orientation value, 1 to 8.
constexpr std::array<QImageIOHandler::Transformations::Int, 8> kTransformations{
    QImageIOHandler::TransformationNone,
    QImageIOHandler::TransformationMirror,
    QImageIOHandler::TransformationRotate180,
    QImageIOHandler::TransformationFlip,
    QImageIOHandler::TransformationFlipAndRotate90,
    QImageIOHandler::TransformationRotate90,
    QImageIOHandler::TransformationMirrorAndRotate90,
    QImageIOHandler::TransformationRotate270,
};

} // namespace

EXIF::Orientation EXIF::CameraOrientation(const QString& path)
{
    // A layer without a file (a new or generated image) has no orientation to read; neither has
    // a fifo or a device, which could block the reader for ever.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return OrientationNone;
    QImageReader reader(path);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "tiff")
        return OrientationNone;
    const QImageIOHandler::Transformations transformation = reader.transformation();
    if (transformation != QImageIOHandler::TransformationNone) {
        for (std::size_t i = 1; i < kTransformations.size(); ++i) {
            if (transformation.toInt() == kTransformations[i])
                return static_cast<Orientation>(i + 1);
        }
        return OrientationNone;
    }
    // Qt reports no transformation both for an upright photo and for one without the tag;
    // only the tag itself tells them apart.
    return OrientationTag(path, format) == 1u ? OrientationTopLeft : OrientationNone;
}

} // namespace lumo::app
