// Where the Linux program's settings file lives, and the settings load behind Main.
#include "platform/linux/startup_linux.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace velmora::posix {

namespace {

std::string programFolder()
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    buffer.resize(std::size_t(n));
    const auto slash = buffer.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : buffer.substr(0, slash);
}

std::string perUserFolder()
{
    // A relative XDG_CONFIG_HOME is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/velmora";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.config/velmora";
    return {};
}

} // namespace

SettingsLocation settingsLocation(const std::string& explicitFile)
{
    SettingsLocation location;
    location.explicitFile = explicitFile;
    if (explicitFile.empty()) {
        location.programFolder = programFolder();
        location.perUserFolder = perUserFolder();
    }
    return location;
}

void PosixStartup::loadSettings(Settings& settings, Catalogue& catalogue)
{
    if (const std::string problem = LoadSettings(location_, fs_, codec_, settings, catalogue); !problem.empty())
        std::fprintf(stderr, "velmora: %s\n", problem.c_str());
}

} // namespace velmora::posix
