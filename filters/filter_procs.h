// Declarations of the filter procedures, one block per family file.
#pragma once

#include "filters/engine.h"

namespace velmora::filters {

// Each family file declares its procedures here, e.g.
// FilterResult Fil_Negative(FilterEngine& e);   // colour_point.cpp

} // namespace velmora::filters
