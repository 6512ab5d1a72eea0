#pragma once

#include "hvn/common/HXLookupTables.h"
#include "hvn/image/HXImage.h"
#include "hvn/image/HXOperation.h"

#include <vector>

namespace hvn::image {

// Runs a queue from source to destination: the source is copied to the destination when they
// differ, then every operation runs in place on the destination, in order. Never throws.
int RunPass(const std::vector<HXOperation>& queue, const HXAbstractImage& source, HXAbstractImage& destination,
            const common::HXLookupTables& tables, HXDownsampleFactor factor, double opacity);

} // namespace hvn::image
