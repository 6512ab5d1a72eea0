#include "kernels/Primitives.h"

namespace hvn::image::kernels {

PlaneView AlphaPlane(const ImageView& image)
{
    return ChannelPlane(image, 3);
}

PlaneView ChannelPlane(const ImageView& image, int byteIndex)
{
    return PlaneView{image.data + byteIndex, image.width, image.height, 4,
                     static_cast<std::ptrdiff_t>(image.RowBytes())};
}

int BoxBlurPlane(const PlaneView&, int, bool, bool, int, int)
{
    return HXResultNotImplemented;
}

int StackBlurImage(const ImageView&, int, bool, bool, HXChannelsToProcess, int)
{
    return HXResultNotImplemented;
}

int StackBlur(const HXOperation& op, const ImageView&, const KernelContext& ctx)
{
    const unsigned radius = static_cast<unsigned>(op.Arg(0) * ctx.scale);
    if (radius == 0 || (op.Arg(1) == 0.0 && op.Arg(2) == 0.0))
        return HXResultOk; // a radius-0 blur is a plain copy, already made
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
