// The full-screen show in an SDL2 window of its own: mode "S" and the empty command line.
#pragma once

#include "platform/linux/shell_options.h"
#include "platform/linux/shell_session.h"
#include "startup/main_logic.h"

#include <iosfwd>

namespace velmora::shell {

// Covers the display that holds the mouse pointer, runs the show until input ends it
// (the core's input rules) or the process is told to quit, then does EndShow's system part.
// Returns the process's exit code.
int runFullScreen(const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
                  ShowSession& session, std::ostream& messages);

} // namespace velmora::shell
