// Clipped copies and boxes on 32-bit picture buffers.
#include "show/drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmora::show {

Rect intersect(const Rect& a, const Rect& b)
{
    const int x1 = std::max(a.x, b.x);
    const int y1 = std::max(a.y, b.y);
    const int x2 = std::min(a.right(), b.right());
    const int y2 = std::min(a.bottom(), b.bottom());
    if (x2 <= x1 || y2 <= y1) {
        return {};
    }
    return {x1, y1, x2 - x1, y2 - y1};
}

Rect unite(const Rect& a, const Rect& b)
{
    if (a.empty()) return b.empty() ? Rect{} : b;
    if (b.empty()) return a;
    const int x1 = std::min(a.x, b.x);
    const int y1 = std::min(a.y, b.y);
    return {x1, y1, std::max(a.right(), b.right()) - x1, std::max(a.bottom(), b.bottom()) - y1};
}

namespace {

void putColour(std::uint8_t* p, ColourRef colour)
{
    p[0] = std::uint8_t(colour >> 16); // blue
    p[1] = std::uint8_t(colour >> 8);  // green
    p[2] = std::uint8_t(colour);       // red
    p[3] = 0;
}

} // namespace

void blockCopy(Picture& target, int dx, int dy, int width, int height, const Picture& source, int sx,
               int sy)
{
    if (width <= 0 || height <= 0) {
        return;
    }
    // Clip the target area to both buffers, moving the source corner along with it.
    Rect area = intersect({dx, dy, width, height}, boundsOf(target));
    area = intersect(area, {dx + (0 - sx), dy + (0 - sy), source.width(), source.height()});
    if (area.empty()) {
        return;
    }
    const int srcX = sx + (area.x - dx);
    const int srcY = sy + (area.y - dy);
    const std::size_t rowBytes = std::size_t(area.width) * 4;
    for (int row = 0; row < area.height; ++row) {
        std::memmove(target.pixel(area.x, area.y + row), source.pixel(srcX, srcY + row), rowBytes);
    }
}

void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh)
{
    stretchCopy(target, dx, dy, dw, dh, source, sx, sy, sw, sh, boundsOf(target));
}

void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh, const Rect& clip)
{
    stretchCopy(target, dx, dy, dw, dh, source, sx, sy, sw, sh, clip, boundsOf(source));
}

void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh, const Rect& clip, const Rect& sourceClip)
{
    const Rect limit = intersect(sourceClip, boundsOf(source));
    if (limit.empty()) {
        return;
    }
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
        return;
    }
    const Rect area = intersect(intersect({dx, dy, dw, dh}, boundsOf(target)), clip);
    if (area.empty()) {
        return;
    }
    if (dw == sw && dh == sh) {
        // 1:1: a block copy of the part whose source lies inside the limit.
        const Rect inLimit = intersect(area, {limit.x + (dx - sx), limit.y + (dy - sy), limit.width, limit.height});
        blockCopy(target, inLimit.x, inLimit.y, inLimit.width, inLimit.height, source,
                  sx + (inLimit.x - dx), sy + (inLimit.y - dy));
        return;
    }
    // Source column of every target column in the area; -1 where it lies outside the source.
    std::vector<int> columns(std::size_t(area.width));
    for (int i = 0; i < area.width; ++i) {
        const int x = sx + stretchSample(area.x - dx + i, dw, sw);
        columns[std::size_t(i)] = (x >= limit.x && x < limit.right()) ? x : -1;
    }
    for (int row = 0; row < area.height; ++row) {
        const int y = sy + stretchSample(area.y - dy + row, dh, sh);
        if (y < limit.y || y >= limit.bottom()) {
            continue;
        }
        std::uint8_t* out = target.pixel(area.x, area.y + row);
        const std::uint8_t* in = source.pixel(0, y);
        for (int i = 0; i < area.width; ++i, out += 4) {
            const int x = columns[std::size_t(i)];
            if (x >= 0) {
                std::memcpy(out, in + std::size_t(x) * 4, 4);
            }
        }
    }
}

void fillBox(Picture& target, int x1, int y1, int x2, int y2, ColourRef colour)
{
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    const Rect area = intersect({x1, y1, x2 - x1, y2 - y1}, boundsOf(target));
    if (area.empty()) {
        return;
    }
    for (int row = area.y; row < area.bottom(); ++row) {
        std::uint8_t* p = target.pixel(area.x, row);
        if (colour == Black) {
            std::memset(p, 0, std::size_t(area.width) * 4);
            continue;
        }
        for (int i = 0; i < area.width; ++i, p += 4) {
            putColour(p, colour);
        }
    }
}

} // namespace velmora::show
