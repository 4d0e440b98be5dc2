// The 48 effect presets (filter type, parameter) the show cycles through and the settings
// dialog previews. Rows are numbered 1..48 as the show and the dialog count them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora::show {

struct Effect {
    int type;            // filter type 1..31
    std::int32_t param;  // handed to the filter unchanged
};

inline constexpr std::int32_t rgb(int red, int green, int blue)
{
    return std::int32_t(red + 256 * green + 65536 * blue);
}

inline constexpr int EffectCount = 48;

// Rows 1..31 use every filter type once; 32..48 repeat some types with other parameters
// so those come up more often.
inline constexpr std::array<Effect, EffectCount> EffectTable = {{
    {1, 0},   {2, 0},   {3, 0},   {4, 12},  {5, 0},   {6, 1},
    {7, rgb(255, 255, 255)},      {8, rgb(0, 120, 120)},         {9, rgb(0, 120, 120)},
    {10, rgb(0, 120, 120)},       {11, rgb(0, 120, 120)},        {12, 0},
    {13, 0},  {14, 40}, {15, 3},  {16, 1},  {17, 20},
    {18, rgb(180, 180, 180)},     {19, 0},  {20, 0},
    {21, 15}, {22, 15}, {23, 15}, {24, 0},  {25, 0},  {26, 0},  {27, 0},  {28, 0},
    {29, 50}, {30, -10}, {31, 30},
    {16, 2},  {16, 3},  {16, 4},  {16, 5},  {1, 2},   {30, 15}, {17, -10}, {14, -20},
    {4, 6},   {31, 50}, {31, 200}, {1, 10}, {15, 5},  {29, 100}, {6, 2},  {13, 10}, {4, 3},
}};

static_assert(EffectTable[6].param == 16777215 && EffectTable[7].param == 7895040 &&
              EffectTable[17].param == 11842740);

// Row `row` (1..48), or null outside that range: such a row applies no filter.
constexpr const Effect* effectRow(int row)
{
    if (row < 1 || row > EffectCount) {
        return nullptr;
    }
    return &EffectTable[std::size_t(row - 1)];
}

} // namespace velmora::show
