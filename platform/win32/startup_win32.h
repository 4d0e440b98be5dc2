// The Win32 side of start-up: the file system (FindFirstFileW, GetFileAttributesW),
// code page 932, the settings locations and the system calls Main and the show use.
#pragma once

#include "platform/win32/win_text.h"
#include "startup/file_system.h"
#include "startup/main_logic.h"
#include "startup/settings_file.h"
#include "startup/text_codec.h"

#include <string>

namespace velmora::win32 {

class Win32FileSystem final : public FileSystem {
public:
    char separator() const override { return '\\'; }
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
    std::optional<std::string> shortPath(const std::string& path) override;
};

class Cp932Codec final : public TextCodec {
public:
    std::optional<std::string> toCp932(std::string_view utf8) override;
    std::optional<std::string> fromCp932(std::string_view bytes) override;
};

// The program's folder and %APPDATA%\Velmora.
SettingsLocation settingsLocation();

// %LOCALAPPDATA%\Velmora\state: where the show remembers where it stopped; empty when the
// system names no such folder.
std::string stateFileLocation();

// The argument string after the program name (quoted or not) and the blanks after it.
std::wstring argumentString(const wchar_t* commandLine);

// True only when GetVersionExA succeeds and reports the NT platform.
bool IsWinNT();

// SPI_SETSCREENSAVERRUNNING with the Not of the 16-bit flag: false tells the system a
// screen saver runs (uiParam -1), true that it no longer does (uiParam 0).
void EnableSystemKeys(bool flag);

// The real calls behind Main. The three windows are hooks the shell supplies.
class Win32Startup : public StartupPlatform {
public:
    bool windowExists(std::string_view titleUtf8) override;
    void loadSettings(Settings& settings, Catalogue& catalogue) override;
    // The folder is scanned by the show once its window is up.
    std::optional<CatalogueScan> loadSettingsForShow(Settings& settings, Catalogue& catalogue) override;
    bool isWinNT() override { return IsWinNT(); }
    void changePassword(std::int32_t parentWindow) override;
    std::int32_t showCursor(bool show) override;
    void enableSystemKeys(bool enable) override { EnableSystemKeys(enable); }

private:
    Win32FileSystem fs_;
    Cp932Codec codec_;
};

} // namespace velmora::win32
