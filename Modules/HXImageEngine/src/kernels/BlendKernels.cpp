#include "kernels/PixelSupport.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define HX_HAS_AVX2_COMPOSITE 1
#endif

// Separable blend modes and the one compositor every layer, light wrap, shadow and soft focus goes
// through. Colours are straight alpha; the compositing works on the premultiplied equivalent:
//   Cs' = (1 - ab) * Cs + ab * B(Cb, Cs)
//   co  = as * Cs' + (1 - as) * ab * Cb,   ao = as + ab * (1 - as),   Co = co / ao
// Add is the plus-lighter operator instead: co = min(1, as * Cs + ab * Cb), ao = min(1, as + ab).
// A source pixel of alpha 0 leaves the destination bytes exactly as they were.

namespace hvn::image::kernels {

namespace {

// One pure function per mode: B(Cb, Cs), backdrop and source colour in [0, 1].

// B = min(1, Cb + Cs)
inline float BlendAdd(float cb, float cs) { return std::min(1.0f, cb + cs); }
// B = Cb == 1 ? 1 : Cs == 0 ? 0 : 1 - min(1, (1 - Cb) / Cs)
inline float BlendColorBurn(float cb, float cs)
{
    if (cb >= 1.0f)
        return 1.0f;
    if (cs <= 0.0f)
        return 0.0f;
    return 1.0f - std::min(1.0f, (1.0f - cb) / cs);
}
// B = Cb == 0 ? 0 : Cs == 1 ? 1 : min(1, Cb / (1 - Cs))
inline float BlendColorDodge(float cb, float cs)
{
    if (cb <= 0.0f)
        return 0.0f;
    if (cs >= 1.0f)
        return 1.0f;
    return std::min(1.0f, cb / (1.0f - cs));
}
// B = min(Cb, Cs)
inline float BlendDarken(float cb, float cs) { return std::min(cb, cs); }
// B = |Cb - Cs|
inline float BlendDifference(float cb, float cs) { return std::fabs(cb - cs); }
// B = Cb + Cs - 2 Cb Cs
inline float BlendExclusion(float cb, float cs) { return cb + cs - 2.0f * cb * cs; }
// B = Cb Cs
inline float BlendMultiply(float cb, float cs) { return cb * cs; }
// B = Cb + Cs - Cb Cs
inline float BlendScreen(float cb, float cs) { return cb + cs - cb * cs; }
// B = Cs <= 0.5 ? Multiply(Cb, 2 Cs) : Screen(Cb, 2 Cs - 1)
inline float BlendHardLight(float cb, float cs)
{
    return cs <= 0.5f ? BlendMultiply(cb, 2.0f * cs) : BlendScreen(cb, 2.0f * cs - 1.0f);
}
// B = max(Cb, Cs)
inline float BlendLighten(float cb, float cs) { return std::max(cb, cs); }
// B = Cs
inline float BlendNormal(float, float cs) { return cs; }
// B = HardLight(Cs, Cb)
inline float BlendOverlay(float cb, float cs) { return BlendHardLight(cs, cb); }
// B = Cs <= 0.5 ? Cb - (1 - 2 Cs) Cb (1 - Cb) : Cb + (2 Cs - 1) (D(Cb) - Cb),
// D(Cb) = Cb <= 0.25 ? ((16 Cb - 12) Cb + 4) Cb : sqrt(Cb)
inline float BlendSoftLight(float cb, float cs)
{
    if (cs <= 0.5f)
        return cb - (1.0f - 2.0f * cs) * cb * (1.0f - cb);
    const float d = cb <= 0.25f ? ((16.0f * cb - 12.0f) * cb + 4.0f) * cb : std::sqrt(cb);
    return cb + (2.0f * cs - 1.0f) * (d - cb);
}

using BlendFn = float (*)(float, float);

constexpr float kInv255 = 1.0f / 255.0f;

inline std::uint8_t UnitToByte(float v)
{
    return static_cast<std::uint8_t>(std::clamp(v * 255.0f + 0.5f, 0.0f, 255.0f));
}

// round(x / 255) for 0 <= x <= 255 * 255.
inline std::uint32_t Div255(std::uint32_t x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// The full formula for one pixel; as is the source alpha after opacity (not 0).
template <BlendFn Blend, bool PlusLighter>
inline void CompositePixel(std::uint8_t* d, const std::uint8_t* s, std::uint32_t sourceAlpha)
{
    const float as = float(sourceAlpha) * kInv255;
    const float ab = float(d[3]) * kInv255;
    const float ao = PlusLighter ? std::min(1.0f, as + ab) : as + ab - as * ab;
    const float inv = 1.0f / ao;
    for (int c = 0; c < 3; ++c) {
        const float cs = float(s[c]) * kInv255;
        const float cb = float(d[c]) * kInv255;
        const float co = PlusLighter ? std::min(1.0f, as * cs + ab * cb)
                                     : as * (1.0f - ab) * cs + as * ab * Blend(cb, cs) + (1.0f - as) * ab * cb;
        d[c] = UnitToByte(co * inv);
    }
    d[3] = UnitToByte(ao);
}

template <BlendFn Blend, bool PlusLighter>
void CompositeRowT(std::uint8_t* d, const std::uint8_t* s, int count, const std::uint8_t* alphaScale)
{
    for (int x = 0; x < count; ++x, d += 4, s += 4) {
        const std::uint32_t a = alphaScale[s[3]];
        if (a != 0)
            CompositePixel<Blend, PlusLighter>(d, s, a);
    }
}

// Normal is what every plain layer uses: exact integer arithmetic for the common opaque cases.
template <>
void CompositeRowT<&BlendNormal, false>(std::uint8_t* d, const std::uint8_t* s, int count,
                                        const std::uint8_t* alphaScale)
{
    for (int x = 0; x < count; ++x, d += 4, s += 4) {
        const std::uint32_t a = alphaScale[s[3]];
        if (a == 0)
            continue;
        if (a == 255) {
            std::memcpy(d, s, 4);
        } else if (d[3] == 255) {
            const std::uint32_t k = 255 - a;
            d[0] = static_cast<std::uint8_t>(Div255(a * s[0] + k * d[0]));
            d[1] = static_cast<std::uint8_t>(Div255(a * s[1] + k * d[1]));
            d[2] = static_cast<std::uint8_t>(Div255(a * s[2] + k * d[2]));
        } else {
            CompositePixel<&BlendNormal, false>(d, s, a);
        }
    }
}

#if defined(__SSE2__)
// Normal over four pixels at a time, for the cases that decide whole groups: all four scaled source
// alphas 0 (nothing), all 255 (the source), or an opaque destination under all four, where
// Div255(a * s + (255 - a) * d) is exact in 16-bit lanes (a * s + (255 - a) * d <= 255 * 255) and
// gives the scalar bytes for every a, 0 and 255 included. Other groups go pixel by pixel.
void CompositeNormalRowSse2(std::uint8_t* d, const std::uint8_t* s, int count, const std::uint8_t* alphaScale)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i all255 = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 4 <= count; x += 4, d += 16, s += 16) {
        const std::uint32_t a0 = alphaScale[s[3]], a1 = alphaScale[s[7]], a2 = alphaScale[s[11]],
                            a3 = alphaScale[s[15]];
        if ((a0 | a1 | a2 | a3) == 0)
            continue;
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        if ((a0 & a1 & a2 & a3) == 255) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), source);
            continue;
        }
        const __m128i destination = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(destination, alphaMask), alphaMask)) & 0x8888) != 0x8888) {
            CompositeRowT<&BlendNormal, false>(d, s, 4, alphaScale);
            continue;
        }
        // Each alpha on the four lanes of its pixel, as 16-bit values.
        __m128i alphas = _mm_cvtsi32_si128(static_cast<int>(a0 | a1 << 8 | a2 << 16 | a3 << 24));
        alphas = _mm_unpacklo_epi8(alphas, alphas);
        alphas = _mm_unpacklo_epi16(alphas, alphas);
        const __m128i alphaLo = _mm_unpacklo_epi8(alphas, zero), alphaHi = _mm_unpackhi_epi8(alphas, zero);
        const auto mix = [&](__m128i a, __m128i sv, __m128i dv) {
            __m128i v = _mm_add_epi16(_mm_mullo_epi16(a, sv), _mm_mullo_epi16(_mm_sub_epi16(all255, a), dv));
            v = _mm_add_epi16(v, half);
            return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
        };
        const __m128i lo = mix(alphaLo, _mm_unpacklo_epi8(source, zero), _mm_unpacklo_epi8(destination, zero));
        const __m128i hi = mix(alphaHi, _mm_unpackhi_epi8(source, zero), _mm_unpackhi_epi8(destination, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_packus_epi16(lo, hi), alphaMask));
    }
    CompositeRowT<&BlendNormal, false>(d, s, count - x, alphaScale);
}
#endif

#if defined(HX_HAS_AVX2_COMPOSITE)
// Div255(a * s + (255 - a) * d) on 16-bit lanes.
HX_TARGET_AVX2 inline __m256i MixAvx2(__m256i a, __m256i s, __m256i d, __m256i all255, __m256i half)
{
    __m256i v = _mm256_add_epi16(_mm256_mullo_epi16(a, s), _mm256_mullo_epi16(_mm256_sub_epi16(all255, a), d));
    v = _mm256_add_epi16(v, half);
    return _mm256_srli_epi16(_mm256_add_epi16(v, _mm256_srli_epi16(v, 8)), 8);
}

// The SSE2 loop's groups eight pixels wide, with the same three decisions and the same 16-bit
// arithmetic; the rest of the row goes through the SSE2 loop.
HX_TARGET_AVX2 void CompositeNormalRowAvx2(std::uint8_t* d, const std::uint8_t* s, int count,
                                           const std::uint8_t* alphaScale)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i all255 = _mm256_set1_epi16(255);
    const __m256i half = _mm256_set1_epi16(128);
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int x = 0;
    for (; x + 8 <= count; x += 8, d += 32, s += 32) {
        std::uint32_t a[8];
        std::uint32_t any = 0;
        std::uint32_t every = 255;
        for (int i = 0; i < 8; ++i) {
            a[i] = alphaScale[s[4 * i + 3]];
            any |= a[i];
            every &= a[i];
        }
        if (any == 0)
            continue;
        const __m256i source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
        if (every == 255) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), source);
            continue;
        }
        const __m256i destination = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
        const auto opaque = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(destination, alphaMask), alphaMask)));
        if ((opaque & 0x88888888u) != 0x88888888u) {
            CompositeRowT<&BlendNormal, false>(d, s, 8, alphaScale);
            continue;
        }
        // Each alpha on the four bytes of its pixel; the unpacks and the pack below work within
        // each 128-bit half alike, so the pixels keep their places.
        const __m256i alphas = _mm256_setr_epi32(
            static_cast<int>(a[0] * 0x01010101u), static_cast<int>(a[1] * 0x01010101u),
            static_cast<int>(a[2] * 0x01010101u), static_cast<int>(a[3] * 0x01010101u),
            static_cast<int>(a[4] * 0x01010101u), static_cast<int>(a[5] * 0x01010101u),
            static_cast<int>(a[6] * 0x01010101u), static_cast<int>(a[7] * 0x01010101u));
        const __m256i alphaLo = _mm256_unpacklo_epi8(alphas, zero), alphaHi = _mm256_unpackhi_epi8(alphas, zero);
        const __m256i lo =
            MixAvx2(alphaLo, _mm256_unpacklo_epi8(source, zero), _mm256_unpacklo_epi8(destination, zero), all255, half);
        const __m256i hi =
            MixAvx2(alphaHi, _mm256_unpackhi_epi8(source, zero), _mm256_unpackhi_epi8(destination, zero), all255, half);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_or_si256(_mm256_packus_epi16(lo, hi), alphaMask));
    }
    CompositeNormalRowSse2(d, s, count - x, alphaScale);
}
#endif

// Colour of the base moved towards B(base, source) by the source alpha times the strength;
// the base alpha is kept.
template <BlendFn Blend>
void BlendOntoRowT(std::uint8_t* b, const std::uint8_t* s, int count, const std::uint8_t* alphaScale)
{
    for (int x = 0; x < count; ++x, b += 4, s += 4) {
        const std::uint32_t a = alphaScale[s[3]];
        if (a == 0)
            continue;
        const float t = float(a) * kInv255;
        for (int c = 0; c < 3; ++c) {
            const float cb = float(b[c]) * kInv255;
            b[c] = UnitToByte(cb + t * (Blend(cb, float(s[c]) * kInv255) - cb));
        }
    }
}

using RowFn = void (*)(std::uint8_t*, const std::uint8_t*, int, const std::uint8_t*);

// Indexed by HXBlendMode.
constexpr std::array<BlendFn, 13> kBlends = {
    &BlendAdd,      &BlendColorBurn, &BlendColorDodge, &BlendDarken, &BlendDifference,
    &BlendExclusion, &BlendHardLight, &BlendLighten,    &BlendMultiply, &BlendNormal,
    &BlendOverlay,  &BlendScreen,    &BlendSoftLight,
};

template <std::size_t... I>
constexpr std::array<RowFn, 13> MakeCompositeRows(std::index_sequence<I...>)
{
    return {&CompositeRowT<kBlends[I], I == HXBlendModeAdd>...};
}
template <std::size_t... I>
constexpr std::array<RowFn, 13> MakeBlendOntoRows(std::index_sequence<I...>)
{
    return {&BlendOntoRowT<kBlends[I]>...};
}

constexpr std::array<RowFn, 13> kCompositeRows = MakeCompositeRows(std::make_index_sequence<13>());
constexpr std::array<RowFn, 13> kBlendOntoRows = MakeBlendOntoRows(std::make_index_sequence<13>());

} // namespace

bool IsBlendMode(double mode)
{
    return mode >= 0.0 && mode <= 12.0 && mode == std::floor(mode);
}

int CheckedLayer(const HXOperation& op, std::size_t modeArg, const ImageView& destination,
                 const KernelContext& ctx, ImageView& layer)
{
    if (!op.image || !IsBlendMode(op.Arg(modeArg)) || !FiniteArgs(op) || !std::isfinite(ctx.opacity))
        return HXResultBadArgument;
    layer = ViewOf(*op.image);
    if (!layer.data || op.image->BitsPerChannel() != HXBitsPerChannel8)
        return HXResultBadArgument;
    if (layer.width != destination.width || layer.height != destination.height ||
        layer.order != destination.order)
        return HXResultImageMismatch;
    return HXResultOk;
}

ImageBuffer CopyRegion(const ImageView& image, const maths::HXRect& region, int threads)
{
    ImageBuffer copy;
    copy.view = ImageView{nullptr, region.Width(), region.Height(), image.order};
    copy.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(copy.view.Bytes());
    copy.view.data = copy.bytes.get();
    ParallelFor(copy.view.height, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            std::memcpy(copy.view.Row(y), image.Pixel(region.left, region.top + y), copy.view.RowBytes());
    });
    return copy;
}

AlphaScale MakeAlphaScale(double strength)
{
    AlphaScale table{};
    const double k = std::clamp(strength, 0.0, 1.0);
    for (int a = 0; a < 256; ++a)
        table[a] = static_cast<std::uint8_t>(std::lround(a * k));
    return table;
}

float BlendChannel(HXBlendMode mode, float backdrop, float source)
{
    return kBlends[mode](backdrop, source);
}

void CompositeRow(HXBlendMode mode, std::uint8_t* destination, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale)
{
    CompositeRow(mode, destination, source, count, alphaScale, RowBuild::Best);
}

void CompositeRow(HXBlendMode mode, std::uint8_t* destination, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale, RowBuild build)
{
#if defined(__SSE2__)
    if (mode == HXBlendModeNormal && build != RowBuild::Scalar) {
#if defined(HX_HAS_AVX2_COMPOSITE)
        if (build == RowBuild::Best && HasAvx2()) {
            CompositeNormalRowAvx2(destination, source, count, alphaScale.data());
            return;
        }
#endif
        CompositeNormalRowSse2(destination, source, count, alphaScale.data());
        return;
    }
#endif
    kCompositeRows[mode](destination, source, count, alphaScale.data());
}

void BlendOntoRow(HXBlendMode mode, std::uint8_t* base, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale)
{
    kBlendOntoRows[mode](base, source, count, alphaScale.data());
}

// args: opacity, blend mode, composite type. The compositor's own opacity (ctx.opacity)
// multiplies the layer's: a compositor at 0.5 draws every layer at half its opacity.
int Layer(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    ImageView layer;
    if (const int checked = CheckedLayer(op, 1, image, ctx, layer))
        return checked;
    const double opacity = std::clamp(op.Arg(0), 0.0, 1.0) * std::clamp(ctx.opacity, 0.0, 1.0);
    if (opacity <= 0.0)
        return HXResultOk;
    const AlphaScale alphaScale = MakeAlphaScale(opacity);
    const HXBlendMode mode = static_cast<HXBlendMode>(int(op.Arg(1)));
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            CompositeRow(mode, image.Row(y), layer.Row(y), image.width, alphaScale);
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
