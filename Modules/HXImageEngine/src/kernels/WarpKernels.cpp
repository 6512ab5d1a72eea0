#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace hvn::image::kernels {

namespace {

struct Point {
    double x, y;
};

// The projective map of the unit square onto a quad (corners top-left, top-right, bottom-right,
// bottom-left for (0,0), (1,0), (1,1), (0,1)), and its inverse.
struct Homography {
    double m[9] = {};

    static bool FromUnitSquare(const std::array<Point, 4>& q, Homography& h)
    {
        const double sx = q[0].x - q[1].x + q[2].x - q[3].x;
        const double sy = q[0].y - q[1].y + q[2].y - q[3].y;
        double g = 0.0, k = 0.0;
        if (sx != 0.0 || sy != 0.0) {
            const double dx1 = q[1].x - q[2].x, dx2 = q[3].x - q[2].x;
            const double dy1 = q[1].y - q[2].y, dy2 = q[3].y - q[2].y;
            const double den = dx1 * dy2 - dx2 * dy1;
            if (den == 0.0)
                return false;
            g = (sx * dy2 - dx2 * sy) / den;
            k = (dx1 * sy - sx * dy1) / den;
        }
        h.m[0] = q[1].x - q[0].x + g * q[1].x;
        h.m[1] = q[3].x - q[0].x + k * q[3].x;
        h.m[2] = q[0].x;
        h.m[3] = q[1].y - q[0].y + g * q[1].y;
        h.m[4] = q[3].y - q[0].y + k * q[3].y;
        h.m[5] = q[0].y;
        h.m[6] = g;
        h.m[7] = k;
        h.m[8] = 1.0;
        return true;
    }

    bool Inverse(Homography& inv) const
    {
        const double* a = m;
        const double c0 = a[4] * a[8] - a[5] * a[7];
        const double c1 = a[5] * a[6] - a[3] * a[8];
        const double c2 = a[3] * a[7] - a[4] * a[6];
        const double det = a[0] * c0 + a[1] * c1 + a[2] * c2;
        if (std::fabs(det) < 1e-12)
            return false;
        const double r = 1.0 / det;
        inv.m[0] = c0 * r;
        inv.m[1] = (a[2] * a[7] - a[1] * a[8]) * r;
        inv.m[2] = (a[1] * a[5] - a[2] * a[4]) * r;
        inv.m[3] = c1 * r;
        inv.m[4] = (a[0] * a[8] - a[2] * a[6]) * r;
        inv.m[5] = (a[2] * a[3] - a[0] * a[5]) * r;
        inv.m[6] = c2 * r;
        inv.m[7] = (a[1] * a[6] - a[0] * a[7]) * r;
        inv.m[8] = (a[0] * a[4] - a[1] * a[3]) * r;
        return true;
    }
};

// Bilinear alpha of the source at (sx, sy) (pixel centres at +0.5), taps clamped to the rectangle.
// Bilinear alpha at (sx, sy) of the rectangle `full`, whose part inside the source is `rect`. At
// an edge of the rectangle the edge pixels extend; where the rectangle reaches beyond the image
// there is nothing to cast.
std::uint8_t SampleAlpha(const ImageView& source, const maths::HXRect& full, const maths::HXRect& rect, double sx,
                         double sy)
{
    constexpr double kBeyond = 1e9;
    const double loX = full.left < rect.left ? -kBeyond : rect.left;
    const double hiX = full.right > rect.right ? kBeyond : rect.right - 1;
    const double loY = full.top < rect.top ? -kBeyond : rect.top;
    const double hiY = full.bottom > rect.bottom ? kBeyond : rect.bottom - 1;
    const double fx = std::clamp(sx - 0.5, loX, hiX);
    const double fy = std::clamp(sy - 0.5, loY, hiY);
    const double flx = std::floor(fx), fly = std::floor(fy);
    const int x0 = static_cast<int>(flx), y0 = static_cast<int>(fly);
    const int x1 = full.right > rect.right ? x0 + 1 : std::min(x0 + 1, rect.right - 1);
    const int y1 = full.bottom > rect.bottom ? y0 + 1 : std::min(y0 + 1, rect.bottom - 1);
    const auto tap = [&](int x, int y) -> int {
        return x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom ? 0 : source.Pixel(x, y)[3];
    };
    const int wx = static_cast<int>((fx - flx) * 256.0 + 0.5), wy = static_cast<int>((fy - fly) * 256.0 + 0.5);
    const int top = tap(x0, y0) * (256 - wx) + tap(x1, y0) * wx;
    const int bottom = tap(x0, y1) * (256 - wx) + tap(x1, y1) * wx;
    return static_cast<std::uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
}

} // namespace

// args: source rectangle (left, top, right, bottom, source pixels), quad (x and y of the corners
// from top-left clockwise, destination pixels of this factor), blur (full-resolution pixels), opacity,
// colour (red, green, blue), blend mode, background visible, factor.
// The source alpha inside the rectangle is mapped onto the quad by the homography of the rectangle
// onto it, sampled bilinearly. The blur grows from 0 at the quad's bottom edge (where the subject
// stands) to the full radius at its top edge, interpolated per pixel between a few blurred copies.
// The shadow takes the colour and is composited with the blend mode; with no background below it
// is drawn Normal, since the modes are meant for darkening a photograph.
int ShadowCastLayer(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!op.image || !IsBlendMode(op.Arg(17)) || !FiniteArgs(op) || !std::isfinite(ctx.opacity))
        return HXResultBadArgument;
    const ImageView source = ViewOf(*op.image);
    if (op.image->BitsPerChannel() != HXBitsPerChannel8 || (!source.data && source.width > 0 && source.height > 0))
        return HXResultBadArgument;
    // The whole rectangle maps onto the quad; only its part inside the image has alpha to cast.
    const maths::HXRect full(int(op.Arg(0)), int(op.Arg(1)), int(op.Arg(2)), int(op.Arg(3)));
    const maths::HXRect rect = full.Clipped(source.width, source.height);
    const double opacity = std::clamp(op.Arg(13), 0.0, 1.0) * std::clamp(ctx.opacity, 0.0, 1.0);
    if (rect.IsEmpty() || opacity <= 0.0)
        return HXResultOk;

    std::array<Point, 4> quad;
    for (int i = 0; i < 4; ++i)
        quad[i] = Point{op.Arg(4 + 2 * i), op.Arg(5 + 2 * i)};
    Homography forward, inverse;
    if (!Homography::FromUnitSquare(quad, forward) || !forward.Inverse(inverse))
        return HXResultOk; // a quad without area casts nothing

    const double factorArg = op.Arg(19);
    const HXDownsampleFactor factor =
        factorArg >= 0.0 && factorArg <= 3.0 ? static_cast<HXDownsampleFactor>(int(factorArg)) : ctx.factor;
    const int radius = CappedRadius(op.Arg(12) * DownsampleValue(factor), false);
    const int margin = radius > 0 ? 2 * radius + 1 : 0;
    double minX = quad[0].x, maxX = quad[0].x, minY = quad[0].y, maxY = quad[0].y;
    for (const Point& p : quad) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const auto toInt = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
    const maths::HXRect box = maths::HXRect(toInt(std::floor(minX)) - margin, toInt(std::floor(minY)) - margin,
                                            toInt(std::ceil(maxX)) + margin, toInt(std::ceil(maxY)) + margin)
                                  .Clipped(image.width, image.height);
    if (box.IsEmpty())
        return HXResultOk;
    const int bw = box.Width(), bh = box.Height();
    const std::size_t planeSize = static_cast<std::size_t>(bw) * bh;

    // The warped alpha, and how far each pixel lies from the contact edge (0 there, 255 at the top).
    std::vector<std::uint8_t> alpha(planeSize), distance(planeSize);
    const double rw = double(full.right) - full.left, rh = double(full.bottom) - full.top;
    ParallelFor(bh, ctx.threads, [&](int begin, int end) {
        const double* h = inverse.m;
        for (int y = begin; y < end; ++y) {
            std::uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * bw;
            std::uint8_t* d = distance.data() + static_cast<std::size_t>(y) * bw;
            const double py = box.top + y + 0.5;
            for (int x = 0; x < bw; ++x) {
                const double px = box.left + x + 0.5;
                const double w = h[6] * px + h[7] * py + h[8];
                if (w <= 0.0) {
                    a[x] = 0;
                    d[x] = 255;
                    continue;
                }
                const double u = (h[0] * px + h[1] * py + h[2]) / w;
                const double v = (h[3] * px + h[4] * py + h[5]) / w;
                d[x] = static_cast<std::uint8_t>(std::lround(std::clamp(1.0 - v, 0.0, 1.0) * 255.0));
                const bool inside = u >= 0.0 && u <= 1.0 && v >= 0.0 && v <= 1.0;
                a[x] = inside ? SampleAlpha(source, full, rect, full.left + u * rw, full.top + v * rh) : 0;
            }
        }
    });

    if (radius > 0) {
        const int levels = std::min(4, radius);
        std::vector<std::vector<std::uint8_t>> blurred(levels);
        for (int k = 0; k < levels; ++k) {
            blurred[k] = alpha;
            const int r = std::max(1, (radius * (k + 1) + levels / 2) / levels);
            const PlaneView plane{blurred[k].data(), bw, bh, 1, bw};
            if (const int result = BoxBlurPlane(plane, r, true, true, 2, ctx.threads))
                return result;
        }
        ParallelFor(bh, ctx.threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * bw;
                for (int x = 0; x < bw; ++x) {
                    const int s = distance[row + x] * levels; // level position in 1/255 steps
                    const int k = std::min(levels - 1, s / 255);
                    const int f = s - 255 * k;
                    const int lower = k == 0 ? alpha[row + x] : blurred[k - 1][row + x];
                    const int upper = blurred[k][row + x];
                    alpha[row + x] = static_cast<std::uint8_t>((lower * (255 - f) + upper * f + 127) / 255);
                }
            }
        });
        // Pixels in the lowest band use the sharp alpha, so the bands are written in place.
    }

    const HXBlendMode mode = op.Arg(18) != 0.0 ? static_cast<HXBlendMode>(int(op.Arg(17))) : HXBlendModeNormal;
    const AlphaScale alphaScale = MakeAlphaScale(opacity);
    std::uint8_t color[4] = {};
    color[image.RedIndex()] = static_cast<std::uint8_t>(std::clamp(op.Arg(14), 0.0, 255.0));
    color[1] = static_cast<std::uint8_t>(std::clamp(op.Arg(15), 0.0, 255.0));
    color[image.BlueIndex()] = static_cast<std::uint8_t>(std::clamp(op.Arg(16), 0.0, 255.0));
    std::vector<std::uint8_t> shadowRows(static_cast<std::size_t>(bw) * 4 * bh);
    ParallelFor(bh, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* s = shadowRows.data() + static_cast<std::size_t>(y) * bw * 4;
            const std::uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * bw;
            for (int x = 0; x < bw; ++x) {
                std::memcpy(s + 4 * x, color, 3);
                s[4 * x + 3] = a[x];
            }
            CompositeRow(mode, image.Pixel(box.left, box.top + y), s, bw, alphaScale);
        }
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
