// The loader front end: one path from a file to an upright picture for every platform.
#include "show/decoding_loader.h"

#include <cassert>
#include <new>
#include <utility>

namespace velmora::loading {

namespace {

// Short enough to need no allocation of its own.
constexpr const char* kOutOfMemory = "out of memory";

const char* unknownFormatReason(std::size_t size)
{
    return size == 0 ? "file is empty" : "not a BMP, GIF, JPEG or WMF picture";
}

SizeResult sizeFailure(const char* why)
{
    SizeResult r;
    r.error = why;
    return r;
}

int orientationOf(PictureFormat format, const std::uint8_t* data, std::size_t size)
{
    return format == PictureFormat::Jpeg ? jpegExifOrientation(data, size) : 1;
}

} // namespace

LoadResult loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                       const LoadRequest& request)
{
    try {
        const PictureFormat format = sniffFormat(data, size);
        if (format == PictureFormat::Unknown) {
            return LoadResult::failure(unknownFormatReason(size));
        }
        const int orientation = orientationOf(format, data, size);
        // The box is asked of the stored picture, which lies on its side when the turn swaps axes.
        LoadRequest stored = request;
        if (swapsAxes(orientation)) {
            std::swap(stored.fitWidth, stored.fitHeight);
        }
        LoadResult r = decoders.decode(format, data, size, stored);
        if (!r.ok) {
            if (r.error.empty()) {
                r.error = "picture could not be decoded";
            }
            return r;
        }
        if (std::string why = checkPictureSize(r.picture.width(), r.picture.height()); !why.empty()) {
            return LoadResult::failure(why);
        }
        if (r.ownSize.width <= 0 || r.ownSize.height <= 0) {
            r.ownSize = {r.picture.width(), r.picture.height()};
        }
        r.ownSize = orientedSize(r.ownSize, orientation);
        if (orientation != 1) {
            r.picture = applyOrientation(r.picture, orientation);
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
            r.size = orientedSize(r.size, orientationOf(format, data, size));
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
        if (!decoders_->readFile(path, bytes, why)) {
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
        if (!decoders_->readFile(path, bytes, why)) {
            SizeResult r;
            r.error = why;
            return r;
        }
        return pictureSize(*decoders_, bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        return sizeFailure(kOutOfMemory);
    }
}

} // namespace velmora::loading
