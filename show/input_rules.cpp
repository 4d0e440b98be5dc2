// The show's input decisions: diagonal-only mouse end, clicks, keys and the CD track keys.
#include "show/input_rules.h"

namespace velmora::show {

InputAction InputRules::Display_MouseMove(float x, float y)
{
    if (commandLineEmpty_) {
        return InputAction::None;
    }
    if (!HaveFirst) {
        FirstX = x;
        FirstY = y;
        HaveFirst = true;
        return InputAction::None;
    }
    if (x != FirstX && y != FirstY) {
        HaveFirst = false;
        return InputAction::EndShow;
    }
    return InputAction::None;
}

InputAction InputRules::Form_KeyDown(int keyCode, bool musicHandlesTrackKeys) const
{
    if (musicHandlesTrackKeys) {
        if (keyCode == KeyLeftArrow) return InputAction::PreviousTrack;
        if (keyCode == KeyRightArrow) return InputAction::NextTrack;
    }
    return InputAction::EndShow;
}

} // namespace velmora::show
