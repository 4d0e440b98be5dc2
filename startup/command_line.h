// The three readings of a screen saver's command line (the whole argument string after
// the program name, UTF-8): the mode letter, the window-handle text and emptiness.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The second character, upper-cased; empty for an empty or one-character command line.
// The first character ("/", "-" or anything) is never looked at.
std::string modeLetter(std::string_view commandLine);

// The text from the fourth character to the end ("/p 1234" and "/p:1234" give "1234").
std::string handleText(std::string_view commandLine);

// The preview's handle: the leading number of the handle text (0 when there is none),
// rounded half-even; nullopt when it does not fit 32 bits.
std::optional<std::int32_t> previewHandle(std::string_view commandLine);

// The password-change parent: the whole handle text must be a number that fits 32 bits.
std::optional<std::int32_t> passwordParentHandle(std::string_view commandLine);

} // namespace velmora
