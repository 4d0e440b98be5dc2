// The Linux decoders, one per format, working on a file's bytes in memory; the fuzz
// targets call them directly. Each gives the picture as stored: the common front end
// (show/decoding_loader.h) tells the format and turns the picture by its EXIF tag.
#pragma once

#include "show/decoding_loader.h"
#include "show/picture_formats.h"
#include "show/picture_loader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace velmora::decode {

LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeGif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
// An uncompressed 24-bit bitmap read row by row from the file (the front end's decodeAsRead);
// nullopt for any other bitmap.
std::optional<LoadResult> decodeBmpAsRead(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize,
                                          loading::RegularFile& rest, const LoadRequest& request);
// Draws in the helper program velmora-wmf, stopped at the time cap; a fault there fails
// with kRendererCrashed.
LoadResult decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
inline constexpr const char* kRendererCrashed = "WMF: the renderer crashed on this metafile";

// The fifth kind: PNG, TIFF, WebP, and HEIC, HEIF and AVIF through libheif.
LoadResult decodePng(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeTiff(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeWebp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeHeif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);

SizeResult jpegSize(const std::uint8_t* data, std::size_t size);
SizeResult gifSize(const std::uint8_t* data, std::size_t size);
SizeResult bmpSize(const std::uint8_t* data, std::size_t size);
SizeResult wmfSize(const std::uint8_t* data, std::size_t size);
SizeResult pngSize(const std::uint8_t* data, std::size_t size);
SizeResult tiffSize(const std::uint8_t* data, std::size_t size);
SizeResult webpSize(const std::uint8_t* data, std::size_t size);
SizeResult heifSize(const std::uint8_t* data, std::size_t size);

// Pixels whose fourth byte holds straight alpha, laid on black as the show composes; the
// fourth byte becomes the picture's reserved 0.
void layOnBlack(Picture& picture);
// Pixels already premultiplied (so already on black): only the fourth byte is cleared.
void clearReservedBytes(Picture& picture);

inline SizeResult sizeFailure(std::string why)
{
    SizeResult r;
    r.error = std::move(why);
    return r;
}

// A header's size as a size query answers it: the size, or the limit it passes.
inline SizeResult checkedSize(long long width, long long height)
{
    if (std::string why = loading::checkPictureSize(width, height); !why.empty()) {
        return sizeFailure(std::move(why));
    }
    SizeResult r;
    r.size = {int(width), int(height)};
    r.ok = true;
    return r;
}

// A file's bytes read front to back through a library's read callback.
struct MemoryInput {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;

    // Copies up to `count` bytes on from the position; the number copied.
    std::size_t read(void* out, std::size_t count)
    {
        const std::size_t n = std::min(count, size - position);
        std::memcpy(out, data + position, n);
        position += n;
        return n;
    }
};

} // namespace velmora::decode
