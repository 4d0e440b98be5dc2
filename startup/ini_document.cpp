// Byte-level INI handling; the bytes (code page 932 or UTF-8) are never converted here.
#include "startup/ini_document.h"

#include "startup/text_units.h"

#include <cassert>

namespace velmora {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The section name of a header line, or nullopt for any other line.
std::optional<std::string_view> headerName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line[0] != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const auto close = line.find(']');
    return trim(line.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    const auto t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

bool hasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

} // namespace

bool sameIniName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isCp932LeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

IniDocument IniDocument::parse(std::string_view bytes)
{
    IniDocument doc;
    // The UTF-8 byte-order mark some editors put first would hide the first section.
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    if (bytes.substr(0, mark.size()) == mark) {
        doc.utf8Mark_ = true;
        bytes.remove_prefix(mark.size());
    }
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto nl = bytes.find('\n', pos);
        const std::size_t next = nl == std::string_view::npos ? bytes.size() : nl + 1;
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        if (nl != std::string_view::npos && end > pos && bytes[end - 1] == '\r')
            --end;
        doc.lines_.push_back(Line{std::string(bytes.data() + pos, end - pos), std::string(bytes.data() + end, next - end)});
        pos = next;
    }
    return doc;
}

std::string IniDocument::bytes() const
{
    std::string out = utf8Mark_ ? "\xEF\xBB\xBF" : "";
    for (const auto& line : lines_) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

std::string IniDocument::newLineEnding() const
{
    for (const auto& line : lines_)
        if (!line.ending.empty())
            return line.ending;
    return "\r\n";
}

std::optional<std::size_t> IniDocument::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = headerName(lines_[i].text);
        if (name && sameIniName(*name, section))
            return i;
    }
    return std::nullopt;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && !headerName(lines_[i].text))
        ++i;
    return i;
}

std::optional<std::size_t> IniDocument::findKey(std::size_t header, std::span<const std::string_view> keys,
                                                std::size_t* which) const
{
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto k = keyLine(lines_[i].text);
        for (std::size_t n = 0; k && n < keys.size(); ++n) {
            if (!keys[n].empty() && sameIniName(k->key, keys[n])) {
                if (which)
                    *which = n;
                return i;
            }
        }
    }
    return std::nullopt;
}

std::optional<IniDocument::Hit> IniDocument::firstOf(std::string_view section, std::span<const std::string> keys) const
{
    const auto header = findSection(section);
    if (!header)
        return std::nullopt;
    const std::vector<std::string_view> names(keys.begin(), keys.end());
    Hit hit;
    const auto line = findKey(*header, names, &hit.key);
    if (!line)
        return std::nullopt;
    std::string_view v = keyLine(lines_[*line].text)->value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    hit.value = std::string(v);
    return hit;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    const std::string keys[] = {std::string(key)};
    auto hit = firstOf(section, keys);
    return hit ? std::optional(std::move(hit->value)) : std::nullopt;
}

bool IniDocument::storableValue(std::string_view value) { return !hasLineBreakOrNul(value); }

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value,
                           std::string_view otherSpelling)
{
    assert(storableValue(section) && section.find(']') == section.npos);
    assert(storableValue(key) && key.find('=') == key.npos && !trim(key).empty());
    assert(storableValue(value));

    const std::string ending = newLineEnding();
    std::string text(key);
    text.append("=").append(value);

    const auto header = findSection(section);
    if (!header) {
        if (!lines_.empty() && lines_.back().ending.empty()) {
            if (lines_.back().text.empty())
                lines_.pop_back();
            else
                lines_.back().ending = ending;
        }
        std::string headerText("[");
        headerText.append(section).append("]");
        lines_.push_back({std::move(headerText), ending});
        lines_.push_back({std::move(text), ending});
        return;
    }
    const std::string_view names[] = {key, otherSpelling};
    if (const auto line = findKey(*header, names)) {
        lines_[*line].text = std::move(text);
        return;
    }
    // After the section's last non-blank line, so blank lines before the next section stay.
    std::size_t after = *header;
    for (std::size_t i = *header + 1; i < sectionEnd(*header); ++i)
        if (!trim(lines_[i].text).empty())
            after = i;
    if (lines_[after].ending.empty())
        lines_[after].ending = ending;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after) + 1, Line{std::move(text), ending});
}

} // namespace velmora
