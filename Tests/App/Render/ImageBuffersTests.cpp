#include "ImageBuffers.h"
#include "RenderProcessor.h"
#include "Resampling.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using hvn::image::HXImage8;
using hvn::image::HXPixelChannelOrderBGRA;
using hvn::image::HXPixelChannelOrderRGBA;

namespace lumo::app {
namespace {

// Every byte distinct from its neighbours, so a misplaced row or column shows.
void FillPattern(HXImage8& image, int seed)
{
    for (std::size_t i = 0; i < image.BufferByteSize(); ++i)
        image.Buffer()[i] = static_cast<std::uint8_t>(i * 7 + seed);
}

std::uint8_t Byte(const HXImage8& image, int x, int y, int channel)
{
    return image.Buffer()[(static_cast<std::size_t>(y) * image.Width() + x) * 4 + channel];
}

TEST(CopyImage8, CopiesTheTopLeftOverlapRowByRow)
{
    const struct {
        QSize source;
        QSize target;
        bool clear;
    } cases[] = {
        {QSize(100, 50), QSize(60, 80), true},
        {QSize(100, 50), QSize(60, 80), false},
        {QSize(6, 5), QSize(9, 3), false}, // an overlap of 6 pixels: not a multiple of 4
        {QSize(7, 7), QSize(7, 7), true},
    };
    for (const auto& c : cases) {
        HXImage8 source(c.source.width(), c.source.height(), HXPixelChannelOrderBGRA, false);
        HXImage8 target(c.target.width(), c.target.height(), HXPixelChannelOrderBGRA, false);
        FillPattern(source, 1);
        FillPattern(target, 2);
        HXImage8 before(c.target.width(), c.target.height(), HXPixelChannelOrderBGRA, false);
        std::memcpy(before.Buffer(), target.Buffer(), target.BufferByteSize());

        CopyImage8(c.clear, source, target);
        for (int y = 0; y < target.Height(); ++y) {
            for (int x = 0; x < target.Width(); ++x) {
                for (int ch = 0; ch < 4; ++ch) {
                    const bool inside = x < source.Width() && y < source.Height();
                    const std::uint8_t expected =
                        inside ? Byte(source, x, y, ch) : (c.clear ? 0 : Byte(before, x, y, ch));
                    ASSERT_EQ(Byte(target, x, y, ch), expected)
                        << c.source.width() << "x" << c.source.height() << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(PlaceInPlace8, GivesTheBytesOfAWholePixelShiftOntoAClearedCanvas)
{
    const struct {
        QSize image;
        QSize canvas;
        QPoint at;
    } cases[] = {
        {QSize(5, 4), QSize(9, 8), QPoint(2, 2)},          // a margin all round, as the export's
        {QSize(5, 4), QSize(5, 4), QPoint(0, 0)},          // in place already
        {QSize(5, 4), QSize(5, 7), QPoint(0, 3)},          // rows the same length, moved down
        {QSize(5, 4), QSize(6, 4), QPoint(1, 0)},          // each row overlapping its own canvas row
        {QSize(5, 4), QSize(8, 6), QPoint(3, 2)},          // against the bottom-right corner
        {QSize(1, 1), QSize(3, 3), QPoint(1, 1)},
        {QSize(0, 0), QSize(3, 2), QPoint(0, 0)},          // nothing to place: all cleared
        {QSize(600, 400), QSize(640, 480), QPoint(20, 40)}, // many bands moved at once
        {QSize(600, 400), QSize(601, 401), QPoint(1, 1)},
    };
    for (const auto& c : cases) {
        const int w = c.image.width();
        const int h = c.image.height();
        std::vector<std::uint8_t> source(static_cast<std::size_t>(w) * h * 4);
        for (std::size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<std::uint8_t>(i * 7 + 1);
        HXImage8 expected(c.canvas.width(), c.canvas.height(), HXPixelChannelOrderBGRA, false);
        FillPattern(expected, 5);
        resampling::DrawThrough({source.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4},
                                {expected.Buffer(), expected.Width(), expected.Height(),
                                 static_cast<std::ptrdiff_t>(expected.Width()) * 4},
                                QTransform::fromTranslate(c.at.x(), c.at.y()), true, resampling::Target::Replace);

        // Whatever the canvas held beyond the image is overwritten.
        HXImage8 placed(c.canvas.width(), c.canvas.height(), HXPixelChannelOrderBGRA, false);
        FillPattern(placed, 3);
        std::memcpy(placed.Buffer(), source.data(), source.size());
        PlaceInPlace8(placed.Buffer(), w, h, c.canvas.width(), c.canvas.height(), c.at.x(), c.at.y());
        EXPECT_EQ(std::memcmp(placed.Buffer(), expected.Buffer(), expected.BufferByteSize()), 0)
            << w << "x" << h << " at " << c.at.x() << "," << c.at.y() << " in " << c.canvas.width() << "x"
            << c.canvas.height();
    }
}

TEST(CopyImage8, IgnoresASourceInAnotherPixelOrder)
{
    HXImage8 source(4, 4, HXPixelChannelOrderRGBA, false);
    HXImage8 target(4, 4, HXPixelChannelOrderBGRA, false);
    FillPattern(source, 1);
    FillPattern(target, 2);
    CopyImage8(true, source, target);
    EXPECT_EQ(target.Buffer()[5], static_cast<std::uint8_t>(5 * 7 + 2));
}

TEST(CopyWholeImage8, CopiesOnlyBetweenImagesOfTheSameFormat)
{
    const struct {
        int width;
        int height;
        hvn::image::HXPixelChannelOrder order;
        int result;
    } cases[] = {
        {8, 4, HXPixelChannelOrderBGRA, ImageBufferOk},
        {8, 5, HXPixelChannelOrderBGRA, ImageBufferFormatMismatch},
        {4, 8, HXPixelChannelOrderBGRA, ImageBufferFormatMismatch},
        {8, 4, HXPixelChannelOrderRGBA, ImageBufferFormatMismatch},
    };
    for (const auto& c : cases) {
        HXImage8 source(8, 4, HXPixelChannelOrderBGRA, false);
        HXImage8 target(c.width, c.height, c.order, false);
        FillPattern(source, 1);
        FillPattern(target, 2);
        EXPECT_EQ(SameImageFormat(source, target), c.result == ImageBufferOk);
        EXPECT_EQ(CopyWholeImage8(target, source), c.result);
        const int seed = c.result == ImageBufferOk ? 1 : 2;
        EXPECT_EQ(target.Buffer()[9], static_cast<std::uint8_t>(9 * 7 + seed));
    }
}

TEST(FillImage8, StoresTheColourBlueFirst)
{
    for (const QSize size : {QSize(1, 1), QSize(5, 3), QSize(17, 9)}) {
        HXImage8 image(size.width(), size.height(), HXPixelChannelOrderBGRA, false);
        ASSERT_EQ(FillImage8(image, PixelColor8{255, 0, 0, 255}), ImageBufferOk);
        for (std::size_t i = 0; i < image.BufferByteSize(); i += 4) {
            ASSERT_EQ(image.Buffer()[i], 0x00);
            ASSERT_EQ(image.Buffer()[i + 1], 0x00);
            ASSERT_EQ(image.Buffer()[i + 2], 0xFF);
            ASSERT_EQ(image.Buffer()[i + 3], 0xFF);
        }
    }
    HXImage8 other(2, 2, HXPixelChannelOrderRGBA, true);
    EXPECT_EQ(FillImage8(other, PixelColor8{1, 2, 3, 4}), ImageBufferNot8Bit);
    EXPECT_EQ(other.Buffer()[0], 0);
}

TEST(AlphaChannel, CopyAndForceOpaqueTouchOnlyAlpha)
{
    QImage source(5, 4, QImage::Format_ARGB32);
    QImage target(3, 3, QImage::Format_ARGB32);
    source.fill(qRgba(10, 20, 30, 40));
    target.fill(qRgba(200, 100, 50, 255));
    CopyAlphaChannel(source, target);
    EXPECT_EQ(target.pixel(2, 2), qRgba(200, 100, 50, 40));
    SetAlphaOpaque(source);
    EXPECT_EQ(source.pixel(4, 3), qRgba(10, 20, 30, 255));
}

TEST(PipelineCopy8, IsOpaqueOnlyWhenEveryAlphaIs)
{
    // Ten rows, or ten rows of tiles once turned, in four bands on one thread: the rows do not
    // divide evenly, and a transparent pixel in any band must count.
    for (const int turns : {0, 1, -1})
        for (const int threads : {1, 3})
            for (const QPoint at : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 9), QPoint(639, 9)}) {
                SCOPED_TRACE(::testing::Message() << "turns " << turns << ", threads " << threads << ", at "
                                                << at.x() << "," << at.y());
                QImage photo(640, 10, QImage::Format_ARGB32);
                photo.fill(qRgba(10, 200, 30, 255));
                photo.setPixel(at, qRgba(10, 200, 30, 0));
                bool opaque = true;
                ASSERT_TRUE(PipelineCopy8(photo, turns, HXPixelChannelOrderBGRA, threads, &opaque));
                EXPECT_FALSE(opaque);
                photo.setPixel(at, qRgba(10, 200, 30, 255));
                ASSERT_TRUE(PipelineCopy8(photo, turns, HXPixelChannelOrderBGRA, threads, &opaque));
                EXPECT_TRUE(opaque);
            }
}

TEST(CpuFeatures, Sse2IsPartOfX86_64)
{
    CpuFeatures features;
    DetectCpuFeatures(features);
#if defined(__x86_64__)
    EXPECT_TRUE(features.mmx && features.sse && features.sse2);
#endif
}

TEST(CompositeOntoWhite, TransparentBecomesWhiteAndOpaqueStays)
{
    LMerr result = LMerrSuccess;
    RenderProcessor processor(nullptr, HXPixelChannelOrderBGRA, QRect(0, 0, 4, 4), result);
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(200, 10, 10, 255));
    image.setPixel(2, 0, qRgba(0, 0, 0, 128));
    processor.CompositeOntoWhite(image);
    ASSERT_EQ(image.format(), QImage::Format_ARGB32);
    EXPECT_EQ(image.pixel(0, 0), qRgba(255, 255, 255, 255));
    EXPECT_EQ(image.pixel(1, 0), qRgba(200, 10, 10, 255));
    EXPECT_NEAR(qRed(image.pixel(2, 0)), 127, 2);
    EXPECT_EQ(qAlpha(image.pixel(2, 0)), 255);
}

} // namespace
} // namespace lumo::app
