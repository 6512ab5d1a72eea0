#include "kernels/Primitives.h"

#include <bit>
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
    // Bands of strips handed out as threads come free; each thread has its buffers.
    ParallelFor(strips, workers, [&](int sBegin, int sEnd, int worker) {
        std::uint8_t* a = buffers.data() + bufferBytes * 2u * worker;
        std::uint8_t* b = a + bufferBytes;
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
    ParallelFor(groups, workers, [&](int gBegin, int gEnd, int worker) {
        const StackState<Acc> state = buffers.For(worker, radius, laneCount * kStackRowGroup);
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
    ParallelFor(strips, workers, [&](int sBegin, int sEnd, int worker) {
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

#if defined(__SSE2__)
// ---------------------------------------------------------------------------------------------
// The vector form of the stack blur for 32-bit sums (radius < 256): the same sums and the same
// rounding as StackLine and StackStore, so the bytes are identical. Each line is first turned
// into 16-bit lanes with radius + 2 copies of its end samples on either side, so the running
// sums need no clamping. The sums are kept as the triangle sum T and its step
// D(p) = T(p + 1) - T(p) = sum of v[p + 1 .. p + r + 1] - sum of v[p - r .. p], which itself moves
// by v[p + r + 2] - 2 v[p + 1] + v[p - r]: two running sums instead of three.

inline __m128i WidenLo(__m128i v)
{
    return _mm_unpacklo_epi16(v, _mm_setzero_si128());
}

inline __m128i WidenHi(__m128i v)
{
    return _mm_unpackhi_epi16(v, _mm_setzero_si128());
}

inline __m128i Load(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

inline void Store(void* p, __m128i v)
{
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Rows of four 32-bit elements to columns.
inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d)
{
    const __m128i t0 = _mm_unpacklo_epi32(a, b);
    const __m128i t1 = _mm_unpacklo_epi32(c, d);
    const __m128i t2 = _mm_unpackhi_epi32(a, b);
    const __m128i t3 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(t0, t1);
    b = _mm_unpackhi_epi64(t0, t1);
    c = _mm_unpacklo_epi64(t2, t3);
    d = _mm_unpackhi_epi64(t2, t3);
}

// Four pixels to 16 lanes: channel * alpha, alpha * 255 (as PremultipliedLanes).
inline void Premultiply4(__m128i pixels, std::uint16_t* lanes)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i unit = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128i lo = _mm_unpacklo_epi8(pixels, zero);
    const __m128i hi = _mm_unpackhi_epi8(pixels, zero);
    const __m128i alphaLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
    const __m128i alphaHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
    Store(lanes, _mm_mullo_epi16(lo, _mm_or_si128(_mm_and_si128(alphaLo, colour), unit)));
    Store(lanes + 8, _mm_mullo_epi16(hi, _mm_or_si128(_mm_and_si128(alphaHi, colour), unit)));
}

// D += a + c - 2 b over four 32-bit lanes taken from 16-bit lanes.
inline __m128i StepLo(__m128i d, __m128i a, __m128i b, __m128i c)
{
    const __m128i wb = WidenLo(b);
    return _mm_sub_epi32(_mm_sub_epi32(_mm_add_epi32(d, _mm_add_epi32(WidenLo(a), WidenLo(c))), wb), wb);
}

inline __m128i StepHi(__m128i d, __m128i a, __m128i b, __m128i c)
{
    const __m128i wb = WidenHi(b);
    return _mm_sub_epi32(_mm_sub_epi32(_mm_add_epi32(d, _mm_add_epi32(WidenHi(a), WidenHi(c))), wb), wb);
}

// StackStore::StoreVector for four pixels at once (one division for the four).
struct ColourStore4 {
    __m128 alphaLane;  // 0, 0, 0, 2 * alphaScale
    __m128i keepAlpha; // alpha bytes kept (colour only)

    __m128i operator()(__m128i s0, __m128i s1, __m128i s2, __m128i s3, __m128i original) const
    {
        const __m128 f0 = _mm_cvtepi32_ps(_mm_srli_epi32(s0, 1));
        const __m128 f1 = _mm_cvtepi32_ps(_mm_srli_epi32(s1, 1));
        const __m128 f2 = _mm_cvtepi32_ps(_mm_srli_epi32(s2, 1));
        const __m128 f3 = _mm_cvtepi32_ps(_mm_srli_epi32(s3, 1));
        const __m128 alphaSums = _mm_movehl_ps(_mm_unpackhi_ps(f2, f3), _mm_unpackhi_ps(f0, f1));
        const __m128 inverse = _mm_div_ps(_mm_set1_ps(255.0f), alphaSums);
        const __m128i c0 = Bytes(f0, _mm_shuffle_ps(inverse, inverse, 0x00));
        const __m128i c1 = Bytes(f1, _mm_shuffle_ps(inverse, inverse, 0x55));
        const __m128i c2 = Bytes(f2, _mm_shuffle_ps(inverse, inverse, 0xAA));
        const __m128i c3 = Bytes(f3, _mm_shuffle_ps(inverse, inverse, 0xFF));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(c0, c1), _mm_packs_epi32(c2, c3));
        const __m128i alphaInts = _mm_unpackhi_epi64(_mm_unpackhi_epi32(s0, s1), _mm_unpackhi_epi32(s2, s3));
        const __m128i keep =
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi32(alphaInts, _mm_setzero_si128()), _mm_set1_epi32(0x00FFFFFF)),
                         keepAlpha);
        return _mm_or_si128(_mm_andnot_si128(keep, bytes), _mm_and_si128(keep, original));
    }

    __m128i Bytes(__m128 f, __m128 inverse) const
    {
        const __m128 colourLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
        const __m128 scale = _mm_or_ps(_mm_and_ps(colourLanes, inverse), alphaLane);
        return _mm_cvttps_epi32(_mm_min_ps(_mm_add_ps(_mm_mul_ps(f, scale), _mm_set1_ps(0.5f)), _mm_set1_ps(255.0f)));
    }
};

// The alpha-only store of four sums (RoundToByte(sum * alphaScale)), as 32-bit values.
inline __m128i AlphaValues4(__m128i sums, __m128 scale)
{
    return _mm_cvttps_epi32(
        _mm_min_ps(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(sums), scale), _mm_set1_ps(0.5f)), _mm_set1_ps(255.0f)));
}

// Per-worker scratch memory, each worker's share on cache lines of its own.
class Scratch {
public:
    Scratch(int workers, std::size_t bytes) : stride_((bytes + 127) / 64 * 64), memory_(stride_ * workers + 64) {}
    template <class T>
    T* For(int worker, std::size_t offsetBytes = 0)
    {
        const auto base = reinterpret_cast<std::uintptr_t>(memory_.data());
        const std::uintptr_t aligned = (base + 63) / 64 * 64;
        return reinterpret_cast<T*>(aligned + stride_ * static_cast<std::size_t>(worker) + offsetBytes);
    }

private:
    std::size_t stride_;
    std::vector<std::uint8_t> memory_;
};

constexpr int kFastLanes = 16; // 16-bit lanes a position: 4 rows of 4 channels, or 16 rows of alpha

// T and D of position 0 from a padded line of 16-lane positions (line points at position 0).
inline void StartSums(const std::uint16_t* line, int radius, std::ptrdiff_t step, int lanes, std::uint32_t* t,
                      std::uint32_t* d)
{
    for (int l = 0; l < lanes; ++l)
        t[l] = d[l] = 0;
    for (int i = -radius; i <= radius + 1; ++i) {
        const std::uint16_t* v = line + i * step;
        const std::uint32_t weight = i <= radius ? static_cast<std::uint32_t>(radius + 1 - (i < 0 ? -i : i)) : 0u;
        for (int l = 0; l < lanes; ++l) {
            t[l] += v[l] * weight;
            if (i <= 0)
                d[l] -= v[l];
            else
                d[l] += v[l];
        }
    }
}

// Fills the `pad` positions before and after a line of `count` positions of 16 lanes.
inline void PadLine(std::uint16_t* line, int count, int pad)
{
    for (int i = 1; i <= pad; ++i) {
        std::memcpy(line - i * kFastLanes, line, kFastLanes * sizeof(std::uint16_t));
        std::memcpy(line + (count - 1 + i) * kFastLanes, line + (count - 1) * kFastLanes,
                    kFastLanes * sizeof(std::uint16_t));
    }
}

// Horizontal pass over 4 rows (colour) or 16 rows (alpha) at once; `rows` of them are real.
struct FastRows {
    const ImageView& image;
    int radius;
    HXChannelsToProcess channels;
    ColourStore4 colourStore;
    __m128 alphaScale;

    int Group() const { return channels == HXChannelsAlpha ? 16 : 4; }
    std::size_t LineLanes() const { return static_cast<std::size_t>(image.width + 2 * (radius + 2)) * kFastLanes; }

    void Run(std::uint16_t* buffer, int y0, int rows) const
    {
        const int group = Group();
        std::uint8_t* row[16];
        for (int g = 0; g < group; ++g)
            row[g] = image.Row(y0 + std::min(g, rows - 1));
        std::uint16_t* line = buffer + (radius + 2) * kFastLanes;
        const int width = image.width;
        if (channels == HXChannelsAlpha) {
            for (int g = 0; g < 16; ++g)
                for (int x = 0; x < width; ++x)
                    line[x * kFastLanes + g] = row[g][4 * x + 3];
        } else {
            int x = 0;
            for (; x + 4 <= width; x += 4) {
                __m128i p0 = Load(row[0] + 4 * x), p1 = Load(row[1] + 4 * x);
                __m128i p2 = Load(row[2] + 4 * x), p3 = Load(row[3] + 4 * x);
                Transpose4(p0, p1, p2, p3);
                Premultiply4(p0, line + (x + 0) * kFastLanes);
                Premultiply4(p1, line + (x + 1) * kFastLanes);
                Premultiply4(p2, line + (x + 2) * kFastLanes);
                Premultiply4(p3, line + (x + 3) * kFastLanes);
            }
            for (; x < width; ++x)
                for (int g = 0; g < 4; ++g)
                    PremultipliedLanes(row[g] + 4 * x, line + x * kFastLanes + 4 * g);
        }
        PadLine(line, width, radius + 2);

        alignas(16) std::uint32_t t[kFastLanes];
        alignas(16) std::uint32_t d[kFastLanes];
        StartSums(line, radius, kFastLanes, kFastLanes, t, d);
        __m128i t0 = Load(t), t1 = Load(t + 4), t2 = Load(t + 8), t3 = Load(t + 12);
        __m128i d0 = Load(d), d1 = Load(d + 4), d2 = Load(d + 8), d3 = Load(d + 12);
        // Moves T and D from position x to x + 1 (the padding covers x = width - 1 too).
        auto step = [&](int x) {
            const std::uint16_t* a = line + (x + radius + 2) * kFastLanes;
            const std::uint16_t* b = line + (x + 1) * kFastLanes;
            const std::uint16_t* c = line + (x - radius) * kFastLanes;
            t0 = _mm_add_epi32(t0, d0);
            t1 = _mm_add_epi32(t1, d1);
            t2 = _mm_add_epi32(t2, d2);
            t3 = _mm_add_epi32(t3, d3);
            const __m128i a0 = Load(a), b0 = Load(b), c0 = Load(c);
            const __m128i a1 = Load(a + 8), b1 = Load(b + 8), c1 = Load(c + 8);
            d0 = StepLo(d0, a0, b0, c0);
            d1 = StepHi(d1, a0, b0, c0);
            d2 = StepLo(d2, a1, b1, c1);
            d3 = StepHi(d3, a1, b1, c1);
        };

        if (channels == HXChannelsAlpha) {
            for (int x = 0; x < width; ++x) {
                const __m128i v0 = AlphaValues4(t0, alphaScale), v1 = AlphaValues4(t1, alphaScale);
                const __m128i v2 = AlphaValues4(t2, alphaScale), v3 = AlphaValues4(t3, alphaScale);
                alignas(16) std::uint8_t bytes[16];
                _mm_store_si128(reinterpret_cast<__m128i*>(bytes),
                                _mm_packus_epi16(_mm_packs_epi32(v0, v1), _mm_packs_epi32(v2, v3)));
                for (int g = 0; g < rows; ++g)
                    row[g][4 * x + 3] = bytes[g];
                step(x);
            }
            return;
        }
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            // Four positions of four rows; the pixels as they were, by position.
            __m128i o0 = Load(row[0] + 4 * x), o1 = Load(row[1] + 4 * x);
            __m128i o2 = Load(row[2] + 4 * x), o3 = Load(row[3] + 4 * x);
            Transpose4(o0, o1, o2, o3);
            __m128i r0 = colourStore(t0, t1, t2, t3, o0);
            step(x);
            __m128i r1 = colourStore(t0, t1, t2, t3, o1);
            step(x + 1);
            __m128i r2 = colourStore(t0, t1, t2, t3, o2);
            step(x + 2);
            __m128i r3 = colourStore(t0, t1, t2, t3, o3);
            step(x + 3);
            Transpose4(r0, r1, r2, r3);
            const __m128i results[4] = {r0, r1, r2, r3};
            for (int g = 0; g < rows; ++g)
                Store(row[g] + 4 * x, results[g]);
        }
        for (; x < width; ++x) {
            std::int32_t o[4];
            for (int g = 0; g < 4; ++g)
                std::memcpy(&o[g], row[g] + 4 * x, 4);
            alignas(16) std::uint32_t r[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(r),
                            colourStore(t0, t1, t2, t3, _mm_set_epi32(o[3], o[2], o[1], o[0])));
            for (int g = 0; g < rows; ++g)
                std::memcpy(row[g] + 4 * x, &r[g], 4);
            step(x);
        }
    }
};

// Vertical pass over a strip of columns, all rows: a ring of the 2 r + 3 rows in reach (as 16-bit
// lanes), and T and D of every lane, so each step adds and subtracts whole rows.
struct FastColumns {
    const ImageView& image;
    int radius;
    HXChannelsToProcess channels;
    ColourStore4 colourStore;
    __m128 alphaScale;

    int LanesPerPixel() const { return channels == HXChannelsAlpha ? 1 : 4; }
    int RingRows() const { return 2 * radius + 3; }
    // Strip width: the ring within about 192 KB, whole vectors, and enough strips for the threads.
    int StripPixels(int threads) const
    {
        const int budget = 192 * 1024 / (RingRows() * 2 * LanesPerPixel());
        // Four strips a thread at least, so that bands balance when a thread is held up.
        const int share = (image.width + 4 * threads - 1) / (4 * threads);
        const int pixels = std::min({budget, share, 2048});
        return std::max(16, (pixels + 3) / 4 * 4);
    }
    static std::size_t Bytes(int ringRows, int stripPixels, int lanesPerPixel)
    {
        const std::size_t lanes = static_cast<std::size_t>(stripPixels) * lanesPerPixel;
        return lanes * (ringRows * sizeof(std::uint16_t) + 2 * sizeof(std::uint32_t));
    }

    // scratch: ring, then T, then D, for stripPixels pixels; the strip is [x0, x0 + pixels).
    void Run(std::uint8_t* scratch, int stripPixels, int x0, int pixels) const
    {
        const int lpp = LanesPerPixel();
        const std::size_t rowLanes = static_cast<std::size_t>(stripPixels) * lpp;
        const int n = RingRows();
        const int height = image.height;
        auto* ring = reinterpret_cast<std::uint16_t*>(scratch);
        auto* t = reinterpret_cast<std::uint32_t*>(scratch + rowLanes * n * sizeof(std::uint16_t));
        std::uint32_t* d = t + rowLanes;
        const int whole = pixels / 4 * 4; // pixels in whole vectors; the rest go through a copy
        auto slot = [&](int q) { return ring + static_cast<std::size_t>(std::clamp(q, 0, height - 1) % n) * rowLanes; };
        auto enter = [&](int q) {
            const std::uint8_t* p = image.Pixel(x0, q);
            std::uint16_t* lanes = slot(q);
            alignas(16) std::uint8_t tail[16] = {};
            std::memcpy(tail, p + 4 * whole, static_cast<std::size_t>(pixels - whole) * 4);
            if (lpp == 4) {
                for (int i = 0; i < whole; i += 4)
                    Premultiply4(Load(p + 4 * i), lanes + 4 * i);
                if (whole < pixels)
                    Premultiply4(Load(tail), lanes + 4 * whole);
            } else {
                for (int i = 0; i < whole; i += 4) {
                    const __m128i a = _mm_srli_epi32(Load(p + 4 * i), 24);
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(lanes + i), _mm_packs_epi32(a, a));
                }
                if (whole < pixels) {
                    const __m128i a = _mm_srli_epi32(Load(tail), 24);
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(lanes + whole), _mm_packs_epi32(a, a));
                }
            }
        };
        const int vectors = (pixels + 3) / 4; // in pixels of 4 (colour: 4 vectors of sums; alpha: 1)
        const std::size_t usedLanes = static_cast<std::size_t>(vectors) * 4 * lpp;
        for (int q = 0; q <= std::min(radius + 1, height - 1); ++q)
            enter(q);
        for (std::size_t l = 0; l < usedLanes; ++l)
            t[l] = d[l] = 0;
        for (int i = -radius; i <= radius + 1; ++i) {
            const std::uint16_t* v = slot(i);
            const std::uint32_t weight = i <= radius ? static_cast<std::uint32_t>(radius + 1 - (i < 0 ? -i : i)) : 0u;
            for (std::size_t l = 0; l < usedLanes; ++l) {
                t[l] += v[l] * weight;
                d[l] += i <= 0 ? 0u - v[l] : static_cast<std::uint32_t>(v[l]);
            }
        }
        for (int p = 0; p < height; ++p) {
            if (p + radius + 2 < height)
                enter(p + radius + 2);
            const std::uint16_t* a = slot(p + radius + 2);
            const std::uint16_t* b = slot(p + 1);
            const std::uint16_t* c = slot(p - radius);
            std::uint8_t* out = image.Pixel(x0, p);
            for (int k = 0; k < vectors; ++k) {
                const int i = 4 * k; // first pixel
                alignas(16) std::uint8_t tail[16];
                const bool partial = i + 4 > pixels;
                std::uint8_t* target = out + 4 * i;
                if (partial) {
                    std::memcpy(tail, target, static_cast<std::size_t>(pixels - i) * 4);
                    target = tail;
                }
                const __m128i original = Load(target);
                if (lpp == 4) {
                    std::uint32_t* tk = t + 16 * k;
                    std::uint32_t* dk = d + 16 * k;
                    __m128i t0 = Load(tk), t1 = Load(tk + 4), t2 = Load(tk + 8), t3 = Load(tk + 12);
                    Store(target, colourStore(t0, t1, t2, t3, original));
                    __m128i d0 = Load(dk), d1 = Load(dk + 4), d2 = Load(dk + 8), d3 = Load(dk + 12);
                    Store(tk, _mm_add_epi32(t0, d0));
                    Store(tk + 4, _mm_add_epi32(t1, d1));
                    Store(tk + 8, _mm_add_epi32(t2, d2));
                    Store(tk + 12, _mm_add_epi32(t3, d3));
                    const std::size_t l = 16 * static_cast<std::size_t>(k);
                    const __m128i a0 = Load(a + l), b0 = Load(b + l), c0 = Load(c + l);
                    const __m128i a1 = Load(a + l + 8), b1 = Load(b + l + 8), c1 = Load(c + l + 8);
                    Store(dk, StepLo(d0, a0, b0, c0));
                    Store(dk + 4, StepHi(d1, a0, b0, c0));
                    Store(dk + 8, StepLo(d2, a1, b1, c1));
                    Store(dk + 12, StepHi(d3, a1, b1, c1));
                } else {
                    std::uint32_t* tk = t + 4 * k;
                    std::uint32_t* dk = d + 4 * k;
                    const __m128i t0 = Load(tk);
                    const __m128i alpha = _mm_slli_epi32(AlphaValues4(t0, alphaScale), 24);
                    Store(target, _mm_or_si128(_mm_and_si128(original, _mm_set1_epi32(0x00FFFFFF)), alpha));
                    const __m128i d0 = Load(dk);
                    Store(tk, _mm_add_epi32(t0, d0));
                    const std::size_t l = 4 * static_cast<std::size_t>(k);
                    const __m128i a0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + l));
                    const __m128i b0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + l));
                    const __m128i c0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c + l));
                    Store(dk, StepLo(d0, a0, b0, c0));
                }
                if (partial)
                    std::memcpy(out + 4 * i, tail, static_cast<std::size_t>(pixels - i) * 4);
            }
        }
    }
};

void FastStackBlur(const ImageView& image, int radius, bool horizontal, bool vertical, HXChannelsToProcess channels,
                   int threads)
{
    threads = std::max(1, threads);
    const double weights = static_cast<double>(radius + 1) * static_cast<double>(radius + 1);
    const double alphaUnit = channels == HXChannelsAlpha ? 1.0 : 255.0;
    const float alphaScale = static_cast<float>(1.0 / (weights * alphaUnit));
    const ColourStore4 colourStore{_mm_castsi128_ps(_mm_set_epi32(std::bit_cast<std::int32_t>(2.0f * alphaScale), 0, 0, 0)),
                                   _mm_set1_epi32(channels == HXChannelsColor ? static_cast<int>(0xFF000000u) : 0)};
    const __m128 alphaScales = _mm_set1_ps(alphaScale);
    if (horizontal) {
        const FastRows rows{image, radius, channels, colourStore, alphaScales};
        const int group = rows.Group();
        const int groups = (image.height + group - 1) / group;
        const int workers = std::min(groups, threads);
        Scratch scratch(workers, rows.LineLanes() * sizeof(std::uint16_t));
        ParallelFor(groups, workers, [&](int gBegin, int gEnd, int worker) {
            for (int g = gBegin; g < gEnd; ++g)
                rows.Run(scratch.For<std::uint16_t>(worker), g * group, std::min(group, image.height - g * group));
        });
    }
    if (vertical) {
        const FastColumns columns{image, radius, channels, colourStore, alphaScales};
        const int stripPixels = columns.StripPixels(threads);
        const int strips = (image.width + stripPixels - 1) / stripPixels;
        const int workers = std::min(strips, threads);
        Scratch scratch(workers, FastColumns::Bytes(columns.RingRows(), stripPixels, columns.LanesPerPixel()));
        ParallelFor(strips, workers, [&](int sBegin, int sEnd, int worker) {
            for (int s = sBegin; s < sEnd; ++s) {
                const int x0 = s * stripPixels;
                columns.Run(scratch.For<std::uint8_t>(worker), stripPixels, x0, std::min(stripPixels, image.width - x0));
            }
        });
    }
}
#endif

} // namespace

int BoxBlurPlane(const PlaneView& plane, int radius, bool horizontal, bool vertical, int passes, int threads)
{
    if (passes < 1 || passes > 3 || plane.data == nullptr)
        return HXResultBadArgument;
    if (radius <= 0 || plane.width <= 0 || plane.height <= 0)
        return HXResultOk;
    radius = RadiusWithin(radius, plane.width, plane.height);
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
    radius = RadiusWithin(radius, image.width, image.height);
    // Sums of 16-bit lanes times (radius + 1)^2 weights fit 32 bits up to radius 255.
    if (radius < 256) {
#if defined(__SSE2__)
        FastStackBlur(image, radius, horizontal, vertical, channels, threads);
#else
        StackBlurWith<std::uint32_t>(image, radius, horizontal, vertical, channels, threads);
#endif
    } else {
        StackBlurWith<std::uint64_t>(image, radius, horizontal, vertical, channels, threads);
    }
    return HXResultOk;
}

int StackBlurImageReference(const ImageView& image, int radius, bool horizontal, bool vertical,
                            HXChannelsToProcess channels, int threads)
{
    if (channels != HXChannelsAlpha && channels != HXChannelsColor && channels != HXChannelsColorAndAlpha)
        return HXResultBadArgument;
    if (radius <= 0 || image.width <= 0 || image.height <= 0 || (!horizontal && !vertical))
        return HXResultOk;
    radius = RadiusWithin(radius, image.width, image.height);
    if (radius < 256)
        StackBlurWith<std::uint32_t>(image, radius, horizontal, vertical, channels, threads);
    else
        StackBlurWith<std::uint64_t>(image, radius, horizontal, vertical, channels, threads);
    return HXResultOk;
}

int StackBlur(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const int radius = CappedRadius(op.Arg(0) * ctx.scale, true);
    const auto channels = static_cast<HXChannelsToProcess>(static_cast<int>(op.Arg(3)));
    if (channels != HXChannelsAlpha && channels != HXChannelsColor && channels != HXChannelsColorAndAlpha)
        return HXResultBadArgument;
    if (radius == 0 || (op.Arg(1) == 0.0 && op.Arg(2) == 0.0))
        return HXResultOk; // a radius-0 blur is a plain copy, already made
    return StackBlurImage(image, radius, op.Arg(1) != 0.0, op.Arg(2) != 0.0,
                          channels, ctx.threads);
}

} // namespace hvn::image::kernels
