// Filter types 28 to 31: the worked examples, the tabled versions against the per-pixel
// formulas, the failing params, and the row yields of every type from 19 to 31.
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

TEST(AutoLevel, StretchesEachChannelAndLeavesAFlatOneAlone)
{
    // Blue spans 100..200, green is flat (0 / 0 has no stretch), red already spans 0..255.
    Picture p = flatPicture(3, 1, 100, 77, 0);
    p.setPixel(1, 0, 150, 77, 255, 0x5A);
    p.setPixel(2, 0, 200, 77, 9, 0x5A);
    ASSERT_TRUE(runFilter(28, p, 0).ok());
    EXPECT_EQ(p.pixelValue(0, 0), 0x5A004D00u);
    EXPECT_EQ(p.pixelValue(1, 0), 0x5AFF4D80u); // 150 -> round(127.5) = 128
    EXPECT_EQ(p.pixelValue(2, 0), 0x5A094DFFu);

    Picture flat = flatPicture(4, 4, 1, 2, 3);
    ASSERT_TRUE(runFilter(28, flat, 0).ok());
    EXPECT_EQ(flat, flatPicture(4, 4, 1, 2, 3));
}

TEST(Noise, ParamZeroLiftsAboutHalfTheValuesByOneAndRepeatsWithTheSameSeed)
{
    Picture p = flatPicture(64, 64, 10, 255, 11);
    Random random(5);
    ASSERT_TRUE(runFilter(29, p, 0, &random).ok());
    int lifted = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            EXPECT_EQ(channel(p, x, y, 1), 255);
            lifted += channel(p, x, y, 0) - 10;
            const int red = channel(p, x, y, 2);
            EXPECT_TRUE(red == 11 || red == 12);
        }
    EXPECT_GT(lifted, 4096 * 45 / 100);
    EXPECT_LT(lifted, 4096 * 55 / 100);

    Picture again = flatPicture(64, 64, 10, 255, 11);
    Random same(5);
    ASSERT_TRUE(runFilter(29, again, 0, &same).ok());
    EXPECT_EQ(again, p);
}

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

TEST(PointFilters, WorkedExamplesOfSaturationAndGamma)
{
    Picture p = flatPicture(1, 1, 200, 100, 0);
    ASSERT_TRUE(runFilter(30, p, -10).ok());
    EXPECT_EQ(p.pixelValue(0, 0), 0x5A0A64BEu); // blue 190, green 100, red 10

    Picture g = flatPicture(2, 1, 64, 0, 255);
    g.setPixel(1, 0, 128, 1, 254, 0x5A);
    Picture grey = g;
    ASSERT_TRUE(runFilter(31, g, 200).ok());
    EXPECT_EQ(g.pixelValue(0, 0), 0x5AFF0080u); // 64 -> 128; black and white stay
    ASSERT_TRUE(runFilter(30, grey, -100).ok());
    EXPECT_EQ(grey.pixelValue(1, 0), 0x5A7F7F7Fu); // every channel becomes the grey level
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

TEST(Gamma, ParamZeroOrBelowFailsWithThePictureUnchanged)
{
    FilterEngine engine;
    for (int param : {0, -1, -200, INT_MIN}) {
        Picture p = randomPicture(5, 5, 4);
        const Picture before = p;
        EXPECT_EQ(Fil_Run(engine, 31, p.view(), param).status, FilterStatus::Failed);
        EXPECT_EQ(p, before);
        EXPECT_FALSE(engine.Fil_Busy);
    }
    Picture p = randomPicture(5, 5, 4);
    EXPECT_TRUE(Fil_Run(engine, 31, p.view(), 50).ok());
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
