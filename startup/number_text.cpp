// Number readings without the C locale: the decimal point is always ".".
#include "startup/number_text.h"

#include <charconv>
#include <cmath>

namespace velmora {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads sign, digits, fraction and exponent from `text` at `pos` into a clean form that
// from_chars accepts; returns the number of characters the number used (0 when none).
std::size_t scanNumber(std::string_view text, std::string& clean)
{
    std::size_t i = 0;
    clean.clear();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            clean += '-';
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        clean += text[i++];
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        clean += '.';
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            clean += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when digits follow it; otherwise the number ends before it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent += text[j];
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j]))
                exponent += text[j++];
            clean += exponent;
            i = j;
        }
    }
    return i;
}

std::optional<double> convert(const std::string& clean)
{
    double value = 0;
    auto [end, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Tiny magnitudes are 0; huge ones do not fit anything we read.
        const auto e = clean.find('e');
        if (e != std::string::npos && clean.compare(e, 2, "e-") == 0)
            return 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || end != clean.data() + clean.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    text = text.substr(begin, end - begin);
    std::string clean;
    const std::size_t used = scanNumber(text, clean);
    if (used == 0 || used != text.size())
        return std::nullopt;
    return convert(clean);
}

double leadingNumber(std::string_view text)
{
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (!isBlank(c))
            compact += c;
    std::string clean;
    if (scanNumber(compact, clean) == 0)
        return 0.0;
    // A leading number too large for a double reads as infinity, which no conversion accepts.
    auto value = convert(clean);
    if (!value)
        return clean[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return *value;
}

std::optional<std::int16_t> integerPartToInt16(double value)
{
    const double r = std::floor(value);
    if (!(r >= -32768.0 && r <= 32767.0))
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

std::string numberText(std::int32_t value)
{
    std::string text = value < 0 ? std::string() : std::string(" ");
    text.append(std::to_string(value));
    return text;
}

} // namespace velmora
