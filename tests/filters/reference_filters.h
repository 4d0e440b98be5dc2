// Plain transcriptions of filter types 1 to 19 and 21 to 31 (20 has worked examples
// instead), written for clarity, not speed: the engine's filters must give the same bytes and
// yields. Arithmetic is done in 64 bits and checked against the 32-bit Long range, so a run
// fails exactly where the Long arithmetic would overflow.
#pragma once

#include "filters/engine.h"
#include "filters/filter_procs.h"
#include "filters/filter_math.h"
#include "filters/picture.h"
#include "filter_test_support.h"
#include "startup/random.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <optional>
#include <vector>

namespace reference {

using velmora::Picture;

struct Overflow {};
inline std::int64_t L(std::int64_t v)
{
    if (!velmora::filters::fitsLong(v)) throw Overflow{};
    return v;
}
inline std::int64_t clamp255(std::int64_t v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }
inline std::int64_t cLng(double v)
{
    const double r = std::nearbyint(v); // default mode: halves to even
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw Overflow{};
    return std::int64_t(r);
}
inline float percent(std::int64_t param) { return float(double(L(param + 100)) / 100.0); }

using namespace velmora::filters::testing;

// An error diffusion target: `row` 1 is the current row, `dx` the column offset.
struct Target {
    int row, dx, weight;
};

// round(x) with halves to even, then clamped; x may be far outside 0..255.
inline int roundClamp(double x) { return int(std::nearbyint(std::clamp(x, 0.0, 255.0))); }

// The picture after filter `type` with `param`, or nothing where the arithmetic fails.
// `rows` counts the yields to the message loop: one after each row of each pass.
inline std::optional<Picture> run(int type, const Picture& in, std::int64_t param, velmora::Random& rnd,
                                  int* rows = nullptr)
{
    Picture original = in, result = in;
    Pixels work{result}, O{original};
    const int W = in.width(), H = in.height();
    int yields = 0;
    // The eight neighbours' sum in either array.
    auto S8 = [](Pixels& P, int c, int x, int y) {
        std::int64_t s = 0;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i)
                if (i != 0 || j != 0) s += P(c, x + i, y + j);
        return s;
    };
    auto perPixel = [&](auto body) {
        for (int y = 1; y <= H; ++y) {
            for (int x = 1; x <= W; ++x) body(x, y);
            ++yields;
        }
    };
    const std::int64_t red = param % 256, green = (param >> 8) & 255, blue = (param >> 16) & 255;
    const std::int64_t off[4] = {0, blue, green, red};
    // Each channel of each pixel of a rectangle, row by row, clamped; in place, so the
    // formulas that read `work` see the values written before them.
    auto eachChannel = [&](int y0, int y1, int x0, int x1, auto formula) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x)
                for (int c = 1; c <= 3; ++c) work(c, x, y) = clamp255(formula(c, x, y));
            ++yields;
        }
    };
    // The mean of every pixel's grey, truncated.
    auto meanGrey = [&] {
        std::int64_t sum = 0;
        for (int y = 1; y <= H; ++y)
            for (int x = 1; x <= W; ++x) sum += (O(1, x, y) + O(2, x, y) + O(3, x, y)) / 3;
        return sum / (std::int64_t(W) * H);
    };
    std::vector<std::int64_t> gray(256);
    try {
        switch (type) {
        case 1:
        case 6: {
            const std::int64_t w = type == 1 ? 2 : 1;
            const std::int64_t k = L(param + (type == 1 ? 24 : 9)), d = L(param + (type == 1 ? 8 : 1));
            if (d == 0) return std::nullopt;
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                return clamp255(L(L(work(c, x, y) * k) - w * S8(work, c, x, y)) / d);
            });
            break;
        }
        case 2: perPixel([&](int x, int y) { for (int c = 1; c <= 3; ++c) work(c, x, y) = 255 - work(c, x, y); }); break;
        case 3: eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) { return S8(work, c, x, y) / 8; }); break;
        case 4: {
            const std::int64_t half = cLng(double(param) / 2);
            auto draw = [&] { return double(float(std::int64_t(rnd.next() * 16777216.0) / 16777216.0)); };
            perPixel([&](int x, int y) {
                std::int64_t dx = cLng(draw() * double(param) - double(half));
                std::int64_t dy = cLng(draw() * double(param) - double(half));
                if (x + dx < 1) dx = 0;
                if (x + dx > W) dx = 0;
                if (y + dy < 1) dy = 0;
                if (y + dy > H) dy = 0;
                for (int c = 1; c <= 3; ++c) work(c, x, y) = work(c, int(x + dx), int(y + dy));
            });
            break;
        }
        case 5:
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                return (work(c, x - 1, y) + work(c, x, y) + work(c, x, y - 1) + work(c, x, y + 1) +
                        work(c, x + 1, y)) / 5;
            });
            break;
        case 7:
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) { return 8 * O(c, x, y) - S8(O, c, x, y) + off[c]; });
            break;
        case 8:
        case 10:
            eachChannel(1, H - 1, 1, W - 1, [&](int c, int x, int y) {
                // These two read Pix_Work, as written: the pixel and its lower-right neighbour.
                const std::int64_t own = work(c, x, y), next = work(c, x + 1, y + 1);
                const std::int64_t d = type == 8 ? own - next : next - own;
                return std::abs(d + off[c]);
            });
            break;
        case 9:
        case 11:
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                const std::int64_t lr = (O(c, x - 1, y - 1) - O(c, x + 1, y - 1)) + (O(c, x - 1, y) - O(c, x + 1, y)) +
                                        (O(c, x - 1, y + 1) - O(c, x + 1, y + 1));
                return (type == 9 ? lr : -lr) + off[c];
            });
            break;
        case 12:
            perPixel([&](int x, int y) {
                const std::int64_t v = (work(2, x, y) + work(3, x, y) + work(1, x, y)) / 3;
                for (int c = 1; c <= 3; ++c) work(c, x, y) = v;
            });
            break;
        case 13:
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                const std::int64_t e = 2 * O(c, x - 1, y - 1) + O(c, x - 1, y) + O(c, x, y - 1) - O(c, x, y + 1) -
                                       O(c, x + 1, y) - 2 * O(c, x + 1, y + 1);
                return (O(c, x, y) + e) / 2 + 50;
            });
            break;
        case 14: {
            const float k = percent(param);
            for (int i = 0; i <= 255; ++i) gray[std::size_t(i)] = clamp255(cLng(double(k) * i));
            perPixel([&](int x, int y) { for (int c = 1; c <= 3; ++c) work(c, x, y) = gray[std::size_t(O(c, x, y))]; });
            break;
        }
        case 15: {
            const std::int64_t n = param;
            if (n == 0) return std::nullopt;
            std::int64_t sum[3] = {0, 0, 0}, count = 0;
            perPixel([&](int x, int y) {
                if ((x - 1) % n == 0) {
                    sum[0] = sum[1] = sum[2] = count = 0;
                    const std::int64_t x0 = ((x - 1) / n) * n + 1, y0 = ((y - 1) / n) * n + 1;
                    for (std::int64_t xx = x0; xx <= std::min<std::int64_t>(x0 + n - 1, W); ++xx)
                        for (std::int64_t yy = y0; yy <= std::min<std::int64_t>(y0 + n - 1, H); ++yy) {
                            for (int c = 0; c < 3; ++c) sum[c] += O(c + 1, int(xx), int(yy));
                            ++count;
                        }
                    if (count > 0)
                        for (auto& s : sum) s /= count;
                }
                for (int c = 0; c < 3; ++c) work(c + 1, x, y) = sum[c];
            });
            break;
        }
        case 16:
            perPixel([&](int x, int y) {
                const std::int64_t B = O(1, x, y), G = O(2, x, y), R = O(3, x, y);
                const std::int64_t orders[6][3] = {{B, G, R}, {G, R, B}, {R, B, G}, {G, B, R}, {R, G, B}, {B, R, G}};
                if (param >= 1 && param <= 5)
                    for (int c = 0; c < 3; ++c) work(c + 1, x, y) = orders[param][c];
            });
            break;
        case 17: {
            const std::int64_t mean = meanGrey();
            const float k = percent(param);
            for (int i = 0; i <= 255; ++i) gray[std::size_t(i)] = cLng(double(k) * double(i - mean) + double(mean));
            ++yields;
            perPixel([&](int x, int y) {
                std::int32_t b = std::int32_t(gray[std::size_t(O(1, x, y))]), g = std::int32_t(gray[std::size_t(O(2, x, y))]),
                             r = std::int32_t(gray[std::size_t(O(3, x, y))]);
                if (!velmora::filters::Spill_Clamp(b, g, r)) throw Overflow{};
                work(1, x, y) = b, work(2, x, y) = g, work(3, x, y) = r;
            });
            break;
        }
        case 18:
            perPixel([&](int x, int y) {
                const bool white = O(3, x, y) >= red || O(2, x, y) >= green || O(1, x, y) >= blue;
                for (int c = 1; c <= 3; ++c) work(c, x, y) = white ? 255 : 0;
            });
            break;
        case 19: {
            // The sharpened grey against the mean, one remainder carried through the picture.
            const std::int64_t mean = meanGrey();
            ++yields; // after the mean pass
            std::int64_t carry = 0;
            for (int y = 1; y <= H; ++y) {
                for (int x = 1; x <= W; ++x) {
                    std::int64_t sum = 0;
                    for (int c = 1; c <= 3; ++c) {
                        const bool edge = y == 1 || y == H || x == 1 || x == W;
                        sum += edge ? O(c, x, y) : clamp255((10 * O(c, x, y) - S8(O, c, x, y)) / 2);
                    }
                    const std::int64_t level = clamp255(sum / 3 + carry);
                    const std::int64_t out = level >= mean ? 255 : 0;
                    for (int c = 1; c <= 3; ++c) work(c, x, y) = std::uint8_t(out);
                    carry = (level - out) / 4;
                }
                ++yields;
            }
            break;
        }
        case 21:
        case 22:
        case 23: {
            // Err_Buf (R x W) as written, every target checked against the picture.
            if (param == 0) return std::nullopt;
            static const std::vector<Target> patterns[3] = {
                {{1, 1, 7}, {2, -1, 3}, {2, 0, 5}, {2, 1, 1}},
                {{1, 1, 8}, {1, 2, 4}, {2, -2, 2}, {2, -1, 4}, {2, 0, 8}, {2, 1, 4}, {2, 2, 2}},
                {{1, 1, 8}, {1, 2, 4}, {2, -2, 2}, {2, -1, 4}, {2, 0, 8}, {2, 1, 4}, {2, 2, 2},
                 {3, -2, 1}, {3, -1, 2}, {3, 0, 4}, {3, 1, 2}, {3, 2, 1}}};
            const int D = type == 21 ? 16 : type == 22 ? 32 : 42;
            const int R = type == 23 ? 3 : 2;
            std::vector<std::vector<std::int64_t>> buf(std::size_t(R) + 1, std::vector<std::int64_t>(std::size_t(W) + 1));
            ++yields; // after the set-up
            const std::int64_t mean = meanGrey();
            ++yields; // after the mean pass
            for (int y = 1; y <= H; ++y) {
                for (int x = 1; x <= W; ++x) {
                    const std::int64_t grey = (O(1, x, y) + O(2, x, y) + O(3, x, y)) / 3;
                    const std::int64_t level = clamp255(grey + buf[1][std::size_t(x)] * 10 / param);
                    const std::int64_t out = level >= mean ? 255 : 0;
                    for (int c = 1; c <= 3; ++c) work(c, x, y) = std::uint8_t(out);
                    for (const Target& t : patterns[type - 21]) {
                        if (x + t.dx >= 1 && x + t.dx <= W && y + t.row - 1 <= H)
                            buf[std::size_t(t.row)][std::size_t(x + t.dx)] += (level - out) * t.weight / D;
                    }
                }
                for (int r = 1; r < R; ++r) buf[std::size_t(r)] = buf[std::size_t(r) + 1];
                std::fill(buf[std::size_t(R)].begin(), buf[std::size_t(R)].end(), 0);
                ++yields;
            }
            break;
        }
        case 24:
            // Four 3 x 3 quadrants meet at the pixel: the mean of the first with the smallest deviation.
            eachChannel(3, H - 2, 3, W - 2, [&](int c, int x, int y) {
                std::int64_t best = 99999, chosen = 0;
                for (int q = 0; q < 4; ++q) {
                    const int left = x - 2 + 2 * (q % 2), top = y - 2 + 2 * (q / 2);
                    std::int64_t sum = 0, deviation = 0;
                    for (int i = 0; i < 9; ++i) sum += O(c, left + i % 3, top + i / 3);
                    for (int i = 0; i < 9; ++i) deviation += std::abs(O(c, left + i % 3, top + i / 3) - sum / 9);
                    if (deviation < best) best = deviation, chosen = sum / 9;
                }
                return chosen;
            });
            break;
        case 25:
        case 26:
        case 27:
            // The largest (25) or smallest of the nine values; 27 takes the smallest off the pixel.
            eachChannel(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                std::int64_t m = type == 25 ? 0 : 255;
                for (int i = 0; i < 9; ++i) {
                    const std::int64_t v = O(c, x - 1 + i % 3, y - 1 + i / 3);
                    m = type == 25 ? std::max(m, v) : std::min(m, v);
                }
                return type == 27 ? O(c, x, y) - m : m;
            });
            break;
        case 28: {
            // Each channel stretched over its own range; a flat channel stays.
            std::int64_t lo[4] = {0, 255, 255, 255}, hi[4] = {0, 0, 0, 0};
            perPixel([&](int x, int y) {
                for (int c = 1; c <= 3; ++c) lo[c] = std::min<std::int64_t>(lo[c], O(c, x, y));
                for (int c = 1; c <= 3; ++c) hi[c] = std::max<std::int64_t>(hi[c], O(c, x, y));
            });
            eachChannel(1, H, 1, W, [&](int c, int x, int y) {
                if (hi[c] == lo[c]) return std::int64_t(O(c, x, y));
                return std::int64_t(roundClamp(double((O(c, x, y) - lo[c]) * 255) / double(hi[c] - lo[c])));
            });
            break;
        }
        case 29:
            eachChannel(1, H, 1, W, [&](int c, int x, int y) {
                const float r = float(std::floor(rnd.next() * 16777216.0) / 16777216.0);
                return roundClamp(double(r) * double(2 * param + 1) - double(param) + O(c, x, y));
            });
            break;
        case 30:
        case 31: {
            if (type == 31 && param <= 0) return std::nullopt;
            const float factor = float(double(param) / 100.0);
            eachChannel(1, H, 1, W, [&](int c, int x, int y) {
                const int v = O(c, x, y), grey = (O(1, x, y) + O(2, x, y) + O(3, x, y)) / 3;
                if (type == 30) return roundClamp(double(factor) * double(v - grey) + v);
                return roundClamp(std::pow(v / 255.0, 1.0 / double(factor)) * 255.0);
            });
            break;
        }
        default: break;
        }
    } catch (const Overflow&) {
        return std::nullopt;
    }
    if (rows) *rows = yields;
    return result;
}

} // namespace reference
