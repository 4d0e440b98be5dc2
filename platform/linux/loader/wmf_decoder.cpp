// Windows metafiles: checked record by record and rebuilt from their drawing records only
// (the same stream the Windows loader plays), then drawn at their own size by the helper
// program velmora-wmf (see wmf_helper.h), stopped at the time cap.
#include "platform/linux/loader/decoders.h"
#include "platform/linux/loader/wmf_helper.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::decode {
namespace {

namespace helper = wmf_helper;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// Moved above the numbers the helper's descriptors take, so no dup2 lands on itself.
int highDescriptor(int fd)
{
    if (fd < 0) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

Fd memoryFile(const char* name)
{
    return Fd(highDescriptor(memfd_create(name, MFD_CLOEXEC)));
}

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// velmora-wmf in the installed programs' helper folder, or beside the running program (a build
// tree), else where the build put it.
std::string helperPath()
{
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string folder(self, std::size_t(n));
        folder.resize(folder.rfind('/') + 1);
        for (const std::string& path : {folder + VELMORA_WMF_HELPER_INSTALLED + '/' + helper::kProgramName,
                                        folder + helper::kProgramName}) {
            if (access(path.c_str(), X_OK) == 0) {
                return path;
            }
        }
    }
    return VELMORA_WMF_HELPER_BUILT;
}

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

} // namespace

Result<LoadedPicture> decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const auto start = std::chrono::steady_clock::now();
    const int limitMs = request.timeLimitMs > 0 ? std::min(request.timeLimitMs, helper::kLongestDrawMs)
                                                : helper::kLongestDrawMs;
    loading::WmfPlan plan;
    if (Result<void> checked = loading::planWmf(data, size, plan); !checked.ok()) {
        return checked.reason();
    }
    const std::size_t bytes = std::size_t(plan.size.width) * std::size_t(plan.size.height) * 4;
    Fd metafile = memoryFile("velmora-wmf-in");
    Fd pixels = memoryFile("velmora-wmf-out");
    int ends[2] = {-1, -1};
    if (!metafile.valid() || !pixels.valid() || !writeAll(metafile.get(), plan.cleaned) ||
        ftruncate(pixels.get(), off_t(bytes)) != 0 || pipe2(ends, O_CLOEXEC) != 0) {
        return Reason{"WMF: no memory for the picture"};
    }
    Fd doneRead(highDescriptor(ends[0]));
    Fd doneWrite(highDescriptor(ends[1]));

    // The helper holds the pipe's write end until it ends, whichever way it ends.
    SpawnActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), metafile.get(), helper::kMetafileFd);
    posix_spawn_file_actions_adddup2(actions.get(), pixels.get(), helper::kPixelsFd);
    posix_spawn_file_actions_adddup2(actions.get(), doneWrite.get(), 5);
    posix_spawn_file_actions_addclosefrom_np(actions.get(), 6);
    const std::string program = helperPath();
    const std::string width = std::to_string(plan.size.width);
    const std::string height = std::to_string(plan.size.height);
    const std::string limit = std::to_string(limitMs);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(width.c_str()),
                    const_cast<char*>(height.c_str()), const_cast<char*>(limit.c_str()), nullptr};
    pid_t child = -1;
    if (!doneRead.valid() || !doneWrite.valid() ||
        posix_spawn(&child, program.c_str(), actions.get(), nullptr, argv, environ) != 0) {
        return Reason{"WMF: cannot start the renderer"};
    }
    doneWrite.reset();

    bool finished = false;
    for (;;) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        pollfd watch{doneRead.get(), POLLIN, 0};
        const int ready = poll(&watch, 1, std::max(0, limitMs - int(spent.count())));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        finished = ready > 0;
        break;
    }
    if (!finished) {
        kill(child, SIGKILL);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!finished || code == helper::kExitTooLong) {
        return Reason{"WMF took too long to draw"};
    }
    if (code == helper::kExitRefused) {
        return Reason{"WMF: metafile could not be drawn"};
    }
    if (code != helper::kExitDrawn) {
        return Reason{kRendererCrashed};
    }
    LoadedPicture result;
    result.ownSize = plan.size;
    result.picture.resize(plan.size.width, plan.size.height);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = pread(pixels.get(), result.picture.data() + done, bytes - done, off_t(done));
        if (n <= 0) {
            return Reason{"WMF: metafile could not be drawn"};
        }
        done += std::size_t(n);
    }
    return result;
}

Result<PictureSize> wmfSize(const std::uint8_t* data, std::size_t size)
{
    loading::WmfPlan plan;
    if (Result<void> checked = loading::planWmf(data, size, plan); !checked.ok()) {
        return checked.reason();
    }
    return plan.size;
}

} // namespace velmora::decode
