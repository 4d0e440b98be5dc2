// The strip rule of the card turn and the drawing of one of its steps.
#include "show/flip.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>

namespace velmora::show {

std::vector<Strip> flipStrips(FlipForm form, int direction, int step, int tileW, int tileH)
{
    assert(direction >= 1 && direction <= 4);
    std::vector<Strip> strips;
    if (step < 1 || step > LastFlipStep || tileW <= 0 || tileH <= 0) {
        return strips;
    }
    const bool firstHalf = step <= HalfFlipStep;
    const int d = firstHalf ? HalfFlipStep - step : step - HalfFlipStep; // strip thickness
    const int u = firstHalf ? step : LastFlipStep - step;                // inset factor
    const bool columns = direction == 1 || direction == 2;
    // Which counter sets the inset: k (counting down) makes the far side shrink.
    const bool insetByK = firstHalf ? (direction == 1 || direction == 4) : (direction == 2 || direction == 3);

    const int nW = tileW / StripSize;
    const int nH = tileH / StripSize;
    int count = 0;
    int k0 = 0;
    if (columns) {
        count = form == FlipForm::Filter ? nW + 1 : nW;
        k0 = form == FlipForm::Filter ? nW : nW - 1;
    } else {
        count = nH;
        k0 = nH;
    }
    const int offset = columns ? u * (tileW / 24) : u * (tileH / 24);

    strips.reserve(std::size_t(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        const int k = k0 - i;
        const int m = insetByK ? k : i;
        const int e = (m * u) / 4;
        Strip strip{};
        strip.newImage = !firstHalf;
        if (columns) {
            strip.source = {StripSize * i, 0, StripSize, tileH};
            strip.target = {i * d + offset, e, d, tileH - 2 * e};
        } else {
            strip.source = {0, StripSize * i, tileW, StripSize};
            strip.target = {e, i * d + offset, tileW - 2 * e, d};
        }
        strips.push_back(strip);
    }
    return strips;
}

namespace {

// One strip ready to draw: where it lands on Display (clipped to the tile and the buffer), for
// each of its columns the source column's byte offset (-1 where that column lies outside the
// source tile), and for each of its rows the source row (-1 outside).
struct PlacedStrip {
    Rect area;
    int firstColumn = 0;     // into the shared column table
    int firstRow = 0;        // into the shared row table
    bool wholeSource = true; // no column lies outside the source tile
    int spanFirst = 0;       // the byte offsets of its leftmost and rightmost source columns
    int spanLast = 0;
};

// stretchSample(i, n, m) for i = first, first + 1, ..., first + count - 1, each plus `origin`,
// into `out`: the same values by stepping the fraction instead of dividing for each one.
template <typename Put>
void sampleRun(int first, int count, int n, int m, Put put)
{
    const std::int64_t den = 2 * std::int64_t(n);
    const std::int64_t num = (2 * std::int64_t(first) + 1) * m;
    std::int64_t q = num / den;
    std::int64_t r = num % den;
    const std::int64_t stepQ = 2 * std::int64_t(m) / den;
    const std::int64_t stepR = 2 * std::int64_t(m) % den;
    for (int i = 0; i < count; ++i) {
        put(int(q));
        q += stepQ;
        r += stepR;
        if (r >= den) {
            r -= den;
            q += 1;
        }
    }
}

// Rows this far below the one being drawn are asked of memory ahead: between frames the
// caches go to other programs, and a tile's rows lie a screen's width apart, too far for the
// processor to see the pattern by itself.
constexpr int PrefetchRows = 4;
constexpr int CacheLine = 64;

void prefetchSpan(const std::uint8_t* first, const std::uint8_t* last, bool forWriting)
{
    for (const std::uint8_t* p = first; p <= last; p += CacheLine) {
        if (forWriting) {
            __builtin_prefetch(p, 1);
        } else {
            __builtin_prefetch(p, 0);
        }
    }
    if (forWriting) {
        __builtin_prefetch(last, 1);
    } else {
        __builtin_prefetch(last, 0);
    }
}

} // namespace

void drawFlipStep(Picture& display, const Rect& tile, ImageAt oldImage, ImageAt newImage, FlipForm form,
                  int direction, int step)
{
    // Every pixel of the tile is written once: black where no strip lands, otherwise the
    // strip's pixel exactly as stretchCopy would put it over a black fill. The strips of one
    // step never overlap (strip i starts where strip i - 1 ends), so order does not matter.
    const Rect box = intersect(tile, boundsOf(display));
    if (box.empty()) {
        return;
    }
    const std::vector<Strip> strips = flipStrips(form, direction, step, tile.width, tile.height);
    const ImageAt& from = step > HalfFlipStep ? newImage : oldImage;
    const Rect limit = intersect({from.x, from.y, tile.width, tile.height}, boundsOf(from.picture));

    // Kept between steps: a step runs every frame and needs the same few kilobytes each time.
    thread_local std::vector<PlacedStrip> placed;
    thread_local std::vector<int> columns;
    thread_local std::vector<int> rows;
    placed.clear();
    columns.clear();
    rows.clear();
    for (const Strip& strip : strips) {
        const Rect target{tile.x + strip.target.x, tile.y + strip.target.y, strip.target.width, strip.target.height};
        const Rect area = intersect(target, box);
        if (area.empty() || limit.empty()) {
            continue;
        }
        PlacedStrip p{area, int(columns.size()), int(rows.size())};
        p.spanFirst = std::numeric_limits<int>::max();
        p.spanLast = -1;
        const int sourceX = from.x + strip.source.x;
        sampleRun(area.x - target.x, area.width, target.width, strip.source.width, [&](int sample) {
            const int sx = sourceX + sample;
            const bool inside = sx >= limit.x && sx < limit.right();
            columns.push_back(inside ? sx * 4 : -1);
            p.wholeSource = p.wholeSource && inside;
            if (inside) {
                p.spanFirst = std::min(p.spanFirst, sx * 4);
                p.spanLast = std::max(p.spanLast, sx * 4 + 3);
            }
        });
        const int sourceY = from.y + strip.source.y;
        sampleRun(area.y - target.y, area.height, target.height, strip.source.height, [&](int sample) {
            const int sy = sourceY + sample;
            rows.push_back(sy >= limit.y && sy < limit.bottom() ? sy : -1);
        });
        placed.push_back(p);
    }

    auto black = [](std::uint8_t* row, int x1, int x2) {
        if (x2 > x1) {
            std::memset(row + std::size_t(x1) * 4, 0, std::size_t(x2 - x1) * 4);
        }
    };
    for (int y = box.y; y < box.bottom(); ++y) {
        if (const int ahead = y + PrefetchRows; PrefetchRows > 0 && ahead < box.bottom()) {
            prefetchSpan(display.pixel(box.x, ahead), display.pixel(box.right() - 1, ahead) + 3, true);
            for (const PlacedStrip& p : placed) {
                if (ahead >= p.area.y && ahead < p.area.bottom() && p.spanLast >= 0) {
                    if (const int sy = rows[std::size_t(p.firstRow + ahead - p.area.y)]; sy >= 0) {
                        const std::uint8_t* in = from.picture.pixel(0, sy);
                        prefetchSpan(in + p.spanFirst, in + p.spanLast, false);
                    }
                }
            }
        }
        std::uint8_t* row = display.pixel(0, y);
        int x = box.x;
        for (const PlacedStrip& p : placed) {
            if (y < p.area.y || y >= p.area.bottom()) {
                continue;
            }
            assert(p.area.x >= x);
            black(row, x, p.area.x);
            x = p.area.right();
            const int sy = rows[std::size_t(p.firstRow + y - p.area.y)];
            if (sy < 0) {
                black(row, p.area.x, x);
                continue;
            }
            const std::uint8_t* in = from.picture.pixel(0, sy);
            const int* column = columns.data() + p.firstColumn;
            std::uint8_t* out = row + std::size_t(p.area.x) * 4;
            if (p.wholeSource) {
                for (int i = 0; i < p.area.width; ++i) {
                    std::memcpy(out + std::size_t(i) * 4, in + column[i], 4);
                }
                continue;
            }
            for (int i = 0; i < p.area.width; ++i, out += 4) {
                if (column[i] >= 0) {
                    std::memcpy(out, in + column[i], 4);
                } else {
                    std::memset(out, 0, 4);
                }
            }
        }
        black(row, x, box.right());
    }
}

} // namespace velmora::show
