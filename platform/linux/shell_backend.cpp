// The display system for the show's own window, from the environment and the options.
#include "platform/linux/shell_backend.h"

namespace velmora::shell {

namespace {

bool named(const char* value) { return value != nullptr && *value != '\0'; }

} // namespace

std::optional<BackendRequest> parseBackendRequest(std::string_view text)
{
    if (text == "auto")
        return BackendRequest::Auto;
    if (text == "wayland")
        return BackendRequest::Wayland;
    if (text == "x11")
        return BackendRequest::X11;
    return std::nullopt;
}

VideoBackend chooseVideoBackend(BackendRequest request, const char* waylandDisplay, const char* xDisplay,
                                bool displayOption)
{
    const bool wayland = named(waylandDisplay);
    const bool x11 = named(xDisplay) || displayOption;
    switch (request) {
    case BackendRequest::Wayland: return wayland ? VideoBackend::Wayland : VideoBackend::NoDisplay;
    case BackendRequest::X11: return x11 ? VideoBackend::X11 : VideoBackend::NoDisplay;
    case BackendRequest::Auto: break;
    }
    // --display names an X server on purpose; otherwise the compositor wins over its X server.
    if (displayOption)
        return VideoBackend::X11;
    if (wayland)
        return VideoBackend::Wayland;
    return x11 ? VideoBackend::X11 : VideoBackend::NoDisplay;
}

const char* sdlVideoDriver(VideoBackend backend)
{
    switch (backend) {
    case VideoBackend::Wayland: return "wayland";
    case VideoBackend::X11: return "x11";
    case VideoBackend::NoDisplay: break;
    }
    return nullptr;
}

} // namespace velmora::shell
