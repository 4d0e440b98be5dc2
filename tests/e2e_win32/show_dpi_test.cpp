// The show asks for per-monitor DPI awareness at run time, so on a scaled display it sizes
// itself in real pixels even when started without its manifest (as this test program is).
#include "platform/win32/show_window.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(DpiAwareness, AfterTheRequestTheScreenIsMeasuredInRealPixels)
{
    const int scaledWidth = GetSystemMetrics(SM_CXSCREEN);
    const int scaledHeight = GetSystemMetrics(SM_CYSCREEN);
    velmora::win32::enableDpiAwareness();
    velmora::win32::enableDpiAwareness(); // a second request changes nothing
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);

    // Real pixels are never fewer than scaled ones. (Wine gives unaware programs real pixels
    // too, so there the two readings agree at any scale.)
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_GE(width, scaledWidth);
    EXPECT_GE(height, scaledHeight);
    if (scaledWidth > 0 && width != scaledWidth) {
        EXPECT_EQ(MulDiv(scaledWidth, int(GetDpiForSystem()), 96), width);
    }
}
