// UTF-16 with a byte-order mark, to and from the UTF-8 the INI reader works on.
#include "startup/file_encoding.h"

#include "startup/text_units.h"

namespace velmora {

std::optional<FileText> decodeFileText(std::string_view bytes)
{
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    const Utf16Form form = starts("\xFF\xFE") ? Utf16Form::LittleEndian
                           : starts("\xFE\xFF") ? Utf16Form::BigEndian
                                                : Utf16Form::None;
    if (form == Utf16Form::None)
        return FileText{std::string(bytes), form};
    bytes.remove_prefix(2);
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const std::size_t lowByte = form == Utf16Form::LittleEndian ? 0 : 1;
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(static_cast<unsigned char>(bytes[2 * i + lowByte]) |
                            static_cast<unsigned char>(bytes[2 * i + 1 - lowByte]) << 8);
    // The conversion would put U+FFFD for an unpaired surrogate; such a file would not come back.
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (low || (high && (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)))
            return std::nullopt;
        i += high;
    }
    return FileText{utf16ToUtf8(units), form};
}

std::string encodeFileText(std::string_view text, Utf16Form form)
{
    if (form == Utf16Form::None)
        return std::string(text);
    // The text is the file's own decoded text with values we checked: always well-formed.
    const std::u16string units = utf8ToUtf16(text).value_or(std::u16string());
    const bool little = form == Utf16Form::LittleEndian;
    std::string out(little ? "\xFF\xFE" : "\xFE\xFF");
    out.reserve(2 + 2 * units.size());
    for (const char16_t unit : units) {
        const char lowByte = char(unit & 0xFF);
        const char highByte = char(unit >> 8);
        out += little ? lowByte : highByte;
        out += little ? highByte : lowByte;
    }
    return out;
}

} // namespace velmora
