#include "EngineTestUtils.h"

#include "hvn/image/HXImageProcessor.h"
#include "hvn/image/HXOperation.h"
#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace hvn::image;
using namespace hvn::image::test;
namespace kernels = hvn::image::kernels;

namespace {

// Resets the engine's thread count however a test ends.
struct ThreadCount {
    explicit ThreadCount(int n) { SetEngineThreadCount(n); }
    ~ThreadCount() { SetEngineThreadCount(0); }
};

kernels::ImageView View(HXAbstractImage& image)
{
    return kernels::ViewOf(image);
}

// A smooth, partly transparent test picture: gradients and a soft disc, so that downsampling
// and blurring commute closely.
std::unique_ptr<HXImage8> SmoothImage(int width, int height)
{
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        const double u = double(x) / width;
        const double v = double(y) / height;
        const double d = std::hypot(u - 0.5, v - 0.5);
        p[0] = static_cast<std::uint8_t>(40 + 180 * u);
        p[1] = static_cast<std::uint8_t>(200 - 150 * v);
        p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin(6 * u + 3 * v));
        p[3] = static_cast<std::uint8_t>(std::clamp(255.0 * (0.4 - d) / 0.15, 0.0, 255.0));
    });
}

// Each 4 x 4 block averaged (colour weighted by alpha): the factor-3 picture of an image.
std::unique_ptr<HXImage8> Quarter(const HXAbstractImage& image)
{
    auto out = std::make_unique<HXImage8>(image.Width() / 4, image.Height() / 4, image.PixelChannelOrder(), true);
    for (int y = 0; y < out->Height(); ++y)
        for (int x = 0; x < out->Width(); ++x) {
            double sum[4] = {};
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) {
                    const std::uint8_t* p = PixelAt(image, 4 * x + i, 4 * y + j);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c] * p[3];
                    sum[3] += p[3];
                }
            std::uint8_t* q = out->Buffer() + (std::size_t(y) * out->Width() + x) * 4;
            for (int c = 0; c < 3; ++c)
                q[c] = sum[3] > 0 ? static_cast<std::uint8_t>(std::lround(sum[c] / sum[3])) : 0;
            q[3] = static_cast<std::uint8_t>(std::lround(sum[3] / 16));
        }
    return out;
}

// The largest difference of colour where both are clearly visible, and of alpha everywhere.
int VisibleDifference(const HXAbstractImage& a, const HXAbstractImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const std::uint8_t* p = PixelAt(a, x, y);
            const std::uint8_t* q = PixelAt(b, x, y);
            worst = std::max(worst, std::abs(p[3] - q[3]));
            if (p[3] >= 64 && q[3] >= 64)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(p[c] - q[c]));
        }
    return worst;
}

double ChannelMean(const HXAbstractImage& image, int channel)
{
    double sum = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            sum += PixelAt(image, x, y)[channel];
    return sum / (double(image.Width()) * image.Height());
}

// Noise inside a constant frame wider than any radius used: with edges clamped the frame
// reflects itself, so a blur must keep every channel's mean.
std::unique_ptr<HXImage8> FramedNoise(int width, int height, int frame)
{
    auto noise = NoiseImage(width, height, 7);
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        const bool inside = x >= frame && y >= frame && x < width - frame && y < height - frame;
        const std::uint8_t* n = PixelAt(*noise, x, y);
        for (int c = 0; c < 4; ++c)
            p[c] = inside ? n[c] : static_cast<std::uint8_t>(90 + 20 * c);
    });
}

// ---- the primitives, run directly -----------------------------------------------------------

struct PrimitiveCase {
    std::string name;
    std::function<int(HXAbstractImage&, int threads)> run;
};

std::vector<PrimitiveCase> PrimitiveCases()
{
    auto stack = [](int radius, bool h, bool v, HXChannelsToProcess channels) {
        return [=](HXAbstractImage& image, int threads) {
            return kernels::StackBlurImage(View(image), radius, h, v, channels, threads);
        };
    };
    auto box = [](int radius, bool h, bool v, int passes) {
        return [=](HXAbstractImage& image, int threads) {
            for (int c = 0; c < 4; ++c)
                if (int r = kernels::BoxBlurPlane(kernels::ChannelPlane(View(image), c), radius, h, v, passes, threads))
                    return r;
            return 0;
        };
    };
    return {
        {"stack5", stack(6, true, true, HXChannelsColorAndAlpha)},
        {"stack4", stack(3, true, true, HXChannelsColor)},
        {"stack3", stack(9, true, true, HXChannelsAlpha)},
        {"stackH", stack(4, true, false, HXChannelsColorAndAlpha)},
        {"stackV", stack(4, false, true, HXChannelsColorAndAlpha)},
        {"stackWide", stack(300, true, true, HXChannelsColorAndAlpha)},
        {"box1", box(5, true, true, 1)},
        {"box2", box(2, true, true, 2)},
        {"box3", box(7, true, true, 3)},
        {"boxV", box(3, false, true, 3)},
    };
}

TEST(BlurPrimitives, ConstantImageStaysConstant)
{
    for (const PrimitiveCase& c : PrimitiveCases()) {
        auto image = SolidImage(37, 23, 10, 128, 250, 200);
        auto expected = Clone(*image);
        ASSERT_EQ(c.run(*image, 3), 0) << c.name;
        EXPECT_TRUE(SameBytes(*image, *expected)) << c.name;
    }
}

TEST(BlurPrimitives, MeanIsKept)
{
    for (const PrimitiveCase& c : PrimitiveCases()) {
        if (c.name == "stackWide" || c.name == "stack4" || c.name == "stack5" || c.name == "stackH" ||
            c.name == "stackV")
            continue; // alpha-weighted colour has no plain mean to keep; alpha is checked below
        auto image = FramedNoise(80, 70, 24);
        const double before[4] = {ChannelMean(*image, 0), ChannelMean(*image, 1), ChannelMean(*image, 2),
                                  ChannelMean(*image, 3)};
        ASSERT_EQ(c.run(*image, 2), 0) << c.name;
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_NEAR(ChannelMean(*image, ch), before[ch], 0.6) << c.name << " channel " << ch;
    }
    // Colour and alpha together: alpha keeps its mean, premultiplied colour its sum.
    auto image = FramedNoise(80, 70, 24);
    auto premultipliedMean = [](const HXAbstractImage& im, int c) {
        double sum = 0;
        for (int y = 0; y < im.Height(); ++y)
            for (int x = 0; x < im.Width(); ++x)
                sum += PixelAt(im, x, y)[c] * PixelAt(im, x, y)[3] / 255.0;
        return sum / (double(im.Width()) * im.Height());
    };
    const double alpha = ChannelMean(*image, 3);
    const double green = premultipliedMean(*image, 1);
    ASSERT_EQ(kernels::StackBlurImage(View(*image), 8, true, true, HXChannelsColorAndAlpha, 4), 0);
    EXPECT_NEAR(ChannelMean(*image, 3), alpha, 0.6);
    EXPECT_NEAR(premultipliedMean(*image, 1), green, 0.6);
}

TEST(BlurPrimitives, TransparentColourNeverBleeds)
{
    // Left half transparent green, right half opaque red.
    for (HXChannelsToProcess channels : {HXChannelsColor, HXChannelsColorAndAlpha}) {
        for (bool vertical : {false, true}) {
            auto image = MakeImage(40, 40, [&](int x, int y, std::uint8_t* p) {
                const bool red = (vertical ? y : x) >= 20;
                p[0] = 0;
                p[1] = red ? 0 : 255;
                p[2] = red ? 255 : 0;
                p[3] = red ? 255 : 0;
            });
            ASSERT_EQ(kernels::StackBlurImage(View(*image), 7, !vertical, vertical, channels, 3), 0);
            for (int i = 0; i < 40; ++i) {
                const std::uint8_t* p = vertical ? PixelAt(*image, 5, i) : PixelAt(*image, i, 5);
                if (p[3] == 0)
                    continue;
                EXPECT_EQ(p[1], 0) << "green at " << i;
                EXPECT_EQ(p[2], 255) << "red at " << i;
            }
            if (channels == HXChannelsColorAndAlpha) {
                const std::uint8_t* edge = vertical ? PixelAt(*image, 5, 19) : PixelAt(*image, 19, 5);
                EXPECT_GT(edge[3], 0) << "alpha itself is blurred";
            } else {
                EXPECT_EQ((vertical ? PixelAt(*image, 5, 19) : PixelAt(*image, 19, 5))[3], 0) << "alpha unchanged";
            }
        }
    }
}

TEST(BlurPrimitives, AlphaOnlyLeavesColourBytes)
{
    auto image = NoiseImage(50, 30, 3);
    auto before = Clone(*image);
    ASSERT_EQ(kernels::StackBlurImage(View(*image), 5, true, true, HXChannelsAlpha, 2), 0);
    bool alphaChanged = false;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(PixelAt(*image, x, y)[c], PixelAt(*before, x, y)[c]);
            alphaChanged |= PixelAt(*image, x, y)[3] != PixelAt(*before, x, y)[3];
        }
    EXPECT_TRUE(alphaChanged);
}

TEST(BlurPrimitives, KnownTriangleAndBoxWeights)
{
    // A single opaque white pixel in black: the stack blur spreads it as weights
    // 1, 2, 3, 2, 1 (radius 2) along each direction; sum 9 a direction, 81 in all.
    auto image = SolidImage(11, 11, 0, 0, 0, 0);
    std::uint8_t* centre = image->Buffer() + (5 * 11 + 5) * 4;
    centre[3] = 255;
    ASSERT_EQ(kernels::StackBlurImage(View(*image), 2, true, true, HXChannelsAlpha, 1), 0);
    const int weight[5] = {1, 2, 3, 2, 1};
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            EXPECT_NEAR(PixelAt(*image, 5 + dx, 5 + dy)[3], 255.0 * weight[dx + 2] * weight[dy + 2] / 81, 1.0);
    EXPECT_EQ(PixelAt(*image, 2, 5)[3], 0);

    // A box of radius 1 over a step 0, 0, 90, 90: each output the mean of three.
    auto step = MakeImage(6, 1, [](int x, int, std::uint8_t* p) { p[3] = x >= 3 ? 90 : 0; });
    ASSERT_EQ(kernels::BoxBlurPlane(kernels::AlphaPlane(View(*step)), 1, true, false, 1, 1), 0);
    const int expected[6] = {0, 0, 30, 60, 90, 90};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(PixelAt(*step, x, 0)[3], expected[x]) << x;
}

TEST(BlurPrimitives, BadArguments)
{
    auto image = SolidImage(4, 4, 1, 2, 3, 4);
    EXPECT_EQ(kernels::BoxBlurPlane(kernels::AlphaPlane(View(*image)), 2, true, true, 0, 1), HXResultBadArgument);
    EXPECT_EQ(kernels::BoxBlurPlane(kernels::AlphaPlane(View(*image)), 2, true, true, 4, 1), HXResultBadArgument);
    EXPECT_EQ(kernels::StackBlurImage(View(*image), 2, true, true, HXChannelsToProcess(6), 1), HXResultBadArgument);
}

// Erosion of a disc of radius 30 by 10 leaves a disc of radius 20; dilation one of 40.
TEST(Morphology, DiscShrinksAndGrowsByTheDistance)
{
    struct Case {
        int distance;
        bool erode;
    };
    for (const Case c : {Case{10, true}, Case{10, false}, Case{3, true}, Case{17, false}, Case{2, true}}) {
        auto image = MakeImage(121, 121, [](int x, int y, std::uint8_t* p) {
            p[3] = std::hypot(x - 60, y - 60) <= 30.0 ? 255 : 0;
        });
        const kernels::PlaneView plane = kernels::AlphaPlane(View(*image));
        ASSERT_EQ(c.erode ? kernels::ErodePlane(plane, c.distance, 3) : kernels::DilatePlane(plane, c.distance, 3), 0);
        const double expected = 30.0 + (c.erode ? -c.distance : c.distance);
        for (int y = 0; y < 121; ++y)
            for (int x = 0; x < 121; ++x) {
                const double r = std::hypot(x - 60, y - 60);
                if (r <= expected - 1.0) {
                    ASSERT_EQ(PixelAt(*image, x, y)[3], 255) << c.distance << " at " << x << "," << y;
                }
                if (r >= expected + 1.0) {
                    ASSERT_EQ(PixelAt(*image, x, y)[3], 0) << c.distance << " at " << x << "," << y;
                }
            }
    }
}

TEST(Morphology, EdgesAreNeutralAndGreyIsKept)
{
    // An opaque image does not erode from its border; grey levels take the window's minimum.
    auto opaque = SolidImage(20, 9, 0, 0, 0, 255);
    ASSERT_EQ(kernels::ErodePlane(kernels::AlphaPlane(View(*opaque)), 4, 2), 0);
    EXPECT_TRUE(SameBytes(*opaque, *SolidImage(20, 9, 0, 0, 0, 255)));

    auto ramp = MakeImage(30, 9, [](int x, int, std::uint8_t* p) { p[3] = static_cast<std::uint8_t>(8 * x); });
    ASSERT_EQ(kernels::ErodePlane(kernels::AlphaPlane(View(*ramp)), 3, 1), 0);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(PixelAt(*ramp, x, 4)[3], 8 * std::max(0, x - 3)) << x;
}

TEST(Primitives, ThreadCountNeverChangesBytes)
{
    std::vector<std::pair<std::string, std::function<int(HXAbstractImage&, int)>>> cases;
    for (const PrimitiveCase& c : PrimitiveCases())
        cases.emplace_back(c.name, c.run);
    cases.emplace_back("erode", [](HXAbstractImage& im, int t) {
        return kernels::ErodePlane(kernels::AlphaPlane(View(im)), 9, t);
    });
    cases.emplace_back("dilate", [](HXAbstractImage& im, int t) {
        return kernels::DilatePlane(kernels::ChannelPlane(View(im), 1), 6, t);
    });
    for (const auto& [name, run] : cases) {
        auto reference = NoiseImage(301, 157, 11);
        ASSERT_EQ(run(*reference, 1), 0) << name;
        for (int threads : {3, 8}) {
            auto image = NoiseImage(301, 157, 11);
            ASSERT_EQ(run(*image, threads), 0) << name;
            EXPECT_TRUE(SameBytes(*image, *reference)) << name << " with " << threads << " threads";
        }
    }
}

// Noise with transparent blocks and opaque stripes: every lane of the sums sees zero, partial and
// full alpha, and whole windows with no opaque weight at all.
std::unique_ptr<HXImage8> PatchyNoise(int width, int height, unsigned seed)
{
    auto noise = NoiseImage(width, height, seed);
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        std::memcpy(p, PixelAt(*noise, x, y), 4);
        if ((x / 23 + y / 11) % 3 == 0)
            p[3] = 0;
        else if ((x / 7) % 5 == 0)
            p[3] = 255;
    });
}

TEST(BlurPrimitives, VectorStackBlurMatchesScalarForm)
{
    struct Case {
        int width, height, radius;
        bool horizontal, vertical;
    };
    // Odd widths leave partial vectors; radii beyond the image clamp everything to the edges.
    const Case cases[] = {
        {1, 1, 3, true, true},     {1, 9, 2, true, true},    {9, 1, 2, true, true},    {3, 2, 1, true, true},
        {5, 7, 40, true, true},    {67, 45, 1, true, true},  {67, 45, 7, true, false}, {67, 45, 7, false, true},
        {131, 29, 12, true, true}, {130, 90, 33, true, true}, {260, 33, 255, true, true}, {37, 300, 100, true, true},
    };
    const HXChannelsToProcess channelChoices[] = {HXChannelsAlpha, HXChannelsColor, HXChannelsColorAndAlpha};
    for (const Case& c : cases)
        for (HXChannelsToProcess channels : channelChoices)
            for (int threads : {1, 3}) {
                auto source = PatchyNoise(c.width, c.height, static_cast<unsigned>(c.width * 31 + c.radius));
                auto reference = Clone(*source);
                auto image = Clone(*source);
                ASSERT_EQ(kernels::StackBlurImageReference(View(*reference), c.radius, c.horizontal, c.vertical,
                                                           channels, 1),
                          0);
                ASSERT_EQ(kernels::StackBlurImage(View(*image), c.radius, c.horizontal, c.vertical, channels, threads),
                          0);
                EXPECT_TRUE(SameBytes(*image, *reference))
                    << c.width << "x" << c.height << " radius " << c.radius << " h " << c.horizontal << " v "
                    << c.vertical << " channels " << channels << " threads " << threads;
            }
}

} // namespace

// ---- the processor's operations, through Render() -------------------------------------------

namespace {

using Queue = std::function<void(HXImageProcessor&)>;

struct OperationCase {
    std::string name;
    Queue neutral; // values that must leave every byte as it was
    Queue active;  // values that change the picture
};

hvn::maths::HXRect WholeRect(int width, int height)
{
    return hvn::maths::HXRect(0, 0, width, height);
}

std::vector<OperationCase> OperationCases(int width, int height)
{
    const auto rect = WholeRect(width, height);
    return {
        {"Brightness", [](auto& p) { p.SetBrightness(0, HXChannelsColorAndAlpha); },
         [](auto& p) { p.SetBrightness(0.15, HXChannelsColorAndAlpha); }},
        {"Contrast", [](auto& p) { p.SetContrast(1, HXChannelsColorAndAlpha); },
         [](auto& p) { p.SetContrast(1.4, HXChannelsColor); }},
        {"Saturation", [](auto& p) { p.SetSaturation(1); }, [](auto& p) { p.SetSaturation(1.6); }},
        {"Levels", [](auto& p) { p.SetSuperContrast(0, 1, HXChannelsColorAndAlpha); },
         [](auto& p) { p.SetSuperContrast(0.1, 0.85, HXChannelsColor); }},
        {"Temperature", [](auto& p) { p.SetColorTemperature(5000); }, [](auto& p) { p.SetColorTemperature(2000); }},
        {"Balance", [](auto& p) { p.SetColorBalance(1, 1, 1); }, [](auto& p) { p.SetColorBalance(1.3, 1, 0.7); }},
        {"HueColorize", [](auto& p) { p.SetHueColorize(200, 0); }, [](auto& p) { p.SetHueColorize(200, 0.6); }},
        {"HueShift", [](auto& p) { p.SetHueShift(90, 0); }, [](auto& p) { p.SetHueShift(90, 0.8); }},
        {"Tint", [](auto& p) { p.SetTint(HXTintSepia, 0); }, [](auto& p) { p.SetTint(HXTintSepia, 0.7); }},
        {"TintBW", [](auto& p) { p.SetTint(HXTintBlackAndWhite, 0); },
         [](auto& p) { p.SetTint(HXTintBlackAndWhite, 1); }},
        {"StackBlur", [](auto& p) { p.SetStackBlur(0, true, true, HXChannelsColorAndAlpha); },
         [](auto& p) { p.SetStackBlur(12, true, true, HXChannelsColorAndAlpha); }},
        {"Mirror", [](auto& p) { p.SetMirror(false, false); }, [](auto& p) { p.SetMirror(true, true); }},
        {"Sharpen", [](auto& p) { p.SetSharpen(40, 0, 0, 1); }, [](auto& p) { p.SetSharpen(8, 0.8, 0, 1); }},
        {"Vignette", [=](auto& p) { p.SetVignette(HXPixel8_RGB(0, 0, 0), 1, 1, 0.4, 1, 0, rect); },
         [=](auto& p) { p.SetVignette(HXPixel8_RGB(20, 0, 60), 1, 0.8, 0.4, 0.8, 0.8, rect); }},
    };
}

// Renders source into a new destination (or in place) with the queue and the factor.
std::unique_ptr<HXImage8> Rendered(const HXAbstractImage& source, const Queue& queue,
                                   HXDownsampleFactor factor = HXDownsampleFactor0, bool inPlace = false)
{
    auto input = Clone(source);
    auto output = inPlace ? nullptr : std::make_unique<HXImage8>(source.Width(), source.Height(),
                                                                 source.PixelChannelOrder(), true);
    HXAbstractImage& destination = inPlace ? static_cast<HXAbstractImage&>(*input) : *output;
    HXImageProcessor processor(*input, destination, Tables(), factor);
    queue(processor);
    EXPECT_EQ(processor.Render(), 0);
    return inPlace ? std::move(input) : std::move(output);
}

// One pixel, B G R A, through one queue.
std::array<int, 4> RenderPixel(std::array<int, 4> bgra, const Queue& queue)
{
    auto image = SolidImage(3, 3, std::uint8_t(bgra[0]), std::uint8_t(bgra[1]), std::uint8_t(bgra[2]),
                            std::uint8_t(bgra[3]));
    auto out = Rendered(*image, queue);
    const std::uint8_t* p = PixelAt(*out, 1, 1);
    return {p[0], p[1], p[2], p[3]};
}

int Luma(const std::array<int, 4>& bgra)
{
    return static_cast<int>(std::lround(0.2126 * bgra[2] + 0.7152 * bgra[1] + 0.0722 * bgra[0]));
}

} // namespace

TEST(ProcessorOperations, NeutralValuesKeepEveryByte)
{
    auto source = NoiseImage(64, 48, 5);
    for (const OperationCase& c : OperationCases(64, 48)) {
        for (bool inPlace : {false, true}) {
            auto out = Rendered(*source, c.neutral, HXDownsampleFactor0, inPlace);
            EXPECT_TRUE(SameBytes(*out, *source)) << c.name << (inPlace ? " in place" : "");
        }
        // The active values do change something, and in place gives the bytes out of place gives.
        auto out = Rendered(*source, c.active);
        EXPECT_FALSE(SameBytes(*out, *source)) << c.name;
        EXPECT_TRUE(SameBytes(*Rendered(*source, c.active, HXDownsampleFactor0, true), *out)) << c.name;
    }
}

TEST(ProcessorOperations, ThreadCountNeverChangesBytes)
{
    auto source = NoiseImage(203, 117, 9);
    for (const OperationCase& c : OperationCases(203, 117)) {
        std::unique_ptr<HXImage8> reference;
        {
            ThreadCount one(1);
            reference = Rendered(*source, c.active);
        }
        for (int threads : {3, 8}) {
            ThreadCount many(threads);
            EXPECT_TRUE(SameBytes(*Rendered(*source, c.active), *reference)) << c.name << " " << threads;
        }
    }
}

// A factor-3 preview of an operation equals its full render downsampled, within a few levels.
TEST(ProcessorOperations, PreviewMatchesFullRender)
{
    auto full = SmoothImage(256, 256);
    auto quarter = Quarter(*full);
    for (const OperationCase& c : OperationCases(256, 256)) {
        const auto previewCases = OperationCases(64, 64);
        const auto preview = std::find_if(previewCases.begin(), previewCases.end(),
                                          [&](const OperationCase& p) { return p.name == c.name; });
        auto expected = Quarter(*Rendered(*full, c.active, HXDownsampleFactor0));
        auto actual = Rendered(*quarter, preview->active, HXDownsampleFactor3);
        // Sharpening works on detail that the preview no longer has; the rest agree closely.
        const int tolerance = c.name == "Sharpen" ? 12 : 4;
        EXPECT_LE(VisibleDifference(*actual, *expected), tolerance) << c.name;
    }
}

TEST(ProcessorOperations, ToneTablesFollowTheirFormulas)
{
    struct Case {
        std::string name;
        Queue queue;
        std::array<int, 4> in;
        std::array<int, 4> out;
    };
    const std::vector<Case> cases = {
        {"brightness colour", [](auto& p) { p.SetBrightness(0.2, HXChannelsColor); }, {10, 100, 240, 77},
         {61, 151, 255, 77}},
        {"brightness alpha", [](auto& p) { p.SetBrightness(-0.2, HXChannelsAlpha); }, {10, 100, 240, 77},
         {10, 100, 240, 26}},
        {"brightness both", [](auto& p) { p.SetBrightness(-1, HXChannelsColorAndAlpha); }, {10, 100, 240, 77},
         {0, 0, 0, 0}},
        // (v - 127.5) * c + 127.5, halves away from zero
        {"contrast", [](auto& p) { p.SetContrast(2, HXChannelsColor); }, {100, 127, 200, 90}, {73, 127, 255, 90}},
        {"contrast flat", [](auto& p) { p.SetContrast(0, HXChannelsColorAndAlpha); }, {0, 30, 255, 10},
         {128, 128, 128, 128}},
        // (v - black) / (white - black)
        {"levels", [](auto& p) { p.SetSuperContrast(0.2, 0.8, HXChannelsColor); }, {40, 128, 210, 128},
         {0, 128, 255, 128}},
        {"levels alpha", [](auto& p) { p.SetSuperContrast(0.5, 1, HXChannelsAlpha); }, {40, 128, 210, 192},
         {40, 128, 210, 129}},
        // white at or below black: a threshold at black, never a division by zero
        {"levels threshold", [](auto& p) { p.SetSuperContrast(0.5, 0.5, HXChannelsColor); }, {127, 128, 200, 5},
         {0, 255, 255, 5}},
        {"levels inverted", [](auto& p) { p.SetSuperContrast(0.6, 0.2, HXChannelsColor); }, {150, 160, 255, 5},
         {0, 255, 255, 5}},
        // linear-light gains: 128 is 0.2158 linear; x2 -> 0.4316 -> 176, x0.5 -> 0.1079 -> 92
        {"balance", [](auto& p) { p.SetColorBalance(2, 1, 0.5); }, {128, 128, 128, 255}, {92, 128, 176, 255}},
        // W3C sepia of white: rows sum to 1.351, 1.203, 0.937
        {"sepia", [](auto& p) { p.SetTint(HXTintSepia, 1); }, {255, 255, 255, 40}, {239, 255, 255, 40}},
        {"black and white", [](auto& p) { p.SetTint(HXTintBlackAndWhite, 1); }, {0, 0, 255, 200}, {54, 54, 54, 200}},
        {"grey saturation", [](auto& p) { p.SetSaturation(0); }, {255, 0, 0, 200}, {18, 18, 18, 200}},
    };
    for (const Case& c : cases) {
        const auto out = RenderPixel(c.in, c.queue);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(out[i], c.out[i], 1) << c.name << " byte " << i;
    }
}

TEST(ProcessorOperations, ColourMatricesKeepGreyAndLuma)
{
    const std::array<int, 4> grey{128, 128, 128, 255};
    // Saturation, hue shift and sepia strength 0 keep grey grey; hue operations keep luma.
    for (const Queue& q : std::vector<Queue>{[](auto& p) { p.SetSaturation(2); },
                                             [](auto& p) { p.SetHueShift(77, 1); }}) {
        const auto out = RenderPixel(grey, q);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(out[i], 128, 1);
    }
    const std::array<int, 4> orange{70, 120, 170, 255};
    for (double hue : {45.0, 180.0, 300.0}) {
        const auto shifted = RenderPixel(orange, [&](auto& p) { p.SetHueShift(hue, 1); });
        EXPECT_NEAR(Luma(shifted), Luma(orange), 3) << hue;
    }
    const auto round = RenderPixel(orange, [](auto& p) { p.SetHueShift(360, 1); });
    EXPECT_EQ(round, orange);
    // Red turned by 120 degrees is green.
    const auto green = RenderPixel({0, 0, 255, 255}, [](auto& p) { p.SetHueShift(120, 1); });
    EXPECT_GT(green[1], green[2] + 50);
    EXPECT_GT(green[1], green[0] + 50);

    // Colorize: a grey takes the hue and keeps its luma.
    const auto blue = RenderPixel(grey, [](auto& p) { p.SetHueColorize(240, 1); });
    EXPECT_GT(blue[0], blue[1] + 40);
    EXPECT_NEAR(blue[1], blue[2], 1);
    EXPECT_NEAR(Luma(blue), 128, 2);
    const auto half = RenderPixel(grey, [](auto& p) { p.SetHueColorize(240, 0.5); });
    EXPECT_NEAR(half[0], (blue[0] + 128) / 2.0, 1.5);
}

TEST(ProcessorOperations, TemperatureFollowsTheBlackBody)
{
    const std::array<int, 4> grey{160, 160, 160, 255};
    const auto warm = RenderPixel(grey, [](auto& p) { p.SetColorTemperature(3000 - 1500); });
    const auto cool = RenderPixel(grey, [](auto& p) { p.SetColorTemperature(12000 - 1500); });
    EXPECT_GT(warm[2], warm[1]);
    EXPECT_GT(warm[1], warm[0]);
    EXPECT_LT(cool[2], cool[1]);
    EXPECT_LT(cool[1], cool[0]);
    EXPECT_NEAR(Luma(warm), 160, 4);
    EXPECT_NEAR(Luma(cool), 160, 4);
    // Close to 6500 K the change is small, and it grows with the distance.
    const auto near = RenderPixel(grey, [](auto& p) { p.SetColorTemperature(6400 - 1500); });
    EXPECT_LE(std::abs(near[2] - near[0]), 3);
    const auto warmer = RenderPixel(grey, [](auto& p) { p.SetColorTemperature(2000 - 1500); });
    EXPECT_GT(warmer[2] - warmer[0], warm[2] - warm[0]);
}

TEST(ProcessorOperations, MirrorFlips)
{
    auto source = NoiseImage(7, 5, 2);
    for (auto [h, v] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        auto out = Rendered(*source, [&](auto& p) { p.SetMirror(h, v); });
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(std::memcmp(PixelAt(*out, x, y), PixelAt(*source, h ? 6 - x : x, v ? 4 - y : y), 4), 0);
    }
}

TEST(ProcessorOperations, SharpenRaisesEdgesOnly)
{
    // A vertical step from 80 to 160: flat far sides stay, the edge overshoots on both sides.
    auto step = MakeImage(60, 8, [](int x, int, std::uint8_t* p) {
        p[0] = p[1] = p[2] = x < 30 ? 80 : 160;
        p[3] = 200;
    });
    auto out = Rendered(*step, [](auto& p) { p.SetSharpen(4, 1, 0, 1); });
    EXPECT_EQ(PixelAt(*out, 5, 4)[1], 80);
    EXPECT_EQ(PixelAt(*out, 55, 4)[1], 160);
    EXPECT_LT(PixelAt(*out, 29, 4)[1], 80);
    EXPECT_GT(PixelAt(*out, 30, 4)[1], 160);
    EXPECT_EQ(PixelAt(*out, 30, 4)[3], 200) << "alpha kept";
    // A threshold above the edge's difference leaves it alone.
    auto kept = Rendered(*step, [](auto& p) { p.SetSharpen(4, 1, 0.5, 1); });
    EXPECT_TRUE(SameBytes(*kept, *step));
}

// The unsharp mask byte by byte from its definition, over widths that leave partial vectors and
// amounts and thresholds at their limits.
TEST(ProcessorOperations, SharpenFollowsItsDefinition)
{
    struct Case {
        int width, blur;
        double sharpness, threshold;
    };
    const Case cases[] = {{1, 2, 1.0, 0.0}, {5, 3, 0.4, 0.0}, {37, 4, 2.5, 0.1}, {64, 6, 64.0, 0.0}, {71, 5, 200.0, 1.0},
                          {33, 1, 0.01, 0.02}};
    for (const Case& c : cases) {
        auto source = PatchyNoise(c.width, 13, static_cast<unsigned>(c.width));
        auto blurred = Clone(*source);
        ASSERT_EQ(kernels::StackBlurImageReference(View(*blurred), c.blur, true, true, HXChannelsColor, 1), 0);
        const int amount = static_cast<int>(std::lround(std::min(c.sharpness, 64.0) * 256.0));
        const int threshold = static_cast<int>(std::lround(c.threshold * 255.0));
        auto expected = Clone(*source);
        for (std::size_t i = 0; i < expected->BufferByteSize(); ++i) {
            const int value = expected->Buffer()[i];
            const int difference = value - blurred->Buffer()[i];
            if (i % 4 != 3 && std::abs(difference) >= threshold)
                expected->Buffer()[i] = static_cast<std::uint8_t>(std::clamp(value + ((difference * amount + 128) >> 8), 0, 255));
        }
        auto out = Rendered(*source, [&](auto& p) { p.SetSharpen(c.blur, c.sharpness, c.threshold, 1); });
        EXPECT_TRUE(SameBytes(*out, *expected)) << "width " << c.width << " sharpness " << c.sharpness;
    }
}

// A run of colour operations shares one pass; the bytes are those of each kernel run on its own,
// and a refused operation in the middle leaves the ones before it applied.
TEST(ProcessorOperations, ColourRunsMatchOneByOne)
{
    const Queue colourRun = [](HXImageProcessor& p) {
        p.SetBrightness(0.08, HXChannelsColor);
        p.SetContrast(1.15, HXChannelsColorAndAlpha);
        p.SetSaturation(1.2);
        p.SetSuperContrast(0.04, 0.96, HXChannelsColor);
        p.SetColorTemperature(4000);
        p.SetColorBalance(1.05, 1.0, 0.95);
        p.SetHueColorize(30, 0.2);
        p.SetHueShift(50, 0.7);
        p.SetTint(HXTintSepia, 0.3);
        p.SetOpacity(0.8);
        p.SetStackBlur(2, true, true, HXChannelsColorAndAlpha);
        p.SetContrast(0.9, HXChannelsAlpha);
    };
    auto source = PatchyNoise(45, 17, 5);
    for (int order : {HXPixelChannelOrderBGRA, HXPixelChannelOrderRGBA}) {
        auto input = std::make_unique<HXImage8>(45, 17, static_cast<HXPixelChannelOrder>(order), false);
        std::memcpy(input->Buffer(), source->Buffer(), source->BufferByteSize());
        auto expected = Clone(*input);
        HXImage8 scratch(45, 17, static_cast<HXPixelChannelOrder>(order), true);
        HXImageProcessor recorder(scratch, scratch, Tables(), HXDownsampleFactor0);
        colourRun(recorder);
        const kernels::KernelContext ctx{Tables(), HXDownsampleFactor0, 1.0, 2, 1.0};
        for (const HXOperation& op : recorder.Queue())
            ASSERT_EQ(kernels::KernelFor(op.kind)(op, View(*expected), ctx), 0);
        auto out = Rendered(*input, colourRun);
        EXPECT_TRUE(SameBytes(*out, *expected)) << "order " << order;

        auto refused = Clone(*input);
        HXImageProcessor processor(*input, *refused, Tables(), HXDownsampleFactor0);
        processor.SetBrightness(0.2, HXChannelsColor);
        processor.SetSaturation(std::nan(""));
        processor.SetContrast(1.5, HXChannelsColor);
        EXPECT_EQ(processor.Render(), HXResultBadArgument);
        auto brightened = Rendered(*input, [](HXImageProcessor& p) { p.SetBrightness(0.2, HXChannelsColor); });
        EXPECT_TRUE(SameBytes(*refused, *brightened)) << "order " << order;
    }
}

// The vector builds of the 3 x 3 matrix give the scalar bytes: partial vectors at the row's end,
// clamping at both ends, both channel orders, and coefficients too large for 16 bits.
TEST(ProcessorOperations, VectorMatrixMatchesScalarForm)
{
    const std::vector<std::pair<std::string, Queue>> matrices = {
        {"grey", [](auto& p) { p.SetSaturation(0); }},
        {"saturation 1.2", [](auto& p) { p.SetSaturation(1.2); }},
        {"saturation 2", [](auto& p) { p.SetSaturation(2); }},
        {"saturation 5 (wide coefficients)", [](auto& p) { p.SetSaturation(5); }},
        {"hue shift 40", [](auto& p) { p.SetHueShift(40, 1); }},
        {"hue shift 170 at 0.6", [](auto& p) { p.SetHueShift(170, 0.6); }},
        {"colorize 30", [](auto& p) { p.SetHueColorize(30, 1); }},
        {"colorize 300 at 0.5", [](auto& p) { p.SetHueColorize(300, 0.5); }},
        {"sepia", [](auto& p) { p.SetTint(HXTintSepia, 1); }},
    };
    const int width = 77;
    auto noise = NoiseImage(width, 1, 3);
    // Saturated primaries and extremes first, so that sums fall below 0 and above 255.
    const std::uint8_t extremes[][4] = {{0, 0, 255, 255}, {255, 255, 0, 9}, {0, 255, 0, 0}, {255, 0, 255, 128},
                                        {255, 255, 255, 255}, {0, 0, 0, 255}, {1, 254, 3, 77}};
    std::memcpy(noise->Buffer(), extremes, sizeof(extremes));
    for (int order : {HXPixelChannelOrderBGRA, HXPixelChannelOrderRGBA}) {
        HXImage8 scratch(4, 4, static_cast<HXPixelChannelOrder>(order), true);
        const kernels::KernelContext ctx{Tables(), HXDownsampleFactor0, 1.0, 1, 1.0};
        for (const auto& [name, queue] : matrices) {
            HXImageProcessor recorder(scratch, scratch, Tables(), HXDownsampleFactor0);
            queue(recorder);
            const HXOperation& op = recorder.Queue().front();
            kernels::PixelStage stage;
            ASSERT_EQ(kernels::StageBuilderFor(op.kind)(op, View(scratch), ctx, stage), 0) << name;
            ASSERT_EQ(stage.type, kernels::PixelStage::Type::Matrix) << name;
            for (int count : {1, 3, 4, 5, 7, 8, 9, 15, 16, 17, width}) {
                std::vector<std::uint8_t> expected(noise->Buffer(), noise->Buffer() + 4 * width);
                kernels::RunMatrixRow(stage, expected.data(), count, kernels::RowBuild::Scalar);
                for (const kernels::RowBuild build : {kernels::RowBuild::Baseline, kernels::RowBuild::Best}) {
                    std::vector<std::uint8_t> row(noise->Buffer(), noise->Buffer() + 4 * width);
                    kernels::RunMatrixRow(stage, row.data(), count, build);
                    EXPECT_EQ(row, expected) << name << ", order " << order << ", " << count << " pixels, build "
                                             << static_cast<int>(build);
                }
            }
        }
    }
}

// Out of place, the copy of the source is folded into a leading colour run or made on its own;
// either way the bytes are those of the same queue run in place, on any number of threads.
TEST(ProcessorOperations, OutOfPlaceMatchesInPlace)
{
    const std::vector<std::pair<std::string, Queue>> queues = {
        {"colour run, then blur",
         [](auto& p) {
             p.SetBrightness(0.1, HXChannelsColor);
             p.SetSaturation(1.3);
             p.SetHueShift(60, 0.5);
             p.SetStackBlur(3, true, true, HXChannelsColorAndAlpha);
         }},
        {"blur, then colour run",
         [](auto& p) {
             p.SetStackBlur(3, true, true, HXChannelsColor);
             p.SetContrast(1.3, HXChannelsColorAndAlpha);
         }},
        {"neutral colour run, then mirror",
         [](auto& p) {
             p.SetSaturation(1);
             p.SetBrightness(0, HXChannelsColor);
             p.SetMirror(true, false);
         }},
        {"neutral colour run alone", [](auto& p) { p.SetHueShift(0, 1); }},
    };
    auto source = PatchyNoise(131, 67, 11);
    for (const auto& [name, queue] : queues) {
        const auto inPlace = Rendered(*source, queue, HXDownsampleFactor0, true);
        for (int threads : {1, 5}) {
            ThreadCount count(threads);
            EXPECT_TRUE(SameBytes(*Rendered(*source, queue), *inPlace)) << name << ", threads " << threads;
        }
    }
    // Refused at once: the destination still holds the copy.
    auto refused = std::make_unique<HXImage8>(131, 67, HXPixelChannelOrderBGRA, true);
    HXImageProcessor processor(*source, *refused, Tables(), HXDownsampleFactor0);
    processor.SetSaturation(std::nan(""));
    EXPECT_EQ(processor.Render(), HXResultBadArgument);
    EXPECT_TRUE(SameBytes(*refused, *source));
}

TEST(ProcessorOperations, VignetteShapesTheEdges)
{
    auto source = SolidImage(101, 61, 200, 200, 200, 255);
    const hvn::maths::HXRect rect(10, 5, 91, 56);
    // Hard ellipse at full opacity: inside kept, outside the colour, outside the rectangle kept.
    auto hard = Rendered(*source, [&](auto& p) { p.SetVignette(HXPixel8_RGB(255, 0, 10), 1, 1, 0, 1, 1, rect); });
    EXPECT_EQ(PixelAt(*hard, 50, 30)[0], 200);
    EXPECT_EQ(PixelAt(*hard, 88, 30)[0], 200) << "just inside the ellipse";
    const std::uint8_t* corner = PixelAt(*hard, 11, 6);
    EXPECT_EQ(corner[2], 255);
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[0], 10);
    EXPECT_EQ(corner[3], 255);
    EXPECT_EQ(PixelAt(*hard, 5, 2)[0], 200) << "outside the rectangle";

    // Soft: the weight rises from the centre outwards, to opacity at the corners.
    auto soft = Rendered(*source, [&](auto& p) { p.SetVignette(HXPixel8_RGB(0, 0, 0), 1, 1, 0.4, 1, 0.5, rect); });
    EXPECT_EQ(PixelAt(*soft, 50, 30)[1], 200);
    int previous = 255;
    for (int x = 50; x < 91; ++x) {
        const int v = PixelAt(*soft, x, 30)[1];
        EXPECT_LE(v, previous) << x;
        previous = v;
    }
    EXPECT_NEAR(PixelAt(*soft, 90, 30)[1], 200 - 0.5 * 200 * 0.5, 12) << "half weight at the rim";
    EXPECT_NEAR(PixelAt(*soft, 10, 5)[1], 100, 2) << "full weight times opacity at the corner";
}

TEST(ProcessorOperations, StackBlurScalesItsRadius)
{
    auto source = NoiseImage(40, 30, 4);
    auto direct = Clone(*source);
    ASSERT_EQ(kernels::StackBlurImage(View(*direct), 2, true, false, HXChannelsColor, 1), 0);
    auto queued = Rendered(*source, [](auto& p) { p.SetStackBlur(8, true, false, HXChannelsColor); },
                           HXDownsampleFactor3);
    EXPECT_TRUE(SameBytes(*queued, *direct));
}

TEST(ProcessorOperations, BadArgumentsAreRefused)
{
    const std::vector<std::pair<std::string, Queue>> cases = {
        {"channels", [](auto& p) { p.SetBrightness(0.1, HXChannelsToProcess(7)); }},
        {"blur channels", [](auto& p) { p.SetStackBlur(3, true, true, HXChannelsToProcess(0)); }},
        {"tint type", [](auto& p) { p.SetTint(HXTintType(2), 1); }},
        {"not a number", [](auto& p) { p.SetContrast(std::nan(""), HXChannelsColor); }},
        {"infinite", [](auto& p) { p.SetColorTemperature(INFINITY); }},
    };
    auto image = NoiseImage(8, 8, 1);
    for (const auto& [name, queue] : cases) {
        HXImageProcessor processor(*image, *image, Tables(), HXDownsampleFactor0);
        queue(processor);
        EXPECT_EQ(processor.Render(), HXResultBadArgument) << name;
    }
}
