// The program's text rules in one place: UTF-8 (every string the program holds), UTF-16 (what
// Windows' wide calls and the catalogue's order speak) and the byte structure of code page 932
// (the settings file). Conversions to and from code page 932 itself are the platform's
// (startup/text_codec.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

// The code point that starts at `pos`, moving `pos` past it; nullopt for a byte that does not
// start a well-formed sequence (overlong forms, surrogates and values past U+10FFFF included),
// and `pos` then moves on by that one byte.
std::optional<char32_t> nextCodePoint(std::string_view utf8, std::size_t& pos);

// nullopt when the text is not well-formed UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);
// An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

// A byte that starts a two-byte character in code page 932.
constexpr bool isCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

} // namespace velmora
