// Every filter type against its plain transcription on random pictures of every size and
// param worth trying (bytes, failures and yields), worked examples that pin the
// transcriptions, the random filters on every vector level, a failure part way and re-entry.
#include "filters/filter_table.h"
#include "filter_test_support.h"
#include "reference_filters.h"
#include "startup/simd_level.h"

#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <climits>
#include <cmath>
#include <vector>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

namespace {

void countRow(void* rows) { ++*static_cast<int*>(rows); }

// Params worth trying per type: the show's own values, the edges of each formula, extremes.
std::vector<std::int64_t> paramsFor(int type)
{
    std::vector<std::int64_t> common = {INT_MIN, INT_MIN + 1, -65536, -1000, -101, -100, -25, -9, -8, -2, -1, 0,
                                        1, 2, 3, 5, 12, 40, 255, 256, 0xFFFFFF, 0x1000000, INT_MAX - 100, INT_MAX};
    std::vector<std::int64_t> extra;
    switch (type) {
    case 1: extra = {2, 10, -7, -8, -9, -24, -30, 1000, 8000000, 100000000}; break;
    case 6: extra = {2, -2, -9, -20, 40000, 8000000, 100000000}; break;
    case 4: extra = {12, 6, 3, -12, 1000}; break;
    case 14: case 17: extra = {40, -20, 20, -10, -100, -150, -300, 1000, 90000000, INT_MAX - 100, INT_MAX - 99}; break;
    case 15: extra = {3, 5, 2, 4, 7, 100, -3}; break;
    case 16: extra = {2, 3, 4, 5, 6}; break;
    case 21: case 22: case 23: extra = {15, 10, -7}; break;
    case 24: case 25: case 26: case 27: break;
    case 28: case 29: case 30: case 31: extra = {15, -10, 33, 50, 100, 127, 128, 150, 255, 257, -999, 100000}; break;
    default: extra = {0xFFFFFF, 120 * 256 + 120 * 65536, 180 * 0x010101, -5, -300, 0x7F00FF}; break;
    }
    common.insert(common.end(), extra.begin(), extra.end());
    return common;
}

} // namespace

TEST(FilterTypes, MatchThePlainVersionsBitForBitIncludingTheirYields)
{
    // Every type in the table and a few that are not, under the sanitizers: wrong bytes, an
    // overflow, a bad index or a hang shows up here. Unknown types pass the picture unchanged.
    std::vector<std::pair<int, int>> sizes = {{0, 0}, {0, 3}, {3, 0}};
    for (int h = 1; h <= 7; ++h)
        for (int w = 1; w <= 7; ++w) sizes.emplace_back(w, h);
    sizes.insert(sizes.end(), {{13, 11}, {37, 5}, {9, 21}, {64, 3}, {31, 17}});
    std::vector<int> types{-1, 1000};
    for (int type = 0; type <= FilterTypeCount + 1; ++type) types.push_back(type);
    // One engine for every run, so each run after a failed one shows that the failure left
    // the engine ready.
    FilterEngine engine;
    int rows = 0;
    engine.yieldHook = countRow;
    engine.yieldContext = &rows;
    for (int type : types) {
        const bool known = findFilterType(type) != nullptr;
        const bool plain = known && type != 20; // 20: worked examples in the dither tests
        for (std::int64_t param : paramsFor(type)) {
            for (auto [w, h] : sizes) {
                // Few levels make the flat and clamped cases common; full range the rest.
                const Picture in = randomPicture(w, h, std::uint64_t(type * 1000 + w * 10 + h), (w + h) % 3 ? 256 : 3);
                Random r1(42), r2(42);
                engine.random = &r2;
                rows = 0;
                Picture got = in;
                const Result<void> result = Fil_Run(engine, type, got.view(), std::int32_t(param));
                SCOPED_TRACE(::testing::Message() << "type " << type << " param " << param << " size " << w << "x" << h);
                ASSERT_FALSE(refusedAsBusy(result));
                ASSERT_FALSE(engine.Fil_Busy);
                ASSERT_EQ(engine.Pix_Work.width(), 2); // the arrays are released
                ASSERT_EQ(engine.Pix_Orgn.height(), 2);
                if (!plain || w == 0 || h == 0) {
                    if (filterFailed(result) || !known) {
                        ASSERT_EQ(got, in);
                        ASSERT_EQ(result.ok(), !known);
                    }
                    bool reservedKept = true;
                    for (std::size_t i = 3; i < got.byteCount(); i += 4) reservedKept = reservedKept && got.data()[i] == in.data()[i];
                    ASSERT_TRUE(reservedKept);
                    if (known && result.ok() && w > 0 && h > 0) {
                        ASSERT_EQ(rows, h); // a yield after every row
                    }
                    continue;
                }
                int wantRows = 0;
                const std::optional<Picture> want = reference::run(type, in, param, r1, &wantRows);
                if (!want) {
                    ASSERT_TRUE(filterFailed(result));
                    ASSERT_NE(result.reason().text, "");
                    ASSERT_EQ(got, in);
                } else {
                    ASSERT_TRUE(result.ok()) << reasonText(result);
                    ASSERT_EQ(got, *want);
                    ASSERT_EQ(rows, wantRows);
                }
            }
        }
    }
}

TEST(FilterTypes, WorkedExamplesOnAPointInAFlatGroundGiveTheHandComputedCentre)
{
    // A 3 x 3 picture of one colour with another in the middle; the centre after the filter,
    // worked out by hand. The sweep above holds the plain versions to the engine, so these
    // check them as well.
    using BGR = std::array<int, 3>;
    const std::int32_t teal = 120 * 256 + 120 * 65536, blue120 = 120 * 65536, grey180 = 180 * 0x010101;
    const struct {
        int type;
        std::int32_t param;
        BGR ground, centre, want;
    } cases[] = {
        {1, 0, {50, 50, 50}, {100, 100, 100}, {200, 200, 200}},     // sharpen: 24 * 100 - 2 * 400, over 8
        {1, 0, {200, 200, 200}, {100, 100, 100}, {0, 0, 0}},        // clamped below
        {6, 1, {50, 50, 50}, {100, 100, 100}, {255, 255, 255}},     // clamped above
        {6, 1, {200, 200, 200}, {100, 100, 100}, {0, 0, 0}},
        {3, 0, {16, 16, 16}, {255, 255, 255}, {16, 16, 16}},        // blur: the eight neighbours only
        {5, 0, {10, 10, 10}, {60, 60, 60}, {20, 20, 20}},           // cross blur: five values
        {2, 0, {0, 0, 0}, {10, 20, 31}, {245, 235, 224}},
        {12, 0, {0, 0, 0}, {10, 20, 31}, {20, 20, 20}},
        {12, 0, {0, 0, 0}, {255, 255, 254}, {254, 254, 254}},       // 764 \ 3
        {14, 40, {0, 0, 0}, {100, 183, 0}, {140, 255, 0}},
        {14, -20, {0, 0, 0}, {255, 100, 0}, {204, 80, 0}},
        {14, -150, {0, 0, 0}, {100, 183, 0}, {0, 0, 0}},            // a negative factor clamps to 0
        {16, 1, {1, 2, 3}, {1, 2, 3}, {2, 3, 1}},
        {16, 2, {1, 2, 3}, {1, 2, 3}, {3, 1, 2}},
        {16, 3, {1, 2, 3}, {1, 2, 3}, {2, 1, 3}},
        {16, 4, {1, 2, 3}, {1, 2, 3}, {3, 2, 1}},
        {16, 5, {1, 2, 3}, {1, 2, 3}, {1, 3, 2}},
        {16, 6, {1, 2, 3}, {1, 2, 3}, {1, 2, 3}},                   // no such order: unchanged
        {7, 0xFFFFFF, {60, 70, 80}, {60, 70, 80}, {255, 255, 255}}, // flat: only the offset is left
        {9, teal, {60, 70, 80}, {60, 70, 80}, {120, 120, 0}},
        {11, teal, {60, 70, 80}, {60, 70, 80}, {120, 120, 0}},
        {8, blue120, {50, 50, 50}, {100, 100, 100}, {170, 50, 50}}, // |own - lower right + offset|
        {10, blue120, {50, 50, 50}, {100, 100, 100}, {70, 50, 50}}, // |lower right - own + offset|
        {13, 10, {200, 200, 200}, {200, 200, 200}, {150, 150, 150}}, // emboss halves and lifts by 50
        {13, 10, {0, 0, 0}, {0, 0, 0}, {50, 50, 50}},
        {13, 10, {255, 255, 255}, {255, 255, 255}, {177, 177, 177}},
        {18, grey180, {0, 0, 0}, {179, 179, 179}, {0, 0, 0}},
        {18, grey180, {0, 0, 0}, {0, 0, 180}, {255, 255, 255}},     // any channel at its threshold
        {28, 0, {100, 77, 0}, {200, 77, 255}, {255, 77, 255}},      // a flat channel is not stretched
        {30, -10, {200, 100, 0}, {200, 100, 0}, {190, 100, 10}},
        {30, -100, {128, 1, 254}, {128, 1, 254}, {127, 127, 127}},  // every channel becomes the grey
        {31, 200, {64, 0, 255}, {64, 0, 255}, {128, 0, 255}},       // gamma 2: black and white stay
    };
    for (const auto& c : cases) {
        Picture p = flatPicture(3, 3, std::uint8_t(c.ground[0]), std::uint8_t(c.ground[1]), std::uint8_t(c.ground[2]));
        p.setPixel(1, 1, std::uint8_t(c.centre[0]), std::uint8_t(c.centre[1]), std::uint8_t(c.centre[2]), 0x5A);
        ASSERT_TRUE(runFilter(c.type, p, c.param).ok()) << "type " << c.type;
        EXPECT_EQ((BGR{channel(p, 1, 1, 0), channel(p, 1, 1, 1), channel(p, 1, 1, 2)}), c.want)
            << "type " << c.type << " param " << c.param;
    }

    // Contrast uses the single-precision factor: nine pixels of grey 101 and one of 106 have
    // the mean 101, and k = 0.8999999762 maps 106 to 105.4999999, which rounds to 105.
    Picture contrast = flatPicture(5, 2, 101, 101, 101);
    contrast.setPixel(4, 1, 106, 106, 106, 0x5A);
    ASSERT_TRUE(runFilter(17, contrast, -10).ok());
    EXPECT_EQ(channel(contrast, 4, 1, 2), 105);
    // Blurs work in place, reading the pixels they have just written: a single point smears
    // toward the lower right, and its own place, whose neighbours were all 0, becomes 17.
    Picture point = flatPicture(7, 7, 0, 0, 0);
    point.setPixel(3, 3, 255, 255, 255, 0x5A);
    ASSERT_TRUE(runFilter(3, point, 0).ok());
    EXPECT_EQ(channel(point, 2, 2, 0), 31);
    EXPECT_EQ(channel(point, 3, 3, 0), 17);
    EXPECT_EQ(channel(point, 4, 4, 0), 5);
    // Mosaic means truncate: blue 0, 0, 1, 1 gives 0.
    Picture mosaic = flatPicture(2, 2, 0, 0, 0);
    mosaic.setPixel(0, 1, 1, 1, 1, 0x5A);
    mosaic.setPixel(1, 1, 1, 1, 1, 0x5A);
    ASSERT_TRUE(runFilter(15, mosaic, 2).ok());
    EXPECT_EQ(channel(mosaic, 0, 0, 0), 0);
}

TEST(FilterMath, SpillClampMovesHalfOfEachExcessOntoTheOtherChannels)
{
    struct Case {
        std::array<std::int32_t, 3> in, out;
    };
    for (const Case& c : std::vector<Case>{{{300, 100, 100}, {255, 122, 122}},
                                           {{-10, 50, 260}, {0, 45, 255}},
                                           {{300, 300, 100}, {255, 255, 186}},
                                           {{-30, -30, 100}, {0, 0, 44}},
                                           {{280, 280, 280}, {255, 255, 255}},
                                           {{-5, -3, 0}, {0, 0, 0}}}) {
        std::array<std::int32_t, 3> v = c.in;
        ASSERT_TRUE(Spill_Clamp(v[0], v[1], v[2]));
        EXPECT_EQ(v, c.out) << c.in[0] << "," << c.in[1] << "," << c.in[2];
    }
    // Extreme Longs settle or report an overflow; they never hang.
    std::int32_t b = 2147483647, g = -2147483647 - 1, r = 128;
    if (Spill_Clamp(b, g, r)) {
        EXPECT_TRUE(b >= 0 && b <= 255 && g >= 0 && g <= 255 && r >= 0 && r <= 255);
    }
    b = 2147483647, g = 2147483000, r = 0;
    EXPECT_FALSE(Spill_Clamp(b, g, r));
}

TEST(RandomFilters, MatchThePlainVersionsForEverySeedInEveryRoundingModeOnEveryPath)
{
    // Scatter and noise: the draws feed the rounding, so many seeds and pictures. The plain
    // versions round in the default mode and draw one by one; the engine must give the same
    // bytes, and take as many draws, whatever mode the caller left set and whichever vector
    // instructions it may use.
    const std::vector<std::pair<int, std::vector<std::int32_t>>> cases = {
        {4, {12, 6, 3, 0, 1, -1, -12, 1000, (1 << 28) - 1, 1 << 28, -(1 << 28), INT_MAX, INT_MIN}},
        {29, {50, 100, 0, 126, 127, 128, -1, -50, 255, 1 << 20, -(1 << 20)}}};
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    // Draw 5383063 of seed 11 is 2^23, the one draw value whose noise (k x (2 x param + 1) /
    // 2^24) ends in exactly a half: its rounding then depends on the pixel's parity, which
    // the vector paths leave to the plain one. It lands on the green of pixel 5 of row 2.
    constexpr std::uint64_t kTie = 5383063;
    constexpr std::uint64_t kTieInPicture = (16 + 5) * 3 + 1;
    Random probe(11);
    probe.discard(kTie);
    ASSERT_EQ(probe.nextSingleBits(), 1u << 23);
    for (SimdLevel level : {SimdLevel::avx2, SimdLevel::sse41, SimdLevel::baseline}) {
        capSimdLevel(level);
        for (const auto& [type, params] : cases)
            for (std::uint64_t seed = 1; seed <= 6; ++seed) {
                const Picture in = randomPicture(int(20 + 9 * seed), int(31 - 3 * seed), seed);
                for (std::int32_t param : params) {
                    Random r1(seed * 77);
                    const std::optional<Picture> want = reference::run(type, in, param, r1);
                    ASSERT_TRUE(want);
                    for (int mode : modes) {
                        Random r2(seed * 77);
                        Picture got = in;
                        std::fesetround(mode);
                        const Result<void> result = runFilter(type, got, param, &r2);
                        std::fesetround(FE_TONEAREST);
                        ASSERT_TRUE(result.ok());
                        ASSERT_EQ(got, *want) << "type " << type << " seed " << seed << " param " << param
                                              << " mode " << mode << " level " << int(level);
                        Random next = r1;
                        ASSERT_EQ(next.nextBits(), r2.nextBits());
                    }
                }
            }
        for (int parity = 0; parity < 2; ++parity) {
            Picture in = randomPicture(16, 3, 8, 128);
            for (std::size_t i = 0; i < in.byteCount(); ++i) in.data()[i] = std::uint8_t(in.data()[i] * 2 + parity);
            for (std::int32_t param : {50, 3}) {
                Random r1(11), r2(11);
                r1.discard(kTie - kTieInPicture);
                r2.discard(kTie - kTieInPicture);
                Picture got = in;
                ASSERT_TRUE(runFilter(29, got, param, &r2).ok());
                ASSERT_EQ(got, *reference::run(29, in, param, r1)) << "tie, level " << int(level) << " parity " << parity;
            }
        }
    }
    capSimdLevel(SimdLevel::avx2);
}

TEST(FilterMath, IntegerRoundingsAgreeWithTheDefaultFloatingPointOnes)
{
    Random random(3);
    for (int i = 0; i < 200000; ++i) {
        // Magnitudes from a few units up to 2^56, ties and near-ties included.
        const int width = 1 + int(random.below(56));
        std::int64_t v = std::int64_t(random.nextBits() >> (64 - width));
        if (i % 3 == 0) v = (v >> 24 << 24) | 0x800000;
        if (i % 2) v = -v;
        ASSERT_EQ(roundHalfEvenShift24(v), std::int64_t(std::nearbyint(std::ldexp(double(v), -24)))) << v;
        ASSERT_EQ(roundToDoublePrecision(v), std::int64_t(double(v))) << v;
    }
}

TEST(FailurePath, AnOverflowPartWayRestoresRowsAlreadyWritten)
{
    // Dark rows of 0 and 1 are sharpened (and changed) first; the bright rows at the bottom
    // overflow the 32-bit product, so the run fails after writing.
    Picture in = randomPicture(8, 10, 5, 2);
    for (int y = 7; y < 10; ++y)
        for (int x = 0; x < 8; ++x) in.setPixel(x, y, 255, 255, 255, 1);
    FilterEngine engine;
    int rows = 0;
    engine.yieldHook = countRow;
    engine.yieldContext = &rows;
    Picture p = in;
    EXPECT_TRUE(filterFailed(Fil_Run(engine, 1, p.view(), 100000000)));
    EXPECT_GT(rows, 2);
    EXPECT_EQ(p, in);
}

TEST(YieldHook, ARunStartedFromTheHookIsRefusedAndItsPictureUntouched)
{
    struct Reentry {
        FilterEngine* engine;
        Picture other;
        int refused = 0;
    };
    FilterEngine engine;
    Reentry reentry{&engine, randomPicture(4, 4, 9)};
    const Picture otherBefore = reentry.other;
    engine.yieldHook = [](void* context) {
        auto* r = static_cast<Reentry*>(context);
        const Result<void> nested = Fil_Run(*r->engine, 2, r->other.view(), 0);
        r->refused += refusedAsBusy(nested);
    };
    engine.yieldContext = &reentry;
    const Picture in = randomPicture(6, 5, 10);
    Picture p = in;
    ASSERT_TRUE(Fil_Run(engine, 3, p.view(), 0).ok());
    EXPECT_EQ(reentry.refused, 3); // rows 2 .. H - 1
    EXPECT_EQ(reentry.other, otherBefore);
    Random unused;
    EXPECT_EQ(p, *reference::run(3, in, 0, unused));
}

TEST(FilterTypes, GiveTheSameBytesOnEveryPlatform)
{
    // A digest of types 1 to 18 on one seeded picture; recorded on Linux, checked on the
    // Windows build too (scatter's draws and the float factors included).
    const std::int32_t showParams[19] = {0, 0, 0, 0, 12, 0, 1, 0xFFFFFF, 0x787800, 0x787800, 0x787800,
                                         0x787800, 0, 0, 40, 3, 1, 20, 0xB4B4B4};
    std::uint64_t digest = 14695981039346656037ull;
    for (int type = 1; type <= 18; ++type) {
        Picture p = randomPicture(29, 23, 2024);
        FilterEngine engine;
        Random random(99);
        engine.random = &random;
        ASSERT_TRUE(Fil_Run(engine, type, p.view(), showParams[type]).ok()) << type;
        for (std::size_t i = 0; i < p.byteCount(); ++i) digest = (digest ^ p.data()[i]) * 1099511628211ull;
    }
    EXPECT_EQ(digest, 3375210403281330830ull);
}
