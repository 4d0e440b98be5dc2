// Which pictures of the show's sequence a monitor shows. With several monitors each takes every
// n-th position from its own start, so no two show the same picture at once while there are at
// least as many pictures as monitors; with fewer they share.
#pragma once

#include <cassert>
#include <cstdint>

namespace velmora::show {

struct MonitorPlace {
    int index = 0; // 0: the primary monitor
    int count = 1; // how many monitors run a show
};

// The position in the sequence (from 1; the sequence wraps it onto the pictures) of the picture
// a monitor shows at its `step` (0: its first picture).
constexpr std::int64_t monitorPicturePosition(MonitorPlace place, std::int64_t step)
{
    assert(place.count >= 1 && place.index >= 0 && place.index < place.count && step >= 0);
    return place.index + 1 + step * place.count;
}

} // namespace velmora::show
