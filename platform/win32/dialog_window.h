// The Windows settings window "ヴェルモラの設定": the skinned window that draws the settings
// form and hands it the mouse.
#pragma once

#include "startup/main_logic.h"

namespace velmora::win32 {

// Opens the settings window for `state` and runs it modally: returns when the window has
// closed (saved, cancelled or closed by its close box).
void runSettingsDialog(StartupState& state);

} // namespace velmora::win32
