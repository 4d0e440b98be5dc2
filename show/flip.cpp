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
    // The old image narrows to the centre line over the first half; the new one opens out
    // from it over the second. Both quantities run 0..12 and back symmetrically.
    const bool firstHalf = step <= HalfFlipStep;
    const int stripThickness = firstHalf ? HalfFlipStep - step : step - HalfFlipStep;
    const int stepsFromFlat = firstHalf ? step : LastFlipStep - step; // 12 when the card is edge-on
    const bool columns = direction == 1 || direction == 2;
    // The strips' perspective: each strip is inset at top and bottom (or left and right) in
    // proportion to its weight, either its number from the near side or its countdown from
    // the far side; the countdown makes the far side the one that shrinks.
    const bool weightByCountdown = firstHalf ? (direction == 1 || direction == 4) : (direction == 2 || direction == 3);

    const int stripsAcross = tileW / StripSize;
    const int stripsDown = tileH / StripSize;
    int stripCount = 0;
    int firstCountdown = 0;
    if (columns) {
        // The filter flip's extra column strip covers the pixels past the last whole strip.
        stripCount = form == FlipForm::Filter ? stripsAcross + 1 : stripsAcross;
        firstCountdown = form == FlipForm::Filter ? stripsAcross : stripsAcross - 1;
    } else {
        stripCount = stripsDown;
        firstCountdown = stripsDown;
    }
    // The strips close up towards the centre line: a 24th of the tile per step from flat.
    const int tileTwentyFourth = (columns ? tileW : tileH) / 24;
    const int shiftToCentre = stepsFromFlat * tileTwentyFourth;

    strips.reserve(std::size_t(stripCount > 0 ? stripCount : 0));
    for (int i = 0; i < stripCount; ++i) {
        const int countdown = firstCountdown - i;
        const int weight = weightByCountdown ? countdown : i;
        const int inset = (weight * stepsFromFlat) / 4;
        const int along = i * stripThickness + shiftToCentre; // where the strip starts across the turn
        Strip strip{};
        strip.newImage = !firstHalf;
        if (columns) {
            strip.source = {StripSize * i, 0, StripSize, tileH};
            strip.target = {along, inset, stripThickness, tileH - 2 * inset};
        } else {
            strip.source = {0, StripSize * i, tileW, StripSize};
            strip.target = {inset, along, tileW - 2 * inset, stripThickness};
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
    (void)drawFlipStep(display, tile, oldImage, newImage, form, direction, step, tile);
}

FlipArea drawFlipStep(Picture& display, const Rect& tile, ImageAt oldImage, ImageAt newImage, FlipForm form,
                      int direction, int step, const Rect& stale)
{
    // Every pixel drawn is written once: black where no strip lands, otherwise the strip's
    // pixel exactly as stretchCopy would put it over a black fill. The strips of one step never
    // overlap (strip i starts where strip i - 1 ends), so order does not matter.
    const Rect box = intersect(tile, boundsOf(display));
    if (box.empty()) {
        return {};
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
    Rect landed;
    for (const PlacedStrip& p : placed) {
        landed = unite(landed, p.area);
    }
    // Outside the last step's strips the tile is black already; outside this step's it stays so.
    const Rect drawn = intersect(unite(intersect(stale, box), landed), box);

    auto black = [](std::uint8_t* row, int x1, int x2) {
        if (x2 > x1) {
            std::memset(row + std::size_t(x1) * 4, 0, std::size_t(x2 - x1) * 4);
        }
    };
    for (int y = drawn.y; y < drawn.bottom(); ++y) {
        if (const int ahead = y + PrefetchRows; PrefetchRows > 0 && ahead < drawn.bottom()) {
            prefetchSpan(display.pixel(drawn.x, ahead), display.pixel(drawn.right() - 1, ahead) + 3, true);
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
        int x = drawn.x;
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
        black(row, x, drawn.right());
    }
    return {drawn, landed};
}

} // namespace velmora::show
