#include "hvn/common/HXLookupTables.h"
#include "hvn/common/HXSystem.h"
#include "hvn/image/HXImageCompositor.h"
#include "hvn/image/HXImageKeyer.h"
#include "hvn/image/HXImageProcessor.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace hvn::image;
using hvn::common::HXLookupTables;

namespace {

const HXLookupTables& Tables()
{
    static const HXLookupTables tables(true);
    return tables;
}

// A BGRA image whose pixel i holds bytes (i, 2i, 3i, alpha).
void FillRamp(HXImage8& image, std::uint8_t alpha)
{
    std::uint8_t* p = image.Buffer();
    for (int i = 0; i < image.Width() * image.Height(); ++i, p += 4) {
        p[0] = static_cast<std::uint8_t>(i);
        p[1] = static_cast<std::uint8_t>(2 * i);
        p[2] = static_cast<std::uint8_t>(3 * i);
        p[3] = alpha;
    }
}

bool SameBytes(const HXAbstractImage& a, const HXAbstractImage& b)
{
    return a.BufferByteSize() == b.BufferByteSize() && std::memcmp(a.Buffer(), b.Buffer(), a.BufferByteSize()) == 0;
}

} // namespace

TEST(EngineBoundary, ImagesAndConstants)
{
    HXImage8 image(3, 2, HXPixelChannelOrderBGRA, true);
    EXPECT_EQ(image.BufferByteSize(), 24u);
    EXPECT_EQ(image.BufferSize(), image.BufferByteSize());
    EXPECT_EQ(image.BitsPerChannel(), HXBitsPerChannel8);
    for (std::size_t i = 0; i < image.BufferByteSize(); ++i)
        ASSERT_EQ(image.Buffer()[i], 0);

    std::uint8_t bytes[16] = {};
    auto view = CreateImage(bytes, 2, 2, HXPixelChannelOrderBGRA);
    EXPECT_EQ(view->Buffer(), bytes) << "a view does not copy";
    EXPECT_EQ(view->PixelChannelOrder(), HXPixelChannelOrderBGRA);

    EXPECT_EQ(DownsampleValue(HXDownsampleFactor0), 1.0);
    EXPECT_EQ(DownsampleValue(HXDownsampleFactor1), 0.75);
    EXPECT_EQ(DownsampleValue(HXDownsampleFactor2), 0.5);
    EXPECT_EQ(DownsampleValue(HXDownsampleFactor3), 0.25);
    EXPECT_GE(hvn::common::HXSystem::GetCPUCoreCount(), 1);

    EXPECT_EQ(Tables().Multiply(255, 128), 128);
    EXPECT_EQ(Tables().Multiply(0, 200), 0);
    EXPECT_EQ(Tables().Divide(64, 128), 128);
    EXPECT_EQ(Tables().ToSRGB(Tables().ToLinear(200)), 200);
}

TEST(EngineBoundary, SettersRecordWhatIsQueued)
{
    HXImage8 image(4, 4, HXPixelChannelOrderBGRA, true);
    HXImageProcessor processor(image, image, Tables(), HXDownsampleFactor0);
    processor.SetStackBlur(1, true, true, HXChannelsColorAndAlpha);
    processor.SetOpacity(0.75);
    processor.SetVignette(HXPixel8_RGB(1, 2, 3), 1, 1, 0.4, 1, 1, hvn::maths::HXRect(0, 0, 4, 4));
    ASSERT_EQ(processor.RenderQueueCount(), 3);
    EXPECT_EQ(HXOperationToString(processor.Queue()[0]), "SetStackBlur(1, 1, 1, 5)");
    EXPECT_EQ(HXOperationToString(processor.Queue()[1]), "SetOpacity(0.75)");
    EXPECT_EQ(processor.Queue()[2].args.size(), 12u);

    HXImageKeyer keyer(image, image, Tables(), HXDownsampleFactor3);
    keyer.SetAlphaCrop(0.1, 0.4, 0.2, 0.3);
    EXPECT_EQ(HXOperationToString(keyer.Queue()[0]), "SetAlphaCrop(0.1, 0.4, 0.2, 0.3)");

    HXImageCompositor compositor(image, 1.0, Tables(), HXDownsampleFactor0);
    compositor.AddLayer(image, 0.5, HXBlendModeNormal, HXCompositeTypeOver);
    EXPECT_EQ(compositor.Queue()[0].image, &image);
    compositor.ClearRenderQueue();
    EXPECT_EQ(compositor.RenderQueueCount(), 0);
}

TEST(EngineBoundary, EmptyQueueRendersNothing)
{
    HXImage8 source(5, 3, HXPixelChannelOrderBGRA, false);
    FillRamp(source, 200);
    HXImage8 destination(5, 3, HXPixelChannelOrderBGRA, true);
    HXImageProcessor processor(source, destination, Tables(), HXDownsampleFactor0);
    EXPECT_EQ(processor.Render(), 0);
    EXPECT_EQ(destination.Buffer()[4], 0) << "nothing was copied";
    HXImageCompositor compositor(destination, 1.0, Tables(), HXDownsampleFactor0);
    EXPECT_EQ(compositor.Render(), 0);
}

TEST(EngineBoundary, TrivialOperationsOutOfPlaceAndInPlace)
{
    HXImage8 source(7, 5, HXPixelChannelOrderBGRA, false);
    FillRamp(source, 200);
    HXImage8 outOfPlace(7, 5, HXPixelChannelOrderBGRA, false);
    HXImageProcessor copy(source, outOfPlace, Tables(), HXDownsampleFactor0);
    copy.SetStackBlur(0, true, true, HXChannelsColorAndAlpha);
    ASSERT_EQ(copy.Render(), 0);
    EXPECT_TRUE(SameBytes(source, outOfPlace)) << "a radius-0 blur copies";

    HXImage8 inPlace(7, 5, HXPixelChannelOrderBGRA, false);
    FillRamp(inPlace, 200);
    HXImageProcessor processor(inPlace, inPlace, Tables(), HXDownsampleFactor0);
    processor.SetOpacity(0.5);
    processor.SetSilhouette(HXPixel8_RGB(10, 20, 30));
    ASSERT_EQ(processor.Render(), 0);
    for (int i = 0; i < 35; ++i) {
        const std::uint8_t* p = inPlace.Buffer() + 4 * i;
        ASSERT_EQ(p[0], 30);
        ASSERT_EQ(p[1], 20);
        ASSERT_EQ(p[2], 10);
        ASSERT_EQ(p[3], 100);
    }

    HXImageProcessor matte(inPlace, inPlace, Tables(), HXDownsampleFactor0);
    matte.SetMatteView();
    ASSERT_EQ(matte.Render(), 0);
    EXPECT_EQ(inPlace.Buffer()[0], 100);
    EXPECT_EQ(inPlace.Buffer()[3], 255);
}

TEST(EngineBoundary, FailureSwitchAndBadInput)
{
    HXImage8 image(4, 4, HXPixelChannelOrderBGRA, false);
    FillRamp(image, 255);
    HXImage8 before(4, 4, HXPixelChannelOrderBGRA, false);
    FillRamp(before, 255);
    HXImageProcessor processor(image, image, Tables(), HXDownsampleFactor0);
    processor.SetOpacity(0.0);
    testhooks::FailNextRender(HXResultOutOfMemory);
    EXPECT_EQ(processor.Render(), 8);
    EXPECT_TRUE(SameBytes(image, before)) << "a failed render touches no pixel";
    EXPECT_EQ(processor.Render(), 0) << "the switch applies to one render";

    HXImage8 other(3, 4, HXPixelChannelOrderBGRA, true);
    HXImageProcessor mismatched(image, other, Tables(), HXDownsampleFactor0);
    mismatched.SetOpacity(0.5);
    EXPECT_NE(mismatched.Render(), 0);

    HXImage8 empty(0, 0, HXPixelChannelOrderBGRA, true);
    HXImageProcessor nothing(empty, empty, Tables(), HXDownsampleFactor0);
    nothing.SetOpacity(0.5);
    EXPECT_EQ(nothing.Render(), 0);
}
