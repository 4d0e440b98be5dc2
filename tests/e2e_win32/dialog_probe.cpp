// Reads the settings window's picture list from outside, for the end-to-end tests:
//   dialog_probe  ->  the list's entry count on the first line, then one name a line (UTF-8).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HWND findList(HWND dialog)
{
    HWND child = nullptr;
    while ((child = FindWindowExW(dialog, child, nullptr, nullptr)) != nullptr) {
        wchar_t type[32] = {};
        GetClassNameW(child, type, 32);
        if (lstrcmpiW(type, L"LISTBOX") == 0)
            return child;
    }
    return nullptr;
}

} // namespace

int main()
{
    const HWND dialog = FindWindowW(nullptr, L"ヴェルモラの設定");
    const HWND list = dialog != nullptr ? findList(dialog) : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "dialog_probe: no settings window with a list\n");
        return 1;
    }
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    const LRESULT length = SendMessageW(list, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(std::size_t(length) + 1, L'\0');
    const LRESULT got = SendMessageW(list, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(got));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), bytes, nullptr, nullptr);
    std::printf("%ld\n", long(count));
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}
