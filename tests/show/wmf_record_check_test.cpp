// Metafile records whose counts, bitmaps or object indexes lie are refused before any renderer
// plays them; honest ones pass, and the object table the rebuilt file declares is the one its
// records fill.
#include "show/picture_formats.h"
#include "show/wmf_record_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace velmora::loading;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes record(std::uint16_t function, std::vector<int> words, const Bytes& raw = {})
{
    Bytes out;
    putWmfDword(out, std::uint32_t(3 + words.size() + (raw.size() + 1) / 2));
    putWmfWord(out, function);
    for (int w : words) {
        putWmfWord(out, w);
    }
    out.insert(out.end(), raw.begin(), raw.end());
    if (raw.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

// A 64 x 48 standard metafile of these records.
std::string plan(const std::vector<Bytes>& records, WmfPlan& result)
{
    Bytes file = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes extent = record(0x020C, {48, 64});
    file.insert(file.end(), extent.begin(), extent.end());
    for (const Bytes& r : records) {
        file.insert(file.end(), r.begin(), r.end());
    }
    const Bytes end = record(0x0000, {});
    file.insert(file.end(), end.begin(), end.end());
    return reasonText(planWmf(file.data(), file.size(), result));
}

const Bytes kBrush = record(0x02FC, {0, 0xFF, 0, 0});
const Bytes kPen = record(0x02FA, {0, 1, 0, 0, 0});

} // namespace

TEST(WmfRecordCheck, RecordsThatLieAboutTheirContentsAreRefused)
{
    Bytes dib100(40, 0); // a 100 x 100, 32-bit bitmap header with 16 bytes of pixels after it
    dib100[0] = 40, dib100[4] = 100, dib100[8] = 100, dib100[12] = 1, dib100[14] = 32;
    dib100.resize(56);
    Bytes font(18, 0);
    font.insert(font.end(), {'A', 'r', 'i', 'a', 'l', 'X'}); // no end to the face name
    const std::pair<std::vector<Bytes>, const char*> cases[] = {
        {{record(0x0324, {1000, 0, 0, 10, 10})}, "points run past"},
        {{record(0x0538, {2, 3, 3, 0, 0, 1, 1, 2, 2})}, "points run past"},
        {{record(0x0521, {200, 0x4141, 0, 0})}, "text runs past"},
        {{record(0x0A32, {0, 0, 2, 0x0004, 0x4141})}, "text runs past"},
        {{record(0x02FB, {}, font)}, "font runs past"},
        {{record(0x06FF, {0, 6, 0, 0, 0, 5, 0, 0, 0, 0, 0})}, "region runs past"},
        {{record(0x00F7, {0x300, 300, 0, 0, 0, 0})}, "palette runs past"},
        {{record(0x0F43, {0x20, 0xCC, 0, 100, 100, 0, 0, 48, 64, 0, 0}, dib100)}, "pixels run past"},
        {{record(0x041B, {0, 0})}, "shorter than its parameters"},
        {{kBrush, record(0x0234, {0})}, "never created"}, // a brush is not a palette
        {{kBrush, record(0x01F0, {0}), record(0x012D, {0})}, "never created"},
        {{record(0x0228, {0, 0})}, "never created"},
    };
    for (const auto& [records, reason] : cases) {
        WmfPlan result;
        const std::string why = plan(records, result);
        EXPECT_NE(why.find(reason), std::string::npos) << reason << ": got \"" << why << '"';
    }
    std::vector<Bytes> pens(kMaxWmfObjects + 1, kPen); // created, never deleted
    WmfPlan result;
    EXPECT_EQ(plan(pens, result), "metafile keeps too many objects at once");
}

TEST(WmfRecordCheck, SlotsAreReusedLowestFirstAndTheHeaderDeclaresTheTableTheyNeed)
{
    // Pen in 0, brush in 1; the pen deleted, a new brush takes 0; both brushes selected.
    WmfPlan result;
    ASSERT_EQ(plan({kPen, kBrush, record(0x01F0, {0}), kBrush, record(0x012D, {0}), record(0x012D, {1}),
                    record(0x041B, {40, 60, 4, 4})},
                   result),
              "");
    EXPECT_EQ(result.cleaned[10] | result.cleaned[11] << 8, 2); // mtNoObjects
}
