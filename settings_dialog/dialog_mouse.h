// What lies under a point of the settings window's canvas, and a press on an option image,
// a check box or their captions handed to the form's event. Every view asks here, so the
// views agree on where a click lands.
#pragma once

namespace velmora::dialog {

class SettingsForm;

struct Hit {
    enum Target { Nothing, Order, Size, FilterMode, Music, PictureKind, PushButton } target = Nothing;
    int index = 0;
    bool onLabel = false;
};

// `x`, `y` in canvas pixels at 96 DPI (the layout's).
Hit hitTest(int x, int y);

// Any mouse button going down on a choice: its group's event for the image or the caption.
// False when the hit is not a choice (push buttons act on the left button and its release).
bool pressChoice(SettingsForm& form, const Hit& hit);

} // namespace velmora::dialog
