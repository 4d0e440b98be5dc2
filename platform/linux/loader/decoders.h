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

Result<LoadedPicture> decodeJpeg(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
Result<LoadedPicture> decodeGif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
Result<LoadedPicture> decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
// An uncompressed 24-bit bitmap read row by row from the file (the front end's decodeAsRead);
// nullopt for any other bitmap.
std::optional<Result<LoadedPicture>> decodeBmpAsRead(const std::uint8_t* head, std::size_t headSize,
                                                     std::uint64_t fileSize, loading::RegularFile& rest,
                                                     const LoadRequest& request);
// Draws in the helper program velmora-wmf, stopped at the time cap; a fault there fails
// with kRendererCrashed.
Result<LoadedPicture> decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
inline constexpr const char* kRendererCrashed = "WMF: the renderer crashed on this metafile";

// The fifth kind: PNG, TIFF, WebP, and HEIC, HEIF and AVIF through libheif.
Result<LoadedPicture> decodePng(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
Result<LoadedPicture> decodeTiff(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
Result<LoadedPicture> decodeWebp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
Result<LoadedPicture> decodeHeif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);

Result<PictureSize> jpegSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> gifSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> bmpSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> wmfSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> pngSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> tiffSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> webpSize(const std::uint8_t* data, std::size_t size);
Result<PictureSize> heifSize(const std::uint8_t* data, std::size_t size);

// Pixels whose fourth byte holds straight alpha, laid on black as the show composes; the
// fourth byte becomes the picture's reserved 0.
void layOnBlack(Picture& picture);
// Pixels already premultiplied (so already on black): only the fourth byte is cleared.
void clearReservedBytes(Picture& picture);

// A header's size as a size query answers it: the size, or the limit it passes.
inline Result<PictureSize> checkedSize(long long width, long long height)
{
    if (Result<void> checked = loading::checkPictureSize(width, height); !checked.ok()) {
        return checked.reason();
    }
    return PictureSize{int(width), int(height)};
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
