// The Linux program's arguments: the display-hack flags every screen-saver daemon passes,
// the settings as options for one run, and, left over, the Windows screen-saver letters
// that Main reads ("-s", "/c", "/p 1234", nothing).
#pragma once

#include "platform/linux/run_settings.h"
#include "platform/linux/shell_backend.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::shell {

// Where the show draws.
enum class Target {
    FullScreen, // an SDL window of our own covering the current display
    OwnWindow,  // an ordinary window of our own (-window), resizable
    XWindow,    // a window that the screen-saver daemon (or a caller) owns
    XRoot,      // the X root window
};

struct ShellOptions {
    std::string iniFile;            // --ini PATH; empty: the usual places
    Target target = Target::FullScreen;
    std::uint64_t windowId = 0;     // for Target::XWindow
    bool fromDaemon = false;        // the window came from XSCREENSAVER_WINDOW
    std::string display;            // --display NAME; empty: $DISPLAY
    BackendRequest backend = BackendRequest::Auto; // --backend: the own window's display system
    bool fps = false;               // --fps: frames per second drawn in a corner
    bool timing = false;            // --timing: start-to-first-frame and the frame intervals on stderr
    bool help = false;              // --help: print the usage, run nothing
    bool version = false;           // --version: print the version, run nothing
    std::optional<std::int64_t> idleMs; // --idle MINUTES: watch for idleness and start the show then
    posix::SettingsOverrides overrides; // --folder, --order, ... over the settings file
    std::string commandLine;        // the Windows screen-saver words, joined by single spaces
};

// Reads the arguments after the program name. Every option takes one dash or two
// ("-fps", "--fps") and may stand anywhere; a value follows as the next word or after "=".
// Words that are not options must be a Windows screen-saver letter ("/s", "-S", "/c:1234",
// "/p" or "/a" and a number); anything else is an error. `screenSaverWindow` is the value of
// XSCREENSAVER_WINDOW (nullptr when unset): the daemon's window, used unless --window-id
// names one. A malformed value there is an error too, rather than a full-screen show
// covering the daemon's lock. --help and --version win over any error.
Result<ShellOptions> parseShellOptions(const std::vector<std::string>& args, const char* screenSaverWindow);

// The arguments for the show that `velmora --idle` starts: `args` without --idle and its
// value and without a mode letter, then "-s". The settings options go through unchanged.
std::vector<std::string> showArgumentsForIdle(const std::vector<std::string>& args);

// An X window id: decimal, or hex with 0x / 0X. nullopt for anything else, 0 included.
std::optional<std::uint64_t> parseWindowId(std::string_view text);

// Windows virtual-key code for an SDL key code (the core's input rules use these). Only the
// arrows must be exact; every key that is not an arrow maps to a code that is not one.
int windowsKeyCode(std::int32_t sdlKeycode);
// The same for a Linux input-event key code (the code a Wayland seat's keyboard sends,
// whatever the keyboard layout: the arrows are the same keys on every layout).
int windowsKeyCodeFromEvdev(std::uint32_t evdevCode);

} // namespace velmora::shell
