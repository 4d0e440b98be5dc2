// Where everything of the settings window sits, in pixels at 96 DPI on the canvas (the
// client area). A shell scales these by its DPI; the end-to-end tests click at them.
#pragma once

#include <array>
#include <string_view>

#include "settings_dialog/dialog_text.h"

namespace velmora::dialog::layout {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    constexpr bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    constexpr Rect offset(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
};

inline constexpr int CanvasWidth = 753;
inline constexpr int CanvasHeight = 485;

// Skin picture sizes.
inline constexpr int OptionFace = 13;
inline constexpr int CheckFace = 12;
inline constexpr int ButtonW = 95;
inline constexpr int ButtonH = 22;
inline constexpr int HeaderH = 22;
inline constexpr int StripeW = 760;
inline constexpr int StripeH = 19;
// The label height that a 9.75-point caption needs.
inline constexpr int LabelH = 16;

// Pic_1(0..4), by index.
inline constexpr std::array<Rect, 5> Panel{{
    {540, 12, 197, 169}, // order and size
    {12, 12, 309, 341},  // pictures
    {540, 216, 197, 89}, // filter change
    {12, 364, 725, 89},  // music
    {332, 12, 197, 341}, // filter preview
}};

constexpr Rect in(int panel, Rect r) { return r.offset(Panel[std::size_t(panel)].x, Panel[std::size_t(panel)].y); }

struct Header {
    Rect at;
    std::string_view caption;
};
inline constexpr std::array<Header, 8> Headers{{
    {in(0, {12, 8, 95, HeaderH}), text::HeaderOrder},
    {in(0, {12, 84, 95, HeaderH}), text::HeaderSize},
    {in(2, {12, 8, 95, HeaderH}), text::HeaderFilterChange},
    {in(1, {12, 8, 95, HeaderH}), text::HeaderFileName},
    {in(1, {192, 8, 109, HeaderH}), text::HeaderPreview},
    {in(1, {192, 164, 95, HeaderH}), text::HeaderKinds},
    {in(4, {12, 8, 109, HeaderH}), text::HeaderFilterPreview},
    {in(3, {12, 8, 95, HeaderH}), text::HeaderMusic},
}};

// One choice of an option group or one check box: its face and its caption label.
struct Choice {
    Rect face;
    Rect label;
};
constexpr Choice option(int panel, int x, int y, int labelX, int labelW)
{
    return {in(panel, {x, y, OptionFace, OptionFace}), in(panel, {labelX, y, labelW, LabelH})};
}

inline constexpr std::array<Choice, 2> RdmSeq{option(0, 24, 40, 40, 140), option(0, 24, 60, 40, 140)};
inline constexpr std::array<Choice, 2> Size{option(0, 24, 116, 40, 140), option(0, 24, 136, 40, 140)};
inline constexpr std::array<Choice, 2> Kbn{option(2, 24, 40, 40, 150), option(2, 24, 60, 40, 150)};
// Index = BgmKind: "無し" on the middle row, "音楽CD" on the top one.
inline constexpr std::array<Choice, 3> Bgm{option(3, 124, 32, 140, 46), option(3, 124, 12, 140, 46),
                                           option(3, 124, 52, 140, 64)};
inline constexpr std::array<Choice, 4> Kind{{
    {in(1, {208, 192, CheckFace, CheckFace}), in(1, {224, 192, 60, LabelH})},
    {in(1, {208, 212, CheckFace, CheckFace}), in(1, {224, 212, 60, LabelH})},
    {in(1, {208, 232, CheckFace, CheckFace}), in(1, {224, 232, 60, LabelH})},
    {in(1, {208, 252, CheckFace, CheckFace}), in(1, {224, 252, 60, LabelH})},
}};

// Img_Button(0..4); the caption label lies on the face.
inline constexpr std::array<Rect, 5> Button{{
    in(1, {12, 40, ButtonW, ButtonH}),
    in(1, {196, 272, ButtonW, ButtonH}),
    {544, 328, ButtonW, ButtonH},
    {644, 328, ButtonW, ButtonH},
    in(3, {208, 48, ButtonW, ButtonH}),
}};

inline constexpr Rect Kei = in(1, {128, 44, 34, LabelH});
inline constexpr Rect KeiSuffix = in(1, {164, 48, 16, LabelH});
inline constexpr Rect List1 = in(1, {12, 68, 169, 225});
inline constexpr Rect PreSize = in(1, {192, 36, 100, LabelH});
inline constexpr Rect Display = in(1, {192, 52, 100, 100});
inline constexpr Rect FolderPath = in(1, {12, 308, 281, 17});
inline constexpr Rect Repeat = in(3, {188, 8, 41, 20});
inline constexpr Rect RepeatLabel = in(3, {236, 12, 90, LabelH});
inline constexpr Rect Fname = in(3, {308, 48, 405, 29});

// Cmd_Fil(1..48): four columns of twelve.
inline constexpr int FilterButtons = 48;
constexpr Rect FilterButton(int index)
{
    const int column = (index - 1) / 12;
    const int row = (index - 1) % 12;
    return in(4, {12 + 44 * column, 40 + 24 * row, 37, 21});
}

} // namespace velmora::dialog::layout
