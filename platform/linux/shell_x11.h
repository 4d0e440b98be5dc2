// The Xlib side of the Linux show: the single-instance look-up by window title, the copy of
// the root window taken before the show covers it, and the screen-saver daemon's display hack.
#pragma once

#include "filters/picture.h"
#include "platform/linux/shell_options.h"
#include "platform/linux/startup_linux.h"

#include <iosfwd>
#include <memory>
#include <string_view>

struct _XDisplay; // Xlib's Display

namespace velmora::shell {

class ShowSession;

// Whether any window of the X display carries this title (UTF-8). False without a display.
bool x11WindowTitled(std::string_view titleUtf8);

// The root window's area (x, y, width x height) as it is when taken, kept on the X server (a
// pixmap) until the show asks for it: nothing is read back or converted before then, and a
// show that has pictures never does it.
class DesktopSnapshot {
public:
    // Null when there is no display or no part of the area lies on the root window.
    static std::unique_ptr<DesktopSnapshot> take(int x, int y, int width, int height);
    ~DesktopSnapshot();
    DesktopSnapshot(const DesktopSnapshot&) = delete;
    DesktopSnapshot& operator=(const DesktopSnapshot&) = delete;

    // The area from `target`'s top-left corner (the part off the root window left as it is);
    // false, with `target` untouched, when it cannot be read back.
    bool copyInto(Picture& target) const;

private:
    struct Parts;
    explicit DesktopSnapshot(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

// Whether a window manager runs on the display: only one answers a request for the
// full-screen state, which otherwise waits for an answer that never comes.
bool windowManagerRunning(_XDisplay* display);

// Runs the show inside an X window that someone else owns (the daemon's, a caller's, or the
// root window) until that window goes away or the process is told to end. It only draws:
// input and locking belong to the window's owner. A change of the window's size lays the
// show out again at the new size; the music goes on. Without pictures, the desktop copy
// comes from the root window, or under the daemon from its grabber when the user allows it.
// Returns the process's exit code.
int runDisplayHack(const ShellOptions& options, const posix::PosixStartup& startup, ShowSession& session,
                   std::ostream& messages);

} // namespace velmora::shell
