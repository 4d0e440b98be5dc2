// Argument reading for the Linux program; the screen-saver command line is kept as one
// string, as Main expects it.
#include "platform/linux/shell_options.h"

#include <SDL2/SDL_keycode.h>

#include <charconv>

namespace velmora::shell {

namespace {

ParsedOptions failure(std::string why)
{
    ParsedOptions parsed;
    parsed.error = std::move(why);
    return parsed;
}

// The daemon's own spelling of an option has one dash; ours has two. Both are accepted, as
// a Windows screen-saver line never starts with either word.
bool isOption(const std::string& arg, std::string_view name)
{
    return arg == std::string("--").append(name) || arg == std::string("-").append(name);
}

} // namespace

std::optional<std::uint64_t> parseWindowId(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    // X resource ids have 29 bits; anything wider is not a window.
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 0x1FFFFFFF) {
        return std::nullopt;
    }
    return value;
}

ParsedOptions parseShellOptions(const std::vector<std::string>& args, const char* screenSaverWindow)
{
    ParsedOptions parsed;
    ShellOptions& o = parsed.options;
    bool root = false;
    std::optional<std::uint64_t> explicitWindow;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (isOption(arg, "ini") || isOption(arg, "window-id")) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return failure(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (isOption(arg, "ini")) {
                o.iniFile = value;
            } else if (!(explicitWindow = parseWindowId(value))) {
                return failure("--window-id takes a window id, decimal or 0x hex: " + value);
            }
        } else if (isOption(arg, "root")) {
            root = true;
        } else if (arg == "--timing") {
            o.timing = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            return failure("unknown option " + arg);
        } else {
            if (!o.commandLine.empty()) {
                o.commandLine += ' ';
            }
            o.commandLine += arg;
        }
    }

    if (explicitWindow) {
        o.target = Target::XWindow;
        o.windowId = *explicitWindow;
    } else if (screenSaverWindow != nullptr && *screenSaverWindow != '\0') {
        const auto fromDaemon = parseWindowId(screenSaverWindow);
        if (!fromDaemon) {
            return failure(std::string("XSCREENSAVER_WINDOW is not a window id: ") + screenSaverWindow);
        }
        o.target = Target::XWindow;
        o.windowId = *fromDaemon;
    } else if (root) {
        o.target = Target::XRoot;
    }
    parsed.ok = true;
    return parsed;
}

int windowsKeyCode(std::int32_t sdlKeycode)
{
    switch (sdlKeycode) {
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_RETURN: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    default: break;
    }
    if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) {
        return 'A' + (sdlKeycode - SDLK_a);
    }
    if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) {
        return sdlKeycode;
    }
    // Any other key only has to end the show: 255 is no key the rules treat specially
    // (SDL's own codes for '%' and '\'' would collide with the arrows' 37 and 39).
    return 255;
}

} // namespace velmora::shell
