// Filter types 19 and 20: pure black and white, by sharpened threshold with a carried
// remainder (Fil_Mono_Sharp) and by ordered 4x4 dither (Fil_Mono_Bayer).
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace velmora::filters {

namespace {

// Rows whose carries are worked at once (see Fil_Mono_Sharp).
constexpr int SharpRows = 8;

// The sharpened grey of each pixel of row `here`: the three channels sharpened against their
// eight neighbours and clamped, except in the first and last column, which keep their own.
// `column` is scratch for the sums of each byte with the ones above and below it.
void sharpenedGreys(const std::uint8_t* above, const std::uint8_t* here, const std::uint8_t* below, int W,
                    std::uint16_t* column, std::uint8_t* bytes, std::uint8_t* grey)
{
    const std::ptrdiff_t n = 4 * std::ptrdiff_t(W);
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        column[i] = std::uint16_t(above[i] + here[i] + below[i]);
    }
    std::memcpy(bytes, here, 4);
    std::memcpy(bytes + n - 4, here + n - 4, 4);
    for (std::ptrdiff_t i = 4; i < n - 4; ++i) {
        // 10 * here less its eight neighbours, in 16 bits (within +-2805), for 8 lanes a vector.
        // Halved by a shift rather than a division: they differ only below 0, which clamps to 0.
        const auto d = std::int16_t(11 * here[i] - (column[i - 4] + column[i] + column[i + 4]));
        bytes[i] = clampByte(std::int16_t(d >> 1));
    }
    greyRow(bytes, W, grey);
}

// One row's walk: its greys, the carry after each pixel, and the carry it goes on with.
struct CarryLane {
    const std::uint8_t* grey;
    std::int8_t* carries;
    std::int32_t carry;
};

// `next` is indexed by grey + carry (-63..318). The carries stay in general registers (see
// the chain in error_diffusion.cpp).
template <int N>
#if defined(__GNUC__) && !defined(__clang__)
[[gnu::optimize("no-tree-slp-vectorize")]]
#endif
void carryChain(CarryLane* lanes, std::ptrdiff_t W, const std::int8_t* next)
{
    CarryLane l[N];
    std::copy(lanes, lanes + N, l);
    for (std::ptrdiff_t x = 0; x < W; ++x) {
        [&]<int... n>(std::integer_sequence<int, n...>) {
            ((l[n].carry = next[l[n].grey[x] + l[n].carry], l[n].carries[x] = std::int8_t(l[n].carry)), ...);
        }(std::make_integer_sequence<int, N>{});
    }
    std::copy(l, l + N, lanes);
}

using CarryChain = void (*)(CarryLane*, std::ptrdiff_t, const std::int8_t*);
constexpr auto carryChains = []<std::size_t... n>(std::index_sequence<n...>) {
    return std::array<CarryChain, sizeof...(n)>{&carryChain<int(n) + 1>...};
}(std::make_index_sequence<SharpRows>{});

} // namespace

// The carry runs through the whole picture, one pixel after another, and each step is a table
// load. So several rows are walked at once, interleaved, each but the first from a guessed
// carry of 0. Once the row above is done, its last carry is the true one: where it differs
// from the guess, the row is walked again from its start until its carry meets the one walked
// before (from there on the two walks agree), so the bytes are those of one walk through the
// picture. Carries shrink by four at each pixel, so two walks meet within a few pixels.
Result<void> Fil_Mono_Sharp(FilterEngine& e)
{
    const int W = e.W;
    const int H = e.H;
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }

    const std::int64_t mean = meanGrayLevel(e);
    e.yieldRow();

    // level = clamp(grey + carry), white when level >= mean, carry = (level - tone) \ 4.
    std::array<std::int8_t, 382> nextCarry{};
    for (int v = -63; v <= 318; ++v) {
        const std::int32_t level = std::clamp(v, 0, 255);
        nextCarry[std::size_t(v + 63)] = std::int8_t((level - (level >= mean ? 255 : 0)) / 4);
    }
    const auto mean16 = std::int16_t(mean);
    const std::size_t width = std::size_t(W);
    std::vector<std::uint8_t> bytes(4 * width);
    std::vector<std::uint16_t> column(4 * width);
    std::vector<std::uint8_t> greys(SharpRows * width);
    std::vector<std::int8_t> carries(SharpRows * width);
    std::vector<std::uint8_t> whites(width);
    std::array<CarryLane, SharpRows> lanes{};
    std::array<std::int32_t, SharpRows> carryIn{};

    std::int32_t carry = 0;
    for (int y0 = 1; y0 <= H; y0 += SharpRows) {
        const int rows = std::min(SharpRows, H - y0 + 1);
        for (int r = 0; r < rows; ++r) {
            const int y = y0 + r;
            std::uint8_t* grey = greys.data() + std::size_t(r) * width;
            const std::uint8_t* here = e.Pix_Orgn.row(y);
            if (y == 1 || y == H) {
                greyRow(here, W, grey);
            } else {
                sharpenedGreys(e.Pix_Orgn.row(y - 1), here, e.Pix_Orgn.row(y + 1), W, column.data(), bytes.data(), grey);
            }
            carryIn[std::size_t(r)] = r == 0 ? carry : 0;
            lanes[std::size_t(r)] = CarryLane{grey, carries.data() + std::size_t(r) * width, carryIn[std::size_t(r)]};
        }
        carryChains[std::size_t(rows - 1)](lanes.data(), W, nextCarry.data() + 63);
        for (int r = 1; r < rows; ++r) {
            const std::int32_t truth = lanes[std::size_t(r) - 1].carry;
            if (truth == carryIn[std::size_t(r)]) {
                continue;
            }
            carryIn[std::size_t(r)] = truth;
            const std::uint8_t* grey = lanes[std::size_t(r)].grey;
            std::int8_t* after = lanes[std::size_t(r)].carries;
            std::int32_t c = truth;
            std::ptrdiff_t x = 0;
            for (; x < W; ++x) {
                c = nextCarry[std::size_t(grey[x] + c + 63)];
                if (c == after[x]) {
                    break;
                }
                after[x] = std::int8_t(c);
            }
            if (x == W) {
                lanes[std::size_t(r)].carry = c;
            }
        }
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* grey = lanes[std::size_t(r)].grey;
            const std::int8_t* after = lanes[std::size_t(r)].carries;
            std::uint8_t* out = e.Pix_Work.row(y0 + r);
            // The level is clamped at 255 too, but mean16 <= 255: only the clamp at 0 can change the answer.
            const auto white = [&](std::ptrdiff_t x, std::int16_t before) {
                return std::uint8_t(std::max(std::int16_t(grey[x] + before), std::int16_t(0)) >= mean16);
            };
            whites[0] = white(0, std::int16_t(carryIn[std::size_t(r)]));
            for (std::ptrdiff_t x = 1; x < W; ++x) {
                whites[std::size_t(x)] = white(x, after[x - 1]);
            }
            storeTones(out, e.Pix_Orgn.row(y0 + r), whites.data(), W);
            e.yieldRow();
        }
        carry = lanes[std::size_t(rows) - 1].carry;
    }
    return {};
}

Result<void> Fil_Mono_Bayer(FilterEngine& e)
{
    static constexpr std::uint8_t Bayer_Tbl[4][4] = {
        {1, 13, 4, 16},
        {9, 5, 12, 8},
        {3, 15, 2, 14},
        {11, 7, 10, 6},
    };
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = (i / 3) / 16 + 1;
    }

    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* out = e.Pix_Work.at(1, y);
        const std::uint8_t* thresholds = Bayer_Tbl[(y - 1) % 4];
        for (std::ptrdiff_t x = 0; x < e.W; ++x) {
            const std::int32_t level = e.Gray_Tbl[std::size_t(src[4 * x] + src[4 * x + 1] + src[4 * x + 2])];
            storeTone(out + 4 * x, level >= thresholds[x % 4]);
        }
        e.yieldRow();
    }
    return {};
}

} // namespace velmora::filters
