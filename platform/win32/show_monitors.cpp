// Black covers over the monitors outside the show window, and their layout.
#include "platform/win32/show_monitors.h"

#include <windowsx.h>

#include <algorithm>

namespace velmora::win32 {

namespace {

// What is left of `area` outside `hole`: up to four pieces (above, below, left, right).
void addDifference(std::vector<Rect>& out, const Rect& area, const Rect& hole)
{
    const Rect inside = show::intersect(area, hole);
    if (inside.empty()) {
        out.push_back(area);
        return;
    }
    const Rect pieces[] = {
        {area.x, area.y, area.width, inside.y - area.y},                           // above
        {area.x, inside.bottom(), area.width, area.bottom() - inside.bottom()},     // below
        {area.x, inside.y, inside.x - area.x, inside.height},                       // left
        {inside.right(), inside.y, area.right() - inside.right(), inside.height},   // right
    };
    for (const Rect& piece : pieces) {
        if (!piece.empty()) {
            out.push_back(piece);
        }
    }
}

BOOL CALLBACK collectMonitor(HMONITOR, HDC, LPRECT bounds, LPARAM context)
{
    auto* monitors = reinterpret_cast<std::vector<Rect>*>(context);
    monitors->push_back({bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top});
    return TRUE;
}

LRESULT CALLBACK coverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (forwardInput(hwnd, GetWindow(hwnd, GW_OWNER), message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE; // keys keep going to the show window
    case WM_CLOSE:
        return 0; // a cover goes only with the show
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void registerCoverClass()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = coverProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = CoverWindowClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

std::vector<Rect> coverAreas(const std::vector<Rect>& monitors, const Rect& showArea)
{
    std::vector<Rect> areas;
    for (const Rect& monitor : monitors) {
        if (!monitor.empty()) {
            addDifference(areas, monitor, showArea);
        }
    }
    std::vector<Rect> unique;
    for (const Rect& area : areas) {
        if (std::find(unique.begin(), unique.end(), area) == unique.end()) {
            unique.push_back(area);
        }
    }
    return unique;
}

bool forwardInput(HWND window, HWND owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        if (owner != nullptr) {
            // The owner sees the point where it would be in its own client area.
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ClientToScreen(window, &point);
            ScreenToClient(owner, &point);
            SendMessageW(owner, message, wParam, MAKELPARAM(point.x, point.y));
        }
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (owner != nullptr) {
            SendMessageW(owner, message, wParam, lParam);
        }
        return true;
    default:
        return false;
    }
}

std::size_t MonitorCovers::coverOthers(const Rect& showArea, const std::vector<Rect>& shown)
{
    std::vector<Rect> areas = coverAreas(listMonitors(), showArea);
    std::erase_if(areas, [&](const Rect& area) { return std::find(shown.begin(), shown.end(), area) != shown.end(); });
    return cover(areas);
}

std::vector<Rect> listMonitors()
{
    std::vector<Rect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

std::size_t MonitorCovers::cover(const std::vector<Rect>& areas)
{
    clear();
    registerCoverClass();
    for (const Rect& area : areas) {
        HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, CoverWindowClass, L"",
                                    WS_POPUP, area.x, area.y, area.width, area.height, owner_, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        if (hwnd == nullptr) {
            continue; // one missing cover must not stop the show
        }
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        windows_.push_back(hwnd);
    }
    return windows_.size();
}

void MonitorCovers::clear()
{
    for (HWND hwnd : windows_) {
        DestroyWindow(hwnd);
    }
    windows_.clear();
}

} // namespace velmora::win32
