// The Linux program's arguments: its own options (--ini, --window-id, --root, --timing)
// and, left over, the screen-saver command line that Main reads ("-s", "/c", nothing).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::shell {

// Where the show draws.
enum class Target {
    FullScreen, // an SDL window of our own covering the current display
    XWindow,    // a window that the screen-saver daemon (or a caller) owns
    XRoot,      // the X root window
};

struct ShellOptions {
    std::string iniFile;            // --ini PATH; empty: the usual places
    Target target = Target::FullScreen;
    std::uint64_t windowId = 0;     // for Target::XWindow
    bool timing = false;            // --timing: report start-to-first-frame on stderr
    std::string commandLine;        // what is left, joined by single spaces
};

struct ParsedOptions {
    bool ok = false;
    std::string error; // short reason when !ok
    ShellOptions options;
};

// Reads the arguments after the program name. `screenSaverWindow` is the value of
// XSCREENSAVER_WINDOW (nullptr when unset): the daemon's window, used unless --window-id
// names one. A malformed value in the environment is an error too, rather than a silent
// full-screen show covering the daemon's lock.
ParsedOptions parseShellOptions(const std::vector<std::string>& args, const char* screenSaverWindow);

// An X window id: decimal, or hex with 0x / 0X. nullopt for anything else, 0 included.
std::optional<std::uint64_t> parseWindowId(std::string_view text);

// Windows virtual-key code for an SDL key code (the core's input rules use these). Only the
// arrows must be exact; every key that is not an arrow maps to a code that is not one.
int windowsKeyCode(std::int32_t sdlKeycode);

} // namespace velmora::shell
