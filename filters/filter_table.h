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
using FilterProc = Result<void> (*)(FilterEngine& engine);

struct FilterType {
    int type;
    const char* name;
    FilterProc proc; // null while a type is not available: the picture passes unchanged
    bool usesParam;
};

inline constexpr int FilterTypeCount = 31;

inline constexpr std::array<FilterType, FilterTypeCount> FilterTypes = {{
    {1, "Fil_Sharpen_W2", Fil_Sharpen_W2, true},
    {2, "Fil_Negative", Fil_Negative, false},
    {3, "Fil_Blur_8", Fil_Blur_8, false},
    {4, "Fil_Scatter", Fil_Scatter, true},
    {5, "Fil_Blur_Cross", Fil_Blur_Cross, false},
    {6, "Fil_Sharpen_W1", Fil_Sharpen_W1, true},
    {7, "Fil_Edge_Lap", Fil_Edge_Lap, true},
    {8, "Fil_Relief_Diag_A", Fil_Relief_Diag_A, true},
    {9, "Fil_Relief_Horz_A", Fil_Relief_Horz_A, true},
    {10, "Fil_Relief_Diag_B", Fil_Relief_Diag_B, true},
    {11, "Fil_Relief_Horz_B", Fil_Relief_Horz_B, true},
    {12, "Fil_Gray", Fil_Gray, false},
    {13, "Fil_Emboss", Fil_Emboss, false},
    {14, "Fil_Bright", Fil_Bright, true},
    {15, "Fil_Mosaic", Fil_Mosaic, true},
    {16, "Fil_Swap_RGB", Fil_Swap_RGB, true},
    {17, "Fil_Contrast", Fil_Contrast, true},
    {18, "Fil_Two_Tone", Fil_Two_Tone, true},
    {19, "Fil_Mono_Sharp", Fil_Mono_Sharp, false},
    {20, "Fil_Mono_Bayer", Fil_Mono_Bayer, false},
    {21, "Fil_Diff_FS", Fil_Diff_FS, true},
    {22, "Fil_Diff_Burkes", Fil_Diff_Burkes, true},
    {23, "Fil_Diff_Stucki", Fil_Diff_Stucki, true},
    {24, "Fil_Quad_Smooth", Fil_Quad_Smooth, false},
    {25, "Fil_Max_3x3", Fil_Max_3x3, false},
    {26, "Fil_Min_3x3", Fil_Min_3x3, false},
    {27, "Fil_Edge_Min", Fil_Edge_Min, false},
    {28, "Fil_Auto_Level", Fil_Auto_Level, false},
    {29, "Fil_Noise", Fil_Noise, true},
    {30, "Fil_Saturation", Fil_Saturation, true},
    {31, "Fil_Gamma", Fil_Gamma, true},
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
