// The Linux side of start-up: the POSIX file system, iconv's code page 932 and the
// places the settings file may live.
#pragma once

#include "platform/linux/run_settings.h"
#include "startup/file_system.h"
#include "startup/main_logic.h"
#include "startup/settings_file.h"
#include "startup/text_codec.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace velmora::posix {

class PosixFileSystem final : public FileSystem {
public:
    char separator() const override { return '/'; }
    std::vector<FoundFile> findFiles(const std::string& pattern) override;
    std::vector<std::string> findPlainFiles(const std::string& folder,
                                            const std::vector<std::string_view>& wildcards) override;
    bool anyMatch(const std::string& pattern) override;
    bool canOpenForReading(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    FileRead readFile(const std::string& path, std::size_t limit) override;
    Result<void, WriteProblem> replaceFile(const std::string& path, std::string_view bytes) override;
    void removeTemporaries(const std::string& path) override;
    bool makeFolders(const std::string& path) override;
    std::string userPath(const std::string& written) override;
};

class IconvCodec final : public TextCodec {
public:
    std::optional<std::string> toCp932(std::string_view utf8) override;
    std::optional<std::string> fromCp932(std::string_view bytes) override;
};

// Windows-style wildcard match of one name: * and ?, ASCII letters without case,
// and "*.*" matching every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// $XDG_CONFIG_HOME/velmora (default ~/.config/velmora): on Linux the settings file is the
// user's, never one in the program's (system) folder. An explicit file (--ini) replaces it.
SettingsLocation settingsLocation(const std::string& explicitFile = {});

// $XDG_STATE_HOME/velmora/state (default ~/.local/state/velmora/state): where the show
// remembers where it stopped. Empty when there is no home to put it in.
std::string stateFileLocation();

// Whether an explicit settings file is one (or none is named), else what is wrong with it: a
// missing file or a folder is read as no file at all, but the user who named it is told.
Result<void> explicitFileUsable(const std::string& path);

// Everything that decides one run's settings besides the settings file itself.
struct RunSettings {
    SettingsLocation location;
    SettingsOverrides overrides;
    // The daemon's preferences when the screen-saver daemon runs the program: with no folder
    // from the options or the file, its image folder is shown.
    std::optional<DaemonPreferences> daemon;
};

// LoadSettings for one run: the file, the options over it, then, with no folder set up,
// the daemon's image folder or the sample pictures. Problems go to `messages`. Given
// `later`, the catalogue is left empty and the folder scan kept there instead.
void loadRunSettings(const RunSettings& run, FileSystem& fs, TextCodec& codec, Settings& settings,
                     Catalogue& catalogue, std::ostream& messages, CatalogueScan* later = nullptr);

// Main's platform calls that every Linux program answers alike: settings through the
// POSIX file system and iconv (loadRunSettings), and no Windows 95/98 services. The program supplies the
// single-instance lookup, the cursor and the three windows.
class PosixStartup : public StartupPlatform {
public:
    explicit PosixStartup(SettingsLocation location);
    PosixStartup(RunSettings run, std::ostream& messages);
    void loadSettings(Settings& settings, Catalogue& catalogue) override;
    // The settings without the folder scan, which is returned for the show to run.
    CatalogueScan loadSettingsWithoutScan(Settings& settings, Catalogue& catalogue);
    bool isWinNT() override { return true; }        // so the password service is never asked for
    void changePassword(std::int32_t) override {}   // unreachable: isWinNT() is true
    void enableSystemKeys(bool) override {}         // no system key combinations to hold back
    const SettingsLocation& location() const { return run_.location; }
    const RunSettings& run() const { return run_; }

private:
    RunSettings run_;
    std::ostream& messages_;
    PosixFileSystem fs_;
    IconvCodec codec_;
};

} // namespace velmora::posix
