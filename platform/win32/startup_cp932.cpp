// Code page 932 through the system's conversions. No best-fit and no default
// character: a character without a code-page-932 form is a failure, never a "?".
#include "platform/win32/startup_win32.h"

#include <windows.h>

namespace velmora::win32 {

namespace {

constexpr UINT kCp932 = 932;

std::optional<std::wstring> toWide(UINT codePage, std::string_view bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

} // namespace

std::optional<std::string> Cp932Codec::toCp932(std::string_view utf8)
{
    const std::wstring wide = widen(utf8);
    if (wide.empty() && !utf8.empty())
        return std::nullopt; // not well-formed UTF-8
    if (wide.empty())
        return std::string();
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, &usedDefault);
    if (usedDefault)
        return std::nullopt;
    return out;
}

std::optional<std::string> Cp932Codec::fromCp932(std::string_view bytes)
{
    const auto wide = toWide(kCp932, bytes);
    if (!wide)
        return std::nullopt;
    return narrow(*wide);
}

} // namespace velmora::win32
