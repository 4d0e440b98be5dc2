// The Linux velmora program: the full-screen show, the screen-saver daemon's display hack,
// and the headless renderer (--render).
#include "platform/linux/headless_render.h"
#include "platform/linux/shell_options.h"
#include "platform/linux/shell_sdl.h"
#include "platform/linux/shell_session.h"
#include "platform/linux/shell_x11.h"
#include "startup/main_logic.h"
#include "startup/random.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* Usage =
    "usage: velmora [-s] [--ini PATH]                     the show, full screen\n"
    "       velmora (--window-id ID | --root) [--ini PATH]  the show in an X window (screen-saver daemon)\n"
    "       velmora --render DIR --size WxH --seconds N [--seed S] [--folder PATH] [--fps F]\n"
    "Add --timing to report the time to the first frame.\n";

int renderHeadless(const std::vector<std::string>& args)
{
    const auto parsed = velmora::headless::parseRenderArguments(args);
    if (!parsed.ok) {
        std::cerr << "velmora: " << parsed.error << '\n' << Usage;
        return 2;
    }
    const auto result = velmora::headless::renderShow(parsed.options, std::cerr);
    if (!result.ok) {
        std::cerr << "velmora: " << result.error << '\n';
        return 1;
    }
    std::cout << "velmora: wrote " << result.framesWritten << " frames of " << result.picturesFound << " pictures to "
              << parsed.options.outputDir << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace velmora;
    shell::monotonicMilliseconds(); // the clock of --timing starts here

    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "--render") {
        return renderHeadless(args);
    }
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
        std::cout << Usage;
        return 0;
    }
    const auto parsed = shell::parseShellOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (!parsed.ok) {
        std::cerr << "velmora: " << parsed.error << '\n' << Usage;
        return 2;
    }
    const shell::ShellOptions& options = parsed.options;

    StartupState state;
    shell::LinuxStartupPlatform startup(options, std::cerr);
    const StartupOutcome outcome = Main(options.commandLine, startup, sharedRandom(), state);
    if (outcome != StartupOutcome::ShowOpened) {
        return 0; // every other mode has done all it does (or ends silently, as a second show)
    }

    int exitCode = 0;
    {
        shell::ShowSession session(state);
        exitCode = options.target == shell::Target::FullScreen
                       ? shell::runFullScreen(options, state, startup, session, std::cerr)
                       : shell::runDisplayHack(options, session, std::cerr);
    }
    SDL_Quit(); // after the music has closed its device
    return exitCode;
}
