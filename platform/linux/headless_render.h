// The show without a window: runs it on simulated time and writes numbered PNG frames.
// `velmora --render DIR --size WxH --seconds N [--seed S] [--fps F] [--ini PATH] [settings]`
// It reads the settings as the show does (the settings file, then --folder, --order, ...).
#pragma once

#include "platform/linux/run_settings.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::headless {

struct RenderOptions {
    std::string outputDir;
    int width = 0;
    int height = 0;
    double seconds = 0;
    std::uint64_t seed = 1;
    int fps = 10;       // frames written per simulated second
    std::string iniFile;                  // --ini PATH; empty: the usual place
    posix::SettingsOverrides overrides;   // --folder, --order, --size original|screen, ...
};

// Parses the arguments that follow the program name ("--render" among them). --size takes
// WxH for the frames, or original|screen for the picture size setting.
Result<RenderOptions> parseRenderArguments(const std::vector<std::string>& args);

struct RenderedShow {
    int framesWritten = 0;
    int picturesFound = 0;
};

// Runs the show for options.seconds of simulated time and writes frame-00000.png, ... into
// options.outputDir (created if missing). The same options and settings give the same
// frames. Notes (a missing folder, settings file problems) go to `log`.
Result<RenderedShow> renderShow(const RenderOptions& options, std::ostream& log);

} // namespace velmora::headless
