// Filter types 28 to 31: the tabled versions against the per-pixel formulas in every rounding
// mode, and the row yields of every type from 19 to 31.
#include "filters/engine.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <cmath>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

namespace {

// round(x) with halves to even, then clamped; x may be far outside 0..255.
int roundClamp(double x)
{
    if (x <= 0) return 0;
    if (x >= 255) return 255;
    return int(std::nearbyint(x));
}

// Types 28 (with flat channels unchanged), 29, 30 and 31, each pixel and channel on its own.
Picture referencePoint(int type, const Picture& source, int param, Random* random = nullptr)
{
    Picture result = source;
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], channel(source, x, y, c));
                hi[c] = std::max(hi[c], channel(source, x, y, c));
            }
    const float factor = float(double(param) / 100.0);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const std::uint8_t* p = source.pixel(x, y);
            const int grey = (p[0] + p[1] + p[2]) / 3;
            for (int c = 0; c < 3; ++c) {
                const int v = p[c];
                int out = v;
                if (type == 28 && hi[c] != lo[c]) {
                    out = roundClamp(double((v - lo[c]) * 255) / double(hi[c] - lo[c]));
                } else if (type == 29) {
                    const float r = float(std::floor(random->next() * 16777216.0) / 16777216.0);
                    out = roundClamp(double(r) * double(2 * (long long)param + 1) - double(param) + v);
                } else if (type == 30) {
                    out = roundClamp(double(factor) * double(v - grey) + v);
                } else if (type == 31) {
                    out = roundClamp(std::pow(v / 255.0, 1.0 / double(factor)) * 255.0);
                }
                result.pixel(x, y)[c] = std::uint8_t(out);
            }
        }
    return result;
}

} // namespace

TEST(Noise, MatchesThePerPixelFormulaForEverySeedAndInEveryRoundingMode)
{
    // Up to an amplitude of 2^20 the result must not depend on the floating-point mode the
    // caller left set; the per-pixel formula rounds in the default mode.
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    for (std::uint64_t seed = 1; seed <= 5; ++seed) {
        const Picture source = randomPicture(int(40 + 13 * seed), int(9 - seed), seed);
        for (int param : {50, 100, 0, 127, 128, -1, -50, 255, 1 << 20, -(1 << 20)}) {
            Random forReference(seed * 11);
            const Picture want = referencePoint(29, source, param, &forReference);
            for (int mode : modes) {
                Picture got = source;
                Random random(seed * 11);
                std::fesetround(mode);
                const FilterResult result = runFilter(29, got, param, &random);
                std::fesetround(FE_TONEAREST);
                ASSERT_TRUE(result.ok());
                ASSERT_EQ(got, want) << "seed " << seed << " param " << param << " mode " << mode;
                Random next = forReference;
                ASSERT_EQ(next.nextBits(), random.nextBits()); // three draws per pixel, no more
            }
        }
    }
}

TEST(PointFilters, TablesGiveTheBytesOfThePerPixelFormulas)
{
    std::uint64_t seed = 300;
    for (int param : {0, 1, -1, 15, -10, 33, 100, 150, 257, -999, 100000, INT_MAX, INT_MIN}) {
        const Picture source = randomPicture(23, 7, seed++);
        for (int type : {28, 29, 30, 31}) {
            if (type == 31 && param <= 0) continue;
            Picture fast = source;
            Random a(seed), b(seed);
            ASSERT_TRUE(runFilter(type, fast, param, &a).ok());
            EXPECT_EQ(fast, referencePoint(type, source, param, &b)) << "type " << type << " param " << param;
        }
    }
}

TEST(Filters19To31, YieldOnceAfterEveryRowOfEveryPass)
{
    struct Counter {
        static void count(void* n) { ++*static_cast<int*>(n); }
    };
    const int H = 9;
    // Types 19 and 21-23 also yield once after their mean pass (and 21-23 once after set-up);
    // 24 and 25-27 only visit the rows their windows fit in; 28 passes twice.
    const int expected[13] = {H + 1, H, H + 2, H + 2, H + 2, H - 4, H - 2, H - 2, H - 2, 2 * H, H, H, H};
    for (int type = 19; type <= 31; ++type) {
        FilterEngine engine;
        int yields = 0;
        engine.yieldHook = &Counter::count;
        engine.yieldContext = &yields;
        Random random(1);
        engine.random = &random;
        Picture p = randomPicture(6, H, 8);
        ASSERT_TRUE(Fil_Run(engine, type, p.view(), 15).ok());
        EXPECT_EQ(yields, expected[type - 19]) << "type " << type;
    }
}
