#include "hvn/image/HXImageKeyer.h"

namespace hvn::image {

int AutoDetectKeyColor(HXImage8* image, int threads, HXKeyColor* result)
{
    (void)threads;
    if (!image || !result)
        return HXResultBadArgument;
    return HXResultOk; // undecided: the caller's preset stands
}

} // namespace hvn::image
