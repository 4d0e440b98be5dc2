// The Windows show window: the full-screen "Velmora_Main" window that hosts the core show,
// with its timers, its message pump during filters, its input and its exit.
#pragma once

#include "startup/main_logic.h"

namespace velmora::win32 {

// Opens the show for `state` (which must live as long as the process) modelessly: the window
// covers the primary screen, black windows cover the other monitors, and the timers run.
// Returns true when the window is open and the caller must run the message loop. The
// process ends inside the window when the show ends.
bool openShowWindow(StartupState& state);

// Asks the system for per-monitor DPI awareness when it offers the call, so the show works
// in real pixels on a scaled display. The manifest asks the same; this covers a process
// started without it. Safe to call more than once.
void enableDpiAwareness();

} // namespace velmora::win32
