// The settings window on Linux: the settings form drawn with GTK 3.
#pragma once

#include "platform/linux/shell_backend.h"
#include "startup/main_logic.h"
#include "startup/settings_file.h"

#include <iosfwd>

namespace velmora::shell {

// Opens the window on the settings in `state` (the file's own values) and returns when it
// has closed, saved ("設定") or not. False when no window could be opened (no display);
// the reason then goes to `messages`. The window goes to `backend`, where the program looked
// for another instance's window, unless GDK_BACKEND names a display system itself.
bool runSettingsWindow(StartupState& state, const SettingsLocation& location, VideoBackend backend,
                       std::ostream& messages);

} // namespace velmora::shell
