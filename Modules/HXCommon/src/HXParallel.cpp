#include "hvn/common/HXParallel.h"

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/partitioner.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace hvn::common {

namespace {

void RunBand(const HXBandBody& body, int count, int bands, int band, int worker)
{
    const int begin = static_cast<int>(static_cast<std::int64_t>(count) * band / bands);
    const int end = static_cast<int>(static_cast<std::int64_t>(count) * (band + 1) / bands);
    body.run(body.body, begin, end, worker);
}

// One arena for each team size, made on first use and kept: an arena of n threads lets at most
// n - 1 of the shared workers join the caller, and numbers its threads 0 to n - 1.
oneapi::tbb::task_arena& ArenaFor(int threads)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<oneapi::tbb::task_arena>> arenas;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<oneapi::tbb::task_arena>& arena = arenas[threads];
    if (!arena)
        arena = std::make_unique<oneapi::tbb::task_arena>(threads);
    return *arena;
}

} // namespace

void HXParallelBands(int count, int bands, int threads, const HXBandBody& body)
{
    if (count <= 0)
        return;
    bands = std::clamp(bands, 1, count);
    threads = std::clamp(threads, 1, bands);
    if (threads == 1) {
        for (int band = 0; band < bands; ++band)
            RunBand(body, count, bands, band, 0);
        return;
    }
    // A band is one task, never split further: the cut stays the same whoever runs it. Idle
    // threads steal the bands left.
    ArenaFor(threads).execute([&] {
        oneapi::tbb::parallel_for(
            oneapi::tbb::blocked_range<int>(0, bands, 1),
            [&](const oneapi::tbb::blocked_range<int>& range) {
                const int worker = oneapi::tbb::this_task_arena::current_thread_index();
                for (int band = range.begin(); band != range.end(); ++band)
                    RunBand(body, count, bands, band, worker);
            },
            oneapi::tbb::simple_partitioner());
    });
}

} // namespace hvn::common
