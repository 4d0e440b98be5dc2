// Copies and boxes: nearest-pixel sampling and clipping to both buffers.
#include "show/drawing.h"
#include "show/effect_table.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::show;

namespace {

// Each pixel's blue byte is its column, green its row: a copied pixel tells where it came from.
Picture coordinates(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.setPixel(x, y, std::uint8_t(x), std::uint8_t(y), 200);
    return p;
}

int sourceX(const Picture& p, int x, int y) { return p.pixel(x, y)[0]; }
int sourceY(const Picture& p, int x, int y) { return p.pixel(x, y)[1]; }
bool untouched(const Picture& p, int x, int y) { return p.pixelValue(x, y) == 0; }

} // namespace

TEST(Drawing, StretchTakesThePixelUnderEachTargetCentre)
{
    const Picture src = coordinates(4, 3);
    Picture big(8, 3);
    stretchCopy(big, 0, 0, 8, 3, src, 0, 0, 4, 3);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(sourceX(big, x, 1), x / 2);

    // 3 -> 2: centres at 0.75 and 2.25 of the source.
    Picture small(2, 1);
    stretchCopy(small, 0, 0, 2, 1, src, 0, 0, 3, 1);
    EXPECT_EQ(sourceX(small, 0, 0), 0);
    EXPECT_EQ(sourceX(small, 1, 0), 2);
}

TEST(Drawing, CopiesSkipWhatLiesOutsideEitherBufferOrTheClipAndEmptySizes)
{
    const Picture src = coordinates(4, 4);
    Picture dst(6, 6);
    blockCopy(dst, -2, 3, 5, 5, src, 0, 0); // cut on the left by the target, below by both
    EXPECT_EQ(sourceX(dst, 0, 3), 2);
    EXPECT_EQ(sourceY(dst, 0, 5), 2);
    EXPECT_TRUE(untouched(dst, 2, 3)); // source column 4 does not exist
    EXPECT_TRUE(untouched(dst, 0, 2));

    Picture clipped(6, 6);
    stretchCopy(clipped, 0, 0, 6, 6, src, 2, 2, 6, 6, Rect{1, 1, 4, 4});
    EXPECT_TRUE(untouched(clipped, 0, 0)); // outside the clip
    EXPECT_EQ(sourceX(clipped, 1, 1), 3);
    EXPECT_TRUE(untouched(clipped, 2, 2)); // would read source (4, 4)

    Picture none(4, 4); // non-positive sizes draw nothing, and never mirror
    stretchCopy(none, 0, 0, 4, -3, src, 0, 0, 4, 4);
    stretchCopy(none, 0, 0, 4, 4, src, 0, 0, 4, 0);
    EXPECT_EQ(none, Picture(4, 4));
}

TEST(Drawing, BoxesExcludeTheirFarEdgeAndAreClipped)
{
    Picture p(5, 5);
    fillBox(p, 3, 3, 1, 1, rgb(10, 20, 30)); // corners in either order
    EXPECT_EQ(p.pixelValue(1, 1), 0x0A141Eu);
    EXPECT_EQ(p.pixelValue(2, 2), 0x0A141Eu);
    EXPECT_TRUE(untouched(p, 3, 3));
    fillBox(p, -10, -10, 100, 100, Black); // clipped, not a crash
    EXPECT_EQ(p, Picture(5, 5));
}
