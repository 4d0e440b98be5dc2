// Main: the start-up decisions of a screen-saver process (second instance, preview,
// password change, settings dialog, show) over a small platform interface.
#pragma once

#include "startup/catalogue.h"
#include "startup/random.h"
#include "startup/settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view ShowWindowTitle = "Velmora_Main";
inline constexpr std::string_view DialogWindowTitle = "ヴェルモラの設定";

// What one process start holds: the settings, the catalogue and the cursor counter
// that the show gives back when it ends.
struct StartupState {
    Settings settings;
    Catalogue catalogue;
    // Set when the show builds the catalogue itself, once its window is up; the catalogue
    // and its show order are then still empty here.
    std::optional<CatalogueScan> catalogueScan;
    std::string commandLine;
    std::string modeLetter;  // "S", "P", "C", "A", another letter or empty
    std::int32_t CursorState = 0;
};

class StartupPlatform {
public:
    virtual ~StartupPlatform() = default;
    virtual bool windowExists(std::string_view titleUtf8) = 0;
    virtual void loadSettings(Settings& settings, Catalogue& catalogue) = 0;
    // The show's settings: a platform may leave the folder scan to the show (returning it),
    // so that a large folder on slow storage never keeps the screen empty.
    virtual std::optional<CatalogueScan> loadSettingsForShow(Settings& settings, Catalogue& catalogue)
    {
        loadSettings(settings, catalogue);
        return std::nullopt;
    }
    virtual bool isWinNT() = 0;
    // The Windows 95/98 password-change service; only called when isWinNT() is false.
    virtual void changePassword(std::int32_t parentWindow) = 0;
    virtual void openPreview(std::int32_t parentWindow) = 0; // modeless; refuses a handle naming no window
    virtual void openDialog(StartupState& state) = 0;        // modal: returns when it closes
    virtual void openShow(StartupState& state) = 0;          // modeless
    // The system's cursor-display counter call; returns the new counter.
    virtual std::int32_t showCursor(bool show) = 0;
    virtual void enableSystemKeys(bool enable) = 0;
};

enum class StartupOutcome {
    Ended,           // the mode ran to its end inside Main (or the letter was unknown)
    AnotherInstance, // a show or settings window of the system exists
    PreviewOpened,   // the preview was set up: run the message loop if its form opened
    ShowOpened,      // the show form is open: run the message loop
};

StartupOutcome Main(std::string_view commandLine, StartupPlatform& platform, Random& random, StartupState& state);

} // namespace velmora
