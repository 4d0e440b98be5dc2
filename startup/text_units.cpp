// UTF-8 decoding and the UTF-8 / UTF-16 conversions.
#include "startup/text_units.h"

namespace velmora {

std::optional<char32_t> nextCodePoint(std::string_view utf8, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char b0 = byte(pos);
    std::size_t n = 0;
    char32_t cp = 0;
    char32_t least = 0; // the smallest code point that needs n bytes: anything less is overlong
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, least = 0x10000;
    }
    bool valid = n > 0 && utf8.size() - pos >= n;
    for (std::size_t i = 1; valid && i < n; ++i) {
        valid = (byte(pos + i) & 0xC0) == 0x80;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (!valid || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += n;
    return cp;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::optional<char32_t> cp = nextCodePoint(utf8, pos);
        if (!cp) {
            return std::nullopt;
        }
        if (*cp < 0x10000) {
            out.push_back(char16_t(*cp));
        } else {
            out.push_back(char16_t(0xD800 + ((*cp - 0x10000) >> 10)));
            out.push_back(char16_t(0xDC00 + ((*cp - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        const bool high = cp >= 0xD800 && cp <= 0xDBFF;
        if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = ReplacementCharacter;
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace velmora
