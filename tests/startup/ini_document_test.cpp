// The INI reader's tolerance and the writer's respect for the rest of the file.
#include "startup/ini_document.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(IniDocument, ReadsNamesWithoutCaseAndValuesWithoutBlanksOrQuotes)
{
    const auto doc = IniDocument::parse("; comment = no key\r\n"
                                        "[other]\r\nkey=wrong\r\n"
                                        "  [ SECTION ]  \r\n"
                                        "  KEY  =  some value \t\r\n"
                                        "key=second wins never\r\n"
                                        "quoted=\"  padded  \"\r\n"
                                        "single=' x '\r\n"
                                        "half=\"open\r\n"
                                        "empty=\r\n"
                                        "[section]\r\nlater=x\r\n"
                                        "[s]\n\x83\x41=a\n");
    EXPECT_EQ(doc.value("Section", "key"), "some value");
    EXPECT_EQ(doc.value("section", "QUOTED"), "  padded  ");
    EXPECT_EQ(doc.value("section", "single"), " x ");
    EXPECT_EQ(doc.value("Section", "half"), "\"open");
    EXPECT_EQ(doc.value("Section", "empty"), "");
    EXPECT_EQ(doc.value("Section", "missing"), std::nullopt);
    EXPECT_EQ(doc.value("Section", "later"), std::nullopt); // only the first section counts
    EXPECT_EQ(doc.value("nothere", "key"), std::nullopt);
    // Second bytes of double-byte characters are not case-folded: 0x83 0x41 is "ア" and
    // 0x83 0x61 is "ャ", the same letters after ASCII folding.
    EXPECT_EQ(doc.value("s", "\x83\x41"), "a");
    EXPECT_EQ(doc.value("s", "\x83\x61"), std::nullopt);
}

TEST(IniDocument, WritingKeepsEveryOtherLineAndTheLineEndings)
{
    const std::string before = "; my notes\n[Section]\nA=1\n\n[Other]\nB=2\n";
    auto doc = IniDocument::parse(before);
    doc.setValue("Section", "a", " 5");
    doc.setValue("Section", "New", "x");
    doc.setValue("Third", "C", "");
    EXPECT_EQ(doc.bytes(), "; my notes\n[Section]\na= 5\nNew=x\n\n[Other]\nB=2\n[Third]\nC=\n");

    // Into a file without a final line break. Into an empty one: the settings file's saved case.
    doc = IniDocument::parse("[Section]\r\nA=1");
    doc.setValue("Section", "B", "2");
    EXPECT_EQ(doc.bytes(), "[Section]\r\nA=1\r\nB=2\r\n");
}
