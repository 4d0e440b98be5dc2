// The options over the settings file, the daemon's preferences and the sample pictures.
#include "platform/linux/run_settings.h"

#include "platform/linux/home_path.h"
#include "startup/catalogue.h"
#include "startup/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>
#include <vector>

namespace velmora::posix {

namespace fs = std::filesystem;

namespace {

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// One of two words, as 0 or 1.
std::optional<std::int16_t> choice(std::string_view value, std::string_view zero, std::string_view one)
{
    if (value == zero)
        return std::int16_t(0);
    if (value == one)
        return std::int16_t(1);
    return std::nullopt;
}

std::optional<ImageKindFlags> kindList(std::string_view value)
{
    // The words of the fifth kind each switch on all of it: one flag covers them.
    constexpr std::array<std::string_view, 9> names{"bmp", "gif", "jpg", "wmf", "png", "tif", "webp", "heic", "avif"};
    ImageKindFlags kinds{};
    while (!value.empty()) {
        const auto comma = value.find(',');
        const auto it = std::find(names.begin(), names.end(), value.substr(0, comma));
        if (it == names.end())
            return std::nullopt;
        kinds[std::min(std::size_t(it - names.begin()), OtherPicturesKind)] = 1;
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    return kinds;
}

bool isTrue(std::string_view value) { return value == "True" || value == "true" || value == "on" || value == "yes"; }

std::string absolutePath(const std::string& path)
{
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace

Result<void> setOverride(std::string_view name, const std::string& value, SettingsOverrides& o)
{
    const auto pick = [&](std::optional<std::int16_t>& target, std::string_view zero,
                          std::string_view one) -> Result<void> {
        if ((target = choice(value, zero, one)))
            return {};
        return Reason{"--" + std::string(name) + " takes " + std::string(zero) + " or " + std::string(one)};
    };
    if (name == "folder") {
        // The daemon's settings window offers a file chooser: a picture stands for its folder.
        std::error_code ec;
        const std::string path = absolutePath(expandHome(value));
        o.folder = fs::is_regular_file(path, ec) ? fs::path(path).parent_path().string() : path;
    } else if (name == "order") {
        return pick(o.imageOrder, "sequential", "random");
    } else if (name == "resume") {
        return pick(o.resume, "no", "yes");
    } else if (name == "size") {
        return pick(o.imageSize, "original", "screen");
    } else if (name == "filters") {
        return pick(o.filterMode, "same", "mixed");
    } else if (name == "monitors") {
        return pick(o.allMonitors, "primary", "all");
    } else if (name == "kinds") {
        if (!(o.imageKinds = kindList(value)))
            return Reason{"--kinds takes a comma-separated list of bmp, gif, jpg and wmf"};
    } else if (name == "music") {
        o.bgmKind = value == "none" ? 0 : value == "cd" ? 1 : 2;
        o.bgmFile = o.bgmKind == 2 ? std::optional(absolutePath(expandHome(value))) : std::nullopt;
    } else if (name == "repeat-track") {
        int track = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), track);
        if (ec != std::errc() || end != value.data() + value.size() || track < 0 || track > 99)
            return Reason{"--repeat-track takes a track number from 0 (none) to 99"};
        o.bgmRepeat = std::int16_t(track);
    } else {
        return Reason{"unknown option --" + std::string(name)};
    }
    return {};
}

DaemonPreferences parseDaemonPreferences(std::string_view text, const std::string& home)
{
    DaemonPreferences prefs;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        const std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || line.empty() || line[0] == '#' || line[0] == '!')
            continue;
        const std::string_view name = trimBlanks(line.substr(0, colon));
        const std::string_view value = trimBlanks(line.substr(colon + 1));
        if (name == "imageDirectory") {
            prefs.imageDirectory = expandHome(value, home);
        } else if (name == "grabDesktopImages") {
            prefs.grabDesktopImages = isTrue(value);
        } else if (name == "chooseRandomImages") {
            prefs.chooseRandomImages = isTrue(value);
        }
    }
    return prefs;
}

std::optional<DaemonPreferences> readDaemonPreferences()
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return std::nullopt;
    std::ifstream in(std::string(home) + "/.xscreensaver", std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return parseDaemonPreferences(text.str(), home);
}

void applyOverrides(const SettingsOverrides& overrides, FileSystem& fs, Settings& settings, Catalogue& catalogue,
                    CatalogueScan* later)
{
    if (overrides.imageOrder)
        settings.ImageOrder = *overrides.imageOrder;
    if (overrides.imageSize)
        settings.ImageSize = *overrides.imageSize;
    if (overrides.filterMode)
        settings.FilterMode = *overrides.filterMode;
    if (overrides.allMonitors)
        settings.AllMonitors = *overrides.allMonitors;
    if (overrides.imageKinds)
        settings.ImageKinds = *overrides.imageKinds;
    if (overrides.folder)
        settings.ImageFolder = *overrides.folder;
    if (overrides.folder || overrides.imageKinds) {
        catalogue = Catalogue{};
        if (later)
            *later = CatalogueScan{};
        if (!settings.ImageFolder.empty() && !folderMissing(settings, fs))
            BuildImageList(settings.ImageFolder, settings.ImageKinds, fs, catalogue, later);
    }
    if (overrides.bgmKind) {
        settings.BgmKind = *overrides.bgmKind;
        settings.BgmFile = overrides.bgmFile.value_or(std::string());
    }
    if (overrides.bgmRepeat)
        settings.BgmRepeat = *overrides.bgmRepeat;
    if (overrides.resume)
        settings.Resume = *overrides.resume;
}

std::string findResourceFolder(std::string_view name)
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    const fs::path dir = exe.parent_path();
    std::vector<fs::path> candidates{dir / name, dir / ".." / "share" / "velmora" / name};
    // A build inside a checkout (build/linux/platform/linux/velmora), wherever it was moved.
    for (fs::path up = dir; up.has_relative_path() && candidates.size() < 8; up = up.parent_path())
        candidates.push_back(up / "resources" / name);
    for (const fs::path& candidate : candidates)
        if (fs::is_directory(candidate, ec))
            return fs::weakly_canonical(candidate, ec).string();
    return {};
}

std::string findSampleFolder() { return findResourceFolder("samples"); }

} // namespace velmora::posix
