#include "kernels/PixelSupport.h"
#include "kernels/Primitives.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace hvn::image::kernels {

namespace {

// The rows and columns that hold any alpha, or an empty rectangle.
maths::HXRect AlphaBounds(const ImageView& image, int threads)
{
    std::vector<int> rowLeft(image.height, image.width), rowRight(image.height, -1);
    ParallelFor(image.height, threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const std::uint8_t* p = image.Row(y);
            int left = image.width, right = -1;
            for (int x = 0; x < image.width; ++x)
                if (p[4 * x + 3] != 0) {
                    left = std::min(left, x);
                    right = x;
                }
            rowLeft[y] = left;
            rowRight[y] = right;
        }
    });
    maths::HXRect bounds(image.width, image.height, 0, 0);
    for (int y = 0; y < image.height; ++y) {
        if (rowRight[y] < 0)
            continue;
        bounds.left = std::min(bounds.left, rowLeft[y]);
        bounds.right = std::max(bounds.right, rowRight[y] + 1);
        bounds.top = std::min(bounds.top, y);
        bounds.bottom = y + 1;
    }
    return bounds.IsEmpty() ? maths::HXRect() : bounds;
}

} // namespace

// args: blur (full-resolution pixels), opacity, blend mode, factor.
// The light of what lies below (the destination, blurred, premultiplied so that transparent areas
// give no light) is blended with the mode onto the layer's inner edge: the weight is
// 2 * alpha * (1 - blurred alpha), so it is 0 in the interior and outside the layer and largest
// just inside its edge. The layer is then composited over the destination (Normal, source-over)
// at its opacity times the compositor's.
int LightSpillLayer(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    if (!op.image || !IsBlendMode(op.Arg(2)))
        return HXResultBadArgument;
    const ImageView layer = ViewOf(*op.image);
    if (!layer.data || op.image->BitsPerChannel() != HXBitsPerChannel8)
        return HXResultBadArgument;
    if (layer.width != image.width || layer.height != image.height || layer.order != image.order)
        return HXResultImageMismatch;
    const double opacity = std::clamp(op.Arg(1), 0.0, 1.0) * std::clamp(ctx.opacity, 0.0, 1.0);
    if (opacity <= 0.0)
        return HXResultOk;
    const AlphaScale layerScale = MakeAlphaScale(opacity);
    const double factorArg = op.Arg(3);
    const HXDownsampleFactor factor =
        factorArg >= 0.0 && factorArg <= 3.0 ? static_cast<HXDownsampleFactor>(int(factorArg)) : ctx.factor;
    const int radius = static_cast<int>(std::max(0.0, op.Arg(0)) * DownsampleValue(factor));
    const HXBlendMode mode = static_cast<HXBlendMode>(int(op.Arg(2)));

    const maths::HXRect bounds = AlphaBounds(layer, ctx.threads);
    if (bounds.IsEmpty())
        return HXResultOk;
    if (radius >= 1) {
        // Everything the blurs of a wrapped pixel reach.
        const int margin = 2 * radius + 1;
        const int left = std::max(0, bounds.left - margin);
        const int rw = std::min(image.width, bounds.right + margin) - left;
        // Strips of rows with their margins, in buffers reused from strip to strip: a few
        // megabytes that stay warm instead of whole-canvas copies. The destination rows the next
        // strip reads above itself are saved before this strip overwrites them.
        const int strip = std::max(256, margin);
        const int capacity = strip + 2 * margin;
        ImageView light{nullptr, rw, capacity, image.order};
        const auto lightBytes = std::make_unique_for_overwrite<std::uint8_t[]>(light.Bytes());
        light.data = lightBytes.get();
        std::vector<std::uint8_t> edge(static_cast<std::size_t>(rw) * capacity);
        std::vector<std::uint8_t> carry(static_cast<std::size_t>(margin) * rw * 4);
        int carryTop = -1; // first row held in carry, -1 for none
        for (int y0 = bounds.top; y0 < bounds.bottom; y0 += strip) {
            const int y1 = std::min(bounds.bottom, y0 + strip);
            const int ya = std::max(0, y0 - margin), yb = std::min(image.height, y1 + margin);
            light.height = yb - ya;
            ParallelFor(light.height, ctx.threads, [&](int begin, int end) {
                for (int i = begin; i < end; ++i) {
                    const int y = ya + i;
                    const std::uint8_t* from = carryTop >= 0 && y >= carryTop && y < y0
                                                   ? carry.data() + static_cast<std::size_t>(y - carryTop) * rw * 4
                                                   : image.Pixel(left, y);
                    std::memcpy(light.Row(i), from, light.RowBytes());
                    const std::uint8_t* l = layer.Pixel(left, y);
                    std::uint8_t* e = edge.data() + static_cast<std::size_t>(i) * rw;
                    for (int x = 0; x < rw; ++x)
                        e[x] = l[4 * x + 3];
                }
            });
            const PlaneView edgeAlpha{edge.data(), rw, light.height, 1, rw};
            if (const int result = StackBlurImage(light, radius, true, true, HXChannelsColorAndAlpha, ctx.threads))
                return result;
            // Two boxes of half the radius: the edge zone is about as deep as the light's blur.
            if (const int result = BoxBlurPlane(edgeAlpha, std::max(1, radius / 2), true, true, 2, ctx.threads))
                return result;
            carryTop = std::max(y0, y1 - margin);
            for (int y = carryTop; y < y1; ++y)
                std::memcpy(carry.data() + static_cast<std::size_t>(y - carryTop) * rw * 4, image.Pixel(left, y),
                            static_cast<std::size_t>(rw) * 4);
            // light becomes the wrapped layer row by row, then goes over the destination.
            ParallelFor(y1 - y0, ctx.threads, [&](int begin, int end) {
                for (int i = begin; i < end; ++i) {
                    const int y = y0 + i;
                    std::uint8_t* w = light.Row(y - ya);
                    const std::uint8_t* e = edge.data() + static_cast<std::size_t>(y - ya) * rw;
                    const std::uint8_t* l = layer.Pixel(left, y);
                    for (int x = 0; x < rw; ++x, w += 4, l += 4) {
                        const int weight = std::min(255, (2 * l[3] * (255 - e[x]) + 127) / 255) * w[3];
                        if (weight == 0) {
                            std::memcpy(w, l, 4);
                            continue;
                        }
                        const float t = float(weight) * (1.0f / (255.0f * 255.0f));
                        for (int c = 0; c < 3; ++c) {
                            const float cb = float(l[c]) * (1.0f / 255.0f);
                            const float blended =
                                cb + t * (BlendChannel(mode, cb, float(w[c]) * (1.0f / 255.0f)) - cb);
                            w[c] = static_cast<std::uint8_t>(std::clamp(blended * 255.0f + 0.5f, 0.0f, 255.0f));
                        }
                        w[3] = l[3];
                    }
                    CompositeRow(HXBlendModeNormal, image.Pixel(left, y), light.Row(y - ya), rw, layerScale);
                }
            });
        }
        return HXResultOk;
    }
    ParallelFor(bounds.Height(), ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            CompositeRow(HXBlendModeNormal, image.Pixel(bounds.left, bounds.top + y),
                         layer.Pixel(bounds.left, bounds.top + y), bounds.Width(), layerScale);
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
