// Finding and running the daemon's image grabber: posix_spawn (the process may already have
// threads), and a wait with a cap, as the grabber may hang on a broken picture or network.
#include "platform/linux/shell_grabber.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace velmora::shell {

namespace {

constexpr std::string_view GrabberName = "xscreensaver-getimage";

bool executable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

} // namespace

std::string findImageGrabber()
{
    std::vector<std::string> folders;
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            if (colon != 0)
                folders.emplace_back(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    folders.insert(folders.end(), {"/usr/libexec/xscreensaver", "/usr/lib/xscreensaver", "/usr/local/libexec/xscreensaver"});
    for (const std::string& folder : folders) {
        if (folder.empty() || folder[0] != '/')
            continue; // a relative $PATH entry would depend on where we were started
        const std::string candidate = folder + "/" + std::string(GrabberName);
        if (executable(candidate))
            return candidate;
    }
    return {};
}

bool runImageGrabber(const std::string& program, std::uint64_t window, std::uint64_t pixmap, int limitMs)
{
    std::string windowText = "0x";
    std::string pixmapText = "0x";
    char hex[32];
    windowText += (std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(window)), hex);
    pixmapText += (std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(pixmap)), hex);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), windowText.data(), pixmapText.data(), nullptr};

    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace velmora::shell
