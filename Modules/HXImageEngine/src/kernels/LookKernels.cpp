#include "kernels/Primitives.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace hvn::image::kernels {

namespace {

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

// An uninitialised image-sized buffer, in huge pages where the system allows them, so that first
// touching it faults every 2 MB rather than every 4 KB.
std::unique_ptr<std::uint8_t[], FreeDeleter> ScratchImage(std::size_t bytes)
{
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    if (!memory)
        throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    return std::unique_ptr<std::uint8_t[], FreeDeleter>(static_cast<std::uint8_t*>(memory));
}

// One row of the unsharp mask: bytes move from the blurred bytes by amount / 256 of the
// difference where it reaches the threshold; alpha bytes stay.
void SharpenRowScalar(std::uint8_t* p, const std::uint8_t* b, int begin, int count, std::int32_t amount,
                      std::int32_t threshold)
{
    for (int i = begin; i < count; ++i) {
        const std::int32_t value = p[i];
        const std::int32_t difference = value - b[i];
        const bool sharpen = (i & 3) != 3 && std::abs(difference) >= threshold;
        const std::int32_t sharpened = value + ((difference * amount + 128) >> 8);
        p[i] = static_cast<std::uint8_t>(sharpen ? std::clamp(sharpened, 0, 255) : value);
    }
}

void SharpenRow(std::uint8_t* p, const std::uint8_t* b, int count, std::int32_t amount, std::int32_t threshold)
{
    int i = 0;
#if defined(__SSE2__)
    // amount <= 64 * 256 fits 16 bits, so difference * amount + 128 is one multiply-add of the
    // pairs (difference, 1) and (amount, 128), exact in 32 bits like the scalar form.
    const __m128i zero = _mm_setzero_si128();
    const __m128i factors = _mm_set1_epi32(static_cast<std::int32_t>((128u << 16) | static_cast<std::uint32_t>(amount)));
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i limit = _mm_set1_epi16(static_cast<std::int16_t>(threshold - 1));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    auto half = [&](__m128i v, __m128i d) {
        const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(d, ones), factors), 8);
        const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(d, ones), factors), 8);
        // v + step within 16 bits: |step| <= 255 * 64 + 1, v <= 255.
        return _mm_add_epi16(v, _mm_packs_epi32(lo, hi));
    };
    for (; i + 16 <= count; i += 16) {
        const __m128i pv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i vLo = _mm_unpacklo_epi8(pv, zero);
        const __m128i vHi = _mm_unpackhi_epi8(pv, zero);
        const __m128i dLo = _mm_sub_epi16(vLo, _mm_unpacklo_epi8(bv, zero));
        const __m128i dHi = _mm_sub_epi16(vHi, _mm_unpackhi_epi8(bv, zero));
        const __m128i sharpened = _mm_packus_epi16(half(vLo, dLo), half(vHi, dHi));
        // |d| >= threshold, as |d| > threshold - 1 on 16-bit lanes, narrowed to bytes.
        auto absolute = [&](__m128i d) { return _mm_max_epi16(d, _mm_sub_epi16(zero, d)); };
        const __m128i reach = _mm_packs_epi16(_mm_cmpgt_epi16(absolute(dLo), limit), _mm_cmpgt_epi16(absolute(dHi), limit));
        const __m128i take = _mm_and_si128(reach, colour);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i),
                         _mm_or_si128(_mm_and_si128(take, sharpened), _mm_andnot_si128(take, pv)));
    }
#endif
    SharpenRowScalar(p, b, i, count, amount, threshold);
}

} // namespace

// Flips the image left to right and/or top to bottom.
int Mirror(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const bool horizontal = op.Arg(0) != 0.0;
    const bool vertical = op.Arg(1) != 0.0;
    if (horizontal) {
        ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                std::uint8_t* row = image.Row(y);
                for (int x = 0, mirror = image.width - 1; x < mirror; ++x, --mirror) {
                    std::uint32_t a;
                    std::uint32_t b;
                    std::memcpy(&a, row + 4 * x, 4);
                    std::memcpy(&b, row + 4 * mirror, 4);
                    std::memcpy(row + 4 * x, &b, 4);
                    std::memcpy(row + 4 * mirror, &a, 4);
                }
            }
        });
    }
    if (vertical) {
        ParallelFor(image.height / 2, ctx.threads, [&](int begin, int end) {
            for (int y = begin; y < end; ++y)
                std::swap_ranges(image.Row(y), image.Row(y) + image.RowBytes(), image.Row(image.height - 1 - y));
        });
    }
    return HXResultOk;
}

// Unsharp mask: each colour moves away from its blurred surroundings by sharpness times the
// difference, where the difference reaches the threshold (0..1 of full scale). The blur radius is
// blur x scale in full-resolution pixels. Alpha is kept.
int Sharpen(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double sharpness = op.Arg(1);
    const int radius = CappedRadius(op.Arg(0) * op.Arg(3) * ctx.scale, true);
    if (sharpness <= 0.0 || radius <= 0)
        return HXResultOk;
    // Left uninitialised and filled by all threads: the first touch of a fresh buffer of this size
    // (page faults) costs more than the copy itself.
    const auto blurred = ScratchImage(image.Bytes());
    const ImageView blurView{blurred.get(), image.width, image.height, image.order};
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        std::memcpy(blurView.Row(begin), image.Row(begin), image.RowBytes() * static_cast<std::size_t>(end - begin));
    });
    if (const int result = StackBlurImage(blurView, radius, true, true,
                                          HXChannelsColor, ctx.threads))
        return result;
    const std::int32_t amount = static_cast<std::int32_t>(std::lround(std::min(sharpness, 64.0) * 256.0));
    const std::int32_t threshold = static_cast<std::int32_t>(std::lround(std::clamp(op.Arg(2), 0.0, 1.0) * 255.0));
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            SharpenRow(image.Row(y), blurView.Row(y), image.width * 4, amount, threshold);
    });
    return HXResultOk;
}

// Darkens (or tints) the edges of the rectangle towards the colour. With u and v the position
// from the rectangle's centre in half-sizes times the stretches, the distance is
// (|u|^p + |v|^p)^(1/p) with p = 2 / curvature (1: an ellipse, less: squarer, more: a diamond);
// the colour's weight rises smoothly from distance 1 - softness to 1 + softness, times opacity.
// Pixels outside the rectangle and alpha are kept.
int Vignette(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!FiniteArgs(op))
        return HXResultBadArgument;
    const double opacity = std::clamp(op.Arg(7), 0.0, 1.0);
    const int left = static_cast<int>(std::clamp(op.Arg(8), 0.0, double(image.width)));
    const int top = static_cast<int>(std::clamp(op.Arg(9), 0.0, double(image.height)));
    const int right = static_cast<int>(std::clamp(op.Arg(10), 0.0, double(image.width)));
    const int bottom = static_cast<int>(std::clamp(op.Arg(11), 0.0, double(image.height)));
    if (opacity == 0.0 || right <= left || bottom <= top)
        return HXResultOk;
    // The rectangle as given, not as clipped, sets the shape.
    const double centreX = (op.Arg(8) + op.Arg(10)) / 2.0;
    const double centreY = (op.Arg(9) + op.Arg(11)) / 2.0;
    const double halfWidth = std::max(1e-3, (op.Arg(10) - op.Arg(8)) / 2.0 * std::max(1e-3, op.Arg(3)));
    const double halfHeight = std::max(1e-3, (op.Arg(11) - op.Arg(9)) / 2.0 * std::max(1e-3, op.Arg(4)));
    const double power = std::clamp(2.0 / std::max(op.Arg(6), 1e-3), 0.5, 64.0);
    const double softness = std::clamp(op.Arg(5), 0.0, 2.0);
    const double inner = std::max(0.0, 1.0 - softness);
    const double outer = 1.0 + softness;

    // |u|^p per column and |v|^p per row, so that a pixel costs one addition and a table look-up.
    std::vector<float> columns(static_cast<std::size_t>(right - left));
    std::vector<float> rows(static_cast<std::size_t>(bottom - top));
    for (int x = left; x < right; ++x)
        columns[x - left] = static_cast<float>(std::pow(std::fabs((x + 0.5 - centreX) / halfWidth), power));
    for (int y = top; y < bottom; ++y)
        rows[y - top] = static_cast<float>(std::pow(std::fabs((y + 0.5 - centreY) / halfHeight), power));

    // The weight as a function of s = |u|^p + |v|^p, tabulated by the top 16 bits of the float s
    // (7 bits of mantissa an octave) and interpolated on the rest: smooth at any power.
    const float sInner = static_cast<float>(std::pow(inner, power));
    const float sOuter = static_cast<float>(std::pow(outer, power));
    const std::uint32_t base = std::bit_cast<std::uint32_t>(sInner) >> 16;
    const std::uint32_t last = (std::bit_cast<std::uint32_t>(sOuter) >> 16) + 1;
    const std::int32_t full = static_cast<std::int32_t>(std::lround(opacity * 65536.0));
    std::vector<std::int32_t> table(last - base + 1);
    for (std::uint32_t i = base; i <= last; ++i) {
        const double s = std::bit_cast<float>(i << 16);
        const double d = std::pow(s, 1.0 / power);
        double t = outer > inner ? std::clamp((d - inner) / (outer - inner), 0.0, 1.0) : (d >= 1.0 ? 1.0 : 0.0);
        t = t * t * (3.0 - 2.0 * t);
        table[i - base] = static_cast<std::int32_t>(std::lround(t * full));
    }

    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    std::int32_t colour[4] = {};
    colour[ri] = static_cast<std::int32_t>(std::clamp(std::lround(op.Arg(0)), 0L, 255L));
    colour[1] = static_cast<std::int32_t>(std::clamp(std::lround(op.Arg(1)), 0L, 255L));
    colour[bi] = static_cast<std::int32_t>(std::clamp(std::lround(op.Arg(2)), 0L, 255L));
    ParallelFor(bottom - top, ctx.threads, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const float rowTerm = rows[row];
            std::uint8_t* p = image.Pixel(left, top + row);
            for (int x = 0; x < right - left; ++x, p += 4) {
                const float s = columns[x] + rowTerm;
                std::int32_t weight;
                if (s <= sInner) {
                    continue;
                } else if (s >= sOuter) {
                    weight = full;
                } else {
                    const std::uint32_t bits = std::bit_cast<std::uint32_t>(s);
                    const std::uint32_t index = (bits >> 16) - base;
                    const std::int64_t low = table[index];
                    const std::int64_t high = table[index + 1];
                    weight = static_cast<std::int32_t>(low + (((high - low) * (bits & 0xFFFF)) >> 16));
                }
                for (int c = 0; c < 3; ++c) {
                    const std::int32_t v = p[c];
                    p[c] = static_cast<std::uint8_t>(v + (((colour[c] - v) * weight + 32768) >> 16));
                }
            }
        }
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
