#include "kernels/KeyColor.h"
#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <cmath>
#include <cstring>
#include <omp.h>
#include <vector>

namespace hvn::image::kernels {

namespace {

// A radius or distance given in full-resolution pixels, in pixels of this render.
int ScaledRadius(double value, const KernelContext& ctx)
{
    if (!(value > 0.0))
        return 0;
    return static_cast<int>(std::lround(std::min(value * ctx.scale, 1.0e6)));
}

// A finite value limited to [low, high]; NaN becomes `fallback`.
double Finite(double value, double low, double high, double fallback)
{
    return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

// ---------------------------------------------------------------------------------------------
// UV blur: chroma (full-range YCbCr, BT.601) is blurred, luma is kept. The colour change is added
// to the original bytes, so a region of even chroma keeps its bytes exactly.

std::uint8_t ChromaBlue(int r, int g, int b)
{
    return static_cast<std::uint8_t>(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
}

std::uint8_t ChromaRed(int r, int g, int b)
{
    return static_cast<std::uint8_t>(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
}

} // namespace

int YUVBlur(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const int radius = ScaledRadius(op.Arg(0), ctx);
    const int type = static_cast<int>(op.Arg(1));
    if (type < HXYUVBlurHorizontal || type > HXYUVBlurGaussian)
        return HXResultBadArgument;
    if (radius == 0)
        return HXResultOk;
    const bool horizontal = type != HXYUVBlurVertical;
    const bool vertical = type != HXYUVBlurHorizontal;
    const int passes = type == HXYUVBlurGaussian ? 3 : 1;
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;

    // Planes: chroma blue, chroma red (weighted by alpha), alpha. Made before any parallel work.
    std::vector<std::uint8_t> planes(count * 3u);
    std::uint8_t* cb = planes.data();
    std::uint8_t* cr = cb + count;
    std::uint8_t* alpha = cr + count;
    const std::uint8_t* multiply = ctx.tables.MultiplyTable();
    int translucentRows = 0;
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        int translucent = 0;
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* p = image.Row(y);
            const std::size_t row = static_cast<std::size_t>(y) * image.width;
            for (int x = 0; x < image.width; ++x, p += 4) {
                const std::uint8_t a = p[3];
                cb[row + x] = multiply[(a << 8) | ChromaBlue(p[ri], p[1], p[bi])];
                cr[row + x] = multiply[(a << 8) | ChromaRed(p[ri], p[1], p[bi])];
                alpha[row + x] = a;
                translucent |= a != 255;
            }
        }
        if (translucent) {
#pragma omp atomic write
            translucentRows = 1;
        }
    });
    const auto plane = [&](std::uint8_t* data) {
        return PlaneView{data, image.width, image.height, 1, static_cast<std::ptrdiff_t>(image.width)};
    };
    for (std::uint8_t* data : {cb, cr})
        if (const int result = BoxBlurPlane(plane(data), radius, horizontal, vertical, passes, ctx.threads))
            return result;
    // Weights are only needed where some pixel is not opaque.
    if (translucentRows)
        if (const int result = BoxBlurPlane(plane(alpha), radius, horizontal, vertical, passes, ctx.threads))
            return result;

    const std::uint8_t* divide = ctx.tables.DivideTable();
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            const std::size_t row = static_cast<std::size_t>(y) * image.width;
            for (int x = 0; x < image.width; ++x, p += 4) {
                const int a = translucentRows ? alpha[row + x] : 255;
                if (a == 0 || p[3] == 0)
                    continue; // nothing to take chroma from, or nothing to show
                const int r = p[ri];
                const int g = p[1];
                const int b = p[bi];
                const int du = divide[(a << 8) | cb[row + x]] - ChromaBlue(r, g, b);
                const int dv = divide[(a << 8) | cr[row + x]] - ChromaRed(r, g, b);
                // Inverse BT.601 in Q16: R += 1.402 V, G -= 0.344 U + 0.714 V, B += 1.772 U.
                const int nr = r + ((91881 * dv + 32768) >> 16);
                const int ng = g - ((22554 * du + 46802 * dv + 32768) >> 16);
                const int nb = b + ((116130 * du + 32768) >> 16);
                p[ri] = static_cast<std::uint8_t>(std::clamp(nr, 0, 255));
                p[1] = static_cast<std::uint8_t>(std::clamp(ng, 0, 255));
                p[bi] = static_cast<std::uint8_t>(std::clamp(nb, 0, 255));
            }
        }
    });
    return HXResultOk;
}

// ---------------------------------------------------------------------------------------------
// Colour-difference key against a local backdrop estimate.
//
// The difference D = K - (detail * max(O1, O2) + (1 - detail) * (O1 + O2) / 2) of a pixel (K the
// key channel) is near 0 on a neutral or skin-toned subject and large on the backdrop. A pixel
// mixing subject and backdrop B has D close to (1 - alpha) * D(B), so alpha = 1 - D / D(B). The
// backdrop is never one colour (fall-off, hot spots, shadows, folds), so D(B) comes from a clean
// plate estimated on a coarse grid: each cell takes the mean colour of its own confidently-backdrop
// pixels, cells under the subject are filled in from their neighbours, and the grid is
// interpolated bilinearly. Backdrop pixels are told by their purity D / K, which light and shadow
// leave alone but any mix with the subject lowers, so a shadow counts as backdrop while a veil or
// a mat of hair over the backdrop does not. Semi-transparent pixels then have the backdrop's
// colour taken out of them (colour unmixing), so hair and glass carry no backdrop colour into the
// composite.

namespace {

// Grid cell side in full-resolution pixels; scaled with the render so that previews agree.
constexpr double kCellSide = 64.0;
constexpr int kBins = 64; // histogram of purity D / K per cell, in 64ths
// Backdrop pixels are at least this pure, relative to the purest 3 % of the frame.
constexpr double kSelectShare = 0.8;
// Pixels darker than this in the key channel tell nothing about purity.
constexpr int kMinimumKey = 16;
constexpr int kMinimumBackdropD = 12;
// Width of the opaque band: alpha reaches 1 when D has fallen to this share of the backdrop's,
// scaled by the grey threshold ("softness" runs the other way).
constexpr double kOpaqueShare = 0.7;

struct KeyChannels {
    int key;
    int other1;
    int other2;
};

struct RefColor {
    float c[3]; // bytes 0, 1, 2 of a pixel
};

// D in 1/512 levels, integers so that the statistics do not depend on rounding.
inline int Difference512(int k, int o1, int o2, int detail256)
{
    const int mx = std::max(o1, o2);
    return 512 * k - detail256 * 2 * mx - (256 - detail256) * (o1 + o2);
}

float DifferenceOf(const RefColor& color, const KeyChannels& ch, float detail)
{
    const float o1 = color.c[ch.other1];
    const float o2 = color.c[ch.other2];
    return color.c[ch.key] - (detail * std::max(o1, o2) + (1.0f - detail) * 0.5f * (o1 + o2));
}

// The level reached by the brightest `share` of the histogram (at least a few pixels), as a bin.
int TopBin(const std::uint64_t* counts, std::uint64_t total, double share)
{
    const std::uint64_t need = std::max<std::uint64_t>(2, static_cast<std::uint64_t>(double(total) * share));
    std::uint64_t seen = 0;
    for (int b = kBins - 1; b > 0; --b) {
        seen += counts[b];
        if (seen >= need)
            return b;
    }
    return 0;
}

// Fills cells without a backdrop estimate from their estimated neighbours, ring by ring, then
// smooths the filled cells with a 1-2-1 kernel; measured cells keep their own colour, so a shadow
// a cell or two wide is followed. Runs on one thread: the grid is small.
void FillAndSmooth(std::vector<RefColor>& grid, std::vector<std::uint8_t>& known, int gw, int gh)
{
    const std::vector<std::uint8_t> measured = known;
    std::vector<RefColor> next = grid;
    std::vector<std::uint8_t> nextKnown = known;
    for (bool missing = true; missing;) {
        missing = false;
        bool grew = false;
        for (int y = 0; y < gh; ++y) {
            for (int x = 0; x < gw; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * gw + x;
                if (known[i])
                    continue;
                float sum[3] = {0, 0, 0};
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx;
                        const int ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= gw || ny >= gh)
                            continue;
                        const std::size_t j = static_cast<std::size_t>(ny) * gw + nx;
                        if (!known[j])
                            continue;
                        for (int c = 0; c < 3; ++c)
                            sum[c] += grid[j].c[c];
                        ++n;
                    }
                if (n == 0) {
                    missing = true;
                    continue;
                }
                for (int c = 0; c < 3; ++c)
                    next[i].c[c] = sum[c] / float(n);
                nextKnown[i] = 1;
                grew = true;
            }
        }
        grid = next;
        known = nextKnown;
        if (!grew)
            break;
    }
    // The ring fill only averages the nearest ring, so light under a wide subject comes out flat
    // and a shadow at the subject's edge is carried too far inwards (green-ish cloth over it then
    // keys as semi-transparent). Relaxing the filled cells towards a membrane (Laplace) surface
    // follows the light gradients around the subject instead. Successive over-relaxation from the
    // ring fill converges in a fixed number of sweeps on grids of this size (a render and its
    // preview have the same grid); in-place sweeps on one thread keep the result repeatable.
    constexpr int kSweeps = 40;
    constexpr float kOverRelaxation = 1.8f;
    // The cells to relax and their neighbours (left, right, above, below, those inside the grid),
    // listed once in sweep order so that each sweep is a plain walk.
    struct Relaxed {
        std::uint32_t cell;
        std::uint32_t neighbours[4];
        int count;
    };
    std::vector<Relaxed> relaxed;
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * gw + x;
            if (measured[i] || !known[i])
                continue;
            Relaxed r{static_cast<std::uint32_t>(i), {}, 0};
            const auto add = [&](int nx, int ny) {
                if (nx >= 0 && ny >= 0 && nx < gw && ny < gh)
                    r.neighbours[r.count++] = static_cast<std::uint32_t>(ny * gw + nx);
            };
            add(x - 1, y);
            add(x + 1, y);
            add(x, y - 1);
            add(x, y + 1);
            relaxed.push_back(r);
        }
    for (int sweep = 0; sweep < kSweeps; ++sweep)
        for (const Relaxed& r : relaxed) {
            float sum[3] = {0, 0, 0};
            for (int j = 0; j < r.count; ++j) {
                const RefColor& c = grid[r.neighbours[j]];
                for (int k = 0; k < 3; ++k)
                    sum[k] += c.c[k];
            }
            RefColor& cell = grid[r.cell];
            for (int k = 0; k < 3; ++k)
                cell.c[k] += kOverRelaxation * (sum[k] / float(r.count) - cell.c[k]);
        }
    next = grid;
    const auto smooth = [&](bool horizontal) {
        for (int y = 0; y < gh; ++y)
            for (int x = 0; x < gw; ++x) {
                const int x0 = horizontal ? std::max(0, x - 1) : x;
                const int x1 = horizontal ? std::min(gw - 1, x + 1) : x;
                const int y0 = horizontal ? y : std::max(0, y - 1);
                const int y1 = horizontal ? y : std::min(gh - 1, y + 1);
                const RefColor& a = grid[static_cast<std::size_t>(y0) * gw + x0];
                const RefColor& b = grid[static_cast<std::size_t>(y) * gw + x];
                const RefColor& c = grid[static_cast<std::size_t>(y1) * gw + x1];
                if (measured[static_cast<std::size_t>(y) * gw + x])
                    continue;
                for (int k = 0; k < 3; ++k)
                    next[static_cast<std::size_t>(y) * gw + x].c[k] = 0.25f * (a.c[k] + 2.0f * b.c[k] + c.c[k]);
            }
        grid = next;
    };
    smooth(true);
    smooth(false);
}

// The clean plate along a run of pixels [x0, x1) of a row: plane p (the backdrop's bytes 0..2,
// then 1 / D of the backdrop) is start[p] + (x + 0.5 - left) * step[p].
struct PlateSpan {
    int x0, x1;
    float left;
    float start[4];
    float step[4];
};

// The spans of one row from the grid row `cells` (four planes of gw values, centres at
// (i + 0.5) * side): linear between neighbouring centres, held beyond the first and last. A
// pixel belongs to the span whose right centre x + 0.5 has not reached. Returns the count.
int PlateSpans(const float* cells, int gw, float side, int width, PlateSpan* spans)
{
    int count = 0;
    const auto add = [&](int x0, int x1, float left, int i, bool held) {
        if (x1 <= x0)
            return;
        PlateSpan& span = spans[count++];
        span.x0 = x0;
        span.x1 = x1;
        span.left = left;
        for (int p = 0; p < 4; ++p) {
            const float* plane = cells + p * gw;
            span.start[p] = plane[i];
            span.step[p] = held ? 0.0f : (plane[i + 1] - plane[i]) / side;
        }
    };
    // x + 0.5 <= side / 2 up to floor(side / 2 - 0.5).
    int x = std::min(width, static_cast<int>(std::floor(0.5f * side - 0.5f)) + 1);
    add(0, x, 0.0f, 0, true);
    for (int i = 0; i + 1 < gw && x < width; ++i) {
        // x + 0.5 < (i + 1.5) side below ceil((i + 1.5) side - 0.5).
        const int end = std::min(width, static_cast<int>(std::ceil((float(i) + 1.5f) * side - 0.5f)));
        add(x, end, (float(i) + 0.5f) * side, i, false);
        x = std::max(x, end);
    }
    add(x, width, 0.0f, gw - 1, true);
    return count;
}

template <int Byte>
inline float ByteOf(std::uint32_t v)
{
    return static_cast<float>(static_cast<int>((v >> (8 * Byte)) & 255u));
}

// The key channel at byte offset Key and the other two colour bytes (their order does not matter).
template <int Key>
struct KeyLayout {
    static constexpr int other1 = Key == 0 ? 1 : 0;
    static constexpr int other2 = Key == 2 ? 1 : 2;
};

// What the statistics need of a pixel: D / 8 floored at 0 (so D * 64 / (512 K) is n / K) and K.
// D = 512 K - 2 detail256 max(O1, O2) - (256 - detail256) (O1 + O2) in 1/512 levels; every
// intermediate is an integer below 2^24, so float arithmetic is exact and vectorises.
struct PurityTerms {
    float maxWeight; // 2 detail256
    float sumWeight; // 256 - detail256
};

template <int Key>
inline void Purity(std::uint32_t v, const PurityTerms& t, float& n, float& k)
{
    k = ByteOf<Key>(v);
    const float o1 = ByteOf<KeyLayout<Key>::other1>(v);
    const float o2 = ByteOf<KeyLayout<Key>::other2>(v);
    const float d = 512.0f * k - t.maxWeight * std::max(o1, o2) - t.sumWeight * (o1 + o2);
    n = static_cast<float>(static_cast<int>(std::max(d, 0.0f) * 0.125f));
}

// Purity bins of one row (kBins for a transparent pixel, which counts nowhere). The purity is
// n / K rounded down: n <= 16320 and K <= 255, so the float quotient of two integers is never
// within rounding of the next integer and truncating it is exact.
template <int Key>
[[gnu::always_inline]] inline void PurityRow(const std::uint8_t* __restrict row, int width, const PurityTerms& t, std::uint8_t* __restrict bins)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = LoadPixel(row + 4 * x);
        float n, k;
        Purity<Key>(v, t, n, k);
        const std::uint32_t purity = static_cast<std::uint32_t>(std::min(kBins - 1, static_cast<int>(n / std::max(k, 1.0f))));
        const std::uint32_t bin = purity & SelectMask(k >= float(kMinimumKey));
        const std::uint32_t visible = SelectMask((v >> 24) != 0);
        bins[x] = static_cast<std::uint8_t>((bin & visible) | (kBins & ~visible));
    }
}

// Sums over the pixels [x0, x1) of one row of a cell: pixels that count (alpha above 0) and the
// count and colour of those of at least the chosen purity (n >= first K, the same as
// floor(n / K) >= first).
struct CellSums {
    std::uint32_t total;
    std::uint32_t count;
    std::uint32_t c[3];
};

template <int Key>
[[gnu::always_inline]] inline void SumBackdrop(const std::uint8_t* __restrict row, int x0, int x1, const PurityTerms& t, float first,
                 CellSums& sums)
{
    std::uint32_t total = 0, count = 0, c0 = 0, c1 = 0, c2 = 0;
    for (int x = x0; x < x1; ++x) {
        const std::uint32_t v = LoadPixel(row + 4 * x);
        float n, k;
        Purity<Key>(v, t, n, k);
        const std::uint32_t visible = SelectMask((v >> 24) != 0);
        const std::uint32_t mask = visible & SelectMask(k >= float(kMinimumKey)) & SelectMask(n >= first * k);
        total += visible & 1u;
        count += mask & 1u;
        c0 += v & 255u & mask;
        c1 += (v >> 8) & 255u & mask;
        c2 += (v >> 16) & 255u & mask;
    }
    sums.total += total;
    sums.count += count;
    sums.c[0] += c0;
    sums.c[1] += c1;
    sums.c[2] += c2;
}

// How D becomes alpha: alpha = clamp((1 - D / D(backdrop) - low) * span, 0, 1).
struct KeyShape {
    float detail;
    float low;
    float span;
};

// Alpha and unmixed colour of one row against the clean plate given by its spans.
template <int Key>
[[gnu::always_inline]] inline void KeyRow(std::uint8_t* __restrict row, const PlateSpan* spans, int count,
                                          const KeyShape& shape)
{
    const float detail = shape.detail;
    const float share = (1.0f - detail) * 0.5f;
    const float low = shape.low;
    const float span = shape.span;
    for (int s = 0; s < count; ++s) {
        const PlateSpan plate = spans[s];
        for (int x = plate.x0; x < plate.x1; ++x) {
            const float t = float(x) + 0.5f - plate.left;
            const float b0 = plate.start[0] + t * plate.step[0];
            const float b1 = plate.start[1] + t * plate.step[1];
            const float b2 = plate.start[2] + t * plate.step[2];
            const float inverseD = plate.start[3] + t * plate.step[3];
            const std::uint32_t v = LoadPixel(row + 4 * x);
            const float c0 = ByteOf<0>(v);
            const float c1 = ByteOf<1>(v);
            const float c2 = ByteOf<2>(v);
            const float k = ByteOf<Key>(v);
            const float o1 = ByteOf<KeyLayout<Key>::other1>(v);
            const float o2 = ByteOf<KeyLayout<Key>::other2>(v);
            const float d = k - (detail * std::max(o1, o2) + share * (o1 + o2));
            const float linear = 1.0f - d * inverseD;
            const float alpha = std::min(1.0f, std::max(0.0f, (linear - low) * span));
            // C = alpha F + (1 - alpha) B, so F = B + (C - B) / alpha; kept as C where alpha is 0.
            const float inverse = 1.0f / std::max(alpha, 1.0f / 255.0f);
            const std::uint32_t unmixed = SelectMask(alpha > 0.0f);
            const auto unmix = [&](float c, float b) {
                const float f = std::min(255.0f, std::max(0.0f, b + (c - b) * inverse));
                const std::uint32_t kept = static_cast<std::uint32_t>(static_cast<int>(c + 0.5f));
                return (static_cast<std::uint32_t>(static_cast<int>(f + 0.5f)) & unmixed) | (kept & ~unmixed);
            };
            const float a = ByteOf<3>(v);
            const std::uint32_t out = unmix(c0, b0) | unmix(c1, b1) << 8 | unmix(c2, b2) << 16 |
                                      static_cast<std::uint32_t>(static_cast<int>(alpha * a + 0.5f)) << 24;
            StorePixel(row + 4 * x, out);
        }
    }
}

// The three row functions for one key byte offset, in the baseline and the AVX2 build.
struct KeyRowFunctions {
    void (*purity)(const std::uint8_t*, int, const PurityTerms&, std::uint8_t*);
    void (*sum)(const std::uint8_t*, int, int, const PurityTerms&, float, CellSums&);
    void (*key)(std::uint8_t*, const PlateSpan*, int, const KeyShape&);
};

template <int Key>
struct RowBuilds {
    static void Purity(const std::uint8_t* row, int width, const PurityTerms& t, std::uint8_t* bins)
    {
        PurityRow<Key>(row, width, t, bins);
    }
    HX_TARGET_AVX2 static void PurityAvx2(const std::uint8_t* row, int width, const PurityTerms& t,
                                          std::uint8_t* bins)
    {
        PurityRow<Key>(row, width, t, bins);
    }
    static void Sum(const std::uint8_t* row, int x0, int x1, const PurityTerms& t, float first, CellSums& sums)
    {
        SumBackdrop<Key>(row, x0, x1, t, first, sums);
    }
    HX_TARGET_AVX2 static void SumAvx2(const std::uint8_t* row, int x0, int x1, const PurityTerms& t, float first,
                                       CellSums& sums)
    {
        SumBackdrop<Key>(row, x0, x1, t, first, sums);
    }
    static void KeyBase(std::uint8_t* row, const PlateSpan* spans, int count, const KeyShape& shape)
    {
        KeyRow<Key>(row, spans, count, shape);
    }
    HX_TARGET_AVX2 static void KeyAvx2(std::uint8_t* row, const PlateSpan* spans, int count, const KeyShape& shape)
    {
        KeyRow<Key>(row, spans, count, shape);
    }
    static KeyRowFunctions Choose()
    {
        return HasAvx2() ? KeyRowFunctions{&PurityAvx2, &SumAvx2, &KeyAvx2} : KeyRowFunctions{&Purity, &Sum, &KeyBase};
    }
};

KeyRowFunctions RowFunctionsFor(int keyByte)
{
    return keyByte == 0 ? RowBuilds<0>::Choose() : keyByte == 1 ? RowBuilds<1>::Choose() : RowBuilds<2>::Choose();
}

} // namespace

int AutoColorDifferenceKey(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    int keyColor = static_cast<int>(op.Arg(0));
    if (keyColor < HXKeyColorAuto || keyColor > HXKeyColorBlue)
        return HXResultBadArgument;
    const double detail = Finite(op.Arg(1), 0.0, 1.0, 1.0);
    const double greyDetail = Finite(op.Arg(2), 0.0, 1.0, 0.0);
    const double greyThreshold = Finite(op.Arg(3), 0.0, 1.0, 0.0);
    if (keyColor == HXKeyColorAuto) {
        keyColor = DetectKeyColor(image, ctx.threads);
        if (keyColor == HXKeyColorAuto)
            keyColor = HXKeyColorGreen;
    }
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    const KeyChannels ch = keyColor == HXKeyColorBlue ? KeyChannels{bi, ri, 1} : KeyChannels{1, ri, bi};
    const int detail256 = static_cast<int>(std::lround(detail * 256.0));

    const int side = std::max(4, static_cast<int>(std::lround(kCellSide * ctx.scale)));
    const int gw = (image.width + side - 1) / side;
    const int gh = (image.height + side - 1) / side;
    const std::size_t cells = static_cast<std::size_t>(gw) * gh;
    const KeyRowFunctions rows = RowFunctionsFor(ch.key);
    const PurityTerms terms{float(2 * detail256), float(256 - detail256)};
    const int threads = std::max(1, ctx.threads);

    // 1. The frame's histogram of purity, one row of cells a task (integer counts, so the sum
    // does not depend on how rows are split).
    std::vector<std::array<std::uint64_t, kBins + 1>> cellRowCounts(static_cast<std::size_t>(gh));
    std::vector<std::uint8_t> binRows(static_cast<std::size_t>(threads) * image.width);
    ParallelFor(gh, threads, [&](int begin, int end) {
        std::uint8_t* binRow = binRows.data() + static_cast<std::size_t>(omp_get_thread_num()) * image.width;
        for (int gy = begin; gy < end; ++gy) {
            // Four interleaved histograms, so that runs of one bin do not wait on each other.
            std::uint32_t counts[4][kBins + 1] = {};
            const int y1 = std::min(image.height, (gy + 1) * side);
            for (int y = gy * side; y < y1; ++y) {
                rows.purity(image.Row(y), image.width, terms, binRow);
                int x = 0;
                for (; x + 4 <= image.width; x += 4) {
                    ++counts[0][binRow[x]];
                    ++counts[1][binRow[x + 1]];
                    ++counts[2][binRow[x + 2]];
                    ++counts[3][binRow[x + 3]];
                }
                for (; x < image.width; ++x)
                    ++counts[0][binRow[x]];
            }
            for (int b = 0; b <= kBins; ++b)
                cellRowCounts[gy][b] = std::uint64_t(counts[0][b]) + counts[1][b] + counts[2][b] + counts[3][b];
        }
    });

    // 2. The frame's backdrop level, then each cell's backdrop colour where it has one.
    std::uint64_t frame[kBins] = {};
    std::uint64_t framePixels = 0;
    for (const auto& counts : cellRowCounts)
        for (int b = 0; b < kBins; ++b) {
            frame[b] += counts[b];
            framePixels += counts[b];
        }
    const int frameTop = TopBin(frame, framePixels, 0.03);
    const int first = std::max(1, static_cast<int>(std::ceil(kSelectShare * frameTop)));
    // A frame whose purest pixels are barely coloured has no backdrop to estimate.
    const bool hasBackdrop = frameTop >= kBins / 10;
    std::vector<RefColor> grid(cells, RefColor{{0, 0, 0}});
    std::vector<std::uint8_t> known(cells, 0);
    double sum[3] = {0, 0, 0};
    std::uint64_t sumCount = 0;
    if (hasBackdrop) {
        std::vector<CellSums> sums(cells, CellSums{0, 0, {0, 0, 0}});
        ParallelFor(gh, threads, [&](int begin, int end) {
            for (int gy = begin; gy < end; ++gy) {
                CellSums* cellRow = sums.data() + static_cast<std::size_t>(gy) * gw;
                const int y1 = std::min(image.height, (gy + 1) * side);
                for (int y = gy * side; y < y1; ++y)
                    for (int gx = 0; gx < gw; ++gx)
                        rows.sum(image.Row(y), gx * side, std::min(image.width, (gx + 1) * side), terms,
                                 float(first), cellRow[gx]);
            }
        });
        for (std::size_t i = 0; i < cells; ++i) {
            const CellSums& cell = sums[i];
            const std::uint64_t n = cell.count;
            // A few pure pixels in a cell of subject (a gap in the hair) are too few to trust.
            if (n == 0 || n * 50 < cell.total)
                continue;
            for (int k = 0; k < 3; ++k) {
                grid[i].c[k] = static_cast<float>(double(cell.c[k]) / double(n));
                sum[k] += double(cell.c[k]);
            }
            sumCount += n;
            known[i] = 1;
        }
    }
    RefColor global{{0, 0, 0}};
    if (sumCount == 0) {
        // No backdrop anywhere: key against the pure key colour.
        global.c[ch.key] = 255.0f;
        std::fill(grid.begin(), grid.end(), global);
    } else {
        for (int k = 0; k < 3; ++k)
            global.c[k] = static_cast<float>(sum[k] / double(sumCount));
        FillAndSmooth(grid, known, gw, gh);
    }

    // "Removal" (grey detail 0) keys against the local backdrop and takes shadows and uneven light
    // out; grey detail 1 keys against the frame's backdrop, so shadows stay as a dark veil.
    const float keep = static_cast<float>(greyDetail);
    for (RefColor& cell : grid)
        for (int k = 0; k < 3; ++k)
            cell.c[k] = (1.0f - keep) * cell.c[k] + keep * global.c[k];

    // Per cell: the backdrop colour and 1 / D(backdrop), as planes for interpolation.
    const float detailF = static_cast<float>(detail256) / 256.0f;
    std::vector<float> planes(cells * 4u);
    for (std::size_t i = 0; i < cells; ++i) {
        for (int k = 0; k < 3; ++k)
            planes[k * cells + i] = grid[i].c[k];
        const float d = std::max(float(kMinimumBackdropD), DifferenceOf(grid[i], ch, detailF));
        planes[3 * cells + i] = 1.0f / d;
    }

    // Alpha rises from 0 at D = D(B) (with a small allowance for noise) to 1 at D = opaque * D(B).
    const float low = 0.05f;
    const float high = static_cast<float>(1.0 - kOpaqueShare * greyThreshold);
    const float span = 1.0f / std::max(0.02f, high - low);

    const KeyShape shape{detailF, low, span};
    const std::size_t perThread = 4u * gw;
    std::vector<float> cellRows(static_cast<std::size_t>(threads) * perThread);
    std::vector<PlateSpan> spanRows(static_cast<std::size_t>(threads) * (gw + 2u));
    const float sideF = float(side);

    // 3. Alpha and unmixed colour, one row at a time against the interpolated clean plate.
    ParallelFor(image.height, threads, [&](int begin, int end) {
        const std::size_t thread = static_cast<std::size_t>(omp_get_thread_num());
        float* cellRow = cellRows.data() + thread * perThread;
        PlateSpan* spans = spanRows.data() + thread * (gw + 2u);
        for (int y = begin; y < end; ++y) {
            const float fy = (float(y) + 0.5f) / sideF - 0.5f;
            const int j0 = std::clamp(static_cast<int>(std::floor(fy)), 0, gh - 1);
            const int j1 = std::min(gh - 1, j0 + 1);
            const float wy = std::clamp(fy - float(j0), 0.0f, 1.0f);
            for (int k = 0; k < 4; ++k) {
                const float* a = planes.data() + k * cells + static_cast<std::size_t>(j0) * gw;
                const float* b = planes.data() + k * cells + static_cast<std::size_t>(j1) * gw;
                for (int i = 0; i < gw; ++i)
                    cellRow[k * gw + i] = a[i] + (b[i] - a[i]) * wy;
            }
            const int count = PlateSpans(cellRow, gw, sideF, image.width, spans);
            rows.key(image.Row(y), spans, count, shape);
        }
    });
    return HXResultOk;
}

// ---------------------------------------------------------------------------------------------
// Matte clean-up.

// The integer rectangle x0 = trunc(left w), y0 = trunc(top h), x1 = trunc(w - right w),
// y1 = trunc(h - bottom h) keeps its alpha; everything outside becomes transparent.
int AlphaCrop(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const double left = Finite(op.Arg(0), 0.0, 1.0, 0.0);
    const double top = Finite(op.Arg(1), 0.0, 1.0, 0.0);
    const double right = Finite(op.Arg(2), 0.0, 1.0, 0.0);
    const double bottom = Finite(op.Arg(3), 0.0, 1.0, 0.0);
    const double w = image.width;
    const double h = image.height;
    const int x0 = std::clamp(static_cast<int>(left * w), 0, image.width);
    const int y0 = std::clamp(static_cast<int>(top * h), 0, image.height);
    const int x1 = std::clamp(static_cast<int>(w - right * w), x0, image.width);
    const int y1 = std::clamp(static_cast<int>(h - bottom * h), y0, image.height);
    if (x0 == 0 && y0 == 0 && x1 == image.width && y1 == image.height)
        return HXResultOk;
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            const bool inside = y >= y0 && y < y1;
            for (int x = 0; x < image.width; ++x, p += 4)
                if (!inside || x < x0 || x >= x1)
                    p[3] = 0;
        }
    });
    return HXResultOk;
}

// Alpha levels: a' = clamp((a / 255 - black) / (white - black), 0, 1) * 255; with white at or
// below black, a threshold at black.
int AlphaSuperContrast(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const double black = Finite(op.Arg(0), 0.0, 1.0, 0.0);
    const double white = Finite(op.Arg(1), 0.0, 1.0, 1.0);
    if (black == 0.0 && white == 1.0)
        return HXResultOk;
    std::uint8_t table[256];
    for (int a = 0; a < 256; ++a) {
        const double v = a / 255.0;
        const double level = white > black ? (v - black) / (white - black) : (v >= black ? 1.0 : 0.0);
        table[a] = static_cast<std::uint8_t>(std::lround(std::clamp(level, 0.0, 1.0) * 255.0));
    }
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4)
                p[3] = table[p[3]];
        }
    });
    return HXResultOk;
}

int AlphaStackBlur(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const int radius = ScaledRadius(op.Arg(0), ctx);
    const bool horizontal = op.Arg(1) != 0.0;
    const bool vertical = op.Arg(2) != 0.0;
    if (radius == 0 || (!horizontal && !vertical))
        return HXResultOk;
    return StackBlurImage(image, radius, horizontal, vertical, HXChannelsAlpha, ctx.threads);
}

// Grey erosion (shrink), dilation (grow) or erosion then dilation (an opening, which removes
// specks smaller than the distance and keeps the rest of the matte where it was).
int WhiteErode(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const int direction = static_cast<int>(op.Arg(0));
    if (direction < HXWhiteErodeShrink || direction > HXWhiteErodeShrinkThenGrow)
        return HXResultBadArgument;
    const int distance = ScaledRadius(op.Arg(1), ctx);
    if (distance == 0)
        return HXResultOk;
    const PlaneView alpha = AlphaPlane(image);
    if (direction != HXWhiteErodeGrow)
        if (const int result = ErodePlane(alpha, distance, ctx.threads))
            return result;
    if (direction != HXWhiteErodeShrink)
        return DilatePlane(alpha, distance, ctx.threads);
    return HXResultOk;
}

} // namespace hvn::image::kernels
