// Every operation of the processor, the keyer and the compositor fed arguments a user or a damaged
// project file can produce: not-a-number, infinities, negative and huge radii, empty, inverted and
// far-away rectangles, degenerate quads, opacities outside 0..1 and unknown enumeration values.
// Each must render without a sanitizer report, return a documented code, ask for no absurd
// amount of memory, and give the same bytes on any thread count and in place as out of place.

#include "EngineTestUtils.h"

#include "hvn/image/HXImageCompositor.h"
#include "hvn/image/HXImageKeyer.h"
#include "hvn/image/HXImageProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

// While a hostile render runs, any single allocation beyond this is a fault: the images here are
// at most 64 x 33 pixels. The request is refused (the engine then reports 8) and remembered.
namespace {
constexpr std::size_t kAbsurdBytes = std::size_t(64) << 20;
std::atomic<bool> g_guardAllocations{false};
std::atomic<std::size_t> g_absurdRequest{0};

void* Allocate(std::size_t bytes)
{
    if (g_guardAllocations.load(std::memory_order_relaxed) && bytes > kAbsurdBytes) {
        g_absurdRequest.store(bytes);
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(bytes ? bytes : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t bytes)
{
    return Allocate(bytes);
}
void* operator new[](std::size_t bytes)
{
    return Allocate(bytes);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace hvn::image;
using namespace hvn::image::test;
using hvn::maths::HXPoint2;
using hvn::maths::HXPoint2F;
using hvn::maths::HXQuad;
using hvn::maths::HXRect;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHuge = 1e300;

// Renders one case: source and destination may be the same image (in place); for the compositor
// the source is the layer and the destination what it is drawn onto.
using RenderFn = std::function<int(HXAbstractImage& source, HXAbstractImage& destination, HXDownsampleFactor)>;

struct Case {
    std::string name;
    RenderFn render;
};

Case Processor(std::string name, std::function<void(HXImageProcessor&)> queue)
{
    return {std::move(name), [queue](HXAbstractImage& source, HXAbstractImage& destination, HXDownsampleFactor f) {
                HXImageProcessor processor(source, destination, Tables(), f);
                queue(processor);
                return processor.Render();
            }};
}

Case Keyer(std::string name, std::function<void(HXImageKeyer&)> queue)
{
    return {std::move(name), [queue](HXAbstractImage& source, HXAbstractImage& destination, HXDownsampleFactor f) {
                HXImageKeyer keyer(source, destination, Tables(), f);
                queue(keyer);
                return keyer.Render();
            }};
}

Case Compositor(std::string name, double opacity,
                std::function<void(HXImageCompositor&, const HXAbstractImage& layer)> queue)
{
    return {std::move(name),
            [opacity, queue](HXAbstractImage& layer, HXAbstractImage& destination, HXDownsampleFactor f) {
                HXImageCompositor compositor(destination, opacity, Tables(), f);
                queue(compositor, layer);
                return compositor.Render();
            }};
}

struct Outcome {
    int code = 0;
    std::unique_ptr<HXImage8> image;
};

// One render from fresh images on the given thread count, with allocations watched.
Outcome RenderOnce(const Case& c, int width, int height, HXDownsampleFactor factor, bool inPlace, int threads)
{
    auto source = NoiseImage(width, height, 7);
    auto destination = inPlace ? nullptr : NoiseImage(width, height, 11);
    HXAbstractImage& target = inPlace ? static_cast<HXAbstractImage&>(*source) : *destination;
    SetEngineThreadCount(threads);
    g_absurdRequest = 0;
    g_guardAllocations = true;
    const int code = c.render(*source, target, factor);
    g_guardAllocations = false;
    SetEngineThreadCount(0);
    EXPECT_EQ(g_absurdRequest.load(), 0u) << "asked for an absurd allocation (bytes)";
    return {code, Clone(target)};
}

bool Documented(int code)
{
    return code == HXResultOk || code == HXResultBadArgument || code == HXResultImageMismatch ||
           code == HXResultOutOfMemory;
}

// Out-of-place and in-place results are compared only where both start from the same bytes:
// the processor and the keyer (the source is copied first). A compositor's in-place run draws
// the destination onto itself, so it is checked on its own.
void Sweep(const std::vector<Case>& cases, bool compareInPlace)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {7, 1}, {3, 5}, {64, 33}};
    for (const Case& c : cases)
        for (const auto& [width, height] : sizes)
            for (const HXDownsampleFactor factor : {HXDownsampleFactor0, HXDownsampleFactor3}) {
                Outcome placed[2];
                for (const bool inPlace : {false, true}) {
                    SCOPED_TRACE(c.name + " " + std::to_string(width) + "x" + std::to_string(height) + " factor " +
                                 std::to_string(int(factor)) + (inPlace ? " in place" : " out of place"));
                    Outcome one = RenderOnce(c, width, height, factor, inPlace, 1);
                    EXPECT_TRUE(Documented(one.code)) << "code " << one.code;
                    const Outcome five = RenderOnce(c, width, height, factor, inPlace, 5);
                    EXPECT_EQ(one.code, five.code);
                    if (one.code == HXResultOk && five.code == HXResultOk) {
                        EXPECT_TRUE(SameBytes(*one.image, *five.image)) << "bytes depend on the thread count";
                    }
                    placed[inPlace] = std::move(one);
                }
                if (compareInPlace && placed[0].code == HXResultOk && placed[1].code == HXResultOk) {
                    EXPECT_TRUE(SameBytes(*placed[0].image, *placed[1].image))
                        << c.name << " " << width << "x" << height << " factor " << int(factor)
                        << ": in place differs from out of place";
                }
            }
}

const HXRect kHostileRects[] = {
    HXRect(0, 0, 0, 0),                       // empty
    HXRect(5, 4, 1, 1),                       // inverted
    HXRect(-100, -100, -50, -50),             // outside, before
    HXRect(1000, 1000, 2000, 2000),           // outside, after
    HXRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX), // huge
    HXRect(-3, -3, 2, 2),                     // partly outside
};

template <class E>
E Unknown(int value)
{
    return static_cast<E>(value);
}

std::vector<Case> ProcessorCases()
{
    std::vector<Case> cases;
    const double hostile[] = {kNaN, kInf, -kInf, kHuge, -kHuge, -1.0, 1e9};
    const HXChannelsToProcess badChannels[] = {Unknown<HXChannelsToProcess>(0), Unknown<HXChannelsToProcess>(99),
                                               Unknown<HXChannelsToProcess>(-1)};
    for (const double v : hostile) {
        const std::string s = std::to_string(v);
        cases.push_back(Processor("Brightness " + s, [=](auto& p) { p.SetBrightness(v, HXChannelsColorAndAlpha); }));
        cases.push_back(Processor("Contrast " + s, [=](auto& p) { p.SetContrast(v, HXChannelsAlpha); }));
        cases.push_back(Processor("Saturation " + s, [=](auto& p) { p.SetSaturation(v); }));
        cases.push_back(Processor("SuperContrast black " + s, [=](auto& p) { p.SetSuperContrast(v, 0.5, HXChannelsColor); }));
        cases.push_back(Processor("SuperContrast white " + s, [=](auto& p) { p.SetSuperContrast(0.2, v, HXChannelsColor); }));
        cases.push_back(Processor("ColorTemperature " + s, [=](auto& p) { p.SetColorTemperature(v); }));
        cases.push_back(Processor("ColorBalance " + s, [=](auto& p) { p.SetColorBalance(v, 1.0, v); }));
        cases.push_back(Processor("HueColorize hue " + s, [=](auto& p) { p.SetHueColorize(v, 0.7); }));
        cases.push_back(Processor("HueColorize strength " + s, [=](auto& p) { p.SetHueColorize(120.0, v); }));
        cases.push_back(Processor("HueShift hue " + s, [=](auto& p) { p.SetHueShift(v, 0.7); }));
        cases.push_back(Processor("HueShift strength " + s, [=](auto& p) { p.SetHueShift(120.0, v); }));
        cases.push_back(Processor("Opacity " + s, [=](auto& p) { p.SetOpacity(v); }));
        cases.push_back(Processor("Sharpen sharpness " + s, [=](auto& p) { p.SetSharpen(3, v, 0.1, 1.0); }));
        cases.push_back(Processor("Sharpen threshold " + s, [=](auto& p) { p.SetSharpen(3, 1.0, v, 1.0); }));
        cases.push_back(Processor("Sharpen scale " + s, [=](auto& p) { p.SetSharpen(3, 1.0, 0.1, v); }));
        cases.push_back(Processor("Defocus bloom " + s, [=](auto& p) { p.SetDefocus(4, v, 1.0); }));
        cases.push_back(Processor("Defocus scale " + s, [=](auto& p) { p.SetDefocus(4, 0.5, v); }));
        cases.push_back(Processor("Diffuse opacity " + s, [=](auto& p) { p.SetDiffuse(4, v, 1.0); }));
        cases.push_back(Processor("Diffuse scale " + s, [=](auto& p) { p.SetDiffuse(4, 0.5, v); }));
        cases.push_back(Processor("Tint strength " + s, [=](auto& p) { p.SetTint(HXTintSepia, v); }));
        cases.push_back(Processor("Vignette stretches " + s, [=](auto& p) {
            p.SetVignette(HXPixel8_RGB(0, 0, 0), v, v, 0.5, 1.0, 0.8, HXRect(0, 0, 64, 33));
        }));
        cases.push_back(Processor("Vignette softness " + s, [=](auto& p) {
            p.SetVignette(HXPixel8_RGB(9, 8, 7), 1.0, 1.0, v, 1.0, 0.8, HXRect(0, 0, 64, 33));
        }));
        cases.push_back(Processor("Vignette curvature " + s, [=](auto& p) {
            p.SetVignette(HXPixel8_RGB(9, 8, 7), 1.0, 1.0, 0.5, v, 0.8, HXRect(0, 0, 64, 33));
        }));
        cases.push_back(Processor("Vignette opacity " + s, [=](auto& p) {
            p.SetVignette(HXPixel8_RGB(9, 8, 7), 1.0, 1.0, 0.5, 1.0, v, HXRect(0, 0, 64, 33));
        }));
        cases.push_back(Processor("SoftFocus opacity " + s, [=](auto& p) {
            p.SetSoftFocus(HXBlendModeScreen, 3, v, HXRect(0, 0, 64, 33), 1.0);
        }));
        cases.push_back(Processor("SoftFocus scale " + s, [=](auto& p) {
            p.SetSoftFocus(HXBlendModeScreen, 3, 0.5, HXRect(0, 0, 64, 33), v);
        }));
        cases.push_back(Processor("ThreeStripColor " + s, [=](auto& p) { p.SetThreeStripColor(v, 0.5, v); }));
        cases.push_back(Processor("BleachBypass contrast " + s, [=](auto& p) { p.SetBleachBypass(v, 1.0, 0.5); }));
        cases.push_back(Processor("BleachBypass saturation " + s, [=](auto& p) { p.SetBleachBypass(1.0, v, 0.5); }));
        cases.push_back(Processor("BleachBypass strength " + s, [=](auto& p) { p.SetBleachBypass(1.2, 0.8, v); }));
        const auto dof = [v](int which) {
            return [v, which](HXImageProcessor& p) {
                double a[8] = {10.0, 5.0, 30.0, 0.2, 0.3, 0.1, 20.0, 1.0}; // x, y, angle, spread, range, transparency, size, scale
                a[which] = v;
                p.SetDepthOfField(HXDepthOfFieldRadial, HXPoint2F(a[0], a[1]), a[2], 6, a[3], a[4], a[5], a[6],
                                  HXRect(0, 0, 64, 33), a[7]);
            };
        };
        const char* dofNames[] = {"x", "y", "angle", "spread", "range", "transparency", "size", "scale"};
        for (int i = 0; i < 8; ++i)
            cases.push_back(Processor("DepthOfField " + std::string(dofNames[i]) + " " + s, dof(i)));
    }
    for (const HXChannelsToProcess channels : badChannels) {
        const std::string s = std::to_string(int(channels));
        cases.push_back(Processor("Brightness channels " + s, [=](auto& p) { p.SetBrightness(0.2, channels); }));
        cases.push_back(Processor("Contrast channels " + s, [=](auto& p) { p.SetContrast(1.5, channels); }));
        cases.push_back(Processor("SuperContrast channels " + s, [=](auto& p) { p.SetSuperContrast(0.1, 0.9, channels); }));
        cases.push_back(Processor("StackBlur channels " + s, [=](auto& p) { p.SetStackBlur(3, true, true, channels); }));
    }
    for (const unsigned radius : {0u, 1u, 1000u, 1000000000u, UINT_MAX}) {
        const std::string s = std::to_string(radius);
        for (const HXChannelsToProcess channels : {HXChannelsAlpha, HXChannelsColor, HXChannelsColorAndAlpha})
            cases.push_back(Processor("StackBlur " + s + " channels " + std::to_string(int(channels)),
                                      [=](auto& p) { p.SetStackBlur(radius, true, true, channels); }));
        cases.push_back(Processor("StackBlur rows " + s, [=](auto& p) { p.SetStackBlur(radius, true, false, HXChannelsColorAndAlpha); }));
        cases.push_back(Processor("StackBlur columns " + s, [=](auto& p) { p.SetStackBlur(radius, false, true, HXChannelsColor); }));
        cases.push_back(Processor("Defocus " + s, [=](auto& p) { p.SetDefocus(radius, 0.5, 1.0); }));
        cases.push_back(Processor("Defocus scaled " + s, [=](auto& p) { p.SetDefocus(radius, 0.5, 1e9); }));
        cases.push_back(Processor("Diffuse " + s, [=](auto& p) { p.SetDiffuse(radius, 0.5, 1e9); }));
        cases.push_back(Processor("SoftFocus " + s, [=](auto& p) {
            p.SetSoftFocus(HXBlendModeOverlay, radius, 0.5, HXRect(1, 0, 50, 30), 1.0);
        }));
        cases.push_back(Processor("DepthOfField linear " + s, [=](auto& p) {
            p.SetDepthOfField(HXDepthOfFieldLinear, HXPoint2F(3, -2), 45.0, radius, 0.1, 0.2, 0.0, 0.0,
                              HXRect(0, 0, 64, 33), 1.0);
        }));
    }
    for (const int blur : {INT_MIN, -5, 0, 2, INT_MAX})
        cases.push_back(Processor("Sharpen blur " + std::to_string(blur), [=](auto& p) { p.SetSharpen(blur, 1.0, 0.0, 1.0); }));
    cases.push_back(Processor("Sharpen huge blur and scale", [](auto& p) { p.SetSharpen(INT_MAX, 1.0, 0.0, 1e300); }));
    for (const HXRect& r : kHostileRects) {
        const std::string s = std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
                              "," + std::to_string(r.bottom);
        cases.push_back(Processor("Vignette rect " + s, [=](auto& p) {
            p.SetVignette(HXPixel8_RGB(0, 0, 0), 1.0, 1.0, 0.5, 1.0, 1.0, r);
        }));
        cases.push_back(Processor("SoftFocus rect " + s, [=](auto& p) { p.SetSoftFocus(HXBlendModeScreen, 4, 0.5, r, 1.0); }));
        cases.push_back(Processor("DepthOfField rect " + s, [=](auto& p) {
            p.SetDepthOfField(HXDepthOfFieldLinear, HXPoint2F(2, -2), 10.0, 5, 0.1, 0.2, 0.0, 8.0, r, 1.0);
        }));
    }
    for (const int v : {-1, 2, 13, 1000, INT_MIN}) {
        const std::string s = std::to_string(v);
        cases.push_back(Processor("Tint type " + s, [=](auto& p) { p.SetTint(Unknown<HXTintType>(v), 0.5); }));
        cases.push_back(Processor("SoftFocus mode " + s, [=](auto& p) {
            p.SetSoftFocus(Unknown<HXBlendMode>(v), 4, 0.5, HXRect(0, 0, 64, 33), 1.0);
        }));
        cases.push_back(Processor("DepthOfField type " + s, [=](auto& p) {
            p.SetDepthOfField(Unknown<HXDepthOfFieldType>(v), HXPoint2F(2, -2), 10.0, 5, 0.1, 0.2, 0.0, 8.0,
                              HXRect(0, 0, 64, 33), 1.0);
        }));
    }
    for (const bool h : {false, true})
        for (const bool v : {false, true})
            cases.push_back(Processor("Mirror " + std::to_string(h) + std::to_string(v), [=](auto& p) { p.SetMirror(h, v); }));
    cases.push_back(Processor("Silhouette", [](auto& p) { p.SetSilhouette(HXPixel8_RGB(255, 0, 128)); }));
    cases.push_back(Processor("MatteView", [](auto& p) { p.SetMatteView(); }));
    // A refused operation in the middle of a fused colour run.
    cases.push_back(Processor("colour run with a refused step", [](auto& p) {
        p.SetBrightness(0.1, HXChannelsColor);
        p.SetSaturation(kNaN);
        p.SetContrast(1.3, HXChannelsColor);
    }));
    return cases;
}

std::vector<Case> KeyerCases()
{
    std::vector<Case> cases;
    for (const double v : {kNaN, kInf, -kInf, kHuge, -1.0, 2.0}) {
        const std::string s = std::to_string(v);
        cases.push_back(Keyer("Key detail " + s, [=](auto& k) { k.SetAutoColorDifferenceKey(HXKeyColorGreen, v, 0.2, 0.2); }));
        cases.push_back(Keyer("Key grey " + s, [=](auto& k) { k.SetAutoColorDifferenceKey(HXKeyColorAuto, 0.5, v, v); }));
        cases.push_back(Keyer("Spill opacity " + s, [=](auto& k) {
            k.SetSpillSuppression(HXChannelGreen, HXSpillTypeStandard, v, 1.0, 1.0, 1.0, 1.0);
        }));
        cases.push_back(Keyer("Spill strengths " + s, [=](auto& k) {
            k.SetSpillSuppression(HXChannelGreen, HXSpillTypeExtended, 1.0, v, v, v, 1.0);
        }));
        cases.push_back(Keyer("Spill bias " + s, [=](auto& k) {
            k.SetSpillSuppression(HXChannelBlue, HXSpillTypeStandard, 1.0, 1.0, 1.0, 1.0, v);
        }));
        cases.push_back(Keyer("AlphaCrop " + s, [=](auto& k) { k.SetAlphaCrop(v, 0.1, v, 0.1); }));
        cases.push_back(Keyer("AlphaSuperContrast " + s, [=](auto& k) { k.SetAlphaSuperContrast(v, 0.5); }));
    }
    cases.push_back(Keyer("AlphaCrop overlapping", [](auto& k) { k.SetAlphaCrop(0.7, 0.7, 0.7, 0.7); }));
    cases.push_back(Keyer("AlphaSuperContrast inverted", [](auto& k) { k.SetAlphaSuperContrast(0.8, 0.2); }));
    for (const unsigned radius : {0u, 1u, 1000u, 1000000000u, UINT_MAX}) {
        const std::string s = std::to_string(radius);
        for (int type = 0; type < 4; ++type)
            cases.push_back(Keyer("YUVBlur " + s + " type " + std::to_string(type),
                                  [=](auto& k) { k.SetYUVBlur(radius, Unknown<HXYUVBlurType>(type)); }));
        cases.push_back(Keyer("AlphaStackBlur " + s, [=](auto& k) { k.SetAlphaStackBlur(radius, true, true); }));
    }
    for (const int distance : {INT_MIN, -5, 0, 3, 1000000000, INT_MAX})
        for (int direction = 0; direction < 3; ++direction)
            cases.push_back(Keyer("WhiteErode " + std::to_string(direction) + " " + std::to_string(distance), [=](auto& k) {
                k.SetWhiteErode(Unknown<HXWhiteErodeDirection>(direction), distance);
            }));
    for (const int v : {-1, 3, 4, 99, INT_MIN}) {
        const std::string s = std::to_string(v);
        cases.push_back(Keyer("YUVBlur type " + s, [=](auto& k) { k.SetYUVBlur(2, Unknown<HXYUVBlurType>(v)); }));
        cases.push_back(Keyer("Key colour " + s, [=](auto& k) {
            k.SetAutoColorDifferenceKey(Unknown<HXKeyColor>(v), 0.5, 0.2, 0.2);
        }));
        cases.push_back(Keyer("Spill channel " + s, [=](auto& k) {
            k.SetSpillSuppression(Unknown<HXChannel>(v), HXSpillTypeStandard, 1.0, 1.0, 1.0, 1.0, 1.0);
        }));
        cases.push_back(Keyer("Spill type " + s, [=](auto& k) {
            k.SetSpillSuppression(HXChannelGreen, Unknown<HXSpillType>(v), 1.0, 1.0, 1.0, 1.0, 1.0);
        }));
        cases.push_back(Keyer("WhiteErode direction " + s, [=](auto& k) {
            k.SetWhiteErode(Unknown<HXWhiteErodeDirection>(v), 2);
        }));
    }
    return cases;
}

std::vector<Case> CompositorCases()
{
    std::vector<Case> cases;
    const double hostile[] = {kNaN, kInf, -kInf, kHuge, -1.0, 2.0};
    const HXQuad normalQuad(HXPoint2(2, 1), HXPoint2(40, 3), HXPoint2(50, 30), HXPoint2(0, 25));
    const HXRect wholeLayer(0, 0, 64, 33);
    for (const double v : hostile) {
        const std::string s = std::to_string(v);
        cases.push_back(Compositor("AddLayer opacity " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLayer(layer, v, HXBlendModeMultiply, HXCompositeTypeOver);
        }));
        cases.push_back(Compositor("compositor opacity " + s, v, [=](auto& c, auto& layer) {
            c.AddLayer(layer, 0.8, HXBlendModeNormal, HXCompositeTypeOver);
            c.AddLightSpillLayer(layer, 6, 0.8, HXBlendModeScreen, HXDownsampleFactor0);
            c.AddShadowCastLayer(layer, wholeLayer, normalQuad, 4, 0.6, HXPixel8_RGB(), HXBlendModeMultiply, true,
                                 HXDownsampleFactor0);
        }));
        cases.push_back(Compositor("AddLightSpillLayer opacity " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLightSpillLayer(layer, 5, v, HXBlendModeScreen, HXDownsampleFactor0);
        }));
        cases.push_back(Compositor("AddShadowCastLayer opacity " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddShadowCastLayer(layer, wholeLayer, normalQuad, 3, v, HXPixel8_RGB(), HXBlendModeNormal, true,
                                 HXDownsampleFactor0);
        }));
    }
    for (const int v : {-1, 13, 1000, INT_MIN}) {
        const std::string s = std::to_string(v);
        cases.push_back(Compositor("AddLayer mode " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLayer(layer, 1.0, Unknown<HXBlendMode>(v), HXCompositeTypeOver);
        }));
        cases.push_back(Compositor("AddLayer type " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLayer(layer, 1.0, HXBlendModeNormal, Unknown<HXCompositeType>(v));
        }));
        cases.push_back(Compositor("AddLightSpillLayer mode " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLightSpillLayer(layer, 5, 1.0, Unknown<HXBlendMode>(v), HXDownsampleFactor0);
        }));
        cases.push_back(Compositor("AddLightSpillLayer factor " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddLightSpillLayer(layer, 5, 1.0, HXBlendModeScreen, Unknown<HXDownsampleFactor>(v));
        }));
        cases.push_back(Compositor("AddShadowCastLayer mode " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddShadowCastLayer(layer, wholeLayer, normalQuad, 3, 1.0, HXPixel8_RGB(), Unknown<HXBlendMode>(v), true,
                                 HXDownsampleFactor0);
        }));
        cases.push_back(Compositor("AddShadowCastLayer factor " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddShadowCastLayer(layer, wholeLayer, normalQuad, 3, 1.0, HXPixel8_RGB(), HXBlendModeNormal, false,
                                 Unknown<HXDownsampleFactor>(v));
        }));
    }
    for (const int blur : {INT_MIN, -5, 0, 3, 1000000000, INT_MAX})
        cases.push_back(Compositor("AddLightSpillLayer blur " + std::to_string(blur), 1.0, [=](auto& c, auto& layer) {
            c.AddLightSpillLayer(layer, blur, 1.0, HXBlendModeScreen, HXDownsampleFactor0);
        }));
    for (const unsigned blur : {0u, 1u, 1000u, 1000000000u, UINT_MAX})
        cases.push_back(Compositor("AddShadowCastLayer blur " + std::to_string(blur), 1.0, [=](auto& c, auto& layer) {
            c.AddShadowCastLayer(layer, wholeLayer, normalQuad, blur, 1.0, HXPixel8_RGB(), HXBlendModeMultiply, true,
                                 HXDownsampleFactor0);
        }));
    for (const HXRect& r : kHostileRects) {
        const std::string s = std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
                              "," + std::to_string(r.bottom);
        cases.push_back(Compositor("AddShadowCastLayer source rect " + s, 1.0, [=](auto& c, auto& layer) {
            c.AddShadowCastLayer(layer, r, normalQuad, 3, 1.0, HXPixel8_RGB(), HXBlendModeNormal, true,
                                 HXDownsampleFactor0);
        }));
    }
    const HXQuad hostileQuads[] = {
        HXQuad(),                                                                         // null
        HXQuad(HXPoint2(5, 5), HXPoint2(5, 5), HXPoint2(5, 5), HXPoint2(5, 5)),           // a point
        HXQuad(HXPoint2(0, 0), HXPoint2(10, 10), HXPoint2(20, 20), HXPoint2(30, 30)),     // a line
        HXQuad(HXPoint2(0, 0), HXPoint2(30, 30), HXPoint2(30, 0), HXPoint2(0, 30)),       // crossed
        HXQuad(HXPoint2(30, 0), HXPoint2(0, 0), HXPoint2(0, 30), HXPoint2(30, 30)),       // mirrored
        HXQuad(HXPoint2(1000000, 1000000), HXPoint2(1000100, 1000000), HXPoint2(1000100, 1000100),
               HXPoint2(1000000, 1000100)),                                               // far away
        HXQuad(HXPoint2(INT_MIN, INT_MIN), HXPoint2(INT_MAX, INT_MIN), HXPoint2(INT_MAX, INT_MAX),
               HXPoint2(INT_MIN, INT_MAX)),                                               // everything
        HXQuad(HXPoint2(INT_MIN, 0), HXPoint2(INT_MAX, 1), HXPoint2(3, 20), HXPoint2(-2, INT_MAX)), // wild
        HXQuad(HXPoint2(10, 10), HXPoint2(11, 10), HXPoint2(INT_MAX, INT_MAX), HXPoint2(10, 11)),    // near-infinite
    };
    int index = 0;
    for (const HXQuad& q : hostileQuads) {
        const std::string s = std::to_string(index++);
        for (const unsigned blur : {0u, 7u})
            cases.push_back(Compositor("AddShadowCastLayer quad " + s + " blur " + std::to_string(blur), 1.0,
                                       [=](auto& c, auto& layer) {
                                           c.AddShadowCastLayer(layer, wholeLayer, q, blur, 0.9, HXPixel8_RGB(1, 2, 3),
                                                                HXBlendModeMultiply, true, HXDownsampleFactor0);
                                       }));
    }
    return cases;
}

} // namespace

TEST(EngineRobustness, ProcessorOperationsWithHostileArguments)
{
    Sweep(ProcessorCases(), true);
}

TEST(EngineRobustness, KeyerOperationsWithHostileArguments)
{
    Sweep(KeyerCases(), true);
}

// "In place" here draws the destination onto itself as its own layer.
TEST(EngineRobustness, CompositorLayersWithHostileArguments)
{
    Sweep(CompositorCases(), false);
}

// A layer drawn onto the image it is itself gives the same bytes as a copy of that image.
TEST(EngineRobustness, CompositorLayerMayBeTheDestination)
{
    const std::function<void(HXImageCompositor&, const HXAbstractImage&)> adds[] = {
        [](HXImageCompositor& c, const HXAbstractImage& layer) {
            c.AddLayer(layer, 0.7, HXBlendModeOverlay, HXCompositeTypeOver);
        },
        [](HXImageCompositor& c, const HXAbstractImage& layer) {
            c.AddLightSpillLayer(layer, 8, 0.6, HXBlendModeScreen, HXDownsampleFactor0);
        },
        [](HXImageCompositor& c, const HXAbstractImage& layer) {
            c.AddShadowCastLayer(layer, HXRect(0, 0, 64, 33),
                                 HXQuad(HXPoint2(3, 2), HXPoint2(60, 4), HXPoint2(50, 30), HXPoint2(1, 31)), 5, 0.5,
                                 HXPixel8_RGB(), HXBlendModeMultiply, true, HXDownsampleFactor0);
        },
    };
    for (std::size_t i = 0; i < std::size(adds); ++i)
        for (const auto& [w, h] : {std::pair{64, 33}, std::pair{7, 1}, std::pair{3, 5}}) {
            SCOPED_TRACE("operation " + std::to_string(i) + " " + std::to_string(w) + "x" + std::to_string(h));
            auto self = NoiseImage(w, h, 3);
            auto destination = NoiseImage(w, h, 3);
            auto copy = NoiseImage(w, h, 3);
            HXImageCompositor selfCompositor(*self, 1.0, Tables(), HXDownsampleFactor0);
            adds[i](selfCompositor, *self);
            HXImageCompositor copyCompositor(*destination, 1.0, Tables(), HXDownsampleFactor0);
            adds[i](copyCompositor, *copy);
            ASSERT_EQ(selfCompositor.Render(), 0);
            ASSERT_EQ(copyCompositor.Render(), 0);
            EXPECT_TRUE(SameBytes(*self, *destination));
        }
}

TEST(EngineRobustness, CompositorRefusesLayersOfAnotherSize)
{
    struct Size {
        int width, height;
    };
    for (const Size layerSize : {Size{63, 33}, Size{64, 34}, Size{1, 1}, Size{0, 0}}) {
        SCOPED_TRACE(std::to_string(layerSize.width) + "x" + std::to_string(layerSize.height));
        auto destination = NoiseImage(64, 33, 5);
        const auto before = Clone(*destination);
        auto layer = NoiseImage(layerSize.width, layerSize.height, 6);
        const std::function<void(HXImageCompositor&)> adds[] = {
            [&](HXImageCompositor& c) { c.AddLayer(*layer, 1.0, HXBlendModeNormal, HXCompositeTypeOver); },
            [&](HXImageCompositor& c) { c.AddLightSpillLayer(*layer, 4, 1.0, HXBlendModeScreen, HXDownsampleFactor0); },
        };
        for (const auto& add : adds) {
            HXImageCompositor compositor(*destination, 1.0, Tables(), HXDownsampleFactor0);
            add(compositor);
            const int code = compositor.Render();
            // A layer without pixels may also be refused as a bad argument.
            if (layerSize.width == 0)
                EXPECT_TRUE(code == HXResultImageMismatch || code == HXResultBadArgument) << code;
            else
                EXPECT_EQ(code, HXResultImageMismatch);
            EXPECT_TRUE(SameBytes(*destination, *before)) << "a refused layer draws nothing";
        }
    }
}

// A shadow's source is any image (its rectangle is in its own pixels); a rectangle wholly outside
// it casts nothing, and one partly outside casts what lies inside where it lies in the rectangle.
TEST(EngineRobustness, ShadowSourceRectangleOutsideItsImage)
{
    auto source = SolidImage(10, 6, 0, 0, 0, 255);
    const HXQuad quad(HXPoint2(4, 4), HXPoint2(40, 4), HXPoint2(40, 30), HXPoint2(4, 30));
    const auto cast = [&](const HXRect& rect, HXAbstractImage& destination) {
        HXImageCompositor compositor(destination, 1.0, Tables(), HXDownsampleFactor0);
        compositor.AddShadowCastLayer(*source, rect, quad, 0, 1.0, HXPixel8_RGB(), HXBlendModeNormal, true,
                                      HXDownsampleFactor0);
        return compositor.Render();
    };
    for (const HXRect& outside : {HXRect(10, 0, 20, 6), HXRect(-20, -20, 0, 0), HXRect(0, 6, 10, 12),
                                  HXRect(INT_MIN, INT_MIN, INT_MIN + 5, INT_MIN + 5)}) {
        auto destination = SolidImage(64, 33, 200, 200, 200, 255);
        const auto before = Clone(*destination);
        EXPECT_EQ(cast(outside, *destination), HXResultOk);
        EXPECT_TRUE(SameBytes(*destination, *before)) << "nothing of the source lies in the rectangle";
    }
    auto partly = SolidImage(64, 33, 200, 200, 200, 255);
    auto whole = SolidImage(64, 33, 200, 200, 200, 255);
    EXPECT_EQ(cast(HXRect(-10, -10, 20, 16), *partly), HXResultOk);
    EXPECT_EQ(cast(HXRect(0, 0, 10, 6), *whole), HXResultOk);
    // The image is the middle third of the rectangle across and a quarter of it down, so it casts
    // onto the middle of the quad and the rest of the quad stays clear.
    EXPECT_EQ(PixelAt(*partly, 22, 17)[0], 0) << "the part inside the image casts its shadow";
    EXPECT_EQ(PixelAt(*partly, 8, 17)[0], 200) << "beyond the image there is nothing to cast";
    EXPECT_EQ(PixelAt(*partly, 22, 6)[0], 200);
    EXPECT_EQ(PixelAt(*whole, 8, 17)[0], 0) << "the whole image fills the quad";
    EXPECT_FALSE(SameBytes(*partly, *whole)) << "the rectangle is not squeezed to the image";
}
