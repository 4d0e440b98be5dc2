// The dithers, types 19 to 23, by worked examples: the carried remainder of Fil_Mono_Sharp,
// the Bayer levels, and the flat and huge pictures of error diffusion (whose random pictures
// are compared with a plain version with the other types), and wide pictures of the types
// whose rows are worked several at a time.
#include "filter_test_support.h"
#include "reference_filters.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

TEST(Dithers, FlatPicturesBecomeTheirPatterns)
{
    // Mono sharp at grey 100: white (carry -38), black (carry 15), white (carry -35), ...
    // With rows of odd length, a row starts with the tone of the one before it ended only
    // because the carry goes on. Bayer at grey 15 (level 1) lights one cell in sixteen, at
    // grey 112 (level 8) every other one.
    // All white: mono sharp at 252..255 (the negative carry truncates to 0), at 0 (and error
    // diffusion at 0 and 255) the mean is the level and every pixel reaches it; Bayer at grey
    // 240 is level 16.
    const auto alternate = [](int x, int y) { return (x + y) % 2 == 0; };
    const auto oneInSixteen = [](int x, int y) { return x % 4 == 0 && y % 4 == 0; };
    const auto all = [](int, int) { return true; };
    const struct {
        int type;
        std::uint8_t blue, green, red;
        bool (*white)(int x, int y);
    } cases[] = {{19, 100, 100, 100, alternate}, {20, 10, 15, 20, oneInSixteen}, {20, 112, 112, 112, alternate},
                 {19, 0, 0, 0, all},       {19, 252, 252, 252, all}, {19, 255, 255, 255, all}, {20, 240, 240, 241, all},
                 {21, 0, 0, 0, all},       {21, 255, 255, 255, all}, {22, 0, 0, 0, all},       {22, 255, 255, 255, all},
                 {23, 0, 0, 0, all},       {23, 255, 255, 255, all}};
    for (const auto& c : cases) {
        Picture p = flatPicture(7, 5, c.blue, c.green, c.red, 0x77);
        ASSERT_TRUE(runFilter(c.type, p, 15).ok());
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(p.pixelValue(x, y), 0x77000000u | (c.white(x, y) ? 0xFFFFFFu : 0u))
                    << "type " << c.type << " level " << int(c.blue) << " at " << x << "," << y;
    }
}

TEST(MonoSharp, InteriorPixelsAreSharpenedBeforeTheThreshold)
{
    // Grey 90 with a centre of 100; the mean is 820 \ 9 = 91. Row 1: 90 black (carry 22),
    // 112 white (-35), 55 black (13); row 2: 103 white (-38). The centre, sharpened to
    // (1000 - 720) \ 2 = 140, gives 102 and is white; unsharpened it would give 62, black.
    Picture p = flatPicture(3, 3, 90, 90, 90);
    p.setPixel(1, 1, 100, 100, 100, 0x5A);
    ASSERT_TRUE(runFilter(19, p, 0).ok());
    const int expected[5] = {0, 255, 0, 255, 255};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(channel(p, i % 3, i / 3, 0), expected[i]) << i;
}

TEST(ErrorDiffusion, MeanGreyOfAPictureBeyond32BitSumsIsRight)
{
    // 2900 x 3000 pixels of grey 250 sum to 2,175,000,000: past 2^31. With the right mean (250)
    // the first pixel is white and its error makes the second black, as on a small picture.
    Picture big = flatPicture(2900, 3000, 250, 250, 250);
    Picture small = flatPicture(2900, 2, 250, 250, 250);
    ASSERT_TRUE(runFilter(21, big, 15).ok());
    ASSERT_TRUE(runFilter(21, small, 15).ok());
    for (int x = 0; x < 2900; ++x) ASSERT_EQ(big.pixelValue(x, 0), small.pixelValue(x, 0)) << x;
    EXPECT_EQ(channel(big, 1, 0, 0), 0);
}

TEST(Dithers, WidePicturesMatchThePlainVersions)
{
    // Rows and columns well past what the random sweep reaches: several rows worked at once,
    // each some columns behind the one above (further behind in the widest, so that no more
    // rows than the chain holds are at work), a last group of rows cut short, and widths just
    // either side of a whole number of stretches. Photo-like levels (many) and posterised ones
    // (few, so that the threshold is met exactly) both.
    const std::pair<int, int> sizes[] = {{200, 13}, {129, 9}, {127, 6}, {64, 5}, {65, 2}, {3, 40}, {300, 1}, {1100, 23}, {2113, 4}};
    for (int type : {19, 21, 22, 23}) {
        for (std::int32_t param : {15, 1, -7, 1000}) {
            for (auto [w, h] : sizes) {
                for (int levels : {256, 3}) {
                    const Picture in = randomPicture(w, h, std::uint64_t(type * 7 + w + h + levels), levels);
                    Random unused(1);
                    const std::optional<Picture> want = reference::run(type, in, param, unused);
                    Picture got = in;
                    ASSERT_TRUE(runFilter(type, got, param).ok());
                    ASSERT_EQ(got, *want) << "type " << type << " param " << param << " " << w << "x" << h;
                }
            }
        }
    }
}
