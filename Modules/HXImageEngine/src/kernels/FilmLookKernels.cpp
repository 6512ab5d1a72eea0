#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <utility>

namespace hvn::image::kernels {

namespace {

constexpr float kInv255 = 1.0f / 255.0f;

inline std::uint8_t UnitToByte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f));
}

inline float Luma(float r, float g, float b)
{
    return 0.2126f * r + 0.7152f * g + 0.0722f * b;
}

maths::HXRect WholeImage(const ImageView& image)
{
    return maths::HXRect(0, 0, image.width, image.height);
}

// A radius in full-resolution pixels at this factor, times an extra scale.
int ScaledRadius(double radius, double scale, const KernelContext& ctx)
{
    return CappedRadius(std::max(0.0, radius) * std::max(0.0, scale) * ctx.scale, false);
}

// The colour of every pixel replaced by f(red, green, blue) (values 0..1, written back in place);
// alpha unchanged.
template <class Fn>
void MapColors(const ImageView& image, const KernelContext& ctx, Fn&& fn)
{
    const int ri = image.RedIndex(), bi = image.BlueIndex();
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                float r = p[ri] * kInv255, g = p[1] * kInv255, b = p[bi] * kInv255;
                fn(r, g, b);
                p[ri] = UnitToByte(r);
                p[1] = UnitToByte(g);
                p[bi] = UnitToByte(b);
            }
        }
    });
}

// A blurred copy of a region, blended onto the image there with a mode and strength
// (the image's alpha is kept).
int BlendBlurredCopy(const ImageView& image, const maths::HXRect& region, int radius, HXBlendMode mode,
                     double strength, const KernelContext& ctx)
{
    ImageBuffer blurred = CopyRegion(image, region, ctx.threads);
    if (radius > 0)
        if (const int result = StackBlurImage(blurred.view, radius, true, true, HXChannelsColorAndAlpha, ctx.threads))
            return result;
    const AlphaScale alphaScale = MakeAlphaScale(strength);
    ParallelFor(region.Height(), ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            BlendOntoRow(mode, image.Pixel(region.left, region.top + y), blurred.view.Row(y), region.Width(),
                         alphaScale);
    });
    return HXResultOk;
}

void Premultiply(const ImageView& image, const KernelContext& ctx)
{
    const common::HXLookupTables& t = ctx.tables;
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4)
                for (int c = 0; c < 3; ++c)
                    p[c] = t.Multiply(p[c], p[3]);
        }
    });
}

// A flat-topped, round-cornered lens kernel on a premultiplied image: a box, then a box of a
// third of the radius to round its corners. Cost per pixel does not depend on the radius.
int LensBlur(const ImageView& image, int radius, const KernelContext& ctx)
{
    for (int c = 0; c < 4; ++c) {
        const PlaneView plane = ChannelPlane(image, c);
        if (const int result = BoxBlurPlane(plane, radius, true, true, 1, ctx.threads))
            return result;
        if (radius >= 3)
            if (const int result = BoxBlurPlane(plane, radius / 3, true, true, 1, ctx.threads))
                return result;
    }
    return HXResultOk;
}

} // namespace

// args: blur (full-resolution pixels, times the display scale), bloom (0..1), scale.
// A lens blur of the premultiplied image; bloom adds the blurred highlights (luma above about
// 0.6, weighted up to white) once more, so bright points open into bright discs.
int Defocus(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const int radius = ScaledRadius(op.Arg(0), op.Arg(2), ctx);
    if (radius < 1)
        return HXResultOk;
    const double bloom = std::clamp(op.Arg(1), 0.0, 1.0);
    ImageBuffer highlights;
    if (bloom > 0.0) {
        highlights = CopyRegion(image, WholeImage(image), ctx.threads);
        const ImageView& h = highlights.view;
        Premultiply(h, ctx);
        const int ri = h.RedIndex(), bi = h.BlueIndex();
        ParallelFor(h.height, ctx.threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                std::uint8_t* p = h.Row(y);
                for (int x = 0; x < h.width; ++x, p += 4) {
                    const float l = Luma(p[ri], p[1], p[bi]) * kInv255;
                    const float w = std::clamp((l - 0.6f) * 2.5f, 0.0f, 1.0f);
                    for (int c = 0; c < 3; ++c)
                        p[c] = static_cast<std::uint8_t>(p[c] * w + 0.5f);
                }
            }
        });
        if (const int result = LensBlur(h, radius, ctx))
            return result;
    }
    Premultiply(image, ctx);
    if (const int result = LensBlur(image, radius, ctx))
        return result;
    const common::HXLookupTables& t = ctx.tables;
    const int gain = static_cast<int>(std::lround(bloom * 2.0 * 256.0));
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            const std::uint8_t* h = bloom > 0.0 ? highlights.view.Row(y) : nullptr;
            for (int x = 0; x < image.width; ++x, p += 4) {
                for (int c = 0; c < 3; ++c) {
                    const int boosted = h ? p[c] + ((h[4 * x + c] * gain + 128) >> 8) : p[c];
                    p[c] = t.Divide(static_cast<std::uint8_t>(std::min<int>(boosted, p[3])), p[3]);
                }
            }
        }
    });
    return HXResultOk;
}

// args: blur (full-resolution pixels, times the display scale), opacity, scale.
// A blurred copy screened onto the image at the opacity: highlights glow into their surroundings.
int Diffuse(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double opacity = std::clamp(op.Arg(1), 0.0, 1.0);
    const int radius = ScaledRadius(op.Arg(0), op.Arg(2), ctx);
    if (opacity <= 0.0 || radius < 1)
        return HXResultOk;
    return BlendBlurredCopy(image, WholeImage(image), radius, HXBlendModeScreen, opacity, ctx);
}

// args: blend mode, blur (full-resolution pixels, the display scale already applied), opacity,
// rectangle (left, top, right, bottom), scale.
// A blurred copy of the rectangle blended onto it with the mode at the opacity.
int SoftFocus(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    if (!IsBlendMode(op.Arg(0)))
        return HXResultBadArgument;
    const double opacity = std::clamp(op.Arg(2), 0.0, 1.0);
    const maths::HXRect region =
        maths::HXRect(int(op.Arg(3)), int(op.Arg(4)), int(op.Arg(5)), int(op.Arg(6))).Clipped(image.width, image.height);
    if (opacity <= 0.0 || region.IsEmpty())
        return HXResultOk;
    const int radius = ScaledRadius(op.Arg(1), 1.0, ctx);
    return BlendBlurredCopy(image, region, radius, static_cast<HXBlendMode>(int(op.Arg(0))), opacity, ctx);
}

// args: red, green, blue strengths (0..1 each, 0 neutral).
// Three-strip separation: each channel is filtered by the other two records' mattes
// (1 - (channel - mean of the other two)), then mixed with the original by its strength.
int ThreeStripColor(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const float kr = static_cast<float>(std::clamp(op.Arg(0), 0.0, 1.0));
    const float kg = static_cast<float>(std::clamp(op.Arg(1), 0.0, 1.0));
    const float kb = static_cast<float>(std::clamp(op.Arg(2), 0.0, 1.0));
    if (kr == 0.0f && kg == 0.0f && kb == 0.0f)
        return HXResultOk;
    MapColors(image, ctx, [=](float& r, float& g, float& b) {
        const float redMatte = 1.0f - (r - 0.5f * (g + b));
        const float greenMatte = 1.0f - (g - 0.5f * (r + b));
        const float blueMatte = 1.0f - (b - 0.5f * (r + g));
        const float sr = std::clamp(r * greenMatte * blueMatte, 0.0f, 1.0f);
        const float sg = std::clamp(g * redMatte * blueMatte, 0.0f, 1.0f);
        const float sb = std::clamp(b * redMatte * greenMatte, 0.0f, 1.0f);
        r += kr * (sr - r);
        g += kg * (sg - g);
        b += kb * (sb - b);
    });
    return HXResultOk;
}

// args: contrast (1 neutral), saturation (1 neutral), strength (0..1, 0 neutral).
// Silver retained in the print: the luma overlaid onto the colour, then saturation about the luma
// and contrast about middle grey, mixed with the original by the strength.
int BleachBypass(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const float strength = static_cast<float>(std::clamp(op.Arg(2), 0.0, 1.0));
    if (strength == 0.0f)
        return HXResultOk;
    // Beyond 64 every colour is already pushed to black or white; the cap keeps the floats finite.
    const float contrast = static_cast<float>(std::clamp(op.Arg(0), 0.0, 64.0));
    const float saturation = static_cast<float>(std::clamp(op.Arg(1), 0.0, 64.0));
    MapColors(image, ctx, [=](float& r, float& g, float& b) {
        const float l = Luma(r, g, b);
        float o[3] = {BlendChannel(HXBlendModeOverlay, r, l), BlendChannel(HXBlendModeOverlay, g, l),
                      BlendChannel(HXBlendModeOverlay, b, l)};
        const float lo = Luma(o[0], o[1], o[2]);
        for (float& v : o)
            v = std::clamp(0.5f + contrast * (lo + saturation * (v - lo) - 0.5f), 0.0f, 1.0f);
        r += strength * (o[0] - r);
        g += strength * (o[1] - g);
        b += strength * (o[2] - b);
    });
    return HXResultOk;
}

// args: type (0 linear, 1 radial), origin x, origin y (this factor's pixels, y negated), angle
// (degrees, counter-clockwise from the x axis), blur (full-resolution pixels), spread, range,
// transparency, size (this factor's pixels), rectangle (left, top, right, bottom), scale.
// Inside the rectangle the blur grows with the distance from the focus: the line through the
// origin at the angle (linear) or the origin itself (radial). Within range * size / 2 of it the
// image stays sharp; the blur then reaches its full radius over a further (1 - range) * size / 2
// + spread * size. Transparency weakens the whole effect (1: none). Each pixel is interpolated
// between the two nearest of up to four blurred copies.
int DepthOfField(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const maths::HXRect region = maths::HXRect(int(op.Arg(9)), int(op.Arg(10)), int(op.Arg(11)), int(op.Arg(12)))
                                     .Clipped(image.width, image.height);
    const int radius = ScaledRadius(op.Arg(4), 1.0, ctx);
    const double strength = 1.0 - std::clamp(op.Arg(7), 0.0, 1.0);
    if (region.IsEmpty() || radius < 1 || strength <= 0.0)
        return HXResultOk;
    const bool radial = op.Arg(0) == 1.0;
    const double ox = op.Arg(1), oy = -op.Arg(2);
    const double angle = op.Arg(3) * std::numbers::pi / 180.0;
    // The normal of the focus line in image coordinates (y down).
    const double nx = std::sin(angle), ny = std::cos(angle);
    const double size = op.Arg(8) > 0.0 ? op.Arg(8) : double(std::max(image.width, image.height));
    const double half = std::max(0.0, op.Arg(6)) * size / 2.0;
    const double ramp = std::max(1.0, size / 2.0 - half + op.Arg(5) * size);
    const int levels = std::min(4, radius);

    // Position in the pyramid, in 1/256 of a level.
    const auto levelOf = [&](int x, int y) {
        const double dx = x + 0.5 - ox, dy = y + 0.5 - oy;
        const double distance = radial ? std::sqrt(dx * dx + dy * dy) : std::fabs(dx * nx + dy * ny);
        const double amount = std::clamp((distance - half) / ramp, 0.0, 1.0) * strength;
        return static_cast<int>(std::lround(amount * levels * 256.0));
    };

    const int rw = region.Width(), rh = region.Height();
    ImageBuffer original = CopyRegion(image, region, ctx.threads);
    ImageBuffer buffers[2] = {CopyRegion(image, region, ctx.threads), CopyRegion(image, region, ctx.threads)};
    const ImageView* lower = &original.view;
    for (int k = 1; k <= levels; ++k) {
        const ImageView& upper = buffers[k & 1].view;
        if (k > 1)
            std::memcpy(upper.data, original.view.data, upper.Bytes());
        const int r = std::max(1, (radius * k + levels / 2) / levels);
        if (const int result = StackBlurImage(upper, r, true, true, HXChannelsColorAndAlpha, ctx.threads))
            return result;
        // Pixels between level k - 1 and k (the last band includes its top).
        ParallelFor(rh, ctx.threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                std::uint8_t* out = image.Pixel(region.left, region.top + y);
                const std::uint8_t* a = lower->Row(y);
                const std::uint8_t* b = upper.Row(y);
                for (int x = 0; x < rw; ++x, out += 4, a += 4, b += 4) {
                    const int position = levelOf(region.left + x, region.top + y);
                    const int band = std::min(levels - 1, position >> 8);
                    if (band != k - 1)
                        continue;
                    const int f = position - (band << 8);
                    if (f == 0) {
                        std::memcpy(out, a, 4);
                        continue;
                    }
                    const int wa = a[3] * (256 - f), wb = b[3] * f;
                    const int weight = wa + wb;
                    if (weight == 0) {
                        std::memcpy(out, a, 4);
                        out[3] = 0;
                        continue;
                    }
                    for (int c = 0; c < 3; ++c)
                        out[c] = static_cast<std::uint8_t>((a[c] * wa + b[c] * wb + weight / 2) / weight);
                    out[3] = static_cast<std::uint8_t>((weight + 128) >> 8);
                }
            }
        });
        lower = &upper;
    }
    return HXResultOk;
}

} // namespace hvn::image::kernels
