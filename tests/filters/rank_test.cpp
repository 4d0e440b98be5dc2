// Filter types 25 to 27: the vectorised rows against a plain nine-value loop on pictures of
// awkward sizes.
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
