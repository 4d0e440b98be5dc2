// Which picture of the show order a monitor shows. With several monitors each takes every
// n-th picture from its own start, so no two show the same picture at once while there are
// at least as many pictures as monitors; with fewer they share.
#pragma once

#include <cassert>

namespace velmora::show {

struct MonitorPlace {
    int index = 0; // 0: the primary monitor
    int count = 1; // how many monitors run a show
};

// Position in the show order (1..imageCount) of the picture a monitor shows at its `step`
// (0: its first picture); 0 when there are no pictures.
constexpr int monitorPicturePosition(MonitorPlace place, long long step, int imageCount)
{
    assert(place.count >= 1 && place.index >= 0 && place.index < place.count && step >= 0);
    if (imageCount <= 0) {
        return 0;
    }
    const long long n = imageCount;
    return int((place.index % n + (step % n) * (place.count % n)) % n) + 1;
}

} // namespace velmora::show
