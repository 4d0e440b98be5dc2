// Where the Linux program's settings file and state file live, and the settings load behind Main.
#include "platform/linux/startup_linux.h"

#include "platform/linux/home_path.h"
#include "startup/catalogue.h"

#include <cstdlib>
#include <iostream>
#include <ostream>
#include <sys/stat.h>

namespace velmora::posix {

namespace {

// $variable/velmora, or ~/underHome/velmora when the variable is unset or relative (a relative
// XDG folder is to be ignored); empty with neither.
std::string xdgVelmoraFolder(const char* variable, const char* underHome)
{
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/')
        return std::string(xdg) + "/velmora";
    if (const std::string underHomeFolder = expandHome(std::string("~/") + underHome); underHomeFolder[0] == '/')
        return underHomeFolder + "/velmora";
    return {};
}

} // namespace

std::string stateFileLocation()
{
    const std::string folder = xdgVelmoraFolder("XDG_STATE_HOME", ".local/state");
    return folder.empty() ? folder : folder + "/state";
}

SettingsLocation settingsLocation(const std::string& explicitFile)
{
    SettingsLocation location;
    location.explicitFile = explicitFile;
    if (explicitFile.empty())
        location.perUserFolder = xdgVelmoraFolder("XDG_CONFIG_HOME", ".config");
    return location;
}

Result<void> explicitFileUsable(const std::string& path)
{
    struct stat info {};
    if (path.empty())
        return {};
    if (::stat(path.c_str(), &info) != 0)
        return Reason{"the settings file " + path + " does not exist; the defaults apply"};
    if (S_ISDIR(info.st_mode))
        return Reason{path + " is a folder, not a settings file; the defaults apply"};
    return {};
}

void loadRunSettings(const RunSettings& run, FileSystem& fs, TextCodec& codec, Settings& settings,
                     Catalogue& catalogue, std::ostream& messages, CatalogueScan* later)
{
    if (const Result<void> usable = explicitFileUsable(run.location.explicitFile); !usable.ok())
        messages << "velmora: " << usable.reason().text << '\n';
    if (const Result<void> loaded = LoadSettings(run.location, fs, codec, settings, catalogue, later); !loaded.ok())
        messages << "velmora: " << loaded.reason().text << '\n';
    applyOverrides(run.overrides, fs, settings, catalogue, later);
    // A folder or music file that is not there stays in the settings (LoadSettings said so of
    // the file's folder); the show plays nothing, and this run looks for pictures elsewhere.
    if (run.overrides.folder && folderMissing(settings, fs))
        messages << "velmora: there is no folder " << settings.ImageFolder << '\n';
    if (settings.BgmKind == 2 && musicFileMissing(settings, fs))
        messages << "velmora: cannot open the music file " << settings.BgmFile << '\n';
    if (folderMissing(settings, fs))
        settings.ImageFolder.clear(); // for this run only: the file is never written here
    if (!settings.ImageFolder.empty())
        return; // a folder set up, even an empty one (that shows the desktop)

    // The daemon's image settings as its own image hacks read them. Its folder is used for
    // this run only (the file is never written), and an empty one shows the desktop copy.
    if (run.daemon && run.daemon->chooseRandomImages && !run.daemon->imageDirectory.empty()) {
        if (FolderExists(fs, run.daemon->imageDirectory)) {
            settings.ImageFolder = run.daemon->imageDirectory;
            BuildImageList(settings.ImageFolder, settings.ImageKinds, fs, catalogue, later);
            return;
        }
        messages << "velmora: there is no folder " << run.daemon->imageDirectory << " (the daemon's imageDirectory)\n";
    }
    // Pictures from files switched off in the daemon: only the desktop copy, when allowed.
    if (run.daemon && !run.daemon->chooseRandomImages && run.daemon->grabDesktopImages)
        return;
    // No folder at all gives the samples, and the folder stays "none".
    if (const std::string samples = findSampleFolder(); !samples.empty())
        BuildImageList(samples, settings.ImageKinds, fs, catalogue, later);
}

PosixStartup::PosixStartup(SettingsLocation location) : PosixStartup(RunSettings{std::move(location), {}, {}}, std::clog)
{
}

PosixStartup::PosixStartup(RunSettings run, std::ostream& messages) : run_(std::move(run)), messages_(messages) {}

void PosixStartup::loadSettings(Settings& settings, Catalogue& catalogue)
{
    loadRunSettings(run_, fs_, codec_, settings, catalogue, messages_);
}

CatalogueScan PosixStartup::loadSettingsWithoutScan(Settings& settings, Catalogue& catalogue)
{
    CatalogueScan scan;
    loadRunSettings(run_, fs_, codec_, settings, catalogue, messages_, &scan);
    return scan;
}

} // namespace velmora::posix
