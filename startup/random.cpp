// The counter-based generator's keys, its bulk draws (scalar, SSE4.1 and AVX2, the same words) and
// the shared instance.
#include "startup/random.h"

#include "startup/simd_level.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <cstddef>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELMORA_RANDOM_X86 1
#endif

namespace velmora {

namespace {

constexpr std::uint64_t kGolden64 = 0x9E3779B97F4A7C15ull;

// splitmix64's output function: a 64-bit value to a well-mixed one.
std::uint64_t mix64(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// out[m] = top 24 bits of word j0 + 2m, for words of one block.
std::size_t fillWordsScalar(std::uint32_t* out, std::size_t n, std::uint32_t j0, std::uint32_t k1, std::uint32_t k2)
{
    for (std::size_t m = 0; m < n; ++m) {
        out[m] = Random::hashWord(j0 + 2 * std::uint32_t(m), k1, k2) >> 8;
    }
    return n;
}

#if VELMORA_RANDOM_X86
// The same, eight words a step; returns how many it did (a multiple of 8).
__attribute__((target("avx2"))) std::size_t fillWordsAvx2(std::uint32_t* out, std::size_t n, std::uint32_t j0,
                                                         std::uint32_t k1, std::uint32_t k2)
{
    constexpr std::uint32_t gamma = Random::WeylStep;
    // Lane m holds (j0 + 2m) x gamma + k1, and every step moves the eight on by 16 words.
    __m256i weyl = _mm256_add_epi32(
        _mm256_set1_epi32(std::int32_t(j0 * gamma + k1)),
        _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(std::int32_t(2 * gamma))));
    const __m256i step = _mm256_set1_epi32(std::int32_t(16 * gamma));
    const __m256i key2 = _mm256_set1_epi32(std::int32_t(k2));
    const __m256i c1 = _mm256_set1_epi32(std::int32_t(Random::HashMul1));
    const __m256i c2 = _mm256_set1_epi32(std::int32_t(Random::HashMul2));
    const __m256i c3 = _mm256_set1_epi32(std::int32_t(Random::HashMul3));
    std::size_t m = 0;
    for (; m + 8 <= n; m += 8) {
        __m256i x = _mm256_xor_si256(weyl, key2);
        x = _mm256_mullo_epi32(_mm256_xor_si256(x, _mm256_srli_epi32(x, 17)), c1);
        x = _mm256_mullo_epi32(_mm256_xor_si256(x, _mm256_srli_epi32(x, 11)), c2);
        x = _mm256_mullo_epi32(_mm256_xor_si256(x, _mm256_srli_epi32(x, 15)), c3);
        x = _mm256_srli_epi32(_mm256_xor_si256(x, _mm256_srli_epi32(x, 14)), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + m), x);
        weyl = _mm256_add_epi32(weyl, step);
    }
    return m;
}

// Four words a step, for processors without AVX2 (SSE2 has no 32-bit product); returns how
// many it did (a multiple of 4).
__attribute__((target("sse4.1"))) std::size_t fillWordsSse41(std::uint32_t* out, std::size_t n, std::uint32_t j0,
                                                            std::uint32_t k1, std::uint32_t k2)
{
    constexpr std::uint32_t gamma = Random::WeylStep;
    __m128i weyl = _mm_add_epi32(_mm_set1_epi32(std::int32_t(j0 * gamma + k1)),
                                 _mm_mullo_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(std::int32_t(2 * gamma))));
    const __m128i step = _mm_set1_epi32(std::int32_t(8 * gamma));
    const __m128i key2 = _mm_set1_epi32(std::int32_t(k2));
    const __m128i c1 = _mm_set1_epi32(std::int32_t(Random::HashMul1));
    const __m128i c2 = _mm_set1_epi32(std::int32_t(Random::HashMul2));
    const __m128i c3 = _mm_set1_epi32(std::int32_t(Random::HashMul3));
    std::size_t m = 0;
    for (; m + 4 <= n; m += 4) {
        __m128i x = _mm_xor_si128(weyl, key2);
        x = _mm_mullo_epi32(_mm_xor_si128(x, _mm_srli_epi32(x, 17)), c1);
        x = _mm_mullo_epi32(_mm_xor_si128(x, _mm_srli_epi32(x, 11)), c2);
        x = _mm_mullo_epi32(_mm_xor_si128(x, _mm_srli_epi32(x, 15)), c3);
        x = _mm_srli_epi32(_mm_xor_si128(x, _mm_srli_epi32(x, 14)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + m), x);
        weyl = _mm_add_epi32(weyl, step);
    }
    return m;
}
#endif

} // namespace

void Random::seed_(std::uint64_t seed)
{
    key_ = mix64(seed + kGolden64);
    counter_ = 0;
    setBlock(0);
}

void Random::setBlock(std::uint64_t block)
{
    block_ = block;
    const std::uint64_t keys = mix64(key_ + block * kGolden64);
    k1_ = std::uint32_t(keys);
    k2_ = std::uint32_t(keys >> 32);
}

void Random::seedFromClock()
{
    static std::atomic<std::uint64_t> calls{0};
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    seed_(std::uint64_t(ticks) ^ mix64(++calls));
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

void Random::fillSingleBits(std::span<std::uint32_t> out)
{
    std::uint32_t* to = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        // A run of draws within one block of keys.
        if (counter_ >> 31 != block_) {
            setBlock(counter_ >> 31);
        }
        const std::uint64_t toBlockEnd = ((block_ + 1) << 31) - counter_;
        const std::size_t n = std::size_t(std::min<std::uint64_t>(left, toBlockEnd));
        const std::uint32_t j0 = std::uint32_t(2 * counter_);
        std::size_t done = 0;
#if VELMORA_RANDOM_X86
        const SimdLevel level = simdLevel();
        if (level >= SimdLevel::avx2) {
            done = fillWordsAvx2(to, n, j0, k1_, k2_);
        } else if (level >= SimdLevel::sse41) {
            done = fillWordsSse41(to, n, j0, k1_, k2_);
        }
#endif
        fillWordsScalar(to + done, n - done, j0 + 2 * std::uint32_t(done), k1_, k2_);
        counter_ += n;
        to += n;
        left -= n;
    }
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
