// What every decoder's fuzz entry demands of any bytes: a picture or a reason, never both
// or neither, and a size query that agrees with the decode.
#pragma once

#include "show/picture_headers.h"
#include "show/picture_loader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace velmora::fuzz {

template <typename Decode, typename SizeQuery>
Result<LoadedPicture> checkDecoder(const std::uint8_t* data, std::size_t size, Decode decode, SizeQuery sizeOf)
{
    // The front end's header check reads the same bytes first (the sanitizers watch it).
    const loading::PictureFormat format = loading::sniffFormat(data, size);
    if (format != loading::PictureFormat::Unknown) {
        (void)loading::checkDeclaredHeader(format, data, size);
    }
    LoadRequest request;
    request.timeLimitMs = 3000;
    // Every other input asks for a reduced decode, so the scaled paths are covered too.
    if (size % 2 == 1) {
        request.fitWidth = 16;
        request.fitHeight = 12;
    }
    // Every other pair asks for a coarse picture first (a progressive JPEG's first scans).
    if (size % 4 >= 2) {
        request.coarse = [](LoadedPicture coarse) {
            if (coarse.picture.empty() || coarse.ownSize.width <= 0) {
                std::abort(); // a coarse picture comes with pixels and the picture's own size
            }
        };
    }
    Result<LoadedPicture> r = decode(data, size, request);
    if (r.ok() && (r->picture.empty() || r->ownSize.width <= 0)) {
        std::abort(); // success must come with pixels
    }
    if (!r.ok() && reasonText(r).empty()) {
        std::abort(); // failure must say why
    }
    const Result<PictureSize> s = sizeOf(data, size);
    if (s.ok() && r.ok() && s.value() != r->ownSize) {
        std::abort(); // the size query and the decode agree
    }
    return r;
}

} // namespace velmora::fuzz
