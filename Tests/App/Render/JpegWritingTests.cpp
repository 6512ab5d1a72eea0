// The export's JPEG writer against the two things it replaces: the engine's normal composite over
// white, and Qt's JPEG writer of the composited image. The bands it encodes apart must decode to
// the very pixels of one encoder's file.

#include "ImageBuffers.h"
#include "JpegWriting.h"
#include "RenderProcessor.h"

#include <hvn/common/HXLookupTables.h>
#include <hvn/image/HXImageCompositor.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <cstdint>

namespace lumo::app {
namespace {

// Pixels from a fixed sequence, alpha as given (-1: from the sequence too).
QImage Noise(int width, int height, int alpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            // Smooth enough to look like a photograph to the encoder, with noise on top.
            const int base = (x * 3 + y * 2) & 0xFF;
            row[x] = qRgba(base ^ static_cast<int>(state >> 28), (base + static_cast<int>(state >> 24)) & 0xFF,
                           255 - base, alpha < 0 ? static_cast<int>(state >> 16) & 0xFF : alpha);
        }
    }
    return image;
}

// The engine's normal composite of the image over opaque white.
QImage OntoWhiteByCompositor(QImage image)
{
    QImage white(image.size(), QImage::Format_ARGB32);
    white.fill(0xFFFFFFFFu);
    const auto base = ImageView8(white);
    const auto layer = ImageView8(image);
    const hvn::common::HXLookupTables tables{true};
    hvn::image::HXImageCompositor compositor(*base, 1.0, tables, hvn::image::HXDownsampleFactor0);
    compositor.AddLayer(*layer, 1.0, hvn::image::HXBlendModeNormal, hvn::image::HXCompositeTypeOver);
    compositor.Render();
    return white;
}

QImage Decode(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "jpeg");
    return reader.read();
}

TEST(CompositeOntoWhite, GivesTheEnginesNormalCompositeForEveryAlphaAndColour)
{
    // Every alpha against every channel value.
    QImage image(256, 256, QImage::Format_ARGB32);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            image.setPixel(c, a, qRgba(c, 255 - c, c / 2, a));
    const QImage expected = OntoWhiteByCompositor(image);
    LMerr result = LMerrSuccess;
    RenderProcessor processor(nullptr, hvn::image::HXPixelChannelOrderBGRA, QRect(0, 0, 4, 4), result);
    processor.CompositeOntoWhite(image);
    EXPECT_EQ(image, expected);
}

TEST(JpegWriting, DecodesToQtsEncodingOfTheImageOverWhite)
{
    struct Case {
        int width;
        int height;
        int alpha;
        int dotsPerMetre;
    };
    // One band, bands ending inside an MCU, more bands than restart numbers, odd widths; a
    // resolution in whole inches, one in whole centimetres, none.
    const Case cases[] = {
        {1, 1, 255, 11811}, {300, 200, 255, 11811}, {37, 300, -1, 3937},
        {640, 1030, -1, 2835}, {17, 129, 0, 0}, {1000, 16, 128, 11811},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " alpha " << c.alpha);
        QImage image = Noise(c.width, c.height, c.alpha);
        image.setDotsPerMeterX(c.dotsPerMetre);
        image.setDotsPerMeterY(c.dotsPerMetre);

        QBuffer ours;
        ASSERT_TRUE(ours.open(QIODevice::WriteOnly));
        ASSERT_TRUE(WriteJpegOntoWhite(image, ours, 90));

        QImage white = OntoWhiteByCompositor(image);
        white.setDotsPerMeterX(c.dotsPerMetre);
        white.setDotsPerMeterY(c.dotsPerMetre);
        QBuffer qts;
        ASSERT_TRUE(qts.open(QIODevice::WriteOnly));
        QImageWriter writer(&qts, "jpeg");
        writer.setQuality(90);
        ASSERT_TRUE(writer.write(white));

        const QImage decoded = Decode(ours.data());
        const QImage reference = Decode(qts.data());
        ASSERT_FALSE(decoded.isNull());
        ASSERT_FALSE(reference.isNull());
        EXPECT_EQ(decoded.size(), image.size());
        EXPECT_EQ(decoded.format(), reference.format());
        EXPECT_EQ(decoded, reference);
        EXPECT_EQ(decoded.dotsPerMeterX(), reference.dotsPerMeterX());
        EXPECT_EQ(decoded.dotsPerMeterY(), reference.dotsPerMeterY());
        // Each band's restart (marker, padding, first DC values in full) costs a few bytes, no more.
        EXPECT_LE(ours.data().size(), qts.data().size() + 8 * (c.height / 128 + 1) + 16);
    }
}

TEST(JpegWriting, AnImageItCannotWriteOrADeviceThatRefusesFails)
{
    QBuffer open;
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    EXPECT_FALSE(WriteJpegOntoWhite(QImage(), open, 90));
    EXPECT_FALSE(WriteJpegOntoWhite(QImage(65501, 1, QImage::Format_ARGB32), open, 90));
    EXPECT_TRUE(open.data().isEmpty());
    QBuffer readOnly;
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    EXPECT_FALSE(WriteJpegOntoWhite(Noise(40, 300, 255), readOnly, 90));
}

} // namespace
} // namespace lumo::app
