// Which vector instructions the fast paths may use. Every path gives the same bytes, so the
// choice is only about speed; tests and benchmarks lower it to reach the baseline paths.
#pragma once

namespace velmora {

enum class SimdLevel {
    baseline, // what the build targets (SSE2 on x86-64) and plain C++ elsewhere
    sse41,    // 32-bit products and byte shuffles, four lanes
    avx2,
};

// The best level the processor has, unless lowered by capSimdLevel.
SimdLevel simdLevel();

// Caps simdLevel() at `ceiling` for the rest of the process (or until the next call).
void capSimdLevel(SimdLevel ceiling);

} // namespace velmora
