// The Linux velmora program: the full-screen show, the settings window (-c, --settings), the screen-saver daemon's display hack,
// and the headless renderer (--render).
#include "platform/linux/headless_render.h"
#include "platform/linux/idle_watcher.h"
#include "platform/linux/shell_options.h"
#include "platform/linux/shell_sdl.h"
#include "platform/linux/shell_session.h"
#include "platform/linux/shell_x11.h"
#include "startup/main_logic.h"
#include "startup/random.h"

#include <SDL2/SDL.h>

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The process's exit codes (README lists them).
constexpr int ExitDone = 0;     // the show or mode ran and ended
constexpr int ExitFailed = 1;   // no display, no window to draw in, frames not written
constexpr int ExitRefused = 2;  // a bad command line, or a show or settings window already open

constexpr const char* Usage =
    "usage: velmora [options] [-s]        the show, full screen\n"
    "       velmora -window [options]     the show in a window of its own\n"
    "       velmora -root [options]       the show on the root window, or in the window of the\n"
    "                                     screen-saver daemon (XSCREENSAVER_WINDOW)\n"
    "       velmora -window-id ID [options]  the show in the X window ID (decimal or 0x hex)\n"
    "       velmora --idle MINUTES [options]  stay running; start the show after MINUTES (decimal)\n"
    "                                     without input, and again after each idle period\n"
    "       velmora --render DIR --size WxH --seconds N [--seed S] [--fps F] [settings]\n"
    "options (one dash or two, anywhere on the line):\n"
    "  -display NAME            the X display instead of $DISPLAY\n"
    "  -backend auto|wayland|x11  the show's own window on the Wayland compositor of\n"
    "                           $WAYLAND_DISPLAY or the X server of $DISPLAY (auto: Wayland first)\n"
    "  -fps                     show the frames drawn per second in a corner\n"
    "  -ini PATH                this settings file instead of ~/.config/velmora/ヴェルモラ.ini\n"
    "  -timing                  report the time to the first frame and, at the end, the frame intervals on stderr\n"
    "  -help, -version\n"
    "settings for this run only (the settings file is not changed):\n"
    "  -folder PATH             the pictures of this folder\n"
    "  -order sequential|random\n"
    "  -size original|screen    the pictures at their own size or scaled to the screen\n"
    "  -filters same|mixed      one effect per picture, or a new effect for every tile\n"
    "  -kinds bmp,gif,jpg,wmf   the picture kinds shown\n"
    "  -music none|cd|FILE      background music: none, an audio CD, or an MP3 or WAV file\n"
    "  -repeat-track N          the CD track to repeat (0: none)\n"
    "  -resume yes|no           go on where the last show stopped, or start at the first picture\n"
    "  -monitors all|primary    a show on every monitor, or on the primary only\n"
    "  -settings                the settings window (the same as /c); it writes the settings file\n"
    "Windows screen-saver letters: /s (the show), /c (settings), /p ID (preview), /a ID.\n"
    "Exit codes: 0 done, 1 could not run, 2 bad command line or already running.\n";

int renderHeadless(const std::vector<std::string>& args)
{
    const auto parsed = velmora::headless::parseRenderArguments(args);
    if (!parsed.ok()) {
        std::cerr << "velmora: " << parsed.reason().text << '\n' << Usage;
        return ExitRefused;
    }
    const auto result = velmora::headless::renderShow(parsed.value(), std::cerr);
    if (!result.ok()) {
        std::cerr << "velmora: " << result.reason().text << '\n';
        return ExitFailed;
    }
    std::cout << "velmora: wrote " << result->framesWritten << " frames of " << result->picturesFound << " pictures to "
              << parsed->outputDir << '\n';
    return ExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace velmora;
    shell::monotonicMilliseconds(); // the clock of --timing starts here
    // Picture-sized buffers come from and go back to the system: otherwise glibc raises its
    // threshold after the first large free and keeps a freed picture or desktop copy in the
    // heap, adding up to a whole screen buffer to the peak while the next picture decodes.
    // Tile-sized buffers, made once a tile, stay below the threshold.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = shell::parseShellOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (parsed.ok() && parsed->help) {
        std::cout << Usage;
        return ExitDone;
    }
    if (parsed.ok() && parsed->version) {
        std::cout << "velmora " << VELMORA_VERSION << '\n';
        return ExitDone;
    }
    if (std::find(args.begin(), args.end(), "--render") != args.end()) {
        return renderHeadless(args);
    }
    if (!parsed.ok()) {
        std::cerr << "velmora: " << parsed.reason().text << '\n' << Usage;
        return ExitRefused;
    }
    const shell::ShellOptions& options = parsed.value();
    if (!options.display.empty()) {
        // Xlib and SDL both take the display from here (the idle watcher's too).
        setenv("DISPLAY", options.display.c_str(), 1);
    }
    if (options.idleMs) {
        return shell::runIdleWatcher(*options.idleMs, shell::showArgumentsForIdle(args), std::cerr);
    }

    StartupState state;
    shell::LinuxStartupPlatform startup(options, std::cerr);
    const StartupOutcome outcome = Main(options.commandLine, startup, sharedRandom(), state);
    if (outcome == StartupOutcome::AnotherInstance) {
        return ExitRefused; // silently, as on Windows
    }
    if (outcome != StartupOutcome::ShowOpened) {
        // every other mode has done all it does
        return startup.dialogOpened() ? ExitDone : ExitFailed;
    }

    int exitCode = ExitDone;
    {
        shell::ShowSession session(state);
        exitCode = options.target == shell::Target::FullScreen || options.target == shell::Target::OwnWindow
                       ? shell::runFullScreen(options, state, startup, session, std::cerr)
                       : shell::runDisplayHack(options, startup, session, std::cerr);
    }
    if (music::MusicThread::threadsLeftBehind() > 0) {
        // A music thread stuck in the mixer may still use SDL: end without tearing it down.
        std::cerr.flush();
        std::_Exit(exitCode);
    }
    SDL_Quit(); // after the music has closed its device
    return exitCode;
}
