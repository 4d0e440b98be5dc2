// The full-screen show on a Wayland compositor that offers layer surfaces (wlroots
// compositors, KDE): an overlay surface on every output, each with a show of its own over
// the one shared picture order, input from the compositor's seats, and outputs that come
// and go while the show runs.
#pragma once

#include "platform/linux/shell_options.h"
#include "platform/linux/shell_session.h"
#include "startup/main_logic.h"

#include <iosfwd>
#include <optional>

namespace velmora::shell {

// Runs the show until input ends it or the process is told to quit; returns the exit code.
// nullopt when the show cannot run this way (no compositor answers, or it offers no layer
// surfaces): nothing has been shown then, and the caller opens its full-screen window instead.
std::optional<int> runLayerShow(const ShellOptions& options, StartupState& state, LinuxStartupPlatform& startup,
                                ShowSession& session, std::ostream& messages);

} // namespace velmora::shell
