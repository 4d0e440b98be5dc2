// The show asks for per-monitor DPI awareness at run time, so on a scaled display it sizes
// itself in real pixels even when started without its manifest (as this test program is).
// (Wine gives unaware programs real pixels too, so the screen's size cannot tell here.)
#include "platform/win32/show_window.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(DpiAwareness, TheRequestMakesTheProgramPerMonitorAwareAndARepeatChangesNothing)
{
    velmora::win32::enableDpiAwareness();
    velmora::win32::enableDpiAwareness();
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
}
