// Command-line readings and the number conversions behind them and the settings file.
#include "startup/command_line.h"
#include "startup/number_text.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(CommandLine, ModeLetterIsTheUpperCasedSecondCharacter)
{
    const struct {
        const char* line;
        const char* letter;
    } cases[] = {
        {"/s", "S"}, {"/S", "S"}, {"-s", "S"}, {"xs", "S"}, {"s", ""}, {"", ""}, {"/c:1234", "C"},
        {"/p 1234", "P"}, {"/a", "A"}, {"/x", "X"}, {"\xc3\x9fs", "S"}, // a two-byte first character
    };
    for (const auto& c : cases)
        EXPECT_EQ(modeLetter(c.line), c.letter) << c.line;
}

TEST(CommandLine, PreviewHandleTakesTheLeadingNumberFromTheFourthCharacter)
{
    EXPECT_EQ(handleText("/p 1234"), "1234");
    EXPECT_EQ(handleText("/p:1234"), "1234");
    EXPECT_EQ(previewHandle("/p 1234"), 1234);
    EXPECT_EQ(previewHandle("/p:1234"), 1234);
    EXPECT_EQ(previewHandle("/p"), 0);
    EXPECT_EQ(previewHandle("/p abc"), 0);
    EXPECT_EQ(previewHandle("/p 12ab"), 12);
    EXPECT_EQ(previewHandle("/p 2.5"), 2);
    EXPECT_EQ(previewHandle("/p 3.5"), 4);
    EXPECT_EQ(previewHandle("/p -2147483648"), INT32_MIN);
    EXPECT_EQ(previewHandle("/p 2147483648"), std::nullopt);
    EXPECT_EQ(previewHandle("/p 1e999"), std::nullopt);
}

TEST(CommandLine, PasswordParentMustBeANumberThatFits)
{
    EXPECT_EQ(passwordParentHandle("/a 1234"), 1234);
    EXPECT_EQ(passwordParentHandle("/a: 77 "), 77);
    EXPECT_EQ(passwordParentHandle("/a"), std::nullopt);
    EXPECT_EQ(passwordParentHandle("/a abc"), std::nullopt);
    EXPECT_EQ(passwordParentHandle("/a 12ab"), std::nullopt);
    EXPECT_EQ(passwordParentHandle("/a 4294967296"), std::nullopt);
}

TEST(Numbers, StrictParsingAcceptsBlanksSignFractionAndExponentOnly)
{
    EXPECT_EQ(parseNumber(" 1"), 1.0);
    EXPECT_EQ(parseNumber("-0.5 "), -0.5);
    EXPECT_EQ(parseNumber("+1.5e1"), 15.0);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("2."), 2.0);
    for (const char* bad : {"", " ", "abc", "1 2", "1e", "--1", "0x10", ".", "1,5"})
        EXPECT_EQ(parseNumber(bad), std::nullopt) << bad;
}
