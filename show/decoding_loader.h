// The picture loader's front end, the same on every platform: the file read within its limit,
// the format told by content, the platform's decoder for it, the EXIF turn, and every failure
// (running out of memory included) returned as a result with a reason.
#pragma once

#include "show/picture_formats.h"
#include "show/picture_loader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora::loading {

// What a platform supplies: reading a file and one decoder per format. Decoders may throw
// std::bad_alloc; the front end turns it into a failed load.
class PictureDecoders {
public:
    virtual ~PictureDecoders() = default;
    // The whole file, at most kMaxFileBytes; false with a reason otherwise.
    virtual bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& why) = 0;
    // The picture as stored (no EXIF turn) with its stored own size, possibly reduced as long
    // as it covers the request's box. `format` is never Unknown.
    virtual LoadResult decode(PictureFormat format, const std::uint8_t* data, std::size_t size,
                              const LoadRequest& request) = 0;
    virtual SizeResult storedSize(PictureFormat format, const std::uint8_t* data, std::size_t size) = 0;
};

// The front end on a file's bytes in memory.
LoadResult loadPicture(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size,
                       const LoadRequest& request);
SizeResult pictureSize(PictureDecoders& decoders, const std::uint8_t* data, std::size_t size);

class DecodingLoader final : public PictureLoader {
public:
    explicit DecodingLoader(std::unique_ptr<PictureDecoders> decoders);
    LoadResult load(const std::string& path, const LoadRequest& request) override;
    SizeResult ownSize(const std::string& path) override;

private:
    std::unique_ptr<PictureDecoders> decoders_;
};

} // namespace velmora::loading
