// A measured call against a memcpy of the same picture, both timed in the same loop, one after
// the other, so that both see the same machine at the same moment: warm (the picture just
// written, in the caches as far as it fits) and cold (the caches flushed by a larger write
// first). Each figure is the best of the repetitions, in processor time of the process:
// neighbours on a shared machine only ever make a repetition slower.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

namespace velmora::bench {

inline double processSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Writes twice the largest last-level cache these machines have, so that nothing of the
// picture is left in any cache.
inline void flushCaches()
{
    static std::vector<std::uint8_t> scratch(std::size_t(64) << 20);
    for (std::size_t i = 0; i < scratch.size(); i += 64) {
        ++scratch[i];
    }
    benchmark::ClobberMemory();
}

// Times `run` (which filters `picture` in place) against memcpy(picture, source), each
// repetition of `state`: warm copy, warm run, cold copy, cold run. The iteration time is the
// warm run's. Sets the counters and returns the best warm run in seconds.
template <class Run>
double againstMemcpy(benchmark::State& state, std::uint8_t* picture, const std::uint8_t* source, std::size_t bytes,
                     Run run)
{
    double copyWarm = 1e9, runWarm = 1e9, copyCold = 1e9, runCold = 1e9;
    const auto timed = [](auto&& call) {
        const double start = processSeconds();
        call();
        benchmark::ClobberMemory();
        return processSeconds() - start;
    };
    const auto copy = [&] { std::memcpy(picture, source, bytes); };
    for (auto _ : state) {
        copy();
        copyWarm = std::min(copyWarm, timed(copy));
        copy(); // every run starts from the same picture
        const double warm = timed(run);
        runWarm = std::min(runWarm, warm);
        state.SetIterationTime(warm);
        flushCaches();
        copyCold = std::min(copyCold, timed(copy));
        copy();
        flushCaches();
        runCold = std::min(runCold, timed(run));
    }
    state.counters["warm_ms"] = runWarm * 1e3;
    state.counters["memcpy_warm_us"] = copyWarm * 1e6;
    state.counters["x_memcpy_warm"] = runWarm / copyWarm;
    state.counters["cold_ms"] = runCold * 1e3;
    state.counters["memcpy_cold_us"] = copyCold * 1e6;
    state.counters["x_memcpy_cold"] = runCold / copyCold;
    return runWarm;
}

} // namespace velmora::bench
