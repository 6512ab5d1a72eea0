#include "hvn/image/HXImageKeyer.h"

#include "kernels/KeyColor.h"
#include "kernels/PixelSupport.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace hvn::image {

namespace kernels {

namespace {
constexpr int kBlocksPerSide = 32;
// A block counts as backdrop when its mean key channel exceeds both others by this many levels.
constexpr int kDominanceMargin = 24;
constexpr int kMinimumKeyLevel = 48;

struct BlockSum {
    std::uint64_t count = 0;
    std::uint64_t bytes[3] = {0, 0, 0}; // sums of bytes 0, 1, 2
};

// Adds the pixels x0, x0 + step, ... below x1 of a row that are at least half opaque. Pixels are
// read as words (alpha in the top byte), so the loop has no branch and, with a step of 1, vectorises.

template <bool Contiguous>
[[gnu::always_inline]] inline void AddRow(const std::uint8_t* __restrict row, int x0, int x1, int step, BlockSum& sum)
{
    std::uint32_t count = 0, b0 = 0, b1 = 0, b2 = 0;
    for (int x = x0; x < x1; x += Contiguous ? 1 : step) {
        const std::uint32_t v = LoadPixel(row + static_cast<std::size_t>(x) * 4u);
        const std::uint32_t opaque = 0u - (v >> 31); // alpha >= 128
        count += opaque & 1u;
        b0 += v & opaque & 255u;
        b1 += (v >> 8) & opaque & 255u;
        b2 += (v >> 16) & opaque & 255u;
    }
    sum.count += count;
    sum.bytes[0] += b0;
    sum.bytes[1] += b1;
    sum.bytes[2] += b2;
}

// Every pixel of a row into its row of blocks (`columns` blocks, column c from columnStart[c]), in
// each build (see PixelSupport.h): integer sums, the same whichever adds them.
[[gnu::always_inline]] inline void AddWholeRowInline(const std::uint8_t* row, const int* columnStart, int columns,
                                                     BlockSum* blocks)
{
    for (int c = 0; c < columns; ++c)
        AddRow<true>(row, columnStart[c], columnStart[c + 1], 1, blocks[c]);
}

using WholeRowFn = void (*)(const std::uint8_t*, const int*, int, BlockSum*);

struct WholeRowBuilds {
    static void Base(const std::uint8_t* row, const int* columnStart, int columns, BlockSum* blocks)
    {
        AddWholeRowInline(row, columnStart, columns, blocks);
    }
    HX_TARGET_AVX2 static void Avx2(const std::uint8_t* row, const int* columnStart, int columns, BlockSum* blocks)
    {
        AddWholeRowInline(row, columnStart, columns, blocks);
    }
    HX_TARGET_AVX512 static void Avx512(const std::uint8_t* row, const int* columnStart, int columns, BlockSum* blocks)
    {
        AddWholeRowInline(row, columnStart, columns, blocks);
    }
    static WholeRowFn Choose() { return HasAvx512() ? &Avx512 : HasAvx2() ? &Avx2 : &Base; }
};
} // namespace

HXKeyColor DetectKeyColor(const ImageView& image, int threads)
{
    if (image.width <= 0 || image.height <= 0)
        return HXKeyColorAuto;
    const int columns = std::min(kBlocksPerSide, image.width);
    const int rows = std::min(kBlocksPerSide, image.height);
    // Large photographs are sampled on a sparse lattice; block means barely change.
    const double megapixels = double(image.width) * double(image.height) / 4.0e6;
    const int step = std::max(1, static_cast<int>(std::sqrt(megapixels)));
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();

    std::vector<BlockSum> blocks(static_cast<std::size_t>(columns) * rows);
    // Block column c holds the x with x * columns / width == c: [ceil(c w / columns), ceil((c + 1) w / columns)).
    std::vector<int> columnStart(static_cast<std::size_t>(columns) + 1);
    for (int c = 0; c <= columns; ++c)
        columnStart[c] = static_cast<int>((static_cast<std::int64_t>(c) * image.width + columns - 1) / columns);

    // One block row per task: each block is summed by one thread in a fixed order.
    const WholeRowFn wholeRow = WholeRowBuilds::Choose();
    ParallelFor(rows, threads, [&](int begin, int end) {
        for (int by = begin; by < end; ++by) {
            const int y0 = static_cast<int>(static_cast<std::int64_t>(image.height) * by / rows);
            const int y1 = static_cast<int>(static_cast<std::int64_t>(image.height) * (by + 1) / rows);
            BlockSum* row = blocks.data() + static_cast<std::size_t>(by) * columns;
            // Every step-th row from the block row's top, and the columns that are multiples of step
            // (every pixel of a preview, whose loop vectorises).
            for (int y = y0; y < y1; y += step) {
                const std::uint8_t* p = image.Row(y);
                if (step == 1) {
                    wholeRow(p, columnStart.data(), columns, row);
                    continue;
                }
                for (int c = 0; c < columns; ++c)
                    AddRow<false>(p, (columnStart[c] + step - 1) / step * step, columnStart[c + 1], step, row[c]);
            }
        }
    });

    int green = 0;
    int blue = 0;
    for (const BlockSum& b : blocks) {
        if (b.count == 0)
            continue;
        const int mb = static_cast<int>(b.bytes[bi] / b.count);
        const int mg = static_cast<int>(b.bytes[1] / b.count);
        const int mr = static_cast<int>(b.bytes[ri] / b.count);
        if (mg >= kMinimumKeyLevel && mg - std::max(mr, mb) >= kDominanceMargin)
            ++green;
        else if (mb >= kMinimumKeyLevel && mb - std::max(mr, mg) >= kDominanceMargin)
            ++blue;
    }
    // A decision needs a real share of backdrop blocks and a clear majority over the other colour;
    // a frame split between both stays undecided rather than flipping between renders.
    const int minimum = std::max(1, static_cast<int>(blocks.size()) / 20);
    if (green >= minimum && green >= 2 * blue)
        return HXKeyColorGreen;
    if (blue >= minimum && blue >= 2 * green)
        return HXKeyColorBlue;
    return HXKeyColorAuto;
}

} // namespace kernels

int AutoDetectKeyColor(HXImage8* image, int threads, HXKeyColor* result)
{
    if (!image || !result)
        return HXResultBadArgument;
    if (image->Width() <= 0 || image->Height() <= 0)
        return HXResultOk;
    if (!image->Buffer())
        return HXResultBadArgument;
    try {
        const HXKeyColor detected = kernels::DetectKeyColor(kernels::ViewOf(*image), std::max(1, threads));
        if (detected != HXKeyColorAuto)
            *result = detected;
    } catch (const std::bad_alloc&) {
        return HXResultOutOfMemory;
    }
    return HXResultOk;
}

} // namespace hvn::image
