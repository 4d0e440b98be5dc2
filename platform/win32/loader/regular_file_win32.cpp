// Regular files on Windows: CreateFileW, then the handle must be a disk file (not a pipe, a
// console or a device), and its size is taken from the open handle.
#include "platform/regular_file.h"
#include "platform/win32/win_text.h"

#include <windows.h>

#include <algorithm>

namespace velmora {
namespace {

class WinRegularFile final : public loading::RegularFile {
public:
    WinRegularFile(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    ~WinRegularFile() override { CloseHandle(file_); }
    WinRegularFile(const WinRegularFile&) = delete;
    WinRegularFile& operator=(const WinRegularFile&) = delete;

    std::uint64_t size() const override { return size_; }

    long long read(std::uint8_t* buffer, std::size_t count) override
    {
        const std::uint64_t left = size_ - std::min(done_, size_);
        const DWORD want = DWORD(std::min<std::uint64_t>({count, left, std::uint64_t(1) << 24}));
        if (want == 0) {
            return 0; // a file that grew after the open is read as it was
        }
        DWORD got = 0;
        if (!ReadFile(file_, buffer, want, &got, nullptr)) {
            return -1;
        }
        done_ += got;
        return got;
    }

private:
    HANDLE file_;
    std::uint64_t size_;
    std::uint64_t done_ = 0;
};

} // namespace

loading::OpenedFile openRegularFile(const std::string& path)
{
    const std::wstring wide = win32::widen(path);
    HANDLE file = wide.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Reason{"cannot open the file"};
    }
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0) {
        CloseHandle(file);
        return Reason{"not a regular file"};
    }
    return std::unique_ptr<loading::RegularFile>(std::make_unique<WinRegularFile>(file, std::uint64_t(size.QuadPart)));
}

} // namespace velmora
