// The Linux side of start-up: the POSIX file system, iconv's code page 932 and the
// places the settings file may live.
#pragma once

#include "startup/file_system.h"
#include "startup/main_logic.h"
#include "startup/settings_file.h"
#include "startup/text_codec.h"

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
    bool replaceFile(const std::string& path, std::string_view bytes) override;
    bool makeFolders(const std::string& path) override;
};

class IconvCodec final : public TextCodec {
public:
    std::optional<std::string> toCp932(std::string_view utf8) override;
    std::optional<std::string> fromCp932(std::string_view bytes) override;
};

// Windows-style wildcard match of one name: * and ?, ASCII letters without case,
// and "*.*" matching every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// The running program's folder, and $XDG_CONFIG_HOME/velmora (default ~/.config/velmora).
// An explicit file (the program's --ini PATH) replaces both.
SettingsLocation settingsLocation(const std::string& explicitFile = {});

// Main's platform calls that every Linux program answers alike: settings through the
// POSIX file system and iconv, and no Windows 95/98 services. The program supplies the
// single-instance lookup, the cursor and the three windows.
class PosixStartup : public StartupPlatform {
public:
    explicit PosixStartup(SettingsLocation location) : location_(std::move(location)) {}
    void loadSettings(Settings& settings, Catalogue& catalogue) override;
    bool isWinNT() override { return true; }        // so the password service is never asked for
    void changePassword(std::int32_t) override {}   // unreachable: isWinNT() is true
    void enableSystemKeys(bool) override {}         // no system key combinations to hold back
    const SettingsLocation& location() const { return location_; }

private:
    SettingsLocation location_;
    PosixFileSystem fs_;
    IconvCodec codec_;
};

} // namespace velmora::posix
