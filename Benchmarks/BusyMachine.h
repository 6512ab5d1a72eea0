#pragma once

// A user's desktop is never idle. Every case registered with LUMORA_BENCHMARK runs twice: as it is,
// and as "<name>/busy" while four threads of this program spin on the same machine (started
// before the case, stopped after it), as other programs using a few cores would.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace lumora::bench {

class BackgroundLoad {
public:
    static constexpr int kThreads = 4;

    BackgroundLoad()
    {
        for (int i = 0; i < kThreads; ++i)
            m_threads.emplace_back([this] {
                std::uint64_t state = 1;
                while (!m_stop.load(std::memory_order_relaxed)) {
                    for (int step = 0; step < 4096; ++step)
                        state = state * 6364136223846793005ull + 1442695040888963407ull;
                    benchmark::DoNotOptimize(state);
                }
            });
    }
    ~BackgroundLoad()
    {
        m_stop.store(true);
        for (std::thread& thread : m_threads)
            thread.join();
    }
    BackgroundLoad(const BackgroundLoad&) = delete;
    BackgroundLoad& operator=(const BackgroundLoad&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

template <void (*Case)(benchmark::State&)>
void UnderLoad(benchmark::State& state)
{
    const BackgroundLoad load;
    Case(state);
}

} // namespace lumora::bench

// Registers the case idle and busy; the arguments after the name configure both, as the chain
// after BENCHMARK would: LUMORA_BENCHMARK(BM_Case, ->Arg(8)->Unit(benchmark::kMillisecond)).
#define LUMORA_BENCHMARK(name, ...)                                                                                    \
    [[maybe_unused]] static benchmark::internal::Benchmark* const name##_idle =                                        \
        benchmark::RegisterBenchmark(#name, name) __VA_ARGS__;                                                         \
    [[maybe_unused]] static benchmark::internal::Benchmark* const name##_busy =                                        \
        benchmark::RegisterBenchmark(#name "/busy", lumora::bench::UnderLoad<name>) __VA_ARGS__
