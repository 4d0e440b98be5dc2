// LoadSettings and SaveSettings over our own INI reader and writer.
#include "startup/settings_file.h"

#include "startup/catalogue.h"
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

IniDocument readDocument(FileSystem& fs, const std::string& file, ReadStatus* status = nullptr)
{
    const FileRead read = fs.readFile(file, SettingsFileLimit);
    if (status)
        *status = read.status;
    return read.status == ReadStatus::Ok ? IniDocument::parse(read.bytes) : IniDocument();
}

// Reads one key; empty text gives the default, a number is converted, and anything
// else (not a number, out of range) leaves the setting as it was.
template <typename Convert>
void readNumber(const IniDocument& doc, std::string_view key, std::int16_t defaultValue, Convert convert,
                std::int16_t& target)
{
    const std::string text = ReadIni(doc, SettingsSection, key);
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
bool readsBackUnchanged(const std::string& bytes)
{
    if (bytes.empty())
        return true;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    const bool quoted = bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') && bytes.back() == bytes.front();
    return bytes.size() <= kValueLimit && IniDocument::storableValue(bytes) && !blank(bytes.front()) &&
           !blank(bytes.back()) && !quoted;
}

// Text values that code page 932 cannot hold, or that the reader would cut, are refused.
std::optional<std::string> storableText(const std::string& utf8, FileSystem& fs, TextCodec& codec)
{
    auto fits = [&](const std::string& text) -> std::optional<std::string> {
        auto bytes = codec.toCp932(text);
        if (bytes && readsBackUnchanged(*bytes))
            return bytes;
        return std::nullopt;
    };
    if (utf8.empty())
        return std::string();
    if (auto bytes = fits(utf8))
        return bytes;
    if (auto alias = fs.shortPath(utf8))
        if (auto bytes = fits(*alias))
            return bytes;
    return std::nullopt;
}

std::string joinFile(const std::string& folder, char separator)
{
    return folder + separator + std::string(SettingsFileName);
}

} // namespace

std::string imageKindKey(int index)
{
    return std::string(SettingsKey::ImageKindsPrefix) + static_cast<char>('0' + index);
}

std::string SettingsLocation::besideProgramFile(char separator) const { return joinFile(programFolder, separator); }

std::string SettingsLocation::perUserFile(char separator) const
{
    return perUserFolder.empty() ? std::string() : joinFile(perUserFolder, separator);
}

std::string settingsFileToRead(const SettingsLocation& location, FileSystem& fs)
{
    if (!location.explicitFile.empty())
        return location.explicitFile;
    const std::string perUser = location.perUserFile(fs.separator());
    if (!perUser.empty() && fs.fileExists(perUser))
        return perUser;
    return location.besideProgramFile(fs.separator());
}

std::string ReadIni(const IniDocument& doc, std::string_view section, std::string_view key)
{
    std::string value = doc.value(section, key).value_or(std::string());
    if (const auto nul = value.find('\0'); nul != std::string::npos)
        value.resize(nul);
    value.resize(fittingLength(value));
    return value;
}

std::string LoadSettings(const SettingsLocation& location, FileSystem& fs, TextCodec& codec, Settings& settings,
                         Catalogue& catalogue)
{
    const std::string file = settingsFileToRead(location, fs);
    const FileRead read = fs.readFile(file, SettingsFileLimit);
    const IniDocument doc = read.status == ReadStatus::Ok ? IniDocument::parse(read.bytes) : IniDocument();
    std::string problem;
    if (read.status == ReadStatus::Failed) {
        problem = "the settings file " + file +
                  (read.tooLarge ? " is larger than 16 MB" : " cannot be read") +
                  ": the defaults are used and the file is never replaced";
    }

    readNumber(doc, SettingsKey::ImageOrder, 0, integerPartToInt16, settings.ImageOrder);
    readNumber(doc, SettingsKey::ImageSize, 1, roundToInt16, settings.ImageSize);
    readNumber(doc, SettingsKey::FilterMode, 1, roundToInt16, settings.FilterMode);
    for (int i = 0; i < 4; ++i)
        readNumber(doc, imageKindKey(i), 1, integerPartToInt16, settings.ImageKinds[std::size_t(i)]);

    catalogue.ImageCount = 0;
    const std::string folder = ReadIni(doc, SettingsSection, SettingsKey::ImageFolder);
    settings.ImageFolder = folder.empty() ? std::string() : codec.fromCp932(folder).value_or(std::string());
    if (!settings.ImageFolder.empty()) {
        if (FolderExists(fs, settings.ImageFolder))
            BuildImageList(settings.ImageFolder, settings.ImageKinds, fs, catalogue);
        else
            settings.ImageFolder.clear();
    }

    readNumber(doc, SettingsKey::BgmKind, 0, integerPartToInt16, settings.BgmKind);
    readNumber(doc, SettingsKey::BgmRepeat, 0, integerPartToInt16, settings.BgmRepeat);

    const std::string music = ReadIni(doc, SettingsSection, SettingsKey::BgmFile);
    settings.BgmFile = music.empty() ? std::string() : codec.fromCp932(music).value_or(std::string());
    if (!settings.BgmFile.empty() && FileExists(fs, settings.BgmFile))
        return problem;
    // A music file that is gone switches the file music off; a CD choice stays.
    settings.BgmFile.clear();
    if (settings.BgmKind == 2)
        settings.BgmKind = 0;
    return problem;
}

SaveResult SaveSettings(Settings& settings, const DialogValues& dialog, const SettingsLocation& location,
                        FileSystem& fs, TextCodec& codec)
{
    settings.ImageFolder = dialog.folderCaption;
    if (const auto number = parseNumber(dialog.repeatText)) {
        if (const auto value = roundToInt16(*number))
            settings.BgmRepeat = *value;
    } else {
        settings.BgmRepeat = 0;
    }

    const char sep = fs.separator();
    std::vector<std::string> targets;
    if (!location.explicitFile.empty()) {
        targets.push_back(location.explicitFile);
    } else {
        const std::string perUser = location.perUserFile(sep);
        if (perUser.empty() || !fs.fileExists(perUser))
            targets.push_back(location.besideProgramFile(sep));
        if (!perUser.empty())
            targets.push_back(perUser);
    }

    const auto folderBytes = storableText(settings.ImageFolder, fs, codec);
    const auto musicBytes = storableText(settings.BgmFile, fs, codec);
    std::string valueError;
    if (!folderBytes)
        valueError = "the picture folder's path cannot be stored in code page 932";
    else if (!musicBytes)
        valueError = "the music file's path cannot be stored in code page 932";

    SaveResult result;
    const std::string readFile = settingsFileToRead(location, fs);
    for (const auto& target : targets) {
        result.file = target;
        ReadStatus status;
        IniDocument doc = readDocument(fs, target, &status);
        if (status == ReadStatus::Failed) {
            // Never replace a file we could not read: its other lines would be lost.
            result.error = "the settings file cannot be read";
            continue;
        }
        if (status == ReadStatus::Missing && target != readFile)
            doc = readDocument(fs, readFile); // carry the old file's other lines over

        const auto setNumber = [&](std::string_view key, std::int16_t value) {
            doc.setValue(SettingsSection, key, numberText(value));
        };
        setNumber(SettingsKey::ImageOrder, settings.ImageOrder);
        setNumber(SettingsKey::ImageSize, settings.ImageSize);
        setNumber(SettingsKey::FilterMode, settings.FilterMode);
        if (folderBytes)
            doc.setValue(SettingsSection, SettingsKey::ImageFolder, *folderBytes);
        for (int i = 0; i < 4; ++i)
            setNumber(imageKindKey(i), settings.ImageKinds[std::size_t(i)]);
        setNumber(SettingsKey::BgmKind, settings.BgmKind);
        setNumber(SettingsKey::BgmRepeat, settings.BgmRepeat);
        if (musicBytes)
            doc.setValue(SettingsSection, SettingsKey::BgmFile, *musicBytes);

        if (target == location.perUserFile(sep) && !fs.makeFolders(location.perUserFolder)) {
            result.error = "the per-user settings folder cannot be created";
            continue;
        }
        if (!fs.replaceFile(target, doc.bytes())) {
            result.error = "the settings file cannot be written";
            continue;
        }
        result.ok = valueError.empty();
        result.error = valueError;
        return result;
    }
    return result;
}

} // namespace velmora
