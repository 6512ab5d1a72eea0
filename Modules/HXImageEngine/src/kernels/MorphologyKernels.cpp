#include "kernels/Primitives.h"

#include <cmath>
#include <vector>

namespace hvn::image::kernels {

// Grey erosion and dilation by an octagon, the Minkowski sum of four line segments: horizontal
// and vertical of 2a + 1 samples and the two diagonals of 2b + 1 samples. It reaches a + 2b along
// the axes and sqrt(2) (a + b) along the diagonals; a regular octagon (b ~ 0.293 (a + 2b)) is
// the closest to a disc. Each line runs the van Herk/Gil-Werman scheme
// (block prefix and suffix extrema), three comparisons a sample whatever the length.
// Samples outside the image are neutral: they never erode nor grow what lies inside.

namespace {

constexpr int kStrip = 64;

struct MinOp {
    static constexpr std::uint8_t kNeutral = 255;
    static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return std::min(a, b); }
};
struct MaxOp {
    static constexpr std::uint8_t kNeutral = 0;
    static std::uint8_t Apply(std::uint8_t a, std::uint8_t b) { return std::max(a, b); }
};

// Line filters over `lanes` parallel lines of `count` samples held in `f` ([position][lane]).
// The padded domain runs from -k to count + k - 1 in blocks of w = 2k + 1 samples; g holds the
// running extremum from each block's start, h from each block's end. out(i) = op(h(i - k), g(i + k)).
template <class Op>
void LineFilter(const std::uint8_t* f, std::uint8_t* out, std::uint8_t* g, std::uint8_t* h, int count, int k,
                int lanes)
{
    const int w = 2 * k + 1;
    const int padded = count + 2 * k;
    const int total = (padded + w - 1) / w * w; // whole blocks
    const std::size_t stride = static_cast<std::size_t>(lanes);
    auto sample = [&](int i) -> const std::uint8_t* {
        // i in the padded domain; outside the line the neutral row is used
        const int position = i - k;
        return position >= 0 && position < count ? f + position * stride : nullptr;
    };
    for (int i = 0; i < total; ++i) {
        const std::uint8_t* s = sample(i);
        std::uint8_t* gi = g + i * stride;
        if (i % w == 0) {
            for (int l = 0; l < lanes; ++l)
                gi[l] = s ? s[l] : Op::kNeutral;
        } else {
            const std::uint8_t* previous = gi - stride;
            if (s) {
                for (int l = 0; l < lanes; ++l)
                    gi[l] = Op::Apply(previous[l], s[l]);
            } else {
                for (int l = 0; l < lanes; ++l)
                    gi[l] = previous[l];
            }
        }
    }
    for (int i = total - 1; i >= 0; --i) {
        const std::uint8_t* s = sample(i);
        std::uint8_t* hi = h + i * stride;
        if (i % w == w - 1) {
            for (int l = 0; l < lanes; ++l)
                hi[l] = s ? s[l] : Op::kNeutral;
        } else {
            const std::uint8_t* next = hi + stride;
            if (s) {
                for (int l = 0; l < lanes; ++l)
                    hi[l] = Op::Apply(next[l], s[l]);
            } else {
                for (int l = 0; l < lanes; ++l)
                    hi[l] = next[l];
            }
        }
    }
    // Output position p is padded index p + k; its window is padded p .. p + 2k.
    for (int p = 0; p < count; ++p) {
        const std::uint8_t* left = h + p * stride;
        const std::uint8_t* right = g + (p + 2 * k) * stride;
        std::uint8_t* o = out + p * stride;
        for (int l = 0; l < lanes; ++l)
            o[l] = Op::Apply(left[l], right[l]);
    }
}

// The lines of one direction: slope 0 runs along rows; otherwise line j holds the samples
// (j + slope * y, y) for every row y, where slope 2 stands for the vertical (x = j).
template <class Op>
void FilterLines(const PlaneView& plane, int k, int slope, int threads)
{
    const int width = plane.width;
    const int height = plane.height;
    if (slope == 0) {
        const int workers = std::min(height, std::max(1, threads));
        const std::size_t total = static_cast<std::size_t>(width + 2 * k + 2 * k + 1);
        std::vector<std::uint8_t> buffers(total * 4u * static_cast<std::size_t>(workers));
        ParallelFor(height, workers, [&](int yBegin, int yEnd, int worker) {
            std::uint8_t* f = buffers.data() + total * 4u * worker;
            std::uint8_t* g = f + total;
            std::uint8_t* h = g + total;
            std::uint8_t* out = h + total;
            for (int y = yBegin; y < yEnd; ++y) {
                for (int x = 0; x < width; ++x)
                    f[x] = plane.At(x, y);
                LineFilter<Op>(f, out, g, h, width, k, 1);
                for (int x = 0; x < width; ++x)
                    plane.At(x, y) = out[x];
            }
        });
        return;
    }
    const int step = slope == 2 ? 0 : slope;
    // Lines that meet the image: x = j + step * y in [0, width) for some row.
    const int firstLine = step > 0 ? -(height - 1) : 0;
    const int lineCount = step == 0 ? width : width + height - 1;
    const int strips = (lineCount + kStrip - 1) / kStrip;
    const int workers = std::min(strips, std::max(1, threads));
    const std::size_t total = static_cast<std::size_t>(height + 2 * k + 2 * k + 1) * kStrip;
    std::vector<std::uint8_t> buffers(total * 4u * static_cast<std::size_t>(workers));
    ParallelFor(strips, workers, [&](int sBegin, int sEnd, int worker) {
        std::uint8_t* f = buffers.data() + total * 4u * worker;
        std::uint8_t* g = f + total;
        std::uint8_t* h = g + total;
        std::uint8_t* out = h + total;
        for (int strip = sBegin; strip < sEnd; ++strip) {
            const int j0 = firstLine + strip * kStrip;
            const int lanes = std::min(kStrip, firstLine + lineCount - j0);
            // Lanes whose pixel lies outside a row take the neutral value: the line is shorter.
            auto range = [&](int y, int& begin, int& end) {
                const int x0 = j0 + step * y;
                begin = std::clamp(-x0, 0, lanes);
                end = std::clamp(width - x0, 0, lanes);
            };
            for (int y = 0; y < height; ++y) {
                std::uint8_t* row = f + static_cast<std::size_t>(y) * lanes;
                int begin = 0;
                int end = 0;
                range(y, begin, end);
                const int x0 = j0 + step * y;
                for (int l = 0; l < begin; ++l)
                    row[l] = Op::kNeutral;
                for (int l = begin; l < end; ++l)
                    row[l] = plane.At(x0 + l, y);
                for (int l = std::max(begin, end); l < lanes; ++l)
                    row[l] = Op::kNeutral;
            }
            LineFilter<Op>(f, out, g, h, height, k, lanes);
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* row = out + static_cast<std::size_t>(y) * lanes;
                int begin = 0;
                int end = 0;
                range(y, begin, end);
                const int x0 = j0 + step * y;
                for (int l = begin; l < end; ++l)
                    plane.At(x0 + l, y) = row[l];
            }
        }
    });
}

template <class Op>
int Octagon(const PlaneView& plane, int distance, int threads)
{
    if (plane.data == nullptr)
        return HXResultBadArgument;
    if (distance <= 0 || plane.width <= 0 || plane.height <= 0)
        return HXResultOk;
    // A line longer than twice the image reaches every sample from anywhere: no need to go on.
    distance = std::min(distance, 2 * (plane.width + plane.height));
    // The octagon's apothem is scaled so that it falls short of the disc along the axes and
    // diagonals by as much as it overshoots it between them (about 4 % each way).
    const double apothem = distance * 2.0 / (1.0 + 1.0 / std::cos(std::acos(-1.0) / 8.0));
    const int axial = static_cast<int>(std::lround(apothem));                  // a + 2b
    const int diagonal = static_cast<int>(std::lround(apothem * std::sqrt(0.5))); // a + b
    int b = axial - diagonal;
    int a = diagonal - b;
    if (a < 1 && b > 0) {
        // Two diagonals alone reach only every other sample: keep a straight segment.
        --b;
        a += 2;
    }
    if (a > 0) {
        FilterLines<Op>(plane, a, 0, threads);
        FilterLines<Op>(plane, a, 2, threads);
    }
    if (b > 0) {
        FilterLines<Op>(plane, b, 1, threads);
        FilterLines<Op>(plane, b, -1, threads);
    }
    return HXResultOk;
}

} // namespace

int ErodePlane(const PlaneView& plane, int distance, int threads)
{
    return Octagon<MinOp>(plane, distance, threads);
}

int DilatePlane(const PlaneView& plane, int distance, int threads)
{
    return Octagon<MaxOp>(plane, distance, threads);
}

} // namespace hvn::image::kernels
