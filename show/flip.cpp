// The strip rule of the card turn and the drawing of one of its steps.
#include "show/flip.h"

#include <cassert>

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

void drawFlipStep(Picture& display, const Rect& tile, ImageAt oldImage, ImageAt newImage, FlipForm form,
                  int direction, int step)
{
    fillBox(display, tile.x, tile.y, tile.right(), tile.bottom(), Black);
    for (const Strip& strip : flipStrips(form, direction, step, tile.width, tile.height)) {
        const ImageAt& from = strip.newImage ? newImage : oldImage;
        // Each strip reads only its own tile of the source and draws only inside the tile, so
        // the extra column strip of the filter flip never shows a neighbour's pixels.
        const Rect sourceTile{from.x, from.y, tile.width, tile.height};
        stretchCopy(display, tile.x + strip.target.x, tile.y + strip.target.y, strip.target.width,
                    strip.target.height, from.picture, from.x + strip.source.x, from.y + strip.source.y,
                    strip.source.width, strip.source.height, tile, sourceTile);
    }
}

} // namespace velmora::show
