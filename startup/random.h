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
    // Inline because the noise filters draw three values per pixel.
    double next() { return double(nextBits() >> 11) * 0x1.0p-53; }
    // The draw cut to single precision as the filters take it: next() x 2^24 truncated,
    // which is exactly the top 24 bits, so no floating point is involved.
    std::uint32_t nextSingleBits() { return std::uint32_t(nextBits() >> 40); }
    // Uniform integer in [0, n) for n > 0, without modulo bias.
    std::uint64_t below(std::uint64_t n);
    // xoshiro256**
    std::uint64_t nextBits()
    {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    void seed_(std::uint64_t seed);
    std::uint64_t state_[4] = {};
};

// The process-wide generator shared by the catalogue, the show and the filters.
Random& sharedRandom();

} // namespace velmora
