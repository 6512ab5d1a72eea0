#pragma once

// The render pipeline's own parallel loops run on the engine's mechanism and team sizes: a pass
// over an image of `pixels` pixels gets EngineThreadCount(pixels) threads (one for a preview
// window's worth, all of them for a photo), four bands a thread, handed out as threads come free.

#include <hvn/common/HXParallel.h>
#include <hvn/image/HXOperation.h>

#include <algorithm>

namespace lumo::app {

// body(begin, end) or body(begin, end, worker) over the rows [0, rows).
template <class Body>
void ParallelRows(int rows, long long pixels, Body&& body)
{
    const int threads = std::max(1, hvn::image::EngineThreadCount(pixels));
    hvn::common::HXParallelBands(rows, threads * 4, threads, body);
}

// The threads ParallelRows gives a pass over this many pixels (for per-thread scratch).
inline int ParallelRowThreads(long long pixels)
{
    return std::max(1, hvn::image::EngineThreadCount(pixels));
}

} // namespace lumo::app
