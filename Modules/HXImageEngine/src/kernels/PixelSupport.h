#pragma once

// Helpers shared by the key, spill and compositing kernels: pixels as 32-bit words for loops that
// vectorise, the AVX2 and AVX-512 builds of the hottest row loops, and the one compositor every layer, light
// wrap, shadow and look goes through (BlendKernels.cpp).

#include "kernels/Kernels.h"
#include "hvn/maths/HXGeometry.h"

#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace hvn::image::kernels {

// A pixel read as one little-endian word has byte i in bits 8i..8i+7. Loops over whole words
// vectorise where loops over the separate bytes of a pixel do not.
static_assert(std::endian::native == std::endian::little);

inline std::uint32_t LoadPixel(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void StorePixel(std::uint8_t* p, std::uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// All ones where `condition` holds: choices made with masks vectorise, branches do not.
inline std::uint32_t SelectMask(bool condition)
{
    return 0u - static_cast<std::uint32_t>(condition);
}

// Hot row loops are built three times, for the baseline instruction set, for AVX2 and for
// AVX-512, and chosen at run time. No float operation is fused: AVX2 brings no fused multiply-add,
// and the engine is compiled with -ffp-contract=off, so the AVX-512 build (whose processors have
// it) keeps every multiply and add apart too. Every operation rounds as in the baseline build, and
// every build gives the same bytes.
#if defined(__GNUC__) && defined(__x86_64__)
#define HX_TARGET_AVX2 [[gnu::target("avx2")]]
#if defined(__clang__)
#define HX_TARGET_AVX512 [[gnu::target("avx2,avx512f,avx512bw,avx512vl,avx512dq")]]
#else
// Full-width vectors: the processors that have AVX-512 run them at full speed or in two halves,
// never slower than two AVX2 instructions.
#define HX_TARGET_AVX512 [[gnu::target("avx2,avx512f,avx512bw,avx512vl,avx512dq,prefer-vector-width=512")]]
#endif
#else
#define HX_TARGET_AVX2
#define HX_TARGET_AVX512
#endif

// The builds of a row loop, narrowest first.
enum class VectorBuild { Baseline, Avx2, Avx512 };
// The widest build this processor runs, within the limit a test set (KeyerTests).
VectorBuild WidestVectorBuild();
// Limits the builds chosen from then on (tests compare the builds' bytes); Avx512 lifts the limit.
void LimitVectorBuild(VectorBuild widest);

inline bool HasAvx2()
{
    return WidestVectorBuild() >= VectorBuild::Avx2;
}

inline bool HasAvx512()
{
    return WidestVectorBuild() >= VectorBuild::Avx512;
}

// Which build of a row loop runs: the best for this processor, the baseline vector build, or the
// plain scalar form that the vector builds match byte for byte (the last two for tests).
enum class RowBuild { Best, Baseline, Scalar };

// Compositing (BlendKernels.cpp).

// The alpha of a source byte times a strength (0..1), rounded.
using AlphaScale = std::array<std::uint8_t, 256>;
AlphaScale MakeAlphaScale(double strength);
bool IsBlendMode(double mode);
// The layer of a compositor operation, checked against the destination: 0 with the layer's view,
// 2 (no usable layer, blend mode argument not a mode, or an argument not finite) or 3 (another size).
int CheckedLayer(const HXOperation& op, std::size_t modeArg, const ImageView& destination,
                 const KernelContext& ctx, ImageView& layer);
// B(Cb, Cs) of a separable mode, colours in [0, 1].
float BlendChannel(HXBlendMode mode, float backdrop, float source);
// Source-over with the mode: source pixels scaled by alphaScale onto the destination.
void CompositeRow(HXBlendMode mode, std::uint8_t* destination, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale);
// CompositeRow in a chosen build: the scalar form is what the vector build of Normal matches (tests).
void CompositeRow(HXBlendMode mode, std::uint8_t* destination, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale, RowBuild build);
// The base's colour moved towards B(base, source) by the scaled source alpha; base alpha kept.
void BlendOntoRow(HXBlendMode mode, std::uint8_t* base, const std::uint8_t* source, int count,
                  const AlphaScale& alphaScale);

// Per-pixel colour stages (ColorKernels.cpp).

// A matrix stage over `count` pixels; the vector builds take coefficients that fit 16 bits.
void RunMatrixRow(const PixelStage& stage, std::uint8_t* pixels, int count, RowBuild build);
// RunStages with the copy of an out-of-place pass folded in: the image (same size and order as
// the source bytes) ends as RunStages would leave a copy of the source, even with no stage to run.
void RunStagesFrom(const std::uint8_t* source, const ImageView& image, const KernelContext& ctx,
                   const PixelStage* stages, std::size_t count);

struct ImageBuffer {
    std::unique_ptr<std::uint8_t[]> bytes;
    ImageView view;
};
// A gap-free copy of part of an image (the region must lie inside it).
ImageBuffer CopyRegion(const ImageView& image, const maths::HXRect& region, int threads);

} // namespace hvn::image::kernels
