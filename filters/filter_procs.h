// Declarations of the filter procedures, one block per family file.
#pragma once

#include "filters/engine.h"

namespace velmora::filters {

// Each family file declares its procedures here.

// sharpen_blur.cpp: 3x3 in place
Result<void> Fil_Sharpen_W2(FilterEngine& e); // 1
Result<void> Fil_Blur_8(FilterEngine& e);     // 3
Result<void> Fil_Blur_Cross(FilterEngine& e); // 5
Result<void> Fil_Sharpen_W1(FilterEngine& e); // 6

// colour_point.cpp
Result<void> Fil_Negative(FilterEngine& e); // 2
Result<void> Fil_Gray(FilterEngine& e);     // 12
Result<void> Fil_Bright(FilterEngine& e);   // 14
Result<void> Fil_Swap_RGB(FilterEngine& e); // 16
Result<void> Fil_Contrast(FilterEngine& e); // 17
Result<void> Fil_Two_Tone(FilterEngine& e); // 18
// Brings b, g, r into 0..255 by moving half of each excess onto the two other channels;
// false where the 32-bit arithmetic would overflow (the values are then unspecified).
bool Spill_Clamp(std::int32_t& b, std::int32_t& g, std::int32_t& r);

// scatter_mosaic.cpp
Result<void> Fil_Scatter(FilterEngine& e); // 4
Result<void> Fil_Mosaic(FilterEngine& e);  // 15

// relief_edge.cpp
Result<void> Fil_Edge_Lap(FilterEngine& e);      // 7
Result<void> Fil_Relief_Diag_A(FilterEngine& e); // 8
Result<void> Fil_Relief_Horz_A(FilterEngine& e); // 9
Result<void> Fil_Relief_Diag_B(FilterEngine& e); // 10
Result<void> Fil_Relief_Horz_B(FilterEngine& e); // 11
Result<void> Fil_Emboss(FilterEngine& e);        // 13

// mono_dither.cpp
Result<void> Fil_Mono_Sharp(FilterEngine& e); // 19
Result<void> Fil_Mono_Bayer(FilterEngine& e); // 20

// error_diffusion.cpp
Result<void> Fil_Diff_FS(FilterEngine& e);     // 21
Result<void> Fil_Diff_Burkes(FilterEngine& e); // 22
Result<void> Fil_Diff_Stucki(FilterEngine& e); // 23

// quad_smooth.cpp
Result<void> Fil_Quad_Smooth(FilterEngine& e); // 24

// rank.cpp
Result<void> Fil_Max_3x3(FilterEngine& e);  // 25
Result<void> Fil_Min_3x3(FilterEngine& e);  // 26
Result<void> Fil_Edge_Min(FilterEngine& e); // 27

// tone_colour_noise.cpp
Result<void> Fil_Auto_Level(FilterEngine& e); // 28
Result<void> Fil_Noise(FilterEngine& e);      // 29
Result<void> Fil_Saturation(FilterEngine& e); // 30
Result<void> Fil_Gamma(FilterEngine& e);      // 31

} // namespace velmora::filters
