// The dispatcher's contract: busy guard, unknown types, released arrays, colour split.
#include "filters/engine.h"
#include "filters/filter_table.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::filters;

namespace {

Picture gradient(int w, int h)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, std::uint8_t(x * 7 + y), std::uint8_t(x * 3 + y * 5), std::uint8_t(x + y * 11),
                       std::uint8_t(x ^ y));
    return p;
}

} // namespace

TEST(Dispatcher, UnknownTypesLeaveThePictureAndTheBusyFlagAsTheyWere)
{
    FilterEngine engine;
    for (int type : {0, 32, -1, 1000}) {
        Picture p = gradient(5, 4);
        const Picture before = p;
        EXPECT_TRUE(Fil_Run(engine, type, p.view(), 50).ok());
        EXPECT_EQ(p, before);
        EXPECT_FALSE(engine.Fil_Busy);
        EXPECT_EQ(engine.Pix_Work.width(), 2);
        EXPECT_EQ(engine.Pix_Orgn.height(), 2);
    }
}

TEST(Dispatcher, CallWhileBusyReturnsAtOnceAndLeavesItsPictureUntouched)
{
    FilterEngine engine;
    engine.Fil_Busy = true;
    Picture p = gradient(3, 3);
    const Picture before = p;
    EXPECT_EQ(Fil_Run(engine, 2, p.view(), 0).status, FilterStatus::Busy);
    EXPECT_EQ(p, before);
    EXPECT_TRUE(engine.Fil_Busy);
}

TEST(Dispatcher, SplitRgbTakesAColourRefApart)
{
    std::int32_t r, g, b;
    Split_RGB(0 + 256 * 120 + 65536 * 120, r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 120);
    EXPECT_EQ(b, 120);
    Split_RGB(0xFFFFFF, r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 255);
}
