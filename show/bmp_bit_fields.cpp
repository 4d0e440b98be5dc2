// Bit-field BMP pixels: each channel taken by its mask and stretched to 8 bits.
#include "show/bmp_bit_fields.h"

#include <bit>
#include <cassert>

namespace velmora::loading {

namespace {

struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t largest = 0; // the channel's full value once shifted down
};

Channel channelOf(std::uint32_t mask)
{
    if (mask == 0) {
        return {};
    }
    const int shift = std::countr_zero(mask);
    return {mask, shift, mask >> shift};
}

std::uint8_t eightBits(std::uint32_t pixel, const Channel& c)
{
    if (c.largest == 0) {
        return 0;
    }
    const std::uint64_t value = (pixel & c.mask) >> c.shift;
    return std::uint8_t((value * 255 + c.largest / 2) / c.largest);
}

} // namespace

Picture decodeBitFieldBmp(const std::uint8_t* data, std::size_t size, const BmpHeader& header)
{
    assert(header.compression == kBmpBitFields || header.compression == kBmpAlphaBitFields);
    assert(header.bitsPerPixel == 16 || header.bitsPerPixel == 32);
    const int width = int(header.width);
    const int height = int(header.height);
    const std::size_t bytesPerPixel = std::size_t(header.bitsPerPixel) / 8;
    const std::size_t stride = (std::size_t(width) * bytesPerPixel + 3) / 4 * 4;
    assert(header.pixelOffset + stride * std::size_t(height) <= size);
    (void)size;
    const Channel red = channelOf(header.masks[0]);
    const Channel green = channelOf(header.masks[1]);
    const Channel blue = channelOf(header.masks[2]);
    Picture picture(width, height);
    for (int y = 0; y < height; ++y) {
        const int fileRow = header.topDown ? y : height - 1 - y;
        const std::uint8_t* in = data + header.pixelOffset + stride * std::size_t(fileRow);
        std::uint8_t* out = picture.pixel(0, y);
        for (int x = 0; x < width; ++x, in += bytesPerPixel, out += 4) {
            std::uint32_t pixel = std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8;
            if (bytesPerPixel == 4) {
                pixel |= std::uint32_t(in[2]) << 16 | std::uint32_t(in[3]) << 24;
            }
            out[0] = eightBits(pixel, blue);
            out[1] = eightBits(pixel, green);
            out[2] = eightBits(pixel, red);
            out[3] = 0;
        }
    }
    return picture;
}

} // namespace velmora::loading
