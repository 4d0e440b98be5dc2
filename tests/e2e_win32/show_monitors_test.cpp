// The covers over the monitors the show window leaves bare: the layout on fake monitor
// arrangements (Wine offers only one monitor), and real cover windows that hand every
// input to the show window in its own coordinates.
#include "platform/win32/show_monitors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

using velmora::win32::coverAreas;
using velmora::win32::Rect;

const Rect show{0, 0, 1920, 1080};

long long areaOf(const Rect& r) { return (long long)r.width * r.height; }

// Every arrangement: the monitors outside the show are covered exactly once, whole, and
// nothing over the show. Beside it (negative coordinates too), mirrored, or overlapping it
// after the primary grew while the show ran.
TEST(CoverLayout, EveryMonitorIsCoveredOnceExactlyWhereTheShowIsNot)
{
    const Rect right{1920, 0, 1280, 1024};
    const Rect leftAbove{-1280, -200, 1280, 1024};
    const std::vector<std::vector<Rect>> arrangements{
        {show}, {show, right, leftAbove}, {show, show}, {show, right, right},
        {{0, 0, 2560, 1440}}, {{1000, 500, 1920, 1080}}, {{-100, -100, 2120, 1280}}};
    for (const std::vector<Rect>& monitors : arrangements) {
        const std::vector<Rect> covers = coverAreas(monitors, show);
        long long bare = 0, covered = 0;
        std::vector<Rect> seen; // a mirrored monitor counts once
        for (const Rect& m : monitors)
            if (std::find(seen.begin(), seen.end(), m) == seen.end()) {
                seen.push_back(m);
                bare += areaOf(m) - areaOf(velmora::show::intersect(m, show));
            }
        for (const Rect& c : covers) {
            covered += areaOf(c);
            EXPECT_TRUE(velmora::show::intersect(c, show).empty()) << "a cover lies over the show";
            EXPECT_TRUE(std::any_of(monitors.begin(), monitors.end(),
                                    [&](const Rect& m) { return velmora::show::intersect(c, m) == c; }))
                << "a cover leaves its monitor";
            for (const Rect& other : covers) {
                if (&other != &c) {
                    EXPECT_TRUE(velmora::show::intersect(c, other).empty()) << "covers overlap";
                }
            }
        }
        EXPECT_EQ(covered, bare) << monitors.size() << " monitors";
    }
}

using Input = std::tuple<UINT, WPARAM, LPARAM>;

// A stand-in for the show window that records what reaches it.
struct Owner {
    static inline std::vector<Input> received;
    HWND hwnd = nullptr;

    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
            message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
            received.emplace_back(message, wParam, lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    Owner()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelmoraCoverOwnerProbe";
        RegisterClassW(&wc);
        // Away from the screen's corner, so a point must be made the owner's own.
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 100, 50, 200, 100, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }
    ~Owner() { DestroyWindow(hwnd); }
};

TEST(MonitorCovers, CoverWindowsSitOnTopOfTheirAreasGoWhenReplacedAndHandInputToTheShow)
{
    Owner owner;
    velmora::win32::MonitorCovers covers(owner.hwnd);
    const std::vector<Rect> areas{{1920, 0, 800, 600}, {-640, 100, 640, 480}};
    ASSERT_EQ(covers.cover(areas), 2u);
    for (std::size_t i = 0; i < areas.size(); ++i) {
        HWND cover = covers.windows()[i];
        RECT r;
        ASSERT_TRUE(GetWindowRect(cover, &r));
        EXPECT_EQ((Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}), areas[i]);
        EXPECT_TRUE(IsWindowVisible(cover));
        EXPECT_TRUE(GetWindowLongW(cover, GWL_EXSTYLE) & WS_EX_TOPMOST);
    }

    const std::vector<HWND> before = covers.windows();
    ASSERT_EQ(covers.cover({{1920, 40, 800, 600}}), 1u);
    for (HWND old : before)
        EXPECT_FALSE(IsWindow(old)) << "a replaced cover was left behind";

    // Every input on a cover reaches the show window as it was, points in its coordinates
    // (negative ones too): the cover's (1920, 40) less the owner's (100, 50).
    HWND cover = covers.windows()[0];
    Owner::received.clear();
    std::vector<Input> inputs{{WM_MOUSEMOVE, 0, MAKELPARAM(5, 7)}, {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 7)},
                              {WM_KEYDOWN, VK_SPACE, 0x00390001}, {WM_SYSKEYDOWN, VK_MENU, 0x20380001}};
    for (const auto& [message, wParam, lParam] : inputs)
        SendMessageW(cover, message, wParam, lParam);
    std::get<LPARAM>(inputs[0]) = std::get<LPARAM>(inputs[1]) = MAKELPARAM(1825, -3);
    EXPECT_EQ(Owner::received, inputs);
}

} // namespace
