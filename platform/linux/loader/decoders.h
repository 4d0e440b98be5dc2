// The Linux decoders, one per format, working on a file's bytes in memory; the fuzz
// targets call them directly.
#pragma once

#include "show/picture_loader.h"

#include <cstddef>
#include <cstdint>

namespace velmora::decode {

LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeGif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
// Draws in a child process, stopped at the time cap; a fault there fails with kRendererCrashed.
LoadResult decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
inline constexpr const char* kRendererCrashed = "WMF: the renderer crashed on this metafile";

SizeResult jpegSize(const std::uint8_t* data, std::size_t size);
SizeResult gifSize(const std::uint8_t* data, std::size_t size);
SizeResult bmpSize(const std::uint8_t* data, std::size_t size);
SizeResult wmfSize(const std::uint8_t* data, std::size_t size);

// By content: whichever of the above the bytes are.
LoadResult decodePicture(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
SizeResult pictureSize(const std::uint8_t* data, std::size_t size);

// The EXIF orientation (1..8) in an APP1 block's payload, 1 when absent or unreadable.
int exifOrientation(const std::uint8_t* data, std::size_t size);

inline SizeResult sizeFailure(std::string why)
{
    SizeResult r;
    r.error = std::move(why);
    return r;
}

} // namespace velmora::decode
