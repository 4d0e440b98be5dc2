// How the Windows show puts the core's Display on the screen: a top-down 32-bit DIB section
// with the Picture's own memory layout, blitted a changed rectangle at a time.
#pragma once

#include "show/show_platform.h"

#include <windows.h>

namespace velmora::win32 {

// A top-down 32-bit DIB section selected into its own memory device context.
class DibSurface {
public:
    DibSurface() = default;
    ~DibSurface() { release(); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    // Makes a black surface of width x height; false (and an empty surface) when GDI refuses.
    bool create(int width, int height);
    void release();

    bool empty() const { return bits_ == nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_; }
    // Pixel memory in Picture layout. Call GdiFlush() before touching it after GDI drew.
    std::uint8_t* bits() const { return bits_; }

    // Copies `area` of `picture` (the same size as the surface) into the surface.
    void copyFrom(const Picture& picture, const show::Rect& area);
    // Copies the whole surface into `picture`, resized to match.
    void copyTo(Picture& picture) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The show's platform: Display through the DIB onto the window, the desktop through the
// screen's device context, time from the tick counter.
class Win32ShowPlatform final : public show::ShowPlatform {
public:
    // The window may be set later; until then presenting only updates the surface.
    void attach(HWND window) { window_ = window; }
    bool prepare(int width, int height) { return surface_.create(width, height); }
    // Where on the virtual screen the window's monitor starts: its desktop copy comes from there.
    void setOrigin(int x, int y)
    {
        originX_ = x;
        originY_ = y;
    }

    void present(const Picture& display, const show::Rect& area) override;
    bool copyDesktop(Picture& target) override;
    std::int64_t nowMilliseconds() override;

    // Paints `area` of the last presented Display into `dc` (WM_PAINT).
    void paint(HDC dc, const RECT& area) const;

private:
    HWND window_ = nullptr;
    DibSurface surface_;
    int originX_ = 0;
    int originY_ = 0;
};

} // namespace velmora::win32
