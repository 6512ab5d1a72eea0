#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int LightSpillLayer(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
