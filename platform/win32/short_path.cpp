#include "platform/win32/short_path.h"

#include "platform/win32/win_text.h"

#include <windows.h>

namespace velmora::win32 {

std::optional<std::string> shortPathName(const std::string& path)
{
    const std::wstring wide = widen(path);
    if (wide.empty())
        return std::nullopt;
    // Asked once for the size it needs, then for the name.
    const DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (n == 0)
        return std::nullopt;
    std::wstring out(n, L'\0');
    const DWORD got = GetShortPathNameW(wide.c_str(), out.data(), n);
    if (got == 0 || got >= n)
        return std::nullopt;
    out.resize(got);
    return narrow(out);
}

} // namespace velmora::win32
