#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int StackBlur(const HXOperation& op, const ImageView&, const KernelContext& ctx)
{
    const unsigned radius = static_cast<unsigned>(op.Arg(0) * ctx.scale);
    if (radius == 0 || (op.Arg(1) == 0.0 && op.Arg(2) == 0.0))
        return HXResultOk; // a radius-0 blur is a plain copy, already made
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
