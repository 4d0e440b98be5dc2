// Filter type 24: the block-sharing fast version gives the bytes of the plain 216-read recipe
// (two-pixel frame included) on random and near-flat pictures.
#include "filters/engine.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

namespace {

// Every pixel and channel on its own: four quadrant means, four deviations, first smallest wins.
Picture referenceQuadSmooth(const Picture& source)
{
    Picture original = source;
    Picture result = source;
    Pixels orgn{original};
    Pixels work{result};
    const int left[4] = {-2, 0, -2, 0};
    const int top[4] = {-2, -2, 0, 0};
    for (int y = 3; y <= source.height() - 2; ++y)
        for (int x = 3; x <= source.width() - 2; ++x)
            for (int c = 1; c <= 3; ++c) {
                int mean[4];
                int dev[4];
                for (int q = 0; q < 4; ++q) {
                    int sum = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i) sum += orgn(c, x + left[q] + i, y + top[q] + j);
                    mean[q] = sum / 9;
                    dev[q] = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i) dev[q] += std::abs(orgn(c, x + left[q] + i, y + top[q] + j) - mean[q]);
                }
                int best = 99999, chosen = -1;
                for (int q = 0; q < 4; ++q)
                    if (dev[q] < best) {
                        best = dev[q];
                        chosen = q;
                    }
                work(c, x, y) = std::uint8_t(mean[chosen]);
            }
    return result;
}

} // namespace

TEST(QuadSmooth, SharedBlocksGiveTheBytesOfThePlainRecipe)
{
    const int sizes[][2] = {{4, 9}, {9, 4}, {5, 5}, {6, 7}, {7, 6}, {8, 5}, {11, 9}, {13, 13}, {21, 6}, {37, 11}, {103, 9}};
    std::uint64_t seed = 100;
    for (const auto& size : sizes) {
        const Picture source = randomPicture(size[0], size[1], seed++);
        Picture fast = source;
        ASSERT_TRUE(runFilter(24, fast, 0).ok());
        EXPECT_EQ(fast, referenceQuadSmooth(source)) << size[0] << "x" << size[1];
    }
    // Near-flat pictures tie often: the order of the quadrants decides.
    Random random(9);
    Picture ties(29, 11);
    for (std::size_t i = 0; i < ties.byteCount(); ++i) ties.data()[i] = std::uint8_t(100 + random.below(3));
    Picture fast = ties;
    ASSERT_TRUE(runFilter(24, fast, 0).ok());
    EXPECT_EQ(fast, referenceQuadSmooth(ties));
}
