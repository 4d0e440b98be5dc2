// When input ends the show: pure decisions the shells call from their event handlers.
// The shells then do EndShow's system work (password, cursor, system flags, exit).
#pragma once

namespace velmora::show {

// Virtual-key codes of the two track keys; shells map their own key codes to these.
inline constexpr int KeyLeftArrow = 37;
inline constexpr int KeyRightArrow = 39;

enum class InputAction {
    None,          // the event changes nothing
    EndShow,       // the shell runs EndShow
    PreviousTrack, // the music goes one CD track back
    NextTrack,     // the music goes one CD track on
};

class InputRules {
public:
    // A show started with an empty command line does not end on mouse movement.
    explicit InputRules(bool commandLineEmpty = false) : commandLineEmpty_(commandLineEmpty) {}

    // The first movement only records where the mouse is; a later one ends the show when
    // both coordinates differ from that point. Straight horizontal or vertical movement
    // never ends it. The point is forgotten when the show is asked to end, so after a
    // refused password the next movement records a new one.
    InputAction Display_MouseMove(float x, float y);

    // Any button ends the show.
    InputAction Display_MouseDown() const { return InputAction::EndShow; }

    // With CD music the arrow keys change tracks; every other key ends the show.
    InputAction Form_KeyDown(int keyCode, bool musicHandlesTrackKeys) const;

    bool commandLineEmpty() const { return commandLineEmpty_; }

private:
    bool commandLineEmpty_ = false;
    bool HaveFirst = false;
    float FirstX = 0;
    float FirstY = 0;
};

} // namespace velmora::show
