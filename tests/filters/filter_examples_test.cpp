// Worked examples of filter types 1 to 18 on tiny pictures built here, checked pixel by pixel.
#include "filters/engine.h"
#include "filters/filter_procs.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

using namespace velmora;
using namespace velmora::filters;

namespace {

Picture flat(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t reserved = 7)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, b, g, r, reserved);
    return p;
}

// A grey picture from a function of (x, y), 1-based like the filters.
Picture greyPicture(int w, int h, const std::function<int(int, int)>& value)
{
    Picture p(w, h);
    for (int y = 1; y <= h; ++y)
        for (int x = 1; x <= w; ++x) {
            const auto v = std::uint8_t(value(x, y));
            p.setPixel(x - 1, y - 1, v, v, v, 9);
        }
    return p;
}

Picture run(int type, Picture p, std::int32_t param = 0)
{
    FilterEngine engine;
    EXPECT_TRUE(Fil_Run(engine, type, p.view(), param).ok()) << "type " << type;
    return p;
}

int blue(const Picture& p, int x, int y) { return p.pixel(x - 1, y - 1)[0]; }

std::array<int, 3> bgr(const Picture& p, int x, int y)
{
    const std::uint8_t* q = p.pixel(x - 1, y - 1);
    return {q[0], q[1], q[2]};
}

} // namespace

TEST(SharpenBlur, InPlaceBlursSmearASinglePointTowardTheLowerRight)
{
    const Picture point = greyPicture(7, 7, [](int x, int y) { return x == 4 && y == 4 ? 255 : 0; });
    const int blur8[4][5] = {{0, 31, 35, 36, 4}, {3, 40, 17, 11, 6}, {5, 8, 9, 5, 2}, {1, 2, 3, 2, 1}};
    const int cross[4][5] = {{0, 0, 51, 10, 2}, {0, 51, 71, 16, 3}, {0, 10, 16, 6, 1}, {0, 2, 3, 1, 0}};
    for (int type : {3, 5}) {
        const Picture out = run(type, point);
        for (int y = 1; y <= 7; ++y)
            for (int x = 1; x <= 7; ++x) {
                const bool written = y >= 3 && y <= 6 && x >= 2 && x <= 6;
                const int want = written ? (type == 3 ? blur8 : cross)[y - 3][x - 2] : 0;
                for (int c = 0; c < 3; ++c)
                    EXPECT_EQ(out.pixel(x - 1, y - 1)[c], want) << "type " << type << " at " << x << "," << y;
            }
    }
}

TEST(SharpenBlur, SharpenersWeightTheCentreAndClampBothWays)
{
    const auto centred = [](int neighbours) {
        return greyPicture(3, 3, [=](int x, int y) { return x == 2 && y == 2 ? 100 : neighbours; });
    };
    EXPECT_EQ(blue(run(1, centred(50), 0), 2, 2), 200);
    EXPECT_EQ(blue(run(1, centred(200), 0), 2, 2), 0);
    EXPECT_EQ(blue(run(6, centred(50), 1), 2, 2), 255);
    EXPECT_EQ(blue(run(6, centred(200), 1), 2, 2), 0);
    // The frame is never written.
    EXPECT_EQ(blue(run(1, centred(50), 0), 1, 1), 50);
}

TEST(SharpenBlur, FlatPicturesPassUnchangedForEveryTableParam)
{
    const Picture grey = flat(6, 5, 90, 140, 220);
    for (auto [type, param] : std::vector<std::pair<int, int>>{{1, 0}, {1, 2}, {1, 10}, {3, 0}, {5, 0}, {6, 1}, {6, 2}})
        EXPECT_EQ(run(type, grey, param), grey) << "type " << type << " param " << param;
}

TEST(ColourPoint, NegativeGreyAndBrightness)
{
    const Picture p = flat(2, 1, 10, 20, 31);
    EXPECT_EQ(run(2, run(2, p)), p);
    EXPECT_EQ(bgr(run(12, p), 1, 1), (std::array<int, 3>{20, 20, 20}));
    EXPECT_EQ(bgr(run(12, flat(1, 1, 255, 255, 254)), 1, 1), (std::array<int, 3>{254, 254, 254}));

    const Picture levels = flat(1, 1, 100, 183, 0);
    EXPECT_EQ(bgr(run(14, levels, 40), 1, 1), (std::array<int, 3>{140, 255, 0}));
    EXPECT_EQ(bgr(run(14, flat(1, 1, 255, 100, 0), -20), 1, 1), (std::array<int, 3>{204, 80, 0}));
    // Below -100 the factor is negative and every level clamps to 0.
    EXPECT_EQ(bgr(run(14, levels, -150), 1, 1), (std::array<int, 3>{0, 0, 0}));
}

TEST(ColourPoint, SwapReordersChannelsOnlyForSelectorsOneToFive)
{
    const Picture p = flat(1, 1, 1, 2, 3); // B 1, G 2, R 3
    EXPECT_EQ(bgr(run(16, p, 1), 1, 1), (std::array<int, 3>{2, 3, 1}));
    EXPECT_EQ(bgr(run(16, p, 2), 1, 1), (std::array<int, 3>{3, 1, 2}));
    EXPECT_EQ(bgr(run(16, p, 3), 1, 1), (std::array<int, 3>{2, 1, 3}));
    EXPECT_EQ(bgr(run(16, p, 4), 1, 1), (std::array<int, 3>{3, 2, 1}));
    EXPECT_EQ(bgr(run(16, p, 5), 1, 1), (std::array<int, 3>{1, 3, 2}));
    EXPECT_EQ(run(16, p, 0), p);
    EXPECT_EQ(run(16, p, 6), p);
}

TEST(ColourPoint, SpillClampMovesHalfOfEachExcessOntoTheOtherChannels)
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

TEST(ColourPoint, ContrastUsesTheSinglePrecisionFactor)
{
    // Nine pixels of grey 101 and one of 106: the mean grey is 1015 \ 10 = 101, and with
    // k = 0.8999999762 the level 106 maps to 105.4999999, which rounds to 105.
    const Picture p = greyPicture(5, 2, [](int x, int y) { return x == 5 && y == 2 ? 106 : 101; });
    const Picture out = run(17, p, -10);
    EXPECT_EQ(bgr(out, 5, 2), (std::array<int, 3>{105, 105, 105}));
    EXPECT_EQ(bgr(out, 1, 1), (std::array<int, 3>{101, 101, 101}));

    for (int param : {20, -10})
        EXPECT_EQ(run(17, flat(4, 3, 77, 77, 77), param), flat(4, 3, 77, 77, 77)) << param;
}

TEST(ColourPoint, TwoToneTurnsWhiteWhenAnyChannelReachesItsThreshold)
{
    const std::int32_t threshold = 180 + 256 * 180 + 65536 * 180;
    EXPECT_EQ(bgr(run(18, flat(1, 1, 179, 179, 179), threshold), 1, 1), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(bgr(run(18, flat(1, 1, 0, 0, 180), threshold), 1, 1), (std::array<int, 3>{255, 255, 255}));
}

TEST(ScatterMosaic, ScatterNeverChangesFlatOrSinglePixelPictures)
{
    const Picture grey = flat(9, 7, 10, 20, 30);
    EXPECT_EQ(run(4, grey, 12), grey);
    const Picture one = flat(1, 1, 1, 2, 3);
    EXPECT_EQ(run(4, one, 12), one);
    const Picture ramp = greyPicture(5, 5, [](int x, int y) { return x * 10 + y; });
    EXPECT_EQ(run(4, ramp, 0), ramp);
}

TEST(ScatterMosaic, MosaicAveragesBlocksAndCutsThemAtTheBorder)
{
    const Picture p = greyPicture(4, 4, [](int x, int y) { return x * 16 + y * 3; });
    const Picture out = run(15, p, 3);
    const auto mean = [&](int x0, int x1, int y0, int y1) {
        int sum = 0, count = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) sum += blue(p, x, y), ++count;
        return sum / count;
    };
    for (int y = 1; y <= 4; ++y)
        for (int x = 1; x <= 4; ++x) {
            const int want = x <= 3 ? (y <= 3 ? mean(1, 3, 1, 3) : mean(1, 3, 4, 4)) : (y <= 3 ? mean(4, 4, 1, 3) : blue(p, 4, 4));
            EXPECT_EQ(blue(out, x, y), want) << x << "," << y;
        }
    EXPECT_EQ(run(15, p, 1), p);
    // Means truncate: blue 0, 0, 1, 1 gives 0.
    EXPECT_EQ(blue(run(15, greyPicture(2, 2, [](int, int y) { return y - 1; }), 2), 1, 1), 0);
}

TEST(ReliefEdge, FlatPicturesTakeTheOffsetColourInsideTheirLoops)
{
    const Picture grey = flat(5, 4, 60, 70, 80);
    const std::int32_t white = 0xFFFFFF, teal = 0 + 256 * 120 + 65536 * 120;
    const Picture lap = run(7, grey, white);
    const Picture diagA = run(8, grey, teal), diagB = run(10, grey, teal);
    const Picture horzA = run(9, grey, teal), horzB = run(11, grey, teal);
    for (int y = 1; y <= 4; ++y)
        for (int x = 1; x <= 5; ++x) {
            const bool inner = x > 1 && x < 5 && y > 1 && y < 4;
            const bool diagonal = x < 5 && y < 4;
            const std::array<int, 3> own = bgr(grey, x, y), tealBgr{120, 120, 0}, whiteBgr{255, 255, 255};
            EXPECT_EQ(bgr(lap, x, y), inner ? whiteBgr : own);
            EXPECT_EQ(bgr(diagA, x, y), diagonal ? tealBgr : own);
            EXPECT_EQ(bgr(diagB, x, y), diagonal ? tealBgr : own);
            EXPECT_EQ(bgr(horzA, x, y), inner ? tealBgr : own);
            EXPECT_EQ(bgr(horzB, x, y), inner ? tealBgr : own);
        }
}

TEST(ReliefEdge, DifferencesTakeTheirSignAndOffsetAsGiven)
{
    // Pixel 100 with a lower-right neighbour 50.
    const Picture diag = greyPicture(2, 2, [](int x, int y) { return x == 1 && y == 1 ? 100 : 50; });
    const std::int32_t blue120 = 65536 * 120;
    EXPECT_EQ(blue(run(8, diag, blue120), 1, 1), 170);
    EXPECT_EQ(blue(run(10, diag, blue120), 1, 1), 70);
    EXPECT_EQ(blue(run(8, diag, 0), 1, 1), 50);
    EXPECT_EQ(blue(run(10, diag, 0), 1, 1), 50);

    const Picture columns = greyPicture(3, 3, [](int x, int) { return x == 1 ? 200 : 0; });
    EXPECT_EQ(blue(run(9, columns, blue120), 2, 2), 255);
    EXPECT_EQ(blue(run(11, columns, blue120), 2, 2), 0);
}

TEST(ReliefEdge, EmbossHalvesAndLiftsFlatAreas)
{
    for (auto [value, want] : std::vector<std::pair<int, int>>{{200, 150}, {0, 50}, {255, 177}}) {
        const Picture out = run(13, greyPicture(6, 5, [=](int, int) { return value; }), 10);
        EXPECT_EQ(blue(out, 3, 3), want);
        EXPECT_EQ(blue(out, 1, 3), value); // frame
    }
}
