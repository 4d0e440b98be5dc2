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
constexpr int InFlight = 4;  // rows worked at once (the switch below has a case for each count)
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

// What one pixel's level decides: the shares for the next two pixels of its row, and the
// pixel's error * 2 + 1 when it turns white (+ 0 when black).
struct Outcome {
    std::int32_t ahead1;
    std::int32_t ahead2;
    std::int32_t code;
};

// One row's place in the interleaved chain: its stretch's grey levels, the shares gathered
// from the rows above, where its codes go, and the shares carried along the row.
struct Lane {
    const std::uint8_t* grey;
    const std::int16_t* gathered;
    std::int16_t* code;
    std::int32_t ahead1;
    std::int32_t ahead2;
};

// `damped` is indexed by the gathered error (-255..255), `outcomes` by grey + damped error
// (-255..510).
template <int N>
void chain(Lane* lanes, const std::int32_t* damped, const Outcome* outcomes)
{
    Lane l[N];
    std::copy(lanes, lanes + N, l);
    for (std::ptrdiff_t i = 0; i < Stretch; ++i) {
        [&]<int... n>(std::integer_sequence<int, n...>) {
            (
                [&] {
                    const std::int32_t gathered = l[n].gathered[i] + l[n].ahead1;
                    assert(gathered >= -255 && gathered <= 255);
                    const Outcome& o = outcomes[l[n].grey[i] + damped[gathered]];
                    l[n].ahead1 = l[n].ahead2 + o.ahead1;
                    l[n].ahead2 = o.ahead2;
                    l[n].code[i] = std::int16_t(o.code);
                }(),
                ...);
        }(std::make_integer_sequence<int, N>{});
    }
    std::copy(l, l + N, lanes);
}

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
    std::array<std::int32_t, 511> damped{};
    for (int err = -255; err <= 255; ++err) {
        damped[std::size_t(err + 255)] = std::clamp(err * 10 / e.param, -255, 255);
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
    std::vector<std::uint8_t> grey(InFlight * padded, 0);
    std::vector<std::int16_t> codes(InFlight * padded, 0);
    auto slot = [&](int y) { return std::size_t(y % Slots) * stride + Margin; };
    auto part = [&](int y, std::size_t w) { return parts.data() + (std::size_t(y % Slots) * weights.count + w) * stride + Margin; };
    e.yieldRow();

    const std::int64_t mean = meanGrayLevel(e);
    std::array<Outcome, 766> outcomes{};
    for (int v = -255; v <= 510; ++v) {
        const std::int32_t level = std::clamp(v, 0, 255);
        const std::int32_t tone = level >= mean ? 255 : 0;
        const std::int32_t err = level - tone;
        Outcome& o = outcomes[std::size_t(v + 255)];
        o.code = err * 2 + (tone != 0 ? 1 : 0);
        for (const Share& s : Shares) {
            if (s.row == 0) {
                (s.dx == 1 ? o.ahead1 : o.ahead2) = err * s.weight / Divisor;
            }
        }
    }
    e.yieldRow();

    // Row y's codes for columns [x0, x1) become its output pixels and its shares, and the
    // shares for the rows below whose every source is now known are gathered into them.
    auto finish = [&](int y, int lane, std::ptrdiff_t x0, std::ptrdiff_t x1) {
        const std::int16_t* code = codes.data() + std::size_t(lane) * padded;
        std::uint8_t* out = e.Pix_Work.row(y);
        const std::ptrdiff_t real = std::min<std::ptrdiff_t>(x1, W);
        for (std::ptrdiff_t x = x0; x < real; ++x) {
            storeTone(out + 4 * x, (code[x] & 1) != 0);
        }
        for (std::size_t w = 0; w < weights.count; ++w) {
            std::int16_t* p = part(y, w);
            const auto weight = std::int16_t(weights.weight[w]);
            for (std::ptrdiff_t x = x0; x < real; ++x) {
                p[x] = share<Divisor>(std::int16_t((code[x] >> 1) * weight));
            }
            std::fill(p + std::max(x0, real), p + x1, std::int16_t(0));
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

    std::array<Lane, InFlight> lanes{};
    for (int y0 = 1; y0 <= H; y0 += InFlight) {
        const int rows = std::min(InFlight, H - y0 + 1);
        for (int r = 0; r < rows; ++r) {
            std::uint8_t* g = grey.data() + std::size_t(r) * padded;
            greyRow(e.Pix_Orgn.row(y0 + r), W, g);
            lanes[std::size_t(r)] = Lane{g, gathered.data() + slot(y0 + r), codes.data() + std::size_t(r) * padded, 0, 0};
        }
        // Step j works stretch j - Lag * r of row r, for the rows that have one.
        const int steps = int(stretches) + Lag * (rows - 1);
        for (int j = 0; j < steps; ++j) {
            const int first = std::max(0, (j - int(stretches) + Lag) / Lag);
            const int last = std::min(rows - 1, j / Lag);
            if (first > last) {
                continue; // a narrow picture: no row has a stretch at this step
            }
            std::array<Lane, InFlight> active{};
            for (int r = first; r <= last; ++r) {
                const std::ptrdiff_t x0 = std::ptrdiff_t(j - Lag * r) * Stretch;
                const Lane& l = lanes[std::size_t(r)];
                active[std::size_t(r - first)] = Lane{l.grey + x0, l.gathered + x0, l.code + x0, l.ahead1, l.ahead2};
            }
            switch (last - first + 1) {
            case 1: chain<1>(active.data(), damped.data() + 255, outcomes.data() + 255); break;
            case 2: chain<2>(active.data(), damped.data() + 255, outcomes.data() + 255); break;
            case 3: chain<3>(active.data(), damped.data() + 255, outcomes.data() + 255); break;
            case 4: chain<InFlight>(active.data(), damped.data() + 255, outcomes.data() + 255); break;
            default: assert(false);
            }
            for (int r = first; r <= last; ++r) {
                lanes[std::size_t(r)].ahead1 = active[std::size_t(r - first)].ahead1;
                lanes[std::size_t(r)].ahead2 = active[std::size_t(r - first)].ahead2;
                const std::ptrdiff_t x0 = std::ptrdiff_t(j - Lag * r) * Stretch;
                finish(y0 + r, r, x0, x0 + Stretch);
            }
        }
        for (int r = 0; r < rows; ++r) {
            std::fill_n(gathered.data() + slot(y0 + r) - Margin, stride, std::int16_t(0));
            e.yieldRow();
        }
    }
    return {};
}

} // namespace

Result<void> Fil_Diff_FS(FilterEngine& e) { return diffuse<FloydSteinberg, 16>(e); }
Result<void> Fil_Diff_Burkes(FilterEngine& e) { return diffuse<Burkes, 32>(e); }
Result<void> Fil_Diff_Stucki(FilterEngine& e) { return diffuse<Stucki, 42>(e); }

} // namespace velmora::filters
