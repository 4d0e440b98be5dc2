// The Linux picture decoders behind the common front end: files read by their UTF-8 names,
// one decoder per format.
#include "platform/linux/loader/decoders.h"
#include "platform/picture_loader_factory.h"
#include "show/decoding_loader.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace velmora {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class LinuxDecoders final : public loading::PictureDecoders {
public:
    // Paths are UTF-8, which is what Linux file names are.
    bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& why) override
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

    LoadResult decode(loading::PictureFormat format, const std::uint8_t* data, std::size_t size,
                      const LoadRequest& request) override
    {
        switch (format) {
        case loading::PictureFormat::Jpeg: return decode::decodeJpeg(data, size, request);
        case loading::PictureFormat::Gif: return decode::decodeGif(data, size, request);
        case loading::PictureFormat::Bmp: return decode::decodeBmp(data, size, request);
        case loading::PictureFormat::Wmf: return decode::decodeWmf(data, size, request);
        case loading::PictureFormat::Unknown: break;
        }
        return LoadResult::failure("not a BMP, GIF, JPEG or WMF picture");
    }

    SizeResult storedSize(loading::PictureFormat format, const std::uint8_t* data, std::size_t size) override
    {
        switch (format) {
        case loading::PictureFormat::Jpeg: return decode::jpegSize(data, size);
        case loading::PictureFormat::Gif: return decode::gifSize(data, size);
        case loading::PictureFormat::Bmp: return decode::bmpSize(data, size);
        case loading::PictureFormat::Wmf: return decode::wmfSize(data, size);
        case loading::PictureFormat::Unknown: break;
        }
        return decode::sizeFailure("not a BMP, GIF, JPEG or WMF picture");
    }
};

} // namespace

std::unique_ptr<PictureLoader> createPlatformPictureLoader()
{
    return std::make_unique<loading::DecodingLoader>(std::make_unique<LinuxDecoders>());
}

LoadResult decodePlatformPicture(std::span<const std::uint8_t> bytes, const LoadRequest& request)
{
    LinuxDecoders decoders;
    return loading::loadPicture(decoders, bytes.data(), bytes.size(), request);
}

} // namespace velmora
