// The Linux picture loader: reads the file, tells the format by its first bytes and hands
// it to the decoder for that format.
#include "platform/linux/loader/decoders.h"
#include "platform/picture_loader_common.h"
#include "platform/picture_loader_factory.h"

#include <cstdio>
#include <vector>

namespace velmora {
namespace decode {

LoadResult decodePicture(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    switch (loading::sniffFormat(data, size)) {
    case loading::PictureFormat::Jpeg: return decodeJpeg(data, size, request);
    case loading::PictureFormat::Gif: return decodeGif(data, size, request);
    case loading::PictureFormat::Bmp: return decodeBmp(data, size, request);
    case loading::PictureFormat::Wmf: return decodeWmf(data, size, request);
    case loading::PictureFormat::Unknown: break;
    }
    return LoadResult::failure(size == 0 ? "file is empty" : "not a BMP, GIF, JPEG or WMF picture");
}

SizeResult pictureSize(const std::uint8_t* data, std::size_t size)
{
    switch (loading::sniffFormat(data, size)) {
    case loading::PictureFormat::Jpeg: return jpegSize(data, size);
    case loading::PictureFormat::Gif: return gifSize(data, size);
    case loading::PictureFormat::Bmp: return bmpSize(data, size);
    case loading::PictureFormat::Wmf: return wmfSize(data, size);
    case loading::PictureFormat::Unknown: break;
    }
    return sizeFailure(size == 0 ? "file is empty" : "not a BMP, GIF, JPEG or WMF picture");
}

} // namespace decode

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The whole file, or a reason. Paths are UTF-8, which is what Linux file names are.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& why)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        why = "cannot open the file";
        return false;
    }
    bytes.clear();
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (n == 0) {
            break;
        }
        if (bytes.size() + n > loading::kMaxFileBytes) {
            why = "file is too large";
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    if (std::ferror(file.get())) {
        why = "cannot read the file";
        return false;
    }
    return true;
}

class LinuxPictureLoader final : public PictureLoader {
public:
    LoadResult load(const std::string& path, const LoadRequest& request) override
    {
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!readWholeFile(path, bytes, why)) {
            return LoadResult::failure(why);
        }
        return decode::decodePicture(bytes.data(), bytes.size(), request);
    }

    SizeResult ownSize(const std::string& path) override
    {
        std::vector<std::uint8_t> bytes;
        std::string why;
        if (!readWholeFile(path, bytes, why)) {
            return decode::sizeFailure(why);
        }
        return decode::pictureSize(bytes.data(), bytes.size());
    }
};

} // namespace

std::unique_ptr<PictureLoader> createPlatformPictureLoader() { return std::make_unique<LinuxPictureLoader>(); }

LoadResult decodePlatformPicture(std::span<const std::uint8_t> bytes, const LoadRequest& request)
{
    return decode::decodePicture(bytes.data(), bytes.size(), request);
}

} // namespace velmora
