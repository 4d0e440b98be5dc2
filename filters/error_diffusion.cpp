// Filter types 21 to 23: two-tone by error diffusion against the picture's mean grey, with
// the Floyd-Steinberg, Burkes and Stucki patterns and the error damped by param / 10.
//
// Along a row each pixel waits for the error of the one before it: two dependent table loads
// a pixel, which leave the processor mostly idle. So several rows are worked at once, their
// pixels interleaved, each row a stretch of columns behind the one above it (far enough that
// every share it gathers from above is already in). What only later rows need (the output
// bytes and the shares carried down) is done afterwards a stretch at a time, where it
// vectorises. The sums are the same integers in another order, so the bytes are the same.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
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

constexpr int Margin = 2;    // spare columns each side of a row: no share reaches further
constexpr int Stretch = 64;  // columns a row works before the rows below may take them
constexpr int Lag = 2;       // stretches between a row and the next: shares reach 2 columns right
constexpr int InFlight = 8;  // rows worked at once
constexpr int MaxRows = 3;   // this row and the two below it

// (error * weight) \ D, truncated towards zero, for |error * weight| up to 255 * 8: a 16-bit
// high product by a rounded-up reciprocal gives the same quotient, and a loop of them vectorises.
template <std::int32_t D>
constexpr std::int16_t share(std::int16_t n)
{
    constexpr std::uint16_t reciprocal = (65536 + D - 1) / D;
    const auto sign = std::int16_t(n >> 15); // 0 or -1
    const auto magnitude = std::uint16_t((n ^ sign) - sign);
    const auto q = std::uint16_t((std::uint32_t(magnitude) * reciprocal) >> 16);
    return std::int16_t((q ^ sign) - sign);
}

template <std::int32_t D>
constexpr bool sharesExact()
{
    for (std::int32_t n = -255 * 8; n <= 255 * 8; ++n) {
        if (share<D>(std::int16_t(n)) != n / D) {
            return false;
        }
    }
    return true;
}
static_assert(sharesExact<16>() && sharesExact<32>() && sharesExact<42>());

// The weights of the shares for later rows, each once: a pixel's share of each is worked out
// once and gathered by every target with that weight.
struct Weights {
    std::array<std::int32_t, 8> weight{};
    std::size_t count = 0;
    constexpr std::size_t indexOf(std::int32_t w) const
    {
        std::size_t i = 0;
        while (weight[i] != w) {
            ++i;
        }
        return i;
    }
};

template <const auto& Shares>
constexpr Weights lowerWeights = [] {
    Weights w;
    for (const Share& s : Shares) {
        bool seen = false;
        for (std::size_t i = 0; i < w.count; ++i) {
            seen = seen || w.weight[i] == s.weight;
        }
        if (s.row > 0 && !seen) {
            w.weight[w.count++] = s.weight;
        }
    }
    return w;
}();

// The shares a pixel passes along its row travel as one word: the share for the next pixel in
// the low 16 bits and the one for the pixel after in the high 16, each + CarryBias. A pixel's
// outcome word adds its own two shares so that `(carried >> 16) + outcome` is the next word:
// one shift and one add on the chain instead of two loads and a move.
constexpr std::int32_t CarryBias = 256; // the shares along a row stay within +-255
constexpr std::uint32_t carriedWord(std::int32_t next, std::int32_t after)
{
    return std::uint32_t(next + CarryBias) | std::uint32_t(after + CarryBias) << 16;
}

// One step's stretches of the rows worked at once, side by side, so that every row's data is
// at a fixed offset from one base and the interleaved chain needs no pointer per row.
struct StepRows {
    std::array<std::array<std::int16_t, Stretch>, InFlight> gathered; // shares from the rows above
    std::array<std::array<std::uint8_t, Stretch>, InFlight> grey;
    std::array<std::array<std::int16_t, Stretch>, InFlight> level; // grey + damped error, before the clamp
    std::array<std::uint32_t, InFlight> carried;
};

// `damped` is indexed by the gathered error + CarryBias, `outcomes` by the level (-255..510).
// The rows' words stay in general registers: packed into vectors (as the compiler would),
// each would cross between register files twice a pixel on the chain.
template <int N>
#if defined(__GNUC__) && !defined(__clang__)
[[gnu::optimize("no-tree-slp-vectorize")]]
#endif
void chain(StepRows& s, const std::int16_t* damped, const std::uint32_t* outcomes)
{
    std::uint32_t carried[N];
    std::copy_n(s.carried.begin(), N, carried);
    for (std::ptrdiff_t i = 0; i < Stretch; ++i) {
        [&]<int... n>(std::integer_sequence<int, n...>) {
            (
                [&] {
                    const std::int32_t gathered = s.gathered[n][i] + std::int32_t(carried[n] & 0xFFFF);
                    assert(gathered >= CarryBias - 255 && gathered <= CarryBias + 255);
                    const std::int32_t level = s.grey[n][i] + damped[gathered];
                    s.level[n][i] = std::int16_t(level);
                    carried[n] = (carried[n] >> 16) + outcomes[level];
                }(),
                ...);
        }(std::make_integer_sequence<int, N>{});
    }
    std::copy_n(carried, N, s.carried.begin());
}

using Chain = void (*)(StepRows&, const std::int16_t*, const std::uint32_t*);
constexpr auto chains = []<std::size_t... n>(std::index_sequence<n...>) {
    return std::array<Chain, sizeof...(n)>{&chain<int(n) + 1>...};
}(std::make_index_sequence<InFlight>{});

template <const auto& Shares, std::int32_t Divisor>
Result<void> diffuse(FilterEngine& e)
{
    const int W = e.W;
    const int H = e.H;
    if (e.param == 0) {
        return Reason{"error divisor is 0"};
    }
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }

    // Every buffer entry gathers at most one share per weight, and the weights sum to the
    // divisor, so |gathered| <= 255; a damped error beyond -255..255 clamps the level the
    // same as -255 or 255 would, so the table stops there.
    std::array<std::int16_t, 2 * CarryBias> damped{};
    for (int err = -255; err <= 255; ++err) {
        damped[std::size_t(err + CarryBias)] = std::int16_t(std::clamp(err * 10 / e.param, -255, 255));
    }

    const std::size_t stretches = (std::size_t(W) + Stretch - 1) / Stretch;
    const std::size_t padded = stretches * Stretch;
    const std::size_t stride = padded + 2 * Margin;
    // Ring rows, one per picture row from the first worked to two below the last: the shares
    // gathered for the row, and its errors (zero in the margins and past the picture).
    constexpr int Slots = InFlight + MaxRows - 1;
    std::vector<std::int16_t> gathered(Slots * stride, 0);
    // A row's share of each lower weight at each column (zero in the margins and past the picture).
    constexpr Weights weights = lowerWeights<Shares>;
    std::vector<std::int16_t> parts(Slots * weights.count * stride, 0);
    std::vector<std::uint8_t> grey(Slots * padded, 0);
    auto slot = [&](int y) { return std::size_t(y % Slots) * stride + Margin; };
    auto part = [&](int y, std::size_t w) { return parts.data() + (std::size_t(y % Slots) * weights.count + w) * stride + Margin; };
    e.yieldRow();

    const std::int64_t mean = meanGrayLevel(e);
    const auto mean16 = std::int16_t(mean);
    // What a level decides for the next two pixels of its row (the tone and the error follow
    // from the level itself, later and vectorised).
    std::array<std::uint32_t, 766> outcomes{};
    for (int v = -255; v <= 510; ++v) {
        const std::int32_t level = std::clamp(v, 0, 255);
        const std::int32_t err = level - (level >= mean ? 255 : 0);
        std::int32_t next = 0;
        std::int32_t after = 0;
        for (const Share& s : Shares) {
            if (s.row == 0) {
                (s.dx == 1 ? next : after) = err * s.weight / Divisor;
            }
        }
        // The word that turns `carried` into the next pixel's: its high half becomes the low
        // half (+ next), and `after` comes in as the new high half (modulo 2^32, exact since
        // each half stays within 0..65535).
        outcomes[std::size_t(v + 255)] = std::uint32_t(next) + (std::uint32_t(after + CarryBias) << 16);
    }
    e.yieldRow();

    // Row y's levels for columns [x0, x1) become its output pixels and its shares, and the
    // shares for the rows below whose every source is now known are gathered into them.
    auto finish = [&](int y, const std::int16_t* levels, std::ptrdiff_t x0, std::ptrdiff_t x1) {
        const std::ptrdiff_t real = std::min<std::ptrdiff_t>(x1, W);
        std::array<std::uint8_t, Stretch> white;
        std::array<std::int16_t, Stretch> err;
        for (std::ptrdiff_t i = 0; i < real - x0; ++i) {
            const auto level = std::clamp(levels[i], std::int16_t(0), std::int16_t(255));
            white[std::size_t(i)] = std::uint8_t(level >= mean16);
            err[std::size_t(i)] = std::int16_t(level >= mean16 ? level - 255 : level);
        }
        storeTones(e.Pix_Work.row(y) + 4 * x0, e.Pix_Orgn.row(y) + 4 * x0, white.data(), real - x0);
        for (std::size_t w = 0; w < weights.count; ++w) {
            std::int16_t* p = part(y, w) + x0;
            const auto weight = std::int16_t(weights.weight[w]);
            for (std::ptrdiff_t i = 0; i < real - x0; ++i) {
                p[i] = share<Divisor>(std::int16_t(err[std::size_t(i)] * weight));
            }
            std::fill(p + (real - x0), p + (x1 - x0), std::int16_t(0));
        }
        // Targets up to x1 - 3 draw on errors up to x1 - 1; the last stretch finishes the row.
        const std::ptrdiff_t t0 = std::max<std::ptrdiff_t>(x0 - Margin, 0);
        const std::ptrdiff_t t1 = x1 == std::ptrdiff_t(padded) ? x1 : x1 - Margin;
        auto gatherInto = [&]<int Below>(std::integral_constant<int, Below>) {
            if (y + Below > H) {
                return;
            }
            std::int16_t* target = gathered.data() + slot(y + Below);
            for (std::ptrdiff_t t = t0; t < t1; ++t) {
                std::int32_t sum = target[t];
                [&]<std::size_t... k>(std::index_sequence<k...>) {
                    (
                        [&] {
                            constexpr Share s = Shares[k];
                            if constexpr (s.row == Below) {
                                sum += part(y, weights.indexOf(s.weight))[t - s.dx];
                            }
                        }(),
                        ...);
                }(std::make_index_sequence<Shares.size()>{});
                target[t] = std::int16_t(sum);
            }
        };
        gatherInto(std::integral_constant<int, 1>{});
        gatherInto(std::integral_constant<int, 2>{});
    };

    // Row y works its stretch s at step lag * y + s. The lag is at least Lag (see above) and
    // wide enough that no more than InFlight rows are at work at once, so a wide picture keeps
    // InFlight rows in flight from its top to its bottom rather than filling and draining
    // the chain for each band of rows.
    const std::ptrdiff_t lag = std::max<std::ptrdiff_t>(Lag, (std::ptrdiff_t(stretches) + InFlight - 1) / InFlight);
    const std::ptrdiff_t steps = std::ptrdiff_t(stretches) + lag * (H - 1);
    StepRows step{};
    std::array<std::uint32_t, Slots> carried{};
    for (std::ptrdiff_t j = 0; j < steps; ++j) {
        // The rows (from 0) with a stretch at this step.
        const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, (j - std::ptrdiff_t(stretches) + lag) / lag);
        const std::ptrdiff_t last = std::min<std::ptrdiff_t>(H - 1, j / lag);
        if (first > last) {
            continue; // a narrow picture: no row has a stretch at this step
        }
        assert(last - first < InFlight);
        for (std::ptrdiff_t r = first; r <= last; ++r) {
            const int y = int(r) + 1;
            const std::size_t n = std::size_t(r - first);
            const std::size_t x0 = std::size_t(j - lag * r) * Stretch;
            std::uint8_t* rowGrey = grey.data() + std::size_t(y % Slots) * padded;
            if (x0 == 0) {
                greyRow(e.Pix_Orgn.row(y), W, rowGrey);
                carried[std::size_t(y % Slots)] = carriedWord(0, 0);
            }
            std::memcpy(step.gathered[n].data(), gathered.data() + slot(y) + x0, sizeof step.gathered[n]);
            std::memcpy(step.grey[n].data(), rowGrey + x0, sizeof step.grey[n]);
            step.carried[n] = carried[std::size_t(y % Slots)];
        }
        chains[std::size_t(last - first)](step, damped.data(), outcomes.data() + 255);
        for (std::ptrdiff_t r = first; r <= last; ++r) {
            const int y = int(r) + 1;
            const std::size_t n = std::size_t(r - first);
            const std::ptrdiff_t x0 = (j - lag * r) * Stretch;
            carried[std::size_t(y % Slots)] = step.carried[n];
            finish(y, step.level[n].data(), x0, x0 + Stretch);
            if (x0 + Stretch == std::ptrdiff_t(padded)) {
                // The row is done: its slot starts empty for the row that takes it next.
                std::fill_n(gathered.data() + slot(y) - Margin, stride, std::int16_t(0));
                e.yieldRow();
            }
        }
    }
    return {};
}

} // namespace

Result<void> Fil_Diff_FS(FilterEngine& e) { return diffuse<FloydSteinberg, 16>(e); }
Result<void> Fil_Diff_Burkes(FilterEngine& e) { return diffuse<Burkes, 32>(e); }
Result<void> Fil_Diff_Stucki(FilterEngine& e) { return diffuse<Stucki, 42>(e); }

} // namespace velmora::filters
