#include "hvn/maths/HXGeometry.h"

#include <algorithm>

namespace hvn::maths {

bool HXQuadF::IsNull() const
{
    const HXPoint2F origin;
    return topLeft == origin && topRight == origin && bottomRight == origin && bottomLeft == origin;
}

HXRect HXRect::Clipped(int width, int height) const
{
    HXRect r(std::clamp(left, 0, width), std::clamp(top, 0, height), std::clamp(right, 0, width),
             std::clamp(bottom, 0, height));
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

} // namespace hvn::maths
