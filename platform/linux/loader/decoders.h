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

} // namespace velmora::decode
