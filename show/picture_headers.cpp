// Declared sizes and layouts of each picture kind, checked before a decoder takes memory or
// trusts an offset: a system decoder given a header that lies is the one that crashes.
#include "show/picture_headers.h"

#include <bit>
#include <cstring>

namespace velmora::loading {

namespace {

std::uint16_t be16(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }
std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(be16(p)) << 16 | be16(p + 2); }

bool isJpegFrameHeader(std::uint8_t marker)
{
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC), which share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

Result<void> checkJpeg(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 2;
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            return Reason{"JPEG markers are broken before its frame header"};
        }
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        at += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            continue; // no length follows
        }
        if (marker == 0xD9 || marker == 0xDA) {
            break; // image data or its end before any frame header
        }
        if (at + 2 > size) {
            break;
        }
        const std::size_t length = be16(data + at);
        if (length < 2 || length > size - at) {
            return Reason{"JPEG segment runs past the end of the file"};
        }
        if (isJpegFrameHeader(marker)) {
            if (length < 8) {
                return Reason{"JPEG frame header is cut short"};
            }
            const int height = be16(data + at + 3);
            const int width = be16(data + at + 5);
            const int components = data[at + 7];
            if (height == 0) {
                return Reason{"JPEG gives its height only after the picture data"};
            }
            if (components < 1 || components > 4 || length < std::size_t(8 + 3 * components)) {
                return Reason{"JPEG frame header lists no usable colour components"};
            }
            return checkPictureSize(width, height);
        }
        at += length;
    }
    return Reason{"JPEG has no frame header"};
}

Result<void> checkGif(const std::uint8_t* data, std::size_t size)
{
    if (size < 13) {
        return Reason{"GIF header is cut short"};
    }
    const int screenWidth = readLe16(data + 6);
    const int screenHeight = readLe16(data + 8);
    const std::uint8_t screenFlags = data[10];
    // A screen without a width or height leaves the size to the first frame.
    if (screenWidth > 0 && screenHeight > 0) {
        if (Result<void> fits = checkPictureSize(screenWidth, screenHeight); !fits.ok()) {
            return fits;
        }
    }
    const bool globalColours = (screenFlags & 0x80) != 0;
    std::size_t at = 13;
    if (globalColours) {
        at += std::size_t(3) << ((screenFlags & 7) + 1);
    }
    while (at < size) {
        const std::uint8_t block = data[at];
        if (block == 0x21) {
            at += 2; // introducer and label, then sub-blocks up to an empty one
            while (at < size && data[at] != 0) {
                at += std::size_t(data[at]) + 1;
            }
            ++at;
            continue;
        }
        if (block == 0x2C) {
            if (size - at < 10) {
                return Reason{"GIF frame header is cut short"};
            }
            const int frameWidth = readLe16(data + at + 5);
            const int frameHeight = readLe16(data + at + 7);
            const bool localColours = (data[at + 9] & 0x80) != 0;
            if (Result<void> fits = checkPictureSize(frameWidth, frameHeight); !fits.ok()) {
                return Reason{"GIF frame: " + fits.reason().text};
            }
            if (!globalColours && !localColours) {
                return Reason{"GIF has no colour table"};
            }
            return {};
        }
        if (block == 0x3B) {
            return Reason{"GIF holds no picture"};
        }
        return Reason{"GIF record not understood"};
    }
    return Reason{"GIF ends before its first picture"};
}

// A bit-field mask: one run of set bits, within a pixel of `bits` bits.
bool maskIsUsable(std::uint32_t mask, int bits)
{
    if (bits < 32 && (mask >> bits) != 0) {
        return false;
    }
    if (mask == 0) {
        return true;
    }
    const std::uint32_t run = mask >> std::countr_zero(mask);
    return (run & (run + 1)) == 0;
}

// A PNG's first chunk is its header: width and height, four bytes each, big-endian.
Result<void> checkPng(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t kHeaderEnd = 8 + 8 + 13;
    if (size < kHeaderEnd || std::memcmp(data + 12, "IHDR", 4) != 0) {
        return Reason{"PNG header is missing"};
    }
    return checkPictureSize(be32(data + 16), be32(data + 20));
}

} // namespace

Result<void> readBmpHeader(const std::uint8_t* data, std::size_t size, BmpHeader& header)
{
    return readBmpHeader(data, size, size, header);
}

Result<void> readBmpHeader(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, BmpHeader& header)
{
    header = BmpHeader{};
    if (size < 26 || data[0] != 'B' || data[1] != 'M') {
        return Reason{size >= 2 && data[0] == 'B' && data[1] == 'M' ? "BMP header is cut short" : "not a BMP file"};
    }
    header.pixelOffset = readLe32(data + 10);
    header.infoSize = readLe32(data + 14);
    if (header.infoSize == 12) {
        header.width = readLe16(data + 18);
        header.height = readLe16(data + 20);
        header.bitsPerPixel = readLe16(data + 24);
    } else if (header.infoSize == 40 || header.infoSize == 52 || header.infoSize == 56 || header.infoSize == 64 ||
               header.infoSize == 108 || header.infoSize == 124) {
        if (size < 34) {
            return Reason{"BMP header is cut short"};
        }
        header.width = std::int32_t(readLe32(data + 18));
        const long long height = std::int32_t(readLe32(data + 22));
        header.topDown = height < 0;
        header.height = height < 0 ? -height : height;
        header.bitsPerPixel = readLe16(data + 28);
        header.compression = readLe32(data + 30);
    } else {
        return Reason{"BMP header kind not supported"};
    }
    if (header.width < 0) {
        return Reason{"BMP width is negative"};
    }
    if (Result<void> fits = checkPictureSize(header.width, header.height); !fits.ok()) {
        return fits;
    }
    const int bits = header.bitsPerPixel;
    switch (header.compression) {
    case kBmpRgb:
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return Reason{"BMP bits per pixel not supported"};
        }
        break;
    case kBmpRle8:
    case kBmpRle4:
        if (bits != (header.compression == kBmpRle8 ? 8 : 4) || header.infoSize == 64) {
            return Reason{"BMP compression does not match its bits per pixel"};
        }
        if (header.topDown) {
            return Reason{"BMP compressed rows cannot run top-down"};
        }
        return {}; // compressed data may legitimately be tiny
    case kBmpBitFields:
    case kBmpAlphaBitFields: {
        if ((bits != 16 && bits != 32) || header.infoSize == 64) {
            return Reason{"BMP colour masks need 16 or 32 bits per pixel"};
        }
        // The masks follow a 40-byte header, or sit at the same place inside a larger one.
        const bool hasAlpha = header.compression == kBmpAlphaBitFields || header.infoSize >= 56;
        if (size < (hasAlpha ? 70u : 66u)) {
            return Reason{"BMP colour masks are cut short"};
        }
        for (int i = 0; i < (hasAlpha ? 4 : 3); ++i) {
            header.masks[std::size_t(i)] = readLe32(data + 54 + 4 * i);
        }
        std::uint32_t seen = 0;
        for (const std::uint32_t mask : header.masks) {
            if (!maskIsUsable(mask, bits) || (seen & mask) != 0) {
                return Reason{"BMP colour masks are not valid"};
            }
            seen |= mask;
        }
        if ((header.masks[0] | header.masks[1] | header.masks[2]) == 0) {
            return Reason{"BMP colour masks are empty"};
        }
        break;
    }
    default:
        return Reason{"BMP compression not supported"};
    }
    // Uncompressed rows must all be in the file, so a few bytes claiming a huge picture cost
    // nothing.
    const unsigned long long stride = (static_cast<unsigned long long>(header.width) * unsigned(bits) + 31) / 32 * 4;
    const unsigned long long needed =
        static_cast<unsigned long long>(header.pixelOffset) + stride * static_cast<unsigned long long>(header.height);
    if (needed > fileSize) {
        return Reason{"BMP pixel data is cut short"};
    }
    return {};
}

Result<void> checkDeclaredHeader(PictureFormat format, const std::uint8_t* data, std::size_t size)
{
    switch (format) {
    case PictureFormat::Jpeg: return checkJpeg(data, size);
    case PictureFormat::Gif: return checkGif(data, size);
    case PictureFormat::Bmp: {
        BmpHeader header;
        return readBmpHeader(data, size, header);
    }
    case PictureFormat::Wmf: {
        WmfPlan plan;
        return planWmf(data, size, plan);
    }
    case PictureFormat::Png: return checkPng(data, size);
    // Their containers are read by the decoders' own parsers, which report the size before any
    // pixel is allocated; each decoder holds that size to the limits.
    case PictureFormat::Tiff:
    case PictureFormat::Webp:
    case PictureFormat::Heif: return {};
    case PictureFormat::Unknown: break;
    }
    return Reason{kNotAPicture};
}

} // namespace velmora::loading
