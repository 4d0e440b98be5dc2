// Declarations of the filter procedures, one block per family file.
#pragma once

#include "filters/engine.h"

namespace velmora::filters {

// Each family file declares its procedures here.

// sharpen_blur.cpp: 3x3 in place
FilterResult Fil_Sharpen_W2(FilterEngine& e); // 1
FilterResult Fil_Blur_8(FilterEngine& e);     // 3
FilterResult Fil_Blur_Cross(FilterEngine& e); // 5
FilterResult Fil_Sharpen_W1(FilterEngine& e); // 6

// colour_point.cpp
FilterResult Fil_Negative(FilterEngine& e); // 2
FilterResult Fil_Gray(FilterEngine& e);     // 12
FilterResult Fil_Bright(FilterEngine& e);   // 14
FilterResult Fil_Swap_RGB(FilterEngine& e); // 16
FilterResult Fil_Contrast(FilterEngine& e); // 17
FilterResult Fil_Two_Tone(FilterEngine& e); // 18
// Brings b, g, r into 0..255 by moving half of each excess onto the two other channels;
// false where the 32-bit arithmetic would overflow (the values are then unspecified).
bool Spill_Clamp(std::int32_t& b, std::int32_t& g, std::int32_t& r);

// scatter_mosaic.cpp
FilterResult Fil_Scatter(FilterEngine& e); // 4
FilterResult Fil_Mosaic(FilterEngine& e);  // 15

// relief_edge.cpp
FilterResult Fil_Edge_Lap(FilterEngine& e);      // 7
FilterResult Fil_Relief_Diag_A(FilterEngine& e); // 8
FilterResult Fil_Relief_Horz_A(FilterEngine& e); // 9
FilterResult Fil_Relief_Diag_B(FilterEngine& e); // 10
FilterResult Fil_Relief_Horz_B(FilterEngine& e); // 11
FilterResult Fil_Emboss(FilterEngine& e);        // 13

// mono_dither.cpp
FilterResult Fil_Mono_Sharp(FilterEngine& e); // 19
FilterResult Fil_Mono_Bayer(FilterEngine& e); // 20

// error_diffusion.cpp
FilterResult Fil_Diff_FS(FilterEngine& e);     // 21
FilterResult Fil_Diff_Burkes(FilterEngine& e); // 22
FilterResult Fil_Diff_Stucki(FilterEngine& e); // 23

// quad_smooth.cpp
FilterResult Fil_Quad_Smooth(FilterEngine& e); // 24

// rank.cpp
FilterResult Fil_Max_3x3(FilterEngine& e);  // 25
FilterResult Fil_Min_3x3(FilterEngine& e);  // 26
FilterResult Fil_Edge_Min(FilterEngine& e); // 27

// tone_colour_noise.cpp
FilterResult Fil_Auto_Level(FilterEngine& e); // 28
FilterResult Fil_Noise(FilterEngine& e);      // 29
FilterResult Fil_Saturation(FilterEngine& e); // 30
FilterResult Fil_Gamma(FilterEngine& e);      // 31

} // namespace velmora::filters
