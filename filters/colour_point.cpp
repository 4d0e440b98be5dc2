// Filter types 2, 12, 14, 16, 17 and 18: each pixel changes from its own colour alone
// (type 17 also takes the picture's mean grey). Every pixel is written, frame included.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace velmora::filters {

namespace {

inline std::uint32_t loadPixel(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void storePixel(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

inline std::uint32_t packPixel(std::uint32_t b, std::uint32_t g, std::uint32_t r, std::uint32_t keep)
{
    return b | g << 8 | r << 16 | (keep & 0xFF000000u);
}

// Applies `map(pixel) -> pixel` to every pixel of Pix_Orgn into Pix_Work, a row at a time,
// yielding after each row. Whole 32-bit pixels keep the loops simple enough to vectorise.
template <typename MapFn>
void mapPixels(FilterEngine& e, MapFn map)
{
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.row(y);
        std::uint8_t* dst = e.Pix_Work.row(y);
        for (int x = 0; x < e.W; ++x) {
            storePixel(dst + 4 * x, map(loadPixel(src + 4 * x)));
        }
        e.yieldRow();
    }
}

// k = (param + 100) / 100 in double precision, then held in single precision.
bool percentFactor(std::int32_t param, float& k)
{
    const std::int64_t sum = std::int64_t(param) + 100;
    if (!fitsLong(sum)) {
        return false;
    }
    k = float(double(sum) / 100.0);
    return true;
}

} // namespace

Result<void> Fil_Negative(FilterEngine& e)
{
    mapPixels(e, [](std::uint32_t p) { return p ^ 0x00FFFFFFu; });
    return {};
}

Result<void> Fil_Gray(FilterEngine& e)
{
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }
    // (b + g + r) * 43691 >> 17 equals (b + g + r) \ 3 for every sum up to 765, which lets the
    // loop run without a table load per pixel.
    mapPixels(e, [](std::uint32_t p) {
        const std::uint32_t sum = (p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF);
        const std::uint32_t v = (sum * 43691u) >> 17;
        return packPixel(v, v, v, p);
    });
    return {};
}

Result<void> Fil_Bright(FilterEngine& e)
{
    float k;
    if (!percentFactor(e.param, k)) {
        return Reason{"param + 100 overflows"};
    }
    std::array<std::uint32_t, 256> level;
    for (int i = 0; i <= 255; ++i) {
        std::int32_t v;
        if (!toLong(double(k) * i, v)) {
            return Reason{"brightness level overflows"};
        }
        v = v > 255 ? 255 : v;
        v = v < 0 ? 0 : v;
        e.Gray_Tbl[std::size_t(i)] = v;
        level[std::size_t(i)] = std::uint32_t(v);
    }
    mapPixels(e, [&](std::uint32_t p) {
        return packPixel(level[p & 0xFF], level[p >> 8 & 0xFF], level[p >> 16 & 0xFF], p);
    });
    return {};
}

Result<void> Fil_Swap_RGB(FilterEngine& e)
{
    const auto swap = [&](auto order) { mapPixels(e, order); };
    // B, G, R are bits 0..7, 8..15, 16..23 of the pixel.
    switch (e.param) {
    case 1: // new blue G, green R, red B
        swap([](std::uint32_t p) { return (p >> 8 & 0xFFFF) | (p & 0xFF) << 16 | (p & 0xFF000000u); });
        break;
    case 2: // new blue R, green B, red G
        swap([](std::uint32_t p) { return (p >> 16 & 0xFF) | (p & 0xFFFF) << 8 | (p & 0xFF000000u); });
        break;
    case 3: // new blue G, green B, red R
        swap([](std::uint32_t p) { return (p >> 8 & 0xFF) | (p & 0xFF) << 8 | (p & 0xFFFF0000u); });
        break;
    case 4: // new blue R, green G, red B
        swap([](std::uint32_t p) { return (p >> 16 & 0xFF) | (p & 0xFF00FF00u) | (p & 0xFF) << 16; });
        break;
    case 5: // new blue B, green R, red G
        swap([](std::uint32_t p) { return (p & 0xFF0000FFu) | (p >> 8 & 0xFF00) | (p & 0xFF00) << 8; });
        break;
    default: // any other selector writes nothing
        for (int y = 1; y <= e.H; ++y) {
            e.yieldRow();
        }
        break;
    }
    return {};
}

namespace {

// The rounds of Spill_Clamp. With Checked, every sum is held in 64 bits and checked against
// the Long range; without, the caller guarantees |b|, |g|, |r| < 2^24, where no round can
// leave 32 bits (a channel gains at most half of each other channel's excess per round).
// Every round moves at most half of each excess, so it settles within a few dozen rounds
// for any Long input; the cap only guards against a hang.
template <bool Checked>
bool spillRounds(std::int32_t& b, std::int32_t& g, std::int32_t& r)
{
    using Value = std::conditional_t<Checked, std::int64_t, std::int32_t>;
    Value B = b, G = g, R = r;
    const auto inRange = [](Value v) { return v >= 0 && v <= 255; };
    const auto fits = [](Value v) { return !Checked || fitsLong(v); };
    for (int round = 0; round < 200; ++round) {
        if (inRange(B) && inRange(G) && inRange(R)) {
            b = std::int32_t(B);
            g = std::int32_t(G);
            r = std::int32_t(R);
            return true;
        }
        if (B <= 0 && G <= 0 && R <= 0) {
            B = G = R = 0;
            continue;
        }
        if (B >= 255 && G >= 255 && R >= 255) {
            B = G = R = 255;
            continue;
        }
        Value h;
        if (B < 0) {
            h = B / 2, G += h, R += h, B = 0;
        } else if (B > 255) {
            h = (B - 255) / 2, G += h, R += h, B = 255;
        }
        if (!fits(G) || !fits(R)) {
            return false;
        }
        if (G < 0) {
            h = G / 2, B += h, R += h, G = 0;
        } else if (G > 255) {
            h = (G - 255) / 2, B += h, R += h, G = 255;
        }
        if (!fits(B) || !fits(R)) {
            return false;
        }
        if (R < 0) {
            h = R / 2, G += h, B += h, R = 0;
        } else if (R > 255) {
            h = (R - 255) / 2, G += h, B += h, R = 255;
        }
        if (!fits(G) || !fits(B)) {
            return false;
        }
    }
    return false;
}

} // namespace

bool Spill_Clamp(std::int32_t& b, std::int32_t& g, std::int32_t& r) { return spillRounds<true>(b, g, r); }

Result<void> Fil_Contrast(FilterEngine& e)
{
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }
    if (std::int64_t(e.W) * e.H == 0) {
        return Reason{"no pixels for a mean"};
    }
    const std::int32_t mean = std::int32_t(meanGrayLevel(e));

    float k;
    if (!percentFactor(e.param, k)) {
        return Reason{"param + 100 overflows"};
    }
    std::int32_t largest = 0;
    for (int i = 0; i <= 255; ++i) {
        std::int32_t v;
        if (!toLong(double(k) * double(i - mean) + double(mean), v)) {
            return Reason{"contrast level overflows"};
        }
        e.Gray_Tbl[std::size_t(i)] = v;
        largest = std::max(largest, v < 0 ? -(v + 1) : v);
    }
    e.yieldRow();

    // Per level: the byte when it is in range, and a flag when it is not, so that the common
    // pixel (all three in range) is three loads and a pack.
    const std::int32_t* level = e.Gray_Tbl.data();
    std::array<std::uint32_t, 256> inRange;
    std::array<std::uint32_t, 256> outside;
    for (std::size_t i = 0; i < 256; ++i) {
        inRange[i] = std::uint32_t(level[i]) & 0xFF;
        outside[i] = (level[i] < 0 || level[i] > 255) ? 1u : 0u;
    }
    const bool small = largest < (1 << 24);
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.row(y);
        std::uint8_t* dst = e.Pix_Work.row(y);
        for (int x = 0; x < e.W; ++x) {
            const std::uint32_t p = loadPixel(src + 4 * x);
            const std::uint32_t B = p & 0xFF, G = p >> 8 & 0xFF, R = p >> 16 & 0xFF;
            if ((outside[B] | outside[G] | outside[R]) == 0) {
                storePixel(dst + 4 * x, packPixel(inRange[B], inRange[G], inRange[R], p));
                continue;
            }
            std::int32_t b = level[B], g = level[G], r = level[R];
            if (!(small ? spillRounds<false>(b, g, r) : spillRounds<true>(b, g, r))) {
                return Reason{"contrast spill overflows"};
            }
            storePixel(dst + 4 * x, packPixel(std::uint32_t(b), std::uint32_t(g), std::uint32_t(r), p));
        }
        e.yieldRow();
    }
    return {};
}

Result<void> Fil_Two_Tone(FilterEngine& e)
{
    std::int32_t red, green, blue;
    Split_RGB(e.param, red, green, blue);
    mapPixels(e, [&](std::uint32_t p) {
        const bool white = std::int32_t(p >> 16 & 0xFF) >= red || std::int32_t(p >> 8 & 0xFF) >= green ||
                           std::int32_t(p & 0xFF) >= blue;
        return (white ? 0x00FFFFFFu : 0u) | (p & 0xFF000000u);
    });
    return {};
}

} // namespace velmora::filters
