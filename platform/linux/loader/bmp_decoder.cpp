// BMP through SDL2's reader (1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bottom-up and
// top-down); bit fields by our own decoder, which takes every valid mask. The header is checked
// first (size, layout, masks), before SDL allocates.
#include "platform/linux/loader/decoders.h"
#include "show/bmp_bit_fields.h"
#include "show/picture_formats.h"
#include "show/picture_headers.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <SDL.h>

namespace velmora::decode {
namespace {

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

LoadResult decodeBmp(const std::uint8_t* data, std::size_t size, const LoadRequest&)
{
    loading::BmpHeader header;
    if (std::string why = loading::readBmpHeader(data, size, header); !why.empty()) {
        return LoadResult::failure(why);
    }
    if (header.compression == loading::kBmpBitFields || header.compression == loading::kBmpAlphaBitFields) {
        LoadResult result;
        result.picture = loading::decodeBitFieldBmp(data, size, header);
        result.ownSize = {result.picture.width(), result.picture.height()};
        result.ok = true;
        return result;
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
    loading::BmpHeader header;
    if (std::string why = loading::readBmpHeader(data, size, header); !why.empty()) {
        return sizeFailure(why);
    }
    SizeResult result;
    result.ok = true;
    result.size = {int(header.width), int(header.height)};
    return result;
}

} // namespace velmora::decode
