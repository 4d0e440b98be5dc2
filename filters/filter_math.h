// Arithmetic shared by the filter procedures: the 32-bit Long range, the conversion to a Long
// (rounded as everywhere, startup/rounding.h), and the clamp to a channel byte.
#pragma once

#include "filters/engine.h"
#include "startup/rounding.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace velmora::filters {

constexpr bool fitsLong(std::int64_t v)
{
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// A conversion of a floating-point value to a Long; false when the result leaves 32 bits
// (or v is not a number), where the conversion overflows.
inline bool toLong(double v, std::int32_t& out)
{
    const std::optional<std::int32_t> r = roundToInt32(v);
    if (!r) {
        return false;
    }
    out = *r;
    return true;
}

constexpr std::uint8_t clampByte(std::int32_t v) { return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// The mean of Gray_Tbl over every pixel's blue + green + red sum, truncated. Summed in 64 bits:
// 32 bits overflow above about 8.4 million pixels.
inline std::int64_t meanGrayLevel(const FilterEngine& e)
{
    std::int64_t sum = 0;
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* row = e.Pix_Orgn.at(1, y);
        for (std::ptrdiff_t x = 0; x < e.W; ++x) {
            sum += e.Gray_Tbl[std::size_t(row[4 * x] + row[4 * x + 1] + row[4 * x + 2])];
        }
    }
    return sum / (std::int64_t(e.W) * std::int64_t(e.H));
}

} // namespace velmora::filters
