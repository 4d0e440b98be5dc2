// Filter types 1, 3, 5 and 6: 3x3 sharpen and blur filters that work in place, so each pixel
// already sees the new values of the pixels above it and to its left.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora::filters {

namespace {

// Runs `pixel(up, mid, down, vertical, byteIndex, out)` over rows 2..H-1 and columns
// 2..W-1 of Pix_Work. `vertical` holds up + down per byte of the row: the row above is final
// and the row below not yet written, so those sums stay valid for the whole row, while the
// left neighbour in `mid` is read fresh (already new) at each pixel. The frame is never
// written; the filter yields after every row, empty rows included.
template <typename PixelFn>
bool inPlaceRows(FilterEngine& e, PixelFn pixel)
{
    std::vector<std::int32_t> vertical(std::size_t(e.W) * 4);
    for (int y = 2; y <= e.H - 1; ++y) {
        if (e.W >= 3) {
            const std::uint8_t* up = e.Pix_Work.row(y - 1);
            std::uint8_t* mid = e.Pix_Work.row(y);
            const std::uint8_t* down = e.Pix_Work.row(y + 1);
            for (std::size_t j = 0; j < vertical.size(); ++j) {
                vertical[j] = up[j] + down[j];
            }
            for (int i = 1; i <= e.W - 2; ++i) {
                const std::size_t at = std::size_t(i) * 4;
                std::uint8_t out[3];
                if (!pixel(mid, vertical.data(), at, out)) {
                    return false;
                }
                mid[at] = out[0];
                mid[at + 1] = out[1];
                mid[at + 2] = out[2];
            }
        }
        e.yieldRow();
    }
    return true;
}

// The sum of the eight neighbours of the byte at `at`.
inline std::int32_t neighbourSum(const std::uint8_t* mid, const std::int32_t* vertical, std::size_t at)
{
    return vertical[at - 4] + vertical[at] + vertical[at + 4] + mid[at - 4] + mid[at + 4];
}

// v = (P * k - weight * S8) \ d, clamped to 0..255.
template <int Weight>
FilterResult sharpen(FilterEngine& e, int centreAdd, int divisorAdd, const char* zeroDivisor)
{
    const std::int64_t k = std::int64_t(e.param) + centreAdd;
    const std::int64_t d = std::int64_t(e.param) + divisorAdd;
    if (!fitsLong(k) || !fitsLong(d)) {
        return FilterResult::failed("param + centre weight overflows");
    }
    if (d == 0) {
        return FilterResult::failed(zeroDivisor);
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
        inPlaceRows(e, [&](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t at, std::uint8_t* out) {
            for (int c = 0; c < 3; ++c) {
                out[c] = q[mid[at + c] * k32 - Weight * neighbourSum(mid, vertical, at + c)];
            }
            return true;
        });
        return FilterResult::done();
    }

    // A large param: divide per pixel, and fail where the 32-bit products overflow.
    const bool ok = inPlaceRows(e, [&](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t at,
                                       std::uint8_t* out) {
        for (int c = 0; c < 3; ++c) {
            const std::int64_t product = std::int64_t(mid[at + c]) * k;
            const std::int64_t numerator = product - Weight * neighbourSum(mid, vertical, at + c);
            if (!fitsLong(product) || !fitsLong(numerator)) {
                return false;
            }
            const std::int64_t v = numerator / d;
            out[c] = std::uint8_t(std::clamp<std::int64_t>(v, 0, 255));
        }
        return true;
    });
    return ok ? FilterResult::done() : FilterResult::failed("sharpen arithmetic overflows 32 bits");
}

} // namespace

FilterResult Fil_Sharpen_W2(FilterEngine& e) { return sharpen<2>(e, 24, 8, "divisor param + 8 is zero"); }

FilterResult Fil_Sharpen_W1(FilterEngine& e) { return sharpen<1>(e, 9, 1, "divisor param + 1 is zero"); }

FilterResult Fil_Blur_8(FilterEngine& e)
{
    inPlaceRows(e, [](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t at, std::uint8_t* out) {
        for (int c = 0; c < 3; ++c) {
            out[c] = std::uint8_t(neighbourSum(mid, vertical, at + c) >> 3);
        }
        return true;
    });
    return FilterResult::done();
}

FilterResult Fil_Blur_Cross(FilterEngine& e)
{
    inPlaceRows(e, [](const std::uint8_t* mid, const std::int32_t* vertical, std::size_t at, std::uint8_t* out) {
        for (int c = 0; c < 3; ++c) {
            const std::size_t b = at + std::size_t(c);
            out[c] = std::uint8_t((vertical[b] + mid[b - 4] + mid[b] + mid[b + 4]) / 5);
        }
        return true;
    });
    return FilterResult::done();
}

} // namespace velmora::filters
