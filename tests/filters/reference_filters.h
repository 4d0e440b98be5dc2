// Plain transcriptions of filter types 1 to 18, written for clarity, not speed: the engine's
// filters must give the same bytes. Arithmetic is done in 64 bits and checked against the
// 32-bit Long range, so a run fails exactly where the Long arithmetic would overflow.
#pragma once

#include "filters/engine.h"
#include "filters/filter_procs.h"
#include "filters/filter_math.h"
#include "filters/picture.h"
#include "startup/random.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace reference {

using velmora::Picture;

struct Arrays {
    int W, H;
    std::vector<std::int64_t> work, orgn;

    explicit Arrays(const Picture& p) : W(p.width()), H(p.height())
    {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                for (int c = 0; c < 4; ++c) work.push_back(p.pixel(x, y)[c]);
        orgn = work;
    }
    std::int64_t& Work(int c, int x, int y) { return work.at(std::size_t((c - 1) + 4 * ((x - 1) + W * (y - 1)))); }
    std::int64_t Orgn(int c, int x, int y) { return orgn.at(std::size_t((c - 1) + 4 * ((x - 1) + W * (y - 1)))); }
    Picture picture() const
    {
        Picture p(W, H);
        for (std::size_t i = 0; i < work.size(); ++i) p.data()[i] = std::uint8_t(work[i]);
        return p;
    }
};

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
inline void split(std::int64_t colour, std::int64_t& r, std::int64_t& g, std::int64_t& b)
{
    r = colour % 256;
    g = (colour >> 8) & 255;
    b = (colour >> 16) & 255;
}

// The picture after filter `type` with `param`, or nothing where the arithmetic fails.
// `rows` counts the yields to the message loop.
inline std::optional<Picture> run(int type, const Picture& in, std::int64_t param, velmora::Random& rnd,
                                  int* rows = nullptr)
{
    Arrays a(in);
    const int W = a.W, H = a.H;
    int yields = 0;
    auto S8 = [&](int c, int x, int y) {
        std::int64_t s = 0;
        for (int j = -1; j <= 1; ++j)
            for (int i = -1; i <= 1; ++i)
                if (i != 0 || j != 0) s += a.Work(c, x + i, y + j);
        return s;
    };
    auto inPlace = [&](auto formula) {
        for (int y = 2; y <= H - 1; ++y) {
            for (int x = 2; x <= W - 1; ++x) {
                std::int64_t v[3];
                for (int c = 1; c <= 3; ++c) v[c - 1] = formula(c, x, y);
                for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = v[c - 1];
            }
            ++yields;
        }
    };
    auto perPixel = [&](auto body) {
        for (int y = 1; y <= H; ++y) {
            for (int x = 1; x <= W; ++x) body(x, y);
            ++yields;
        }
    };
    std::int64_t red, green, blue;
    split(param, red, green, blue);
    const std::int64_t off[4] = {0, blue, green, red};
    auto sourceRows = [&](int y0, int y1, int x0, int x1, auto formula) {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x)
                for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = clamp255(formula(c, x, y));
            ++yields;
        }
    };
    auto O = [&](int c, int x, int y) { return a.Orgn(c, x, y); };
    std::vector<std::int64_t> gray(766);
    try {
        switch (type) {
        case 1:
        case 6: {
            const std::int64_t w = type == 1 ? 2 : 1;
            const std::int64_t k = L(param + (type == 1 ? 24 : 9)), d = L(param + (type == 1 ? 8 : 1));
            if (d == 0) return std::nullopt;
            inPlace([&](int c, int x, int y) {
                return clamp255(L(L(a.Work(c, x, y) * k) - w * S8(c, x, y)) / d);
            });
            break;
        }
        case 2: perPixel([&](int x, int y) { for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = 255 - a.Work(c, x, y); }); break;
        case 3: inPlace([&](int c, int x, int y) { return S8(c, x, y) / 8; }); break;
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
                for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = a.Work(c, int(x + dx), int(y + dy));
            });
            break;
        }
        case 5:
            inPlace([&](int c, int x, int y) {
                return (a.Work(c, x - 1, y) + a.Work(c, x, y) + a.Work(c, x, y - 1) + a.Work(c, x, y + 1) +
                        a.Work(c, x + 1, y)) / 5;
            });
            break;
        case 7:
            sourceRows(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                std::int64_t s = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i)
                        if (i || j) s += O(c, x + i, y + j);
                return 8 * O(c, x, y) - s + off[c];
            });
            break;
        case 8:
        case 10:
            sourceRows(1, H - 1, 1, W - 1, [&](int c, int x, int y) {
                // These two read Pix_Work, as written: the pixel and its lower-right neighbour.
                const std::int64_t own = a.Work(c, x, y), next = a.Work(c, x + 1, y + 1);
                const std::int64_t d = type == 8 ? own - next : next - own;
                return std::abs(d + off[c]);
            });
            break;
        case 9:
        case 11:
            sourceRows(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                const std::int64_t lr = (O(c, x - 1, y - 1) - O(c, x + 1, y - 1)) + (O(c, x - 1, y) - O(c, x + 1, y)) +
                                        (O(c, x - 1, y + 1) - O(c, x + 1, y + 1));
                return (type == 9 ? lr : -lr) + off[c];
            });
            break;
        case 12:
            for (int i = 0; i <= 765; ++i) gray[std::size_t(i)] = i / 3;
            perPixel([&](int x, int y) {
                const std::int64_t v = gray[std::size_t(a.Work(2, x, y) + a.Work(3, x, y) + a.Work(1, x, y))];
                for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = v;
            });
            break;
        case 13:
            sourceRows(2, H - 1, 2, W - 1, [&](int c, int x, int y) {
                const std::int64_t e = 2 * O(c, x - 1, y - 1) + O(c, x - 1, y) + O(c, x, y - 1) - O(c, x, y + 1) -
                                       O(c, x + 1, y) - 2 * O(c, x + 1, y + 1);
                return (O(c, x, y) + e) / 2 + 50;
            });
            break;
        case 14: {
            const float k = percent(param);
            for (int i = 0; i <= 255; ++i) gray[std::size_t(i)] = clamp255(cLng(double(k) * i));
            perPixel([&](int x, int y) { for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = gray[std::size_t(O(c, x, y))]; });
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
                for (int c = 0; c < 3; ++c) a.Work(c + 1, x, y) = sum[c];
            });
            break;
        }
        case 16:
            perPixel([&](int x, int y) {
                const std::int64_t B = O(1, x, y), G = O(2, x, y), R = O(3, x, y);
                const std::int64_t orders[6][3] = {{B, G, R}, {G, R, B}, {R, B, G}, {G, B, R}, {R, G, B}, {B, R, G}};
                if (param >= 1 && param <= 5)
                    for (int c = 0; c < 3; ++c) a.Work(c + 1, x, y) = orders[param][c];
            });
            break;
        case 17: {
            for (int i = 0; i <= 765; ++i) gray[std::size_t(i)] = i / 3;
            std::int64_t sum = 0, count = 0;
            for (int y = 1; y <= H; ++y)
                for (int x = 1; x <= W; ++x) sum += gray[std::size_t(O(2, x, y) + O(3, x, y) + O(1, x, y))], ++count;
            const std::int64_t mean = sum / count;
            const float k = percent(param);
            for (int i = 0; i <= 255; ++i) gray[std::size_t(i)] = cLng(double(k) * double(i - mean) + double(mean));
            ++yields;
            perPixel([&](int x, int y) {
                std::int32_t b = std::int32_t(gray[std::size_t(O(1, x, y))]), g = std::int32_t(gray[std::size_t(O(2, x, y))]),
                             r = std::int32_t(gray[std::size_t(O(3, x, y))]);
                if (!velmora::filters::Spill_Clamp(b, g, r)) throw Overflow{};
                a.Work(1, x, y) = b, a.Work(2, x, y) = g, a.Work(3, x, y) = r;
            });
            break;
        }
        case 18:
            perPixel([&](int x, int y) {
                const bool white = O(3, x, y) >= red || O(2, x, y) >= green || O(1, x, y) >= blue;
                for (int c = 1; c <= 3; ++c) a.Work(c, x, y) = white ? 255 : 0;
            });
            break;
        default: break;
        }
    } catch (const Overflow&) {
        return std::nullopt;
    }
    if (rows) *rows = yields;
    return a.picture();
}

} // namespace reference
