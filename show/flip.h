// The card turn of one tile: the old image narrows to the centre line in 12-pixel strips,
// then the new image widens from it. One rule for the filter flip and the reveal flip.
#pragma once

#include "filters/picture.h"
#include "show/drawing.h"

#include <vector>

namespace velmora::show {

inline constexpr int StripSize = 12;  // source strip thickness in pixels
inline constexpr int LastFlipStep = 24;
inline constexpr int HalfFlipStep = 12; // steps 1..12 draw the old image, 13..24 the new one

// The two forms differ in how many column strips they draw and where the k counter starts.
enum class FlipForm {
    Filter, // Timer4_Timer: n_w + 1 column strips from K0 = n_w
    Reveal, // RevealTile: n_w column strips from K0 = n_w - 1
};

struct Strip {
    Rect source;  // relative to the tile's corner in the source image
    Rect target;  // relative to the tile's corner on Display; may be empty (no thickness)
    bool newImage; // drawn from the new image (second half) rather than the old one
};

// The strips of step `step` (1..24) of a flip in `direction` (1..4) of a tileW x tileH tile.
std::vector<Strip> flipStrips(FlipForm form, int direction, int step, int tileW, int tileH);

// One drawing step at `tile` on `display`: the tile filled black, then its strips drawn from
// the old image (whose tile corner is at oldCorner) or the new one, each clipped to the tile.
// Step values outside 1..24 only fill the tile black.
struct ImageAt {
    const Picture& picture;
    int x; // where the tile's corner lies in `picture`
    int y;
};
void drawFlipStep(Picture& display, const Rect& tile, ImageAt oldImage, ImageAt newImage, FlipForm form,
                  int direction, int step);

// The same step for a tile whose pixels outside `stale` are all black already (what the last
// step drawn left; the whole tile before the first): only `changed` is drawn, the rest of the
// tile would be drawn black again. `stale` for the next step is this one's strips.
struct FlipArea {
    Rect changed; // the part of the display written, to present
    Rect stale;   // where this step left anything but black
};
FlipArea drawFlipStep(Picture& display, const Rect& tile, ImageAt oldImage, ImageAt newImage, FlipForm form,
                      int direction, int step, const Rect& stale);

} // namespace velmora::show
