// An INI file held as its bytes, read and written the way the Windows private-profile
// functions do: names compared without case (code page 932 aware), blanks around names
// and values ignored, and every line that is not touched kept byte for byte.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class IniDocument {
public:
    IniDocument() = default;
    // Any bytes are accepted; lines end with "\n" or "\r\n".
    static IniDocument parse(std::string_view bytes);

    // The value of the first matching key in the first matching section: blanks around it
    // removed, and one pair of matching quotes around the whole value removed.
    // nullopt when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // The first line of the section whose key is any of `keys` (one key spelled in two
    // encodings, say): which of them it is, and its value as value() gives it.
    struct Hit {
        std::size_t key = 0;
        std::string value;
    };
    std::optional<Hit> firstOf(std::string_view section, std::span<const std::string> keys) const;

    // Sets the key's value, adding the key (after the section's last line) or the section
    // (at the end) when missing. The first line of `key` or of `otherSpelling` is the one
    // rewritten, under `key`. Names and value must not hold line breaks or NUL; the
    // section name must not hold "]", the key must not hold "=".
    void setValue(std::string_view section, std::string_view key, std::string_view value,
                  std::string_view otherSpelling = {});

    std::string bytes() const;

    // Whether the file began with the UTF-8 byte-order mark (kept out of the first line,
    // and written back by bytes()).
    bool hasUtf8Mark() const { return utf8Mark_; }

    // Whether text can be stored as a value without changing the file's structure.
    static bool storableValue(std::string_view value);

private:
    struct Line {
        std::string text;
        std::string ending; // "\r\n", "\n" or "" for a last line without one
    };

    std::optional<std::size_t> findSection(std::string_view section) const;
    std::size_t sectionEnd(std::size_t header) const;
    std::optional<std::size_t> findKey(std::size_t header, std::span<const std::string_view> keys,
                                       std::size_t* which = nullptr) const;
    std::string newLineEnding() const;

    std::vector<Line> lines_;
    bool utf8Mark_ = false;
};

// True when two names are equal apart from ASCII letter case; the second byte of a
// code-page-932 double-byte character is compared exactly.
bool sameIniName(std::string_view a, std::string_view b);

} // namespace velmora
