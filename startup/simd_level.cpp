#include "startup/simd_level.h"

#include <algorithm>
#include <atomic>

namespace velmora {

namespace {

SimdLevel detected()
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    if (__builtin_cpu_supports("avx2")) {
        return SimdLevel::avx2;
    }
    if (__builtin_cpu_supports("sse4.1")) {
        return SimdLevel::sse41;
    }
#endif
    return SimdLevel::baseline;
}

std::atomic<SimdLevel> ceiling{SimdLevel::avx2};

} // namespace

SimdLevel simdLevel()
{
    static const SimdLevel best = detected();
    return std::min(best, ceiling.load(std::memory_order_relaxed));
}

void capSimdLevel(SimdLevel level) { ceiling.store(level, std::memory_order_relaxed); }

} // namespace velmora
