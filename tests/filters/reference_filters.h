// Plain transcriptions of filter types 1 to 18 and 21 to 31, written for clarity, not speed:
// the engine's filters must give the same bytes. Arithmetic is done in 64 bits and checked against the
// 32-bit Long range, so a run fails exactly where the Long arithmetic would overflow.
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
using velmora::Random;

// Types 21 to 31 (19 and 20 have worked examples instead), each written pixel by pixel.
struct Target {
    int row, dx, weight;
};

// The recipe as written: Err_Buf (R x W), every target checked against the picture.
inline Picture referenceDiffusion(int type, const Picture& source, int param)
{
    static const std::vector<Target> fs{{1, 1, 7}, {2, -1, 3}, {2, 0, 5}, {2, 1, 1}};
    static const std::vector<Target> burkes{{1, 1, 8}, {1, 2, 4}, {2, -2, 2}, {2, -1, 4}, {2, 0, 8}, {2, 1, 4}, {2, 2, 2}};
    std::vector<Target> stucki = burkes;
    for (const Target& t : std::vector<Target>{{3, -2, 1}, {3, -1, 2}, {3, 0, 4}, {3, 1, 2}, {3, 2, 1}}) stucki.push_back(t);
    const std::vector<Target>& pattern = type == 21 ? fs : type == 22 ? burkes : stucki;
    const int D = type == 21 ? 16 : type == 22 ? 32 : 42;
    const int R = type == 23 ? 3 : 2;

    Picture original = source, result = source;
    Pixels orgn{original}, work{result};
    const int W = source.width(), H = source.height();
    std::vector<std::vector<int>> buf(std::size_t(R) + 1, std::vector<int>(std::size_t(W) + 1, 0));
    long long sum = 0;
    for (int y = 1; y <= H; ++y)
        for (int x = 1; x <= W; ++x) sum += (orgn(1, x, y) + orgn(2, x, y) + orgn(3, x, y)) / 3;
    const long long mean = sum / ((long long)W * H);
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x) {
            const int G = (orgn(1, x, y) + orgn(2, x, y) + orgn(3, x, y)) / 3;
            const int L = std::clamp(G + buf[1][std::size_t(x)] * 10 / param, 0, 255);
            const int out = L >= mean ? 255 : 0;
            work(1, x, y) = work(2, x, y) = work(3, x, y) = std::uint8_t(out);
            const int e = L - out;
            for (const Target& t : pattern) {
                const int tx = x + t.dx;
                if (tx < 1 || tx > W || y + t.row - 1 > H) continue;
                buf[std::size_t(t.row)][std::size_t(tx)] += e * t.weight / D;
            }
        }
        for (int r = 1; r < R; ++r) buf[std::size_t(r)] = buf[std::size_t(r) + 1];
        std::fill(buf[std::size_t(R)].begin(), buf[std::size_t(R)].end(), 0);
    }
    return result;
}

// Every pixel and channel on its own: four quadrant means, four deviations, first smallest wins.
inline Picture referenceQuadSmooth(const Picture& source)
{
    Picture original = source, result = source;
    Pixels orgn{original}, work{result};
    const int left[4] = {-2, 0, -2, 0};
    const int top[4] = {-2, -2, 0, 0};
    for (int y = 3; y <= source.height() - 2; ++y)
        for (int x = 3; x <= source.width() - 2; ++x)
            for (int c = 1; c <= 3; ++c) {
                int mean[4];
                int dev[4];
                for (int q = 0; q < 4; ++q) {
                    int sum = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i) sum += orgn(c, x + left[q] + i, y + top[q] + j);
                    mean[q] = sum / 9;
                    dev[q] = 0;
                    for (int j = 0; j < 3; ++j)
                        for (int i = 0; i < 3; ++i) dev[q] += std::abs(orgn(c, x + left[q] + i, y + top[q] + j) - mean[q]);
                }
                int best = 99999, chosen = -1;
                for (int q = 0; q < 4; ++q)
                    if (dev[q] < best) {
                        best = dev[q];
                        chosen = q;
                    }
                work(c, x, y) = std::uint8_t(mean[chosen]);
            }
    return result;
}

// Type 25, 26 or 27 with one nine-value loop per pixel and channel.
inline Picture referenceRank(int type, const Picture& source)
{
    Picture original = source, result = source;
    Pixels orgn{original}, work{result};
    for (int y = 2; y <= source.height() - 1; ++y)
        for (int x = 2; x <= source.width() - 1; ++x)
            for (int c = 1; c <= 3; ++c) {
                int m = type == 25 ? 0 : 255;
                for (int j = y - 1; j <= y + 1; ++j)
                    for (int i = x - 1; i <= x + 1; ++i) {
                        const int v = orgn(c, i, j);
                        if (type == 25 ? v > m : v < m) m = v;
                    }
                work(c, x, y) = std::uint8_t(type == 27 ? work(c, x, y) - m : m);
            }
    return result;
}

// round(x) with halves to even, then clamped; x may be far outside 0..255.
inline int roundClamp(double x) { return int(std::nearbyint(std::clamp(x, 0.0, 255.0))); }

// Types 28 (with flat channels unchanged), 29, 30 and 31, each pixel and channel on its own.
inline Picture referencePoint(int type, const Picture& source, int param, Random* random = nullptr)
{
    Picture result = source;
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], channel(source, x, y, c));
                hi[c] = std::max(hi[c], channel(source, x, y, c));
            }
    const float factor = float(double(param) / 100.0);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            const std::uint8_t* p = source.pixel(x, y);
            const int grey = (p[0] + p[1] + p[2]) / 3;
            for (int c = 0; c < 3; ++c) {
                const int v = p[c];
                int out = v;
                if (type == 28 && hi[c] != lo[c]) {
                    out = roundClamp(double((v - lo[c]) * 255) / double(hi[c] - lo[c]));
                } else if (type == 29) {
                    const float r = float(std::floor(random->next() * 16777216.0) / 16777216.0);
                    out = roundClamp(double(r) * double(2 * (long long)param + 1) - double(param) + v);
                } else if (type == 30) {
                    out = roundClamp(double(factor) * double(v - grey) + v);
                } else if (type == 31) {
                    out = roundClamp(std::pow(v / 255.0, 1.0 / double(factor)) * 255.0);
                }
                result.pixel(x, y)[c] = std::uint8_t(out);
            }
        }
    return result;
}

// The picture after filter `type` with `param`, or nothing where the arithmetic fails.
// `rows` counts the yields to the message loop (types 1 to 18 only).
inline std::optional<Picture> run(int type, const Picture& in, std::int64_t param, velmora::Random& rnd,
                                  int* rows = nullptr)
{
    if (type >= 21 && type <= 23)
        return param == 0 ? std::nullopt : std::optional(referenceDiffusion(type, in, int(param)));
    if (type == 24) return referenceQuadSmooth(in);
    if (type >= 25 && type <= 27) return referenceRank(type, in);
    if (type == 31 && param <= 0) return std::nullopt;
    if (type >= 28 && type <= 31) return referencePoint(type, in, int(param), &rnd);
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
            std::int64_t sum = 0;
            for (int y = 1; y <= H; ++y)
                for (int x = 1; x <= W; ++x) sum += (O(2, x, y) + O(3, x, y) + O(1, x, y)) / 3;
            const std::int64_t mean = sum / (std::int64_t(W) * H);
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
        default: break;
        }
    } catch (const Overflow&) {
        return std::nullopt;
    }
    if (rows) *rows = yields;
    return result;
}

} // namespace reference
