// Filter types 21 to 23: the padded error rows against the bounds-checked recipe, the black
// and white extremes, and a mean that needs more than 32 bits.
#include "filters/engine.h"
#include "filter_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmora;
using namespace velmora::filters;
using namespace velmora::filters::testing;

namespace {

struct Target {
    int row, dx, weight;
};

// The recipe as written: Err_Buf (R x W), every target checked against the picture.
Picture referenceDiffusion(int type, const Picture& source, int param)
{
    static const std::vector<Target> fs{{1, 1, 7}, {2, -1, 3}, {2, 0, 5}, {2, 1, 1}};
    static const std::vector<Target> burkes{{1, 1, 8}, {1, 2, 4}, {2, -2, 2}, {2, -1, 4}, {2, 0, 8}, {2, 1, 4}, {2, 2, 2}};
    std::vector<Target> stucki = burkes;
    for (const Target& t : std::vector<Target>{{3, -2, 1}, {3, -1, 2}, {3, 0, 4}, {3, 1, 2}, {3, 2, 1}}) stucki.push_back(t);
    const std::vector<Target>& pattern = type == 21 ? fs : type == 22 ? burkes : stucki;
    const int D = type == 21 ? 16 : type == 22 ? 32 : 42;
    const int R = type == 23 ? 3 : 2;

    Picture original = source;
    Picture result = source;
    Pixels orgn{original};
    Pixels work{result};
    const int W = source.width(), H = source.height();
    std::vector<std::vector<int>> buf(std::size_t(R) + 1, std::vector<int>(std::size_t(W) + 1, 0));
    long long sum = 0;
    for (int y = 1; y <= H; ++y)
        for (int x = 1; x <= W; ++x) sum += (orgn(1, x, y) + orgn(2, x, y) + orgn(3, x, y)) / 3;
    const long long mean = sum / ((long long)W * H);
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x) {
            const int G = (orgn(1, x, y) + orgn(2, x, y) + orgn(3, x, y)) / 3;
            const int L = std::clamp(G + buf[1][std::size_t(x)] * 10 / param, 0, 255);
            const int out = L >= mean ? 255 : 0;
            work(1, x, y) = work(2, x, y) = work(3, x, y) = std::uint8_t(out);
            const int e = L - out;
            for (const Target& t : pattern) {
                const int tx = x + t.dx;
                if (tx < 1 || tx > W || y + t.row - 1 > H) continue;
                buf[std::size_t(t.row)][std::size_t(tx)] += e * t.weight / D;
            }
        }
        for (int r = 1; r < R; ++r) buf[std::size_t(r)] = buf[std::size_t(r) + 1];
        std::fill(buf[std::size_t(R)].begin(), buf[std::size_t(R)].end(), 0);
    }
    return result;
}

} // namespace

TEST(ErrorDiffusion, MatchesTheBoundsCheckedRecipeOnRandomPictures)
{
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 7}, {3, 5}, {5, 3}, {17, 11}, {40, 23}};
    std::uint64_t seed = 200;
    for (const auto& size : sizes)
        for (int type : {21, 22, 23})
            for (int param : {15, 10, 1, -7}) {
                const Picture source = randomPicture(size[0], size[1], seed++);
                Picture fast = source;
                ASSERT_TRUE(runFilter(type, fast, param).ok());
                EXPECT_EQ(fast, referenceDiffusion(type, source, param))
                    << "type " << type << " param " << param << " " << size[0] << "x" << size[1];
            }
    // Flat black and white: every level reaches the mean, so both become all white.
    for (int type : {21, 22, 23})
        for (std::uint8_t level : {std::uint8_t(0), std::uint8_t(255)}) {
            Picture p = flatPicture(6, 5, level, level, level, 0x33);
            ASSERT_TRUE(runFilter(type, p, 15).ok());
            EXPECT_EQ(p, flatPicture(6, 5, 255, 255, 255, 0x33)) << "type " << type;
        }
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
