#include "kernels/Kernels.h"

#include <cmath>

namespace hvn::image::kernels {

namespace {
std::uint8_t ToByte(double value)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}
} // namespace

int Brightness(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Contrast(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Saturation(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int SuperContrast(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int ColorTemperature(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int ColorBalance(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int HueColorize(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int HueShift(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Tint(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

// Alpha times the opacity (0..1); colour untouched.
int Opacity(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const double opacity = std::clamp(op.Arg(0), 0.0, 1.0);
    if (opacity >= 1.0)
        return HXResultOk;
    const std::uint8_t factor = ToByte(opacity * 255.0);
    const std::uint8_t* multiply = ctx.tables.MultiplyTable() + (factor << 8);
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4)
                p[3] = multiply[p[3]];
        }
    });
    return HXResultOk;
}

// Every pixel takes the colour; alpha keeps the shape.
int Silhouette(const HXOperation& op, const ImageView& image, const KernelContext& ctx)
{
    const std::uint8_t red = ToByte(op.Arg(0));
    const std::uint8_t green = ToByte(op.Arg(1));
    const std::uint8_t blue = ToByte(op.Arg(2));
    const int ri = image.RedIndex();
    const int bi = image.BlueIndex();
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                p[ri] = red;
                p[1] = green;
                p[bi] = blue;
            }
        }
    });
    return HXResultOk;
}

// Alpha shown as an opaque grey image.
int MatteView(const HXOperation&, const ImageView& image, const KernelContext& ctx)
{
    ParallelFor(image.height, ctx.threads, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            std::uint8_t* p = image.Row(y);
            for (int x = 0; x < image.width; ++x, p += 4) {
                const std::uint8_t a = p[3];
                p[0] = a;
                p[1] = a;
                p[2] = a;
                p[3] = 255;
            }
        }
    });
    return HXResultOk;
}

} // namespace hvn::image::kernels
