// The byte-order marks of UTF-16 files, as some Windows editors save an INI file: such a file
// is read as the UTF-8 text it holds, and that text is written back in the same form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class Utf16Form { None, LittleEndian, BigEndian };

struct FileText {
    std::string text;                 // UTF-8 for a UTF-16 file, else the bytes unchanged
    Utf16Form form = Utf16Form::None; // the byte order to write back in
};

// nullopt for a file that starts with a UTF-16 mark but is not well-formed UTF-16 (an odd
// length, an unpaired surrogate): it cannot be written back as it was, so it is not read.
std::optional<FileText> decodeFileText(std::string_view bytes);

// The bytes of `text` (UTF-8 when `form` is UTF-16, the mark first).
std::string encodeFileText(std::string_view text, Utf16Form form);

} // namespace velmora
