// The one window procedure of every window an object of ours owns.
#pragma once

#include <windows.h>

namespace velmora::win32 {

// The owner comes in CreateWindowExW's last parameter; from WM_NCCREATE on it knows its window
// (`hwnd_`) and handles every message (`handle`); the few messages before that go to
// DefWindowProcW. Owners befriend this function.
template <typename Owner>
LRESULT CALLBACK ownedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (owner == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return owner->handle(message, wParam, lParam);
}

} // namespace velmora::win32
