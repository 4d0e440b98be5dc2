// Argument reading for the Linux program: one table of options, values checked as they are
// read; the screen-saver words are kept as one string, as Main expects them.
#include "platform/linux/shell_options.h"

#include "platform/linux/home_path.h"
#include "platform/linux/idle_choice.h"

#include <SDL2/SDL_keycode.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace velmora::shell {

namespace {

enum class Opt { Ini, WindowId, Display, Backend, Setting, Root, Window, Fps, Timing, Help, Version, SettingsWindow, Idle };

struct OptionRule {
    std::string_view name;
    Opt id;
    bool takesValue;
};

// Every option, once. The daemon's spelling has one dash, ours two; both are accepted.
constexpr OptionRule Options[] = {
    {"ini", Opt::Ini, true},         {"window-id", Opt::WindowId, true}, {"display", Opt::Display, true},
    {"folder", Opt::Setting, true},  {"order", Opt::Setting, true},      {"size", Opt::Setting, true},
    {"filters", Opt::Setting, true}, {"kinds", Opt::Setting, true},      {"music", Opt::Setting, true},
    {"repeat-track", Opt::Setting, true}, {"resume", Opt::Setting, true}, {"monitors", Opt::Setting, true},
    {"backend", Opt::Backend, true}, {"idle", Opt::Idle, true},
    {"root", Opt::Root, false},      {"window", Opt::Window, false},     {"fps", Opt::Fps, false},
    {"timing", Opt::Timing, false},  {"help", Opt::Help, false},         {"h", Opt::Help, false},
    {"version", Opt::Version, false}, {"settings", Opt::SettingsWindow, false},
};

// The option an argument names ("-fps", "--ini=PATH"), with the value written after "=".
std::optional<std::pair<OptionRule, std::optional<std::string>>> findOption(std::string_view arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return std::nullopt;
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        inlineValue = std::string(arg.substr(eq + 1));
        arg = arg.substr(0, eq);
    }
    for (const OptionRule& rule : Options)
        if (rule.name == arg && (rule.takesValue || !inlineValue))
            return std::pair{rule, inlineValue};
    return std::nullopt;
}

// "/s", "-S", "/c:1234": a Windows screen-saver mode letter as the first word of its line.
std::optional<char> modeWord(std::string_view arg)
{
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-') || (arg.size() > 2 && arg[2] != ':'))
        return std::nullopt;
    const char letter = char(std::toupper(static_cast<unsigned char>(arg[1])));
    if (letter != 'S' && letter != 'C' && letter != 'P' && letter != 'A')
        return std::nullopt;
    return letter;
}

bool isHandleNumber(std::string_view word)
{
    if (!word.empty() && word[0] == '-')
        word.remove_prefix(1);
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Stores one option's value; the error text when the value is not one it takes.
Result<void> applyValue(Opt id, std::string_view name, const std::string& value, ShellOptions& o,
                        std::optional<std::uint64_t>& explicitWindow)
{
    switch (id) {
    case Opt::Ini: o.iniFile = posix::expandHome(value); return {};
    case Opt::Display: o.display = value; return {};
    case Opt::Backend:
        if (const auto request = parseBackendRequest(value)) {
            o.backend = *request;
            return {};
        }
        return Reason{"--backend takes auto, wayland or x11: " + value};
    case Opt::WindowId:
        if ((explicitWindow = parseWindowId(value)))
            return {};
        return Reason{"--window-id takes a window id, decimal or 0x hex: " + value};
    case Opt::Idle:
        if ((o.idleMs = parseIdleMinutes(value)))
            return {};
        return Reason{"--idle takes minutes, a decimal number from 0.01 to 1440: " + value};
    case Opt::Setting: return posix::setOverride(name, value, o.overrides);
    default: break;
    }
    return Reason{"unexpected value for an option"};
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

Result<ShellOptions> parseShellOptions(const std::vector<std::string>& args, const char* screenSaverWindow)
{
    ShellOptions o;
    std::optional<Target> drawOn; // -root or -window, the last one given
    std::optional<std::uint64_t> explicitWindow;
    std::string error; // the first one; --help and --version still win over it
    const auto fail = [&](std::string why) {
        if (error.empty())
            error = std::move(why);
    };
    bool modeSeen = false;
    bool settingsWindow = false; // --settings: the settings window, the mode letter C
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto found = findOption(arg)) {
            const auto& [rule, inlineValue] = *found;
            if (!rule.takesValue) {
                switch (rule.id) {
                case Opt::Root: drawOn = Target::XRoot; break;
                case Opt::Window: drawOn = Target::OwnWindow; break;
                case Opt::Fps: o.fps = true; break;
                case Opt::Timing: o.timing = true; break;
                case Opt::Help: o.help = true; break;
                case Opt::Version: o.version = true; break;
                case Opt::SettingsWindow: settingsWindow = true; break;
                default: break;
                }
                continue;
            }
            std::string value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (value.empty()) {
                fail("--" + std::string(rule.name) + " needs a value");
            } else if (Result<void> applied = applyValue(rule.id, rule.name, value, o, explicitWindow);
                       !applied.ok()) {
                fail(applied.reason().text);
            }
            continue;
        }
        if (const auto letter = modeWord(arg); letter && !modeSeen) {
            modeSeen = true;
            o.commandLine = arg;
            // "/p 1234": the handle may follow as a word of its own.
            if (i + 1 < args.size() && arg.size() == 2 && *letter != 'S' && isHandleNumber(args[i + 1]))
                o.commandLine += ' ' + args[++i];
            continue;
        }
        fail("unknown option " + arg);
    }
    if (o.help || o.version)
        return o;
    if (!error.empty())
        return Reason{error};
    if (settingsWindow) {
        if (modeSeen && modeWord(o.commandLine.substr(0, o.commandLine.find(' '))) != 'C')
            return Reason{"--settings and " + o.commandLine + " ask for two things"};
        o.commandLine = "/c";
    }

    if (o.idleMs) {
        // The watcher starts the full-screen show and nothing else.
        std::string other;
        if (!o.commandLine.empty() && modeWord(o.commandLine.substr(0, o.commandLine.find(' '))) != 'S')
            other = o.commandLine;
        else if (explicitWindow)
            other = "--window-id";
        else if (drawOn)
            other = drawOn == Target::XRoot ? "-root" : "-window";
        else if (screenSaverWindow != nullptr && *screenSaverWindow != '\0')
            other = "XSCREENSAVER_WINDOW";
        if (!other.empty())
            return Reason{"--idle and " + other + " ask for two things"};
        o.commandLine.clear();
        return o;
    }
    if (explicitWindow) {
        o.target = Target::XWindow;
        o.windowId = *explicitWindow;
        // The daemon's settings window names its preview both ways: that is the daemon's run too.
        o.fromDaemon = screenSaverWindow != nullptr && parseWindowId(screenSaverWindow) == explicitWindow;
    } else if (screenSaverWindow != nullptr && *screenSaverWindow != '\0') {
        const auto fromDaemon = parseWindowId(screenSaverWindow);
        if (!fromDaemon) {
            return Reason{std::string("XSCREENSAVER_WINDOW is not a window id: ") + screenSaverWindow};
        }
        o.target = Target::XWindow;
        o.windowId = *fromDaemon;
        o.fromDaemon = true;
    } else if (drawOn) {
        o.target = *drawOn;
    }
    return o;
}

std::vector<std::string> showArgumentsForIdle(const std::vector<std::string>& args)
{
    std::vector<std::string> show;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto found = findOption(args[i]);
        if (found && found->first.id == Opt::Idle) {
            i += found->second ? 0 : 1; // its value, when it is the next word
            continue;
        }
        if (!found && modeWord(args[i]))
            continue;
        show.push_back(args[i]);
        if (found && found->first.takesValue && !found->second && i + 1 < args.size())
            show.push_back(args[++i]);
    }
    show.push_back("-s");
    return show;
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

int windowsKeyCodeFromEvdev(std::uint32_t evdevCode)
{
    switch (evdevCode) {
    case KEY_LEFT: return 37;
    case KEY_RIGHT: return 39;
    default: return 255; // as above: ends the show whatever the music
    }
}

} // namespace velmora::shell
