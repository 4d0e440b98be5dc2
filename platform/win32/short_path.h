// The 8.3 name of an existing file or folder: text that code page 932 and MCI's command
// strings can always hold, whatever the long name's characters.
#pragma once

#include <optional>
#include <string>

namespace velmora::win32 {

// Nothing when the path does not exist, the volume keeps no short names, or the path is not
// valid UTF-8.
std::optional<std::string> shortPathName(const std::string& path);

} // namespace velmora::win32
