// Drawing on picture buffers as the show and the settings dialog use it: block copy,
// nearest-pixel stretched copy and filled box, all clipped to both buffers.
#pragma once

#include "filters/picture.h"

#include <cstdint>

namespace velmora::show {

// A rectangle of pixels: columns x .. x + width - 1, rows y .. y + height - 1.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }   // one past the last column
    int bottom() const { return y + height; } // one past the last row
    bool contains(int px, int py) const { return px >= x && px < right() && py >= y && py < bottom(); }
    bool operator==(const Rect&) const = default;
};

// The overlap of two rectangles (empty when they do not meet).
Rect intersect(const Rect& a, const Rect& b);
// The smallest rectangle holding both; an empty one adds nothing.
Rect unite(const Rect& a, const Rect& b);
// The whole of a picture.
inline Rect boundsOf(const Picture& picture) { return {0, 0, picture.width(), picture.height()}; }

// A colour in COLORREF layout: red + 256 green + 65536 blue.
using ColourRef = std::uint32_t;
inline constexpr ColourRef Black = 0;

// Copies width x height pixels from (sx, sy) of `source` to (dx, dy) of `target`, as BitBlt
// with SRCCOPY. Pixels that fall outside either buffer are skipped. `source` and `target`
// may be the same picture only when the two areas do not overlap.
void blockCopy(Picture& target, int dx, int dy, int width, int height, const Picture& source, int sx,
               int sy);

// The source index that target index i of an n-long target samples from an m-long source, as
// the stretched copy below takes it: the source pixel under the target pixel's centre.
inline int stretchSample(int i, int n, int m)
{
    return int((2 * std::int64_t(i) + 1) * m / (2 * std::int64_t(n)));
}

// Copies the source area (sx, sy, sw, sh) onto the target area (dx, dy, dw, dh), as StretchBlt
// in COLORONCOLOR mode: every target pixel takes the one source pixel its centre falls on.
// Target pixels outside `target`, outside `clip` (when given) or whose source pixel lies
// outside `source` are left alone. A non-positive size draws nothing (no mirroring).
void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh);
void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh, const Rect& clip);
// As above, and source pixels outside `sourceClip` count as outside the source.
void stretchCopy(Picture& target, int dx, int dy, int dw, int dh, const Picture& source, int sx, int sy,
                 int sw, int sh, const Rect& clip, const Rect& sourceClip);

// Fills the box of columns x1 .. x2 - 1 and rows y1 .. y2 - 1 (the corners in either order)
// with `colour`, clipped to the picture.
void fillBox(Picture& target, int x1, int y1, int x2, int y2, ColourRef colour = Black);

} // namespace velmora::show
