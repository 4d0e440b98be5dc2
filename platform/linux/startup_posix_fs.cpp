// POSIX file system for the catalogue and the settings file. Windows attributes are
// mapped: a dot-file is hidden, no owner write permission is read-only, and anything
// that is not a plain file or folder (a FIFO, a device) counts as a system file.
#include "platform/linux/startup_linux.h"

#include "platform/linux/home_path.h"

#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace velmora::posix {

namespace {

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::uint32_t attributesOf(const std::string& name, const struct stat& st)
{
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= AttrDirectory;
    else if (!S_ISREG(st.st_mode))
        attributes |= AttrSystem;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= AttrHidden;
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= AttrReadOnly;
    return attributes;
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    // Iterative match with one backtrack point for the last star.
    std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

namespace {

// The folder a pattern searches, and its wildcard.
std::pair<std::string, std::string> splitPattern(const std::string& pattern)
{
    const auto slash = pattern.rfind('/');
    if (slash == std::string::npos)
        return {".", pattern};
    return {slash == 0 ? "/" : pattern.substr(0, slash), pattern.substr(slash + 1)};
}

// Calls `take` for each entry matching the pattern until it returns false.
template <typename Take>
void scan(const std::string& pattern, Take take)
{
    const auto [folder, wildcard] = splitPattern(pattern);

    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!wildcardMatch(wildcard, name))
            continue;
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, 0) != 0)
            continue; // a dangling link is no file
        if (!take(FoundFile{name, attributesOf(name, st)}))
            return;
    }
}

} // namespace

std::vector<FoundFile> PosixFileSystem::findFiles(const std::string& pattern)
{
    std::vector<FoundFile> found;
    scan(pattern, [&](FoundFile&& f) {
        found.push_back(std::move(f));
        return true;
    });
    return found;
}

std::vector<std::string> PosixFileSystem::findPlainFiles(const std::string& folder,
                                                         const std::vector<std::string_view>& wildcards)
{
    std::vector<std::string> names;
    const std::string path = splitPattern(folder + "/*").first;
    // Without search permission no entry can be looked at, so findFiles would give none.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::access(path.c_str(), X_OK) == 0 ? ::opendir(path.c_str()) : nullptr,
                                            ::closedir);
    if (!dir)
        return names;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        // A dot-file is hidden whatever it is ("." and ".." are folders besides).
        if (name.empty() || name[0] == '.')
            continue;
        bool wanted = false;
        for (std::string_view wildcard : wildcards)
            wanted = wanted || wildcardMatch(wildcard, name);
        if (!wanted)
            continue;
        // The listing's own entry type where it says enough; a link is judged by what it
        // points to (a dangling one is no file), an unknown type by asking the file itself.
        bool plainFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            plainFile = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (plainFile)
            names.emplace_back(name);
    }
    return names;
}

bool PosixFileSystem::anyMatch(const std::string& pattern)
{
    bool any = false;
    scan(pattern, [&](FoundFile&&) {
        any = true;
        return false;
    });
    return any;
}

bool PosixFileSystem::canOpenForReading(const std::string& path)
{
    // Non-blocking, so a FIFO never hangs the check; only plain files count.
    Fd f{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat st;
    return f.fd >= 0 && ::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

FileRead PosixFileSystem::readFile(const std::string& path, std::size_t limit)
{
    FileRead result;
    Fd f{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (f.fd < 0) {
        result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }
    struct stat st;
    result.status = ReadStatus::Failed;
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return result;
    if (std::uint64_t(st.st_size) > limit) {
        result.tooLarge = true;
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(f.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return result;
        if (n == 0)
            break;
        result.bytes.append(buffer, std::size_t(n));
        if (result.bytes.size() > limit) {
            result.tooLarge = true; // it grew while it was read
            return result;
        }
    }
    result.status = ReadStatus::Ok;
    return result;
}

namespace {

// The file a path names once symbolic links are followed (a link's target may not exist yet).
std::string followLinks(std::string path)
{
    for (int hop = 0; hop < 40; ++hop) { // the system's own limit on a chain of links
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || std::size_t(n) >= link.size())
            return path;
        link.resize(std::size_t(n));
        const auto slash = path.rfind('/');
        path = link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    return path;
}

} // namespace

Result<void, WriteProblem> PosixFileSystem::replaceFile(const std::string& path, std::string_view bytes)
{
    // Written beside the file and renamed over it, so a failure never leaves half a file; a
    // link's target is what is replaced, so the link goes on naming the new contents.
    const std::string target = followLinks(path);
    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return WriteProblem::Failed;
    // The owner's write permission is the read-only attribute; a file of another user would
    // become ours by the rename, so it is left alone too (even for root).
    if (exists && (old.st_mode & S_IWUSR) == 0)
        return WriteProblem::ReadOnly;
    if (exists && old.st_uid != ::geteuid())
        return WriteProblem::OtherOwner;

    std::string temp = target + std::string(TemporaryMark) + "XXXXXX";
    Fd f{::mkstemp(temp.data())};
    if (f.fd < 0)
        return errno == EACCES || errno == EPERM || errno == EROFS ? WriteProblem::FolderClosed : WriteProblem::Failed;
    ::fchmod(f.fd, exists ? (old.st_mode & 07777) : 0644);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(f.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += std::size_t(n);
    }
    ok = ok && ::fsync(f.fd) == 0;
    ok = ::close(f.fd) == 0 && ok;
    f.fd = -1;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return WriteProblem::Failed;
    }
    return {};
}

void PosixFileSystem::removeTemporaries(const std::string& path)
{
    const std::string target = followLinks(path);
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string prefix = target.substr(slash == std::string::npos ? 0 : slash + 1) + std::string(TemporaryMark);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        struct stat st;
        if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix &&
            ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(dirFd, entry->d_name, 0);
    }
}

bool PosixFileSystem::makeFolders(const std::string& path)
{
    if (path.empty())
        return false;
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            const std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string PosixFileSystem::userPath(const std::string& written) { return expandHome(written); }

} // namespace velmora::posix
