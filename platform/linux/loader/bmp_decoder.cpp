// BMP through SDL2's reader (1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bottom-up and
// top-down). The header is checked first (size, layout, masks), before SDL allocates. Bit fields
// come through our own decoder, which takes every valid mask; uncompressed 24-bit files, the
// usual large ones, are read here directly: each row straight from the file's bytes into the
// picture, reduced on the way when the request's box is smaller.
#include "platform/linux/loader/decoders.h"
#include "show/bmp_bit_fields.h"
#include "show/drawing.h"
#include "show/picture_formats.h"
#include "show/picture_headers.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <SDL.h>

namespace velmora::decode {
namespace {

// The picture at the size the show places it at when the request has a box and that is
// smaller, else whole. Output row y and column x take the file's pixel under their centre,
// as the show's stretched copy does, so the reduced picture is placed 1:1 with the pixels the
// whole one would have given. Neither the whole picture nor a second copy is ever held.
Result<LoadedPicture> decodePlain24(const std::uint8_t* data, const loading::BmpHeader& header, const LoadRequest& request)
{
    const int w = int(header.width);
    const int h = int(header.height);
    PictureSize out{w, h};
    if (request.fitWidth > 0 && request.fitHeight > 0) {
        const PictureSize fitted = loading::fittedSize({w, h}, request.fitWidth, request.fitHeight);
        if (fitted.width > 0 && fitted.height > 0 && fitted.width <= w && fitted.height <= h) {
            out = fitted;
        }
    }
    const bool topDown = header.topDown;
    const std::size_t stride = (std::size_t(w) * 24 + 31) / 32 * 4;
    const std::uint8_t* pixels = data + header.pixelOffset;
    std::vector<std::size_t> columns(std::size_t(out.width));
    for (int x = 0; x < out.width; ++x) {
        columns[std::size_t(x)] = 3 * std::size_t(show::stretchSample(x, out.width, w));
    }
    LoadedPicture result;
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

Result<LoadedPicture> decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    loading::BmpHeader header;
    if (Result<void> checked = loading::readBmpHeader(data, size, header); !checked.ok()) {
        return checked.reason();
    }
    if (header.compression == loading::kBmpBitFields || header.compression == loading::kBmpAlphaBitFields) {
        LoadedPicture result;
        result.picture = loading::decodeBitFieldBmp(data, size, header);
        result.ownSize = {result.picture.width(), result.picture.height()};
        return result;
    }
    if (header.bitsPerPixel == 24 && header.compression == loading::kBmpRgb) {
        return decodePlain24(data, header, request);
    }
    if (size > std::size_t(INT32_MAX)) {
        return Reason{"BMP file is too large"};
    }
    SDL_ClearError();
    SDL_RWops* stream = SDL_RWFromConstMem(data, int(size));
    if (stream == nullptr) {
        return Reason{sdlReason()};
    }
    Surface loaded(SDL_LoadBMP_RW(stream, 1));
    if (!loaded) {
        return Reason{sdlReason()};
    }
    Surface converted(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB888, 0));
    if (!converted) {
        return Reason{sdlReason()};
    }
    loaded.reset();
    SDL_Surface* s = converted.get();
    if (Result<void> checked = loading::checkPictureSize(s->w, s->h); !checked.ok()) {
        return checked.reason();
    }
    LoadedPicture result;
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
    return result;
}

Result<PictureSize> bmpSize(const std::uint8_t* data, std::size_t size)
{
    loading::BmpHeader header;
    if (Result<void> checked = loading::readBmpHeader(data, size, header); !checked.ok()) {
        return checked.reason();
    }
    return PictureSize{int(header.width), int(header.height)};
}

} // namespace velmora::decode
