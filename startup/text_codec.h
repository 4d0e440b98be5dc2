// Conversion between the program's UTF-8 strings and the settings file's code page 932.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class TextCodec {
public:
    virtual ~TextCodec() = default;
    // nullopt when a character has no code-page-932 form (never a substitute character).
    virtual std::optional<std::string> toCp932(std::string_view utf8) = 0;
    // nullopt when the bytes are not valid code page 932.
    virtual std::optional<std::string> fromCp932(std::string_view bytes) = 0;
};

} // namespace velmora
