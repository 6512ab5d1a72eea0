#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <cstdint>

namespace lumo::app::testing {

// A JPEG of the image with an Exif block whose IFD0 holds only the Orientation tag, spliced in
// right after the start-of-image marker.
inline QByteArray JpegWithOrientation(const QImage& image, int orientation)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);

    QByteArray tiff("II*\0", 4);
    const char ifdOffset[4] = {8, 0, 0, 0};
    tiff.append(ifdOffset, 4);
    const unsigned char entries[] = {
        1,    0,                                         // one entry
        0x12, 0x01, 3, 0, 1, 0, 0, 0,                    // tag 274, SHORT, one value
        static_cast<unsigned char>(orientation), 0, 0, 0, // the value, padded
        0,    0,    0, 0,                                // no next IFD
    };
    tiff.append(reinterpret_cast<const char*>(entries), sizeof entries);
    QByteArray payload("Exif\0\0", 6);
    payload.append(tiff);
    const int length = payload.size() + 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(0xE1));
    segment.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    segment.append(payload);
    jpeg.insert(2, segment);
    return jpeg;
}

// A JPEG of the image saved baseline or progressive.
inline QByteArray Jpeg(const QImage& image, bool progressive = false)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return jpeg;
}

// The JPEG with the size its frame header states changed: the pixels do not follow. Empty when no
// frame header is found.
inline QByteArray JpegClaimingSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype at = 2; at + 9 < jpeg.size();) {
        if (uchar(jpeg[at]) != 0xFF)
            return QByteArray();
        const uchar marker = uchar(jpeg[at + 1]);
        const int length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            // Precision, then height and width.
            jpeg[at + 5] = char(height >> 8);
            jpeg[at + 6] = char(height & 0xFF);
            jpeg[at + 7] = char(width >> 8);
            jpeg[at + 8] = char(width & 0xFF);
            return jpeg;
        }
        at += 2 + length;
    }
    return QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Left half one colour, right half another: a turn shows where the left edge went.
inline QImage TwoHalves(int width, int height, QRgb left, QRgb right)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? left : right);
    return image;
}

} // namespace lumo::app::testing
