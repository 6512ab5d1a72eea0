#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace hvn::image::kernels {

namespace {

// The layer's alpha summarised per cell of kCell x kCell pixels: where it is absent, where it is
// all opaque, and so where the light can fall.
constexpr int kCell = 16;
// Rows of cells gathered into one strip; a strip's edge cells are blurred together in runs.
constexpr int kStripCells = 4;
// The widest run, in cells, so that long edges split into pieces the threads can share.
constexpr int kRunCells = 32;
// Wrapped pixels held at once before they are composited (bytes of 4-byte pixels).
constexpr std::size_t kWaveBytes = std::size_t(16) << 20;

struct AlphaCells {
    int columns = 0;
    int rows = 0;
    std::vector<std::uint8_t> low;  // least alpha of each cell
    std::vector<std::uint8_t> high; // greatest alpha of each cell

    std::size_t Index(int cx, int cy) const { return static_cast<std::size_t>(cy) * columns + cx; }
};

AlphaCells SummariseAlpha(const ImageView& layer, int threads)
{
    AlphaCells cells;
    cells.columns = (layer.width + kCell - 1) / kCell;
    cells.rows = (layer.height + kCell - 1) / kCell;
    cells.low.assign(static_cast<std::size_t>(cells.columns) * cells.rows, 255);
    cells.high.assign(cells.low.size(), 0);
    // Least and greatest of every byte down a row of cells, whole rows at a time (streams through
    // memory and vectorises), then each cell's alpha bytes; one pair of rows of bytes per thread.
    threads = std::max(1, threads);
    const std::size_t rowBytes = layer.RowBytes();
    std::vector<std::uint8_t> columns(rowBytes * 2 * static_cast<std::size_t>(threads));
    ParallelFor(cells.rows, threads, [&](int begin, int end, int worker) {
        std::uint8_t* low = columns.data() + rowBytes * 2 * static_cast<std::size_t>(worker);
        std::uint8_t* high = low + rowBytes;
        for (int cy = begin; cy < end; ++cy) {
            std::memset(low, 255, rowBytes);
            std::memset(high, 0, rowBytes);
            for (int y = cy * kCell; y < std::min(layer.height, (cy + 1) * kCell); ++y) {
                const std::uint8_t* row = layer.Row(y);
                std::size_t i = 0;
#if defined(__SSE2__)
                for (; i + 16 <= rowBytes; i += 16) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
                    __m128i* lo = reinterpret_cast<__m128i*>(low + i);
                    __m128i* hi = reinterpret_cast<__m128i*>(high + i);
                    _mm_storeu_si128(lo, _mm_min_epu8(_mm_loadu_si128(lo), v));
                    _mm_storeu_si128(hi, _mm_max_epu8(_mm_loadu_si128(hi), v));
                }
#endif
                for (; i < rowBytes; ++i) {
                    low[i] = std::min(low[i], row[i]);
                    high[i] = std::max(high[i], row[i]);
                }
            }
            for (int cx = 0; cx < cells.columns; ++cx) {
                std::uint8_t lo = 255, hi = 0;
                for (int x = cx * kCell; x < std::min(layer.width, (cx + 1) * kCell); ++x) {
                    lo = std::min(lo, low[4 * x + 3]);
                    hi = std::max(hi, high[4 * x + 3]);
                }
                cells.low[cells.Index(cx, cy)] = lo;
                cells.high[cells.Index(cx, cy)] = hi;
            }
        }
    });
    return cells;
}

// The cells where the wrap can change a pixel: some alpha in the cell, and some alpha below 255
// within `reach` pixels (elsewhere the blurred alpha of the edge zone is exactly 255, so the
// weight is 0 and the layer goes over unchanged).
std::vector<std::uint8_t> EdgeCells(const AlphaCells& cells, int reach)
{
    const int n = (reach + kCell - 1) / kCell;
    const std::size_t count = cells.low.size();
    std::vector<std::uint8_t> across(count, 0), edge(count, 0);
    for (int cy = 0; cy < cells.rows; ++cy)
        for (int cx = 0; cx < cells.columns; ++cx) {
            bool any = false;
            for (int i = std::max(0, cx - n); i <= std::min(cells.columns - 1, cx + n) && !any; ++i)
                any = cells.low[cells.Index(i, cy)] < 255;
            across[cells.Index(cx, cy)] = any;
        }
    for (int cy = 0; cy < cells.rows; ++cy)
        for (int cx = 0; cx < cells.columns; ++cx) {
            bool any = false;
            for (int j = std::max(0, cy - n); j <= std::min(cells.rows - 1, cy + n) && !any; ++j)
                any = across[cells.Index(cx, j)] != 0;
            edge[cells.Index(cx, cy)] = any && cells.high[cells.Index(cx, cy)] > 0;
        }
    return edge;
}

// A rectangle of wrapped pixels computed together, from one blur of it and its margins.
struct Run {
    int x0, x1, y0, y1;
    std::size_t offset = 0; // of its pixels in the wave's buffer
};

// Per strip of rows, runs of columns holding edge cells, each as high as its edge cells need.
std::vector<Run> FindRuns(const AlphaCells& cells, const std::vector<std::uint8_t>& edge, int width, int height,
                          std::vector<int>& stripFirstRun)
{
    std::vector<Run> runs;
    const int strips = (cells.rows + kStripCells - 1) / kStripCells;
    stripFirstRun.assign(static_cast<std::size_t>(strips) + 1, 0);
    std::vector<int> top(cells.columns), bottom(cells.columns);
    for (int strip = 0; strip < strips; ++strip) {
        stripFirstRun[strip] = static_cast<int>(runs.size());
        const int cy0 = strip * kStripCells, cy1 = std::min(cells.rows, cy0 + kStripCells);
        for (int cx = 0; cx < cells.columns; ++cx) {
            top[cx] = cy1;
            bottom[cx] = cy0;
            for (int cy = cy0; cy < cy1; ++cy)
                if (edge[cells.Index(cx, cy)]) {
                    top[cx] = std::min(top[cx], cy);
                    bottom[cx] = cy + 1;
                }
        }
        for (int cx = 0; cx < cells.columns;) {
            if (top[cx] >= bottom[cx]) {
                ++cx;
                continue;
            }
            int end = cx, cyTop = cy1, cyBottom = cy0;
            while (end < cells.columns && end - cx < kRunCells && top[end] < bottom[end]) {
                cyTop = std::min(cyTop, top[end]);
                cyBottom = std::max(cyBottom, bottom[end]);
                ++end;
            }
            runs.push_back(Run{cx * kCell, std::min(width, end * kCell), cyTop * kCell,
                               std::min(height, cyBottom * kCell)});
            cx = end;
        }
    }
    stripFirstRun[strips] = static_cast<int>(runs.size());
    return runs;
}

struct WrapSetup {
    const ImageView& image;
    const ImageView& layer;
    int radius;
    int edgeRadius;
    int margin;
    HXBlendMode mode;
};

// The wrapped layer over one run, into `out` (run width x height pixels): the destination and the
// layer's alpha are blurred over the run and its margins, exactly as over the whole canvas, since
// no blurred pixel of the run reaches past them. Rows above `carryTop`..`waveTop` are read from
// `carry`, the destination as it was before the previous wave was composited.
void WrapRun(const WrapSetup& s, const Run& run, const std::uint8_t* carry, int carryTop, int waveTop,
             std::vector<std::uint8_t>& lightBytes, std::vector<std::uint8_t>& edgeBytes, std::uint8_t* out,
             int threads)
{
    const ImageView& image = s.image;
    const int rx0 = std::max(0, run.x0 - s.margin), rx1 = std::min(image.width, run.x1 + s.margin);
    const int ry0 = std::max(0, run.y0 - s.margin), ry1 = std::min(image.height, run.y1 + s.margin);
    const int rw = rx1 - rx0, rh = ry1 - ry0;
    lightBytes.resize(static_cast<std::size_t>(rw) * rh * 4);
    edgeBytes.resize(static_cast<std::size_t>(rw) * rh);
    const ImageView light{lightBytes.data(), rw, rh, image.order};
    for (int i = 0; i < rh; ++i) {
        const int y = ry0 + i;
        const std::uint8_t* from = y >= carryTop && y < waveTop
                                       ? carry + (static_cast<std::size_t>(y - carryTop) * image.width + rx0) * 4
                                       : image.Pixel(rx0, y);
        std::memcpy(light.Row(i), from, light.RowBytes());
        const std::uint8_t* l = s.layer.Pixel(rx0, y);
        std::uint8_t* e = edgeBytes.data() + static_cast<std::size_t>(i) * rw;
        for (int x = 0; x < rw; ++x)
            e[x] = l[4 * x + 3];
    }
    StackBlurImage(light, s.radius, true, true, HXChannelsColorAndAlpha, threads);
    BoxBlurPlane(PlaneView{edgeBytes.data(), rw, rh, 1, rw}, s.edgeRadius, true, true, 2, threads);
    const int runWidth = run.x1 - run.x0;
    ParallelFor(run.y1 - run.y0, threads, [&](int begin, int end) {
        for (int y = run.y0 + begin; y < run.y0 + end; ++y) {
            const std::uint8_t* w0 = light.Pixel(run.x0 - rx0, y - ry0);
            const std::uint8_t* e = edgeBytes.data() + static_cast<std::size_t>(y - ry0) * rw + (run.x0 - rx0);
            const std::uint8_t* l = s.layer.Pixel(run.x0, y);
            std::uint8_t* o = out + static_cast<std::size_t>(y - run.y0) * runWidth * 4;
            for (int x = 0; x < runWidth; ++x, l += 4, o += 4) {
                const std::uint8_t* w = w0 + 4 * x;
                const int weight = std::min(255, (2 * l[3] * (255 - e[x]) + 127) / 255) * w[3];
                if (weight == 0) {
                    std::memcpy(o, l, 4);
                    continue;
                }
                const float t = float(weight) * (1.0f / (255.0f * 255.0f));
                for (int c = 0; c < 3; ++c) {
                    const float cb = float(l[c]) * (1.0f / 255.0f);
                    const float blended = cb + t * (BlendChannel(s.mode, cb, float(w[c]) * (1.0f / 255.0f)) - cb);
                    o[c] = static_cast<std::uint8_t>(std::clamp(blended * 255.0f + 0.5f, 0.0f, 255.0f));
                }
                o[3] = l[3];
            }
        }
    });
}

} // namespace

// args: blur (full-resolution pixels), opacity, blend mode, factor.
// The light of what lies below (the destination, blurred, premultiplied so that transparent areas
// give no light) is blended with the mode onto the layer's inner edge: the weight is
// 2 * alpha * (1 - blurred alpha), so it is 0 in the interior and outside the layer and largest
// just inside its edge. The layer is then composited over the destination (Normal, source-over)
// at its opacity times the compositor's.
//
// Only cells near the layer's edge can take light, so only they are blurred: runs of edge cells
// with margins as wide as the blurs reach, each blurred on one thread, the same bytes as blurring
// the whole canvas. Runs are computed in waves of bounded memory; the wrapped pixels of a wave are
// composited after it, the rest of the layer goes over directly.
int LightSpillLayer(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    ImageView layer;
    if (const int checked = CheckedLayer(op, 2, image, ctx, layer))
        return checked;
    const double opacity = std::clamp(op.Arg(1), 0.0, 1.0) * std::clamp(ctx.opacity, 0.0, 1.0);
    if (opacity <= 0.0)
        return HXResultOk;
    const AlphaScale layerScale = MakeAlphaScale(opacity);
    const double factorArg = op.Arg(3);
    const HXDownsampleFactor factor =
        factorArg >= 0.0 && factorArg <= 3.0 ? static_cast<HXDownsampleFactor>(int(factorArg)) : ctx.factor;
    const int radius = CappedRadius(op.Arg(0) * DownsampleValue(factor), false);
    const HXBlendMode mode = static_cast<HXBlendMode>(int(op.Arg(2)));

    const AlphaCells cells = SummariseAlpha(layer, ctx.threads);
    // The columns and rows of cells holding any alpha.
    int left = cells.columns, right = 0, top = cells.rows, bottom = 0;
    for (int cy = 0; cy < cells.rows; ++cy)
        for (int cx = 0; cx < cells.columns; ++cx)
            if (cells.high[cells.Index(cx, cy)] > 0) {
                left = std::min(left, cx);
                right = std::max(right, cx + 1);
                top = std::min(top, cy);
                bottom = cy + 1;
            }
    if (left >= right)
        return HXResultOk;
    const int boundsLeft = left * kCell, boundsRight = std::min(image.width, right * kCell);
    const int boundsTop = top * kCell, boundsBottom = std::min(image.height, bottom * kCell);
    auto compositeLayer = [&](int y, int x0, int x1) {
        if (x1 > x0)
            CompositeRow(HXBlendModeNormal, image.Pixel(x0, y), layer.Pixel(x0, y), x1 - x0, layerScale);
    };
    if (radius < 1) {
        ParallelFor(boundsBottom - boundsTop, ctx.threads, [&](int begin, int end) {
            for (int y = boundsTop + begin; y < boundsTop + end; ++y)
                compositeLayer(y, boundsLeft, boundsRight);
        });
        return HXResultOk;
    }

    // Two boxes of half the radius: the edge zone is about as deep as the light's blur.
    const int edgeRadius = std::max(1, radius / 2);
    const int margin = std::max(radius, 2 * edgeRadius) + 1;
    std::vector<int> stripFirstRun;
    std::vector<Run> runs = FindRuns(cells, EdgeCells(cells, 2 * edgeRadius), image.width, image.height, stripFirstRun);
    int stripRows = kStripCells * kCell;
    // Pixels blurred: a run's own and its margins'.
    auto cost = [&](const std::vector<Run>& layout) {
        double pixels = 0;
        for (const Run& run : layout)
            pixels += double(std::min(image.width, run.x1 + margin) - std::max(0, run.x0 - margin)) *
                      double(std::min(image.height, run.y1 + margin) - std::max(0, run.y0 - margin));
        return pixels;
    };
    // Where margins are large against the runs (a wide blur, or edges everywhere), whole-width
    // strips cost less: each is one run blurred on all threads.
    const int wideRows = std::max(256, (margin + kCell - 1) / kCell * kCell);
    std::vector<Run> wide;
    std::vector<int> wideFirstRun((image.height + wideRows - 1) / wideRows + 1, 0);
    for (int strip = 0; strip + 1 < static_cast<int>(wideFirstRun.size()); ++strip) {
        wideFirstRun[strip] = static_cast<int>(wide.size());
        const int y0 = std::max(boundsTop, strip * wideRows), y1 = std::min(boundsBottom, (strip + 1) * wideRows);
        if (y0 < y1)
            wide.push_back(Run{boundsLeft, boundsRight, y0, y1});
    }
    wideFirstRun.back() = static_cast<int>(wide.size());
    const bool wholeStrips = cost(runs) > 2.0 * cost(wide);
    if (wholeStrips) {
        runs = std::move(wide);
        stripFirstRun = std::move(wideFirstRun);
        stripRows = wideRows;
    }
    const int strips = static_cast<int>(stripFirstRun.size()) - 1;
    const WrapSetup setup{image, layer, radius, edgeRadius, margin, mode};

    std::vector<std::uint8_t> wrapped;
    // The destination's last `margin` rows of the previous wave, full width, as before compositing.
    std::vector<std::uint8_t> carry;
    int carryTop = 0, carryBottom = 0;
    for (int firstStrip = boundsTop / stripRows; firstStrip < strips && firstStrip * stripRows < boundsBottom;) {
        // A wave: strips up to the memory bound, and at least `margin` rows so that the next wave
        // reads nothing above its carry.
        int lastStrip = firstStrip;
        std::size_t bytes = 0;
        while (lastStrip < strips) {
            std::size_t stripBytes = 0;
            for (int r = stripFirstRun[lastStrip]; r < stripFirstRun[lastStrip + 1]; ++r)
                stripBytes += static_cast<std::size_t>(runs[r].x1 - runs[r].x0) * (runs[r].y1 - runs[r].y0) * 4;
            if (lastStrip > firstStrip && bytes + stripBytes > kWaveBytes &&
                (lastStrip - firstStrip) * stripRows >= margin)
                break;
            for (int r = stripFirstRun[lastStrip]; r < stripFirstRun[lastStrip + 1]; ++r) {
                runs[r].offset = bytes;
                bytes += static_cast<std::size_t>(runs[r].x1 - runs[r].x0) * (runs[r].y1 - runs[r].y0) * 4;
            }
            ++lastStrip;
        }
        const int waveTop = firstStrip * stripRows;
        const int waveBottom = std::min(image.height, lastStrip * stripRows);
        if (wrapped.size() < bytes)
            wrapped.resize(bytes);
        const int firstRun = stripFirstRun[firstStrip], runCount = stripFirstRun[lastStrip] - firstRun;

        // Runs differ in size: handed out one at a time. Each is computed alone, so the bytes do
        // not depend on which thread takes it.
        std::atomic<bool> outOfMemory{false};
        if (wholeStrips) {
            std::vector<std::uint8_t> lightBytes, edgeBytes;
            for (int r = firstRun; r < firstRun + runCount; ++r)
                WrapRun(setup, runs[r], carry.data(), carryTop, std::min(waveTop, carryBottom), lightBytes, edgeBytes,
                        wrapped.data() + runs[r].offset, ctx.threads);
        } else {
            // One band a run; each thread keeps its scratch from run to run.
            const int threads = std::max(1, ctx.threads);
            std::vector<std::vector<std::uint8_t>> lightBytes(static_cast<std::size_t>(threads));
            std::vector<std::vector<std::uint8_t>> edgeBytes(static_cast<std::size_t>(threads));
            common::HXParallelBands(runCount, runCount, threads, [&](int begin, int end, int worker) {
                for (int r = firstRun + begin; r < firstRun + end; ++r) {
                    if (outOfMemory.load(std::memory_order_relaxed))
                        return;
                    try {
                        WrapRun(setup, runs[r], carry.data(), carryTop, std::min(waveTop, carryBottom),
                                lightBytes[worker], edgeBytes[worker], wrapped.data() + runs[r].offset, 1);
                    } catch (const std::bad_alloc&) {
                        outOfMemory = true;
                    }
                }
            });
        }
        if (outOfMemory)
            return HXResultOutOfMemory;

        if (lastStrip < strips && waveBottom < boundsBottom) {
            carryTop = std::max(waveTop, waveBottom - margin);
            carryBottom = waveBottom;
            carry.resize(static_cast<std::size_t>(carryBottom - carryTop) * image.RowBytes());
            std::memcpy(carry.data(), image.Row(carryTop), carry.size());
        }
        const int rowBegin = std::max(waveTop, boundsTop), rowEnd = std::min(waveBottom, boundsBottom);
        ParallelFor(rowEnd - rowBegin, ctx.threads, [&](int begin, int end) {
            for (int y = rowBegin + begin; y < rowBegin + end; ++y) {
                const int strip = y / stripRows;
                int x = boundsLeft;
                for (int r = stripFirstRun[strip]; r < stripFirstRun[strip + 1]; ++r) {
                    const Run& run = runs[r];
                    if (y < run.y0 || y >= run.y1)
                        continue;
                    compositeLayer(y, x, run.x0);
                    const int runWidth = run.x1 - run.x0;
                    CompositeRow(HXBlendModeNormal, image.Pixel(run.x0, y),
                                 wrapped.data() + run.offset + static_cast<std::size_t>(y - run.y0) * runWidth * 4,
                                 runWidth, layerScale);
                    x = run.x1;
                }
                compositeLayer(y, x, boundsRight);
            }
        });
        firstStrip = lastStrip;
    }
    return HXResultOk;
}

} // namespace hvn::image::kernels
