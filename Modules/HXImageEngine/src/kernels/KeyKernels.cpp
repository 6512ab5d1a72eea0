#include "kernels/KeyColor.h"
#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <bit>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

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
    std::atomic<bool> anyTranslucent{false};
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
        if (translucent)
            anyTranslucent.store(true, std::memory_order_relaxed);
    });
    const bool translucentRows = anyTranslucent.load();
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
// key channel) is near 0 on a neutral subject and large on the backdrop. A pixel mixing subject F
// and backdrop B has D close to alpha D(F) + (1 - alpha) D(B), so with D(F) = 0,
// alpha = 1 - D / D(B). The steps:
// - Noise. D is smoothed over 3 x 3 pixels, joining only neighbours within a few noise sigmas (so
//   edges and strands keep their contrast), and the noise is measured on the backdrop (from steps
//   between clean pixels, which its light gradients barely touch): alpha starts a few sigmas below
//   the backdrop's D rather than at a fixed share of it, which in a dim, vignetted corner is
//   several times the allowance needed in the light. A pixel is keyed at all only next to a seed,
//   a pixel where D stands clear of the backdrop along a short line of pixels (strands, edges) or
//   over its smoothed neighbourhood (veils, glass); lone noisy pixels never are, while the faint
//   rims of a strand stay with it.
// - The clean plate. The backdrop is never one colour (fall-off, hot spots, shadows, folds), so
//   D(B) comes from a plate estimated on a coarse grid: each cell takes the mean colour of its
//   clean backdrop pixels, told by their purity D / K (which light and shadow leave alone but any
//   mix with the subject lowers), eroded by a pixel so that the rims of strands do not count; a
//   cell needs a fair share of such pixels to be trusted, the others are filled in from their
//   neighbours, and the grid is interpolated bilinearly.
// - Warm subjects. Skin, yellow, orange and red have D(F) < 0, so 1 - D / D(B) overshoots (up to
//   twice for orange) and their soft edges turn hard. Where a clearly warm subject pixel lies
//   nearby and a pixel sits on the line between the backdrop and that colour, alpha is the share of
//   the way along that line instead.
// - Bright colours. F = B + (C - B) / alpha cannot leave the range of a byte, which bounds alpha
//   from below where a pixel is brighter than the backdrop in another channel than the key (cyan
//   or khaki with backdrop spill on them).
// Semi-transparent pixels then have the backdrop's colour taken out of them (colour unmixing), so
// hair and glass carry no backdrop colour into the composite.

namespace {

// Grid cell side in full-resolution pixels; scaled with the render so that previews agree.
constexpr double kCellSide = 64.0;
// Cells of the nearby-subject colours: a quarter of a plate cell across, half in a preview so that
// they stay at least 8 pixels wide (plate cells are a multiple of four pixels, so a row of plate
// cells holds whole rows of fine cells).
constexpr int kFinePerCell = 4;
constexpr int kBins = 64; // purity D / K, in 64ths
// Backdrop pixels are at least this pure, relative to the purest 3 % of the frame.
constexpr double kSelectShare = 0.85;
// Pixels darker than this in the key channel tell nothing about purity.
constexpr int kMinimumKey = 16;
constexpr int kMinimumBackdropD = 12;
// A cell's own backdrop estimate is trusted when this share of its pixels is clean backdrop.
constexpr double kMeasuredShare = 0.25;
// Width of the opaque band: alpha reaches 1 when D has fallen to this share of the backdrop's,
// scaled by the grey threshold ("softness" runs the other way).
constexpr double kOpaqueShare = 0.7;
// Noise, in sigmas: smoothing joins neighbours this close in D; alpha starts this far below the
// backdrop (sigma of the smoothed D); a seed is a line of three pixels standing this far clear of
// the backdrop (sigma of D), or a smoothed area (sigma of D over the root of the pixels it joined),
// and never less than kGateFloor levels (JPEG blocks in the dark are blotches of a few levels).
// A cell's sigma of D is at least kFrameNoiseShare of the frame's.
constexpr float kSimilarSigmas = 2.5f;
constexpr float kDeadZoneSigmas = 2.5f;
constexpr float kLineSigmas = 3.5f;
constexpr float kAreaSigmas = 7.0f;
constexpr float kGateFloor = 4.0f;
constexpr float kFrameNoiseShare = 0.8f;
// Warm subjects: a subject colour counts when its D is at most this share of the backdrop's below
// 0; it is looked for within kWarmReach; a pixel follows it fully within kOnLine of the
// line from the backdrop to it (relative to the pixel's own distance from the backdrop) and not at
// all beyond kOffLine.
constexpr float kWarmShare = 0.05f;
constexpr double kWarmReach = 128.0; // full-resolution pixels
constexpr float kOnLine = 0.15f;
constexpr float kOffLine = 0.5f;
constexpr float kKeyMargin = 4.0f; // levels of the key channel above the subject colour's
// A mix must hold more key colour than the subject colour only on a backdrop whose key channel is
// below kBrightKeyStart levels, and not at all from kBrightKeyEnd on (see KeyRow).
constexpr float kBrightKeyStart = 120.0f;
constexpr float kBrightKeyEnd = 160.0f;
constexpr float kKnownOpaque = 0.9f;
constexpr float kShortLine = 80.0f; // levels
constexpr float kLongLine = 160.0f;
// The bound from bright channels keeps a margin of this many noise sigmas and this share of the
// backdrop's own level.
constexpr float kCeilingSigmas = 3.0f;
constexpr float kCeilingShare = 0.1f;

struct KeyChannels {
    int key;
    int other1;
    int other2;
};

// Per plate cell: the backdrop's bytes 0..2, the noise (sigma) of the smoothed D and of D.
constexpr int kRefChannels = 5;
struct RefColor {
    float c[kRefChannels];
};

float DifferenceOf(const RefColor& color, const KeyChannels& ch, float detail)
{
    const float o1 = color.c[ch.other1];
    const float o2 = color.c[ch.other2];
    return color.c[ch.key] - (detail * std::max(o1, o2) + (1.0f - detail) * 0.5f * (o1 + o2));
}

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

// What FillAndSmooth works in, kept between calls (see KeyWorkspace).
struct FillScratch {
    std::vector<std::uint8_t> measured;
    std::vector<std::uint16_t> level; // per cell of the padded grid (see FillAndSmooth)
    std::vector<std::uint32_t> ring;
    std::vector<std::uint32_t> nextRing;
    std::vector<std::uint32_t> filled;  // the cells filled, ring by ring
    std::vector<std::uint32_t> sources; // per filled cell, the known neighbours it takes the mean of
    std::vector<std::uint32_t> sourceEnd;
    std::vector<float> colour;
    std::vector<float> weights;
    std::vector<int> extent;
    std::vector<float> channels; // two planes a channel
};

// `sweeps` red-black sweeps of successive over-relaxation over one padded colour plane, from `in`
// through `out` and back (an even count of half-sweeps), so the result is in `in`. `step` holds a
// plane per parity (the over-relaxation where a cell is relaxed, else 0), `inverse` 1 / the cell's
// neighbours inside the grid, `extent` per padded row the columns [first, last] with relaxed cells.
[[gnu::always_inline]] inline void RelaxPlane(float* planeIn, float* planeOut, const float* step,
                                              const float* inverse, const int* extent, int gh, int stride,
                                              std::size_t padded, int sweeps)
{
    for (int sweep = 0; sweep < 2 * sweeps; ++sweep) {
        const int parity = sweep & 1;
        for (int y = 1; y <= gh; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * stride;
            const int first = extent[2 * static_cast<std::size_t>(y)];
            const int last = extent[2 * static_cast<std::size_t>(y) + 1];
            const float* __restrict v = planeIn + row;
            float* __restrict o = planeOut + row;
            const float* __restrict w = step + static_cast<std::size_t>(parity) * padded + row;
            const float* __restrict n = inverse + row;
            for (int x = first; x <= last; ++x) {
                const float sum = v[x - 1] + v[x + 1] + v[x - stride] + v[x + stride];
                o[x] = v[x] + w[x] * (sum * n[x] - v[x]);
            }
        }
        std::swap(planeIn, planeOut);
    }
}

using RelaxFunction = void (*)(float*, float*, const float*, const float*, const int*, int, int, std::size_t, int);

void RelaxPlaneBase(float* in, float* out, const float* step, const float* inverse, const int* extent, int gh,
                    int stride, std::size_t padded, int sweeps)
{
    RelaxPlane(in, out, step, inverse, extent, gh, stride, padded, sweeps);
}

HX_TARGET_AVX2 void RelaxPlaneAvx2(float* in, float* out, const float* step, const float* inverse, const int* extent,
                                   int gh, int stride, std::size_t padded, int sweeps)
{
    RelaxPlane(in, out, step, inverse, extent, gh, stride, padded, sweeps);
}

HX_TARGET_AVX512 void RelaxPlaneAvx512(float* in, float* out, const float* step, const float* inverse,
                                       const int* extent, int gh, int stride, std::size_t padded, int sweeps)
{
    RelaxPlane(in, out, step, inverse, extent, gh, stride, padded, sweeps);
}

// Fills cells without a backdrop estimate from their estimated neighbours, ring by ring, then
// smooths the filled cells with a 1-2-1 kernel; measured cells keep their own colour, so a shadow
// a cell or two wide is followed. Which cells each ring fills, and from which, is found first on
// one thread; the channels are then filled, relaxed and smoothed side by side, as no channel reads
// another: the grid is small.
void FillAndSmooth(std::vector<RefColor>& grid, std::vector<std::uint8_t>& known, int gw, int gh, FillScratch& f,
                   int threads)
{
    f.measured.assign(known.begin(), known.end());
    const std::vector<std::uint8_t>& measured = f.measured;
    // Ring by ring: the unknown cells next to a known one take the mean of their known neighbours,
    // all from the cells known before the ring (so the order within a ring does not matter). The
    // rings are found on a grid padded by a border that is neither known nor to be filled, so a
    // neighbour is a fixed offset away.
    const int stride = gw + 2;
    const std::size_t padded = static_cast<std::size_t>(stride) * (gh + 2);
    constexpr std::uint16_t kBorder = std::numeric_limits<std::uint16_t>::max() - 1;
    constexpr std::uint16_t kUnreached = std::numeric_limits<std::uint16_t>::max();
    std::vector<std::uint16_t>& level = f.level; // 0 measured, else the ring that fills the cell
    level.assign(padded, kBorder);
    for (int y = 0; y < gh; ++y) {
        std::uint16_t* row = level.data() + static_cast<std::size_t>(y + 1) * stride + 1;
        const std::uint8_t* k = known.data() + static_cast<std::size_t>(y) * gw;
        for (int x = 0; x < gw; ++x)
            row[x] = k[x] ? 0 : kUnreached;
    }
    // In the order the mean adds them: rows, then columns, from the top left.
    const std::ptrdiff_t around[8] = {-stride - 1, -stride, -stride + 1, -1, 1, stride - 1, stride, stride + 1};
    const std::int32_t aroundCell[8] = {-gw - 1, -gw, -gw + 1, -1, 1, gw - 1, gw, gw + 1};
    std::vector<std::uint32_t>& ring = f.ring; // padded indices
    ring.clear();
    // The first ring from the unknown cells, usually the fewer.
    for (int y = 1; y <= gh; ++y)
        for (int x = 1; x <= gw; ++x) {
            const std::size_t p = static_cast<std::size_t>(y) * stride + x;
            if (level[p] != kUnreached)
                continue;
            bool next = false;
            for (const std::ptrdiff_t o : around)
                next |= level[p + o] == 0;
            if (next)
                ring.push_back(static_cast<std::uint32_t>(p));
        }
    for (const std::uint32_t p : ring)
        level[p] = 1;
    f.filled.clear();
    f.sources.clear();
    f.sourceEnd.clear();
    const auto cellOf = [stride, gw](std::size_t p) {
        return static_cast<std::uint32_t>((p / stride - 1) * gw + p % stride - 1);
    };
    std::vector<std::uint32_t>& nextRing = f.nextRing;
    for (std::uint16_t r = 1; !ring.empty(); ++r) {
        nextRing.clear();
        // Every neighbour is written and only those known before the ring are kept, without a branch.
        std::size_t sourceCount = f.sources.size();
        f.sources.resize(sourceCount + 8 * ring.size());
        for (const std::uint32_t p : ring) {
            const std::uint32_t i = cellOf(p);
            for (int n = 0; n < 8; ++n) {
                f.sources[sourceCount] = static_cast<std::uint32_t>(static_cast<std::int32_t>(i) + aroundCell[n]);
                sourceCount += level[p + around[n]] < r ? 1 : 0;
            }
            f.filled.push_back(i);
            f.sourceEnd.push_back(static_cast<std::uint32_t>(sourceCount));
            known[i] = 1;
        }
        f.sources.resize(sourceCount);
        for (const std::uint32_t p : ring)
            for (const std::ptrdiff_t o : around)
                if (level[p + o] == kUnreached) {
                    level[p + o] = static_cast<std::uint16_t>(r + 1);
                    nextRing.push_back(static_cast<std::uint32_t>(p + o));
                }
        ring.swap(nextRing);
    }
    // The ring fill only averages the nearest ring, so light under a wide subject comes out flat
    // and a shadow at the subject's edge is carried too far inwards (green-ish cloth over it then
    // keys as semi-transparent). Relaxing the filled cells towards a membrane (Laplace) surface
    // follows the light gradients around the subject instead. Successive over-relaxation from the
    // ring fill converges in a fixed number of sweeps on grids of this size (a render and its
    // preview have the same grid); in-place sweeps on one thread keep the result repeatable.
    constexpr int kSweeps = 40;
    constexpr float kOverRelaxation = 1.8f;
    // Red-black ordering on padded planes of the colour (the noise keeps its ring fill): the cells
    // of one colour read only cells of the other, so a half-sweep is a plain vectorised pass.
    f.colour.resize(6 * padded); // zeroed by each channel's task
    f.weights.assign(3 * padded, 0.0f);
    float* const colour = f.colour.data(); // per colour channel, two planes
    float* inverse = f.weights.data();     // 1 / its neighbours inside the grid
    float* step = inverse + padded;        // per parity: over-relaxation where the cell is relaxed, else 0
    // Per row, the columns [first, last] that hold relaxed cells (first > last: none).
    f.extent.assign(2 * static_cast<std::size_t>(gh + 2), 0);
    for (int y = 0; y < gh; ++y) {
        f.extent[2 * static_cast<std::size_t>(y + 1)] = gw + 1;
        for (int x = 0; x < gw; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * gw + x;
            const std::size_t j = static_cast<std::size_t>(y + 1) * stride + x + 1;
            if (measured[i] || !known[i])
                continue;
            int& first = f.extent[2 * static_cast<std::size_t>(y + 1)];
            int& last = f.extent[2 * static_cast<std::size_t>(y + 1) + 1];
            first = std::min(first, x + 1);
            last = std::max(last, x + 1);
            const int count = (x > 0) + (x + 1 < gw) + (y > 0) + (y + 1 < gh);
            step[static_cast<std::size_t>((x + y) & 1) * padded + j] = kOverRelaxation;
            inverse[j] = 1.0f / float(count);
        }
    }
    // Each channel works in a plane of its own (threads writing neighbouring floats of one cell
    // would fight over its cache line), written back to the grid at the end.
    const std::size_t size = grid.size();
    f.channels.resize(2 * kRefChannels * size);
    static_assert(kSweeps > 0);
    const RelaxFunction relax = HasAvx512() ? &RelaxPlaneAvx512 : HasAvx2() ? &RelaxPlaneAvx2 : &RelaxPlaneBase;
    ParallelFor(kRefChannels, threads, [&](int kBegin, int kEnd) {
        for (int k = kBegin; k < kEnd; ++k) {
            float* plane = f.channels.data() + 2 * static_cast<std::size_t>(k) * size;
            float* next = plane + size;
            for (std::size_t i = 0; i < size; ++i)
                plane[i] = grid[i].c[k];
            for (std::size_t r = 0; r < f.filled.size(); ++r) {
                float sum = 0.0f;
                for (std::uint32_t n = r == 0 ? 0 : f.sourceEnd[r - 1]; n < f.sourceEnd[r]; ++n)
                    sum += plane[f.sources[n]];
                const std::uint32_t count = f.sourceEnd[r] - (r == 0 ? 0 : f.sourceEnd[r - 1]);
                plane[f.filled[r]] = sum / float(count);
            }
            if (k < 3) {
                // An even count of half-sweeps leaves the result in `in`.
                float* in = colour + 2 * static_cast<std::size_t>(k) * padded;
                float* out = in + padded;
                std::fill_n(in, 2 * padded, 0.0f);
                for (int y = 0; y < gh; ++y)
                    for (int x = 0; x < gw; ++x) {
                        const std::size_t j = static_cast<std::size_t>(y + 1) * stride + x + 1;
                        in[j] = out[j] = plane[static_cast<std::size_t>(y) * gw + x];
                    }
                relax(in, out, step, inverse, f.extent.data(), gh, stride, padded, kSweeps);
                for (int y = 0; y < gh; ++y)
                    for (int x = 0; x < gw; ++x)
                        plane[static_cast<std::size_t>(y) * gw + x] = in[static_cast<std::size_t>(y + 1) * stride + x + 1];
            }
            const auto smooth = [&](bool horizontal) {
                for (int y = 0; y < gh; ++y)
                    for (int x = 0; x < gw; ++x) {
                        const std::size_t i = static_cast<std::size_t>(y) * gw + x;
                        const int x0 = horizontal ? std::max(0, x - 1) : x;
                        const int x1 = horizontal ? std::min(gw - 1, x + 1) : x;
                        const int y0 = horizontal ? y : std::max(0, y - 1);
                        const int y1 = horizontal ? y : std::min(gh - 1, y + 1);
                        const float a = plane[static_cast<std::size_t>(y0) * gw + x0];
                        const float b = plane[i];
                        const float c = plane[static_cast<std::size_t>(y1) * gw + x1];
                        next[i] = measured[i] ? b : 0.25f * (a + 2.0f * b + c);
                    }
                std::swap(plane, next);
            };
            smooth(true);
            smooth(false);
        }
    });
    for (std::size_t i = 0; i < size; ++i)
        for (int k = 0; k < kRefChannels; ++k)
            grid[i].c[k] = f.channels[2 * static_cast<std::size_t>(k) * size + i];
}

// What the key needs of the clean plate, as planes interpolated over the grid: the backdrop's
// bytes 0..2, 1 / D(backdrop), then in units of 1 - D / D(backdrop) where alpha starts, the
// slope to its opaque end, and how far a line or an area must stand clear of the backdrop to be
// keyed; the margin (levels) and 1 / (255 - backdrop) of the two other channels for the bound from
// bright channels.
enum Plane {
    PlaneColor0,
    PlaneColor1,
    PlaneColor2,
    PlaneInverseD,
    PlaneLow,
    PlaneSpan,
    PlaneLineGate,
    PlaneAreaGate,
    PlaneCeilingMargin,
    PlaneHeadroom1,
    PlaneHeadroom2,
    kPlanes
};
// The plate's values are kept cell by cell, all planes of a cell side by side.
inline std::size_t PlaneOf(std::size_t cell, int plane)
{
    return cell * kPlanes + static_cast<std::size_t>(plane);
}

// The clean plate along a run of pixels [x0, x1) of a row: plane p is start[p] + (x + 0.5 - left) * step[p].
struct PlateSpan {
    int x0, x1;
    float left;
    float start[kPlanes];
    float step[kPlanes];
};

// Beyond the outer cell centres the plate goes on along the slope of the last two cells (light
// keeps falling off into a corner), by at most this share of the edge cell's value over the half
// cell it covers.
constexpr float kExtrapolatedShare = 0.5f;

// The slope per pixel from cell `from` towards cell `to` (neighbours), limited as above.
float EdgeSlope(const float* plane, int from, int to, float side)
{
    const float limit = kExtrapolatedShare * std::abs(plane[from]) / (0.5f * side);
    return std::clamp((plane[to] - plane[from]) / side, -limit, limit);
}

// Where the spans of a row lie, the same on every row: pixels [x0, x1) interpolated from cell
// `cell` on, `edge` -1 before the first centre, 1 beyond the last, 0 between centres cell and
// cell + 1. A pixel belongs to the span whose right centre x + 0.5 has not reached. Returns the count.
struct SpanPlace {
    int x0, x1;
    int cell;
    int edge;
};

int SpanPlaces(int gw, float side, int width, SpanPlace* places)
{
    int count = 0;
    const auto add = [&](int x0, int x1, int i, int edge) {
        if (x1 > x0)
            places[count++] = {x0, x1, i, edge};
    };
    // x + 0.5 <= side / 2 up to floor(side / 2 - 0.5).
    int x = std::min(width, static_cast<int>(std::floor(0.5f * side - 0.5f)) + 1);
    add(0, x, 0, -1);
    for (int i = 0; i + 1 < gw && x < width; ++i) {
        // x + 0.5 < (i + 1.5) side below ceil((i + 1.5) side - 0.5).
        const int end = std::min(width, static_cast<int>(std::ceil((float(i) + 1.5f) * side - 0.5f)));
        add(x, end, i, 0);
        x = std::max(x, end);
    }
    add(x, width, gw - 1, 1);
    return count;
}

// The spans of one row from the grid row `cells` (gw cells of kPlanes values each, centres at
// (i + 0.5) * side): linear between neighbouring centres and on along the edge slopes beyond the
// first and last. `slopes` holds kPlanes * gw values. Cell by cell, all planes side by side: a
// span's start and step are then a cell's values as they lie.
[[gnu::always_inline]] inline void PlateSpans(const float* __restrict cells, int gw, float side,
                                              const SpanPlace* places, int count, PlateSpan* spans,
                                              float* __restrict slopes)
{
    // The slopes between neighbouring centres first: a loop that vectorises. A side that is a power
    // of two (a full render and its factor-2 and factor-3 previews) divides exactly as its inverse
    // multiplies.
    const float inverseSide = 1.0f / side;
    const bool exactInverse = std::has_single_bit(static_cast<unsigned>(side)) && float(static_cast<unsigned>(side)) == side;
    const int between = (gw - 1) * kPlanes;
    if (exactInverse)
        for (int q = 0; q < between; ++q)
            slopes[q] = (cells[q + kPlanes] - cells[q]) * inverseSide;
    else
        for (int q = 0; q < between; ++q)
            slopes[q] = (cells[q + kPlanes] - cells[q]) / side;
    // Only the last span reads the last cell's slope, and it takes the edge slope instead.
    std::fill_n(slopes + std::max(0, between), kPlanes, 0.0f);
    for (int n = 0; n < count; ++n) {
        const std::size_t i = static_cast<std::size_t>(places[n].cell) * kPlanes;
        spans[n].x0 = places[n].x0;
        spans[n].x1 = places[n].x1;
        spans[n].left = (float(places[n].cell) + 0.5f) * side;
        std::copy_n(cells + i, kPlanes, spans[n].start);
        std::copy_n(slopes + i, kPlanes, spans[n].step);
    }
    // Only the first span can lie before the first centre and only the last beyond the last
    // (SpanPlaces).
    for (int p = 0; p < kPlanes; ++p) {
        if (places[0].edge < 0)
            spans[0].step[p] = gw < 2 ? 0.0f : EdgeSlope(cells + p, 0, kPlanes, side);
        if (places[count - 1].edge > 0)
            spans[count - 1].step[p] = gw < 2 ? 0.0f : -EdgeSlope(cells + p, (gw - 1) * kPlanes, (gw - 2) * kPlanes, side);
    }
}

// The clean plate of a row into `spans` (see PlateSpans), from the plate's cells (kPlanes values
// a cell, see PlaneOf): between the two rows of cell centres j0 and j1 at wy, or on beyond the
// first or last along the edge slope (as PlateSpans does across). `cellRow` holds kPlanes * gw
// values.
[[gnu::always_inline]] inline void PlateRowInline(const float* planes, std::size_t, int gw, int j0, int j1,
                                                  float wy, float side, const SpanPlace* places, int count,
                                                  float* cellRow, float* slopes, PlateSpan* spans)
{
    const bool before = wy < 0.0f;
    const std::size_t values = static_cast<std::size_t>(gw) * kPlanes;
    const float* __restrict a = planes + static_cast<std::size_t>(j0) * values;
    const float* __restrict b = planes + static_cast<std::size_t>(j1) * values;
    float* __restrict out = cellRow;
    if (wy >= 0.0f && wy <= 1.0f) {
        for (std::size_t q = 0; q < values; ++q)
            out[q] = a[q] + (b[q] - a[q]) * wy;
    } else {
        for (std::size_t q = 0; q < values; ++q) {
            const float near = before ? a[q] : b[q];
            const float limit = 2.0f * kExtrapolatedShare * std::abs(near);
            out[q] = near + std::clamp(b[q] - a[q], -limit, limit) * (before ? wy : wy - 1.0f);
        }
    }
    PlateSpans(cellRow, gw, side, places, count, spans, slopes);
}

// Non-zero where a pixel lies next to a seed (within its 3 x 3 neighbourhood), from the seed flags
// of its row and the two around it (each padded by one 0 on either side); `columns` holds
// width + 2 values. Words rather than bytes, so that the seed and key loops have only 32-bit lanes.
[[gnu::always_inline]] inline void NearSeedRowInline(const std::int32_t* __restrict above,
                                                     const std::int32_t* __restrict here,
                                                     const std::int32_t* __restrict below, int width,
                                                     std::int32_t* __restrict columns, std::int32_t* __restrict near)
{
    for (int i = -1; i <= width; ++i)
        columns[i + 1] = above[i] | here[i] | below[i];
    for (int x = 0; x < width; ++x)
        near[x] = columns[x] | columns[x + 1] | columns[x + 2];
}

// The row work of the key that does not depend on the key channel, in each build (see PixelSupport.h).
struct PlateRowFunctions {
    void (*plate)(const float*, std::size_t, int, int, int, float, float, const SpanPlace*, int, float*, float*,
                  PlateSpan*);
    void (*nearSeeds)(const std::int32_t*, const std::int32_t*, const std::int32_t*, int, std::int32_t*,
                      std::int32_t*);
};

struct PlateRowBuilds {
    static void Plate(const float* planes, std::size_t cells, int gw, int j0, int j1, float wy, float side,
                      const SpanPlace* places, int count, float* cellRow, float* slopes, PlateSpan* spans)
    {
        PlateRowInline(planes, cells, gw, j0, j1, wy, side, places, count, cellRow, slopes, spans);
    }
    HX_TARGET_AVX2 static void PlateAvx2(const float* planes, std::size_t cells, int gw, int j0, int j1, float wy,
                                         float side, const SpanPlace* places, int count, float* cellRow,
                                         float* slopes, PlateSpan* spans)
    {
        PlateRowInline(planes, cells, gw, j0, j1, wy, side, places, count, cellRow, slopes, spans);
    }
    static void NearSeeds(const std::int32_t* above, const std::int32_t* here, const std::int32_t* below, int width,
                          std::int32_t* columns, std::int32_t* near)
    {
        NearSeedRowInline(above, here, below, width, columns, near);
    }
    HX_TARGET_AVX2 static void NearSeedsAvx2(const std::int32_t* above, const std::int32_t* here,
                                             const std::int32_t* below, int width, std::int32_t* columns,
                                             std::int32_t* near)
    {
        NearSeedRowInline(above, here, below, width, columns, near);
    }
    HX_TARGET_AVX512 static void PlateAvx512(const float* planes, std::size_t cells, int gw, int j0, int j1, float wy,
                                             float side, const SpanPlace* places, int count, float* cellRow,
                                             float* slopes, PlateSpan* spans)
    {
        PlateRowInline(planes, cells, gw, j0, j1, wy, side, places, count, cellRow, slopes, spans);
    }
    HX_TARGET_AVX512 static void NearSeedsAvx512(const std::int32_t* above, const std::int32_t* here,
                                                 const std::int32_t* below, int width, std::int32_t* columns,
                                                 std::int32_t* near)
    {
        NearSeedRowInline(above, here, below, width, columns, near);
    }
    static PlateRowFunctions Choose()
    {
        if (HasAvx512())
            return {&PlateAvx512, &NearSeedsAvx512};
        return HasAvx2() ? PlateRowFunctions{&PlateAvx2, &NearSeedsAvx2} : PlateRowFunctions{&Plate, &NearSeeds};
    }
};

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

// D = K - maxWeight * max(O1, O2) - sumWeight * (O1 + O2), in levels.
struct DifferenceTerms {
    float maxWeight;
    float sumWeight;
};

template <int Key>
inline float DifferenceOfPixel(std::uint32_t v, const DifferenceTerms& t)
{
    const float o1 = ByteOf<KeyLayout<Key>::other1>(v);
    const float o2 = ByteOf<KeyLayout<Key>::other2>(v);
    return ByteOf<Key>(v) - (t.maxWeight * std::max(o1, o2) + t.sumWeight * (o1 + o2));
}

// Beyond the image D is taken as far above any backdrop: the smoothing leaves such neighbours out
// and no line through the edge is clear of the backdrop (a repeated edge pixel would make a noisy
// pixel its own neighbour).
constexpr float kOutside = 1.0e6f;

// D of one row into d[0, width), with d[-1] and d[width] outside.
template <int Key>
[[gnu::always_inline]] inline void DifferenceRow(const std::uint8_t* __restrict row, int width,
                                                 const DifferenceTerms& t, float* __restrict d)
{
    for (int x = 0; x < width; ++x)
        d[x] = DifferenceOfPixel<Key>(LoadPixel(row + 4 * x), t);
    d[-1] = kOutside;
    d[width] = kOutside;
}

// From three rows of D (each with its repeated ends): the smoothed D (mean of the 3 x 3 pixels
// within tau of the centre), the line opening (the lowest, over the four directions, of the
// highest D on the three pixels through the centre; a lone pixel gets its neighbours' level while
// a strand one pixel wide keeps its own) and how many of the nine pixels joined the mean.
template <bool Full>
[[gnu::always_inline]] inline void SmoothRow(const float* __restrict up, const float* __restrict mid,
                                             const float* __restrict down, int width, float tau,
                                             float* __restrict smoothed, float* __restrict line,
                                             float* __restrict joined)
{
    for (int x = 0; x < width; ++x) {
        const float c = mid[x];
        const float n[8] = {up[x - 1], up[x], up[x + 1], mid[x - 1], mid[x + 1], down[x - 1], down[x], down[x + 1]};
        float sum = c;
        std::int32_t count = 1;
        for (int i = 0; i < 8; ++i) {
            // A neighbour left out adds +0 (its bits masked off), which leaves the sum as it is: D is
            // never -0 (a byte less non-negative weights of bytes), so neither is a sum of its
            // values. A mask and an add rather than two adds and a choice.
            const std::uint32_t near = SelectMask(std::abs(n[i] - c) <= tau);
            sum += std::bit_cast<float>(std::bit_cast<std::uint32_t>(n[i]) & near);
            count += static_cast<std::int32_t>(near & 1u);
        }
        smoothed[x] = sum / float(count);
        if constexpr (Full) {
            joined[x] = float(count);
            const float across = std::max(std::max(mid[x - 1], mid[x + 1]), c);
            const float along = std::max(std::max(up[x], down[x]), c);
            const float diagonal = std::max(std::max(up[x - 1], down[x + 1]), c);
            const float antidiagonal = std::max(std::max(up[x + 1], down[x - 1]), c);
            line[x] = std::min(std::min(across, along), std::min(diagonal, antidiagonal));
        }
    }
}

constexpr int kStep = 8; // pixels between the two ends of a noise step

// D in eighths of a level, rounded: the statistics add integers, so their loops vectorise and
// their sums do not depend on the order of adding.
inline std::int32_t Eighths(float d)
{
    return static_cast<std::int32_t>(d * 8.0f + 8192.5f) - 8192;
}

// One row of the statistics pass: its pixels, the purity bins of the row and its two neighbours
// (padded), its smoothed D and D, and per-thread room for the row's clean-backdrop mask.
struct StatisticsRow {
    const std::uint8_t* pixels;
    const std::uint8_t* above;
    const std::uint8_t* here;
    const std::uint8_t* below;
    const float* smoothed;
    const float* raw;
    int width;
    int side;   // plate cell
    int fine;   // fine cell
    std::uint8_t first;
    std::uint8_t* clean;     // width
    std::uint8_t* visible;   // width
    std::int32_t* smoothedQ; // width
    std::int32_t* rawQ;      // width
    std::int32_t* steps;     // width
    int y;                   // the row's index
    std::int32_t* columns;   // kColumnSums planes of width: see ColumnSum
};

// Per column of the rows of a plate cell's row (plane of width values each): pixels that count,
// clean pixels, their bytes 0..2, steps, squared steps of D and of the smoothed D; then, over the
// rows of a fine cell's row, the lowest smoothed D of a visible pixel, its row and its bytes 0..2.
// Sums over at most 32 rows of a column stay within 32 bits (a squared step is below 2^24).
enum ColumnSum {
    ColumnTotal,
    ColumnCount,
    ColumnColor0,
    ColumnColor1,
    ColumnColor2,
    ColumnSteps,
    ColumnRawSquares,
    ColumnSmoothedSquares,
    ColumnLowest,
    ColumnLowestRow,
    ColumnLowestColor,
    kColumnSums
};

// Sums over a plate cell's clean backdrop pixels (D in eighths of a level).
struct CellSums {
    std::uint32_t total = 0; // pixels that count (alpha above 0)
    std::uint32_t count = 0;
    std::uint32_t c[3] = {0, 0, 0};
    // Steps between clean pixels and their squares (eighths of a level): of D, of the smoothed D.
    std::uint32_t rawSteps = 0, smoothedSteps = 0;
    std::int64_t rawSquares = 0, smoothedSquares = 0;
};

// A row of plate cells' clean backdrop pixels: their count and the sums of their bytes 0..2.
struct CellRowTotals {
    double c[3] = {0, 0, 0};
    std::uint64_t count = 0;
};

// The most subject-like pixel (lowest smoothed D, in eighths of a level) of a fine cell and its colour.
struct WarmCell {
    std::int32_t q = std::numeric_limits<std::int32_t>::max();
    std::uint8_t c[3] = {0, 0, 0};
};

// The loops of StatisticsOfRow over the column sums, each plane passed on its own so that the
// compiler knows they do not overlap.
[[gnu::always_inline]] inline void AddToColumns(const std::uint8_t* __restrict pixels,
                                                const std::uint8_t* __restrict clean,
                                                const std::uint8_t* __restrict visible, int width,
                                                std::int32_t* __restrict total, std::int32_t* __restrict count,
                                                std::int32_t* __restrict c0, std::int32_t* __restrict c1,
                                                std::int32_t* __restrict c2)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = LoadPixel(pixels + 4 * x);
        const std::int32_t m = clean[x];
        total[x] += visible[x];
        count[x] += m;
        c0[x] += static_cast<std::int32_t>(v & 255u) * m;
        c1[x] += static_cast<std::int32_t>((v >> 8) & 255u) * m;
        c2[x] += static_cast<std::int32_t>((v >> 16) & 255u) * m;
    }
}

[[gnu::always_inline]] inline void AddStepsToColumns(const std::int32_t* __restrict rawQ,
                                                     const std::int32_t* __restrict smoothedQ,
                                                     const std::int32_t* __restrict steps, int stepped,
                                                     std::int32_t* __restrict stepCount,
                                                     std::int32_t* __restrict rawSquares,
                                                     std::int32_t* __restrict smoothedSquares)
{
    for (int x = 0; x < stepped; ++x) {
        const std::int32_t d = rawQ[x + kStep] - rawQ[x];
        const std::int32_t e = smoothedQ[x + kStep] - smoothedQ[x];
        stepCount[x] += steps[x];
        rawSquares[x] += d * d * steps[x];
        smoothedSquares[x] += e * e * steps[x];
    }
}

[[gnu::always_inline]] inline void LowerColumns(const std::uint8_t* __restrict pixels,
                                                const std::uint8_t* __restrict visible,
                                                const std::int32_t* __restrict smoothedQ, std::int32_t y, int width,
                                                std::int32_t* __restrict lowest, std::int32_t* __restrict lowestRow,
                                                std::int32_t* __restrict lowestColor)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = LoadPixel(pixels + 4 * x);
        const std::int32_t lower = -static_cast<std::int32_t>(visible[x] & (smoothedQ[x] < lowest[x]));
        lowest[x] = (smoothedQ[x] & lower) | (lowest[x] & ~lower);
        lowestRow[x] = (y & lower) | (lowestRow[x] & ~lower);
        lowestColor[x] = (static_cast<std::int32_t>(v & 0xffffffu) & lower) | (lowestColor[x] & ~lower);
    }
}

// Adds one row to the column sums of its plate cells and the lowest of its fine cells (see
// ColumnSum). A pixel is clean backdrop when it and its eight neighbours are at least `first` pure.
// Integer sums and a lowest value taken at the first row that reaches it give the cells the same
// figures as adding row by row.
[[gnu::always_inline]] inline void StatisticsOfRow(const StatisticsRow& r)
{
    const std::uint8_t* __restrict above = r.above;
    const std::uint8_t* __restrict here = r.here;
    const std::uint8_t* __restrict below = r.below;
    const std::uint8_t* __restrict pixels = r.pixels;
    std::uint8_t* __restrict clean = r.clean;
    std::uint8_t* __restrict visible = r.visible;
    std::int32_t* __restrict smoothedQ = r.smoothedQ;
    std::int32_t* __restrict rawQ = r.rawQ;
    const float* __restrict smoothed = r.smoothed;
    const float* __restrict raw = r.raw;
    const int width = r.width;
    const std::uint8_t first = r.first;
    for (int x = 0; x < width; ++x) {
        const auto column = [&](int i) { return std::min(std::min(above[i], here[i]), below[i]); };
        const std::uint8_t eroded = std::min(std::min(column(x - 1), column(x)), column(x + 1));
        const std::uint8_t seen = pixels[4 * x + 3] != 0;
        visible[x] = seen;
        clean[x] = (eroded >= first) & seen;
    }
    for (int x = 0; x < width; ++x) {
        smoothedQ[x] = Eighths(smoothed[x]);
        rawQ[x] = Eighths(raw[x]);
    }
    // Noise from steps between clean pixels kStep apart, which the backdrop's own light gradient
    // (shadows, hot spots) barely touches while a JPEG's 8-pixel blocks show in them; the smoothed
    // D's 3 x 3 windows do not overlap over that distance. A step has twice the variance of a pixel.
    std::int32_t* __restrict steps = r.steps;
    const int stepped = std::max(0, width - kStep);
    for (int x = 0; x < stepped; ++x)
        steps[x] = static_cast<std::int32_t>(clean[x] & clean[x + kStep]);
    std::int32_t* const columns = r.columns;
    const std::size_t plane = static_cast<std::size_t>(width);
    const auto sum = [&](int which) { return columns + which * plane; };
    AddToColumns(pixels, clean, visible, width, sum(ColumnTotal), sum(ColumnCount), sum(ColumnColor0),
                 sum(ColumnColor1), sum(ColumnColor2));
    AddStepsToColumns(rawQ, smoothedQ, steps, stepped, sum(ColumnSteps), sum(ColumnRawSquares),
                      sum(ColumnSmoothedSquares));
    LowerColumns(pixels, visible, smoothedQ, r.y, width, sum(ColumnLowest), sum(ColumnLowestRow),
                 sum(ColumnLowestColor));
}

// Empty column sums for the next row of cells.
void ClearColumnSums(std::int32_t* columns, int width)
{
    const std::size_t plane = static_cast<std::size_t>(width);
    std::fill_n(columns, ColumnLowest * plane, 0);
    std::fill_n(columns + ColumnLowest * plane, plane, std::numeric_limits<std::int32_t>::max());
}

// Adds the column sums of a row of plate cells to the cells' sums.
void AddColumnsToCells(const std::int32_t* columns, int width, int side, CellSums* cells)
{
    const std::size_t plane = static_cast<std::size_t>(width);
    const auto at = [&](int sum, int x) { return columns[sum * plane + static_cast<std::size_t>(x)]; };
    for (int x0 = 0, cell = 0; x0 < width; x0 += side, ++cell) {
        const int x1 = std::min(width, x0 + side);
        CellSums& sums = cells[cell];
        for (int x = x0; x < x1; ++x) {
            sums.total += static_cast<std::uint32_t>(at(ColumnTotal, x));
            sums.count += static_cast<std::uint32_t>(at(ColumnCount, x));
            for (int k = 0; k < 3; ++k)
                sums.c[k] += static_cast<std::uint32_t>(at(ColumnColor0 + k, x));
            sums.rawSteps += static_cast<std::uint32_t>(at(ColumnSteps, x));
            sums.rawSquares += at(ColumnRawSquares, x);
            sums.smoothedSteps += static_cast<std::uint32_t>(at(ColumnSteps, x));
            sums.smoothedSquares += at(ColumnSmoothedSquares, x);
        }
    }
}

// The most subject-like pixel of each fine cell of a row of them from the column lowest values:
// the lowest, at the first row reaching it, and there the first pixel. Starts them over.
void TakeLowestOfColumns(std::int32_t* columns, int width, int fine, WarmCell* warm)
{
    const std::size_t plane = static_cast<std::size_t>(width);
    std::int32_t* lowest = columns + ColumnLowest * plane;
    const std::int32_t* lowestRow = columns + ColumnLowestRow * plane;
    const std::int32_t* lowestColor = columns + ColumnLowestColor * plane;
    for (int x0 = 0, cell = 0; x0 < width; x0 += fine, ++cell) {
        const int x1 = std::min(width, x0 + fine);
        // The lowest value, then the lowest row, as one key, and the first column that has it:
        // without branches, which the noise of D would make unpredictable.
        std::int64_t bestKey = std::numeric_limits<std::int64_t>::max();
        int best = x0;
        for (int x = x0; x < x1; ++x) {
            const std::int64_t key = std::int64_t{lowest[x]} * (std::int64_t{1} << 32) + lowestRow[x];
            best = key < bestKey ? x : best;
            bestKey = std::min(bestKey, key);
        }
        // A column without a visible pixel keeps the highest value.
        if (lowest[best] != std::numeric_limits<std::int32_t>::max() && lowest[best] < warm[cell].q) {
            warm[cell].q = lowest[best];
            for (int k = 0; k < 3; ++k)
                warm[cell].c[k] = static_cast<std::uint8_t>(lowestColor[best] >> (8 * k));
        }
    }
    std::fill_n(lowest, plane, std::numeric_limits<std::int32_t>::max());
}

// Purity bins of one row from its smoothed D (0 for a pixel too dark to tell or transparent).
template <int Key>
[[gnu::always_inline]] inline void PurityRow(const std::uint8_t* __restrict row, const float* __restrict d,
                                             int width, std::uint8_t* __restrict bins)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t v = LoadPixel(row + 4 * x);
        const float k = ByteOf<Key>(v);
        const float purity = std::min(float(kBins - 1), std::max(d[x], 0.0f) * float(kBins) / std::max(k, 1.0f));
        const std::uint32_t ok = SelectMask(k >= float(kMinimumKey)) & SelectMask((v >> 24) != 0);
        bins[x] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(static_cast<int>(purity)) & ok);
    }
}

// The frame's purity bin (kBins where transparent, 0 where too dark to tell) of every other pixel
// of a row and the step of D from it to the next, in quarter levels (the sample MeasureFrame counts).
template <int Key>
[[gnu::always_inline]] inline void FrameBinsRow(const std::uint8_t* __restrict row, const float* __restrict d,
                                                int width, std::uint16_t* __restrict purity,
                                                std::uint16_t* __restrict steps)
{
    for (int i = 0; i < (width + 1) / 2; ++i) {
        const std::uint32_t v = LoadPixel(row + 8 * i);
        const float k = ByteOf<Key>(v);
        const float share = std::min(float(kBins - 1), std::max(d[2 * i], 0.0f) * float(kBins) / std::max(k, 1.0f));
        const std::uint32_t bin = static_cast<std::uint32_t>(static_cast<int>(share)) & SelectMask(k >= float(kMinimumKey));
        const std::uint32_t transparent = SelectMask((v >> 24) == 0);
        purity[i] = static_cast<std::uint16_t>((bin & ~transparent) | (std::uint32_t{kBins} & transparent));
    }
    for (int i = 0; i < width / 2; ++i)
        steps[i] = static_cast<std::uint16_t>(
            std::min(1023, static_cast<int>(std::abs(d[2 * i + 1] - d[2 * i]) * 4.0f)));
}

// Per pixel of a row, the nearby warm subject colour (bytes 0..2) where there is one.
struct WarmRow {
    float* c[3];
};

// 1 where a pixel stands clear of the backdrop's noise: along a line of three pixels, or over its
// smoothed neighbourhood (at least three of the nine pixels joined the mean).
[[gnu::always_inline]] inline void SeedRow(const PlateSpan* spans, int count, const float* __restrict smoothed,
                                           const float* __restrict line, const float* __restrict joined,
                                           std::int32_t* __restrict seeds)
{
    for (int s = 0; s < count; ++s) {
        const PlateSpan plate = spans[s];
        for (int x = plate.x0; x < plate.x1; ++x) {
            const float t = float(x) + 0.5f - plate.left;
            const auto at = [&](int p) { return plate.start[p] + t * plate.step[p]; };
            const float inverseD = at(PlaneInverseD);
            const bool lineClear = 1.0f - line[x] * inverseD >= at(PlaneLineGate);
            // The smoothed D is a mean of `joined` pixels: its noise is that of D over their root.
            const float area = std::max(at(PlaneAreaGate) / std::sqrt(joined[x]), kGateFloor * inverseD);
            const bool areaClear = (joined[x] >= 3.0f) & (1.0f - smoothed[x] * inverseD >= area);
            seeds[x] = static_cast<std::int32_t>(lineClear | areaClear);
        }
    }
}

// Where colour c lies against the line from backdrop b to subject colour f: the share of the way
// along it, and how far off it relative to c's distance from b.
struct LineReading {
    float along;
    float off;
    float length; // |f - b|
};

[[gnu::always_inline]] inline LineReading ReadLine(const float* c, const float* b, const float* fc, int key,
                                                   int other1, int other2)
{
    float v[3], f[3];
    for (int k = 0; k < 3; ++k) {
        v[k] = c[k] - b[k];
        f[k] = fc[k] - b[k];
    }
    // The key channel, then the other two added as a pair: red and blue play the same part, so
    // either channel order gives the same sums.
    const float vv = v[key] * v[key] + (v[other1] * v[other1] + v[other2] * v[other2]);
    const float ff = f[key] * f[key] + (f[other1] * f[other1] + f[other2] * f[other2]);
    const float vf = v[key] * f[key] + (v[other1] * f[other1] + v[other2] * f[other2]);
    const float along = vf / std::max(ff, 1.0f);
    return {along, std::sqrt(std::max(0.0f, vv - along * vf) / std::max(vv, 1.0f)), std::sqrt(ff)};
}

// Alpha and unmixed colour of one row.
// The pixels [from, to) of the row; Warm when a warm subject colour lies near all of them (the
// row is split into runs of fine cells that have one and runs that do not).
template <int Key, bool Warm>
[[gnu::always_inline]] inline void KeyRow(const std::uint8_t* __restrict row, std::uint8_t* __restrict out,
                                          const PlateSpan* spans, int count, int from, int to,
                                          const float* __restrict smoothed, const std::int32_t* __restrict near,
                                          const WarmRow& warm)
{
    constexpr int other1 = KeyLayout<Key>::other1;
    constexpr int other2 = KeyLayout<Key>::other2;
    const float* __restrict f0 = warm.c[0];
    const float* __restrict f1 = warm.c[1];
    const float* __restrict f2 = warm.c[2];
    for (int s = 0; s < count; ++s) {
        const PlateSpan plate = spans[s];
        const int x0 = std::max(plate.x0, from);
        const int x1 = std::min(plate.x1, to);
        // Away from every seed alpha is 0 where the dead zone and the slope are not negative (they
        // follow t monotonically, so their ends tell), so the pixel keeps its colour: plain
        // backdrop, most of a frame, needs no more.
        std::int32_t anyNear = 0;
        for (int x = x0; x < x1; ++x)
            anyNear |= near[x];
        const auto notNegative = [&](int p) {
            const float t0 = float(x0) + 0.5f - plate.left;
            const float t1 = float(x1 - 1) + 0.5f - plate.left;
            return plate.start[p] + t0 * plate.step[p] >= 0.0f && plate.start[p] + t1 * plate.step[p] >= 0.0f;
        };
        if (anyNear == 0 && x0 < x1 && notNegative(PlaneLow) && notNegative(PlaneSpan)) {
            for (int x = x0; x < x1; ++x)
                StorePixel(out + 4 * x, LoadPixel(row + 4 * x) & 0x00ffffffu);
            continue;
        }
        for (int x = x0; x < x1; ++x) {
            const float t = float(x) + 0.5f - plate.left;
            const auto at = [&](int p) { return plate.start[p] + t * plate.step[p]; };
            const float b[3] = {at(PlaneColor0), at(PlaneColor1), at(PlaneColor2)};
            const float inverseD = at(PlaneInverseD);
            const std::uint32_t v = LoadPixel(row + 4 * x);
            const float c[3] = {ByteOf<0>(v), ByteOf<1>(v), ByteOf<2>(v)};
            const float neutral = 1.0f - smoothed[x] * inverseD;
            float linear = neutral;

            // Warm subject nearby: the share of the way from the backdrop to its colour, where the
            // pixel lies on that line; only ever lower than the neutral reading. On a dim backdrop
            // only a pixel holding more of the key colour than the subject colour can be a mix of
            // the two; a darker one may be the same subject in shade (there the line to the
            // subject colour and the line of its shades nearly meet). On a bright backdrop a shade
            // lies well off the line, while a subject whose colours vary (a flame's red rim below
            // its yellow core, brighter in the key channel than the backdrop) mixes with it holding
            // less key colour than its warmest part: there the line alone decides.
            if constexpr (Warm) {
                const float fc[3] = {f0[x], f1[x], f2[x]};
                const auto [along, off, length] = ReadLine(c, b, fc, Key, other1, other2);
                const float bright =
                    std::min(1.0f, std::max(0.0f, (b[Key] - kBrightKeyStart) * (1.0f / (kBrightKeyEnd - kBrightKeyStart))));
                const float keyAbove =
                    std::max(bright, std::min(1.0f, std::max(0.0f, (c[Key] - fc[Key]) * (1.0f / kKeyMargin))));
                const float onLine =
                    std::min(1.0f, std::max(0.0f, (kOffLine - off) * (1.0f / (kOffLine - kOnLine))));
                const float follow = onLine * keyAbove;
                // Along a long line the subject colour is known, so its share is the alpha itself
                // (opaque from kKnownOpaque on): the wide stretch to the opaque end (see PlaneSpan)
                // is for subject colours that are not. A dark subject's line is short and nearly
                // parallel to spill on it, so there the stretch stays.
                const float known = std::min(1.0f, std::max(0.0f, (length - kShortLine) * (1.0f / (kLongLine - kShortLine))));
                const float stretch = 1.0f / at(PlaneSpan);
                const float share = at(PlaneLow) + along * stretch / (stretch + known * (kKnownOpaque - stretch));
                linear = std::min(linear, linear + follow * (share - linear));
            }

            // F = B + (C - B) / alpha stays within a byte: a bound from the other two channels.
            const float margin = at(PlaneCeilingMargin);
            const float rise1 = (c[other1] - b[other1] - (margin + kCeilingShare * b[other1])) * at(PlaneHeadroom1);
            const float rise2 = (c[other2] - b[other2] - (margin + kCeilingShare * b[other2])) * at(PlaneHeadroom2);
            linear = std::max(linear, std::max(rise1, rise2));

            // Keyed at all only next to a seed: a pixel where a line of pixels or the smoothed area
            // stands clear of the noise (so the faint rims of a strand stay with it, lone noisy
            // pixels go).
            linear = near[x] != 0 ? linear : std::min(linear, 0.0f);

            const float alpha = std::min(1.0f, std::max(0.0f, (linear - at(PlaneLow)) * at(PlaneSpan)));
            // C = alpha F + (1 - alpha) B, so F = B + (C - B) / alpha; kept as C where alpha is 0.
            const float inverse = 1.0f / std::max(alpha, 1.0f / 255.0f);
            const std::uint32_t unmixed = SelectMask(alpha > 0.0f);
            const auto unmix = [&](float ck, float bk) {
                const float f = std::min(255.0f, std::max(0.0f, bk + (ck - bk) * inverse));
                return static_cast<std::uint32_t>(static_cast<int>(f + 0.5f));
            };
            const float a = ByteOf<3>(v);
            const std::uint32_t colour = unmix(c[0], b[0]) | unmix(c[1], b[1]) << 8 | unmix(c[2], b[2]) << 16;
            const std::uint32_t keyed = (colour & unmixed) | (v & 0x00ffffffu & ~unmixed) |
                                        static_cast<std::uint32_t>(static_cast<int>(alpha * a + 0.5f)) << 24;
            StorePixel(out + 4 * x, keyed);
        }
    }
}

// The row functions for one key byte offset, in each build (see PixelSupport.h).
struct KeyRowFunctions {
    void (*difference)(const std::uint8_t*, int, const DifferenceTerms&, float*);
    void (*smooth)(const float*, const float*, const float*, int, float, float*, float*, float*);
    void (*smoothMean)(const float*, const float*, const float*, int, float, float*, float*, float*);
    void (*purity)(const std::uint8_t*, const float*, int, std::uint8_t*);
    void (*frameBins)(const std::uint8_t*, const float*, int, std::uint16_t*, std::uint16_t*);
    void (*statistics)(const StatisticsRow&);
    void (*seeds)(const PlateSpan*, int, const float*, const float*, const float*, std::int32_t*);
    void (*key)(const std::uint8_t*, std::uint8_t*, const PlateSpan*, int, int, int, const float*,
                const std::int32_t*, const WarmRow&);
    void (*keyWarm)(const std::uint8_t*, std::uint8_t*, const PlateSpan*, int, int, int, const float*,
                    const std::int32_t*, const WarmRow&);
};

template <int Key>
struct RowBuilds {
    static void Difference(const std::uint8_t* row, int width, const DifferenceTerms& t, float* d)
    {
        DifferenceRow<Key>(row, width, t, d);
    }
    HX_TARGET_AVX2 static void DifferenceAvx2(const std::uint8_t* row, int width, const DifferenceTerms& t, float* d)
    {
        DifferenceRow<Key>(row, width, t, d);
    }
    HX_TARGET_AVX512 static void DifferenceAvx512(const std::uint8_t* row, int width, const DifferenceTerms& t,
                                                  float* d)
    {
        DifferenceRow<Key>(row, width, t, d);
    }
    template <bool Full>
    static void Smooth(const float* up, const float* mid, const float* down, int width, float tau, float* s,
                       float* l, float* j)
    {
        SmoothRow<Full>(up, mid, down, width, tau, s, l, j);
    }
    template <bool Full>
    HX_TARGET_AVX2 static void SmoothAvx2(const float* up, const float* mid, const float* down, int width, float tau,
                                          float* s, float* l, float* j)
    {
        SmoothRow<Full>(up, mid, down, width, tau, s, l, j);
    }
    template <bool Full>
    HX_TARGET_AVX512 static void SmoothAvx512(const float* up, const float* mid, const float* down, int width,
                                              float tau, float* s, float* l, float* j)
    {
        SmoothRow<Full>(up, mid, down, width, tau, s, l, j);
    }
    static void Statistics(const StatisticsRow& r) { StatisticsOfRow(r); }
    HX_TARGET_AVX2 static void StatisticsAvx2(const StatisticsRow& r) { StatisticsOfRow(r); }
    HX_TARGET_AVX512 static void StatisticsAvx512(const StatisticsRow& r) { StatisticsOfRow(r); }
    static void Purity(const std::uint8_t* row, const float* d, int width, std::uint8_t* bins)
    {
        PurityRow<Key>(row, d, width, bins);
    }
    HX_TARGET_AVX2 static void PurityAvx2(const std::uint8_t* row, const float* d, int width, std::uint8_t* bins)
    {
        PurityRow<Key>(row, d, width, bins);
    }
    HX_TARGET_AVX512 static void PurityAvx512(const std::uint8_t* row, const float* d, int width, std::uint8_t* bins)
    {
        PurityRow<Key>(row, d, width, bins);
    }
    static void FrameBins(const std::uint8_t* row, const float* d, int width, std::uint16_t* purity,
                          std::uint16_t* steps)
    {
        FrameBinsRow<Key>(row, d, width, purity, steps);
    }
    HX_TARGET_AVX2 static void FrameBinsAvx2(const std::uint8_t* row, const float* d, int width,
                                             std::uint16_t* purity, std::uint16_t* steps)
    {
        FrameBinsRow<Key>(row, d, width, purity, steps);
    }
    HX_TARGET_AVX512 static void FrameBinsAvx512(const std::uint8_t* row, const float* d, int width,
                                                 std::uint16_t* purity, std::uint16_t* steps)
    {
        FrameBinsRow<Key>(row, d, width, purity, steps);
    }
    static void Seeds(const PlateSpan* spans, int count, const float* s, const float* l, const float* j,
                      std::int32_t* seeds)
    {
        SeedRow(spans, count, s, l, j, seeds);
    }
    HX_TARGET_AVX2 static void SeedsAvx2(const PlateSpan* spans, int count, const float* s, const float* l,
                                         const float* j, std::int32_t* seeds)
    {
        SeedRow(spans, count, s, l, j, seeds);
    }
    HX_TARGET_AVX512 static void SeedsAvx512(const PlateSpan* spans, int count, const float* s, const float* l,
                                             const float* j, std::int32_t* seeds)
    {
        SeedRow(spans, count, s, l, j, seeds);
    }
    template <bool Warm>
    static void KeyBase(const std::uint8_t* row, std::uint8_t* out, const PlateSpan* spans, int count, int from,
                        int to, const float* s, const std::int32_t* near, const WarmRow& w)
    {
        KeyRow<Key, Warm>(row, out, spans, count, from, to, s, near, w);
    }
    template <bool Warm>
    HX_TARGET_AVX2 static void KeyAvx2(const std::uint8_t* row, std::uint8_t* out, const PlateSpan* spans, int count,
                                       int from, int to, const float* s, const std::int32_t* near,
                                       const WarmRow& w)
    {
        KeyRow<Key, Warm>(row, out, spans, count, from, to, s, near, w);
    }
    template <bool Warm>
    HX_TARGET_AVX512 static void KeyAvx512(const std::uint8_t* row, std::uint8_t* out, const PlateSpan* spans,
                                           int count, int from, int to, const float* s, const std::int32_t* near,
                                           const WarmRow& w)
    {
        KeyRow<Key, Warm>(row, out, spans, count, from, to, s, near, w);
    }
    static KeyRowFunctions Choose()
    {
        if (HasAvx512())
            return {&DifferenceAvx512, &SmoothAvx512<true>, &SmoothAvx512<false>, &PurityAvx512, &FrameBinsAvx512,
                    &StatisticsAvx512, &SeedsAvx512,        &KeyAvx512<false>,    &KeyAvx512<true>};
        return HasAvx2() ? KeyRowFunctions{&DifferenceAvx2, &SmoothAvx2<true>, &SmoothAvx2<false>, &PurityAvx2,
                                           &FrameBinsAvx2,  &StatisticsAvx2,   &SeedsAvx2,         &KeyAvx2<false>,
                                           &KeyAvx2<true>}
                         : KeyRowFunctions{&Difference, &Smooth<true>, &Smooth<false>,  &Purity,       &FrameBins,
                                           &Statistics, &Seeds,        &KeyBase<false>, &KeyBase<true>};
    }
};

KeyRowFunctions RowFunctionsFor(int keyByte)
{
    return keyByte == 0 ? RowBuilds<0>::Choose() : keyByte == 1 ? RowBuilds<1>::Choose() : RowBuilds<2>::Choose();
}

// Rows of D (padded by one value on either side) in a ring of four, and the smoothed D, line
// opening and joined counts of the current row. Rows are asked for in order, so a band of rows
// reads each image row once (plus one row on either side of the band).
class DifferenceRows {
public:
    // `buffer` holds 4 (width + 2) values.
    DifferenceRows(const ImageView& image, const KeyRowFunctions& rows, const DifferenceTerms& terms, float tau,
                   float* buffer)
        : m_image(image), m_rows(&rows), m_terms(terms), m_tau(tau),
          m_stride(static_cast<std::size_t>(image.width) + 2), m_d(buffer)
    {
    }
    // Makes rows y - 1, y and y + 1 of D available (rows beyond the image are outside) and smooths
    // row y: the smoothed D into `smoothed`, and unless they are null the line opening
    // and joined counts.
    void Advance(int y, float* smoothed, float* line, float* joined)
    {
        if (y != m_next) {
            Compute(y - 1);
            Compute(y);
        }
        Compute(y + 1);
        m_next = y + 1;
        (line ? m_rows->smooth : m_rows->smoothMean)(D(y - 1), D(y), D(y + 1), m_image.width, m_tau, smoothed, line,
                                                     joined);
    }
    const float* D(int y) const { return m_d + static_cast<std::size_t>(y & 3) * m_stride + 1; }
    // Rows that another band may already have keyed in place are read from copies made before:
    // `kept(y)` gives the padded row of D, or null to compute it from the image.
    void KeepRows(std::function<const float*(int)> kept) { m_kept = std::move(kept); }

private:
    void Compute(int y)
    {
        float* d = m_d + static_cast<std::size_t>(y & 3) * m_stride;
        if (y < 0 || y >= m_image.height)
            std::fill_n(d, m_stride, kOutside);
        else if (const float* kept = m_kept ? m_kept(y) : nullptr)
            std::copy_n(kept, m_stride, d);
        else
            m_rows->difference(m_image.Row(y), m_image.width, m_terms, d + 1);
        // The next row is asked for after this one's smoothing, seeds and key: it comes in from
        // memory meanwhile rather than when D of it is wanted (a row spans pages, which the
        // processor's own prefetching does not cross).
        if (y + 1 < m_image.height && y + 1 >= 0) {
            const std::uint8_t* next = m_image.Row(y + 1);
            for (std::size_t offset = 0; offset < m_image.RowBytes(); offset += 64)
                __builtin_prefetch(next + offset);
        }
    }

    ImageView m_image;
    const KeyRowFunctions* m_rows;
    DifferenceTerms m_terms;
    float m_tau;
    std::size_t m_stride;
    float* m_d;
    std::function<const float*(int)> m_kept;
    int m_next = std::numeric_limits<int>::min();
};

// The frame's purity histogram and the steps of D between neighbours, on a sample of its pixels.
struct FrameStatistics {
    std::uint64_t purity[kBins + 1] = {};
    std::uint64_t steps[1024] = {}; // |D(x + 1) - D(x)| in quarter levels
};

FrameStatistics MeasureFrame(const ImageView& image, const KeyRowFunctions& rows, const DifferenceTerms& terms,
                             int threads, std::vector<FrameStatistics>& parts, std::vector<float>& buffers,
                             std::vector<std::uint16_t>& binBuffers)
{
    // About 512 rows, every other pixel: plenty for a histogram and a median, and cheap.
    const int step = std::max(1, image.height / 512);
    const int sampled = (image.height + step - 1) / step;
    parts.assign(static_cast<std::size_t>(threads), FrameStatistics{});
    const std::size_t stride = static_cast<std::size_t>(image.width) + 2;
    buffers.resize(static_cast<std::size_t>(threads) * stride);
    const int half = (image.width + 1) / 2;
    binBuffers.resize(static_cast<std::size_t>(threads) * 2 * half);
    ParallelFor(sampled, threads, [&](int begin, int end, int worker) {
        const std::size_t thread = static_cast<std::size_t>(worker);
        FrameStatistics& part = parts[thread];
        float* d = buffers.data() + thread * stride + 1;
        std::uint16_t* purity = binBuffers.data() + thread * 2 * half;
        std::uint16_t* steps = purity + half;
        // Counted into two halves: neighbouring backdrop pixels mostly fall in the same bin, and
        // one counter would make each count wait for the one before.
        std::uint64_t purityCounts[2][kBins + 1] = {};
        std::uint64_t stepCounts[2][1024] = {};
        for (int i = begin; i < end; ++i) {
            const std::uint8_t* row = image.Row(i * step);
            rows.difference(row, image.width, terms, d);
            rows.frameBins(row, d, image.width, purity, steps);
            int x = 0;
            for (; x + 1 < half; x += 2) {
                ++purityCounts[0][purity[x]];
                ++purityCounts[1][purity[x + 1]];
            }
            for (; x < half; ++x)
                ++purityCounts[0][purity[x]];
            int j = 0;
            for (; j + 1 < image.width / 2; j += 2) {
                ++stepCounts[0][steps[j]];
                ++stepCounts[1][steps[j + 1]];
            }
            for (; j < image.width / 2; ++j)
                ++stepCounts[0][steps[j]];
        }
        for (int b = 0; b <= kBins; ++b)
            part.purity[b] += purityCounts[0][b] + purityCounts[1][b];
        for (int b = 0; b < 1024; ++b)
            part.steps[b] += stepCounts[0][b] + stepCounts[1][b];
    });
    // Integer counts: the sum does not depend on how rows were split.
    FrameStatistics frame;
    for (const FrameStatistics& part : parts) {
        for (int b = 0; b <= kBins; ++b)
            frame.purity[b] += part.purity[b];
        for (int b = 0; b < 1024; ++b)
            frame.steps[b] += part.steps[b];
    }
    return frame;
}

// Sigma of D from the median absolute step between neighbours (a step has sqrt 2 sigma).
float NoiseOfD(const FrameStatistics& frame)
{
    std::uint64_t total = 0;
    for (const std::uint64_t n : frame.steps)
        total += n;
    std::uint64_t seen = 0;
    int bin = 0;
    for (; bin < 1023; ++bin) {
        seen += frame.steps[bin];
        if (2 * seen >= total)
            break;
    }
    return std::max(0.5f, 1.4826f * (float(bin) + 0.5f) / 4.0f / 1.41421356f);
}

// The minimum over the window [i - reach, i + reach] of a line of `count` values `stride` apart
// (van Herk / Gil-Werman: three comparisons a value whatever the reach); `work` holds at least
// 3 (count + 4 reach + 1) values.
void WindowMinimum(std::uint64_t* line, std::size_t stride, int count, int reach, std::uint64_t* work)
{
    const int window = 2 * reach + 1;
    const int padded = (count + 2 * reach + window - 1) / window * window;
    std::uint64_t* p = work;
    std::uint64_t* g = work + padded;
    std::uint64_t* h = work + 2 * static_cast<std::size_t>(padded);
    for (int j = 0; j < padded; ++j) {
        const int i = j - reach;
        p[j] = i >= 0 && i < count ? line[static_cast<std::size_t>(i) * stride] : ~std::uint64_t{0};
    }
    for (int j = 0; j < padded; ++j)
        g[j] = j % window == 0 ? p[j] : std::min(g[j - 1], p[j]);
    for (int j = padded - 1; j >= 0; --j)
        h[j] = (j + 1) % window == 0 ? p[j] : std::min(h[j + 1], p[j]);
    for (int i = 0; i < count; ++i)
        line[static_cast<std::size_t>(i) * stride] = std::min(h[i], g[i + 2 * reach]);
}

// The nearest warm subject of every fine cell: the warm cell with the lowest D within `reach`
// cells (a square; ties to the lower index, so the result does not depend on the threads), or -1.
// Keys hold D (offset to be positive) above and the index below, so the lowest key is the warmest
// cell; a cell that is not warm holds the highest. WarmKeysOfRow takes a row of fine cells to the
// lowest key within reach along the row, NearestOfRow then the lowest of the rows within reach.
void WarmKeysOfRow(const WarmCell* cells, const std::uint8_t* warm, std::size_t first, int fw, int reach,
                   std::uint64_t* keys, std::uint64_t* work)
{
    for (int i = 0; i < fw; ++i)
        keys[i] = warm[i] ? (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cells[i].q) ^ 0x80000000u) << 32) |
                                (first + static_cast<std::size_t>(i))
                          : ~std::uint64_t{0};
    WindowMinimum(keys, 1, fw, reach, work);
}

// `lowest` holds fw values.
void NearestOfRow(const std::uint64_t* keys, int fw, int fh, int j, int reach, std::uint64_t* lowest,
                  std::int32_t* nearest)
{
    std::fill_n(lowest, fw, ~std::uint64_t{0});
    for (int k = std::max(0, j - reach); k <= std::min(fh - 1, j + reach); ++k) {
        const std::uint64_t* row = keys + static_cast<std::size_t>(k) * fw;
        for (int i = 0; i < fw; ++i)
            lowest[i] = std::min(lowest[i], row[i]);
    }
    for (int i = 0; i < fw; ++i)
        nearest[i] = lowest[i] == ~std::uint64_t{0} ? -1 : static_cast<std::int32_t>(lowest[i] & 0xffffffffu);
}

// What one thread needs while it keys or measures rows.
struct RowScratch {
    std::vector<float> differences;    // four rows of D, padded
    std::vector<std::uint8_t> bins;    // three rows of purity bins, padded
    std::vector<float> smoothed;       // two rows of smoothed D, line opening and joined counts each
    std::vector<std::int32_t> seeds;       // three rows of seed flags, padded
    std::vector<std::int32_t> seedColumns; // one row: seed flags over three rows
    std::vector<std::int32_t> near;        // one row: next to a seed
    std::vector<std::uint8_t> masks;   // two rows: clean backdrop, visible
    std::vector<std::int32_t> eighths; // three rows: smoothed D and D in eighths, which steps count
    std::vector<std::int32_t> columns; // column sums over a row of cells (ColumnSum)
    std::vector<float> warm;           // three rows: the nearby warm subject colour
    std::vector<float> cellRow;        // one row of the plate grid, interpolated
    std::vector<float> slopes;         // its slopes between neighbouring cells
    std::vector<PlateSpan> spans;      // two rows
    std::vector<std::uint8_t> pixels;  // the row being keyed in place, as it was
    std::vector<std::uint64_t> holeBits; // one row: alpha in the hole range, a bit a pixel
    std::vector<std::uint64_t> settleMasks; // three rows: SettleMasks' two masks each
    // A speckle's column, walked as the band's rows are keyed: per column, the nearest row above
    // out of the hole range (HoleRangeBits), the columns with a speckle above still in the range
    // and the chain they are in.
    std::vector<std::int32_t> breaks;
    std::vector<std::uint64_t> walkingDown;
    std::vector<std::int32_t> chainOf; // per column, -1 for none
    std::vector<std::uint64_t> warmLowest; // one row of fine cells: NearestOfRow's lowest keys
    std::vector<std::int32_t> nearestWarm; // one row of fine cells: the nearest warm cell, or -1
    std::vector<std::uint8_t> isWarm;      // one row of fine cells
    std::vector<std::uint64_t> warmWork;   // WindowMinimum's room for a row of fine cells

    void Fit(int width, int gw, int fw, int warmReach)
    {
        const std::size_t w = static_cast<std::size_t>(width);
        warmLowest.resize(static_cast<std::size_t>(fw));
        nearestWarm.resize(static_cast<std::size_t>(fw));
        isWarm.resize(static_cast<std::size_t>(fw));
        warmWork.resize(3 * (static_cast<std::size_t>(fw) + 4 * static_cast<std::size_t>(warmReach) + 1));
        differences.resize(4 * (w + 2));
        holeBits.resize((w + 63) / 64);
        settleMasks.resize(6 * ((w + 63) / 64));
        walkingDown.resize((w + 63) / 64);
        breaks.resize(w);
        chainOf.resize(w);
        bins.resize(3 * (w + 2));
        smoothed.resize(6 * w);
        seeds.resize(3 * (w + 2));
        seedColumns.resize(w + 2);
        near.resize(w);
        masks.resize(2 * w);
        eighths.resize(3 * w);
        columns.resize(kColumnSums * w);
        warm.resize(3 * w);
        cellRow.resize(kPlanes * static_cast<std::size_t>(gw));
        slopes.resize(kPlanes * static_cast<std::size_t>(gw));
        spans.resize(2 * (static_cast<std::size_t>(gw) + 2));
        pixels.resize(4 * w);
    }
};

// Holes in opaque subject. Subject colours that the backdrop's colour difference cannot tell from
// a mix (green-ish or cyan cloth, grey beside spill) key a little below opaque: their noise
// scatters pixels of an opaque area below 0.9, and where the plate dims beside the subject (its
// shadow on the backdrop) a band along its edge sinks further. A pixel keyed between kHoleLow and
// kHoleOpaque becomes opaque, with its own colour back, when
// - it lies in a speckle: a run of at most kSpeckle pixels of its row between two opaque pixels,
//   with opaque pixels above and below it too, within four times that (its colour says little,
//   the noise that made it a speckle pushed it towards the backdrop), or
// - it has the colour of an opaque pixel at an end of its run (at most kHoleReach long): within
//   kHoleColourShare of that colour's distance from the backdrop or kHoleColourFloor levels, and
//   within kHoleMixShare of the distance a mix keyed that much lower would lie from it.
// A mix of subject and backdrop (a veil, a soft edge, backdrop seen through the subject) lies as
// far from the subject's colour as its alpha says, and backdrop seen through the subject reaches
// pixels keyed below kHoleLow. Rows whose source is not wholly opaque take no part: a filled pixel
// could not get its source's alpha back.
constexpr int kHoleOpaque = 230;
constexpr int kHoleLow = 128;
constexpr double kHoleReach = 512.0; // full-resolution pixels
constexpr double kSpeckle = 16.0;     // full-resolution pixels
constexpr float kHoleColourShare = 0.1f;
constexpr float kHoleColourFloor = 10.0f;
constexpr float kHoleMixShare = 0.75f;
// Backdrop spill on a subject colour raises only the key channel, so a spilled pixel keys low while
// its two other channels still sit where the subject's do. A pixel in the hole range becomes
// opaque, with its own colour back, when against a subject colour F nearby (an opaque end of its
// run, or the most subject-like pixel of its fine cell if that one's D reads as opaque): in the
// other two channels it lies on the line from the backdrop B to F (within kFitShare of |F - B|
// there, or kFitFloor levels) at least kFitOpaque of the way (and the opaque end of the key) and at
// most kFitBeyond, and its key channel holds no more than kSpillShare of the backdrop's D above
// what that share of F would hold, nor kFitFloor levels less. F must stand kFitLeast levels from
// B in those channels, or the line says nothing. A mix of another colour with the backdrop leaves
// the line, a soft edge of F falls short of it, and a veil on it reads far beyond F or carries far
// more key colour.
constexpr float kFitOpaque = 0.9f;
constexpr float kFitShare = 0.1f;
constexpr float kFitFloor = 8.0f;
constexpr float kFitBeyond = 1.2f;
constexpr float kSpillShare = 0.4f;
constexpr float kFitLeast = 24.0f;

// The fine cells' most subject-like pixels, and which of them read as opaque.
struct SubjectCells {
    const WarmCell* cells;
    const std::uint8_t* opaque;
    int fw, fh, fine;
    KeyChannels ch;
    float high; // the opaque end of the key, in 1 - D / D(backdrop)
};

// The line from backdrop b (whose D is backdropD) to subject colour f, made once for the colours
// judged against it: Fits(c) says whether photographed colour c is f with backdrop spill on it
// (see kFitShare).
class SpillLine {
public:
    SpillLine() = default;
    SpillLine(const float* b, const float* f, float backdropD, const SubjectCells& s)
        : m_ch(s.ch), m_b{b[0], b[1], b[2]}, m_f1(f[s.ch.other1] - b[s.ch.other1]),
          m_f2(f[s.ch.other2] - b[s.ch.other2]), m_fk(f[s.ch.key] - b[s.ch.key])
    {
        const float ff = m_f1 * m_f1 + m_f2 * m_f2;
        m_usable = ff >= kFitLeast * kFitLeast;
        m_inverse = 1.0f / std::max(ff, 1.0f);
        m_least = std::max(s.high, kFitOpaque) * ff;
        m_most = kFitBeyond * ff;
        m_off = std::max(kFitFloor * kFitFloor * ff, kFitShare * kFitShare * ff * ff);
        m_spill = kSpillShare * backdropD;
    }
    bool Fits(const float* c) const
    {
        const float v1 = c[m_ch.other1] - m_b[m_ch.other1];
        const float v2 = c[m_ch.other2] - m_b[m_ch.other2];
        const float vf = v1 * m_f1 + v2 * m_f2;
        const float off = v1 * m_f2 - v2 * m_f1;
        if (!m_usable || vf < m_least || vf > m_most || off * off > m_off)
            return false;
        const float spill = (c[m_ch.key] - m_b[m_ch.key]) - vf * m_inverse * m_fk;
        return spill >= -kFitFloor && spill <= m_spill;
    }

private:
    KeyChannels m_ch{};
    float m_b[3] = {};
    float m_f1 = 0, m_f2 = 0, m_fk = 0;
    bool m_usable = false;
    float m_inverse = 0, m_least = 0, m_most = 0, m_off = 0, m_spill = 0;
};

struct HoleCandidate {
    std::int32_t x;
    std::int32_t y;
    std::uint32_t colour; // the pixel as photographed (alpha byte opaque); 0: left as keyed
    std::uint8_t walk;    // a speckle: 1 the column above, 2 below, still to be walked
    bool column = false;  // a run's pixel beside a warm subject: see KeepRowsTogether
    std::int32_t chain = -1; // a speckle: the run of its column below in the hole range, in its band
};

constexpr std::uint8_t kWalkUp = 1;
constexpr std::uint8_t kWalkDown = 2;

bool InHoleRange(int alpha)
{
    return static_cast<unsigned>(alpha - kHoleLow) < static_cast<unsigned>(kHoleOpaque - kHoleLow);
}

// Bit x % 64 of word x / 64 set where pixel x's alpha is in the hole range; whether any is. Most
// rows have none or few, so the row is tested eight pixels at a time and runs are found by words.
// Each pixel out of the range sets its column's break to `code` + 1 when opaque, `code` when not.
bool HoleRangeBits(const std::uint8_t* row, int width, std::int32_t code, std::uint64_t* bits,
                   std::int32_t* breaks)
{
    std::uint64_t any = 0;
    for (int x = 0; x < width; x += 64) {
        std::uint64_t word = 0;
        for (int i = 0; i < std::min(64, width - x); ++i) {
            const int alpha = row[4 * (x + i) + 3];
            const bool in = InHoleRange(alpha);
            word |= std::uint64_t{in} << i;
            if (!in)
                breaks[x + i] = code + (alpha >= kHoleOpaque);
        }
        bits[x / 64] = word;
        any |= word;
    }
    return any != 0;
}

// Whether every pixel of the row is opaque.
bool AllOpaque(const std::uint8_t* row, int width)
{
    std::uint32_t all = ~std::uint32_t{0};
    for (int x = 0; x < width; ++x)
        all &= LoadPixel(row + 4 * x);
    return all >> 24 == 255;
}

#if defined(__GNUC__) && defined(__x86_64__)
HX_TARGET_AVX2 bool HoleRangeBitsAvx2(const std::uint8_t* row, int width, std::int32_t code, std::uint64_t* bits,
                                      std::int32_t* breaks)
{
    const __m256i codes = _mm256_set1_epi32(code);
    const __m256i below = _mm256_set1_epi32(kHoleLow - 1);
    const __m256i above = _mm256_set1_epi32(kHoleOpaque);
    std::uint64_t any = 0;
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        std::uint64_t word = 0;
        for (int i = 0; i < 8; ++i) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * (x + 8 * i)));
            const __m256i alpha = _mm256_srli_epi32(v, 24);
            const __m256i opaque = _mm256_cmpgt_epi32(alpha, _mm256_sub_epi32(above, _mm256_set1_epi32(1)));
            const __m256i in = _mm256_andnot_si256(opaque, _mm256_cmpgt_epi32(alpha, below));
            __m256i* columns = reinterpret_cast<__m256i*>(breaks + x + 8 * i);
            _mm256_storeu_si256(columns, _mm256_blendv_epi8(_mm256_sub_epi32(codes, opaque), _mm256_loadu_si256(columns), in));
            word |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in)))} << (8 * i);
        }
        bits[x / 64] = word;
        any |= word;
    }
    if (x < width)
        any |= HoleRangeBits(row + 4 * x, width - x, code, bits + x / 64, breaks + x) ? 1 : 0;
    return any != 0;
}

HX_TARGET_AVX2 bool AllOpaqueAvx2(const std::uint8_t* row, int width)
{
    std::uint32_t all = ~std::uint32_t{0};
    for (int x = 0; x < width; ++x)
        all &= LoadPixel(row + 4 * x);
    return all >> 24 == 255;
}
#endif

// Nearly opaque subject. A subject colour that keys close to the opaque end (green-ish cloth in
// the shadow the subject throws on the backdrop, cyan before blue) reads a little above or below
// it depending on the few levels of chroma a JPEG's block moves it by, so the matte takes the
// blocks' pattern: some opaque, some a few percent transparent. A pixel keyed from kHoleOpaque up
// to just below opaque whose eight neighbours are all keyed from kHoleLow up (most of those below
// kHoleOpaque are filled as holes) is opaque subject: it becomes opaque and keeps its unmixed
// colour. The backdrop side of a soft edge, and the backdrop, lie below kHoleLow. Judged as a row's
// neighbours are keyed, before holes are filled, on words of 64 pixels: `high` where alpha is
// from kHoleLow up (bits past the row's end set: beyond the image counts as subject), `below`
// where it is from kHoleOpaque to 254.
void SettleMasks(const std::uint8_t* row, int width, std::uint64_t* high, std::uint64_t* below)
{
    for (int x = 0; x < width; x += 64) {
        std::uint64_t h = 0, b = 0;
        const int n = std::min(64, width - x);
        for (int i = 0; i < n; ++i) {
            const int alpha = row[4 * (x + i) + 3];
            h |= std::uint64_t{alpha >= kHoleLow} << i;
            b |= std::uint64_t{alpha >= kHoleOpaque && alpha < 255} << i;
        }
        high[x / 64] = n == 64 ? h : h | ~std::uint64_t{0} << n;
        below[x / 64] = b;
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
HX_TARGET_AVX2 void SettleMasksAvx2(const std::uint8_t* row, int width, std::uint64_t* high, std::uint64_t* below)
{
    const __m256i least = _mm256_set1_epi32(kHoleLow - 1);
    const __m256i settling = _mm256_set1_epi32(kHoleOpaque - 1);
    const __m256i opaque = _mm256_set1_epi32(255);
    int x = 0;
    for (; x + 64 <= width; x += 64) {
        std::uint64_t h = 0, b = 0;
        for (int i = 0; i < 8; ++i) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * (x + 8 * i)));
            const __m256i alpha = _mm256_srli_epi32(v, 24);
            const __m256i up = _mm256_cmpgt_epi32(alpha, least);
            const __m256i in =
                _mm256_andnot_si256(_mm256_cmpeq_epi32(alpha, opaque), _mm256_cmpgt_epi32(alpha, settling));
            h |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(up)))} << (8 * i);
            b |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(in)))} << (8 * i);
        }
        high[x / 64] = h;
        below[x / 64] = b;
    }
    if (x < width)
        SettleMasks(row + 4 * x, width - x, high + x / 64, below + x / 64);
}
#endif

// Settles row y: `below` its pixels from kHoleOpaque to 254, `above`, `high` and `under` the
// pixels from kHoleLow up of the rows y - 1, y, y + 1 (null beyond the image: all set). `words`
// words of 64 pixels.
void SettleRow(std::uint8_t* row, const std::uint64_t* below, const std::uint64_t* above, const std::uint64_t* high,
               const std::uint64_t* under, int words)
{
    const auto rows = [&](int w) {
        return (above ? above[w] : ~std::uint64_t{0}) & high[w] & (under ? under[w] : ~std::uint64_t{0});
    };
    std::uint64_t previous = ~std::uint64_t{0}; // left of the image counts as subject
    std::uint64_t current = rows(0);
    for (int w = 0; w < words; ++w) {
        const std::uint64_t next = w + 1 < words ? rows(w + 1) : ~std::uint64_t{0};
        const std::uint64_t all = current & (current << 1 | previous >> 63) & (current >> 1 | next << 63);
        for (std::uint64_t settled = below[w] & all; settled != 0; settled &= settled - 1)
            row[4 * (w * 64 + std::countr_zero(settled)) + 3] = 255;
        previous = current;
        current = next;
    }
}

struct HoleScans {
    bool (*bits)(const std::uint8_t*, int, std::int32_t, std::uint64_t*, std::int32_t*);
    bool (*opaque)(const std::uint8_t*, int);
    void (*settle)(const std::uint8_t*, int, std::uint64_t*, std::uint64_t*);
};

HoleScans ChooseHoleScans()
{
#if defined(__GNUC__) && defined(__x86_64__)
    if (HasAvx2())
        return {&HoleRangeBitsAvx2, &AllOpaqueAvx2, &SettleMasksAvx2};
#endif
    return {&HoleRangeBits, &AllOpaque, &SettleMasks};
}

// The first pixel from x on whose bit is `set` (bits past the row's end are clear), or width.
int NextBit(const std::uint64_t* bits, int x, int width, bool set)
{
    const int words = (width + 63) / 64;
    int w = x / 64;
    if (w >= words)
        return width;
    const std::uint64_t flip = set ? 0 : ~std::uint64_t{0};
    std::uint64_t word = (bits[w] ^ flip) & (~std::uint64_t{0} << (x % 64));
    while (word == 0) {
        if (++w >= words)
            return width;
        word = bits[w] ^ flip;
    }
    return std::min(width, w * 64 + std::countr_zero(word));
}

// After row y is keyed: the pixels of its runs in the hole range, at most `reach` long, that are
// speckles or have the colour of an opaque pixel at an end of their run, with the colours they had
// before unmixing (C = B + alpha (F - B), B taken at one end of the run: the plate hardly changes
// over a run).
// Also the pixels that are a subject colour with spill on it (see kFitShare).
void CollectHoleRuns(const std::uint8_t* row, const std::uint64_t* bits, int width, int y,
                     const PlateSpan* spans, int count, int reach, int speckle, const SubjectCells& subjects,
                     const std::int32_t* nearestWarm, std::vector<HoleCandidate>& out)
{
    int span = 0; // pixels are asked for mostly left to right
    // The plate's colour at pixel i, and its D.
    const auto plateAt = [&](int i, float* b) {
        while (span > 0 && i < spans[span].x0)
            --span;
        while (span + 1 < count && i >= spans[span].x1)
            ++span;
        const PlateSpan& plate = spans[span];
        const float t = float(i) + 0.5f - plate.left;
        for (int k = 0; k < 3; ++k)
            b[k] = plate.start[PlaneColor0 + k] + t * plate.step[PlaneColor0 + k];
        return 1.0f / (plate.start[PlaneInverseD] + t * plate.step[PlaneInverseD]);
    };
    const auto photographed = [&](int i, const float* b, float* c) {
        const std::uint8_t* p = row + 4 * i;
        const float a = float(p[3]) * (1.0f / 255.0f);
        for (int k = 0; k < 3; ++k)
            c[k] = std::min(255.0f, std::max(0.0f, b[k] + a * (float(p[k]) - b[k])));
    };
    const auto opaque = [](const float* c) {
        std::uint32_t colour = 255u << 24;
        for (int k = 0; k < 3; ++k)
            colour |= static_cast<std::uint32_t>(static_cast<int>(c[k] + 0.5f)) << (8 * k);
        return colour;
    };
    // The lines to judge pixels against, from the plate to subject colours: that of the fine cell
    // of a pixel, made again (with the plate there) when a pixel lies in another fine cell, and
    // those of the opaque ends of its run, made once a run. Beside a warm subject, a mix of it
    // with the backdrop reads as opaque too: such a colour is no subject colour to judge by.
    SpillLine lines[3]; // two of the run's ends, one of the cell
    int endLines = 0;
    int cellLines = 0;
    int linesCell = -1;
    float plate[3];
    float backdropD = 0.0f;
    float warmColour[3];
    bool warm = false;
    const auto add = [&](const float* f, int at) {
        const KeyChannels& ch = subjects.ch;
        if (warm && f[ch.key] > warmColour[ch.key] &&
            ReadLine(f, plate, warmColour, ch.key, ch.other1, ch.other2).off < kOnLine)
            return false;
        lines[at] = SpillLine(plate, f, backdropD, subjects);
        return true;
    };
    const auto moveTo = [&](int i) {
        linesCell = i / subjects.fine;
        backdropD = plateAt(i, plate);
        const std::int32_t nearest = nearestWarm[linesCell];
        warm = nearest >= 0;
        for (int k = 0; k < 3 && warm; ++k)
            warmColour[k] = subjects.cells[nearest].c[k];
        const std::size_t cell = static_cast<std::size_t>(y / subjects.fine) * subjects.fw + linesCell;
        cellLines = 0;
        if (subjects.opaque[cell]) {
            const std::uint8_t* bytes = subjects.cells[cell].c;
            const float f[3] = {float(bytes[0]), float(bytes[1]), float(bytes[2])};
            cellLines = add(f, 2);
        }
    };
    // A new run: its ends' lines, against the plate at its first pixel.
    const auto startRun = [&](int begin, const float (*ends)[3], int endCount) {
        if (begin / subjects.fine != linesCell)
            moveTo(begin);
        endLines = 0;
        for (int e = 0; e < endCount; ++e)
            if (add(ends[e], endLines))
                ++endLines;
    };
    // Whether pixel i of the current run (photographed colour into c) is a subject colour with
    // spill on it.
    const auto spilled = [&](int i, float* c) {
        if (i / subjects.fine != linesCell)
            moveTo(i);
        photographed(i, plate, c);
        for (int n = 0; n < endLines; ++n)
            if (lines[n].Fits(c))
                return true;
        return cellLines > 0 && lines[2].Fits(c);
    };
    // The photographed colours of the opaque ends of the run [begin, end): in `ends` one after the
    // other, and by side (0 left, 1 right) in `sides` with the plate at each in `plates`.
    float sides[2][3];
    float plates[2][3];
    const auto endColours = [&](int begin, int end, float (*ends)[3]) {
        int n = 0;
        for (int side = 0; side < 2; ++side) {
            const int at = side == 0 ? begin - 1 : end;
            if (at >= 0 && at < width && row[4 * at + 3] >= kHoleOpaque) {
                plateAt(at, plates[side]);
                photographed(at, plates[side], sides[side]);
                std::copy_n(sides[side], 3, ends[n++]);
            }
        }
        return n;
    };
    int x = 0;
    while ((x = NextBit(bits, x, width, true)) < width) {
        const int begin = x;
        x = NextBit(bits, x, width, false);
        const bool left = begin > 0 && row[4 * (begin - 1) + 3] >= kHoleOpaque;
        const bool right = x < width && row[4 * x + 3] >= kHoleOpaque;
        const int length = x - begin;
        // Without an opaque end within reach a run is no part of the subject to judge by.
        if (!(left || right) || length > reach)
            continue;
        float ends[2][3];
        startRun(begin, ends, endColours(begin, x, ends));
        if (left && right && length <= speckle) {
            float b[3];
            plateAt(begin, b);
            for (int i = begin; i < x; ++i) {
                float c[3];
                if (spilled(i, c)) {
                    out.push_back({i, y, opaque(c), 0});
                    continue;
                }
                photographed(i, b, c);
                out.push_back({i, y, opaque(c), kWalkUp | kWalkDown});
            }
            continue;
        }
        // Per end: its colour, the largest tolerance and the tolerance per level of alpha below it.
        float b[3], most[2] = {-1.0f, -1.0f}, perLevel[2] = {0.0f, 0.0f};
        int endAlpha[2] = {0, 0};
        for (int e = 0; e < 2; ++e) {
            if (!(e == 0 ? left : right))
                continue;
            const int at = e == 0 ? begin - 1 : x;
            std::copy_n(plates[e], 3, b);
            std::copy_n(sides[e], 3, ends[e]);
            float away = 0.0f;
            for (int k = 0; k < 3; ++k)
                away += (ends[e][k] - b[k]) * (ends[e][k] - b[k]);
            away = std::sqrt(away);
            endAlpha[e] = row[4 * at + 3];
            most[e] = std::max(kHoleColourFloor, kHoleColourShare * away);
            perLevel[e] = kHoleMixShare * away / float(endAlpha[e]);
        }
        for (int i = begin; i < x; ++i) {
            float c[3];
            photographed(i, b, c);
            bool same = false;
            for (int e = 0; e < 2 && !same; ++e) {
                const float tolerance = std::min(most[e], perLevel[e] * float(endAlpha[e] - row[4 * i + 3]));
                float apart = 0.0f;
                for (int k = 0; k < 3; ++k)
                    apart += (c[k] - ends[e][k]) * (c[k] - ends[e][k]);
                same = tolerance > 0.0f && apart <= tolerance * tolerance;
            }
            if (same || spilled(i, c))
                out.push_back({i, y, opaque(c), 0, nearestWarm[i / subjects.fine] >= 0});
        }
    }
}

// Whether the nearest pixel out of the hole range in column x from row y + step on is opaque and
// within `reach` rows whose source pixels are all opaque.
bool OpaqueAlongColumn(const ImageView& image, int x, int y, int step, int reach, const std::uint8_t* opaqueRows)
{
    for (int yy = y + step; yy >= 0 && yy < image.height && std::abs(yy - y) <= reach; yy += step) {
        if (!opaqueRows[yy])
            return false;
        const int alpha = image.Pixel(x, yy)[3];
        if (alpha >= kHoleOpaque)
            return true;
        if (alpha < kHoleLow)
            return false;
    }
    return false;
}

// A run is judged along its row, so where a translucent warm subject (a flame's rim, sheer orange
// fabric) keys just below opaque beside an opaque part of it, single rows would fill while the rows
// above and below keep their partial alpha: a matte of one-row streaks. A pixel of a run beside a
// warm subject therefore fills only when the pixel above or the one below it is opaque as keyed,
// fills too, or lies beyond the frame: a hole one row tall in opaque subject still fills, a streak
// across a translucent rim does not. Other candidates decide as before (cloth beside its shadow
// keys bands of the hole range whose neighbours are no opaque pixels either).
// Marks: a bit a pixel, `words` words a row, set for a band's candidates that fill (MarkHoles), read
// once every band is marked (KeepRowsTogether), cleared as the band fills (ClearHoleMarks): they
// are clear between keys, and only the candidates' rows are touched.
void MarkHoles(const std::vector<HoleCandidate>& holes, int words, std::uint64_t* marks)
{
    for (const HoleCandidate& hole : holes)
        if (hole.colour != 0)
            marks[static_cast<std::size_t>(hole.y) * words + hole.x / 64] |= std::uint64_t{1} << (hole.x % 64);
}

void KeepRowsTogether(const ImageView& image, std::vector<HoleCandidate>& holes, int words, const std::uint64_t* marks)
{
    const auto holds = [&](int x, int y) {
        return y < 0 || y >= image.height || image.Pixel(x, y)[3] >= kHoleOpaque ||
               (marks[static_cast<std::size_t>(y) * words + x / 64] >> (x % 64) & 1) != 0;
    };
    for (HoleCandidate& hole : holes)
        if (hole.column && hole.colour != 0 && !holds(hole.x, hole.y - 1) && !holds(hole.x, hole.y + 1))
            hole.colour = 0;
}

void ClearHoleMarks(const std::vector<HoleCandidate>& holes, int words, std::uint64_t* marks)
{
    for (const HoleCandidate& hole : holes)
        marks[static_cast<std::size_t>(hole.y) * words + hole.x / 64] = 0;
}

// Everything the key allocates, kept between calls on the thread that renders: the first touch
// of a fresh page costs far more than filling it, and a 42-megapixel key needs megabytes.
struct KeyWorkspace {
    std::vector<RowScratch> rows; // one a worker thread
    std::vector<FrameStatistics> frameParts;
    std::vector<float> frameRows;
    std::vector<std::uint16_t> frameBins;
    std::vector<CellSums> sums;
    std::vector<CellRowTotals> cellRowTotals;
    std::vector<WarmCell> warmCells;
    std::vector<RefColor> grid;
    std::vector<std::uint8_t> known;
    std::vector<float> planes;
    std::vector<std::uint8_t> isSubject; // per fine cell: its subject colour reads as opaque
    FillScratch fill;
    std::vector<std::uint64_t> warmKeys; // per fine cell, after WarmKeysOfRow
    std::vector<SpanPlace> places;       // where the plate's spans of a row lie
    std::vector<float> keptRows;
    std::vector<std::vector<HoleCandidate>> holes; // one list a band of rows
    // Per band, per run of a column in the hole range below a speckle: the break that ended it
    // (2 row + 1 if opaque), -1 if the band ended first.
    std::vector<std::vector<std::int32_t>> chains;
    std::vector<std::uint8_t> opaqueRows;                 // rows whose source pixels are all opaque
    // Per band, SettleMasks' two masks of its first and last rows: they settle once every band is
    // keyed, as they have a neighbour in another band.
    std::vector<std::uint64_t> edgeMasks;
    std::vector<std::uint64_t> holeMarks; // a bit a pixel (see MarkHoles), clear between keys
};

KeyWorkspace& Workspace()
{
    thread_local KeyWorkspace workspace;
    return workspace;
}

} // namespace

int AutoColorDifferenceKey(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    int keyColor = static_cast<int>(op.Arg(0));
    if (keyColor < HXKeyColorAuto || keyColor > HXKeyColorBlue)
        return HXResultBadArgument;
    // What the key reads: the pass's source when the image is not a copy of it yet, else the image
    // itself, keyed in place.
    const bool inPlace = ctx.source == nullptr;
    const ImageView input =
        inPlace ? image : ImageView{const_cast<std::uint8_t*>(ctx.source), image.width, image.height, image.order};
    const double detail = Finite(op.Arg(1), 0.0, 1.0, 1.0);
    const double greyDetail = Finite(op.Arg(2), 0.0, 1.0, 0.0);
    const double greyThreshold = Finite(op.Arg(3), 0.0, 1.0, 0.0);
    if (keyColor == HXKeyColorAuto) {
        keyColor = DetectKeyColor(input, ctx.threads);
        if (keyColor == HXKeyColorAuto)
            keyColor = HXKeyColorGreen;
    }
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    const KeyChannels ch = keyColor == HXKeyColorBlue ? KeyChannels{bi, ri, 1} : KeyChannels{1, ri, bi};
    const float detailF = static_cast<float>(std::lround(detail * 256.0)) / 256.0f;
    const DifferenceTerms terms{detailF, 0.5f * (1.0f - detailF)};
    const int threads = std::max(1, ctx.threads);
    const KeyRowFunctions rows = RowFunctionsFor(ch.key);
    const int width = image.width;
    const int height = image.height;

    const int side = kFinePerCell * std::max(1, static_cast<int>(std::lround(kCellSide / kFinePerCell * ctx.scale)));
    const int gw = (width + side - 1) / side;
    const int gh = (height + side - 1) / side;
    const std::size_t cells = static_cast<std::size_t>(gw) * gh;
    const int finePerCell = side >= 8 * kFinePerCell ? kFinePerCell : kFinePerCell / 2;
    const int fine = side / finePerCell;
    const int warmReach = std::max(1, static_cast<int>(std::lround(kWarmReach * ctx.scale / fine)));
    const int fw = (width + fine - 1) / fine;
    const int fh = (height + fine - 1) / fine;

    // 1. The frame: its backdrop level (the purest 3 %) and the noise of D.
    KeyWorkspace& ws = Workspace();
    const FrameStatistics frame = MeasureFrame(input, rows, terms, threads, ws.frameParts, ws.frameRows, ws.frameBins);
    std::uint64_t framePixels = 0;
    for (int b = 0; b < kBins; ++b)
        framePixels += frame.purity[b];
    const int frameTop = TopBin(frame.purity, framePixels, 0.03);
    const std::uint8_t first =
        static_cast<std::uint8_t>(std::max(1, static_cast<int>(std::ceil(kSelectShare * frameTop))));
    // A frame whose purest pixels are barely coloured has no backdrop to estimate.
    const bool hasBackdrop = frameTop >= kBins / 10;
    const float noiseOfD = NoiseOfD(frame);
    const float tau = kSimilarSigmas * noiseOfD;

    if (ws.rows.size() < static_cast<std::size_t>(threads))
        ws.rows.resize(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t)
        ws.rows[static_cast<std::size_t>(t)].Fit(width, gw, fw, warmReach);

    // 2. Per plate cell the clean backdrop pixels (pure after smoothing, with pure neighbours), per
    // fine cell its most subject-like pixel. One row of plate cells a task, so every cell's sums
    // are made in one order whatever the threads.
    std::vector<CellSums>& sums = ws.sums;
    sums.assign(cells, CellSums{});
    std::vector<RefColor>& grid = ws.grid;
    grid.assign(cells, RefColor{});
    std::vector<std::uint8_t>& known = ws.known;
    known.assign(cells, 0);
    ws.cellRowTotals.assign(static_cast<std::size_t>(gh), CellRowTotals{});
    // A row of cells' backdrop estimates, once its sums are complete; the frame's backdrop sums
    // add integers, exact in a double, so rows may be added in any split.
    const auto measureCells = [&](int gy) {
        if (!hasBackdrop)
            return;
        CellRowTotals& totals = ws.cellRowTotals[static_cast<std::size_t>(gy)];
        for (std::size_t i = static_cast<std::size_t>(gy) * gw; i < static_cast<std::size_t>(gy + 1) * gw; ++i) {
            const CellSums& cell = sums[i];
            const double n = cell.count;
            // A few pure pixels in a cell of subject (gaps in the hair) are too few to trust.
            if (cell.count == 0 || n < kMeasuredShare * double(cell.total))
                continue;
            for (int k = 0; k < 3; ++k) {
                grid[i].c[k] = static_cast<float>(double(cell.c[k]) / n);
                totals.c[k] += double(cell.c[k]);
            }
            // Sigma in levels from squared steps in eighths.
            const auto sigma = [](std::uint32_t steps, std::int64_t squares) {
                return steps == 0 ? 0.0f : static_cast<float>(std::sqrt(double(squares) / (2.0 * steps)) / 8.0);
            };
            grid[i].c[3] = sigma(cell.smoothedSteps, cell.smoothedSquares);
            grid[i].c[4] = sigma(cell.rawSteps, cell.rawSquares);
            totals.count += cell.count;
            known[i] = 1;
        }
    };
    std::vector<WarmCell>& warmCells = ws.warmCells;
    warmCells.assign(static_cast<std::size_t>(fw) * fh, WarmCell{});
    const std::size_t binStride = static_cast<std::size_t>(width) + 2;
    ParallelFor(gh, threads, [&](int begin, int end, int worker) {
        RowScratch& s = ws.rows[static_cast<std::size_t>(worker)];
        DifferenceRows differences(input, rows, terms, tau, s.differences.data());
        const auto bins = [&](int y) { return s.bins.data() + static_cast<std::size_t>((y + 3) % 3) * binStride + 1; };
        const auto smoothed = [&](int y) { return s.smoothed.data() + static_cast<std::size_t>(y & 1) * width; };
        // Smoothed D and purity of row y (edge rows repeated beyond the image).
        const auto prepare = [&](int y) {
            const int clamped = std::clamp(y, 0, height - 1);
            differences.Advance(clamped, smoothed(y), nullptr, nullptr);
            std::uint8_t* b = bins(y);
            rows.purity(input.Row(clamped), smoothed(y), width, b);
            b[-1] = b[0];
            b[width] = b[width - 1];
        };
        StatisticsRow r{};
        r.width = width;
        r.side = side;
        r.fine = fine;
        r.first = first;
        r.clean = s.masks.data();
        r.visible = s.masks.data() + width;
        r.smoothedQ = s.eighths.data();
        r.rawQ = s.eighths.data() + width;
        r.steps = s.eighths.data() + 2 * static_cast<std::size_t>(width);
        r.columns = s.columns.data();
        // Steps beyond the last that has a partner kStep on stay 0.
        std::fill_n(r.steps, width, 0);
        for (int gy = begin; gy < end; ++gy) {
            const int y0 = gy * side;
            const int y1 = std::min(height, y0 + side);
            // The band's rows run on from one row of cells into the next.
            if (gy == begin) {
                prepare(y0 - 1);
                prepare(y0);
            }
            CellSums* cellRow = sums.data() + static_cast<std::size_t>(gy) * gw;
            ClearColumnSums(r.columns, width);
            for (int y = y0; y < y1; ++y) {
                prepare(y + 1); // keeps rows y - 1 .. y + 2 of D, so D of row y is still there
                // Every other row is plenty for the statistics (a cell has hundreds of backdrop pixels).
                if ((y - y0) & 1)
                    continue;
                r.pixels = input.Row(y);
                r.above = bins(y - 1);
                r.here = bins(y);
                r.below = bins(y + 1);
                r.smoothed = smoothed(y);
                r.raw = differences.D(y);
                r.y = y;
                rows.statistics(r);
                // The last statistics row of a row of fine cells (plate cells hold whole ones).
                if (y + 2 >= y1 || (y + 2) / fine != y / fine)
                    TakeLowestOfColumns(r.columns, width, fine,
                                        warmCells.data() + static_cast<std::size_t>(y / fine) * fw);
            }
            AddColumnsToCells(r.columns, width, side, cellRow);
            measureCells(gy);
        }
    });

    // 3. The plate: each trusted cell's mean backdrop colour and noise (taken as the rows of cells
    // were summed); the others filled in.
    double sum[3] = {0, 0, 0};
    std::uint64_t sumCount = 0;
    for (int gy = 0; gy < gh; ++gy) {
        const CellRowTotals& totals = ws.cellRowTotals[static_cast<std::size_t>(gy)];
        for (int k = 0; k < 3; ++k)
            sum[k] += totals.c[k];
        sumCount += totals.count;
    }
    RefColor global{};
    if (sumCount == 0) {
        // No backdrop anywhere: key against the pure key colour.
        global.c[ch.key] = 255.0f;
        global.c[3] = global.c[4] = noiseOfD;
        std::fill(grid.begin(), grid.end(), global);
    } else {
        for (int k = 0; k < 3; ++k)
            global.c[k] = static_cast<float>(sum[k] / double(sumCount));
        FillAndSmooth(grid, known, gw, gh, ws.fill, threads);
    }

    // "Removal" (grey detail 0) keys against the local backdrop and takes shadows and uneven light
    // out; grey detail 1 keys against the frame's backdrop, so shadows stay as a dark veil.
    const float keep = static_cast<float>(greyDetail);
    // Per cell, its planes side by side for interpolation (see Plane, PlaneOf). Alpha rises from 0 a few noise sigmas below
    // the backdrop's D to 1 at `high`.
    const float high = static_cast<float>(1.0 - kOpaqueShare * greyThreshold);
    const int headroomByte1 = ch.key == 0 ? 1 : 0; // the other two bytes, in KeyLayout's order
    const int headroomByte2 = ch.key == 2 ? 1 : 2;
    std::vector<float>& planes = ws.planes;
    planes.resize(cells * kPlanes);
    const auto planesOfCell = [&](std::size_t i) {
        RefColor& cell = grid[i];
        for (int k = 0; k < 3; ++k)
            cell.c[k] = (1.0f - keep) * cell.c[k] + keep * global.c[k];
        const float inverseD = 1.0f / std::max(float(kMinimumBackdropD), DifferenceOf(cell, ch, detailF));
        const float smoothedNoise = cell.c[3];
        // A cell's noise is measured on its cleanest pixels, which in a dim corner leaves out its
        // noisiest; the frame's noise (from neighbouring pixels everywhere) bounds it from below.
        const float noise = std::max(cell.c[4], kFrameNoiseShare * noiseOfD);
        const float low = kDeadZoneSigmas * smoothedNoise * inverseD;
        const float values[kPlanes] = {
            cell.c[0],
            cell.c[1],
            cell.c[2],
            inverseD,
            low,
            1.0f / std::max(0.02f, high - low),
            std::max(kLineSigmas * noise, kGateFloor) * inverseD,
            kAreaSigmas * noise * inverseD,
            kCeilingSigmas * smoothedNoise,
            1.0f / std::max(1.0f, 255.0f - cell.c[headroomByte1]),
            1.0f / std::max(1.0f, 255.0f - cell.c[headroomByte2]),
        };
        for (int p = 0; p < kPlanes; ++p)
            planes[PlaneOf(i, p)] = values[p];
    };

    // 4. Subject colours that are clearly warm (D well below 0). One pass over the rows of plate
    // cells makes their planes and, for the rows of fine cells they hold (which need only those
    // planes), the lowest warm key along each row; the key takes the nearest for every fine cell
    // from the rows within reach as it goes (NearestOfRow).
    std::vector<std::uint64_t>& warmKeys = ws.warmKeys;
    warmKeys.resize(warmCells.size());
    std::vector<std::uint8_t>& isSubject = ws.isSubject;
    isSubject.resize(warmCells.size());
    ParallelFor(gh, threads, [&](int begin, int end, int worker) {
        RowScratch& s = ws.rows[static_cast<std::size_t>(worker)];
        for (int gy = begin; gy < end; ++gy) {
            for (int gx = 0; gx < gw; ++gx)
                planesOfCell(static_cast<std::size_t>(gy) * gw + gx);
            const std::size_t rowCells = static_cast<std::size_t>(gy) * gw;
            for (int j = gy * finePerCell; j < std::min(fh, (gy + 1) * finePerCell); ++j) {
                const std::size_t first = static_cast<std::size_t>(j) * fw;
                for (int i = 0; i < fw; ++i) {
                    const float backdropD =
                        1.0f / planes[PlaneOf(rowCells + static_cast<std::size_t>(std::min(gw - 1, i / finePerCell)), PlaneInverseD)];
                    s.isWarm[static_cast<std::size_t>(i)] = float(warmCells[first + i].q) / 8.0f <= -kWarmShare * backdropD;
                    isSubject[first + i] = !s.isWarm[static_cast<std::size_t>(i)] &&
                                           float(warmCells[first + i].q) / 8.0f <= (1.0f - high) * backdropD;
                }
                WarmKeysOfRow(warmCells.data() + first, s.isWarm.data(), first, fw, warmReach, warmKeys.data() + first,
                              s.warmWork.data());
            }
        }
    });

    // 5. Alpha and unmixed colour, one row at a time against the interpolated clean plate. Keyed in
    // place, the key writes while it reads two rows around each row, so each band of rows takes the
    // D of the two rows on either side of it from copies made before any band writes.
    const float sideF = float(side);
    const int bands = std::min(height, 4 * threads);
    const auto bandBegin = [&](int band) { return static_cast<int>(static_cast<std::int64_t>(height) * band / bands); };
    const std::size_t keptStride = static_cast<std::size_t>(width) + 2;
    std::vector<float>& kept = ws.keptRows;
    if (inPlace)
        kept.resize(static_cast<std::size_t>(bands) * 4 * keptStride);
    const auto keptRow = [&](int band, int which) {
        return kept.data() + (static_cast<std::size_t>(band) * 4 + which) * keptStride;
    };
    ParallelFor(inPlace ? bands : 0, threads, [&](int first, int last) {
        for (int band = first; band < last; ++band) {
            const int rowsAround[4] = {bandBegin(band) - 2, bandBegin(band) - 1, bandBegin(band + 1),
                                       bandBegin(band + 1) + 1};
            for (int which = 0; which < 4; ++which) {
                float* d = keptRow(band, which);
                if (rowsAround[which] < 0 || rowsAround[which] >= height)
                    std::fill_n(d, keptStride, kOutside);
                else
                    rows.difference(image.Row(rowsAround[which]), width, terms, d + 1);
            }
        }
    });
    const int holeReach = std::max(2, static_cast<int>(std::lround(kHoleReach * ctx.scale)));
    const int speckle = std::max(1, static_cast<int>(std::lround(kSpeckle * ctx.scale)));
    const int walkReach = 4 * speckle; // a speckle's column is walked at most four speckle widths
    const SubjectCells subjects{warmCells.data(), isSubject.data(), fw, fh, fine, ch, high};
    const HoleScans holeScans = ChooseHoleScans();
    const PlateRowFunctions plateRows = PlateRowBuilds::Choose();
    std::vector<SpanPlace>& places = ws.places;
    places.resize(static_cast<std::size_t>(gw) + 2);
    const int placeCount = SpanPlaces(gw, sideF, width, places.data());
    ws.holes.resize(static_cast<std::size_t>(bands));
    const int words = (width + 63) / 64;
    ws.chains.resize(static_cast<std::size_t>(bands));
    ws.opaqueRows.resize(static_cast<std::size_t>(height));
    // The masks (see SettleMasks) of each band's first and last rows, kept as the band keys them:
    // those rows settle only once the bands beside them are keyed too.
    std::vector<std::uint64_t>& edgeMasks = ws.edgeMasks;
    edgeMasks.resize(static_cast<std::size_t>(bands) * 4 * words);
    const auto edgeMask = [&](int band, int last) {
        return edgeMasks.data() + (static_cast<std::size_t>(band) * 2 + last) * 2 * words;
    };
    ParallelFor(bands, threads, [&](int firstBand, int lastBand, int worker) {
        for (int band = firstBand; band < lastBand; ++band) {
            const int begin = bandBegin(band);
            const int end = bandBegin(band + 1);
            std::vector<HoleCandidate>& holes = ws.holes[static_cast<std::size_t>(band)];
            holes.clear();
            RowScratch& s = ws.rows[static_cast<std::size_t>(worker)];
            std::fill_n(s.breaks.begin(), width, -1);
            std::fill(s.walkingDown.begin(), s.walkingDown.end(), 0);
            std::fill_n(s.chainOf.begin(), width, -1);
            std::vector<std::int32_t>& chains = ws.chains[static_cast<std::size_t>(band)];
            chains.clear();
            DifferenceRows differences(input, rows, terms, tau, s.differences.data());
            if (inPlace)
                differences.KeepRows([&, band, begin, end](int y) -> const float* {
                    return y == begin - 2 ? keptRow(band, 0) : y == begin - 1 ? keptRow(band, 1)
                           : y == end ? keptRow(band, 2) : y == end + 1 ? keptRow(band, 3) : nullptr;
                });
            const WarmRow warmRow{
                {s.warm.data(), s.warm.data() + width, s.warm.data() + 2 * static_cast<std::size_t>(width)}};
            const std::size_t spanStride = static_cast<std::size_t>(gw) + 2;
            const std::size_t seedStride = static_cast<std::size_t>(width) + 2;
            // Row y's smoothed D (0), line opening (1) and joined counts (2); its seed flags.
            const auto output = [&](int y, int which) {
                return s.smoothed.data() + (static_cast<std::size_t>(y & 1) * 3 + which) * width;
            };
            const auto seedsOf = [&](int y) {
                return s.seeds.data() + static_cast<std::size_t>((y + 3) % 3) * seedStride + 1;
            };
            int spanCount[2] = {0, 0};
            // Smoothing, plate and seeds of row y (rows beyond the image have no seeds).
            const auto prepare = [&](int y) {
                std::int32_t* seeds = seedsOf(y);
                if (y < 0 || y >= height) {
                    std::fill_n(seeds - 1, seedStride, 0);
                    return;
                }
                differences.Advance(y, output(y, 0), output(y, 1), output(y, 2));
                const float fy = (float(y) + 0.5f) / sideF - 0.5f;
                const int j0 = std::clamp(static_cast<int>(std::floor(fy)), 0, std::max(0, gh - 2));
                const int j1 = std::min(gh - 1, j0 + 1);
                PlateSpan* spans = s.spans.data() + static_cast<std::size_t>(y & 1) * spanStride;
                plateRows.plate(planes.data(), cells, gw, j0, j1, fy - float(j0), sideF, places.data(), placeCount,
                                s.cellRow.data(), s.slopes.data(), spans);
                spanCount[y & 1] = placeCount;
                rows.seeds(spans, spanCount[y & 1], output(y, 0), output(y, 1), output(y, 2), seeds);
                seeds[-1] = 0;
                seeds[width] = 0;
            };
            prepare(begin - 1);
            prepare(begin);
            int warmRowIndex = -1;
            for (int y = begin; y < end; ++y) {
                prepare(y + 1);
                std::int32_t* const near = s.near.data();
                plateRows.nearSeeds(seedsOf(y - 1), seedsOf(y), seedsOf(y + 1), width, s.seedColumns.data(), near);
                const PlateSpan* spans = s.spans.data() + static_cast<std::size_t>(y & 1) * spanStride;
                const int count = spanCount[y & 1];
                const float* smoothed = output(y, 0);
                const std::int32_t* nearestOfRow = s.nearestWarm.data();
                if (y / fine != warmRowIndex) {
                    warmRowIndex = y / fine;
                    NearestOfRow(warmKeys.data(), fw, fh, warmRowIndex, warmReach, s.warmLowest.data(),
                                 s.nearestWarm.data());
                    for (int i = 0; i < fw; ++i)
                        if (nearestOfRow[i] >= 0) {
                            const WarmCell& cell = warmCells[static_cast<std::size_t>(nearestOfRow[i])];
                            for (int x = i * fine; x < std::min(width, (i + 1) * fine); ++x)
                                for (int k = 0; k < 3; ++k)
                                    warmRow.c[k][x] = cell.c[k];
                        }
                }
                // Runs of fine cells with and without a warm subject nearby.
                std::uint8_t* const keyed = image.Row(y);
                const std::uint8_t* pixels = input.Row(y);
                if (inPlace) {
                    std::memcpy(s.pixels.data(), keyed, image.RowBytes());
                    pixels = s.pixels.data();
                }
                for (int i = 0; i < fw;) {
                    const bool hasWarm = nearestOfRow[i] >= 0;
                    int next = i + 1;
                    while (next < fw && (nearestOfRow[next] >= 0) == hasWarm)
                        ++next;
                    (hasWarm ? rows.keyWarm : rows.key)(pixels, keyed, spans, count, i * fine, std::min(width, next * fine),
                                                        smoothed, near, warmRow);
                    i = next;
                }
                // The source row is read after the key, which brought it in from memory.
                const bool opaqueRow = holeScans.opaque(pixels, width);
                ws.opaqueRows[static_cast<std::size_t>(y)] = opaqueRow;
                // Row y - 1 settles now that the rows around it are keyed, unless a row of another
                // band lies next to it.
                {
                    const auto masks = [&](int row) {
                        return s.settleMasks.data() + static_cast<std::size_t>((row + 3) % 3) * 2 * words;
                    };
                    holeScans.settle(keyed, width, masks(y), masks(y) + words);
                    if (y == begin)
                        std::copy_n(masks(y), 2 * words, edgeMask(band, 0));
                    if (y == end - 1)
                        std::copy_n(masks(y), 2 * words, edgeMask(band, 1));
                    if (y - 1 > begin && ws.opaqueRows[static_cast<std::size_t>(y - 1)])
                        SettleRow(image.Row(y - 1), masks(y - 1) + words, masks(y - 2), masks(y - 1), masks(y), words);
                }
                // Speckles above walking down their columns: those whose column leaves the hole range
                // in this row settle. Then this row's candidates; its speckles take the nearest row
                // above out of the hole range, if the band's rows hold it.
                const bool anyHole = opaqueRow && holeScans.bits(keyed, width, 2 * y, s.holeBits.data(), s.breaks.data());
                if (!opaqueRow)
                    std::fill_n(s.breaks.begin(), width, 2 * y);
                for (int w = 0; w * 64 < width; ++w)
                    for (std::uint64_t settled = s.walkingDown[w] & (opaqueRow ? ~s.holeBits[w] : ~std::uint64_t{0});
                         settled != 0; settled &= settled - 1) {
                        const int x = w * 64 + std::countr_zero(settled);
                        chains[static_cast<std::size_t>(s.chainOf[x])] =
                            2 * y + (opaqueRow && keyed[4 * x + 3] >= kHoleOpaque);
                        s.chainOf[x] = -1;
                        s.walkingDown[w] &= ~(std::uint64_t{1} << (x % 64));
                    }
                if (!anyHole)
                    continue;
                const std::size_t first = holes.size();
                CollectHoleRuns(keyed, s.holeBits.data(), width, y, spans, count, holeReach, speckle, subjects,
                                nearestOfRow, holes);
                for (std::size_t h = first; h < holes.size(); ++h) {
                    HoleCandidate& hole = holes[h];
                    if (!(hole.walk & kWalkUp))
                        continue;
                    const std::int32_t above = s.breaks[static_cast<std::size_t>(hole.x)];
                    if (above >= 0 ? y - above / 2 > walkReach || !(above & 1) : y - begin >= walkReach)
                        hole.colour = 0;
                    else if (above >= 0)
                        hole.walk &= static_cast<std::uint8_t>(~kWalkUp);
                    if (hole.colour == 0)
                        continue;
                    std::int32_t& chain = s.chainOf[static_cast<std::size_t>(hole.x)];
                    if (chain < 0) {
                        chain = static_cast<std::int32_t>(chains.size());
                        chains.push_back(-1);
                        s.walkingDown[hole.x / 64] |= std::uint64_t{1} << (hole.x % 64);
                    }
                    hole.chain = chain;
                }
            }
        }
    });

    // Each band's first and last rows settle once their neighbours in other bands are keyed, before
    // any hole is filled, as the rows within a band did: their masks were taken as they were keyed,
    // so that no row is read while another thread settles it.
    ParallelFor(bands, threads, [&](int firstBand, int lastBand, int worker) {
        RowScratch& s = ws.rows[static_cast<std::size_t>(worker)];
        for (int band = firstBand; band < lastBand; ++band) {
            const int begin = bandBegin(band);
            const int end = bandBegin(band + 1);
            // The mask of pixels from kHoleLow up of row r next to this band's edge rows.
            const auto highOf = [&](int r, std::uint64_t* room) -> const std::uint64_t* {
                if (r < 0 || r >= height)
                    return nullptr;
                if (r == begin - 1)
                    return edgeMask(band - 1, 1);
                if (r == end)
                    return edgeMask(band + 1, 0);
                if (r == begin || r == end - 1)
                    return edgeMask(band, r != begin);
                holeScans.settle(image.Row(r), width, room, room + words);
                return room;
            };
            for (int last = 0; last < 2; ++last) {
                const int y = last ? end - 1 : begin;
                if ((last && end - 1 == begin) || !ws.opaqueRows[static_cast<std::size_t>(y)])
                    continue;
                std::uint64_t* room = s.settleMasks.data();
                const std::uint64_t* above = highOf(y - 1, room);
                const std::uint64_t* under = highOf(y + 1, room + 2 * words);
                SettleRow(image.Row(y), edgeMask(band, last) + words, above, edgeMask(band, last), under, words);
            }
        }
    });

    // 6. Holes enclosed by opaque subject: decided on the finished matte, then filled.
    // A frame without candidates needs neither pass, and a few thousand take less than waking
    // the other threads for them would (the bands are the same either way).
    std::size_t candidates = 0;
    for (const std::vector<HoleCandidate>& holes : ws.holes)
        candidates += holes.size();
    constexpr std::size_t kHolesForThreads = 16384;
    const int holeThreads = candidates < kHolesForThreads ? 1 : threads;
    if (candidates > 0) {
        ws.holeMarks.resize(static_cast<std::size_t>(height) * words);
        std::uint64_t* const marks = ws.holeMarks.data();
        ParallelFor(bands, holeThreads, [&](int firstBand, int lastBand) {
            for (int band = firstBand; band < lastBand; ++band) {
                // A speckle's column below: settled by its chain, or walked past the band's last row.
                const int last = bandBegin(band + 1) - 1;
                const std::vector<std::int32_t>& chains = ws.chains[static_cast<std::size_t>(band)];
                for (HoleCandidate& hole : ws.holes[static_cast<std::size_t>(band)]) {
                    if (hole.colour == 0 || !hole.walk)
                        continue;
                    bool enclosed = !(hole.walk & kWalkUp) ||
                                    OpaqueAlongColumn(image, hole.x, hole.y, -1, walkReach, ws.opaqueRows.data());
                    if (enclosed && (hole.walk & kWalkDown)) {
                        const std::int32_t end = chains[static_cast<std::size_t>(hole.chain)];
                        enclosed = end >= 0 ? (end & 1) && end / 2 - hole.y <= walkReach
                                            : last - hole.y < walkReach &&
                                                  OpaqueAlongColumn(image, hole.x, hole.y, 1, walkReach, ws.opaqueRows.data());
                    }
                    if (!enclosed)
                        hole.colour = 0;
                }
                MarkHoles(ws.holes[static_cast<std::size_t>(band)], words, marks);
            }
        });
        ParallelFor(bands, holeThreads, [&](int firstBand, int lastBand) {
            for (int band = firstBand; band < lastBand; ++band)
                KeepRowsTogether(image, ws.holes[static_cast<std::size_t>(band)], words, marks);
        });
        ParallelFor(bands, holeThreads, [&](int firstBand, int lastBand) {
            for (int band = firstBand; band < lastBand; ++band) {
                const std::vector<HoleCandidate>& holes = ws.holes[static_cast<std::size_t>(band)];
                ClearHoleMarks(holes, words, marks);
                for (const HoleCandidate& hole : holes)
                    if (hole.colour != 0)
                        StorePixel(image.Pixel(hole.x, hole.y), hole.colour);
            }
        });
    }
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
