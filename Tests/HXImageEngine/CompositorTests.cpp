#include "EngineTestUtils.h"

#include "hvn/image/HXImageCompositor.h"
#include "hvn/image/HXImageProcessor.h"
#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

using namespace hvn::image;
using namespace hvn::image::test;
using hvn::maths::HXPoint2;
using hvn::maths::HXPoint2F;
using hvn::maths::HXQuad;
using hvn::maths::HXRect;

namespace {

// The W3C separable blend functions, written out independently of the engine.
double ReferenceBlend(HXBlendMode mode, double cb, double cs)
{
    const auto hardLight = [](double b, double s) { return s <= 0.5 ? b * 2 * s : b + (2 * s - 1) - b * (2 * s - 1); };
    switch (mode) {
    case HXBlendModeAdd: return std::min(1.0, cb + cs);
    case HXBlendModeColorBurn: return cb == 1 ? 1 : cs == 0 ? 0 : 1 - std::min(1.0, (1 - cb) / cs);
    case HXBlendModeColorDodge: return cb == 0 ? 0 : cs == 1 ? 1 : std::min(1.0, cb / (1 - cs));
    case HXBlendModeDarken: return std::min(cb, cs);
    case HXBlendModeDifference: return std::abs(cb - cs);
    case HXBlendModeExclusion: return cb + cs - 2 * cb * cs;
    case HXBlendModeHardLight: return hardLight(cb, cs);
    case HXBlendModeLighten: return std::max(cb, cs);
    case HXBlendModeMultiply: return cb * cs;
    case HXBlendModeNormal: return cs;
    case HXBlendModeOverlay: return hardLight(cs, cb);
    case HXBlendModeScreen: return cb + cs - cb * cs;
    case HXBlendModeSoftLight: {
        if (cs <= 0.5)
            return cb - (1 - 2 * cs) * cb * (1 - cb);
        const double d = cb <= 0.25 ? ((16 * cb - 12) * cb + 4) * cb : std::sqrt(cb);
        return cb + (2 * cs - 1) * (d - cb);
    }
    }
    return 0;
}

// Source-over with blending; Add is plus-lighter. Bytes B, G, R, A in and out.
std::array<int, 4> ReferenceComposite(HXBlendMode mode, const std::uint8_t* d, const std::uint8_t* s, double opacity)
{
    const double as = s[3] / 255.0 * opacity, ab = d[3] / 255.0;
    if (as == 0)
        return {d[0], d[1], d[2], d[3]};
    const bool plus = mode == HXBlendModeAdd;
    const double ao = plus ? std::min(1.0, as + ab) : as + ab - as * ab;
    std::array<int, 4> out{};
    for (int c = 0; c < 3; ++c) {
        const double cs = s[c] / 255.0, cb = d[c] / 255.0;
        const double co = plus ? std::min(1.0, as * cs + ab * cb)
                               : as * (1 - ab) * cs + as * ab * ReferenceBlend(mode, cb, cs) + (1 - as) * ab * cb;
        out[c] = int(std::lround(co / ao * 255));
    }
    out[3] = int(std::lround(ao * 255));
    return out;
}

struct ThreadCount {
    explicit ThreadCount(int n) { SetEngineThreadCount(n); }
    ~ThreadCount() { SetEngineThreadCount(0); }
};

// An opaque image with a smooth gradient and fine detail, so that blurs show.
std::unique_ptr<HXImage8> Photo(int width, int height)
{
    auto noise = NoiseImage(width, height, 7);
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        const std::uint8_t* n = PixelAt(*noise, x, y);
        p[0] = static_cast<std::uint8_t>((n[0] + x) / 2);
        p[1] = static_cast<std::uint8_t>((n[1] + y) / 2);
        p[2] = n[2];
        p[3] = 255;
    });
}

// A keyed subject: an opaque disc with a one-pixel soft rim on transparent black.
std::unique_ptr<HXImage8> Disc(int width, int height, double radius, std::uint8_t grey)
{
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        const double d = std::hypot(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0);
        const double a = std::clamp(radius - d + 0.5, 0.0, 1.0);
        p[0] = p[1] = p[2] = grey;
        p[3] = static_cast<std::uint8_t>(std::lround(a * 255));
    });
}

double RowVariance(const HXAbstractImage& image, int y, int channel)
{
    double sum = 0, sum2 = 0;
    for (int x = 0; x < image.Width(); ++x) {
        const double v = PixelAt(image, x, y)[channel];
        sum += v;
        sum2 += v * v;
    }
    const double mean = sum / image.Width();
    return sum2 / image.Width() - mean * mean;
}

const HXRect kWhole(0, 0, 64, 48);

} // namespace

TEST(Compositor, BlendModesFollowTheFormulas)
{
    // Backdrop and source pairs (B, G, R, A): opaque, semi-transparent source, both semi-transparent,
    // transparent backdrop, and colour extremes for the dodge and burn special cases.
    const std::vector<std::array<std::uint8_t, 8>> pairs = {
        {200, 100, 30, 255, 40, 128, 250, 255},  {10, 128, 255, 255, 220, 64, 0, 128},
        {90, 180, 60, 100, 200, 30, 140, 160},   {50, 60, 70, 0, 80, 160, 240, 200},
        {0, 255, 128, 255, 255, 0, 128, 255},    {255, 0, 64, 200, 0, 255, 192, 90},
    };
    for (int m = 0; m <= 12; ++m) {
        const auto mode = static_cast<HXBlendMode>(m);
        for (const double opacity : {1.0, 0.5}) {
            const int n = static_cast<int>(pairs.size());
            auto destination = MakeImage(n, 1, [&](int x, int, std::uint8_t* p) { std::memcpy(p, &pairs[x][0], 4); });
            auto layer = MakeImage(n, 1, [&](int x, int, std::uint8_t* p) { std::memcpy(p, &pairs[x][4], 4); });
            HXImageCompositor compositor(*destination, 1.0, Tables(), HXDownsampleFactor0);
            compositor.AddLayer(*layer, opacity, mode, HXCompositeTypeOver);
            ASSERT_EQ(compositor.Render(), 0);
            for (int x = 0; x < n; ++x) {
                const auto expected = ReferenceComposite(mode, &pairs[x][0], &pairs[x][4], opacity);
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR(PixelAt(*destination, x, 0)[c], expected[c], 1)
                        << "mode " << m << " opacity " << opacity << " pair " << x << " byte " << c;
            }
        }
    }
}

TEST(Compositor, OpacitiesMultiplyAndNothingQueuedRendersNothing)
{
    auto below = NoiseImage(33, 9, 2);
    auto layer = NoiseImage(33, 9, 3);
    auto viaCompositor = Clone(*below);
    auto viaLayer = Clone(*below);
    HXImageCompositor half(*viaCompositor, 0.5, Tables(), HXDownsampleFactor0);
    half.AddLayer(*layer, 0.8, HXBlendModeMultiply, HXCompositeTypeOverMasked);
    ASSERT_EQ(half.Render(), 0);
    HXImageCompositor full(*viaLayer, 1.0, Tables(), HXDownsampleFactor0);
    full.AddLayer(*layer, 0.4, HXBlendModeMultiply, HXCompositeTypeOverMasked);
    ASSERT_EQ(full.Render(), 0);
    EXPECT_TRUE(SameBytes(*viaCompositor, *viaLayer)) << "the compositor's opacity multiplies the layer's";

    auto untouched = Clone(*below);
    HXImageCompositor empty(*untouched, 1.0, Tables(), HXDownsampleFactor0);
    EXPECT_EQ(empty.Render(), 0);
    empty.AddLayer(*layer, 0.0, HXBlendModeScreen, HXCompositeTypeOver);
    EXPECT_EQ(empty.Render(), 0);
    EXPECT_TRUE(SameBytes(*untouched, *below));

    auto small = NoiseImage(32, 9, 4);
    HXImageCompositor mismatched(*untouched, 1.0, Tables(), HXDownsampleFactor0);
    mismatched.AddLayer(*small, 1.0, HXBlendModeNormal, HXCompositeTypeOver);
    EXPECT_EQ(mismatched.Render(), HXResultImageMismatch);
    EXPECT_TRUE(SameBytes(*untouched, *below));
}

TEST(Compositor, RenderReadsTheDestinationAsItIsThen)
{
    auto destination = SolidImage(4, 4, 0, 0, 0, 0);
    auto background = SolidImage(4, 4, 10, 20, 30, 255);
    auto overlay = SolidImage(4, 4, 200, 200, 200, 128);
    HXImageCompositor compositor(*destination, 1.0, Tables(), HXDownsampleFactor0);
    compositor.AddLayer(*overlay, 1.0, HXBlendModeNormal, HXCompositeTypeOver);
    // Drawn after the layer was queued and before the render: the render must see it.
    std::memcpy(destination->Buffer(), background->Buffer(), background->BufferByteSize());
    ASSERT_EQ(compositor.Render(), 0);
    const auto expected = ReferenceComposite(HXBlendModeNormal, PixelAt(*background, 0, 0), PixelAt(*overlay, 0, 0), 1);
    EXPECT_NEAR(PixelAt(*destination, 2, 2)[0], expected[0], 1);
    EXPECT_EQ(PixelAt(*destination, 2, 2)[3], 255);

    // The pipeline's road: render, clear, queue the next layer, render again.
    compositor.ClearRenderQueue();
    EXPECT_EQ(compositor.Render(), 0);
    auto afterClear = Clone(*destination);
    compositor.AddLayer(*background, 1.0, HXBlendModeNormal, HXCompositeTypeOver);
    ASSERT_EQ(compositor.Render(), 0);
    EXPECT_TRUE(SameBytes(*destination, *background));
    EXPECT_FALSE(SameBytes(*afterClear, *background));
}

TEST(Compositor, LightWrapTouchesOnlyTheInnerEdge)
{
    const int size = 96;
    auto subject = Disc(size, size, 30, 60);
    for (const HXBlendMode mode : {HXBlendModeScreen, HXBlendModeLighten, HXBlendModeAdd}) {
        auto bright = SolidImage(size, size, 250, 240, 230, 255);
        auto plain = Clone(*bright);
        HXImageCompositor plainCompositor(*plain, 1.0, Tables(), HXDownsampleFactor0);
        plainCompositor.AddLayer(*subject, 1.0, HXBlendModeNormal, HXCompositeTypeOverMasked);
        ASSERT_EQ(plainCompositor.Render(), 0);

        auto wrapped = Clone(*bright);
        HXImageCompositor wrapCompositor(*wrapped, 1.0, Tables(), HXDownsampleFactor0);
        wrapCompositor.AddLightSpillLayer(*subject, 8, 1.0, mode, HXDownsampleFactor0);
        ASSERT_EQ(wrapCompositor.Render(), 0);
        const std::uint8_t* centre = PixelAt(*wrapped, size / 2, size / 2);
        EXPECT_EQ(std::memcmp(centre, PixelAt(*plain, size / 2, size / 2), 4), 0) << "interior, mode " << mode;
        EXPECT_EQ(std::memcmp(PixelAt(*wrapped, 2, 2), PixelAt(*bright, 2, 2), 4), 0) << "outside, mode " << mode;
        const int inner = size / 2 + 28; // two pixels inside the disc's edge
        EXPECT_GT(PixelAt(*wrapped, inner, size / 2)[1], PixelAt(*plain, inner, size / 2)[1] + 20)
            << "the edge takes the light, mode " << mode;

        auto black = SolidImage(size, size, 0, 0, 0, 255);
        auto plainOnBlack = Clone(*black);
        HXImageCompositor a(*plainOnBlack, 1.0, Tables(), HXDownsampleFactor0);
        a.AddLayer(*subject, 0.7, HXBlendModeNormal, HXCompositeTypeOverMasked);
        ASSERT_EQ(a.Render(), 0);
        HXImageCompositor b(*black, 1.0, Tables(), HXDownsampleFactor0);
        b.AddLightSpillLayer(*subject, 8, 0.7, mode, HXDownsampleFactor0);
        ASSERT_EQ(b.Render(), 0);
        EXPECT_TRUE(SameBytes(*black, *plainOnBlack)) << "a black background gives no light, mode " << mode;
    }
}

namespace {

// Light wrap the plain way: the whole destination and the whole layer alpha blurred, every pixel
// weighted, the wrapped layer composited.
std::unique_ptr<HXImage8> WholeCanvasLightWrap(const HXImage8& destination, const HXImage8& layer, int radius,
                                               double opacity, HXBlendMode mode)
{
    namespace k = hvn::image::kernels;
    auto out = Clone(destination);
    auto light = Clone(destination);
    EXPECT_EQ(k::StackBlurImage(k::ViewOf(*light), radius, true, true, HXChannelsColorAndAlpha, 4), 0);
    const int width = layer.Width(), height = layer.Height();
    std::vector<std::uint8_t> edge(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < edge.size(); ++i)
        edge[i] = layer.Buffer()[4 * i + 3];
    EXPECT_EQ(k::BoxBlurPlane(k::PlaneView{edge.data(), width, height, 1, width}, std::max(1, radius / 2), true, true,
                              2, 4),
              0);
    const k::AlphaScale scale = k::MakeAlphaScale(opacity);
    std::vector<std::uint8_t> wrapped(static_cast<std::size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* l = PixelAt(layer, x, y);
            const std::uint8_t* w = PixelAt(*light, x, y);
            std::uint8_t* o = wrapped.data() + 4 * x;
            const int e = edge[static_cast<std::size_t>(y) * width + x];
            const int weight = std::min(255, (2 * l[3] * (255 - e) + 127) / 255) * w[3];
            std::memcpy(o, l, 4);
            if (weight == 0)
                continue;
            const float t = float(weight) * (1.0f / (255.0f * 255.0f));
            for (int c = 0; c < 3; ++c) {
                const float cb = float(l[c]) * (1.0f / 255.0f);
                const float blended = cb + t * (k::BlendChannel(mode, cb, float(w[c]) * (1.0f / 255.0f)) - cb);
                o[c] = static_cast<std::uint8_t>(std::clamp(blended * 255.0f + 0.5f, 0.0f, 255.0f));
            }
        }
        k::CompositeRow(HXBlendModeNormal, out->Buffer() + static_cast<std::size_t>(y) * width * 4, wrapped.data(),
                        width, scale);
    }
    return out;
}

// Soft-rimmed discs, some opaque and some half transparent, scattered over transparency.
std::unique_ptr<HXImage8> Blobs(int width, int height, int count, unsigned seed)
{
    unsigned state = seed;
    auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
    std::vector<std::array<double, 4>> blobs; // x, y, radius, alpha
    for (int i = 0; i < count; ++i)
        blobs.push_back({double(next() % width), double(next() % height), 3.0 + next() % 40,
                         i % 3 == 0 ? 128.0 : 255.0});
    return MakeImage(width, height, [&](int x, int y, std::uint8_t* p) {
        double a = 0;
        for (const auto& b : blobs)
            a = std::max(a, b[3] * std::clamp(b[2] - std::hypot(x - b[0], y - b[1]), 0.0, 1.0));
        p[0] = static_cast<std::uint8_t>(x * 3);
        p[1] = static_cast<std::uint8_t>(y * 5);
        p[2] = 150;
        p[3] = static_cast<std::uint8_t>(std::lround(a));
    });
}

} // namespace

// Light wrap blurs only the cells near the layer's edge; the bytes are those of blurring the
// whole canvas, whatever the shape, the radius or where the layer meets the image's borders.
TEST(Compositor, EdgeOnlyLightWrapMatchesWholeCanvas)
{
    struct Case {
        std::string name;
        std::function<std::unique_ptr<HXImage8>()> destination, layer;
        int radius;
        double opacity;
        HXBlendMode mode;
    };
    const std::vector<Case> cases = {
        {"disc", [] { return Photo(160, 120); }, [] { return Disc(160, 120, 40, 90); }, 8, 1.0, HXBlendModeScreen},
        {"blobs on a patchy backdrop", [] { return NoiseImage(301, 211, 4); }, [] { return Blobs(301, 211, 25, 7); },
         5, 0.8, HXBlendModeLighten},
        {"blobs, radius 1", [] { return Photo(150, 97); }, [] { return Blobs(150, 97, 12, 3); }, 1, 1.0,
         HXBlendModeAdd},
        {"disc past the borders", [] { return Photo(120, 90); }, [] { return Disc(120, 90, 70, 200); }, 12, 1.0,
         HXBlendModeHardLight},
        {"strands",
         [] { return Photo(200, 140); },
         [] {
             return MakeImage(200, 140, [](int x, int y, std::uint8_t* p) {
                 p[1] = 200;
                 p[3] = (x % 37 == 5 && y > 20) || (y % 53 == 7 && x < 150) ? 255 : 0;
             });
         },
         6, 1.0, HXBlendModeScreen},
        {"opaque everywhere", [] { return Photo(90, 70); }, [] { return SolidImage(90, 70, 10, 20, 30, 255); }, 9, 1.0,
         HXBlendModeScreen},
        {"radius beyond 256", [] { return Photo(230, 170); }, [] { return Disc(230, 170, 60, 90); }, 300, 1.0,
         HXBlendModeSoftLight},
        // Large enough for the wrapped pixels to be held in more than one wave: edges everywhere,
        // blurred in small runs (radius 2) or in whole-width strips (radius 40).
        {"semi-transparent everywhere, radius 2", [] { return Photo(2600, 1800); },
         [] { return NoiseImage(2600, 1800, 8); }, 2, 0.9, HXBlendModeOverlay},
        {"semi-transparent everywhere, radius 40", [] { return Photo(2600, 1800); },
         [] { return NoiseImage(2600, 1800, 8); }, 40, 0.9, HXBlendModeOverlay},
    };
    for (const Case& c : cases) {
        const auto destination = c.destination();
        const auto layer = c.layer();
        const auto expected = WholeCanvasLightWrap(*destination, *layer, c.radius, c.opacity, c.mode);
        for (int threads : {1, 6}) {
            ThreadCount count(threads);
            auto image = Clone(*destination);
            HXImageCompositor compositor(*image, 1.0, Tables(), HXDownsampleFactor0);
            compositor.AddLightSpillLayer(*layer, c.radius, c.opacity, c.mode, HXDownsampleFactor0);
            ASSERT_EQ(compositor.Render(), 0) << c.name;
            EXPECT_TRUE(SameBytes(*image, *expected)) << c.name << ", threads " << threads;
            EXPECT_FALSE(SameBytes(*image, *destination)) << c.name;
        }
    }
}

// The vector Normal row gives the scalar bytes: groups all transparent, all opaque, mixed, over
// opaque, semi-transparent and empty destinations, at several opacities and row lengths.
TEST(Compositor, VectorNormalRowMatchesScalarForm)
{
    namespace k = hvn::image::kernels;
    const int width = 203;
    const auto texture = NoiseImage(width, 1, 21);
    // Source alpha in stretches of 0, of 255 and of noise; destinations opaque, mixed and clear.
    std::vector<std::uint8_t> source(texture->Buffer(), texture->Buffer() + 4 * width);
    for (int x = 0; x < width; ++x)
        source[4 * x + 3] = x < 40 ? 0 : x < 90 ? 255 : x < 100 ? std::uint8_t(x % 2 ? 0 : 255) : source[4 * x + 3];
    const std::vector<std::pair<std::string, std::function<std::uint8_t(int, std::uint8_t)>>> backdrops = {
        {"opaque", [](int, std::uint8_t) { return std::uint8_t(255); }},
        {"opaque with holes", [](int x, std::uint8_t) { return std::uint8_t(x % 7 == 3 ? 200 : 255); }},
        {"semi-transparent", [](int, std::uint8_t a) { return a; }},
        {"clear", [](int, std::uint8_t) { return std::uint8_t(0); }},
    };
    const auto backdropTexture = NoiseImage(width, 1, 22);
    for (const auto& [name, alphaAt] : backdrops)
        for (const double opacity : {1.0, 0.7, 0.004})
            for (const int count : {1, 3, 4, 5, 9, 64, width}) {
                std::vector<std::uint8_t> expected(backdropTexture->Buffer(), backdropTexture->Buffer() + 4 * width);
                for (int x = 0; x < width; ++x)
                    expected[4 * x + 3] = alphaAt(x, expected[4 * x + 3]);
                const std::vector<std::uint8_t> before = expected;
                const k::AlphaScale scale = k::MakeAlphaScale(opacity);
                k::CompositeRow(HXBlendModeNormal, expected.data(), source.data(), count, scale, k::RowBuild::Scalar);
                // The baseline build runs the SSE2 loop, which the widest build leaves to its tail.
                for (const k::RowBuild build : {k::RowBuild::Baseline, k::RowBuild::Best}) {
                    std::vector<std::uint8_t> row = before;
                    k::CompositeRow(HXBlendModeNormal, row.data(), source.data(), count, scale, build);
                    EXPECT_EQ(row, expected) << name << ", opacity " << opacity << ", " << count << " pixels, "
                                             << (build == k::RowBuild::Baseline ? "baseline" : "widest");
                }
            }
}

TEST(Compositor, ShadowFillsItsQuad)
{
    // A subject filling part of its image; the shadow of its rectangle lands in a tilted quad.
    auto source = MakeImage(80, 60, [](int x, int y, std::uint8_t* p) { p[3] = x >= 10 && x < 70 && y >= 5 ? 255 : 0; });
    const HXQuad quad(HXPoint2(30, 40), HXPoint2(110, 35), HXPoint2(120, 90), HXPoint2(20, 95));
    auto canvas = SolidImage(140, 120, 255, 255, 255, 255);
    HXImageCompositor compositor(*canvas, 1.0, Tables(), HXDownsampleFactor0);
    compositor.AddShadowCastLayer(*source, HXRect(10, 5, 70, 60), quad, 0, 1.0, HXPixel8_RGB(0, 0, 0),
                                  HXBlendModeMultiply, true, HXDownsampleFactor0);
    ASSERT_EQ(compositor.Render(), 0);
    int left = 1000, top = 1000, right = -1, bottom = -1;
    for (int y = 0; y < canvas->Height(); ++y)
        for (int x = 0; x < canvas->Width(); ++x)
            if (PixelAt(*canvas, x, y)[0] != 255) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
    EXPECT_NEAR(left, 20, 1);
    EXPECT_NEAR(right, 120, 1);
    EXPECT_NEAR(top, 35, 1);
    EXPECT_NEAR(bottom, 95, 1);
    EXPECT_EQ(PixelAt(*canvas, 70, 65)[1], 0) << "the middle of the quad is fully shadowed";

    // Blurred: the top edge spreads, the contact edge stays sharp.
    auto blurred = SolidImage(140, 120, 255, 255, 255, 255);
    HXImageCompositor soft(*blurred, 1.0, Tables(), HXDownsampleFactor0);
    soft.AddShadowCastLayer(*source, HXRect(10, 5, 70, 60), quad, 12, 1.0, HXPixel8_RGB(0, 0, 0),
                            HXBlendModeNormal, true, HXDownsampleFactor0);
    ASSERT_EQ(soft.Render(), 0);
    EXPECT_LT(PixelAt(*blurred, 70, 30)[0], 255) << "shadow spreads beyond the far edge";
    EXPECT_EQ(PixelAt(*blurred, 70, 96)[0], 255) << "nothing spreads below the contact edge";
    EXPECT_LT(PixelAt(*blurred, 70, 90)[0], 16) << "the contact edge stays nearly sharp";
}

TEST(Looks, DepthOfFieldKeepsItsFocusSharp)
{
    struct Case {
        HXDepthOfFieldType type;
        int sharpY; // a row inside the focus band
        int farY;   // a row far from it
    };
    for (const Case& c : {Case{HXDepthOfFieldLinear, 100, 5}, Case{HXDepthOfFieldRadial, 100, 2}}) {
        auto original = Photo(200, 200);
        auto image = Clone(*original);
        HXImageProcessor processor(*image, *image, Tables(), HXDownsampleFactor0);
        // Origin at the centre (y negated), a horizontal focus line, sharp within 20 pixels of it.
        processor.SetDepthOfField(c.type, HXPoint2F(100, -100), 0, 12, 0, 0.2, 0, 200, HXRect(0, 0, 200, 200), 1.0);
        ASSERT_EQ(processor.Render(), 0);
        for (int y = 92; y < 108; ++y)
            ASSERT_EQ(std::memcmp(PixelAt(*image, 92, y), PixelAt(*original, 92, y), 16 * 4), 0) << "row " << y;
        EXPECT_LT(RowVariance(*image, c.farY, 2), RowVariance(*original, c.farY, 2) / 4) << "type " << c.type;
        if (c.type == HXDepthOfFieldLinear) {
            EXPECT_TRUE(std::memcmp(PixelAt(*image, 0, c.sharpY), PixelAt(*original, 0, c.sharpY), 200 * 4) == 0);
        }
    }
}

TEST(Looks, NeutralValuesLeaveEveryByte)
{
    const std::vector<std::pair<std::string, std::function<void(HXImageProcessor&)>>> looks = {
        {"defocus without blur", [](HXImageProcessor& p) { p.SetDefocus(0, 0.8, 1.0); }},
        {"diffuse at opacity 0", [](HXImageProcessor& p) { p.SetDiffuse(10, 0.0, 1.0); }},
        {"soft focus at opacity 0", [](HXImageProcessor& p) { p.SetSoftFocus(HXBlendModeScreen, 10, 0.0, kWhole, 1.0); }},
        {"three-strip at 0", [](HXImageProcessor& p) { p.SetThreeStripColor(0, 0, 0); }},
        {"bleach bypass at 0", [](HXImageProcessor& p) { p.SetBleachBypass(1.5, 0.8, 0.0); }},
        {"depth of field transparent",
         [](HXImageProcessor& p) { p.SetDepthOfField(HXDepthOfFieldRadial, {}, 0, 20, 0, 0.1, 1.0, 64, kWhole, 1.0); }},
        {"depth of field without blur",
         [](HXImageProcessor& p) { p.SetDepthOfField(HXDepthOfFieldLinear, {}, 0, 0, 0, 0.1, 0.0, 64, kWhole, 1.0); }},
    };
    auto original = NoiseImage(64, 48, 5);
    for (const auto& [name, queue] : looks) {
        auto image = Clone(*original);
        HXImageProcessor processor(*image, *image, Tables(), HXDownsampleFactor0);
        queue(processor);
        ASSERT_EQ(processor.Render(), 0) << name;
        EXPECT_TRUE(SameBytes(*image, *original)) << name;
    }

    auto layer = NoiseImage(64, 48, 6);
    auto canvas = Clone(*original);
    HXImageCompositor compositor(*canvas, 1.0, Tables(), HXDownsampleFactor0);
    compositor.AddLightSpillLayer(*layer, 10, 0.0, HXBlendModeScreen, HXDownsampleFactor0);
    compositor.AddShadowCastLayer(*layer, HXRect(0, 0, 64, 48), HXQuad(), 10, 1.0, HXPixel8_RGB(), HXBlendModeMultiply,
                                  true, HXDownsampleFactor0);
    compositor.AddShadowCastLayer(*layer, HXRect(0, 0, 64, 48), HXQuad({0, 0}, {60, 0}, {60, 40}, {0, 40}), 10, 0.0,
                                  HXPixel8_RGB(), HXBlendModeMultiply, true, HXDownsampleFactor0);
    ASSERT_EQ(compositor.Render(), 0);
    EXPECT_TRUE(SameBytes(*canvas, *original)) << "zero opacity and a null quad draw nothing";
}

TEST(Looks, FilmLooksChangeColourAsIntended)
{
    // A saturated orange: bleach bypass takes saturation out, three-strip keeps it vivid.
    auto orange = SolidImage(4, 4, 30, 120, 230, 255);
    auto bleached = Clone(*orange);
    HXImageProcessor bleach(*bleached, *bleached, Tables(), HXDownsampleFactor0);
    bleach.SetBleachBypass(1.0, 0.5, 1.0);
    ASSERT_EQ(bleach.Render(), 0);
    const auto spread = [](const HXAbstractImage& i) { return int(PixelAt(i, 0, 0)[2]) - int(PixelAt(i, 0, 0)[0]); };
    EXPECT_LT(spread(*bleached), spread(*orange));
    EXPECT_EQ(PixelAt(*bleached, 0, 0)[3], 255);

    // Defocus spreads a highlight; bloom makes the spread light brighter.
    const auto defocus = [](double bloom) {
        auto dark = MakeImage(41, 41, [](int x, int y, std::uint8_t* p) {
            p[0] = p[1] = p[2] = (x == 20 && y == 20) ? 255 : 20;
            p[3] = 255;
        });
        HXImageProcessor processor(*dark, *dark, Tables(), HXDownsampleFactor0);
        processor.SetDefocus(6, bloom, 1.0);
        EXPECT_EQ(processor.Render(), 0);
        return int(PixelAt(*dark, 23, 20)[1]);
    };
    EXPECT_GT(defocus(0.0), 20);
    EXPECT_GT(defocus(1.0), defocus(0.0));
}

TEST(Compositor, ResultsDoNotDependOnThreads)
{
    const auto photo = Photo(97, 83);
    const auto subject = Disc(97, 83, 30, 90);
    const auto texture = NoiseImage(97, 83, 9);
    const std::vector<std::pair<std::string, std::function<int(HXImage8&)>>> runs = {
        {"layers", [&](HXImage8& i) {
             HXImageCompositor c(i, 0.9, Tables(), HXDownsampleFactor0);
             c.AddLayer(*texture, 0.7, HXBlendModeSoftLight, HXCompositeTypeOver);
             c.AddLayer(*subject, 1.0, HXBlendModeNormal, HXCompositeTypeOverMasked);
             return c.Render();
         }},
        {"light wrap", [&](HXImage8& i) {
             HXImageCompositor c(i, 1.0, Tables(), HXDownsampleFactor1);
             c.AddLightSpillLayer(*subject, 12, 0.9, HXBlendModeScreen, HXDownsampleFactor1);
             return c.Render();
         }},
        {"shadow", [&](HXImage8& i) {
             HXImageCompositor c(i, 1.0, Tables(), HXDownsampleFactor0);
             c.AddShadowCastLayer(*subject, HXRect(0, 0, 97, 83), HXQuad({20, 30}, {80, 20}, {90, 70}, {10, 75}), 9, 0.8,
                                  HXPixel8_RGB(20, 10, 40), HXBlendModeMultiply, true, HXDownsampleFactor0);
             return c.Render();
         }},
        {"looks", [&](HXImage8& i) {
             HXImageProcessor p(i, i, Tables(), HXDownsampleFactor0);
             p.SetDefocus(5, 0.5, 1.0);
             p.SetDiffuse(7, 0.4, 1.0);
             p.SetSoftFocus(HXBlendModeOverlay, 6, 0.6, HXRect(5, 5, 80, 70), 1.0);
             p.SetThreeStripColor(0.5, 0.4, 0.3);
             p.SetBleachBypass(1.5, 0.8, 0.6);
             return p.Render();
         }},
        {"depth of field", [&](HXImage8& i) {
             HXImageProcessor p(i, i, Tables(), HXDownsampleFactor0);
             p.SetDepthOfField(HXDepthOfFieldLinear, HXPoint2F(40, -50), 30, 15, 0.1, 0.2, 0.1, 97, HXRect(0, 0, 90, 83),
                               1.0);
             return p.Render();
         }},
    };
    for (const auto& [name, run] : runs) {
        auto one = Clone(*photo);
        auto eight = Clone(*photo);
        {
            ThreadCount threads(1);
            ASSERT_EQ(run(*one), 0) << name;
        }
        {
            ThreadCount threads(8);
            ASSERT_EQ(run(*eight), 0) << name;
        }
        EXPECT_TRUE(SameBytes(*one, *eight)) << name;
        EXPECT_FALSE(SameBytes(*one, *photo)) << name << " did something";
    }
}

TEST(Compositor, PreviewAgreesWithFullResolution)
{
    // Light wrap at factor 2 against the full render halved.
    const auto background = Photo(160, 120);
    const auto subject = Disc(160, 120, 40, 90);
    auto full = Clone(*background);
    HXImageCompositor fullCompositor(*full, 1.0, Tables(), HXDownsampleFactor0);
    fullCompositor.AddLightSpillLayer(*subject, 16, 1.0, HXBlendModeScreen, HXDownsampleFactor0);
    ASSERT_EQ(fullCompositor.Render(), 0);

    const auto halve = [](const HXAbstractImage& image) {
        return MakeImage(image.Width() / 2, image.Height() / 2, [&](int x, int y, std::uint8_t* p) {
            for (int c = 0; c < 4; ++c)
                p[c] = static_cast<std::uint8_t>((PixelAt(image, 2 * x, 2 * y)[c] + PixelAt(image, 2 * x + 1, 2 * y)[c] +
                                                  PixelAt(image, 2 * x, 2 * y + 1)[c] +
                                                  PixelAt(image, 2 * x + 1, 2 * y + 1)[c] + 2) / 4);
        });
    };
    auto preview = halve(*background);
    const auto smallSubject = halve(*subject);
    HXImageCompositor previewCompositor(*preview, 1.0, Tables(), HXDownsampleFactor2);
    previewCompositor.AddLightSpillLayer(*smallSubject, 16, 1.0, HXBlendModeScreen, HXDownsampleFactor2);
    ASSERT_EQ(previewCompositor.Render(), 0);
    const auto expected = halve(*full);
    // Compare the smooth parts: the wrap's colour, not the photo's per-pixel noise.
    double total = 0;
    for (int y = 0; y < preview->Height(); ++y)
        for (int x = 0; x < preview->Width(); ++x)
            total += std::abs(PixelAt(*preview, x, y)[1] - PixelAt(*expected, x, y)[1]);
    EXPECT_LT(total / (preview->Width() * preview->Height()), 4.0);
}
