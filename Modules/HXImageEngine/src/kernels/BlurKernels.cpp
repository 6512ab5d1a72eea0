#include "kernels/Primitives.h"

#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hvn::image::kernels {

PlaneView AlphaPlane(const ImageView& image)
{
    return ChannelPlane(image, 3);
}

PlaneView ChannelPlane(const ImageView& image, int byteIndex)
{
    return PlaneView{image.data + byteIndex, image.width, image.height, 4,
                     static_cast<std::ptrdiff_t>(image.RowBytes())};
}

namespace {

// Columns handled together by the vertical passes: wide enough for whole cache lines and
// vector loops, narrow enough that a strip's buffers stay in the core's own cache.
constexpr int kBoxStrip = 64;
constexpr int kStackStripPixels = 128;
// Rows blurred together by the horizontal stack pass, so that its inner loop has 4 * 4 lanes.
constexpr int kStackRowGroup = 4;

// ---------------------------------------------------------------------------------------------
// Box blur of 8-bit lines. A padded line holds `pad = radius + 1` copies of its first sample
// before it and of its last after it, so the running sum needs no clamping in its loop.

void PadEdges(std::uint8_t* buffer, int count, int pad, int lanes)
{
    const std::size_t laneBytes = static_cast<std::size_t>(lanes);
    const std::uint8_t* first = buffer + pad * laneBytes;
    const std::uint8_t* last = buffer + (pad + count - 1) * laneBytes;
    for (int i = 0; i < pad; ++i) {
        std::memcpy(buffer + i * laneBytes, first, laneBytes);
        std::memcpy(buffer + (pad + count + i) * laneBytes, last, laneBytes);
    }
}

// One box pass over `lanes` interleaved lines of `count` samples: `in` and `out` are padded.
void BoxPass(const std::uint8_t* in, std::uint8_t* out, int count, int radius, int lanes, std::uint32_t* sums)
{
    const int pad = radius + 1;
    const float inverse = 1.0f / static_cast<float>(2 * radius + 1);
    const std::size_t stride = static_cast<std::size_t>(lanes);
    for (int l = 0; l < lanes; ++l)
        sums[l] = 0;
    // The window of position -1: samples -radius-1 .. radius-1.
    for (int t = -radius - 1; t < radius; ++t) {
        const std::uint8_t* row = in + (t + pad) * stride;
        for (int l = 0; l < lanes; ++l)
            sums[l] += row[l];
    }
    for (int y = 0; y < count; ++y) {
        const std::uint8_t* enter = in + (y + radius + pad) * stride;
        const std::uint8_t* leave = in + (y - radius - 1 + pad) * stride;
        std::uint8_t* target = out + (y + pad) * stride;
        for (int l = 0; l < lanes; ++l) {
            sums[l] += static_cast<std::uint32_t>(enter[l]) - leave[l];
            target[l] = static_cast<std::uint8_t>(static_cast<float>(sums[l]) * inverse + 0.5f);
        }
    }
}

// Runs the passes on a padded buffer whose samples are already in `a`; the result ends in the
// returned buffer (a or b).
std::uint8_t* BoxPasses(std::uint8_t* a, std::uint8_t* b, int count, int radius, int lanes, int passes,
                        std::uint32_t* sums)
{
    for (int pass = 0; pass < passes; ++pass) {
        PadEdges(a, count, radius + 1, lanes);
        BoxPass(a, b, count, radius, lanes, sums);
        std::swap(a, b);
    }
    return a;
}

int BoxBlurRows(const PlaneView& plane, int radius, int passes, int threads)
{
    const int pad = radius + 1;
    const std::size_t lineBytes = static_cast<std::size_t>(plane.width) + 2u * static_cast<std::size_t>(pad);
    const int bandCount = std::min(plane.height, std::max(1, threads) * 4);
    // Buffers are made before the parallel region: no allocation may throw inside it.
    std::vector<std::uint8_t> buffers(lineBytes * 2u * static_cast<std::size_t>(bandCount));
    ParallelFor(bandCount, threads, [&](int bandBegin, int bandEnd) {
        for (int band = bandBegin; band < bandEnd; ++band) {
            std::uint8_t* a = buffers.data() + lineBytes * 2u * band;
            std::uint8_t* b = a + lineBytes;
            std::uint32_t sum = 0;
            const int yBegin = static_cast<int>(static_cast<std::int64_t>(plane.height) * band / bandCount);
            const int yEnd = static_cast<int>(static_cast<std::int64_t>(plane.height) * (band + 1) / bandCount);
            for (int y = yBegin; y < yEnd; ++y) {
                for (int x = 0; x < plane.width; ++x)
                    a[pad + x] = plane.At(x, y);
                const std::uint8_t* result = BoxPasses(a, b, plane.width, radius, 1, passes, &sum);
                for (int x = 0; x < plane.width; ++x)
                    plane.At(x, y) = result[pad + x];
            }
        }
    });
    return HXResultOk;
}

int BoxBlurColumns(const PlaneView& plane, int radius, int passes, int threads)
{
    const int pad = radius + 1;
    const int strips = (plane.width + kBoxStrip - 1) / kBoxStrip;
    const int workers = std::min(strips, std::max(1, threads));
    const std::size_t bufferBytes =
        (static_cast<std::size_t>(plane.height) + 2u * static_cast<std::size_t>(pad)) * kBoxStrip;
    std::vector<std::uint8_t> buffers(bufferBytes * 2u * static_cast<std::size_t>(workers));
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(kBoxStrip) * workers);
    // One worker a band of strips; each band owns its buffers.
    ParallelFor(workers, threads, [&](int workerBegin, int workerEnd) {
        for (int worker = workerBegin; worker < workerEnd; ++worker) {
            std::uint8_t* a = buffers.data() + bufferBytes * 2u * worker;
            std::uint8_t* b = a + bufferBytes;
            const int sBegin = static_cast<int>(static_cast<std::int64_t>(strips) * worker / workers);
            const int sEnd = static_cast<int>(static_cast<std::int64_t>(strips) * (worker + 1) / workers);
            for (int strip = sBegin; strip < sEnd; ++strip) {
                const int x0 = strip * kBoxStrip;
                const int lanes = std::min(kBoxStrip, plane.width - x0);
                for (int y = 0; y < plane.height; ++y) {
                    std::uint8_t* row = a + static_cast<std::size_t>(y + pad) * lanes;
                    for (int l = 0; l < lanes; ++l)
                        row[l] = plane.At(x0 + l, y);
                }
                const std::uint8_t* result =
                    BoxPasses(a, b, plane.height, radius, lanes, passes, sums.data() + kBoxStrip * worker);
                for (int y = 0; y < plane.height; ++y) {
                    const std::uint8_t* row = result + static_cast<std::size_t>(y + pad) * lanes;
                    for (int l = 0; l < lanes; ++l)
                        plane.At(x0 + l, y) = row[l];
                }
            }
        }
    });
    return HXResultOk;
}

// ---------------------------------------------------------------------------------------------
// Stack (triangle) blur: weights 1, 2, .. radius + 1, .. 2, 1 over 2 * radius + 1 samples, the
// product of two running box sums of radius + 1 samples. The incoming and outgoing halves of the
// window are kept as running sums, so each step costs the same whatever the radius.
//
// Every position carries `lanes` 16-bit values: for colour, channel * alpha and alpha * 255 (the
// premultiplied pixel at full precision); for alpha alone, the alpha byte.

template <class Acc>
struct StackState {
    int radius = 0;
    int lanes = 0;
    std::uint16_t* ring = nullptr; // (2 * radius + 1) positions of `lanes` values
    Acc* sum = nullptr;
    Acc* sumIn = nullptr;
    Acc* sumOut = nullptr;

    std::uint16_t* Slot(int index) const { return ring + static_cast<std::size_t>(index) * lanes; }
};

// Blurs positions 0 .. count-1. fetch(position, target) converts the input at a position (already
// clamped to the line) into lanes; store(position, sums) writes the result of a position. Inputs
// are fetched only ahead of the position stored last, so the line may be written in place.
template <class Acc, int FixedLanes, class Fetch, class Store>
void StackLine(const StackState<Acc>& s, int count, Fetch&& fetch, Store&& store)
{
    const int lanes = FixedLanes > 0 ? FixedLanes : s.lanes;
    const int r = s.radius;
    const int size = 2 * r + 1;
    for (int l = 0; l < lanes; ++l)
        s.sum[l] = s.sumIn[l] = s.sumOut[l] = 0;
    // Slot of position p: (p + r) mod size. Positions -r .. 0 all hold the first sample.
    fetch(0, s.Slot(r));
    for (int i = -r; i < 0; ++i)
        std::memcpy(s.Slot(i + r), s.Slot(r), sizeof(std::uint16_t) * lanes);
    for (int i = 1; i <= r; ++i)
        fetch(std::min(i, count - 1), s.Slot(i + r));
    for (int i = -r; i <= r; ++i) {
        const std::uint16_t* v = s.Slot(i + r);
        const Acc weight = static_cast<Acc>(r + 1 - (i < 0 ? -i : i));
        for (int l = 0; l < lanes; ++l) {
            s.sum[l] += v[l] * weight;
            if (i <= 0)
                s.sumOut[l] += v[l];
            else
                s.sumIn[l] += v[l];
        }
    }
    int oldest = 0;     // slot of position p - r
    int centre = r + 1; // slot of position p + 1
    if (centre == size)
        centre = 0;
    for (int p = 0; p < count; ++p) {
        store(p, s.sum);
        if (p + 1 == count)
            break;
        std::uint16_t* slot = s.Slot(oldest);
        for (int l = 0; l < lanes; ++l) {
            s.sum[l] -= s.sumOut[l];
            s.sumOut[l] -= slot[l];
        }
        fetch(std::min(p + r + 1, count - 1), slot);
        const std::uint16_t* next = s.Slot(centre);
        for (int l = 0; l < lanes; ++l) {
            s.sumIn[l] += slot[l];
            s.sum[l] += s.sumIn[l];
            s.sumOut[l] += next[l];
            s.sumIn[l] -= next[l];
        }
        if (++oldest == size)
            oldest = 0;
        if (++centre == size)
            centre = 0;
    }
}

// Pixel to lanes and sums to pixel for the three channel choices.
inline void PremultipliedLanes(const std::uint8_t* p, std::uint16_t* lanes)
{
#if defined(__SSE2__)
    // [b g r a] * [a a a 255] in 16-bit lanes; the same products as the scalar form below.
    std::int32_t packed;
    std::memcpy(&packed, p, 4);
    const __m128i pixel = _mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), _mm_setzero_si128());
    const __m128i alpha = _mm_or_si128(_mm_and_si128(_mm_shufflelo_epi16(pixel, 0xFF), _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1)),
                                       _mm_set_epi16(0, 0, 0, 0, 255, 0, 0, 0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(lanes), _mm_mullo_epi16(pixel, alpha));
#else
    const unsigned a = p[3];
    lanes[0] = static_cast<std::uint16_t>(p[0] * a);
    lanes[1] = static_cast<std::uint16_t>(p[1] * a);
    lanes[2] = static_cast<std::uint16_t>(p[2] * a);
    lanes[3] = static_cast<std::uint16_t>(255u * a);
#endif
}

inline std::uint8_t RoundToByte(float value)
{
    return static_cast<std::uint8_t>(std::min(value + 0.5f, 255.0f));
}

// Colour = sum(channel * alpha) / sum(alpha); where no weight is opaque at all the colour stays.
template <class Acc>
inline void StoreColour(const Acc* sums, std::uint8_t* p)
{
    const Acc alphaSum = sums[3];
    if (alphaSum == 0)
        return;
    const float inverse = 255.0f / static_cast<float>(alphaSum);
    p[0] = RoundToByte(static_cast<float>(sums[0]) * inverse);
    p[1] = RoundToByte(static_cast<float>(sums[1]) * inverse);
    p[2] = RoundToByte(static_cast<float>(sums[2]) * inverse);
}

template <class Acc>
struct StackStore {
    HXChannelsToProcess channels;
    float alphaScale; // 1 / (weights' sum), times 1/255 when alpha lanes hold alpha * 255

    void operator()(const Acc* sums, std::uint8_t* p) const
    {
#if defined(__SSE2__)
        if constexpr (sizeof(Acc) == 4) {
            if (channels != HXChannelsAlpha) {
                StoreVector(sums, p);
                return;
            }
        }
#endif
        if (channels == HXChannelsAlpha) {
            p[3] = RoundToByte(static_cast<float>(sums[0]) * alphaScale);
            return;
        }
        StoreColour(sums, p);
        if (channels == HXChannelsColorAndAlpha)
            p[3] = RoundToByte(static_cast<float>(sums[3]) * alphaScale);
    }

#if defined(__SSE2__)
    // The colour store of one pixel in one vector: colour lanes times 255 / alpha sum, the alpha
    // lane times alphaScale. Sums are halved first so that the signed conversion takes all of them.
    void StoreVector(const Acc* sums, std::uint8_t* p) const
    {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums));
        const __m128 f = _mm_cvtepi32_ps(_mm_srli_epi32(s, 1));
        const __m128 alphaSum = _mm_shuffle_ps(f, f, 0xFF);
        const __m128 colourLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
        const __m128 scale = _mm_or_ps(_mm_and_ps(colourLanes, _mm_div_ps(_mm_set1_ps(255.0f), alphaSum)),
                                       _mm_andnot_ps(colourLanes, _mm_set1_ps(2.0f * alphaScale)));
        const __m128 rounded = _mm_min_ps(_mm_add_ps(_mm_mul_ps(f, scale), _mm_set1_ps(0.5f)), _mm_set1_ps(255.0f));
        const __m128i bytes32 = _mm_cvttps_epi32(rounded);
        const __m128i bytes16 = _mm_packs_epi32(bytes32, bytes32);
        std::int32_t result = _mm_cvtsi128_si32(_mm_packus_epi16(bytes16, bytes16));
        std::int32_t original;
        std::memcpy(&original, p, 4);
        // No opaque weight at all: the colour stays; colour only: alpha stays.
        const std::uint32_t keep = (_mm_cvtsi128_si32(_mm_shuffle_epi32(s, 0xFF)) == 0 ? 0x00FFFFFFu : 0u) |
                                   (channels == HXChannelsColor ? 0xFF000000u : 0u);
        result = static_cast<std::int32_t>((static_cast<std::uint32_t>(result) & ~keep) |
                                           (static_cast<std::uint32_t>(original) & keep));
        std::memcpy(p, &result, 4);
    }
#endif
};

template <class Acc>
struct StackBuffers {
    std::vector<std::uint16_t> rings;
    std::vector<Acc> sums;
    std::size_t ringSize = 0;
    std::size_t sumSize = 0;

    StackBuffers(int workers, int radius, int lanes)
        : ringSize(static_cast<std::size_t>(2 * radius + 1) * lanes), sumSize(static_cast<std::size_t>(lanes) * 3)
    {
        rings.resize(ringSize * workers);
        sums.resize(sumSize * workers);
    }

    StackState<Acc> For(int worker, int radius, int lanes)
    {
        Acc* s = sums.data() + sumSize * worker;
        return StackState<Acc>{radius, lanes, rings.data() + ringSize * worker, s, s + lanes, s + 2 * lanes};
    }
};

template <class Acc>
void StackRows(const ImageView& image, int radius, HXChannelsToProcess channels, const StackStore<Acc>& store,
               int threads)
{
    const int laneCount = channels == HXChannelsAlpha ? 1 : 4;
    const int groups = (image.height + kStackRowGroup - 1) / kStackRowGroup;
    const int workers = std::min(groups, std::max(1, threads));
    StackBuffers<Acc> buffers(workers, radius, laneCount * kStackRowGroup);
    ParallelFor(workers, threads, [&](int workerBegin, int workerEnd) {
        for (int worker = workerBegin; worker < workerEnd; ++worker) {
            const StackState<Acc> state = buffers.For(worker, radius, laneCount * kStackRowGroup);
            const int gBegin = static_cast<int>(static_cast<std::int64_t>(groups) * worker / workers);
            const int gEnd = static_cast<int>(static_cast<std::int64_t>(groups) * (worker + 1) / workers);
            for (int group = gBegin; group < gEnd; ++group) {
                const int y0 = group * kStackRowGroup;
                const int rows = std::min(kStackRowGroup, image.height - y0);
                std::uint8_t* rowData[kStackRowGroup];
                // A short last group repeats its last row; only real rows are written.
                for (int g = 0; g < kStackRowGroup; ++g)
                    rowData[g] = image.Row(y0 + std::min(g, rows - 1));
                auto storeAll = [&](int x, const Acc* sums) {
                    for (int g = 0; g < rows; ++g)
                        store(sums + g * laneCount, rowData[g] + 4 * x);
                };
                if (channels == HXChannelsAlpha) {
                    auto fetch = [&](int x, std::uint16_t* lanes) {
                        for (int g = 0; g < kStackRowGroup; ++g)
                            lanes[g] = rowData[g][4 * x + 3];
                    };
                    StackLine<Acc, kStackRowGroup>(state, image.width, fetch, storeAll);
                } else {
                    auto fetch = [&](int x, std::uint16_t* lanes) {
                        for (int g = 0; g < kStackRowGroup; ++g)
                            PremultipliedLanes(rowData[g] + 4 * x, lanes + 4 * g);
                    };
                    StackLine<Acc, 4 * kStackRowGroup>(state, image.width, fetch, storeAll);
                }
            }
        }
    });
}

template <class Acc>
void StackColumns(const ImageView& image, int radius, HXChannelsToProcess channels, const StackStore<Acc>& store,
                  int threads)
{
    const int laneCount = channels == HXChannelsAlpha ? 1 : 4;
    const int strips = (image.width + kStackStripPixels - 1) / kStackStripPixels;
    const int workers = std::min(strips, std::max(1, threads));
    StackBuffers<Acc> buffers(workers, radius, laneCount * kStackStripPixels);
    ParallelFor(workers, threads, [&](int workerBegin, int workerEnd) {
        for (int worker = workerBegin; worker < workerEnd; ++worker) {
            const int sBegin = static_cast<int>(static_cast<std::int64_t>(strips) * worker / workers);
            const int sEnd = static_cast<int>(static_cast<std::int64_t>(strips) * (worker + 1) / workers);
            for (int strip = sBegin; strip < sEnd; ++strip) {
                const int x0 = strip * kStackStripPixels;
                const int pixels = std::min(kStackStripPixels, image.width - x0);
                const StackState<Acc> state = buffers.For(worker, radius, laneCount * pixels);
                auto storeRow = [&](int y, const Acc* sums) {
                    std::uint8_t* p = image.Pixel(x0, y);
                    for (int i = 0; i < pixels; ++i)
                        store(sums + i * laneCount, p + 4 * i);
                };
                if (channels == HXChannelsAlpha) {
                    auto fetch = [&](int y, std::uint16_t* lanes) {
                        const std::uint8_t* p = image.Pixel(x0, y);
                        for (int i = 0; i < pixels; ++i)
                            lanes[i] = p[4 * i + 3];
                    };
                    StackLine<Acc, 0>(state, image.height, fetch, storeRow);
                } else {
                    auto fetch = [&](int y, std::uint16_t* lanes) {
                        const std::uint8_t* p = image.Pixel(x0, y);
                        for (int i = 0; i < pixels; ++i)
                            PremultipliedLanes(p + 4 * i, lanes + 4 * i);
                    };
                    StackLine<Acc, 0>(state, image.height, fetch, storeRow);
                }
            }
        }
    });
}

template <class Acc>
void StackBlurWith(const ImageView& image, int radius, bool horizontal, bool vertical, HXChannelsToProcess channels,
                   int threads)
{
    const double weights = static_cast<double>(radius + 1) * static_cast<double>(radius + 1);
    const double alphaUnit = channels == HXChannelsAlpha ? 1.0 : 255.0;
    const StackStore<Acc> store{channels, static_cast<float>(1.0 / (weights * alphaUnit))};
    // Each direction reads and writes straight 8-bit pixels; the colour between the two passes is
    // the alpha-weighted mean, so it keeps its precision even where alpha is small.
    if (horizontal)
        StackRows<Acc>(image, radius, channels, store, threads);
    if (vertical)
        StackColumns<Acc>(image, radius, channels, store, threads);
}

} // namespace

int BoxBlurPlane(const PlaneView& plane, int radius, bool horizontal, bool vertical, int passes, int threads)
{
    if (passes < 1 || passes > 3 || plane.data == nullptr)
        return HXResultBadArgument;
    if (radius <= 0 || plane.width <= 0 || plane.height <= 0)
        return HXResultOk;
    if (horizontal && plane.width > 1)
        BoxBlurRows(plane, radius, passes, threads);
    if (vertical && plane.height > 1)
        BoxBlurColumns(plane, radius, passes, threads);
    return HXResultOk;
}

int StackBlurImage(const ImageView& image, int radius, bool horizontal, bool vertical, HXChannelsToProcess channels,
                   int threads)
{
    if (channels != HXChannelsAlpha && channels != HXChannelsColor && channels != HXChannelsColorAndAlpha)
        return HXResultBadArgument;
    if (radius <= 0 || image.width <= 0 || image.height <= 0 || (!horizontal && !vertical))
        return HXResultOk;
    // Sums of 16-bit lanes times (radius + 1)^2 weights fit 32 bits up to radius 255.
    if (radius < 256)
        StackBlurWith<std::uint32_t>(image, radius, horizontal, vertical, channels, threads);
    else
        StackBlurWith<std::uint64_t>(image, radius, horizontal, vertical, channels, threads);
    return HXResultOk;
}

int StackBlur(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const long radius = std::lround(std::max(0.0, op.Arg(0)) * ctx.scale);
    const auto channels = static_cast<HXChannelsToProcess>(static_cast<int>(op.Arg(3)));
    if (channels != HXChannelsAlpha && channels != HXChannelsColor && channels != HXChannelsColorAndAlpha)
        return HXResultBadArgument;
    if (radius == 0 || (op.Arg(1) == 0.0 && op.Arg(2) == 0.0))
        return HXResultOk; // a radius-0 blur is a plain copy, already made
    return StackBlurImage(image, static_cast<int>(std::min(radius, 1L << 20)), op.Arg(1) != 0.0, op.Arg(2) != 0.0,
                          channels, ctx.threads);
}

} // namespace hvn::image::kernels
