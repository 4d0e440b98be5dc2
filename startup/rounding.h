// Floating-point values to integers as the whole program converts them: to the nearest
// integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0). Exact, and
// independent of the floating-point rounding mode, which nothing here relies on.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace velmora {

// Values that are not finite come back unchanged.
inline double roundHalfEven(double value)
{
    if (!std::isfinite(value)) {
        return value;
    }
    const double whole = std::floor(value);
    const double rest = value - whole; // exact for every finite double
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        return whole + 1.0;
    }
    return whole;
}

// Rounded into Int; nullopt when the result does not fit (NaN and infinities included), as an
// overflowing conversion would fail.
template <typename Int>
std::optional<Int> roundHalfEvenTo(double value)
{
    const double r = roundHalfEven(value);
    if (!(r >= double(std::numeric_limits<Int>::min()) && r <= double(std::numeric_limits<Int>::max()))) {
        return std::nullopt;
    }
    return Int(r);
}

inline std::optional<std::int16_t> roundToInt16(double value) { return roundHalfEvenTo<std::int16_t>(value); }
inline std::optional<std::int32_t> roundToInt32(double value) { return roundHalfEvenTo<std::int32_t>(value); }

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

} // namespace velmora
