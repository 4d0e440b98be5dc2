// Floating-point values to integers as the whole program converts them: to the nearest
// integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0). Exact, and
// independent of the floating-point rounding mode, which nothing here relies on.
#pragma once

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

} // namespace velmora
