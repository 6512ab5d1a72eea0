#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int Mirror(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Sharpen(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Vignette(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
