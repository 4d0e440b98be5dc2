// The show window follows a change of the screen's size: the window and the show's buffers
// take the new size through Form_Resize. Opening it makes the program per-monitor DPI aware,
// so on a scaled display it sizes itself in real pixels even without its manifest (as this
// program is); Wine gives unaware programs real pixels too, so the screen's size cannot tell.
// A program of its own, as its window stays on top until the process ends.
#include "platform/win32/show_window.h"
#include "startup/main_logic.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(ShowWindow, OpeningMakesTheProgramDpiAwareAndADisplayChangeResizesTheWindowAndTheShow)
{
    static velmora::StartupState state; // no mode letter: the system's flags stay untouched
    ASSERT_TRUE(velmora::win32::openShowWindow(state));
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
    const HWND show = FindWindowW(L"VelmoraShow", nullptr);
    ASSERT_NE(show, nullptr);
    RECT before{};
    ASSERT_TRUE(GetClientRect(show, &before));
    EXPECT_EQ(before.right, GetSystemMetrics(SM_CXSCREEN));

    const int width = before.right / 2 + 3; // not a multiple of 8 x 6 either
    const int height = before.bottom / 2 + 1;
    SendMessageW(show, WM_DISPLAYCHANGE, 32, MAKELPARAM(width, height));
    RECT after{};
    ASSERT_TRUE(GetClientRect(show, &after));
    EXPECT_EQ(after.right, width);
    EXPECT_EQ(after.bottom, height);

    // The resize was handled where it arrived: what it queued (painting, timers) runs at the new size.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(IsWindow(show));
}
