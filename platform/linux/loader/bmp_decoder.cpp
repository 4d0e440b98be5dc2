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
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <SDL.h>

namespace velmora::decode {
namespace {

// The picture at the size the show places it at when the request has a box and that is
// smaller, else whole. Output row y and column x take the file's pixel under their centre,
// as the show's stretched copy does, so the reduced picture is placed 1:1 with the pixels the
// whole one would have given. The rows come in the file's order from `nextRow` (the next
// row's bytes, or null when the file ends first), each asked for once: neither the whole
// picture nor the whole file is ever held.
template <class NextRow>
Result<LoadedPicture> reduceRows24(const loading::BmpHeader& header, const LoadRequest& request, NextRow nextRow)
{
    const int w = int(header.width);
    const int h = int(header.height);
    const PictureSize out = loading::sampledSize({w, h}, request);
    const bool topDown = header.topDown;
    std::vector<std::size_t> columns(std::size_t(out.width));
    for (int x = 0; x < out.width; ++x) {
        columns[std::size_t(x)] = 3 * std::size_t(show::stretchSample(x, out.width, w));
    }
    LoadedPicture result;
    result.picture.resize(out.width, out.height);
    result.ownSize = {w, h};
    // The output rows in the file's order: a bottom-up file's last rows come first. Samples
    // never decrease with y, so each file row feeds a run of output rows.
    int y = topDown ? 0 : out.height - 1;
    const int step = topDown ? 1 : -1;
    for (int r = 0; r < h; ++r) {
        const int sy = topDown ? r : h - 1 - r;
        const std::uint8_t* row = nextRow();
        if (row == nullptr) {
            return Reason{"BMP pixel data is cut short"};
        }
        for (; y >= 0 && y < out.height && show::stretchSample(y, out.height, h) == sy; y += step) {
            std::uint8_t* dst = result.picture.data() + std::size_t(out.width) * 4 * std::size_t(y);
            for (std::size_t x = 0; x < columns.size(); ++x) {
                const std::uint8_t* p = row + columns[x];
                dst[4 * x] = p[0];
                dst[4 * x + 1] = p[1];
                dst[4 * x + 2] = p[2];
                dst[4 * x + 3] = 0;
            }
        }
    }
    return result;
}

std::size_t stride24(const loading::BmpHeader& header) { return (std::size_t(header.width) * 24 + 31) / 32 * 4; }

bool plain24(const loading::BmpHeader& header)
{
    return header.bitsPerPixel == 24 && header.compression == loading::kBmpRgb;
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
    if (plain24(header)) {
        // The header check has made sure every row is in the file.
        const std::uint8_t* row = data + header.pixelOffset;
        const std::size_t stride = stride24(header);
        return reduceRows24(header, request, [&] { return std::exchange(row, row + stride); });
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

std::optional<Result<LoadedPicture>> decodeBmpAsRead(const std::uint8_t* head, std::size_t headSize,
                                                     std::uint64_t fileSize, loading::RegularFile& rest,
                                                     const LoadRequest& request)
{
    loading::BmpHeader header;
    if (Result<void> checked = loading::readBmpHeader(head, headSize, fileSize, header); !checked.ok()) {
        return checked.reason();
    }
    if (!plain24(header)) {
        return std::nullopt;
    }
    // The rows start inside the head or after it: what lies before them is passed over.
    std::size_t at = header.pixelOffset;
    std::vector<std::uint8_t> row(stride24(header));
    // The file may shrink after it was opened: a row that does not come whole ends the decode.
    const auto readFull = [&](std::uint8_t* out, std::size_t count) {
        while (count > 0) {
            const long long got = rest.read(out, count);
            if (got <= 0) {
                return false;
            }
            out += got;
            count -= std::size_t(got);
        }
        return true;
    };
    for (std::vector<std::uint8_t> skip(4096); at > headSize;) {
        const std::size_t n = std::min(skip.size(), at - headSize);
        if (!readFull(skip.data(), n)) {
            return Reason{"BMP pixel data is cut short"};
        }
        at -= n;
    }
    return reduceRows24(header, request, [&]() -> const std::uint8_t* {
        std::size_t filled = 0;
        if (at < headSize) {
            filled = std::min(row.size(), headSize - at);
            std::memcpy(row.data(), head + at, filled);
            at += filled;
        }
        return readFull(row.data() + filled, row.size() - filled) ? row.data() : nullptr;
    });
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
