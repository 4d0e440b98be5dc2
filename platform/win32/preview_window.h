// The preview inside the display-properties dialog: the form Velmora_R, a borderless child
// of the dialog's little monitor picture that shows one fixed picture built into the program.
#pragma once

#include <windows.h>

#include <cstdint>

namespace velmora::win32 {

// Around the picture in a host larger than it: the dark of the picture's lower edge.
inline constexpr COLORREF PreviewBackground = RGB(28, 19, 38);

// Opens the preview as a child filling `hostWindow` (the handle the command line gives).
// True when the window is open and the caller must run the message loop, which ends when
// the host destroys its window or the preview is closed. False, with nothing opened, when
// the handle names no window.
bool openPreviewWindow(std::int32_t hostWindow);

} // namespace velmora::win32
