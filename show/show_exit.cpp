// EndShow's steps in their fixed order: password, music, system state, screen saving.
#include "show/show_exit.h"

namespace velmora::show {

bool ShowExit::EndShow(const std::function<void()>& stopShow)
{
    if (screenSaverMode() && !system_.isWinNT()) {
        toggleCursor(); // the password dialog needs the cursor
        if (system_.verifyScreenSavePassword() == PasswordVerdict::Refused) {
            state_.CursorState = system_.showCursor(false);
            return false;
        }
    }
    stopAndRestore(stopShow);
    return true;
}

void ShowExit::stopAndRestore(const std::function<void()>& stopShow)
{
    if (stopShow) {
        stopShow(); // the CD poll and CdClose, then WavStop or Mp3Close
    }
    if (screenSaverMode()) {
        system_.enableSystemKeys(true);
        toggleCursor();
    }
    system_.keepScreenSaveActive();
}

void ShowExit::Form_QueryUnload()
{
    if (screenSaverMode()) {
        toggleCursor();
    }
}

} // namespace velmora::show
