// The picture loader's front end, the same on every platform: the file read within its limit,
// the format told by content, its header held to the limits (show/picture_headers.h), the
// platform's decoder for it, the EXIF turn, and every failure (running out of memory included)
// returned as a result with a reason.
#pragma once

#include "show/picture_formats.h"
#include "show/picture_loader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::loading {

// A file the platform opened without waiting on anything (no FIFO writer, no terminal, no
// device) and found to be a regular file; only such files are read.
class RegularFile {
public:
    virtual ~RegularFile() = default;
    // The size the file had when it was opened; reading never goes past it.
    virtual std::uint64_t size() const = 0;
    // Up to `count` bytes from the current position: the number read, 0 at the end, -1 on failure.
    virtual long long read(std::uint8_t* buffer, std::size_t count) = 0;
};

// A regular file opened for reading, or why not.
using OpenedFile = Result<std::unique_ptr<RegularFile>>;

// The whole picture file in `bytes`, refused from its size alone when it is larger than a
// picture of its sniffed kind can be. With `otherKinds` false a file of no known kind is
// refused after its first bytes; with true it is read within the general limit.
Result<void> readPictureBytes(RegularFile& file, std::vector<std::uint8_t>& bytes, bool otherKinds = false);

// What a platform supplies: opening a regular file and one decoder per format. Decoders may
// throw std::bad_alloc; the front end turns it into a failed load.
class PictureDecoders {
public:
    virtual ~PictureDecoders() = default;
    virtual OpenedFile openFile(const std::string& path) = 0;
    // The picture as stored (no EXIF turn) with its stored own size, possibly reduced as long
    // as it covers the request's box. `format` is never Unknown. A coarse picture given to the
    // request's `coarse` first is as stored too; the front end turns it.
    virtual Result<LoadedPicture> decode(PictureFormat format, const std::uint8_t* data, std::size_t size,
                                         const LoadRequest& request) = 0;
    virtual Result<PictureSize> storedSize(PictureFormat format, const std::uint8_t* data, std::size_t size) = 0;
    // For a file large enough to matter, a decoder that reads it as it goes, so that it is
    // never held whole: `head` holds the file's first `headSize` bytes (at least
    // kStreamHeadBytes unless the file is shorter), `rest` is at the byte after them, and the
    // file is `fileSize` bytes. Only for kinds that carry no orientation tag. Nullopt: not for
    // this file, which is then read whole and decoded as usual (`rest` untouched).
    virtual std::optional<Result<LoadedPicture>> decodeAsRead(PictureFormat, const std::uint8_t* /*head*/,
                                                              std::size_t /*headSize*/, std::uint64_t /*fileSize*/,
                                                              RegularFile& /*rest*/, const LoadRequest&)
    {
        return std::nullopt;
    }
};
// The first bytes read of every file: enough to sniff it and for any header that decodeAsRead
// takes (a bitmap's file and info headers with their colour masks).
inline constexpr std::size_t kStreamHeadBytes = 256;

// The front end on a file's bytes in memory.
Result<LoadedPicture> loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                                  const LoadRequest& request);
Result<PictureSize> pictureSize(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size);

class DecodingLoader final : public PictureLoader {
public:
    explicit DecodingLoader(std::unique_ptr<PictureDecoders> decoders);
    Result<LoadedPicture> load(const std::string& path, const LoadRequest& request) override;
    Result<PictureSize> ownSize(const std::string& path) override;

private:
    std::unique_ptr<PictureDecoders> decoders_;
};

} // namespace velmora::loading
