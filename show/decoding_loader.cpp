// The loader front end: one path from a file to an upright picture for every platform.
#include "show/decoding_loader.h"

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

std::string readPictureBytes(RegularFile& file, std::vector<std::uint8_t>& bytes, bool otherKinds)
{
    const std::uint64_t size = file.size();
    if (size > kMaxFileBytes) {
        return "file is too large";
    }
    // Enough for every sniff; the kind decides how large the rest may be.
    bytes.resize(std::size_t(std::min<std::uint64_t>(size, 32)));
    if (!readInto(file, bytes, 0)) {
        return "cannot read the file";
    }
    const PictureFormat format = sniffFormat(bytes.data(), bytes.size());
    if (format == PictureFormat::Unknown && !otherKinds) {
        return unknownFormatReason(bytes.size());
    }
    if (size > maxFileBytes(format)) {
        return "file is too large for its kind of picture";
    }
    if (bytes.size() < size && bytes.size() == 32) {
        bytes.resize(std::size_t(size));
        if (!readInto(file, bytes, 32)) {
            return "cannot read the file";
        }
    }
    return {};
}

LoadResult loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                       const LoadRequest& request)
{
    try {
        const PictureFormat format = sniffFormat(data, size);
        if (format == PictureFormat::Unknown) {
            return LoadResult::failure(unknownFormatReason(size));
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
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!readWhole(*decoders_, path, bytes, why)) {
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
