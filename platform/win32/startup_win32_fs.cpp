// Win32 file system for the catalogue and the settings file; wide-character calls
// throughout, so any path the system holds is reachable.
#include "platform/win32/startup_win32.h"

#include "platform/win32/short_path.h"

#include <windows.h>

#include <aclapi.h>

#include <memory>

namespace velmora::win32 {

namespace {

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

struct FindHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~FindHandle()
    {
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
    }
};

bool writeAll(HANDLE h, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// "*.ext" with a plain extension (no wildcard, no further dot): the form of wildcard the
// single listing matches itself.
bool isExtensionWildcard(std::string_view wildcard)
{
    return wildcard.size() > 2 && wildcard.substr(0, 2) == "*." &&
           wildcard.find_first_of("*?.", 2) == std::string_view::npos;
}

// Whether a name ends in ".ext" regardless of case, which is what the system's search for
// "*.ext" takes from a name (its star stops at the name's last dot).
bool endsWithExtension(const wchar_t* name, std::wstring_view dotExtension)
{
    const std::size_t length = wcslen(name);
    if (length < dotExtension.size())
        return false;
    const int n = static_cast<int>(dotExtension.size());
    return CompareStringOrdinal(name + length - dotExtension.size(), n, dotExtension.data(), n, TRUE) == CSTR_EQUAL;
}

} // namespace

std::vector<FoundFile> Win32FileSystem::findFiles(const std::string& pattern)
{
    std::vector<FoundFile> found;
    WIN32_FIND_DATAW data;
    FindHandle find{FindFirstFileW(widen(pattern).c_str(), &data)};
    if (find.h == INVALID_HANDLE_VALUE)
        return found;
    do {
        found.push_back({narrow(data.cFileName), data.dwFileAttributes});
    } while (FindNextFileW(find.h, &data));
    return found;
}

std::vector<std::string> Win32FileSystem::findPlainFiles(const std::string& folder,
                                                         const std::vector<std::string_view>& wildcards)
{
    std::vector<std::wstring> extensions;
    for (std::string_view wildcard : wildcards) {
        if (!isExtensionWildcard(wildcard))
            return FileSystem::findPlainFiles(folder, wildcards);
        extensions.push_back(widen(wildcard.substr(1)));
    }
    // One listing; the search data already holds each entry's attributes and short name.
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    FindHandle find{FindFirstFileW(widen(folder + "\\*").c_str(), &data)};
    if (find.h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((data.dwFileAttributes & AttrNotPlainFile) != 0)
            continue;
        for (const std::wstring& extension : extensions) {
            // A search for "*.ext" also matches a name through its short (8.3) form.
            if (endsWithExtension(data.cFileName, extension) ||
                (data.cAlternateFileName[0] != L'\0' && endsWithExtension(data.cAlternateFileName, extension))) {
                names.push_back(narrow(data.cFileName));
                break;
            }
        }
    } while (FindNextFileW(find.h, &data));
    return names;
}

bool Win32FileSystem::anyMatch(const std::string& pattern)
{
    WIN32_FIND_DATAW data;
    FindHandle find{FindFirstFileW(widen(pattern).c_str(), &data)};
    return find.h != INVALID_HANDLE_VALUE;
}

bool Win32FileSystem::canOpenForReading(const std::string& path)
{
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open, as a file open should not.
    Handle f{CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    return f.h != INVALID_HANDLE_VALUE;
}

bool Win32FileSystem::fileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileRead Win32FileSystem::readFile(const std::string& path, std::size_t limit)
{
    FileRead result;
    Handle f{CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result.status = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? ReadStatus::Missing
                                                                                          : ReadStatus::Failed;
        return result;
    }
    result.status = ReadStatus::Failed;
    LARGE_INTEGER size;
    // A pipe or a device is no settings file, and reading one could wait for ever.
    if (GetFileType(f.h) != FILE_TYPE_DISK || !GetFileSizeEx(f.h, &size) || size.QuadPart < 0)
        return result;
    if (static_cast<unsigned long long>(size.QuadPart) > limit) {
        result.tooLarge = true;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(f.h, result.bytes.data() + done, static_cast<DWORD>(result.bytes.size() - done), &got, nullptr))
            return result;
        if (got == 0)
            break;
        done += got;
    }
    result.bytes.resize(done);
    result.status = ReadStatus::Ok;
    return result;
}

namespace {

// "\\?\C:\..." and "\\?\UNC\server\..." back to the ordinary spellings.
std::wstring withoutLongPrefix(const std::wstring& path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

// The file a path names once links and junctions are followed; the path itself for a file
// that does not exist yet. Asked of the opened file rather than gated on the reparse-point
// attribute: Wine shows a Unix symbolic link as a plain file, yet opens its target.
std::wstring followLinks(const std::wstring& path)
{
    Handle f{CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (f.h == INVALID_HANDLE_VALUE)
        return path;
    std::wstring resolved(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(f.h, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    if (n == 0 || n >= resolved.size())
        return path;
    resolved.resize(n);
    return withoutLongPrefix(resolved);
}

struct LocalMemory {
    void* p = nullptr;
    ~LocalMemory()
    {
        if (p)
            LocalFree(p);
    }
};

// One SID of the process token (TokenUser or TokenOwner), copied out.
std::unique_ptr<std::byte[]> tokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which)
{
    DWORD size = 0;
    GetTokenInformation(token, which, nullptr, 0, &size);
    if (size == 0)
        return nullptr;
    auto buffer = std::make_unique<std::byte[]>(size);
    if (!GetTokenInformation(token, which, buffer.get(), size, &size))
        return nullptr;
    return buffer;
}

// Whether the open file's owner is neither this process's user nor the owner the token gives
// new files (an elevated administrator's files belong to the Administrators group). A file
// system that keeps no owners (FAT, some shares) gives no answer, which counts as ours.
bool ownedByAnotherUser(HANDLE file)
{
    PSID owner = nullptr;
    LocalMemory descriptor;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor.p) != ERROR_SUCCESS ||
        owner == nullptr)
        return false;
    Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.h)) {
        token.h = INVALID_HANDLE_VALUE;
        return false;
    }
    const auto user = tokenSid(token.h, TokenUser);
    const auto defaultOwner = tokenSid(token.h, TokenOwner);
    if (!user)
        return false;
    if (EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid))
        return false;
    return !(defaultOwner && EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.get())->Owner));
}

// Whether an existing file may be replaced, or why not. The read-only attribute and another owner
// are refused even where the folder would let the file be replaced, as on Linux; so is a file
// whose access list denies us writing or removing it.
Result<void, WriteProblem> mayReplace(const std::wstring& target)
{
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {}; // not there yet: the folder decides
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return WriteProblem::Failed;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return WriteProblem::ReadOnly;
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    {
        Handle f{CreateFileW(target.c_str(), READ_CONTROL, shareAll, nullptr, OPEN_EXISTING, 0, nullptr)};
        if (f.h != INVALID_HANDLE_VALUE && ownedByAnotherUser(f.h))
            return WriteProblem::OtherOwner;
    }
    // Opened for writing without truncating, only to ask; the move needs the right to remove it.
    Handle f{CreateFileW(target.c_str(), FILE_WRITE_DATA | DELETE, shareAll, nullptr, OPEN_EXISTING, 0, nullptr)};
    if (f.h != INVALID_HANDLE_VALUE)
        return {};
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND)
        return {}; // removed meanwhile
    return error == ERROR_ACCESS_DENIED ? WriteProblem::ReadOnly : WriteProblem::Failed;
}

std::wstring folderOf(const std::wstring& path)
{
    const auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? L"." : path.substr(0, cut);
}

} // namespace

Result<void, WriteProblem> Win32FileSystem::replaceFile(const std::string& path, std::string_view bytes)
{
    // Written beside the file and moved over it, so a failure never leaves half a file; a
    // link's target is what is replaced.
    const std::wstring target = followLinks(widen(path));
    if (const Result<void, WriteProblem> allowed = mayReplace(target); !allowed.ok())
        return allowed;
    const std::wstring temp = target + widen(TemporaryMark) + std::to_wstring(GetCurrentProcessId());
    {
        Handle f{CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (f.h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT ? WriteProblem::FolderClosed
                                                                                : WriteProblem::Failed;
        }
        if (!writeAll(f.h, bytes) || !FlushFileBuffers(f.h)) {
            CloseHandle(f.h);
            f.h = INVALID_HANDLE_VALUE;
            DeleteFileW(temp.c_str());
            return WriteProblem::Failed;
        }
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return WriteProblem::Failed;
    }
    return {};
}

void Win32FileSystem::removeTemporaries(const std::string& path)
{
    const std::wstring target = followLinks(widen(path));
    if (target.empty())
        return;
    const std::wstring folder = folderOf(target);
    WIN32_FIND_DATAW data;
    FindHandle find{FindFirstFileW((target + widen(TemporaryMark) + L"*").c_str(), &data)};
    if (find.h == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            DeleteFileW((folder + L"\\" + data.cFileName).c_str());
    } while (FindNextFileW(find.h, &data));
}

bool Win32FileSystem::makeFolders(const std::string& path)
{
    const std::wstring wide = widen(path);
    for (std::size_t pos = 0; pos <= wide.size(); ++pos) {
        if (pos != wide.size() && wide[pos] != L'\\' && wide[pos] != L'/')
            continue;
        const std::wstring part = wide.substr(0, pos);
        if (part.empty() || part.back() == L':')
            continue; // the drive itself
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            if (GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES)
                return false;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> Win32FileSystem::shortPath(const std::string& path) { return shortPathName(path); }

} // namespace velmora::win32
