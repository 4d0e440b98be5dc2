// The settings window's canvas, drawn once for every system: the stripe, the panels, the skin
// faces, the fields and the thumbnail into a picture, and where each text goes. A view puts
// the picture on its window, draws the texts with its own font and places native controls.
#pragma once

#include "filters/picture.h"
#include "settings_dialog/dialog_layout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::dialog {

class SettingsForm;

// The skin pictures, by role; each view loads them from where its system keeps them.
enum SkinPicture : std::uint8_t {
    OptionOff,
    OptionOn,
    CheckOff,
    CheckOn,
    ButtonPressed,
    ButtonReleased,
    Header95,
    Header109,
    Stripe,
    SkinCount
};
using DialogSkin = std::array<Picture, SkinCount>;
// The skin's file names, in resources/skin.
inline constexpr std::array<std::string_view, SkinCount> SkinFile{
    "option_off.bmp",     "option_on.bmp",       "check_off.bmp", "check_on.bmp", "button_pressed.bmp",
    "button_released.bmp", "header_95.bmp",      "header_109.bmp", "stripe.bmp"};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};
namespace colour {
inline constexpr Rgb Ink{30, 42, 62};
inline constexpr Rgb Muted{140, 152, 170}; // a disabled control's caption
inline constexpr Rgb HeaderInk{255, 255, 255};
inline constexpr Rgb PanelEdge{166, 178, 196};
inline constexpr Rgb PanelLight{252, 253, 254};
inline constexpr Rgb FieldFill{250, 251, 253};
} // namespace colour

enum class TextAlign : std::uint8_t { Left, Centre, Right };

// One text on the canvas. A view lays it out in `box` with its font (one line unless `wrap`,
// the middle left out when it does not fit and `ellipsis` is set) and draws nothing of it
// outside `clip`; without a clip, a left-aligned caption may run past its label.
struct CanvasText {
    std::string text;
    layout::Rect box;
    std::optional<layout::Rect> clip;
    Rgb colour = colour::Ink;
    TextAlign align = TextAlign::Left;
    bool centreVertically = false;
    bool wrap = false;
    bool ellipsis = false;
};

// The canvas (layout::CanvasWidth x CanvasHeight) as the form's state shows it. Missing skin
// pictures are left out; the window still works.
void paintCanvas(Picture& canvas, const SettingsForm& form, const DialogSkin& skin);

// The texts to draw over the canvas, in paint order.
std::vector<CanvasText> canvasTexts(const SettingsForm& form);

// The areas of the canvas under native controls (the list, the repeat box, the filter
// buttons): the canvas there is hidden.
std::vector<layout::Rect> nativeControlAreas();

} // namespace velmora::dialog
