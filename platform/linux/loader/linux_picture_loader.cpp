// The Linux picture decoders behind the common front end: regular files opened by their UTF-8
// names, one decoder per format.
#include "platform/linux/loader/decoders.h"
#include "platform/picture_loader_factory.h"
#include "platform/regular_file.h"
#include "show/decoding_loader.h"

#include <memory>
#include <vector>

namespace velmora {
namespace {

class LinuxDecoders final : public loading::PictureDecoders {
public:
    // Paths are UTF-8, which is what Linux file names are.
    loading::OpenedFile openFile(const std::string& path) override { return openRegularFile(path); }

    Result<LoadedPicture> decode(loading::PictureFormat format, const std::uint8_t* data, std::size_t size,
                      const LoadRequest& request) override
    {
        switch (format) {
        case loading::PictureFormat::Jpeg: return decode::decodeJpeg(data, size, request);
        case loading::PictureFormat::Gif: return decode::decodeGif(data, size, request);
        case loading::PictureFormat::Bmp: return decode::decodeBmp(data, size, request);
        case loading::PictureFormat::Wmf: return decode::decodeWmf(data, size, request);
        case loading::PictureFormat::Png: return decode::decodePng(data, size, request);
        case loading::PictureFormat::Tiff: return decode::decodeTiff(data, size, request);
        case loading::PictureFormat::Webp: return decode::decodeWebp(data, size, request);
        case loading::PictureFormat::Heif: return decode::decodeHeif(data, size, request);
        case loading::PictureFormat::Unknown: break;
        }
        return Reason{loading::kNotAPicture};
    }

    std::optional<Result<LoadedPicture>> decodeAsRead(loading::PictureFormat format, const std::uint8_t* head,
                                                      std::size_t headSize, std::uint64_t fileSize,
                                                      loading::RegularFile& rest, const LoadRequest& request) override
    {
        if (format == loading::PictureFormat::Bmp) {
            return decode::decodeBmpAsRead(head, headSize, fileSize, rest, request);
        }
        return std::nullopt;
    }

    Result<PictureSize> storedSize(loading::PictureFormat format, const std::uint8_t* data, std::size_t size) override
    {
        switch (format) {
        case loading::PictureFormat::Jpeg: return decode::jpegSize(data, size);
        case loading::PictureFormat::Gif: return decode::gifSize(data, size);
        case loading::PictureFormat::Bmp: return decode::bmpSize(data, size);
        case loading::PictureFormat::Wmf: return decode::wmfSize(data, size);
        case loading::PictureFormat::Png: return decode::pngSize(data, size);
        case loading::PictureFormat::Tiff: return decode::tiffSize(data, size);
        case loading::PictureFormat::Webp: return decode::webpSize(data, size);
        case loading::PictureFormat::Heif: return decode::heifSize(data, size);
        case loading::PictureFormat::Unknown: break;
        }
        return Reason{loading::kNotAPicture};
    }
};

} // namespace

std::unique_ptr<loading::PictureDecoders> createPlatformDecoders() { return std::make_unique<LinuxDecoders>(); }

std::unique_ptr<PictureLoader> createPlatformPictureLoader()
{
    return std::make_unique<loading::DecodingLoader>(createPlatformDecoders());
}

Result<LoadedPicture> decodePlatformPicture(std::span<const std::uint8_t> bytes, const LoadRequest& request)
{
    LinuxDecoders decoders;
    return loading::loadPicture(decoders, bytes.data(), bytes.size(), request);
}

} // namespace velmora
