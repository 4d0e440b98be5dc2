// The card turn's strips at the worked steps of a 128 x 128 tile, and both forms' counts.
#include "show/flip.h"
#include "show_rig.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::show;
using velmora::show::testing::pattern;

TEST(Flip, FilterFlipStepTwoClosesElevenStripsTowardsTheCentre)
{
    const auto strips = flipStrips(FlipForm::Filter, 1, 2, 128, 128);
    ASSERT_EQ(strips.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        const Strip& s = strips[std::size_t(i)];
        EXPECT_FALSE(s.newImage);
        EXPECT_EQ(s.source, (Rect{12 * i, 0, 12, 128}));
        const int inset = ((10 - i) * 2) / 4; // direction 1 shrinks the left side
        EXPECT_EQ(s.target, (Rect{10 + 10 * i, inset, 10, 128 - 2 * inset})) << "strip " << i;
    }
}

TEST(Flip, StripCountsAndTheFarSideDifferBetweenTheForms)
{
    // 128 x 128: n_w = n_h = 10.
    EXPECT_EQ(flipStrips(FlipForm::Filter, 2, 5, 128, 128).size(), 11u);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 2, 5, 128, 128).size(), 10u);
    EXPECT_EQ(flipStrips(FlipForm::Filter, 3, 5, 128, 128).size(), 10u);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 4, 5, 128, 128).size(), 10u);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 1, 24, 128, 128).size(), 10u); // no extra strip: the final copy fills in
    EXPECT_TRUE(flipStrips(FlipForm::Filter, 1, 25, 128, 128).empty());

    // First half, step 4 (u = 4): the inset is k for directions 1 and 4, i for 2 and 3.
    // Reveal columns start k at n_w - 1 = 9, rows at n_h = 10.
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 1, 4, 128, 128).front().target.y, 9);
    EXPECT_EQ(flipStrips(FlipForm::Filter, 1, 4, 128, 128).front().target.y, 10);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 2, 4, 128, 128).back().target.y, 9);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 4, 4, 128, 128).front().target.x, 10);
    EXPECT_EQ(flipStrips(FlipForm::Reveal, 3, 4, 128, 128).back().target.x, 9);
    // Second half, step 20 (u = 4): the sides swap.
    EXPECT_EQ(flipStrips(FlipForm::Filter, 1, 20, 128, 128).back().target.y, 10);
    EXPECT_EQ(flipStrips(FlipForm::Filter, 2, 20, 128, 128).front().target.y, 10);
    const auto rows = flipStrips(FlipForm::Filter, 3, 20, 128, 128);
    EXPECT_TRUE(rows.front().newImage);
    EXPECT_EQ(rows.front().target, (Rect{10, 4 * 5, 108, 8}));
}

TEST(Flip, EachStepDrawsExactlyABlackTileAndOneStretchedCopyPerStrip)
{
    struct Case {
        int displayW, displayH;
        Rect tile;
        int oldX, oldY;   // tile corner in the old image (display-sized)
        int newW, newH;   // the new image, its tile at (0, 0)
    };
    const Case cases[] = {
        {400, 90, {131, 0, 131, 90}, 131, 0, 131, 90},  // no multiple of 12, between two neighbours
        {240, 180, {0, 0, 240, 180}, 0, 0, 240, 180},    // 1920 x 1080's tile
        {300, 100, {250, 60, 80, 70}, 250, 60, 80, 70},  // past the display's corner
        {200, 100, {24, 12, 100, 50}, 24, 12, 60, 30},   // a new image smaller than the tile
    };
    for (const Case& c : cases) {
        const Picture oldImage = pattern(c.displayW, c.displayH, 1);
        const Picture newImage = pattern(c.newW, c.newH, 2);
        const Picture before = pattern(c.displayW, c.displayH, 3);
        for (FlipForm form : {FlipForm::Filter, FlipForm::Reveal}) {
            for (int direction = 1; direction <= 4; ++direction) {
                for (int step = 0; step <= 26; ++step) {
                    // The drawing as the animation is described: the tile black, then each strip
                    // stretched into it on its own, clipped to the tile and the source's tile.
                    Picture expected = before;
                    fillBox(expected, c.tile.x, c.tile.y, c.tile.right(), c.tile.bottom(), Black);
                    for (const Strip& strip : flipStrips(form, direction, step, c.tile.width, c.tile.height)) {
                        const Picture& from = strip.newImage ? newImage : oldImage;
                        const int fx = strip.newImage ? 0 : c.oldX;
                        const int fy = strip.newImage ? 0 : c.oldY;
                        stretchCopy(expected, c.tile.x + strip.target.x, c.tile.y + strip.target.y,
                                    strip.target.width, strip.target.height, from, fx + strip.source.x,
                                    fy + strip.source.y, strip.source.width, strip.source.height, c.tile,
                                    {fx, fy, c.tile.width, c.tile.height});
                    }
                    Picture display = before;
                    drawFlipStep(display, c.tile, {oldImage, c.oldX, c.oldY}, {newImage, 0, 0}, form, direction,
                                 step);
                    ASSERT_TRUE(display == expected) << "tile " << c.tile.x << "," << c.tile.y << " form "
                                                     << int(form) << " direction " << direction << " step " << step;
                }
            }
        }
    }
}

TEST(Flip, AStepDrawnOnlyOverWhatTheLastOneLeftGivesTheWholeTilesDrawing)
{
    // Steps in the show's orders (every step, every other one as the filter flip ticks, and a
    // reveal's last steps only), each drawn only over the last drawn step's strips and its own:
    // the tile must come out as the whole tile drawn, and every pixel that changed must lie in
    // the area handed back to be presented.
    struct Case {
        int displayW, displayH;
        Rect tile;
    };
    const Case cases[] = {{400, 90, {131, 0, 131, 90}}, {240, 180, {0, 0, 240, 180}}, {300, 100, {250, 60, 80, 70}}};
    for (const Case& c : cases) {
        const Picture oldImage = pattern(c.displayW, c.displayH, 1);
        const Picture newImage = pattern(c.tile.width, c.tile.height, 2);
        for (FlipForm form : {FlipForm::Filter, FlipForm::Reveal}) {
            for (int direction = 1; direction <= 4; ++direction) {
                for (int stride : {1, 2, 5}) {
                    Picture running = pattern(c.displayW, c.displayH, 3);
                    Rect stale = c.tile;
                    for (int step = stride; step <= 25; step += stride) {
                        Picture whole = running;
                        drawFlipStep(whole, c.tile, {oldImage, c.tile.x, c.tile.y}, {newImage, 0, 0}, form, direction,
                                     step);
                        const Picture before = running;
                        const FlipArea area = drawFlipStep(running, c.tile, {oldImage, c.tile.x, c.tile.y},
                                                           {newImage, 0, 0}, form, direction, step, stale);
                        stale = area.stale;
                        ASSERT_TRUE(running == whole) << "form " << int(form) << " direction " << direction
                                                      << " stride " << stride << " step " << step;
                        for (int y = 0; y < c.displayH; ++y) {
                            for (int x = 0; x < c.displayW; ++x) {
                                const bool inside = x >= area.changed.x && x < area.changed.right() &&
                                                    y >= area.changed.y && y < area.changed.bottom();
                                ASSERT_TRUE(inside || running.pixelValue(x, y) == before.pixelValue(x, y))
                                    << x << "," << y << " changed outside the area, step " << step;
                            }
                        }
                    }
                }
            }
        }
    }
}
