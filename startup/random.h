// The one shared random generator: uniform draws, seeded once from the clock at start-up, or
// by a test or tool so that a show or a filter run can be replayed.
//
// Counter-based: draw i is a pure function of the key and i, so a filter can work out a row
// of draws several to a vector and still get exactly the values that one call after another
// would give. Draw i is two 32-bit words, 2i (its high half) and 2i + 1; word j is
//   triple32(((j mod 2^32) x 0x9E3779B9 + k1) xor k2)
// a Weyl sequence (golden-ratio step, so neighbouring counters differ in many bits) through
// triple32, a 32-bit integer hash whose output bits each flip with probability close to 1/2
// for any input bit flipped. A 32-bit hash, not a 64-bit mixer, because every vector width
// multiplies 32-bit lanes (eight at a time in AVX2) while a 64-bit product costs three. The
// keys k1 and k2 are splitmix64 of the seed's key and j / 2^32, so all 64 bits of the counter
// count: no word repeats within 2^32 words and the sequence goes on past them. With k2 applied
// after the add, two seeds give two different orbits, not one sequence at two offsets.
#pragma once

#include <cstdint>
#include <span>

namespace velmora {

class Random {
public:
    explicit Random(std::uint64_t seed = 0) { seed_(seed); }

    void seed(std::uint64_t seed) { seed_(seed); }
    // From the clock, and a count of calls, so two re-seeds within one tick still differ.
    void seedFromClock();

    // Uniform in [0, 1) with 53 random bits: the same sequence on every platform.
    double next() { return double(nextBits() >> 11) * 0x1.0p-53; }
    // The draw cut to single precision as the filters take it: next() x 2^24 truncated,
    // which is exactly the top 24 bits, so no floating point is involved.
    std::uint32_t nextSingleBits() { return word(2 * advance()) >> 8; }
    // Uniform integer in [0, n) for n > 0, without modulo bias.
    std::uint64_t below(std::uint64_t n);
    std::uint64_t nextBits()
    {
        const std::uint64_t i = advance();
        return std::uint64_t(word(2 * i)) << 32 | word(2 * i + 1);
    }

    // The next out.size() draws as nextSingleBits() would give them one by one (the same
    // values, the counter moved as far), several to a vector where the processor can.
    void fillSingleBits(std::span<std::uint32_t> out);
    // Moves on n draws at once, as n draws would.
    void discard(std::uint64_t n) { counter_ += n; }

    // Word j for the keys of its block of 2^32 words; the vector paths compute the same.
    // The Weyl step and triple32's multipliers, shared by every vector width's copy of the hash.
    static constexpr std::uint32_t WeylStep = 0x9E3779B9u;
    static constexpr std::uint32_t HashMul1 = 0xED5AD4BBu;
    static constexpr std::uint32_t HashMul2 = 0xAC4C1B51u;
    static constexpr std::uint32_t HashMul3 = 0x31848BABu;
    static std::uint32_t hashWord(std::uint32_t j, std::uint32_t k1, std::uint32_t k2)
    {
        std::uint32_t x = (j * WeylStep + k1) ^ k2;
        x ^= x >> 17;
        x *= HashMul1;
        x ^= x >> 11;
        x *= HashMul2;
        x ^= x >> 15;
        x *= HashMul3;
        x ^= x >> 14;
        return x;
    }

private:
    void seed_(std::uint64_t seed);
    void setBlock(std::uint64_t block);
    std::uint64_t advance()
    {
        const std::uint64_t i = counter_++;
        if (i >> 31 != block_) {
            setBlock(i >> 31);
        }
        return i;
    }
    // Words of draws already advanced past lie in the current block.
    std::uint32_t word(std::uint64_t j) const { return hashWord(std::uint32_t(j), k1_, k2_); }

    std::uint64_t key_ = 0;
    std::uint64_t counter_ = 0; // draws made
    std::uint64_t block_ = 0;   // counter / 2^31: the words' j / 2^32, which the keys are for
    std::uint32_t k1_ = 0;
    std::uint32_t k2_ = 0;
};

// The process-wide generator shared by the catalogue, the show and the filters.
Random& sharedRandom();

} // namespace velmora
