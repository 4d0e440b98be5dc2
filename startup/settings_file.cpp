// LoadSettings and SaveSettings over our own INI reader and writer.
#include "startup/settings_file.h"

#include "startup/catalogue.h"
#include "startup/file_encoding.h"
#include "startup/number_text.h"
#include "startup/text_units.h"

#include <optional>
#include <vector>

namespace velmora {

namespace {

constexpr std::size_t kValueLimit = 255; // the 256-byte buffer, less its NUL

// Bytes that fit the value limit without ending in half a double-byte character.
std::size_t fittingLength(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = (isCp932LeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) ? 2 : 1;
        if (i + n > kValueLimit)
            break;
        i += n;
    }
    return i;
}

// A stored value as a reader gets it: up to a NUL, and in code page 932 no more than the
// 256-byte buffer of the Windows profile functions takes.
std::string bufferedValue(std::string value, bool cp932)
{
    if (const auto nul = value.find('\0'); nul != std::string::npos)
        value.resize(nul);
    if (cp932)
        value.resize(fittingLength(value));
    return value;
}

// A settings file's text: its INI lines and the UTF-16 form to write them back in.
struct SettingsText {
    ReadStatus status = ReadStatus::Missing;
    bool tooLarge = false;
    IniDocument doc;
    Utf16Form form = Utf16Form::None;
};

SettingsText readSettingsText(FileSystem& fs, const std::string& file)
{
    FileRead read = fs.readFile(file, SettingsFileLimit);
    SettingsText result{read.status, read.tooLarge, {}, Utf16Form::None};
    if (read.status != ReadStatus::Ok)
        return result;
    const std::optional<FileText> text = decodeFileText(read.bytes);
    if (!text) {
        result.status = ReadStatus::Failed;
        return result;
    }
    result.doc = IniDocument::parse(text->text);
    result.form = text->form;
    return result;
}

// One number's text: empty gives the default, a number is converted, and anything else
// (not a number, out of range) leaves the setting as it was.
template <typename Convert>
void readNumber(const std::string& text, std::int16_t defaultValue, Convert convert, std::int16_t& target)
{
    if (text.empty()) {
        target = defaultValue;
        return;
    }
    if (const auto number = parseNumber(text))
        if (const auto value = convert(*number))
            target = *value;
}

// Whether ReadIni gives these value bytes back unchanged: no line break or NUL, within the
// length limit, no blanks at either end and no pair of quotes around the whole.
bool readsBackUnchanged(const std::string& bytes, std::size_t limit)
{
    if (bytes.empty())
        return true;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    const bool quoted = bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') && bytes.back() == bytes.front();
    return bytes.size() <= limit && IniDocument::storableValue(bytes) && !blank(bytes.front()) &&
           !blank(bytes.back()) && !quoted;
}

// Every key of the file, in code page 932: the ones that tell the file's encoding.
std::vector<std::string> allKeys()
{
    std::vector<std::string> keys{std::string(SettingsKey::ImageOrder), std::string(SettingsKey::ImageSize),
                                  std::string(SettingsKey::FilterMode), std::string(SettingsKey::ImageFolder),
                                  std::string(SettingsKey::BgmKind),    std::string(SettingsKey::BgmRepeat),
                                  std::string(SettingsKey::BgmFile),    std::string(SettingsKey::Resume)};
    for (int i = 0; i < int(ImageKindCount); ++i)
        keys.push_back(imageKindKey(i));
    return keys;
}

// How one file spells its keys and text values: code page 932 as the Windows profile
// functions do, or UTF-8 as Linux editors do (there the Windows 255-byte cut does not apply).
// Each key is found in either spelling; a value is in the spelling of its own line.
class FileSpelling {
public:
    FileSpelling(SettingsEncoding encoding, Utf16Form form, TextCodec& codec)
        : utf8_(encoding == SettingsEncoding::Utf8 || form != Utf16Form::None), utf16_(form != Utf16Form::None),
          codec_(codec)
    {
    }

    // The key as this file writes it, and as the other encoding would.
    std::string key(std::string_view cp932Key) const { return utf8_ ? utf8Key(cp932Key) : std::string(cp932Key); }
    std::string otherKey(std::string_view cp932Key) const { return utf8_ ? std::string(cp932Key) : utf8Key(cp932Key); }

    // A value's text as the first line of its key in either spelling holds it; "" when missing.
    std::string raw(const IniDocument& doc, std::string_view cp932Key, bool* inCp932 = nullptr) const
    {
        const std::string keys[] = {std::string(cp932Key), utf8Key(cp932Key)};
        auto hit = doc.firstOf(SettingsSection, keys);
        if (!hit)
            return std::string();
        if (inCp932)
            *inCp932 = hit->key == 0;
        return bufferedValue(std::move(hit->value), hit->key == 0);
    }

    // A text value as UTF-8; "" when missing or not convertible.
    std::string text(const IniDocument& doc, std::string_view cp932Key) const
    {
        bool inCp932 = false;
        const std::string bytes = raw(doc, cp932Key, &inCp932);
        if (bytes.empty() || !inCp932)
            return bytes;
        return codec_.fromCp932(bytes).value_or(std::string());
    }

    // The bytes that store a UTF-8 text so that it reads back unchanged, or why there are none
    // (the short path is tried for code page 932).
    Result<std::string, SaveProblem> storable(const std::string& utf8, FileSystem& fs) const
    {
        if (utf8.empty())
            return std::string();
        if (!IniDocument::storableValue(utf8))
            return SaveProblem::LineBreak;
        if (!readsBackUnchanged(utf8, std::string::npos))
            return SaveProblem::EdgeBlankOrQuote;
        if (utf8_) {
            if (utf16_ && !utf8ToUtf16(utf8))
                return SaveProblem::NotText;
            return utf8;
        }
        const auto fits = [&](const std::string& text) {
            auto bytes = codec_.toCp932(text);
            return bytes && readsBackUnchanged(*bytes, kValueLimit) ? bytes : std::nullopt;
        };
        if (auto bytes = fits(utf8))
            return *bytes;
        if (auto alias = fs.shortPath(utf8))
            if (auto bytes = fits(*alias))
                return *bytes;
        // Say what is wrong with the path itself: a plain path that is merely too long is no
        // matter of the code page.
        return codec_.toCp932(utf8) ? SaveProblem::TooLong : SaveProblem::NotInCodePage932;
    }

private:
    std::string utf8Key(std::string_view cp932Key) const
    {
        return codec_.fromCp932(cp932Key).value_or(std::string(cp932Key));
    }

    bool utf8_;
    bool utf16_;
    TextCodec& codec_;
};

std::string joinFile(const std::string& folder, char separator)
{
    return folder + separator + std::string(SettingsFileName);
}

} // namespace

std::string imageKindKey(int index)
{
    return std::string(SettingsKey::ImageKindsPrefix) + static_cast<char>('0' + index);
}

std::string SettingsLocation::besideProgramFile(char separator) const
{
    return programFolder.empty() ? std::string() : joinFile(programFolder, separator);
}

std::string SettingsLocation::perUserFile(char separator) const
{
    return perUserFolder.empty() ? std::string() : joinFile(perUserFolder, separator);
}

std::string settingsFileToRead(const SettingsLocation& location, FileSystem& fs)
{
    if (!location.explicitFile.empty())
        return location.explicitFile;
    const std::string perUser = location.perUserFile(fs.separator());
    if (!perUser.empty() && (fs.fileExists(perUser) || location.programFolder.empty()))
        return perUser;
    return location.besideProgramFile(fs.separator());
}

SettingsEncoding detectSettingsEncoding(const IniDocument& doc, TextCodec& codec)
{
    if (doc.hasUtf8Mark())
        return SettingsEncoding::Utf8;
    // Every key in both spellings: code page 932 at even places, UTF-8 at odd ones.
    std::vector<std::string> keys;
    for (const std::string& key : allKeys()) {
        keys.push_back(key);
        keys.push_back(codec.fromCp932(key).value_or(key));
    }
    const auto first = doc.firstOf(SettingsSection, keys);
    return first && first->key % 2 == 1 ? SettingsEncoding::Utf8 : SettingsEncoding::Cp932;
}

std::string ReadIni(const IniDocument& doc, std::string_view section, std::string_view key)
{
    return bufferedValue(doc.value(section, key).value_or(std::string()), true);
}

bool folderMissing(const Settings& settings, FileSystem& fs)
{
    return !settings.ImageFolder.empty() && !FolderExists(fs, settings.ImageFolder);
}

bool musicFileMissing(const Settings& settings, FileSystem& fs)
{
    return !settings.BgmFile.empty() && !FileExists(fs, settings.BgmFile);
}

Result<void> LoadSettings(const SettingsLocation& location, FileSystem& fs, TextCodec& codec, Settings& settings,
                          Catalogue& catalogue, CatalogueScan* later)
{
    const std::string file = settingsFileToRead(location, fs);
    fs.removeTemporaries(file);
    const SettingsText read = readSettingsText(fs, file);
    Result<void> problem;
    if (read.status == ReadStatus::Failed) {
        problem = Reason{"the settings file " + file + (read.tooLarge ? " is larger than 16 MB" : " cannot be read") +
                         ": the defaults are used and the file is never replaced"};
    }
    const IniDocument& doc = read.doc;
    const FileSpelling spelling(detectSettingsEncoding(doc, codec), read.form, codec);
    const auto number = [&](std::string_view key, std::int16_t defaultValue, auto convert, std::int16_t& target) {
        readNumber(spelling.raw(doc, key), defaultValue, convert, target);
    };

    number(SettingsKey::ImageOrder, 0, integerPartToInt16, settings.ImageOrder);
    number(SettingsKey::ImageSize, 1, roundToInt16, settings.ImageSize);
    number(SettingsKey::FilterMode, 1, roundToInt16, settings.FilterMode);
    for (int i = 0; i < int(ImageKindCount); ++i)
        number(imageKindKey(i), 1, integerPartToInt16, settings.ImageKinds[std::size_t(i)]);

    catalogue.ImageCount = 0;
    if (later)
        *later = CatalogueScan{};
    settings.ImageFolder = fs.userPath(spelling.text(doc, SettingsKey::ImageFolder));
    if (!settings.ImageFolder.empty()) {
        if (!folderMissing(settings, fs))
            BuildImageList(settings.ImageFolder, settings.ImageKinds, fs, catalogue, later);
        else if (problem.ok()) // a file that could not be read has no folder
            problem = Reason{"there is no folder " + settings.ImageFolder + " (the settings file's folder)"};
    }

    number(SettingsKey::BgmKind, 0, integerPartToInt16, settings.BgmKind);
    number(SettingsKey::BgmRepeat, 0, integerPartToInt16, settings.BgmRepeat);
    number(SettingsKey::AllMonitors, 1, integerPartToInt16, settings.AllMonitors);
    number(SettingsKey::Resume, 1, integerPartToInt16, settings.Resume);

    settings.BgmFile = fs.userPath(spelling.text(doc, SettingsKey::BgmFile));
    return problem;
}

namespace {

SaveFailure refused(std::string file, SaveProblem problem, StoredText value = StoredText::None)
{
    return SaveFailure{std::move(file), problem, value};
}

SaveProblem problemOf(WriteProblem problem)
{
    switch (problem) {
    case WriteProblem::ReadOnly:
        return SaveProblem::ReadOnly;
    case WriteProblem::OtherOwner:
        return SaveProblem::OtherOwner;
    case WriteProblem::FolderClosed:
        return SaveProblem::FolderClosed;
    case WriteProblem::Failed:
        break;
    }
    return SaveProblem::WriteFailed;
}

} // namespace

Result<SavedSettings, SaveFailure> SaveSettings(Settings& settings, const DialogValues& dialog,
                                                const SettingsLocation& location, FileSystem& fs, TextCodec& codec)
{
    settings.ImageFolder = dialog.folderCaption;
    if (const auto number = parseNumber(dialog.repeatText)) {
        if (const auto value = roundToInt16(*number))
            settings.BgmRepeat = *value;
    } else {
        settings.BgmRepeat = 0;
    }

    // The file that was read is the one written: a file that cannot be read (too large, say)
    // is never replaced, nor shadowed by a per-user file written instead.
    const std::string file = settingsFileToRead(location, fs);
    fs.removeTemporaries(file);
    SettingsText read = readSettingsText(fs, file);
    if (read.status == ReadStatus::Failed)
        return refused(file, read.tooLarge ? SaveProblem::TooLarge : SaveProblem::Unreadable);

    // Every value is made first; one that the file cannot hold stops the save before a byte is written.
    IniDocument& doc = read.doc;
    const FileSpelling spelling(detectSettingsEncoding(doc, codec), read.form, codec);
    const auto folderBytes = spelling.storable(settings.ImageFolder, fs);
    if (!folderBytes.ok())
        return refused(file, folderBytes.reason(), StoredText::Folder);
    const auto musicBytes = spelling.storable(settings.BgmFile, fs);
    if (!musicBytes.ok())
        return refused(file, musicBytes.reason(), StoredText::MusicFile);

    const auto set = [&](std::string_view key, std::string_view value) {
        doc.setValue(SettingsSection, spelling.key(key), value, spelling.otherKey(key));
    };
    set(SettingsKey::ImageOrder, numberText(settings.ImageOrder));
    set(SettingsKey::ImageSize, numberText(settings.ImageSize));
    set(SettingsKey::FilterMode, numberText(settings.FilterMode));
    set(SettingsKey::ImageFolder, folderBytes.value());
    for (int i = 0; i < 4; ++i)
        set(imageKindKey(i), numberText(settings.ImageKinds[std::size_t(i)]));
    // A file that never had the fifth kind's key gets it only when it is switched off.
    const std::string otherKind = imageKindKey(int(OtherPicturesKind));
    const std::string otherKindKeys[] = {spelling.key(otherKind), spelling.otherKey(otherKind)};
    if (settings.ImageKinds[OtherPicturesKind] != 1 || doc.firstOf(SettingsSection, otherKindKeys))
        set(otherKind, numberText(settings.ImageKinds[OtherPicturesKind]));
    set(SettingsKey::BgmKind, numberText(settings.BgmKind));
    set(SettingsKey::BgmRepeat, numberText(settings.BgmRepeat));
    set(SettingsKey::BgmFile, musicBytes.value());
    const std::string bytes = encodeFileText(doc.bytes(), read.form);

    const char sep = fs.separator();
    const std::string perUser = location.perUserFile(sep);
    if (file == perUser && !fs.makeFolders(location.perUserFolder))
        return refused(file, SaveProblem::FolderClosed);
    const Result<void, WriteProblem> written = fs.replaceFile(file, bytes);
    if (written.ok())
        return SavedSettings{file};
    // The file beside the program whose folder cannot be written (a program in the system
    // folder): the per-user file takes over, and is read from then on.
    if (written.reason() == WriteProblem::FolderClosed && location.explicitFile.empty() && !perUser.empty() &&
        file != perUser && fs.makeFolders(location.perUserFolder) && fs.replaceFile(perUser, bytes).ok())
        return SavedSettings{perUser, true};
    return refused(file, problemOf(written.reason()));
}

} // namespace velmora
