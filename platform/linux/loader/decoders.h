// The Linux decoders, one per format, working on a file's bytes in memory; the fuzz
// targets call them directly. Each gives the picture as stored: the common front end
// (show/decoding_loader.h) tells the format and turns the picture by its EXIF tag.
#pragma once

#include "show/picture_loader.h"

#include <cstddef>
#include <cstdint>

namespace velmora::decode {

LoadResult decodeJpeg(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeGif(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
LoadResult decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
// Draws in the helper program velmora-wmf, stopped at the time cap; a fault there fails
// with kRendererCrashed.
LoadResult decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request);
inline constexpr const char* kRendererCrashed = "WMF: the renderer crashed on this metafile";

SizeResult jpegSize(const std::uint8_t* data, std::size_t size);
SizeResult gifSize(const std::uint8_t* data, std::size_t size);
SizeResult bmpSize(const std::uint8_t* data, std::size_t size);
SizeResult wmfSize(const std::uint8_t* data, std::size_t size);

inline SizeResult sizeFailure(std::string why)
{
    SizeResult r;
    r.error = std::move(why);
    return r;
}

} // namespace velmora::decode
