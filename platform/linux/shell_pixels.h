// Conversion between the show's 32-bit blue-green-red pixels and an X server's pixel
// layout (any TrueColor depth and byte order), for the root-window copy and the hack's drawing.
#pragma once

#include "filters/picture.h"
#include "show/drawing.h"

#include <cstdint>

namespace velmora::shell {

struct PixelLayout {
    int bitsPerPixel = 32; // 16, 24 or 32
    std::uint32_t redMask = 0xFF0000;
    std::uint32_t greenMask = 0x00FF00;
    std::uint32_t blueMask = 0x0000FF;
    bool msbFirst = false; // byte order of a pixel in memory

    // Exactly the picture's own memory layout: rows can be copied as they are.
    bool sameAsPicture() const;
    bool supported() const;
};

// Reads w x h pixels from `in` (rows `inStride` bytes apart) into `target`, resized to w x h.
// The reserved byte becomes 0. Returns false for a layout it does not know.
bool unpackPixels(const std::uint8_t* in, int inStride, const PixelLayout& layout, int w, int h,
                  Picture& target);

// Writes `area` of `source` (which must lie inside it) to `out` in `layout`, row 0 of the
// area at `out`, rows `outStride` bytes apart. Returns false for a layout it does not know.
bool packPixels(const Picture& source, const show::Rect& area, const PixelLayout& layout, std::uint8_t* out,
                int outStride);

} // namespace velmora::shell
