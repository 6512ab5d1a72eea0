#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int Defocus(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int Diffuse(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int SoftFocus(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int ThreeStripColor(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int BleachBypass(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

int DepthOfField(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
