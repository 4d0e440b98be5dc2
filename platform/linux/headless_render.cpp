// The headless renderer: the show on simulated time, one PNG per output frame.
#include "platform/linux/headless_render.h"

#include "filters/engine.h"
#include "music/show_music.h"
#include "platform/picture_loader_factory.h"
#include "show/show_form.h"
#include "show/show_platform.h"
#include "startup/random.h"
#include "startup/settings.h"

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

// The platform's own decoders (JPEG, GIF, BMP, WMF).
std::unique_ptr<PictureLoader> makePictureLoader() { return createPlatformPictureLoader(); }

bool hasPictureExtension(const fs::path& path)
{
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".bmp" || ext == ".gif" || ext == ".jpg" || ext == ".wmf";
}

// The pictures of `folder`, sorted, shown in that order.
Catalogue listPictures(const std::string& folder)
{
    Catalogue catalogue;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && hasPictureExtension(it->path())) {
            paths.push_back(it->path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    catalogue.ImageCount = int(paths.size());
    catalogue.ImageList.insert(catalogue.ImageList.end(), paths.begin(), paths.end());
    catalogue.ShowOrder.resize(paths.size() + 1);
    for (std::size_t i = 0; i <= paths.size(); ++i) {
        catalogue.ShowOrder[i] = int(i);
    }
    return catalogue;
}

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

ParsedRenderOptions fail(std::string why)
{
    ParsedRenderOptions parsed;
    parsed.error = std::move(why);
    return parsed;
}

} // namespace

std::string samplePictureFolder() { return VELMORA_SAMPLES_DIR; }

ParsedRenderOptions parseRenderArguments(const std::vector<std::string>& args)
{
    ParsedRenderOptions parsed;
    RenderOptions& o = parsed.options;
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
        } else if (name == "--folder") {
            o.folder = value;
        } else if (name == "--fps") {
            if (!parseNumber(value, o.fps) || o.fps < 1 || o.fps > MaxFps) {
                return fail("--fps takes a whole number from 1 to 60");
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
    parsed.ok = true;
    return parsed;
}

RenderResult renderShow(const RenderOptions& options, std::ostream& log)
{
    RenderResult result;
    std::error_code ec;
    fs::create_directories(options.outputDir, ec);
    if (ec || !fs::is_directory(options.outputDir)) {
        result.error = "cannot create " + options.outputDir;
        return result;
    }

    const std::string folder = options.folder.empty() ? samplePictureFolder() : options.folder;
    if (!fs::is_directory(folder, ec)) {
        log << "velmora: no folder " << folder << "; the show filters a black screen\n";
    }
    const Catalogue catalogue = listPictures(folder);
    result.picturesFound = catalogue.ImageCount;

    Settings settings; // the defaults: in order, scaled to the screen, a new effect per tile
    Random random(options.seed);
    filters::FilterEngine engine;
    engine.random = &random;
    show::SimulatedPlatform platform;
    SilentMusic music;
    const std::unique_ptr<PictureLoader> loader = makePictureLoader();

    show::ShowForm form(settings, catalogue, {platform, *loader, music, random, engine});
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
            result.error = "cannot write " + path;
            return result;
        }
        ++result.framesWritten;
    }
    result.ok = true;
    return result;
}

} // namespace velmora::headless
