// Pictures and a one-call filter runner for the filter tests.
#pragma once

#include "filters/engine.h"
#include "filters/picture.h"
#include "startup/random.h"

#include <cstdint>

namespace velmora::filters::testing {

// Every byte random, the reserved one included, so a filter that touches it is caught. Few
// levels make flat and clamped neighbourhoods common.
inline Picture randomPicture(int w, int h, std::uint64_t seed, int levels = 256)
{
    Random random(seed);
    Picture p(w, h);
    for (std::size_t i = 0; i < p.byteCount(); ++i) {
        p.data()[i] = std::uint8_t(random.below(std::uint64_t(levels)));
    }
    return p;
}

inline Picture flatPicture(int w, int h, std::uint8_t blue, std::uint8_t green, std::uint8_t red,
                           std::uint8_t reserved = 0x5A)
{
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(x, y, blue, green, red, reserved);
    return p;
}

// Element (c, x, y) of a picture, counted from 1 like Pix_Work, so references read as the rules do.
struct Pixels {
    Picture& picture;
    std::uint8_t& operator()(int c, int x, int y) { return picture.pixel(x - 1, y - 1)[c - 1]; }
};

// Fil_Run refused the run because another was in progress, or a filter failed.
inline bool refusedAsBusy(const Result<void>& r) { return !r.ok() && r.reason().text == FilterBusy; }
inline bool filterFailed(const Result<void>& r) { return !r.ok() && !refusedAsBusy(r); }

inline Result<void> runFilter(int type, Picture& p, std::int32_t param, Random* random = nullptr)
{
    FilterEngine engine;
    engine.random = random;
    return Fil_Run(engine, type, p.view(), param);
}

// Channel c (0 blue, 1 green, 2 red) of the pixel at 0-based (x, y).
inline int channel(const Picture& p, int x, int y, int c) { return p.pixel(x, y)[c]; }

} // namespace velmora::filters::testing
