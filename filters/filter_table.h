// The type table, the one place that maps filter type numbers to their procedures.
// Adding a type is one line: point its entry at the procedure in its family file.
#pragma once

#include "filters/engine.h"
#include "filters/filter_procs.h"

#include <array>
#include <cstddef>

namespace velmora::filters {

// A filter procedure: reads Pix_Orgn / Pix_Work, W, H and param of the engine and
// writes its result into Pix_Work.
using FilterProc = FilterResult (*)(FilterEngine& engine);

struct FilterType {
    int type;
    const char* name;
    FilterProc proc; // null while a type is not available: the picture passes unchanged
    bool usesParam;
};

inline constexpr int FilterTypeCount = 31;

inline constexpr std::array<FilterType, FilterTypeCount> FilterTypes = {{
    {1, "Fil_Sharpen_W2", nullptr, true},
    {2, "Fil_Negative", nullptr, false},
    {3, "Fil_Blur_8", nullptr, false},
    {4, "Fil_Scatter", nullptr, true},
    {5, "Fil_Blur_Cross", nullptr, false},
    {6, "Fil_Sharpen_W1", nullptr, true},
    {7, "Fil_Edge_Lap", nullptr, true},
    {8, "Fil_Relief_Diag_A", nullptr, true},
    {9, "Fil_Relief_Horz_A", nullptr, true},
    {10, "Fil_Relief_Diag_B", nullptr, true},
    {11, "Fil_Relief_Horz_B", nullptr, true},
    {12, "Fil_Gray", nullptr, false},
    {13, "Fil_Emboss", nullptr, false},
    {14, "Fil_Bright", nullptr, true},
    {15, "Fil_Mosaic", nullptr, true},
    {16, "Fil_Swap_RGB", nullptr, true},
    {17, "Fil_Contrast", nullptr, true},
    {18, "Fil_Two_Tone", nullptr, true},
    {19, "Fil_Mono_Sharp", nullptr, false},
    {20, "Fil_Mono_Bayer", nullptr, false},
    {21, "Fil_Diff_FS", nullptr, true},
    {22, "Fil_Diff_Burkes", nullptr, true},
    {23, "Fil_Diff_Stucki", nullptr, true},
    {24, "Fil_Quad_Smooth", nullptr, false},
    {25, "Fil_Max_3x3", nullptr, false},
    {26, "Fil_Min_3x3", nullptr, false},
    {27, "Fil_Edge_Min", nullptr, false},
    {28, "Fil_Auto_Level", nullptr, false},
    {29, "Fil_Noise", nullptr, true},
    {30, "Fil_Saturation", nullptr, true},
    {31, "Fil_Gamma", nullptr, true},
}};

static_assert([] {
    for (std::size_t i = 0; i < FilterTypes.size(); ++i) {
        if (FilterTypes[i].type != int(i) + 1) return false;
    }
    return true;
}(), "FilterTypes must list types 1..31 in order");

// The entry for `type`, or null for a type outside 1..31.
constexpr const FilterType* findFilterType(int type)
{
    if (type < 1 || type > FilterTypeCount) {
        return nullptr;
    }
    return &FilterTypes[std::size_t(type - 1)];
}

} // namespace velmora::filters
