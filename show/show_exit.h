// EndShow and Form_QueryUnload over the few system calls they make: the order of the steps
// and the password rules, the same for every shell (Linux has no password and no flags).
#pragma once

#include "startup/main_logic.h"

#include <cstdint>
#include <functional>

namespace velmora::show {

enum class PasswordVerdict {
    Accepted,    // the service says the show may end (right password, or none set)
    Refused,     // the service says no: the show goes on
    Unavailable, // password.cpl or its entry cannot be loaded
};

class ShowExitSystem {
public:
    virtual ~ShowExitSystem() = default;
    virtual bool isWinNT() = 0;
    virtual std::int32_t showCursor(bool show) = 0;
    virtual PasswordVerdict verifyScreenSavePassword() = 0; // VerifyScreenSavePwd(show window)
    virtual void enableSystemKeys(bool enable) = 0;         // SystemParametersInfoA 97
    virtual void keepScreenSaveActive() = 0;                // SystemParametersInfoA 17, uiParam 1
};

class ShowExit {
public:
    // `state` holds the mode letter and the cursor counter; both must outlive this object.
    ShowExit(ShowExitSystem& system, StartupState& state) : system_(system), state_(state) {}

    // Steps 1 to 5 of EndShow: the password (mode "S" off the NT family), the music through
    // `stopShow`, the system state and the screen-saving flag. Returns false when the
    // password was refused and the show goes on; the caller then unloads and ends.
    // A service that cannot be loaded ends the show: the user is never locked in.
    bool EndShow(const std::function<void()>& stopShow);

    // Steps 2 to 5 alone: also for a show that could not open its window, so the
    // system is not left flagged as running a screen saver.
    void stopAndRestore(const std::function<void()>& stopShow);

    // Runs whenever the show window is about to close; never cancels.
    void Form_QueryUnload();

private:
    bool screenSaverMode() const { return state_.modeLetter == "S"; }
    void toggleCursor() { state_.CursorState = system_.showCursor(state_.CursorState != 0); }

    ShowExitSystem& system_;
    StartupState& state_;
};

} // namespace velmora::show
