// The show without a window: runs it on simulated time and writes numbered PNG frames.
// `velmora --render DIR --size WxH --seconds N [--seed S] [--folder PATH] [--fps F]`
#pragma once

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
    std::string folder; // empty: the sample pictures
    int fps = 10;       // frames written per simulated second
};

struct ParsedRenderOptions {
    bool ok = false;
    std::string error; // short reason when !ok
    RenderOptions options;
};

// Parses the arguments that follow the program name, starting with "--render".
ParsedRenderOptions parseRenderArguments(const std::vector<std::string>& args);

struct RenderResult {
    bool ok = false;
    std::string error;
    int framesWritten = 0;
    int picturesFound = 0;
};

// Runs the show for options.seconds of simulated time and writes frame-00000.png, ... into
// options.outputDir (created if missing). The same options give the same frames.
// Progress and notes go to `log`.
RenderResult renderShow(const RenderOptions& options, std::ostream& log);

// The folder of sample pictures that ships with the program.
std::string samplePictureFolder();

} // namespace velmora::headless
