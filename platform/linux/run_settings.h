// The settings of one Linux run: the settings file, the command-line options over it, and
// where the pictures come from when neither names a folder (the screen-saver daemon's own
// image folder, or the sample pictures).
#pragma once

#include "startup/catalogue.h"
#include "startup/file_system.h"
#include "startup/settings.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::posix {

// Settings given on the command line: each replaces the settings file's value for this
// run only; the file is never written.
struct SettingsOverrides {
    std::optional<std::string> folder;                     // --folder PATH (absolute; a file: its folder)
    std::optional<std::int16_t> imageOrder;                // --order sequential|random
    std::optional<std::int16_t> imageSize;                 // --size original|screen
    std::optional<std::int16_t> filterMode;                // --filters same|mixed
    std::optional<ImageKindFlags> imageKinds;              // --kinds bmp,gif,jpg,wmf,png,...
    std::optional<std::int16_t> bgmKind;                   // --music none|cd|FILE
    std::optional<std::string> bgmFile;                    // with --music FILE (absolute)
    std::optional<std::int16_t> bgmRepeat;                 // --repeat-track N
    std::optional<std::int16_t> resume;                    // --resume yes|no
    std::optional<std::int16_t> allMonitors;               // --monitors primary|all
};

// Stores the value of one setting option, named without its dashes ("folder", "order",
// "size", "filters", "kinds", "music", "repeat-track"), or why not when the value is not
// one the option takes. Paths are made absolute.
Result<void> setOverride(std::string_view name, const std::string& value, SettingsOverrides& overrides);

// The image preferences of the X screen-saver daemon (~/.xscreensaver).
struct DaemonPreferences {
    std::string imageDirectory;     // "imageDirectory", "~" expanded; empty = none
    bool grabDesktopImages = false; // "grabDesktopImages"; the daemon's default is off
    bool chooseRandomImages = true; // "chooseRandomImages": off, the image folder is not used
};

// Reads the daemon's preference lines ("name:<blanks>value"). Lines it does not know are
// skipped; `home` expands a leading "~/".
DaemonPreferences parseDaemonPreferences(std::string_view text, const std::string& home);

// ~/.xscreensaver of the user; nullopt when there is no such file.
std::optional<DaemonPreferences> readDaemonPreferences();

// Puts the options over the settings LoadSettings read, and rebuilds the catalogue (or the
// scan kept in `later`) when the folder or the kinds changed. A folder or music file that is
// not there is kept as the settings file's would be (no pictures from it, no music).
void applyOverrides(const SettingsOverrides& overrides, FileSystem& fs, Settings& settings, Catalogue& catalogue,
                    CatalogueScan* later = nullptr);

// A folder of resources/ shipped with the program ("samples", "skin"), found from the
// program's own place: beside it, in <prefix>/share/velmora for an installed one, or in the
// source tree around a build. Empty when none is found.
std::string findResourceFolder(std::string_view name);

// The sample pictures shipped with the program, found from the program's own place: beside
// it ("samples"), in <prefix>/share/velmora/samples for an installed one, or in the source
// tree around a build. Empty when none is found.
std::string findSampleFolder();

} // namespace velmora::posix
