// The one shared random generator: uniform draws in [0, 1), seeded once from the
// clock at start-up, or by a test or tool so that a show or a filter run can be replayed.
#pragma once

#include <cstdint>

namespace velmora {

class Random {
public:
    explicit Random(std::uint64_t seed = 0) { seed_(seed); }

    void seed(std::uint64_t seed) { seed_(seed); }
    void seedFromClock();

    // Uniform in [0, 1) with 53 random bits: the same sequence on every platform.
    double next();
    // Uniform integer in [0, n) for n > 0, without modulo bias.
    std::uint64_t below(std::uint64_t n);
    std::uint64_t nextBits();

private:
    void seed_(std::uint64_t seed);
    std::uint64_t state_[4] = {};
};

// The process-wide generator shared by the catalogue, the show and the filters.
Random& sharedRandom();

} // namespace velmora
