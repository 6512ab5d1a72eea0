#pragma once

// Which backdrop a photograph was shot against, shared by the keyer and AutoDetectKeyColor.

#include "kernels/Kernels.h"

namespace hvn::image::kernels {

// Green or blue when the image's backdrop is clearly one of them, HXKeyColorAuto when undecided.
// Looks at block means on a grid laid out in fractions of the image, so a preview-sized copy of a
// photograph gets the same answer as the photograph; the answer does not depend on the thread count.
HXKeyColor DetectKeyColor(const ImageView& image, int threads);

} // namespace hvn::image::kernels
