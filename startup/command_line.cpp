// Characters are counted as UTF-8 code points, so a non-ASCII first character still
// leaves the mode letter in second place.
#include "startup/command_line.h"

#include "startup/number_text.h"

namespace velmora {

namespace {

// Byte length of the character starting at `pos`; a stray byte counts as one character.
std::size_t characterLength(std::string_view s, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
    if (pos + n > s.size())
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// Byte offset of character number `index` (from 0), or s.size() when there are fewer.
std::size_t characterOffset(std::string_view s, std::size_t index)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < index && pos < s.size(); ++i)
        pos += characterLength(s, pos);
    return pos;
}

} // namespace

std::string modeLetter(std::string_view commandLine)
{
    const std::size_t pos = characterOffset(commandLine, 1);
    if (pos >= commandLine.size())
        return {};
    std::string letter(commandLine.substr(pos, characterLength(commandLine, pos)));
    if (letter.size() == 1 && letter[0] >= 'a' && letter[0] <= 'z')
        letter[0] = static_cast<char>(letter[0] - 'a' + 'A');
    return letter;
}

std::string handleText(std::string_view commandLine)
{
    return std::string(commandLine.substr(characterOffset(commandLine, 3)));
}

std::optional<std::int32_t> previewHandle(std::string_view commandLine)
{
    return roundToInt32(leadingNumber(handleText(commandLine)));
}

std::optional<std::int32_t> passwordParentHandle(std::string_view commandLine)
{
    const auto number = parseNumber(handleText(commandLine));
    if (!number)
        return std::nullopt;
    return roundToInt32(*number);
}

} // namespace velmora
