// The strip rule of the card turn and the drawing of one of its steps.
#include "show/flip.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

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

// One strip ready to draw: where it lands on Display (clipped to the tile and the buffer),
// and for each of its columns the source column's byte offset, -1 where that column lies
// outside the source tile.
struct PlacedStrip {
    Rect area;
    Rect target; // unclipped, absolute
    int sourceY = 0;
    int sourceH = 0;
    int firstColumn = 0; // into the shared column table
    bool wholeSource = true; // no column lies outside the source tile
};

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
    placed.clear();
    columns.clear();
    for (const Strip& strip : strips) {
        const Rect target{tile.x + strip.target.x, tile.y + strip.target.y, strip.target.width, strip.target.height};
        const Rect area = intersect(target, box);
        if (area.empty() || limit.empty()) {
            continue;
        }
        PlacedStrip p{area, target, from.y + strip.source.y, strip.source.height, int(columns.size())};
        const int sourceX = from.x + strip.source.x;
        for (int x = area.x; x < area.right(); ++x) {
            const int sx = sourceX + stretchSample(x - target.x, target.width, strip.source.width);
            const bool inside = sx >= limit.x && sx < limit.right();
            columns.push_back(inside ? sx * 4 : -1);
            p.wholeSource = p.wholeSource && inside;
        }
        placed.push_back(p);
    }

    auto black = [](std::uint8_t* row, int x1, int x2) {
        if (x2 > x1) {
            std::memset(row + std::size_t(x1) * 4, 0, std::size_t(x2 - x1) * 4);
        }
    };
    for (int y = box.y; y < box.bottom(); ++y) {
        std::uint8_t* row = display.pixel(0, y);
        int x = box.x;
        for (const PlacedStrip& p : placed) {
            if (y < p.area.y || y >= p.area.bottom()) {
                continue;
            }
            assert(p.area.x >= x);
            black(row, x, p.area.x);
            x = p.area.right();
            const int sy = p.sourceY + stretchSample(y - p.target.y, p.target.height, p.sourceH);
            if (sy < limit.y || sy >= limit.bottom()) {
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
