// Filter types 4 and 15: scatter moves each pixel's colour from a random pixel near it (in
// place, drawing from the engine's generator); mosaic fills square blocks with their mean.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora::filters {

namespace {

// One draw as a single-precision value in [0, 1): 24 bits of the next value, truncated so
// that a draw just below 1 never rounds up to 1.
float nextSingle(Random& random) { return float(std::int64_t(random.next() * 16777216.0)) * (1.0f / 16777216.0f); }

} // namespace

FilterResult Fil_Scatter(FilterEngine& e)
{
    Random& random = e.rng();
    const double spread = e.param;
    // |param / 2| <= 2^30, and r x param - half lies within (-2^31, 2^31) for every Long
    // param: the conversions below always fit.
    const double half = roundHalfEven(spread / 2.0);
    const std::int64_t W = e.W;
    const std::int64_t H = e.H;
    for (std::int64_t y = 1; y <= H; ++y) {
        for (std::int64_t x = 1; x <= W; ++x) {
            std::int64_t dx = std::int64_t(roundHalfEven(double(nextSingle(random)) * spread - half));
            std::int64_t dy = std::int64_t(roundHalfEven(double(nextSingle(random)) * spread - half));
            // An offset that would leave the picture is dropped, not clamped.
            if (x + dx < 1 || x + dx > W) dx = 0;
            if (y + dy < 1 || y + dy > H) dy = 0;
            const std::uint8_t* from = e.Pix_Work.at(int(x + dx), int(y + dy));
            std::uint8_t* to = e.Pix_Work.at(int(x), int(y));
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
        e.yieldRow();
    }
    return FilterResult::done();
}

FilterResult Fil_Mosaic(FilterEngine& e)
{
    const std::int64_t n = e.param;
    if (n == 0) {
        return FilterResult::failed("mosaic block size is zero");
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
        return FilterResult::done();
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
    return FilterResult::done();
}

} // namespace velmora::filters
