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

SizeResult sizeFailure(const char* why)
{
    SizeResult r;
    r.error = why;
    return r;
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

bool readWhole(PictureDecoders& decoders, const std::string& path, std::vector<std::uint8_t>& bytes,
               std::string& why)
{
    OpenedFile opened = decoders.openFile(path);
    if (!opened.file) {
        why = opened.error.empty() ? "cannot open the file" : opened.error;
        return false;
    }
    why = readPictureBytes(*opened.file, bytes);
    return why.empty();
}

// A decoder's picture checked and made upright, with its own size: the reason when it cannot be.
std::string finishPicture(LoadResult& r, int orientation)
{
    if (std::string why = checkPictureSize(r.picture.width(), r.picture.height()); !why.empty()) {
        return why;
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
// size held to the limit of that kind: empty string or the reason.
std::string readHead(RegularFile& file, std::vector<std::uint8_t>& bytes, std::size_t head, bool otherKinds,
                     PictureFormat& format)
{
    const std::uint64_t size = file.size();
    if (size > kMaxFileBytes) {
        return "file is too large";
    }
    bytes.resize(std::size_t(std::min<std::uint64_t>(size, head)));
    if (!readInto(file, bytes, 0)) {
        return "cannot read the file";
    }
    format = sniffFormat(bytes.data(), bytes.size());
    if (format == PictureFormat::Unknown && !otherKinds) {
        return unknownFormatReason(bytes.size());
    }
    if (size > maxFileBytes(format)) {
        return "file is too large for its kind of picture";
    }
    return {};
}

// The rest of the file after a head of `head` bytes.
std::string readRest(RegularFile& file, std::vector<std::uint8_t>& bytes, std::size_t head)
{
    const std::uint64_t size = file.size();
    if (bytes.size() < size && bytes.size() == head) {
        bytes.resize(std::size_t(size));
        if (!readInto(file, bytes, head)) {
            return "cannot read the file";
        }
    }
    return {};
}

} // namespace

std::string readPictureBytes(RegularFile& file, std::vector<std::uint8_t>& bytes, bool otherKinds)
{
    // Enough for every sniff; the kind decides how large the rest may be.
    constexpr std::size_t head = 32;
    PictureFormat format = PictureFormat::Unknown;
    if (std::string why = readHead(file, bytes, head, otherKinds, format); !why.empty()) {
        return why;
    }
    return readRest(file, bytes, head);
}

LoadResult loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                       const LoadRequest& request)
{
    try {
        const PictureFormat format = sniffFormat(data, size);
        if (format == PictureFormat::Unknown) {
            return LoadResult::failure(unknownFormatReason(size));
        }
        // No decoder sees a header that claims more than the limits or points outside the file.
        if (std::string why = checkDeclaredHeader(format, data, size); !why.empty()) {
            return LoadResult::failure(why);
        }
        const int orientation = pictureOrientation(format, data, size);
        // The box is asked of the stored picture, which lies on its side when the turn swaps axes.
        LoadRequest stored = request;
        if (swapsAxes(orientation)) {
            std::swap(stored.fitWidth, stored.fitHeight);
        }
        if (request.coarse) {
            // A coarse picture is turned upright like the whole one; one that cannot be is
            // left out, and the whole picture still comes.
            stored.coarse = [&](LoadResult coarse) {
                try {
                    if (finishPicture(coarse, orientation).empty()) {
                        request.coarse(std::move(coarse));
                    }
                } catch (const std::bad_alloc&) {
                }
            };
        }
        LoadResult r = decoders.decode(format, data, size, stored);
        if (!r.ok) {
            if (r.error.empty()) {
                r.error = "picture could not be decoded";
            }
            return r;
        }
        if (std::string why = finishPicture(r, orientation); !why.empty()) {
            return LoadResult::failure(why);
        }
        return r;
    } catch (const std::bad_alloc&) {
        return LoadResult::failure(kOutOfMemory);
    }
}

SizeResult pictureSize(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size)
{
    try {
        const PictureFormat format = sniffFormat(data, size);
        if (format == PictureFormat::Unknown) {
            return sizeFailure(unknownFormatReason(size));
        }
        if (std::string why = checkDeclaredHeader(format, data, size); !why.empty()) {
            SizeResult refused;
            refused.error = why;
            return refused;
        }
        SizeResult r = decoders.storedSize(format, data, size);
        if (r.ok) {
            r.size = orientedSize(r.size, pictureOrientation(format, data, size));
        }
        return r;
    } catch (const std::bad_alloc&) {
        return sizeFailure(kOutOfMemory);
    }
}

DecodingLoader::DecodingLoader(std::unique_ptr<PictureDecoders> decoders) : decoders_(std::move(decoders))
{
    assert(decoders_ != nullptr);
}

LoadResult DecodingLoader::load(const std::string& path, const LoadRequest& request)
{
    try {
        OpenedFile opened = decoders_->openFile(path);
        if (!opened.file) {
            return LoadResult::failure(opened.error.empty() ? "cannot open the file" : opened.error);
        }
        RegularFile& file = *opened.file;
        std::vector<std::uint8_t> bytes;
        PictureFormat format = PictureFormat::Unknown;
        if (std::string why = readHead(file, bytes, kStreamHeadBytes, false, format); !why.empty()) {
            return LoadResult::failure(why);
        }
        if (bytes.size() == kStreamHeadBytes) {
            if (std::optional<LoadResult> r =
                    decoders_->decodeAsRead(format, bytes.data(), bytes.size(), file.size(), file, request)) {
                if (!r->ok) {
                    return r->error.empty() ? LoadResult::failure("picture could not be decoded") : std::move(*r);
                }
                if (std::string why = finishPicture(*r, 1); !why.empty()) {
                    return LoadResult::failure(why);
                }
                return std::move(*r);
            }
        }
        if (std::string why = readRest(file, bytes, kStreamHeadBytes); !why.empty()) {
            return LoadResult::failure(why);
        }
        return loadPicture(*decoders_, bytes.data(), bytes.size(), request);
    } catch (const std::bad_alloc&) {
        return LoadResult::failure(kOutOfMemory);
    }
}

SizeResult DecodingLoader::ownSize(const std::string& path)
{
    try {
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!readWhole(*decoders_, path, bytes, why)) {
            return sizeFailure(why.c_str());
        }
        return pictureSize(*decoders_, bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        return sizeFailure(kOutOfMemory);
    }
}

} // namespace velmora::loading
