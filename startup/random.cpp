// xoshiro256** seeded through splitmix64: small, fast and identical on every platform.
#include "startup/random.h"

#include <cassert>
#include <chrono>

namespace velmora {

namespace {

std::uint64_t splitmix64(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

void Random::seed_(std::uint64_t seed)
{
    for (auto& s : state_) {
        s = splitmix64(seed);
    }
}

void Random::seedFromClock()
{
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    seed_(static_cast<std::uint64_t>(ticks));
}

std::uint64_t Random::below(std::uint64_t n)
{
    assert(n > 0);
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = ~std::uint64_t(0) - (~std::uint64_t(0) % n);
    std::uint64_t v;
    do {
        v = nextBits();
    } while (v >= limit);
    return v % n;
}

Random& sharedRandom()
{
    static Random generator = [] {
        Random r;
        r.seedFromClock();
        return r;
    }();
    return generator;
}

} // namespace velmora
