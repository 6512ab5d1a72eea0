#pragma once

// Rules every kernel keeps:
// - Pixels are 8 bits a channel, 4 bytes a pixel, rows without gaps, straight (not premultiplied)
//   alpha. The channel order of the image is given by ImageView::order (1: B, G, R, A).
// - Kernels run in place on the destination (Render() has already copied the source there).
// - Rectangles are half-open: left and top inclusive, right and bottom exclusive.
// - Radii arrive in full-resolution pixels and are scaled by ctx.scale (DownsampleValue of the
//   factor), except where the caller passes them already scaled (said at each kernel).
// - Blurs, resampling and blends work on premultiplied values inside, so the colour of fully
//   transparent pixels never bleeds into edges.
// - Results do not depend on the number of threads: work is split into fixed row bands and every
//   band computes its rows exactly as a single band would.
// - A kernel returns an HXResult; it may throw std::bad_alloc only outside a parallel region
//   (Render() turns it into HXResultOutOfMemory). Nothing else is thrown.

#include "hvn/common/HXLookupTables.h"
#include "hvn/common/HXParallel.h"
#include "hvn/image/HXImage.h"
#include "hvn/image/HXOperation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace hvn::image::kernels {

struct ImageView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    HXPixelChannelOrder order = HXPixelChannelOrderBGRA;

    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * 4u; }
    std::size_t Bytes() const { return RowBytes() * static_cast<std::size_t>(height); }
    std::uint8_t* Row(int y) const { return data + RowBytes() * static_cast<std::size_t>(y); }
    std::uint8_t* Pixel(int x, int y) const { return Row(y) + static_cast<std::size_t>(x) * 4u; }
    // Byte offsets of red and blue within a pixel (green is 1, alpha 3 in both orders).
    int RedIndex() const { return order == HXPixelChannelOrderBGRA ? 2 : 0; }
    int BlueIndex() const { return order == HXPixelChannelOrderBGRA ? 0 : 2; }
};

ImageView ViewOf(const HXAbstractImage& image);

struct KernelContext {
    const common::HXLookupTables& tables;
    HXDownsampleFactor factor;
    double scale;     // DownsampleValue(factor)
    int threads;      // at least 1
    double opacity;   // the compositor's own opacity; 1 elsewhere
    // The pass's source pixels (same size and order as the image) when the image does not hold a
    // copy of them yet: given only to a kernel that reads its input from here and writes every
    // pixel of the image (see ReadsSource), which saves the copy of a whole image.
    const std::uint8_t* source = nullptr;
};

// Runs body(begin, end) over [0, count) split into fixed bands on up to ctx.threads threads, four
// bands a thread, handed out as threads come free. A body may take a third argument, the worker
// index in [0, threads), for per-thread scratch.
template <class Body>
void ParallelFor(int count, int threads, Body&& body)
{
    threads = std::max(1, threads);
    common::HXParallelBands(count, threads * 4, threads, body);
}

// NaN or infinite arguments are refused rather than turned into undefined conversions.
inline bool FiniteArgs(const HXOperation& op)
{
    return std::all_of(op.args.begin(), op.args.end(), [](double v) { return std::isfinite(v); });
}

using Kernel = int (*)(const HXOperation& op, const ImageView& image, const KernelContext& ctx);
// The kernel that runs an operation kind.
Kernel KernelFor(HXOperationKind kind);
// Whether the kind's kernel can take an out-of-place pass's source as its input (ctx.source).
bool ReadsSource(HXOperationKind kind);

// The per-pixel colour operations (tables on each byte, or a 3 x 3 matrix on the colour) as data,
// so that a run of them shares one pass over the image: same bytes as running them one by one.
struct PixelStage {
    static constexpr int kMatrixShift = 14;
    enum class Type { None, Tables, Matrix } type = Type::None; // None: the operation is neutral
    std::array<std::array<std::uint8_t, 256>, 4> tables{};      // by byte index within the pixel
    std::array<std::array<std::int32_t, 3>, 3> matrix{};        // rows red, green, blue out; fixed point
    int redIndex = 2;
    int blueIndex = 0;
};
// Checks the arguments (the kernel's result code) and fills the stage; touches no pixel.
using StageBuilder = int (*)(const HXOperation& op, const ImageView& image, const KernelContext& ctx,
                             PixelStage& stage);
// The stage builder of an operation kind, or null when the kind is not a per-pixel colour operation.
StageBuilder StageBuilderFor(HXOperationKind kind);
// Runs the stages in order over every pixel, row by row.
void RunStages(const ImageView& image, const KernelContext& ctx, const PixelStage* stages, std::size_t count);

// Operations, one per kind (files by family).
// ColorKernels.cpp
int Brightness(const HXOperation&, const ImageView&, const KernelContext&);
int Contrast(const HXOperation&, const ImageView&, const KernelContext&);
int Saturation(const HXOperation&, const ImageView&, const KernelContext&);
int SuperContrast(const HXOperation&, const ImageView&, const KernelContext&);
int ColorTemperature(const HXOperation&, const ImageView&, const KernelContext&);
int ColorBalance(const HXOperation&, const ImageView&, const KernelContext&);
int HueColorize(const HXOperation&, const ImageView&, const KernelContext&);
int HueShift(const HXOperation&, const ImageView&, const KernelContext&);
int Opacity(const HXOperation&, const ImageView&, const KernelContext&);
int Silhouette(const HXOperation&, const ImageView&, const KernelContext&);
int Tint(const HXOperation&, const ImageView&, const KernelContext&);
int MatteView(const HXOperation&, const ImageView&, const KernelContext&);
// BlurKernels.cpp
int StackBlur(const HXOperation&, const ImageView&, const KernelContext&);
// LookKernels.cpp
int Mirror(const HXOperation&, const ImageView&, const KernelContext&);
int Sharpen(const HXOperation&, const ImageView&, const KernelContext&);
int Vignette(const HXOperation&, const ImageView&, const KernelContext&);
// FilmLookKernels.cpp
int Defocus(const HXOperation&, const ImageView&, const KernelContext&);
int Diffuse(const HXOperation&, const ImageView&, const KernelContext&);
int SoftFocus(const HXOperation&, const ImageView&, const KernelContext&);
int ThreeStripColor(const HXOperation&, const ImageView&, const KernelContext&);
int BleachBypass(const HXOperation&, const ImageView&, const KernelContext&);
int DepthOfField(const HXOperation&, const ImageView&, const KernelContext&);
// KeyKernels.cpp
int YUVBlur(const HXOperation&, const ImageView&, const KernelContext&);
int AutoColorDifferenceKey(const HXOperation&, const ImageView&, const KernelContext&);
int AlphaCrop(const HXOperation&, const ImageView&, const KernelContext&);
int AlphaSuperContrast(const HXOperation&, const ImageView&, const KernelContext&);
int AlphaStackBlur(const HXOperation&, const ImageView&, const KernelContext&);
int WhiteErode(const HXOperation&, const ImageView&, const KernelContext&);
// SpillKernels.cpp
int SpillSuppression(const HXOperation&, const ImageView&, const KernelContext&);
// BlendKernels.cpp (the image is the compositor's destination; op.image the layer)
int Layer(const HXOperation&, const ImageView&, const KernelContext&);
// LightWrapKernels.cpp
int LightSpillLayer(const HXOperation&, const ImageView&, const KernelContext&);
// WarpKernels.cpp
int ShadowCastLayer(const HXOperation&, const ImageView&, const KernelContext&);

} // namespace hvn::image::kernels
