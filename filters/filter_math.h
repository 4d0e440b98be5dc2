// Arithmetic shared by the filter procedures: the 32-bit Long range, conversions that round
// halves to the even neighbour, and the clamp to a channel byte.
#pragma once

#include "filters/engine.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace velmora::filters {

constexpr bool fitsLong(std::int64_t v)
{
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// Nearest integer, halves to even, independent of the floating-point environment.
inline double roundHalfEven(double v)
{
    double whole = std::floor(v);
    const double fraction = v - whole; // exact for every value the filters produce
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return whole;
}

// n / 2^24 to the nearest integer, halves to even, for |n| < 2^62: the rounding of a value
// counted in units of a single-precision draw (Random::nextSingleBits). Integer arithmetic
// without a branch, because the draws that feed it make any branch a coin toss.
constexpr std::int64_t roundHalfEvenShift24(std::int64_t n) { return (n + 0x7FFFFF + ((n >> 24) & 1)) >> 24; }

// The integer v as a double holds it: 53 significant bits, halves to even. In integers, so
// that long products keep the default rounding whatever the floating-point environment.
constexpr std::int64_t roundToDoublePrecision(std::int64_t v)
{
    const std::uint64_t magnitude = v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v);
    const int width = 64 - std::countl_zero(magnitude);
    if (width <= 53) {
        return v;
    }
    const std::uint64_t unit = std::uint64_t(1) << (width - 53);
    const std::uint64_t rest = magnitude & (unit - 1);
    std::uint64_t rounded = magnitude - rest;
    if (rest > unit / 2 || (rest == unit / 2 && (rounded & unit) != 0)) {
        rounded += unit;
    }
    return v < 0 ? -std::int64_t(rounded) : std::int64_t(rounded);
}

// A conversion of a floating-point value to a Long; false when the result leaves 32 bits
// (or v is not a number), where the conversion overflows.
inline bool toLong(double v, std::int32_t& out)
{
    const double r = roundHalfEven(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) {
        return false;
    }
    out = std::int32_t(r);
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
