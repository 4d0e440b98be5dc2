// The headless renderer: the show on simulated time, one PNG per output frame.
#include "platform/linux/headless_render.h"

#include "filters/engine.h"
#include "music/show_music.h"
#include "platform/picture_loader_factory.h"
#include "show/show_form.h"
#include "show/show_platform.h"
#include "platform/linux/startup_linux.h"
#include "startup/main_logic.h"
#include "startup/random.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

namespace velmora::headless {

namespace fs = std::filesystem;

namespace {

constexpr int MinSide = 16;
constexpr int MaxWidth = 7680;
constexpr int MaxHeight = 4320;
constexpr double MaxSeconds = 3600;
constexpr int MaxFps = 60;

// Main's platform for frames on disk: the settings as the show reads them, and no window
// to share with anyone (frames are written even while a show runs).
class RenderStartup final : public posix::PosixStartup {
public:
    using PosixStartup::PosixStartup;
    bool windowExists(std::string_view) override { return false; }
    void openPreview(std::int32_t) override {}
    void openDialog(StartupState&) override {}
    void openShow(StartupState&) override {}
    std::int32_t showCursor(bool) override { return 0; }
};

bool writePng(const std::string& path, const Picture& picture)
{
    std::vector<std::uint8_t> rgb(std::size_t(picture.width()) * std::size_t(picture.height()) * 3);
    const std::uint8_t* in = picture.data();
    for (std::size_t i = 0; i < rgb.size(); i += 3, in += 4) {
        rgb[i] = in[2];
        rgb[i + 1] = in[1];
        rgb[i + 2] = in[0];
    }
    return stbi_write_png(path.c_str(), picture.width(), picture.height(), 3, rgb.data(), picture.width() * 3) != 0;
}

template <typename T>
bool parseNumber(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool parseSeconds(const std::string& text, double& value)
{
    // from_chars for double is missing from some standard libraries still in use.
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

Reason fail(std::string why) { return Reason{std::move(why)}; }

} // namespace

Result<RenderOptions> parseRenderArguments(const std::vector<std::string>& args)
{
    RenderOptions o;
    bool haveSize = false;
    bool haveSeconds = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            return fail(name + " needs a value");
        }
        const std::string& value = args[++i];
        if (name == "--render") {
            o.outputDir = value;
        } else if (name == "--size" && (value == "original" || value == "screen")) {
            (void)posix::setOverride("size", value, o.overrides); // a value it takes
        } else if (name == "--size") {
            const std::size_t x = value.find_first_of("xX");
            if (x == std::string::npos || !parseNumber(value.substr(0, x), o.width) ||
                !parseNumber(value.substr(x + 1), o.height)) {
                return fail("--size takes WxH, for example 1280x720");
            }
            if (o.width < MinSide || o.height < MinSide || o.width > MaxWidth || o.height > MaxHeight) {
                return fail("--size must lie between 16x16 and 7680x4320");
            }
            haveSize = true;
        } else if (name == "--seconds") {
            if (!parseSeconds(value, o.seconds) || o.seconds <= 0 || o.seconds > MaxSeconds) {
                return fail("--seconds takes a number of seconds above 0, at most 3600");
            }
            haveSeconds = true;
        } else if (name == "--seed") {
            if (!parseNumber(value, o.seed)) {
                return fail("--seed takes a whole number from 0");
            }
        } else if (name == "--ini") {
            if (value.empty()) {
                return fail("--ini needs a settings file");
            }
            o.iniFile = value;
        } else if (name == "--fps") {
            if (!parseNumber(value, o.fps) || o.fps < 1 || o.fps > MaxFps) {
                return fail("--fps takes a whole number from 1 to 60");
            }
        } else if (name.size() > 2 && name.compare(0, 2, "--") == 0) {
            // The settings for the run, as the show takes them (unknown names are refused there).
            if (Result<void> set = posix::setOverride(std::string_view(name).substr(2), value, o.overrides); !set.ok()) {
                return fail(set.reason().text);
            }
        } else {
            return fail("unknown option " + name);
        }
    }
    if (o.outputDir.empty()) {
        return fail("--render needs an output folder");
    }
    if (!haveSize || !haveSeconds) {
        return fail("--size and --seconds are required");
    }
    return o;
}

Result<RenderedShow> renderShow(const RenderOptions& options, std::ostream& log)
{
    RenderedShow result;
    std::error_code ec;
    fs::create_directories(options.outputDir, ec);
    if (ec || !fs::is_directory(options.outputDir)) {
        return Reason{"cannot create " + options.outputDir};
    }

    // The settings as the show reads them, and the show order from Main with the seed.
    Random random(options.seed);
    RenderStartup startup(posix::RunSettings{posix::settingsLocation(options.iniFile), options.overrides, {}}, log);
    StartupState state;
    Main("", startup, random, state);
    result.picturesFound = state.catalogue.ImageCount;

    filters::FilterEngine engine;
    engine.random = &random;
    show::SimulatedPlatform platform;
    SilentMusic music;
    const std::unique_ptr<PictureLoader> loader = createPlatformPictureLoader();

    show::ShowForm form(state.settings, state.catalogue, {platform, *loader, music, random, engine}, true);
    form.Form_Load(options.width, options.height);

    const long long shots = std::max(1LL, std::llround(options.seconds * options.fps));
    // Names sort in frame order: at least five digits, more when the count needs them.
    const int digits = std::max(5, int(std::to_string(shots - 1).size()));
    std::int64_t simulated = 0;
    for (long long k = 0; k < shots; ++k) {
        const std::int64_t shotTime = k * 1000 / options.fps;
        while (simulated + show::FrameIntervalMs <= shotTime) {
            platform.now = simulated;
            form.frame();
            simulated += show::FrameIntervalMs;
        }
        std::string number = std::to_string(k);
        number.insert(0, std::size_t(std::max(0, digits - int(number.size()))), '0');
        const std::string path = (fs::path(options.outputDir) / ("frame-" + number + ".png")).string();
        if (!writePng(path, form.buffers().Display)) {
            return Reason{"cannot write " + path};
        }
        ++result.framesWritten;
    }
    return result;
}

} // namespace velmora::headless
