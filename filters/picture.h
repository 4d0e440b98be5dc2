// The picture buffer shared by the filter engine, the show and the dialog:
// 32-bit pixels, top row first, no row padding, bytes blue, green, red, reserved.
// This is exactly the memory of a 32-bit top-down DIB section.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <vector>

namespace velmora {

// A non-owning window onto pixel memory laid out as above (a Picture's or a DIB section's).
struct PictureView {
    std::uint8_t* bytes = nullptr;
    int width = 0;
    int height = 0;

    std::size_t byteCount() const { return std::size_t(width) * std::size_t(height) * 4; }
    std::uint8_t* pixel(int x, int y) const
    {
        assert(x >= 0 && x < width && y >= 0 && y < height);
        return bytes + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
    }
};

class Picture {
public:
    Picture() = default;
    Picture(int width, int height) { resize(width, height); }
    // An empty picture whose pixels will live in `memory` (memory another reader shares, such
    // as the screen's). Copies of it take ordinary memory; assignments to it keep `memory`.
    explicit Picture(std::pmr::memory_resource* memory) : bytes_(memory) { assert(memory != nullptr); }

    // Resizes to width x height; every pixel becomes black (all four bytes 0).
    void resize(int width, int height)
    {
        assert(width >= 0 && height >= 0);
        width_ = width;
        height_ = height;
        bytes_.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    }

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    std::size_t byteCount() const { return bytes_.size(); }
    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }

    std::uint8_t* pixel(int x, int y)
    {
        assert(x >= 0 && x < width_ && y >= 0 && y < height_);
        return bytes_.data() + (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4;
    }
    const std::uint8_t* pixel(int x, int y) const
    {
        assert(x >= 0 && x < width_ && y >= 0 && y < height_);
        return bytes_.data() + (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 4;
    }

    // The pixel as 0x00RRGGBB plus the reserved byte in the top 8 bits (little-endian load).
    std::uint32_t pixelValue(int x, int y) const
    {
        const std::uint8_t* p = pixel(x, y);
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    void setPixel(int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red,
                  std::uint8_t reserved = 0)
    {
        std::uint8_t* p = pixel(x, y);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        p[3] = reserved;
    }

    PictureView view() { return PictureView{bytes_.data(), width_, height_}; }

    bool operator==(const Picture&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::pmr::vector<std::uint8_t> bytes_;
};

} // namespace velmora
