// Filter types 25 to 27: the single bright pixel, and the vectorised rows against a plain
// nine-value loop on pictures of awkward sizes.
#include "filters/engine.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

namespace {

// Type 25, 26 or 27 with one nine-value loop per pixel and channel.
Picture referenceRank(int type, const Picture& source)
{
    Picture original = source;
    Picture result = source;
    Pixels orgn{original};
    Pixels work{result};
    for (int y = 2; y <= source.height() - 1; ++y)
        for (int x = 2; x <= source.width() - 1; ++x)
            for (int c = 1; c <= 3; ++c) {
                int m = type == 25 ? 0 : 255;
                for (int j = y - 1; j <= y + 1; ++j)
                    for (int i = x - 1; i <= x + 1; ++i) {
                        const int v = orgn(c, i, j);
                        if (type == 25 ? v > m : v < m) m = v;
                    }
                work(c, x, y) = std::uint8_t(type == 27 ? work(c, x, y) - m : m);
            }
    return result;
}

} // namespace

TEST(RankFilters, SingleBrightPixelGrowsUnderMaxVanishesUnderMinAndOutlinesUnderEdgeMin)
{
    Picture p = flatPicture(7, 7, 10, 20, 30);
    p.setPixel(3, 3, 200, 210, 220, 0x5A);

    Picture max = p;
    ASSERT_TRUE(runFilter(25, max, 0).ok());
    Picture min = p;
    ASSERT_TRUE(runFilter(26, min, 0).ok());
    Picture edge = p;
    ASSERT_TRUE(runFilter(27, edge, 0).ok());

    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            const bool inSquare = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            const bool frame = x == 0 || y == 0 || x == 6 || y == 6;
            EXPECT_EQ(max.pixelValue(x, y), inSquare ? 0x5ADCD2C8u : 0x5A1E140Au) << x << "," << y;
            EXPECT_EQ(min.pixelValue(x, y), 0x5A1E140Au) << x << "," << y;
            // Edge-min: the bright pixel stands out by its lift over the ground, flat ground is
            // black, and the one-pixel frame keeps the picture's own colour.
            const std::uint32_t expected = (x == 3 && y == 3) ? 0x5ABEBEBEu : frame ? 0x5A1E140Au : 0x5A000000u;
            EXPECT_EQ(edge.pixelValue(x, y), expected) << x << "," << y;
        }
}

TEST(RankFilters, MatchThePlainLoopOnRandomPicturesOfEverySmallAndOddSize)
{
    const int sizes[][2] = {{1, 1}, {2, 9}, {3, 3}, {4, 5}, {5, 4}, {6, 3}, {7, 7}, {9, 2}, {17, 5}, {33, 9}, {101, 13}};
    std::uint64_t seed = 1;
    for (const auto& size : sizes)
        for (int type : {25, 26, 27}) {
            const Picture source = randomPicture(size[0], size[1], seed++);
            Picture fast = source;
            ASSERT_TRUE(runFilter(type, fast, 0).ok());
            EXPECT_EQ(fast, referenceRank(type, source)) << "type " << type << " " << size[0] << "x" << size[1];
        }
}
