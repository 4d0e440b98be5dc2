// Regular files on POSIX: a non-blocking open, so that a FIFO or a device never makes the
// caller wait, then fstat on the open descriptor, so that what is checked is what is read.
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

class PosixRegularFile final : public loading::RegularFile {
public:
    PosixRegularFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixRegularFile() override { ::close(fd_); }
    PosixRegularFile(const PosixRegularFile&) = delete;
    PosixRegularFile& operator=(const PosixRegularFile&) = delete;

    std::uint64_t size() const override { return size_; }

    long long read(std::uint8_t* buffer, std::size_t count) override
    {
        const std::uint64_t left = size_ - std::min(done_, size_);
        if (left == 0) {
            return 0; // a file that grew after the open is read as it was
        }
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, std::size_t(std::min<std::uint64_t>(count, left)));
            if (got >= 0) {
                done_ += std::uint64_t(got);
                return got;
            }
            if (errno != EINTR) {
                return -1;
            }
        }
    }

private:
    int fd_;
    std::uint64_t size_;
    std::uint64_t done_ = 0;
};

} // namespace

loading::OpenedFile openRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Reason{"cannot open the file"};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return Reason{"cannot open the file"};
    }
    if (!S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return Reason{"not a regular file"};
    }
    return std::unique_ptr<loading::RegularFile>(std::make_unique<PosixRegularFile>(fd, std::uint64_t(info.st_size)));
}

} // namespace velmora
