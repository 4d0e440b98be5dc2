// The loader front end: one path from a file to an upright picture for every platform.
#include "show/decoding_loader.h"

#include "show/picture_headers.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <utility>

namespace velmora::loading {

namespace {

// Short enough to need no allocation of its own.
constexpr const char* kOutOfMemory = "out of memory";

const char* unknownFormatReason(std::size_t size)
{
    return size == 0 ? "file is empty" : kNotAPicture;
}

// Reads until `bytes` is full or the file ends early (it shrank since it was opened).
bool readInto(RegularFile& file, std::vector<std::uint8_t>& bytes, std::size_t from)
{
    std::size_t done = from;
    while (done < bytes.size()) {
        const long long got = file.read(bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        done += std::size_t(got);
    }
    bytes.resize(done);
    return true;
}

// The file opened, or why not.
Result<std::unique_ptr<RegularFile>> openPicture(PictureDecoders& decoders, const std::string& path)
{
    OpenedFile opened = decoders.openFile(path);
    if (!opened.ok() && opened.reason().text.empty()) {
        return Reason{"cannot open the file"};
    }
    return opened;
}

Result<void> readWhole(PictureDecoders& decoders, const std::string& path, std::vector<std::uint8_t>& bytes)
{
    OpenedFile opened = openPicture(decoders, path);
    if (!opened.ok()) {
        return opened.reason();
    }
    return readPictureBytes(*opened.value(), bytes);
}

// The file's format, once its header is one the decoders may be given: no decoder sees a
// header that claims more than the limits or points outside the file.
Result<PictureFormat> acceptedFormat(const std::uint8_t* data, std::size_t size)
{
    const PictureFormat format = sniffFormat(data, size);
    if (format == PictureFormat::Unknown) {
        return Reason{unknownFormatReason(size)};
    }
    if (Result<void> header = checkDeclaredHeader(format, data, size); !header.ok()) {
        return header.reason();
    }
    return format;
}

// A decoder's picture checked and made upright, with its own size.
Result<void> finishPicture(LoadedPicture& r, int orientation)
{
    if (Result<void> fits = checkPictureSize(r.picture.width(), r.picture.height()); !fits.ok()) {
        return fits;
    }
    if (r.ownSize.width <= 0 || r.ownSize.height <= 0) {
        r.ownSize = {r.picture.width(), r.picture.height()};
    }
    r.ownSize = orientedSize(r.ownSize, orientation);
    if (orientation != 1) {
        r.picture = applyOrientation(r.picture, orientation);
    }
    return {};
}

} // namespace

namespace {

// The file's first `head` bytes (all of it when shorter), its kind sniffed from them and its
// size held to the limit of that kind.
Result<void> readHead(RegularFile& file, std::vector<std::uint8_t>& bytes, std::size_t head, bool otherKinds,
                      PictureFormat& format)
{
    const std::uint64_t size = file.size();
    if (size > kMaxFileBytes) {
        return Reason{"file is too large"};
    }
    bytes.resize(std::size_t(std::min<std::uint64_t>(size, head)));
    if (!readInto(file, bytes, 0)) {
        return Reason{"cannot read the file"};
    }
    format = sniffFormat(bytes.data(), bytes.size());
    if (format == PictureFormat::Unknown && !otherKinds) {
        return Reason{unknownFormatReason(bytes.size())};
    }
    if (size > maxFileBytes(format)) {
        return Reason{"file is too large for its kind of picture"};
    }
    return {};
}

// The rest of the file after a head of `head` bytes.
Result<void> readRest(RegularFile& file, std::vector<std::uint8_t>& bytes, std::size_t head)
{
    const std::uint64_t size = file.size();
    if (bytes.size() < size && bytes.size() == head) {
        bytes.resize(std::size_t(size));
        if (!readInto(file, bytes, head)) {
            return Reason{"cannot read the file"};
        }
    }
    return {};
}

} // namespace

Result<void> readPictureBytes(RegularFile& file, std::vector<std::uint8_t>& bytes, bool otherKinds)
{
    // Enough for every sniff; the kind decides how large the rest may be.
    constexpr std::size_t head = 32;
    PictureFormat format = PictureFormat::Unknown;
    if (Result<void> read = readHead(file, bytes, head, otherKinds, format); !read.ok()) {
        return read;
    }
    return readRest(file, bytes, head);
}

Result<LoadedPicture> loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                                  const LoadRequest& request)
{
    try {
        const Result<PictureFormat> accepted = acceptedFormat(data, size);
        if (!accepted.ok()) {
            return accepted.reason();
        }
        const PictureFormat format = accepted.value();
        const int orientation = pictureOrientation(format, data, size);
        // The box is asked of the stored picture, which lies on its side when the turn swaps axes.
        LoadRequest stored = request;
        if (swapsAxes(orientation)) {
            std::swap(stored.fitWidth, stored.fitHeight);
        }
        if (request.coarse) {
            // A coarse picture is turned upright like the whole one; one that cannot be is
            // left out, and the whole picture still comes.
            stored.coarse = [&](LoadedPicture coarse) {
                try {
                    if (finishPicture(coarse, orientation).ok()) {
                        request.coarse(std::move(coarse));
                    }
                } catch (const std::bad_alloc&) {
                }
            };
        }
        Result<LoadedPicture> r = decoders.decode(format, data, size, stored);
        if (!r.ok()) {
            if (r.reason().text.empty()) {
                return Reason{"picture could not be decoded"};
            }
            return r;
        }
        if (Result<void> finished = finishPicture(r.value(), orientation); !finished.ok()) {
            return finished.reason();
        }
        return r;
    } catch (const std::bad_alloc&) {
        return Reason{kOutOfMemory};
    }
}

Result<PictureSize> pictureSize(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size)
{
    try {
        const Result<PictureFormat> accepted = acceptedFormat(data, size);
        if (!accepted.ok()) {
            return accepted.reason();
        }
        const PictureFormat format = accepted.value();
        Result<PictureSize> r = decoders.storedSize(format, data, size);
        if (r.ok()) {
            return orientedSize(r.value(), pictureOrientation(format, data, size));
        }
        return r;
    } catch (const std::bad_alloc&) {
        return Reason{kOutOfMemory};
    }
}

DecodingLoader::DecodingLoader(std::unique_ptr<PictureDecoders> decoders) : decoders_(std::move(decoders))
{
    assert(decoders_ != nullptr);
}

Result<LoadedPicture> DecodingLoader::load(const std::string& path, const LoadRequest& request)
{
    try {
        OpenedFile opened = openPicture(*decoders_, path);
        if (!opened.ok()) {
            return opened.reason();
        }
        RegularFile& file = *opened.value();
        std::vector<std::uint8_t> bytes;
        PictureFormat format = PictureFormat::Unknown;
        if (Result<void> read = readHead(file, bytes, kStreamHeadBytes, false, format); !read.ok()) {
            return read.reason();
        }
        if (bytes.size() == kStreamHeadBytes) {
            if (std::optional<Result<LoadedPicture>> r =
                    decoders_->decodeAsRead(format, bytes.data(), bytes.size(), file.size(), file, request)) {
                if (!r->ok()) {
                    return r->reason().text.empty() ? Reason{"picture could not be decoded"} : r->reason();
                }
                if (Result<void> finished = finishPicture(r->value(), 1); !finished.ok()) {
                    return finished.reason();
                }
                return std::move(*r);
            }
        }
        if (Result<void> read = readRest(file, bytes, kStreamHeadBytes); !read.ok()) {
            return read.reason();
        }
        return loadPicture(*decoders_, bytes.data(), bytes.size(), request);
    } catch (const std::bad_alloc&) {
        return Reason{kOutOfMemory};
    }
}

Result<PictureSize> DecodingLoader::ownSize(const std::string& path)
{
    try {
        std::vector<std::uint8_t> bytes;
        if (Result<void> read = readWhole(*decoders_, path, bytes); !read.ok()) {
            return read.reason();
        }
        return pictureSize(*decoders_, bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        return Reason{kOutOfMemory};
    }
}

} // namespace velmora::loading
