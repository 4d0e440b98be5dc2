// Command-line readings and the number conversions behind them and the settings file.
#include "startup/command_line.h"
#include "startup/number_text.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

using namespace velmora;

// Main's own table has the usual lines; here the first character is no slash or two bytes.
TEST(CommandLine, ModeLetterIsTheUpperCasedSecondCharacterWhateverTheFirst)
{
    for (const char* line : {"xs", "\xc3\x9fs"})
        EXPECT_EQ(modeLetter(line), "S") << line;
}

TEST(CommandLine, HandlesAreReadFromTheFourthCharacterThePasswordParentsOnlyWhenTheyAreWholeNumbers)
{
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"/p:1234", 1234}, {"/p abc", 0}, {"/p 12ab", 12}, {"/p 1 2", 12}, {"/p 2.5", 2}, {"/p 3.5", 4},
        {"/p -2147483648", INT32_MIN}, {"/p 2147483648", std::nullopt}, {"/p 1e999", std::nullopt}};
    for (const auto& [line, handle] : cases)
        EXPECT_EQ(previewHandle(line), handle) << line;
    EXPECT_EQ(passwordParentHandle("/a: 77 "), 77);
    EXPECT_EQ(passwordParentHandle("/a"), std::nullopt);
    EXPECT_EQ(passwordParentHandle("/a 12ab"), std::nullopt);
    EXPECT_EQ(passwordParentHandle("/a 4294967296"), std::nullopt);
}

TEST(Numbers, StrictParsingAcceptsBlanksSignFractionAndExponentOnly)
{
    const std::pair<const char*, double> good[] = {
        {" 1", 1.0}, {"-0.5 ", -0.5}, {"+1.5e1", 15.0}, {"1.5D1", 15.0}, {"1e-999", 0.0}, {".5", 0.5}, {"2.", 2.0}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(parseNumber(text), value) << text;
    for (const char* bad : {"", " ", "abc", "1 2", "1e", "--1", "0x10", ".", "1,5"})
        EXPECT_EQ(parseNumber(bad), std::nullopt) << bad;
}

// The one rounding rule of the program: halves to the even neighbour whatever rounding mode
// the floating-point unit is left in, and conversions that refuse what does not fit.
TEST(Numbers, RoundingGoesHalfToEvenInEveryRoundingModeAndRefusesWhatDoesNotFit)
{
    const int saved = std::fegetround();
    for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        const std::pair<double, double> cases[] = {{2.5, 2}, {3.5, 4}, {-0.5, -0.0}, {-1.5, -2}, {-2.5, -2},
                                                   {2.4999999999999996, 2}, {0.5000000000000001, 1},
                                                   {4503599627370495.5, 4503599627370496}, {1e300, 1e300}};
        for (const auto& [value, expected] : cases) EXPECT_EQ(roundHalfEven(value), expected) << value << " mode " << mode;
    }
    std::fesetround(saved);
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_EQ(roundToInt16(-32768.5), -32768);
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(roundToInt32(std::nan("")), std::nullopt);
    EXPECT_EQ(roundToInt32(-HUGE_VAL), std::nullopt);
}
