#include "kernels/Primitives.h"

namespace hvn::image::kernels {

int ErodePlane(const PlaneView&, int, int)
{
    return HXResultNotImplemented;
}

int DilatePlane(const PlaneView&, int, int)
{
    return HXResultNotImplemented;
}

} // namespace hvn::image::kernels
