// The front end's look at a picture's header before any platform decoder sees the bytes: the
// size each kind declares (JPEG frame, GIF screen and first frame, BMP header and colour masks,
// metafile bounds and records), held to the same limits on every system.
#pragma once

#include "show/picture_formats.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora::loading {

// Ok when the header of a file of this kind is one the decoders may be given, else the
// reason it is refused. Never reads past `size`.
Result<void> checkDeclaredHeader(PictureFormat format, const std::uint8_t* data, std::size_t size);

// What a BMP's headers say about its pixels.
struct BmpHeader {
    long long width = 0;
    long long height = 0;       // always positive; `topDown` tells the row order
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t infoSize = 0;
    std::uint32_t pixelOffset = 0;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha: bit-field files only
};
inline constexpr std::uint32_t kBmpRgb = 0;
inline constexpr std::uint32_t kBmpRle8 = 1;
inline constexpr std::uint32_t kBmpRle4 = 2;
inline constexpr std::uint32_t kBmpBitFields = 3;
inline constexpr std::uint32_t kBmpAlphaBitFields = 6;

// The header read and checked (size limits, a known layout, masks that are contiguous, apart
// and within the pixel), or the reason it is refused.
Result<void> readBmpHeader(const std::uint8_t* data, std::size_t size, BmpHeader& header);
// The same from the file's first `size` bytes, the file being `fileSize` bytes long.
Result<void> readBmpHeader(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, BmpHeader& header);

} // namespace velmora::loading
