// The catalogue: kinds, ordinal order, separators, and a show order that is a uniform
// permutation. Which attributes are taken is checked on real file systems (the Win32 and
// POSIX start-up tests) and by the settings window's scan (picture_panel_test).
#include "startup/catalogue.h"
#include "startup/text_units.h"

#include "fake_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace velmora;
using velmora::testing::FakeFileSystem;

namespace {

constexpr ImageKindFlags kAll{1, 1, 1, 1, 1};

std::vector<std::string> listed(const Catalogue& c)
{
    return {c.ImageList.begin() + 1, c.ImageList.begin() + 1 + c.ImageCount};
}

} // namespace

TEST(Catalogue, SortsOrdinallyAcrossKindsAndComposesPaths)
{
    FakeFileSystem fs;
    fs.addFolder("D:\\P");
    for (const char* name : {"c.gif", "a.BMP", "b.jpg", "notes.txt", "d.HEIC", "e.tiff", "e.tif", "f.webp", "g.avif",
                             "h.png", "i.heif", "j.tiffany"})
        fs.addFile(std::string("D:\\P\\") + name);
    Catalogue c;
    BuildImageList("D:\\P", kAll, fs, c);
    std::vector<std::string> all{"a.BMP", "b.jpg", "c.gif", "d.HEIC", "e.tif", "e.tiff", "f.webp", "g.avif", "h.png", "i.heif"};
    for (std::string& name : all)
        name = "D:\\P\\" + name;
    EXPECT_EQ(listed(c), all);
    // Two pictures of one kind, listed out of order, are sorted as well.
    fs.addFolder("D:\\Two");
    fs.addFile("D:\\Two\\a.jpg");
    fs.addFile("D:\\Two\\b.jpg");
    fs.listReversed = true;
    BuildImageList("D:\\Two", kAll, fs, c);
    EXPECT_EQ(listed(c), (std::vector<std::string>{"D:\\Two\\a.jpg", "D:\\Two\\b.jpg"}));
    fs.listReversed = false;

    // "B" (0x42) comes before "a"; the emoji's surrogates (0xD83D) before "Ａ" (0xFF21),
    // although its UTF-8 bytes come after.
    for (const char* name : {"B.jpg", "\xef\xbc\xa1.jpg", "\xf0\x9f\x98\x80.jpg"})
        fs.addFile(std::string("D:\\P\\") + name);
    BuildImageList("D:\\P", {1, 2, 1, 0, 0}, fs, c); // only flags of exactly 1 count: no GIF, no fifth kind
    EXPECT_EQ(listed(c), (std::vector<std::string>{"D:\\P\\B.jpg", "D:\\P\\a.BMP", "D:\\P\\b.jpg",
                                                   "D:\\P\\\xf0\x9f\x98\x80.jpg", "D:\\P\\\xef\xbc\xa1.jpg"}));

    // No 16-bit count: a large folder is listed in full.
    fs.addFolder("D:\\Big");
    for (int i = 0; i < 40000; ++i)
        fs.addFile("D:\\Big\\" + std::to_string(i) + ".jpg");
    BuildImageList("D:\\Big", kAll, fs, c);
    ASSERT_EQ(c.ImageCount, 40000);
    EXPECT_TRUE(std::is_sorted(c.ImageList.begin() + 1, c.ImageList.end(),
                               [](const std::string& a, const std::string& b) { return utf16Less(a, b); }));

    // A folder given with its separator lists its files behind a doubled one.
    fs.addFolder("C:");
    fs.addFile("C:\\a.bmp");
    BuildImageList("C:\\", kAll, fs, c);
    EXPECT_EQ(listed(c), (std::vector<std::string>{"C:\\\\a.bmp"}));
    fs.addFile("D:\\song.mp3");
    EXPECT_TRUE(FileExists(fs, "D:\\song.mp3\\"));

    EXPECT_EQ(DirPart("C:\\*.bmp", '\\'), "C:");
    EXPECT_EQ(DirPart("C:*.bmp", '\\'), "C:");
    EXPECT_EQ(DirPart("*.bmp", '\\'), "");
    EXPECT_EQ(DirPart("/a:b/*.bmp", '/'), "/a:b");
    EXPECT_EQ(AddSeparator("C:\\Pics  ", '\\'), "C:\\Pics\\");
    EXPECT_EQ(AddSeparator("C:\\", '\\'), "C:\\");
}

TEST(Catalogue, OrdinalOrderAndTextConversionsAgreeWithUtf16AndStayStrictOnBrokenText)
{
    // Fragments with their UTF-16 units; the last four are not valid UTF-8.
    const std::vector<std::pair<std::string, std::u16string>> parts{
        {"a", u"a"}, {"B", u"B"}, {"\xc3\xa9", u"\u00e9"}, {"\xef\xbc\xa1", u"\uff21"},
        {"\xf0\x9f\x98\x80", u"\U0001F600"}, {"\xed\x9f\xbf", u"\ud7ff"}, {"\xee\x80\x80", u"\ue000"},
        {"\xc3", u""}, {"\xa9", u""}, {"\xff", u""}, {"\xe3\x80", u""}};
    Random random(3);
    std::vector<std::pair<std::string, std::u16string>> samples;
    for (int i = 0; i < 60; ++i) {
        std::pair<std::string, std::u16string> s;
        bool valid = true;
        for (std::uint64_t n = random.below(5); n > 0; --n) {
            const auto& part = parts[random.below(i < 40 ? 7 : parts.size())];
            s.first += part.first;
            s.second += part.second;
            valid = valid && !part.second.empty();
        }
        // The conversions that the order stands on: exact where valid, refused where not.
        EXPECT_EQ(utf8ToUtf16(s.first), valid ? std::optional(s.second) : std::nullopt);
        if (valid) {
            EXPECT_EQ(utf16ToUtf8(s.second), s.first);
        }
        samples.push_back(valid ? s : std::make_pair(s.first, std::u16string(u"?")));
    }
    for (const char* malformed : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf0\x9f\x98"})
        EXPECT_EQ(utf8ToUtf16(malformed), std::nullopt) << malformed; // overlong, surrogate, past U+10FFFF, cut
    EXPECT_EQ(utf16ToUtf8(u"a\xd800" u"b\xdc00"), "a\xef\xbf\xbd" "b\xef\xbf\xbd");
    EXPECT_TRUE(utf16Less("\xc3\xa9", "\xc3" "a")); // "é" before a broken byte: whole characters compared
    EXPECT_TRUE(isCp932LeadByte(0x81) && isCp932LeadByte(0x9F) && isCp932LeadByte(0xE0) && isCp932LeadByte(0xFC));
    EXPECT_FALSE(isCp932LeadByte(0x80) || isCp932LeadByte(0xA0) || isCp932LeadByte(0xDF) || isCp932LeadByte(0xFD));
    for (const auto& [a, ua] : samples)
        for (const auto& [b, ub] : samples) {
            if (ua != u"?" && ub != u"?") {
                EXPECT_EQ(utf16Less(a, b), ua < ub);
            }
            // The sort's keys order (and tell apart) exactly as the comparison does: so the
            // comparison is a strict order, broken text included.
            EXPECT_EQ(utf16SortKey(a) < utf16SortKey(b), utf16Less(a, b)) << a << " / " << b;
            EXPECT_EQ(utf16SortKey(a) == utf16SortKey(b), a == b);
        }
}

TEST(ShowOrder, RandomOrderIsAUniformPermutation)
{
    Catalogue c;
    c.ImageCount = 3;
    Random random(20240611);
    std::map<std::vector<int>, int> counts;
    constexpr int kDraws = 60000;
    for (int i = 0; i < kDraws; ++i) {
        MakeShowOrder(1, random, c);
        ++counts[c.ShowOrder];
    }
    ASSERT_EQ(counts.size(), 6u);
    double chiSquare = 0;
    for (const auto& [order, n] : counts) {
        EXPECT_EQ(order[0], 0);
        const double expected = kDraws / 6.0;
        chiSquare += (n - expected) * (n - expected) / expected;
    }
    EXPECT_LT(chiSquare, 20.5); // 5 degrees of freedom, p = 0.001
}
