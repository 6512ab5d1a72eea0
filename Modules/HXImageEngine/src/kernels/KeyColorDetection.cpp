#include "hvn/image/HXImageKeyer.h"

#include "kernels/KeyColor.h"

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
    std::uint64_t blue = 0;
    std::uint64_t green = 0;
    std::uint64_t red = 0;
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
    std::vector<int> blockOfColumn(static_cast<std::size_t>(image.width));
    for (int x = 0; x < image.width; ++x)
        blockOfColumn[x] = static_cast<int>(static_cast<std::int64_t>(x) * columns / image.width);

    // One block row per task: each block is summed by one thread in a fixed order.
    ParallelFor(rows, threads, [&](int begin, int end) {
        for (int by = begin; by < end; ++by) {
            const int y0 = static_cast<int>(static_cast<std::int64_t>(image.height) * by / rows);
            const int y1 = static_cast<int>(static_cast<std::int64_t>(image.height) * (by + 1) / rows);
            BlockSum* row = blocks.data() + static_cast<std::size_t>(by) * columns;
            for (int y = y0; y < y1; y += step) {
                const std::uint8_t* p = image.Row(y);
                for (int x = 0; x < image.width; x += step) {
                    const std::uint8_t* q = p + static_cast<std::size_t>(x) * 4u;
                    if (q[3] < 128)
                        continue; // transparent pixels are not backdrop
                    BlockSum& b = row[blockOfColumn[x]];
                    ++b.count;
                    b.blue += q[bi];
                    b.green += q[1];
                    b.red += q[ri];
                }
            }
        }
    });

    int green = 0;
    int blue = 0;
    for (const BlockSum& b : blocks) {
        if (b.count == 0)
            continue;
        const int mb = static_cast<int>(b.blue / b.count);
        const int mg = static_cast<int>(b.green / b.count);
        const int mr = static_cast<int>(b.red / b.count);
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
