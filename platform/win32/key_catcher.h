// Under Wine, a full-screen window is left to the X window manager, and Wine never gives it
// the X server's keyboard focus itself; on a bare X server whose focus is None no key would
// reach the show. A one-pixel pop-up that Wine does not hand to a window manager takes the
// focus there and passes every key on to the show window.
#pragma once

#include <windows.h>

namespace velmora::win32 {

// True when the program runs under Wine.
bool runningUnderWine();

// Creates the catcher below `target` (hidden by it), gives it the keyboard focus and
// forwards its key messages to `target`. Returns the catcher, or null when it cannot be made.
HWND catchKeysFor(HWND target);

} // namespace velmora::win32
