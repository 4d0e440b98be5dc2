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
                                  std::string(SettingsKey::BgmFile)};
    for (int i = 0; i < 4; ++i)
        keys.push_back(imageKindKey(i));
    return keys;
}

// How one file spells its keys and text values: code page 932 as the Windows profile
// functions do, or UTF-8 as Linux editors do (there the Windows 255-byte cut does not apply).
class FileSpelling {
public:
    FileSpelling(SettingsEncoding encoding, TextCodec& codec) : utf8_(encoding == SettingsEncoding::Utf8), codec_(codec) {}

    std::string key(std::string_view cp932Key) const
    {
        return utf8_ ? codec_.fromCp932(cp932Key).value_or(std::string(cp932Key)) : std::string(cp932Key);
    }

    // A text value as UTF-8; "" when missing or not convertible.
    std::string text(const IniDocument& doc, std::string_view cp932Key) const
    {
        if (!utf8_) {
            const std::string bytes = ReadIni(doc, SettingsSection, cp932Key);
            return bytes.empty() ? std::string() : codec_.fromCp932(bytes).value_or(std::string());
        }
        std::string value = doc.value(SettingsSection, key(cp932Key)).value_or(std::string());
        if (const auto nul = value.find('\0'); nul != std::string::npos)
            value.resize(nul);
        return value;
    }

    // The bytes that store a UTF-8 text so that it reads back unchanged; nullopt when the
    // file's encoding cannot hold it (the short path is tried for code page 932).
    std::optional<std::string> storable(const std::string& utf8, FileSystem& fs) const
    {
        if (utf8.empty())
            return std::string();
        if (utf8_)
            return readsBackUnchanged(utf8, std::string::npos) ? std::optional(utf8) : std::nullopt;
        auto fits = [&](const std::string& text) -> std::optional<std::string> {
            auto bytes = codec_.toCp932(text);
            if (bytes && readsBackUnchanged(*bytes, kValueLimit))
                return bytes;
            return std::nullopt;
        };
        if (auto bytes = fits(utf8))
            return bytes;
        if (auto alias = fs.shortPath(utf8))
            if (auto bytes = fits(*alias))
                return bytes;
        return std::nullopt;
    }

    const char* encodingName() const { return utf8_ ? "UTF-8" : "code page 932"; }

private:
    bool utf8_;
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
    int cp932 = 0;
    int utf8 = 0;
    for (const std::string& key : allKeys()) {
        cp932 += doc.value(SettingsSection, key).has_value();
        if (const auto spelled = codec.fromCp932(key))
            utf8 += doc.value(SettingsSection, *spelled).has_value();
    }
    return utf8 > cp932 ? SettingsEncoding::Utf8 : SettingsEncoding::Cp932;
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
                         Catalogue& catalogue, CatalogueScan* later)
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
    const FileSpelling spelling(detectSettingsEncoding(doc, codec), codec);
    const auto number = [&](std::string_view key, std::int16_t defaultValue, auto convert, std::int16_t& target) {
        readNumber(doc, spelling.key(key), defaultValue, convert, target);
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
        if (FolderExists(fs, settings.ImageFolder)) {
            BuildImageList(settings.ImageFolder, settings.ImageKinds, fs, catalogue, later);
        } else {
            // A file that could not be read has no folder, so this is the only problem.
            problem = "there is no folder " + settings.ImageFolder + " (the settings file's folder)";
            settings.ImageFolder.clear();
        }
    }

    number(SettingsKey::BgmKind, 0, integerPartToInt16, settings.BgmKind);
    number(SettingsKey::BgmRepeat, 0, integerPartToInt16, settings.BgmRepeat);
    number(SettingsKey::AllMonitors, 1, integerPartToInt16, settings.AllMonitors);
    number(SettingsKey::Resume, 1, integerPartToInt16, settings.Resume);

    settings.BgmFile = fs.userPath(spelling.text(doc, SettingsKey::BgmFile));
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
        const std::string beside = location.besideProgramFile(sep);
        if (!beside.empty() && (perUser.empty() || !fs.fileExists(perUser)))
            targets.push_back(beside);
        if (!perUser.empty())
            targets.push_back(perUser);
    }

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

        // A file keeps its encoding; a new one is code page 932, as Windows writes it.
        const FileSpelling spelling(detectSettingsEncoding(doc, codec), codec);
        const auto folderBytes = spelling.storable(settings.ImageFolder, fs);
        const auto musicBytes = spelling.storable(settings.BgmFile, fs);
        std::string valueError;
        if (!folderBytes)
            valueError = std::string("the picture folder's path cannot be stored in ") + spelling.encodingName();
        else if (!musicBytes)
            valueError = std::string("the music file's path cannot be stored in ") + spelling.encodingName();

        const auto setNumber = [&](std::string_view key, std::int16_t value) {
            doc.setValue(SettingsSection, spelling.key(key), numberText(value));
        };
        setNumber(SettingsKey::ImageOrder, settings.ImageOrder);
        setNumber(SettingsKey::ImageSize, settings.ImageSize);
        setNumber(SettingsKey::FilterMode, settings.FilterMode);
        if (folderBytes)
            doc.setValue(SettingsSection, spelling.key(SettingsKey::ImageFolder), *folderBytes);
        for (int i = 0; i < 4; ++i)
            setNumber(imageKindKey(i), settings.ImageKinds[std::size_t(i)]);
        // A file that never had the fifth kind's key gets it only when it is switched off.
        const int other = int(OtherPicturesKind);
        if (settings.ImageKinds[OtherPicturesKind] != 1 ||
            doc.value(SettingsSection, spelling.key(imageKindKey(other))).has_value())
            setNumber(imageKindKey(other), settings.ImageKinds[OtherPicturesKind]);
        setNumber(SettingsKey::BgmKind, settings.BgmKind);
        setNumber(SettingsKey::BgmRepeat, settings.BgmRepeat);
        if (musicBytes)
            doc.setValue(SettingsSection, spelling.key(SettingsKey::BgmFile), *musicBytes);

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
