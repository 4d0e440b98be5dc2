// The DIB section behind the show window and the copy of the desktop.
#include "platform/win32/show_surface.h"

#include <cassert>
#include <cstring>

namespace velmora::win32 {

bool DibSurface::create(int width, int height)
{
    release();
    if (width <= 0 || height <= 0) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as Picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    if (bitmap_ == nullptr || dc_ == nullptr || bits == nullptr) {
        release();
        return false;
    }
    previous_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<std::uint8_t*>(bits);
    width_ = width;
    height_ = height;
    std::memset(bits_, 0, std::size_t(width) * std::size_t(height) * 4);
    return true;
}

void DibSurface::release()
{
    if (dc_ != nullptr) {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
        DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
}

void DibSurface::copyFrom(const Picture& picture, const show::Rect& area)
{
    if (empty() || picture.width() != width_ || picture.height() != height_) {
        return;
    }
    const show::Rect part = show::intersect(area, {0, 0, width_, height_});
    if (part.empty()) {
        return;
    }
    GdiFlush(); // GDI must be done with the bits before they change
    const std::size_t stride = std::size_t(width_) * 4;
    const std::size_t offset = std::size_t(part.x) * 4;
    const std::size_t length = std::size_t(part.width) * 4;
    for (int y = part.y; y < part.bottom(); ++y) {
        const std::size_t row = std::size_t(y) * stride + offset;
        std::memcpy(bits_ + row, picture.data() + row, length);
    }
}

void DibSurface::copyTo(Picture& picture) const
{
    if (empty()) {
        return;
    }
    GdiFlush();
    picture.resize(width_, height_);
    std::memcpy(picture.data(), bits_, picture.byteCount());
}

void Win32ShowPlatform::present(const Picture& display, const show::Rect& area)
{
    surface_.copyFrom(display, area);
    if (window_ == nullptr || surface_.empty()) {
        return;
    }
    if (HDC dc = GetDC(window_); dc != nullptr) {
        BitBlt(dc, area.x, area.y, area.width, area.height, surface_.dc(), area.x, area.y, SRCCOPY);
        ReleaseDC(window_, dc);
    }
}

bool Win32ShowPlatform::copyDesktop(Picture& target)
{
    if (target.empty()) {
        return false;
    }
    DibSurface copy;
    if (!copy.create(target.width(), target.height())) {
        return false;
    }
    HDC screen = GetDC(nullptr); // the whole screen, whatever windows are on it
    if (screen == nullptr) {
        return false;
    }
    const BOOL copied = BitBlt(copy.dc(), 0, 0, target.width(), target.height(), screen, originX_, originY_, SRCCOPY);
    ReleaseDC(nullptr, screen);
    if (!copied) {
        return false;
    }
    copy.copyTo(target);
    // The reserved byte of a screen copy is whatever the driver left there; the core keeps it 0.
    std::uint8_t* bytes = target.data();
    for (std::size_t i = 3; i < target.byteCount(); i += 4) {
        bytes[i] = 0;
    }
    return true;
}

std::int64_t Win32ShowPlatform::nowMilliseconds() { return std::int64_t(GetTickCount64()); }

void Win32ShowPlatform::paint(HDC dc, const RECT& area) const
{
    if (surface_.empty()) {
        return;
    }
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, surface_.dc(), area.left,
           area.top, SRCCOPY);
}

} // namespace velmora::win32
