// Picture files for velmora-fx: the show's decoders, or stb_image for other kinds, and
// uncompressed 32-bit BMP or PNG output.
#include "platform/fx/picture_files.h"
#include "show/picture_formats.h"
#include "platform/picture_loader_factory.h"
#include "platform/regular_file.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <limits>
#include <vector>

namespace velmora::fx {

Result<LoadedPicture> readPicture(const std::string& path)
{
    // The same opening rules as the show: only a regular file, never waiting on a FIFO or a
    // device, and refused from its size before it is read.
    loading::OpenedFile opened = openRegularFile(path);
    std::vector<std::uint8_t> bytes;
    const Result<void> read =
        opened.ok() ? loading::readPictureBytes(*opened.value(), bytes, true) : Result<void>(opened.reason());
    if (!read.ok()) {
        return Reason{"cannot read " + path + ": " + read.reason().text};
    }
    // The show's kinds (PNG, TIFF, WebP, HEIC and AVIF among them) go through the show's own
    // decoders, so the tool reads exactly what the show would (and refuses what it refuses);
    // other kinds stb knows (TGA, PSD, PNM...) come through stb.
    if (loading::sniffFormat(bytes.data(), bytes.size()) != loading::PictureFormat::Unknown) {
        Result<LoadedPicture> loaded = loading::loadPicture(*createPlatformDecoders(), bytes.data(), bytes.size(),
                                                            LoadRequest{0, 0, 0});
        if (!loaded.ok()) {
            return Reason{"cannot read " + path + ": " + loaded.reason().text};
        }
        // Their alpha is laid on black, as the show lays it: opaque for the tool.
        for (std::size_t i = 3; i < loaded->picture.byteCount(); i += 4) {
            loaded->picture.data()[i] = 255;
        }
        return loaded;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (rgba == nullptr) {
        const char* reason = stbi_failure_reason();
        return Reason{std::string("cannot read ") + path + ": " + (reason ? reason : "unknown error")};
    }
    LoadedPicture result;
    result.ownSize = {width, height};
    result.picture.resize(width, height);
    std::uint8_t* out = result.picture.data();
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        out[4 * i] = rgba[4 * i + 2];     // blue
        out[4 * i + 1] = rgba[4 * i + 1]; // green
        out[4 * i + 2] = rgba[4 * i];     // red
        out[4 * i + 3] = rgba[4 * i + 3]; // the file's alpha rides in the reserved byte
    }
    stbi_image_free(rgba);
    return result;
}

OutputKind outputKindOf(const std::string& path)
{
    if (path.size() < 4) {
        return OutputKind::None;
    }
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return tail == ".png" ? OutputKind::Png : tail == ".bmp" ? OutputKind::Bmp : OutputKind::None;
}

namespace {

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(std::uint8_t(value >> (8 * i)));
    }
}

Result<void> writeBmp(const std::string& path, const Picture& picture)
{
    const std::uint64_t rowBytes = std::uint64_t(picture.width()) * 4;
    const std::uint64_t imageBytes = rowBytes * std::uint64_t(picture.height());
    if (54 + imageBytes > std::numeric_limits<std::uint32_t>::max()) {
        return Reason{"picture too large for BMP"};
    }
    std::vector<std::uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    putLe(header, std::uint32_t(54 + imageBytes), 4);
    putLe(header, 0, 4);
    putLe(header, 54, 4);                                  // pixels follow the two headers
    putLe(header, 40, 4);                                  // BITMAPINFOHEADER
    putLe(header, std::uint32_t(picture.width()), 4);
    putLe(header, std::uint32_t(picture.height()), 4);     // positive: bottom-up, read everywhere
    putLe(header, 1, 2);                                   // planes
    putLe(header, 32, 2);                                  // bits per pixel
    putLe(header, 0, 4);                                   // BI_RGB
    putLe(header, std::uint32_t(imageBytes), 4);
    putLe(header, 2835, 4);                                // 72 dpi
    putLe(header, 2835, 4);
    putLe(header, 0, 4);
    putLe(header, 0, 4);

    std::ofstream file(utf8Path(path), std::ios::binary);
    if (!file) {
        return Reason{"cannot create " + path};
    }
    file.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    for (int y = picture.height() - 1; file && y >= 0; --y) {
        file.write(reinterpret_cast<const char*>(picture.pixel(0, y)), std::streamsize(rowBytes));
    }
    file.close();
    if (!file) {
        return Reason{"cannot write " + path};
    }
    return {};
}

Result<void> writePng(const std::string& path, const Picture& picture)
{
    std::vector<std::uint8_t> rgb(std::size_t(picture.width()) * std::size_t(picture.height()) * 3);
    const std::uint8_t* in = picture.data();
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
        rgb[3 * i] = in[4 * i + 2];
        rgb[3 * i + 1] = in[4 * i + 1];
        rgb[3 * i + 2] = in[4 * i];
    }
    // Encoded in memory, then written through the path type that takes any name.
    std::vector<char> png;
    const auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<char>*>(context);
        bytes->insert(bytes->end(), static_cast<char*>(data), static_cast<char*>(data) + size);
    };
    if (!stbi_write_png_to_func(append, &png, picture.width(), picture.height(), 3, rgb.data(), picture.width() * 3)) {
        return Reason{"cannot encode " + path};
    }
    std::ofstream file(utf8Path(path), std::ios::binary);
    file.write(png.data(), std::streamsize(png.size()));
    file.close();
    if (!file) {
        return Reason{"cannot write " + path};
    }
    return {};
}

} // namespace

Result<void> writePicture(const std::string& path, const Picture& picture, OutputKind kind)
{
    assert(kind != OutputKind::None);
    const bool png = kind == OutputKind::Png;
    if (picture.empty()) {
        return Reason{"empty picture"};
    }
    return png ? writePng(path, picture) : writeBmp(path, picture);
}

} // namespace velmora::fx
