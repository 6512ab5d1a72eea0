#include "hvn/common/HXParallel.h"

#if defined(HX_PARALLEL_PLAIN_THREADS)
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#else
#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/partitioner.h>
#include <oneapi/tbb/task_arena.h>

#include <map>
#include <memory>
#include <mutex>
#endif

#include <algorithm>
#include <cstdint>

namespace hvn::common {

namespace {

void RunBand(const HXBandBody& body, int count, int bands, int band, int worker)
{
    const int begin = static_cast<int>(static_cast<std::int64_t>(count) * band / bands);
    const int end = static_cast<int>(static_cast<std::int64_t>(count) * (band + 1) / bands);
    body.run(body.body, begin, end, worker);
}

#if defined(HX_PARALLEL_PLAIN_THREADS)

// The thread-checking build: its checker follows only code built with it, and the work-stealing
// library is not, so the same bands run on plain threads of a pool of our own, synchronised by
// the standard mutex and condition variable, which the checker sees. Starting threads for every
// call would cost more than most calls do.
//
// A call offers its bands to threads - 1 helpers and works on them itself; whoever asks next
// takes the next band. It waits only for bands somebody has taken, so a call from inside a band
// (or from several threads at once) never waits for a helper that is busy elsewhere.
struct Call {
    const HXBandBody* body = nullptr;
    int count = 0;
    int bands = 0;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int done = 0; // bands finished, under mutex

    // Runs bands until none is left.
    void Work(int worker)
    {
        int ran = 0;
        for (int band = next.fetch_add(1); band < bands; band = next.fetch_add(1)) {
            RunBand(*body, count, bands, band, worker);
            ++ran;
        }
        if (ran == 0)
            return;
        const std::lock_guard<std::mutex> lock(mutex);
        done += ran;
        if (done == bands)
            finished.notify_all();
    }
};

struct Ticket {
    std::shared_ptr<Call> call;
    int worker = 0;
};

class Pool {
public:
    // Offers the call to that many helpers, starting threads while too few are free.
    void Offer(const std::shared_ptr<Call>& call, int helpers)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        while (m_threads < kMaxThreads && m_threads < m_busy + static_cast<int>(m_tickets.size()) + helpers) {
            try {
                std::thread(&Pool::Serve, this).detach();
            } catch (...) {
                break; // the bands left go to the threads there are and to the caller
            }
            ++m_threads;
        }
        try {
            for (int worker = 1; worker <= helpers; ++worker) {
                m_tickets.push_back({call, worker});
                m_wake.notify_one();
            }
        } catch (...) {
            // Fewer helpers: the caller takes what they would have.
        }
    }

private:
    static constexpr int kMaxThreads = 256;

    void Serve()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_tickets.empty(); });
            Ticket ticket = std::move(m_tickets.front());
            m_tickets.pop_front();
            ++m_busy;
            lock.unlock();
            ticket.call->Work(ticket.worker);
            ticket.call.reset();
            lock.lock();
            --m_busy;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Ticket> m_tickets;
    int m_threads = 0;
    int m_busy = 0;
};

// Never destroyed: its threads serve until the process ends.
Pool& ThePool()
{
    static Pool* const pool = new Pool;
    return *pool;
}

void RunOnPool(int count, int bands, int threads, const HXBandBody& body)
{
    std::shared_ptr<Call> call;
    try {
        call = std::make_shared<Call>();
    } catch (...) {
        for (int band = 0; band < bands; ++band)
            RunBand(body, count, bands, band, 0);
        return;
    }
    call->body = &body;
    call->count = count;
    call->bands = bands;
    ThePool().Offer(call, threads - 1);
    call->Work(0);
    std::unique_lock<std::mutex> lock(call->mutex);
    call->finished.wait(lock, [&] { return call->done == bands; });
}

#else

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

#endif

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
#if defined(HX_PARALLEL_PLAIN_THREADS)
    RunOnPool(count, bands, threads, body);
#else
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
#endif
}

} // namespace hvn::common
