// The X screen-saver daemon's own image grabber (xscreensaver-getimage): under the daemon
// the root window is already covered, so the desktop copy comes from the grabber, which
// also honours the user's choice not to show the desktop.
#pragma once

#include <cstdint>
#include <string>

namespace velmora::shell {

// The grabber program: on $PATH (the daemon puts its own folder there) or in the folders
// the daemon's packages use. Empty when there is none.
std::string findImageGrabber();

// Runs the grabber to draw into `pixmap` (the drawable of `window`) and waits for it, at most
// `limitMs` milliseconds (it is ended after that). True when it ran and ended with success.
bool runImageGrabber(const std::string& program, std::uint64_t window, std::uint64_t pixmap, int limitMs);

} // namespace velmora::shell
