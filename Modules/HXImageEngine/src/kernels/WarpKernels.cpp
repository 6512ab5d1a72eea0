#include "kernels/Kernels.h"

namespace hvn::image::kernels {

int ShadowCastLayer(const HXOperation&, const ImageView&, const KernelContext&)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
