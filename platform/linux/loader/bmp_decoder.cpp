// BMP through SDL2's reader (1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bottom-up and
// top-down, bit fields). The header's size is checked here first, before SDL allocates.
// Uncompressed 24-bit files, the usual large ones, are read here directly: each row straight
// from the file's bytes into the picture, reduced on the way when the request's box is smaller.
#include "platform/linux/loader/decoders.h"
#include "show/drawing.h"
#include "show/picture_formats.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <SDL.h>

namespace velmora::decode {
namespace {

std::uint32_t u32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Width and height as the info header claims them (height positive for top-down files).
bool readHeaderSize(const std::uint8_t* data, std::size_t size, long long& width, long long& height,
                    std::string& why)
{
    if (size < 18 || data[0] != 'B' || data[1] != 'M') {
        why = "not a BMP file";
        return false;
    }
    const std::uint32_t infoSize = u32(data + 14);
    if (infoSize == 12) {
        if (size < 26) {
            why = "BMP header is cut short";
            return false;
        }
        width = data[18] | data[19] << 8;
        height = data[20] | data[21] << 8;
        return true;
    }
    if (infoSize < 40 || size < 26) {
        why = infoSize < 40 ? "BMP header kind not supported" : "BMP header is cut short";
        return false;
    }
    width = std::int32_t(u32(data + 18));
    height = std::int32_t(u32(data + 22));
    if (height < 0) {
        height = -height;
    }
    if (width < 0) {
        why = "BMP width is negative";
        return false;
    }
    return true;
}

// Uncompressed pixel rows must all be in the file; checked before SDL takes memory for them,
// so a few bytes claiming a huge picture cost nothing. RLE data may legitimately be tiny.
bool pixelDataFits(const std::uint8_t* data, std::size_t size, long long width, long long height, std::string& why)
{
    const std::uint32_t infoSize = u32(data + 14);
    const std::size_t headerEnd = 14 + (infoSize == 12 ? 12 : 40);
    if (size < headerEnd) {
        why = "BMP header is cut short";
        return false;
    }
    const int bits = infoSize == 12 ? (data[24] | data[25] << 8) : (data[28] | data[29] << 8);
    const std::uint32_t compression = infoSize == 12 ? 0 : u32(data + 30);
    if (compression != 0 && compression != 3 && compression != 6) {
        return true;
    }
    const unsigned long long stride = ((unsigned long long)(width) * unsigned(bits) + 31) / 32 * 4;
    const unsigned long long needed = (unsigned long long)(u32(data + 10)) + stride * (unsigned long long)(height);
    if (bits == 0 || needed > size) {
        why = "BMP pixel data is cut short";
        return false;
    }
    return true;
}

// A 24-bit uncompressed file: no palette, no masks, rows of blue, green, red.
bool plain24(const std::uint8_t* data)
{
    const std::uint32_t infoSize = u32(data + 14);
    if (infoSize == 12) {
        return (data[24] | data[25] << 8) == 24;
    }
    return (data[28] | data[29] << 8) == 24 && u32(data + 30) == 0;
}

// The picture at the size the show places it at when the request has a box and that is
// smaller, else whole. Output row y and column x take the file's pixel under their centre,
// as the show's stretched copy does, so the reduced picture is placed 1:1 with the pixels the
// whole one would have given. Neither the whole picture nor a second copy is ever held.
LoadResult decodePlain24(const std::uint8_t* data, long long width, long long height, const LoadRequest& request)
{
    const int w = int(width);
    const int h = int(height);
    PictureSize out{w, h};
    if (request.fitWidth > 0 && request.fitHeight > 0) {
        const PictureSize fitted = loading::fittedSize({w, h}, request.fitWidth, request.fitHeight);
        if (fitted.width > 0 && fitted.height > 0 && fitted.width <= w && fitted.height <= h) {
            out = fitted;
        }
    }
    const bool topDown = u32(data + 14) != 12 && std::int32_t(u32(data + 22)) < 0;
    const std::size_t stride = (std::size_t(w) * 24 + 31) / 32 * 4;
    const std::uint8_t* pixels = data + u32(data + 10);
    std::vector<std::size_t> columns(std::size_t(out.width));
    for (int x = 0; x < out.width; ++x) {
        columns[std::size_t(x)] = 3 * std::size_t(show::stretchSample(x, out.width, w));
    }
    LoadResult result;
    result.picture.resize(out.width, out.height);
    result.ownSize = {w, h};
    for (int y = 0; y < out.height; ++y) {
        const int sy = show::stretchSample(y, out.height, h);
        const std::uint8_t* row = pixels + stride * std::size_t(topDown ? sy : h - 1 - sy);
        std::uint8_t* dst = result.picture.data() + std::size_t(out.width) * 4 * std::size_t(y);
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const std::uint8_t* p = row + columns[x];
            dst[4 * x] = p[0];
            dst[4 * x + 1] = p[1];
            dst[4 * x + 2] = p[2];
            dst[4 * x + 3] = 0;
        }
    }
    result.ok = true;
    return result;
}

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

std::string sdlReason()
{
    const char* text = SDL_GetError();
    return std::string("BMP: ") + (text != nullptr && *text != '\0' ? text : "cannot decode");
}

} // namespace

LoadResult decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    long long width = 0;
    long long height = 0;
    std::string why;
    if (!readHeaderSize(data, size, width, height, why)) {
        return LoadResult::failure(why);
    }
    if (why = loading::checkPictureSize(width, height); !why.empty()) {
        return LoadResult::failure(why);
    }
    if (!pixelDataFits(data, size, width, height, why)) {
        return LoadResult::failure(why);
    }
    if (plain24(data)) {
        return decodePlain24(data, width, height, request);
    }
    if (size > std::size_t(INT32_MAX)) {
        return LoadResult::failure("BMP file is too large");
    }
    SDL_ClearError();
    SDL_RWops* stream = SDL_RWFromConstMem(data, int(size));
    if (stream == nullptr) {
        return LoadResult::failure(sdlReason());
    }
    Surface loaded(SDL_LoadBMP_RW(stream, 1));
    if (!loaded) {
        return LoadResult::failure(sdlReason());
    }
    Surface converted(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB888, 0));
    if (!converted) {
        return LoadResult::failure(sdlReason());
    }
    loaded.reset();
    SDL_Surface* s = converted.get();
    if (std::string bad = loading::checkPictureSize(s->w, s->h); !bad.empty()) {
        return LoadResult::failure(bad);
    }
    LoadResult result;
    result.picture.resize(s->w, s->h);
    result.ownSize = {s->w, s->h};
    const std::size_t rowBytes = std::size_t(s->w) * 4;
    const auto* pixels = static_cast<const std::uint8_t*>(s->pixels);
    for (int y = 0; y < s->h; ++y) {
        std::uint8_t* out = result.picture.data() + rowBytes * std::size_t(y);
        std::memcpy(out, pixels + std::size_t(s->pitch) * std::size_t(y), rowBytes);
        for (int x = 0; x < s->w; ++x) {
            out[std::size_t(x) * 4 + 3] = 0; // the reserved byte, whatever the file's alpha was
        }
    }
    result.ok = true;
    return result;
}

SizeResult bmpSize(const std::uint8_t* data, std::size_t size)
{
    long long width = 0;
    long long height = 0;
    std::string why;
    if (!readHeaderSize(data, size, width, height, why)) {
        return sizeFailure(why);
    }
    if (why = loading::checkPictureSize(width, height); !why.empty()) {
        return sizeFailure(why);
    }
    SizeResult result;
    result.ok = true;
    result.size = {int(width), int(height)};
    return result;
}

} // namespace velmora::decode
