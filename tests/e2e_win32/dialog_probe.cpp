// Reads the settings window's picture list from outside, for the end-to-end tests and the
// measurements:
//   dialog_probe               the list's entry count on the first line, then one name a line (UTF-8)
//   dialog_probe wait-count N  waits until the list holds N entries
//   dialog_probe wait-preview  waits until the filter buttons are enabled (a thumbnail is shown)
//   dialog_probe wait-closed T waits until no window titled T is left (a system dialog closed)
//   dialog_probe message       the text of the message box the settings window owns (UTF-8)
// The waits print the Unix time in milliseconds when they saw it (exit 1 after 120 s).
#include "platform/win32/win_text.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename Seen>
int waitFor(Seen seen)
{
    const ULONGLONG until = GetTickCount64() + 120000;
    while (GetTickCount64() < until) {
        if (seen()) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("%lld\n", static_cast<long long>(now / std::chrono::milliseconds(1)));
            return 0;
        }
        Sleep(1);
    }
    return 1;
}

} // namespace

// The longest static text among a window's children: a message box's message.
std::wstring messageText(HWND box)
{
    std::wstring longest;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(child, className, 16);
            const int length = GetWindowTextLengthW(child);
            if (lstrcmpiW(className, L"Static") == 0 && length > 0) {
                std::wstring text(std::size_t(length) + 1, L'\0');
                text.resize(std::size_t(GetWindowTextW(child, text.data(), length + 1)));
                auto& best = *reinterpret_cast<std::wstring*>(found);
                if (text.size() > best.size())
                    best = text;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&longest));
    return longest;
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "message") == 0) {
        struct Search {
            HWND owner;
            HWND box = nullptr;
        } search{FindWindowW(nullptr, L"ヴェルモラの設定")};
        EnumWindows(
            [](HWND window, LPARAM found) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(found);
                wchar_t className[16] = {};
                GetClassNameW(window, className, 16);
                if (s.owner != nullptr && GetWindow(window, GW_OWNER) == s.owner && lstrcmpW(className, L"#32770") == 0)
                    s.box = window;
                return s.box == nullptr;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.box == nullptr)
            return 1;
        const std::string utf8 = velmora::win32::narrow(messageText(search.box));
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        return 0;
    }
    const HWND dialog = FindWindowW(nullptr, L"ヴェルモラの設定");
    const HWND list = dialog != nullptr ? FindWindowExW(dialog, nullptr, L"ListBox", nullptr) : nullptr;
    if (list == nullptr) {
        std::fprintf(stderr, "dialog_probe: no settings window with a list\n");
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "wait-closed") == 0) {
        const std::wstring title = velmora::win32::widen(argv[2]);
        return waitFor([&] { return FindWindowW(nullptr, title.c_str()) == nullptr; });
    }
    if (argc == 3 && std::strcmp(argv[1], "wait-count") == 0) {
        const long want = std::atol(argv[2]);
        return waitFor([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == want; });
    }
    if (argc == 2 && std::strcmp(argv[1], "wait-preview") == 0) {
        const HWND first = FindWindowExW(dialog, nullptr, L"Button", L"1");
        return waitFor([&] { return first != nullptr && IsWindowEnabled(first); });
    }
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    const LRESULT length = SendMessageW(list, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(std::size_t(length) + 1, L'\0');
    const LRESULT got = SendMessageW(list, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(got));
    const std::string utf8 = velmora::win32::narrow(text);
    std::printf("%ld\n", long(count));
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}
