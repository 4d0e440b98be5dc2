// The Linux velmora program: for now the headless renderer; the windowed show comes next.
#include "platform/linux/headless_render.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* Usage =
    "usage: velmora --render DIR --size WxH --seconds N [--seed S] [--folder PATH] [--fps F]\n";

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "--render") {
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
        std::cout << "velmora: wrote " << result.framesWritten << " frames of " << result.picturesFound
                  << " pictures to " << parsed.options.outputDir << '\n';
        return 0;
    }
    std::cerr << "velmora: the windowed show is not built yet; only the headless renderer is.\n" << Usage;
    return 1;
}
