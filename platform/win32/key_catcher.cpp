// The key catcher: see key_catcher.h for why it exists.
#include "platform/win32/key_catcher.h"

namespace velmora::win32 {
namespace {

constexpr const wchar_t* CatcherClass = L"VelmoraKeys";

LRESULT CALLBACK catcherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        if (HWND target = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); target != nullptr) {
            return SendMessageW(target, message, wParam, lParam);
        }
        return 0;
    case WM_CLOSE:
        return 0; // only the show ends the show
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

bool runningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HWND catchKeysFor(HWND target)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &catcherProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = CatcherClass;
    RegisterClassW(&wc);
    // Small, not an application window, shown without activation: Wine then draws it as a
    // window of its own (no window manager involved) and moves the X focus with SetFocus.
    const HWND catcher = CreateWindowExW(WS_EX_TOOLWINDOW, CatcherClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                         nullptr, instance, nullptr);
    if (catcher == nullptr) {
        return nullptr;
    }
    SetWindowLongPtrW(catcher, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
    SetWindowPos(catcher, target, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetFocus(catcher);
    return catcher;
}

} // namespace velmora::win32
