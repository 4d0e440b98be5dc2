// Which monitors get a show of their own besides the primary's.
#include "show/monitor_layout.h"

#include <algorithm>

namespace velmora::show {

std::vector<Rect> otherShowAreas(const std::vector<Rect>& monitors, const Rect& primaryArea)
{
    std::vector<Rect> areas;
    for (const Rect& monitor : monitors) {
        if (!monitor.empty() && intersect(monitor, primaryArea).empty() &&
            std::find(areas.begin(), areas.end(), monitor) == areas.end()) {
            areas.push_back(monitor);
        }
    }
    return areas;
}

} // namespace velmora::show
