// UTF-8 (the program's strings) to and from UTF-16 (the system's wide calls): the one pair
// every Win32 part uses.
#pragma once

#include <string>
#include <string_view>

namespace velmora::win32 {

// Empty when the text is not valid UTF-8: a broken name then reaches no file at all rather
// than a lookalike.
std::wstring widen(std::string_view utf8);
// An unpaired surrogate becomes U+FFFD.
std::string narrow(std::wstring_view utf16);

} // namespace velmora::win32
