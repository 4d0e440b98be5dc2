// Which display system the show's own window goes to: a Wayland compositor, an X server, or
// none. Read from the environment and the command line only, so it is decided before any
// library opens a connection.
#pragma once

#include <optional>
#include <string_view>

namespace velmora::shell {

enum class VideoBackend { Wayland, X11, NoDisplay };

// --backend: auto (the default), wayland or x11.
enum class BackendRequest { Auto, Wayland, X11 };

std::optional<BackendRequest> parseBackendRequest(std::string_view text);

// `waylandDisplay` and `xDisplay` are WAYLAND_DISPLAY and DISPLAY (nullptr when unset);
// `displayOption` tells that --display named an X display. On a Wayland session the show is
// a Wayland client even when DISPLAY is set too: that X server is the compositor's
// compatibility server, whose windows the compositor may not put above everything else.
// An explicit request is followed when its display is named, and is NoDisplay otherwise.
VideoBackend chooseVideoBackend(BackendRequest request, const char* waylandDisplay, const char* xDisplay,
                                bool displayOption);

// The SDL video driver's name for a backend; nullptr for NoDisplay.
const char* sdlVideoDriver(VideoBackend backend);

} // namespace velmora::shell
