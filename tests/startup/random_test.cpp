// The shared generator: bulk draws equal single ones on every path and across a change of
// keys, the draws are uniform and independent of their neighbours, and re-seeding.
#include "startup/random.h"
#include "startup/simd_level.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace velmora;

namespace {

// Pearson's statistic of counts against an even spread.
double chiSquare(const std::vector<int>& counts, double total)
{
    const double expected = total / double(counts.size());
    double sum = 0;
    for (int n : counts) sum += (n - expected) * (n - expected) / expected;
    return sum;
}

} // namespace

TEST(Random, BulkDrawsAreTheSingleDrawsOnEveryPathAndAcrossAChangeOfKeys)
{
    // The last ceiling, the highest, is the one every other test runs under.
    for (SimdLevel level : {SimdLevel::baseline, SimdLevel::sse41, SimdLevel::avx2}) {
        capSimdLevel(level);
        // Far in, so the runs cross the point (2^31 draws) where the keys change.
        for (std::uint64_t start : {std::uint64_t(0), (std::uint64_t(1) << 31) - 37}) {
            Random single(2024), bulk(2024);
            single.discard(start);
            bulk.discard(start);
            // Lengths around the vector width, with single draws between runs.
            for (std::size_t n : {0, 1, 7, 8, 9, 15, 16, 17, 24, 100, 1000}) {
                std::vector<std::uint32_t> got(n);
                bulk.fillSingleBits(got);
                for (std::size_t i = 0; i < n; ++i) {
                    ASSERT_EQ(got[i], single.nextSingleBits()) << "level " << int(level) << " start " << start << " n " << n << " i " << i;
                }
                ASSERT_EQ(bulk.nextBits(), single.nextBits());
            }
        }
    }
}

TEST(Random, DrawsAreUniformAndIndependentOfTheirNeighbours)
{
    // Chi-square bounds at p = 0.0001 for the degrees of freedom used.
    constexpr double k254 = 346.6;
    constexpr double k255 = 347.7;
    constexpr double k1023 = 1199.9;
    constexpr int kDraws = 1 << 20;
    Random random(77);
    std::vector<std::uint32_t> bulk(kDraws);
    random.fillSingleBits(bulk);
    // Top byte of each draw, and pairs of neighbours (5 bits each: a lane or order fault shows).
    std::vector<int> top(256), pairs(1024);
    for (int i = 0; i < kDraws; ++i) {
        ++top[bulk[std::size_t(i)] >> 16];
        if (i > 0) ++pairs[(bulk[std::size_t(i) - 1] >> 19) << 5 | bulk[std::size_t(i)] >> 19];
    }
    EXPECT_LT(chiSquare(top, kDraws), k255);
    EXPECT_LT(chiSquare(pairs, kDraws - 1), k1023);

    // The low word's lowest byte, and below() of a bound that is no power of two.
    std::vector<int> low(256), thirds(255);
    for (int i = 0; i < kDraws / 4; ++i) {
        ++low[random.nextBits() & 0xFF];
        ++thirds[random.below(255)];
    }
    EXPECT_LT(chiSquare(low, kDraws / 4), k255);
    EXPECT_LT(chiSquare(thirds, kDraws / 4), k254);
}

TEST(Random, ReseedingRestartsOnlyTheSameSeed)
{
    Random a(5), c(6);
    const std::uint64_t first = a.nextBits();
    EXPECT_NE(c.nextBits(), first);
    a.nextBits();
    a.seed(5);
    EXPECT_EQ(a.nextBits(), first);

    // Two seeds from the clock in a row (well within one tick of a coarse clock) differ.
    Random d, e;
    d.seedFromClock();
    e.seedFromClock();
    EXPECT_NE(d.nextBits(), e.nextBits());
}
