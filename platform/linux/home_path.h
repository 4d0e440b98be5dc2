// Paths as users write them: the screen-saver daemon runs its hacks without a shell and its
// settings window writes chosen files as "~/...", so velmora reads the "~" itself.
#pragma once

#include <string>
#include <string_view>

namespace velmora::posix {

// `path` with a leading "~" (alone, or before "/") replaced by `home`. Any other path, and
// every path when `home` is not absolute, comes back as written ("~user" is not ours to read).
std::string expandHome(std::string_view path, std::string_view home);

// expandHome with $HOME.
std::string expandHome(std::string_view path);

} // namespace velmora::posix
