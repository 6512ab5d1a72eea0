#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int YUVBlur(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int AutoColorDifferenceKey(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int AlphaCrop(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int AlphaSuperContrast(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int AlphaStackBlur(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int WhiteErode(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
