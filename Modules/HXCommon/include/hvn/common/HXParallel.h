#pragma once

// The parallel loop of the engine and the render pipeline: one mechanism for both.
//
// Work is cut into fixed bands that depend only on the count and the number of bands, never on
// which thread runs what, so results never depend on the threads. Bands are handed out as threads
// come free (work stealing), so a thread that loses its processor to another program holds up at
// most the band it has; idle threads sleep instead of spinning on shared cores.

#include <type_traits>
#include <utility>

namespace hvn::common {

// A body of (begin, end, worker) passed by reference, without allocation.
struct HXBandBody {
    void (*run)(const void* body, int begin, int end, int worker);
    const void* body;
};

// Runs the body over [0, count) cut into `bands` bands (band b covers [count * b / bands,
// count * (b + 1) / bands)) on at most `threads` threads, the caller among them; returns when
// every band is done. worker: the running thread's index in [0, threads), unique among the
// threads of the call at any moment (for per-thread scratch). One thread, or one band, runs on
// the caller alone. The body must not throw.
void HXParallelBands(int count, int bands, int threads, const HXBandBody& body);

template <class Body>
void HXParallelBands(int count, int bands, int threads, Body&& body)
{
    using Plain = std::remove_reference_t<Body>;
    const HXBandBody erased{[](const void* b, int begin, int end, int worker) {
                                auto& f = *static_cast<Plain*>(const_cast<void*>(b));
                                if constexpr (std::is_invocable_v<Plain&, int, int, int>)
                                    f(begin, end, worker);
                                else
                                    f(begin, end);
                            },
                            static_cast<const void*>(&body)};
    HXParallelBands(count, bands, threads, erased);
}

} // namespace hvn::common
