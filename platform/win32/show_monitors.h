// The black windows that cover every monitor the show window does not, so no part of the
// user's desktop stays exposed, and the layout rule behind them.
#pragma once

#include "show/drawing.h"
#include "show/monitor_layout.h"

#include <windows.h>

#include <vector>

namespace velmora::win32 {

using show::Rect;
using show::otherShowAreas;

// The parts of `monitors` (virtual-screen rectangles) that `showArea` leaves uncovered, as
// non-overlapping-per-monitor rectangles: a monitor beside the show is covered whole, one
// that overlaps it only outside the show, and a mirror of the show's monitor not at all.
// Identical pieces (two monitors showing the same area) are listed once.
std::vector<Rect> coverAreas(const std::vector<Rect>& monitors, const Rect& showArea);

// The monitors as the system lists them now (EnumDisplayMonitors).
std::vector<Rect> listMonitors();

// Hands mouse and key input that reached `window` to `owner`, as the same message in the
// owner's client coordinates. Returns false for any other message.
bool forwardInput(HWND window, HWND owner, UINT message, WPARAM wParam, LPARAM lParam);

// Top-most black windows over the given areas. Every input on them is handed to `owner`
// as the same message in the owner's client coordinates, so they end the show on exactly
// the inputs the show window does.
class MonitorCovers {
public:
    explicit MonitorCovers(HWND owner) : owner_(owner) {}
    ~MonitorCovers() { clear(); }
    MonitorCovers(const MonitorCovers&) = delete;
    MonitorCovers& operator=(const MonitorCovers&) = delete;

    // Replaces the covers by windows over `areas`. Returns how many windows exist.
    std::size_t cover(const std::vector<Rect>& areas);
    // Covers what `showArea` leaves of the monitors as they are now, apart from `shown`: the
    // monitors that have a show of their own.
    std::size_t coverOthers(const Rect& showArea, const std::vector<Rect>& shown = {});
    void clear();

    const std::vector<HWND>& windows() const { return windows_; }

private:
    HWND owner_;
    std::vector<HWND> windows_;
};

// The window class name of the covers (registered on first use).
inline constexpr const wchar_t* CoverWindowClass = L"VelmoraCover";

} // namespace velmora::win32
