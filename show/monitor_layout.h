// Which monitors get a show of their own besides the primary's.
#pragma once

#include "show/drawing.h"

#include <vector>

namespace velmora::show {

// The monitors (virtual-screen rectangles) that get a show of their own beside the show over
// `primaryArea`: those apart from it, each once (a mirror shows the same show), in the order
// given. One that overlaps the primary's area gets none: a cover keeps what it leaves black.
std::vector<Rect> otherShowAreas(const std::vector<Rect>& monitors, const Rect& primaryArea);

} // namespace velmora::show
