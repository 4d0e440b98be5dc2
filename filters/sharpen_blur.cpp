// Filter types 1, 3, 5 and 6: 3x3 sharpen and blur filters that work in place, so each pixel
// already sees the new values of the pixels above it and to its left.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace velmora::filters {

namespace {

// Runs over rows 2..H-1 and columns 2..W-1 of Pix_Work; the frame is never written and the
// filter yields after every row, empty rows included.
// Of a pixel's neighbours only the left one is new when the pixel is read: the row above is
// final, and the centre, the right neighbour and the row below are still the picture's own.
// So before a row is written, `ahead(mid, vertical, j)` takes every term but the left one
// for each channel byte j (vertical[j] = up[j] + down[j]), and the pass along the row then
// only has `finish(pending, left, out)` to do per channel, with the left value in a register.
template <typename Pending, typename AheadFn, typename FinishFn>
bool inPlaceRows(FilterEngine& e, AheadFn ahead, FinishFn finish)
{
    const std::size_t rowBytes = std::size_t(e.W) * 4;
    std::vector<std::int32_t> vertical(rowBytes);
    std::vector<Pending> pending(rowBytes);
    for (int y = 2; y <= e.H - 1; ++y) {
        if (e.W >= 3) {
            const std::uint8_t* up = e.Pix_Work.row(y - 1);
            std::uint8_t* mid = e.Pix_Work.row(y);
            const std::uint8_t* down = e.Pix_Work.row(y + 1);
            for (std::size_t j = 0; j < rowBytes; ++j) {
                vertical[j] = up[j] + down[j];
            }
            for (std::size_t j = 4; j < rowBytes - 4; ++j) {
                pending[j] = ahead(mid, vertical.data(), j);
            }
            std::int32_t left[3] = {mid[0], mid[1], mid[2]};
            for (std::size_t at = 4; at < rowBytes - 4; at += 4) {
                std::uint8_t out[3];
                for (int c = 0; c < 3; ++c) {
                    if (!finish(pending[at + std::size_t(c)], left[c], out[c])) {
                        return false;
                    }
                }
                for (int c = 0; c < 3; ++c) {
                    mid[at + std::size_t(c)] = out[c];
                    left[c] = out[c];
                }
            }
        }
        e.yieldRow();
    }
    return true;
}

// The neighbours of byte j other than the left one: three above, three below, one right.
inline std::int32_t sevenNeighbours(const std::uint8_t* mid, const std::int32_t* vertical, std::size_t j)
{
    return vertical[j - 4] + vertical[j] + vertical[j + 4] + mid[j + 4];
}

// v = (P * k - weight * S8) \ d, clamped to 0..255.
template <int Weight>
Result<void> sharpen(FilterEngine& e, int centreAdd, int divisorAdd, const char* zeroDivisor)
{
    const std::int64_t k = std::int64_t(e.param) + centreAdd;
    const std::int64_t d = std::int64_t(e.param) + divisorAdd;
    if (!fitsLong(k) || !fitsLong(d)) {
        return Reason{"param + centre weight overflows"};
    }
    if (d == 0) {
        return Reason{zeroDivisor};
    }
    // The numerator's whole range for this param: when it fits in 32 bits nothing can
    // overflow; when it is also short, a table of clamped quotients replaces the division.
    const std::int64_t low = std::min<std::int64_t>(0, 255 * k) - Weight * 2040;
    const std::int64_t high = std::max<std::int64_t>(0, 255 * k);

    if (fitsLong(low) && fitsLong(high) && high - low < (1 << 16)) {
        std::vector<std::uint8_t> quotient(std::size_t(high - low + 1));
        for (std::int64_t n = low; n <= high; ++n) {
            quotient[std::size_t(n - low)] = clampByte(std::int32_t(n / d));
        }
        const std::uint8_t* q = quotient.data() - low;
        const std::int32_t k32 = std::int32_t(k);
        inPlaceRows<std::int32_t>(
            e,
            [&](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t j) {
                return mid[j] * k32 - Weight * sevenNeighbours(mid, vertical, j);
            },
            [&](std::int32_t rest, std::int32_t left, std::uint8_t& out) {
                out = q[rest - Weight * left];
                return true;
            });
        return {};
    }

    // A large param: divide per pixel, and fail where the 32-bit products overflow.
    constexpr std::int64_t productOverflow = std::numeric_limits<std::int64_t>::min();
    const bool ok = inPlaceRows<std::int64_t>(
        e,
        [&](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t j) {
            const std::int64_t product = std::int64_t(mid[j]) * k;
            return fitsLong(product) ? product - Weight * sevenNeighbours(mid, vertical, j) : productOverflow;
        },
        [&](std::int64_t rest, std::int32_t left, std::uint8_t& out) {
            if (rest == productOverflow) {
                return false;
            }
            const std::int64_t numerator = rest - Weight * left;
            if (!fitsLong(numerator)) {
                return false;
            }
            out = std::uint8_t(std::clamp<std::int64_t>(numerator / d, 0, 255));
            return true;
        });
    if (!ok) {
        return Reason{"sharpen arithmetic overflows 32 bits"};
    }
    return {};
}

} // namespace

Result<void> Fil_Sharpen_W2(FilterEngine& e) { return sharpen<2>(e, 24, 8, "divisor param + 8 is zero"); }

Result<void> Fil_Sharpen_W1(FilterEngine& e) { return sharpen<1>(e, 9, 1, "divisor param + 1 is zero"); }

Result<void> Fil_Blur_8(FilterEngine& e)
{
    inPlaceRows<std::int32_t>(
        e, [](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t j) { return sevenNeighbours(mid, vertical, j); },
        [](std::int32_t rest, std::int32_t left, std::uint8_t& out) {
            out = std::uint8_t((rest + left) >> 3);
            return true;
        });
    return {};
}

Result<void> Fil_Blur_Cross(FilterEngine& e)
{
    inPlaceRows<std::int32_t>(
        e, [](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t j) { return vertical[j] + mid[j] + mid[j + 4]; },
        [](std::int32_t rest, std::int32_t left, std::uint8_t& out) {
            out = std::uint8_t((rest + left) / 5);
            return true;
        });
    return {};
}

} // namespace velmora::filters
