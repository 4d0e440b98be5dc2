// The full-screen show as a native Wayland client: a surface on every output, each with a
// show of its own over the one shared picture order, input from the compositor's seats, and
// outputs that come and go while the show runs. Where the compositor offers layer surfaces
// (wlroots compositors, KDE) each is an overlay above panels and windows with the keyboard to
// itself; elsewhere (GNOME) a window made full screen on its output.
#pragma once

#include "platform/linux/shell_options.h"
#include "platform/linux/shell_session.h"
#include "startup/main_logic.h"

#include <iosfwd>
#include <optional>

namespace velmora::shell {

// Runs the show until input ends it or the process is told to quit; returns the exit code.
// nullopt when no compositor answers: nothing has been shown then, and the caller says why.
std::optional<int> runOutputShow(const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
                                ShowSession& session, std::ostream& messages);

} // namespace velmora::shell
