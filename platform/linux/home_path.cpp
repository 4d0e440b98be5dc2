// A leading "~" as the user's home folder.
#include "platform/linux/home_path.h"

#include <cstdlib>

namespace velmora::posix {

std::string expandHome(std::string_view path, std::string_view home)
{
    const bool tilde = path == "~" || path.substr(0, 2) == "~/";
    if (!tilde || home.empty() || home[0] != '/')
        return std::string(path);
    // "/" as home must not give "//x".
    while (home.size() > 1 && home.back() == '/')
        home.remove_suffix(1);
    path.remove_prefix(1);
    if (home == "/" && !path.empty())
        return std::string(path);
    return std::string(home) + std::string(path);
}

std::string expandHome(std::string_view path)
{
    const char* home = std::getenv("HOME");
    return expandHome(path, home ? std::string_view(home) : std::string_view());
}

} // namespace velmora::posix
