// The settings window on Linux: the settings form drawn with GTK 3.
#pragma once

#include "startup/main_logic.h"
#include "startup/settings_file.h"

#include <iosfwd>

namespace velmora::shell {

// Opens the window on the settings in `state` (the file's own values) and returns when it
// has closed, saved ("設定") or not. False when no window could be opened (no display);
// the reason then goes to `messages`.
bool runSettingsWindow(StartupState& state, const SettingsLocation& location, std::ostream& messages);

} // namespace velmora::shell
