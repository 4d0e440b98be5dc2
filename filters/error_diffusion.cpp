// Filter types 21 to 23: two-tone by error diffusion against the picture's mean grey, with
// the Floyd-Steinberg, Burkes and Stucki patterns and the error damped by param / 10.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace velmora::filters {

namespace {

struct Share {
    int row; // 0: this picture row, 1: the next, 2: the one after
    int dx;  // column offset of the target
    std::int32_t weight;
};

constexpr std::array<Share, 4> FloydSteinberg{{{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
constexpr std::array<Share, 7> Burkes{{{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};
constexpr std::array<Share, 12> Stucki{{{0, 1, 8},
                                        {0, 2, 4},
                                        {1, -2, 2},
                                        {1, -1, 4},
                                        {1, 0, 8},
                                        {1, 1, 4},
                                        {1, 2, 2},
                                        {2, -2, 1},
                                        {2, -1, 2},
                                        {2, 0, 4},
                                        {2, 1, 2},
                                        {2, 2, 1}}};

// Err_Buf rows carry two spare columns on each side: shares aimed outside the picture land
// there and are never read, which drops them exactly as the bounds checks would.
constexpr int Margin = 2;

// Shares aimed along the current row never go through Err_Buf: they ride in two registers
// (the next pixel's and the one after), which keeps the pixel-to-pixel chain short.
template <const auto& Shares, std::int32_t Divisor, int Rows>
FilterResult diffuse(FilterEngine& e)
{
    const int W = e.W;
    const int H = e.H;
    if (e.param == 0) {
        return FilterResult::failed("error divisor is 0");
    }
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }

    // Err_Part(e, k) = (e * w_k) \ D, one row per error e = -255..255.
    constexpr std::size_t K = Shares.size();
    std::vector<std::int32_t> Err_Part(511 * K);
    for (int err = -255; err <= 255; ++err) {
        for (std::size_t k = 0; k < K; ++k) {
            Err_Part[std::size_t(err + 255) * K + k] = err * Shares[k].weight / Divisor;
        }
    }
    // Every buffer entry gathers at most one share per weight, and the weights sum to the
    // divisor, so |Err_Buf| <= 255: the damping (E * 10) \ param is tabled over that range.
    std::array<std::int32_t, 511> damped{};
    for (int err = -255; err <= 255; ++err) {
        damped[std::size_t(err + 255)] = err * 10 / e.param;
    }

    const std::size_t stride = std::size_t(W) + 2 * Margin;
    std::vector<std::int32_t> Err_Buf(static_cast<std::size_t>(Rows) * stride, 0);
    e.yieldRow();

    const std::int64_t mean = meanGrayLevel(e);
    e.yieldRow();

    for (int y = 1; y <= H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* out = e.Pix_Work.at(1, y);
        std::int32_t* current = Err_Buf.data() + Margin;
        std::int32_t ahead1 = 0; // this row's shares for x + 1
        std::int32_t ahead2 = 0; // and for x + 2
        for (std::ptrdiff_t x = 0; x < W; ++x) {
            const std::int32_t gathered = current[x] + ahead1;
            assert(gathered >= -255 && gathered <= 255);
            const std::int32_t grey = e.Gray_Tbl[std::size_t(src[4 * x] + src[4 * x + 1] + src[4 * x + 2])];
            const std::int32_t level = std::clamp(grey + damped[std::size_t(gathered + 255)], 0, 255);
            const std::int32_t tone = level >= mean ? 255 : 0;
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = std::uint8_t(tone);
            const std::int32_t* parts = Err_Part.data() + std::size_t(level - tone + 255) * K;
            ahead1 = ahead2;
            ahead2 = 0;
            [&]<std::size_t... k>(std::index_sequence<k...>) {
                (
                    [&] {
                        constexpr Share s = Shares[k];
                        if constexpr (s.row == 0 && s.dx == 1) {
                            ahead1 += parts[k];
                        } else if constexpr (s.row == 0) {
                            static_assert(s.dx == 2);
                            ahead2 += parts[k];
                        } else {
                            current[std::ptrdiff_t(s.row) * std::ptrdiff_t(stride) + x + s.dx] += parts[k];
                        }
                    }(),
                    ...);
            }(std::make_index_sequence<K>{});
        }
        // Rows past the picture's last row only ever collect shares that are never read.
        std::copy(Err_Buf.begin() + std::ptrdiff_t(stride), Err_Buf.end(), Err_Buf.begin());
        std::fill(Err_Buf.end() - std::ptrdiff_t(stride), Err_Buf.end(), 0);
        e.yieldRow();
    }
    return FilterResult::done();
}

} // namespace

FilterResult Fil_Diff_FS(FilterEngine& e) { return diffuse<FloydSteinberg, 16, 2>(e); }
FilterResult Fil_Diff_Burkes(FilterEngine& e) { return diffuse<Burkes, 32, 2>(e); }
FilterResult Fil_Diff_Stucki(FilterEngine& e) { return diffuse<Stucki, 42, 3>(e); }

} // namespace velmora::filters
