// widen and narrow on the core's conversions: wchar_t is a UTF-16 unit on Windows, so the
// rules are those of every other part of the program.
#include "platform/win32/win_text.h"

#include "startup/text_units.h"

namespace velmora::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

std::wstring widen(std::string_view utf8)
{
    const std::optional<std::u16string> units = utf8ToUtf16(utf8);
    return units ? std::wstring(units->begin(), units->end()) : std::wstring();
}

std::string narrow(std::wstring_view utf16)
{
    return utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

} // namespace velmora::win32
