// The settings file "ヴェルモラ.ini": where it lives, LoadSettings and SaveSettings.
// Keys and text values are stored in code page 932 (or UTF-8 or UTF-16, when a file is
// already written so), numbers as " 1" / "-1".
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

// How a file spells its keys and text values: UTF-8 when it starts with the UTF-8 mark or
// its first key line is spelled in UTF-8, else code page 932. Keys of either spelling are
// read (each value in its own line's spelling); SaveSettings rewrites them in this one.
enum class SettingsEncoding { Cp932, Utf8 };
SettingsEncoding detectSettingsEncoding(const IniDocument& doc, TextCodec& codec);

// What GetPrivateProfileStringA would give through a 256-byte buffer: the value up to a
// NUL, at most 255 bytes (never ending in half a double-byte character); "" when missing.
std::string ReadIni(const IniDocument& doc, std::string_view section, std::string_view key);

// Fills every setting from the file and builds the catalogue (or, given `later`, leaves
// the catalogue empty and keeps its scan there). A missing or unreadable file gives the
// defaults; a value that is not a number or does not fit 16 bits leaves that setting as it
// was. A stored folder or music file that is not there now keeps its value (a drive not yet
// plugged in): the show finds no pictures in it or plays nothing, and the dialog shows it
// as missing. Removes what an interrupted save left. Fails, for the shells that can tell
// someone, when a file that exists was not read (too large, not readable; the settings are
// then the defaults) or its folder is not there.
Result<void> LoadSettings(const SettingsLocation& location, FileSystem& fs, TextCodec& codec, Settings& settings,
                          Catalogue& catalogue, CatalogueScan* later = nullptr);

// The stored folder or music file is chosen but not there now (see LoadSettings).
bool folderMissing(const Settings& settings, FileSystem& fs);
bool musicFileMissing(const Settings& settings, FileSystem& fs);

// Why a save wrote nothing. The file is then exactly as it was.
enum class SaveProblem {
    TooLarge,     // the file is larger than the limit
    Unreadable,   // the file exists but cannot be read (or is UTF-16 that is not well formed)
    ReadOnly,     // read-only attribute, or no write permission for its owner
    OtherOwner,   // another user's file
    FolderClosed, // neither its folder nor a per-user one can be written
    WriteFailed,  // anything else (disk full, a folder of that name)
    // A text value the file cannot hold back unchanged; `value` says which.
    NotInCodePage932, // a character code page 932 has no form for (nor the path a short form)
    NotText,          // bytes that are no UTF-8, for a UTF-16 file
    TooLong,          // more than the 255 bytes a code-page-932 value holds
    LineBreak,        // a line break or NUL
    EdgeBlankOrQuote, // a blank at either end, or quotes around the whole
};
enum class StoredText { None, Folder, MusicFile };

struct SavedSettings {
    std::string file;            // where the settings went
    bool perUserInstead = false; // saved to the per-user file: the usual folder is closed
};

// Why a save wrote nothing, in the terms the dialog explains it to its user.
struct SaveFailure {
    std::string file; // where the settings were meant to go
    SaveProblem problem = SaveProblem::WriteFailed;
    StoredText value = StoredText::None; // the value a value problem is about
};

// What the settings dialog hands over besides the settings it edits directly.
struct DialogValues {
    std::string folderCaption; // the folder label's caption: becomes ImageFolder
    std::string repeatText;    // the repeat box's text: becomes BgmRepeat when numeric, else 0
};

// Writes every setting, keeping every other line of the file and its encoding (a new file
// is code page 932), or nothing at all: a text value that the file's encoding cannot hold
// (stored as its short path when the platform has one that fits), a file that cannot be
// read, a read-only file and another user's file leave the file byte for byte and are
// reported. The per-user file is written instead only when the file's folder cannot be
// written, and the result says so.
Result<SavedSettings, SaveFailure> SaveSettings(Settings& settings, const DialogValues& dialog,
                                                const SettingsLocation& location, FileSystem& fs, TextCodec& codec);

// The largest settings file read; anything larger is treated as unreadable (and so never
// replaced). Far above what a hand-edited file with long comments reaches.
inline constexpr std::size_t SettingsFileLimit = 16 * 1024 * 1024;

} // namespace velmora
