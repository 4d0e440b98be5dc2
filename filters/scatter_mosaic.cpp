// Filter types 4 and 15: scatter moves each pixel's colour from a random pixel near it (in
// place, drawing from the engine's generator); mosaic fills square blocks with their mean.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velmora::filters {

namespace {

// One axis's offset from its draw k (r = k / 2^24): (r x param - half) converted to Long.
// Below 2^28 for |param| every step of that double recipe is exact, so the offset is one
// integer rounding; above, the product and the difference are rounded to double precision in
// integers first. Either way no floating-point mode or branch on the draw is involved.
struct ExactOffset {
    std::int64_t spread;
    std::int64_t half24; // half x 2^24
    std::int64_t operator()(std::uint32_t k) const { return roundHalfEvenShift24(std::int64_t(k) * spread - half24); }
};
struct WideOffset {
    std::int64_t spread;
    std::int64_t half24;
    std::int64_t operator()(std::uint32_t k) const
    {
        return roundHalfEvenShift24(roundToDoublePrecision(roundToDoublePrecision(std::int64_t(k) * spread) - half24));
    }
};

template <class Offset>
void scatterRows(FilterEngine& e, Offset offset)
{
    Random& random = e.rng();
    const std::int64_t W = e.W;
    const std::int64_t H = e.H;
    // Channel 4 of the pixel written keeps its value; pixels move as whole 32-bit words so a
    // read of a pixel just written is forwarded from its store.
    constexpr std::uint32_t channel4 = std::endian::native == std::endian::little ? 0xFF000000u : 0x000000FFu;
    std::uint8_t* const pixels = e.Pix_Work.data();
    // A row's draws (x then y offset of each pixel) made in one call before the row is moved.
    std::vector<std::uint32_t> draws(std::size_t(W) * 2);
    for (std::int64_t y = 0; y < H; ++y) {
        random.fillSingleBits(draws);
        const std::uint32_t* k = draws.data();
        for (std::int64_t x = 0; x < W; ++x) {
            std::int64_t dx = offset(k[2 * x]);
            std::int64_t dy = offset(k[2 * x + 1]);
            // An offset that would leave the picture is dropped, not clamped.
            dx &= -std::int64_t(std::uint64_t(x + dx) < std::uint64_t(W));
            dy &= -std::int64_t(std::uint64_t(y + dy) < std::uint64_t(H));
            std::uint8_t* to = pixels + 4 * (y * W + x);
            const std::uint8_t* from = pixels + 4 * ((y + dy) * W + x + dx);
            std::uint32_t moved;
            std::uint32_t kept;
            std::memcpy(&moved, from, 4);
            std::memcpy(&kept, to, 4);
            moved = (moved & ~channel4) | (kept & channel4);
            std::memcpy(to, &moved, 4);
        }
        e.yieldRow();
    }
}

} // namespace

Result<void> Fil_Scatter(FilterEngine& e)
{
    const std::int64_t spread = e.param;
    // |param / 2| <= 2^30, and r x param - half lies within (-2^31, 2^31) for every Long
    // param: the conversions always fit.
    const std::int64_t half24 = std::int64_t(roundHalfEven(double(spread) / 2.0)) * 16777216;
    if (spread > -(std::int64_t(1) << 28) && spread < (std::int64_t(1) << 28)) {
        scatterRows(e, ExactOffset{spread, half24});
    } else {
        scatterRows(e, WideOffset{spread, half24});
    }
    return {};
}

Result<void> Fil_Mosaic(FilterEngine& e)
{
    const std::int64_t n = e.param;
    if (n == 0) {
        return Reason{"mosaic block size is zero"};
    }
    if (n < 0) {
        // The block loops are empty: every mean stays 0 and the picture turns black.
        for (int y = 1; y <= e.H; ++y) {
            std::uint8_t* dst = e.Pix_Work.row(y);
            for (int x = 0; x < e.W; ++x) {
                dst[4 * x] = dst[4 * x + 1] = dst[4 * x + 2] = 0;
            }
            e.yieldRow();
        }
        return {};
    }

    // Every row of a block gets the same means, so they are worked out once per band of
    // blocks; blocks cut by the right or bottom edge average only their pixels inside.
    const std::int64_t blocks = (e.W + n - 1) / n;
    std::vector<std::uint8_t> means(std::size_t(blocks) * 3);
    std::vector<std::uint32_t> columnSums(std::size_t(e.W) * 3);
    std::int64_t bandTop = 0;
    for (int y = 1; y <= e.H; ++y) {
        const std::int64_t y0 = ((y - 1) / n) * n + 1;
        if (y0 != bandTop) {
            bandTop = y0;
            const std::int64_t y1 = std::min<std::int64_t>(y0 + n - 1, e.H);
            std::fill(columnSums.begin(), columnSums.end(), 0u);
            for (std::int64_t yy = y0; yy <= y1; ++yy) {
                const std::uint8_t* src = e.Pix_Orgn.row(int(yy));
                for (int x = 0; x < e.W; ++x) {
                    columnSums[std::size_t(x) * 3] += src[4 * x];
                    columnSums[std::size_t(x) * 3 + 1] += src[4 * x + 1];
                    columnSums[std::size_t(x) * 3 + 2] += src[4 * x + 2];
                }
            }
            for (std::int64_t block = 0; block < blocks; ++block) {
                const std::int64_t x0 = block * n;
                const std::int64_t x1 = std::min<std::int64_t>(x0 + n, e.W);
                std::uint64_t sum[3] = {0, 0, 0};
                for (std::int64_t x = x0; x < x1; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += columnSums[std::size_t(x) * 3 + std::size_t(c)];
                    }
                }
                const std::uint64_t count = std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0 + 1);
                for (int c = 0; c < 3; ++c) {
                    means[std::size_t(block) * 3 + std::size_t(c)] = std::uint8_t(sum[c] / count);
                }
            }
        }
        std::uint8_t* dst = e.Pix_Work.row(y);
        for (std::int64_t block = 0; block < blocks; ++block) {
            const std::uint8_t* mean = &means[std::size_t(block) * 3];
            const std::int64_t x1 = std::min<std::int64_t>(block * n + n, e.W);
            for (std::int64_t x = block * n; x < x1; ++x) {
                dst[4 * x] = mean[0];
                dst[4 * x + 1] = mean[1];
                dst[4 * x + 2] = mean[2];
            }
        }
        e.yieldRow();
    }
    return {};
}

} // namespace velmora::filters
