// Pixel layout conversion by channel masks; the common 32-bit layout is a plain row copy.
#include "platform/linux/shell_pixels.h"

#include <bit>
#include <cassert>
#include <cstring>

namespace velmora::shell {

namespace {

struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel channelOf(std::uint32_t mask)
{
    if (mask == 0) {
        return {};
    }
    return {std::countr_zero(mask), std::popcount(mask)};
}

std::uint32_t toChannel(std::uint8_t value, Channel c)
{
    if (c.bits == 0) {
        return 0;
    }
    const std::uint32_t v = c.bits >= 8 ? std::uint32_t(value) << (c.bits - 8) : std::uint32_t(value) >> (8 - c.bits);
    return v << c.shift;
}

std::uint8_t fromChannel(std::uint32_t pixel, Channel c)
{
    if (c.bits == 0) {
        return 0;
    }
    const std::uint32_t v = (pixel >> c.shift) & ((c.bits >= 32 ? 0 : (1u << c.bits)) - 1u);
    if (c.bits >= 8) {
        return std::uint8_t(v >> (c.bits - 8));
    }
    // Repeat the high bits into the low ones so that full scale stays full scale.
    std::uint32_t wide = 0;
    for (int filled = 0; filled < 8; filled += c.bits) {
        wide = (wide << c.bits) | v;
    }
    const int total = ((8 + c.bits - 1) / c.bits) * c.bits;
    return std::uint8_t(wide >> (total - 8));
}

std::uint32_t loadPixel(const std::uint8_t* p, int bytes, bool msbFirst)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int index = msbFirst ? i : bytes - 1 - i;
        v = (v << 8) | p[index];
    }
    return v;
}

void storePixel(std::uint8_t* p, int bytes, bool msbFirst, std::uint32_t v)
{
    for (int i = 0; i < bytes; ++i) {
        const int index = msbFirst ? bytes - 1 - i : i;
        p[index] = std::uint8_t(v >> (8 * i));
    }
}

} // namespace

bool PixelLayout::sameAsPicture() const
{
    return bitsPerPixel == 32 && !msbFirst && redMask == 0xFF0000 && greenMask == 0x00FF00 && blueMask == 0x0000FF;
}

bool PixelLayout::supported() const
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) {
        return false;
    }
    const std::uint64_t limit = bitsPerPixel == 32 ? 0x100000000ull : (1ull << bitsPerPixel);
    for (std::uint32_t mask : {redMask, greenMask, blueMask}) {
        // Each channel one contiguous run of bits inside the pixel.
        if (mask == 0 || mask >= limit) {
            return false;
        }
        const std::uint32_t low = mask >> std::countr_zero(mask);
        if ((low & (low + 1)) != 0) {
            return false;
        }
    }
    return true;
}

bool unpackPixels(const std::uint8_t* in, int inStride, const PixelLayout& layout, int w, int h, Picture& target)
{
    if (!layout.supported() || w < 0 || h < 0) {
        return false;
    }
    target.resize(w, h);
    const int bytes = layout.bitsPerPixel / 8;
    const Channel r = channelOf(layout.redMask);
    const Channel g = channelOf(layout.greenMask);
    const Channel b = channelOf(layout.blueMask);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = in + std::size_t(y) * std::size_t(inStride);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = loadPixel(row + std::size_t(x) * std::size_t(bytes), bytes, layout.msbFirst);
            target.setPixel(x, y, fromChannel(v, b), fromChannel(v, g), fromChannel(v, r));
        }
    }
    return true;
}

bool packPixels(const Picture& source, const show::Rect& area, const PixelLayout& layout, std::uint8_t* out,
                int outStride)
{
    if (!layout.supported()) {
        return false;
    }
    assert(area.x >= 0 && area.y >= 0 && area.right() <= source.width() && area.bottom() <= source.height());
    if (area.empty()) {
        return true;
    }
    if (layout.sameAsPicture()) {
        for (int y = 0; y < area.height; ++y) {
            std::memcpy(out + std::size_t(y) * std::size_t(outStride), source.pixel(area.x, area.y + y),
                        std::size_t(area.width) * 4);
        }
        return true;
    }
    const int bytes = layout.bitsPerPixel / 8;
    const Channel r = channelOf(layout.redMask);
    const Channel g = channelOf(layout.greenMask);
    const Channel b = channelOf(layout.blueMask);
    for (int y = 0; y < area.height; ++y) {
        std::uint8_t* row = out + std::size_t(y) * std::size_t(outStride);
        const std::uint8_t* p = source.pixel(area.x, area.y + y);
        for (int x = 0; x < area.width; ++x, p += 4) {
            const std::uint32_t v = toChannel(p[2], r) | toChannel(p[1], g) | toChannel(p[0], b);
            storePixel(row + std::size_t(x) * std::size_t(bytes), bytes, layout.msbFirst, v);
        }
    }
    return true;
}

} // namespace velmora::shell
