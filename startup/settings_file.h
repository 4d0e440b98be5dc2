// The settings file "ヴェルモラ.ini": where it lives, LoadSettings and SaveSettings.
// Keys and text values are stored in code page 932 (or UTF-8, when a file is already
// written so), numbers as " 1" / "-1".
#pragma once

#include "startup/catalogue.h"
#include "startup/file_system.h"
#include "startup/ini_document.h"
#include "startup/settings.h"
#include "startup/text_codec.h"

#include <string>
#include <string_view>

namespace velmora {

inline constexpr std::string_view SettingsFileName = "ヴェルモラ.ini";
inline constexpr std::string_view SettingsSection = "Section";

// The keys as stored: code page 932 bytes (the text of each is in the comment).
namespace SettingsKey {
inline constexpr std::string_view ImageOrder = "\x89\xe6\x91\x9c\xc1\xaa\xdd\xbc\xde";       // 画像ﾁｪﾝｼﾞ
inline constexpr std::string_view ImageSize = "\x89\xe6\x91\x9c\x82\xcc\xbb\xb2\xbd\xde";    // 画像のｻｲｽﾞ
inline constexpr std::string_view FilterMode = "\xcc\xa8\xd9\xc0\x8b\xe6\x95\xaa";           // ﾌｨﾙﾀ区分
inline constexpr std::string_view ImageKindsPrefix = "\x89\xe6\x91\x9c\x8e\xed\x97\xde_";     // 画像種類_
inline constexpr std::string_view ImageFolder = "\x89\xe6\x91\x9c\x82\xcc\xcc\xab\xd9\xc0\xde"; // 画像のﾌｫﾙﾀﾞ
inline constexpr std::string_view BgmKind = "BGM\x8b\xe6\x95\xaa";                           // BGM区分
inline constexpr std::string_view BgmRepeat = "BGM\xd8\xcb\xdf\xb0\xc4";                     // BGMﾘﾋﾟｰﾄ
inline constexpr std::string_view BgmFile = "BGM\xcc\xa7\xb2\xd9";                           // BGMﾌｧｲﾙ
// Read only: the settings window never writes it, so a line the user wrote stays as it is.
inline constexpr std::string_view Resume = "\x91\xb1\x82\xab\x82\xa9\x82\xe7"; // 続きから
// Read only as well: there is no control for it in the dialog.
inline constexpr std::string_view AllMonitors = "\x91\x53\xd3\xc6\xc0\xb0";                    // 全ﾓﾆﾀｰ
} // namespace SettingsKey

std::string imageKindKey(int index); // "画像種類_" and the digit

// Where the file is. Normally the file beside the program, or the per-user one when that
// exists or the program's folder cannot be written. An explicit file replaces both.
struct SettingsLocation {
    std::string programFolder; // the folder of the running program; empty = none (Linux)
    std::string perUserFolder; // %APPDATA%\Velmora or $XDG_CONFIG_HOME/velmora; empty = none
    std::string explicitFile;  // a file named by the user (--ini); empty = none

    std::string besideProgramFile(char separator) const;
    std::string perUserFile(char separator) const;
};

// The file LoadSettings reads: the explicit file, else the per-user file when it
// exists (or there is no program folder, as on Linux), else the file beside the program.
std::string settingsFileToRead(const SettingsLocation& location, FileSystem& fs);

// A file's encoding, told by its keys: UTF-8 when more of the keys are spelled in UTF-8
// than in code page 932 (or the file starts with the UTF-8 mark), else code page 932.
// LoadSettings reads a file in its encoding and SaveSettings keeps it.
enum class SettingsEncoding { Cp932, Utf8 };
SettingsEncoding detectSettingsEncoding(const IniDocument& doc, TextCodec& codec);

// What GetPrivateProfileStringA would give through a 256-byte buffer: the value up to a
// NUL, at most 255 bytes (never ending in half a double-byte character); "" when missing.
std::string ReadIni(const IniDocument& doc, std::string_view section, std::string_view key);

// Fills every setting from the file and builds the catalogue (or, given `later`, leaves
// the catalogue empty and keeps its scan there). A missing or unreadable file gives the
// defaults; a value that is not a number or does not fit 16 bits leaves that setting as it
// was. Returns why a file that exists was not read (too large, not readable), for the
// shells that can tell someone; empty otherwise.
std::string LoadSettings(const SettingsLocation& location, FileSystem& fs, TextCodec& codec, Settings& settings,
                         Catalogue& catalogue, CatalogueScan* later = nullptr);

struct SaveResult {
    bool ok = false;
    std::string file;  // where the settings went (or were meant to go)
    std::string error; // short reason when !ok
};

// What the settings dialog hands over besides the settings it edits directly.
struct DialogValues {
    std::string folderCaption; // the folder label's caption: becomes ImageFolder
    std::string repeatText;    // the repeat box's text: becomes BgmRepeat when numeric, else 0
};

// Writes every setting, keeping every other line of the file and its encoding (a new file
// is code page 932). A text value that the file's encoding cannot hold is stored as its short path when the platform has one, else left out of
// the file (its old line stays) and reported. A failed save is always reported.
SaveResult SaveSettings(Settings& settings, const DialogValues& dialog, const SettingsLocation& location,
                        FileSystem& fs, TextCodec& codec);

// The largest settings file read; anything larger is treated as unreadable (and so never
// replaced). Far above what a hand-edited file with long comments reaches.
inline constexpr std::size_t SettingsFileLimit = 16 * 1024 * 1024;

} // namespace velmora
