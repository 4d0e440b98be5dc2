// Limits, sniffing, orientation and the metafile check shared by all decoders.
#include "show/picture_formats.h"

#include "show/wmf_record_check.h"
#include "startup/rounding.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace velmora::loading {

Result<void> checkPictureSize(long long width, long long height)
{
    if (width <= 0 || height <= 0) {
        return Reason{"picture has no pixels"};
    }
    if (width > kMaxSide || height > kMaxSide) {
        return Reason{"picture is wider or taller than 16384 pixels"};
    }
    if (width * height > kMaxPixels) {
        return Reason{"picture has more than 100 megapixels"};
    }
    return {};
}

PictureSize neededSize(PictureSize upright, const LoadRequest& request)
{
    if (request.fitWidth <= 0 || request.fitHeight <= 0) {
        return upright;
    }
    return {std::min(upright.width, request.fitWidth), std::min(upright.height, request.fitHeight)};
}

Extent fittedExtent(PictureSize own, float boxWidth, float boxHeight)
{
    const float w0 = float(own.width);
    const float h0 = float(own.height);
    if (w0 > h0) {
        return {boxWidth, h0 * boxWidth / w0};
    }
    return {w0 * boxHeight / h0, boxHeight};
}

PictureSize fittedSize(PictureSize own, int boxWidth, int boxHeight)
{
    const Extent e = fittedExtent(own, float(boxWidth), float(boxHeight));
    return {roundHalfEvenTo<int>(e.width).value_or(0), roundHalfEvenTo<int>(e.height).value_or(0)};
}

PictureSize sampledSize(PictureSize own, const LoadRequest& request)
{
    if (request.fitWidth > 0 && request.fitHeight > 0) {
        const PictureSize fitted = fittedSize(own, request.fitWidth, request.fitHeight);
        if (fitted.width > 0 && fitted.height > 0 && fitted.width <= own.width && fitted.height <= own.height) {
            return fitted;
        }
    }
    return own;
}

bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

PictureSize orientedSize(PictureSize stored, int orientation)
{
    return swapsAxes(orientation) ? PictureSize{stored.height, stored.width} : stored;
}

Picture applyOrientation(const Picture& stored, int orientation)
{
    if (orientation < 2 || orientation > 8) {
        return stored;
    }
    const std::size_t w = std::size_t(stored.width());
    const std::size_t h = std::size_t(stored.height());
    const PictureSize out = orientedSize({int(w), int(h)}, orientation);
    Picture turned(out.width, out.height);
    const std::size_t ow = std::size_t(out.width);
    // Where source pixel (0, 0) lands and how far one step in x and in y moves it, in pixels
    // of the turned picture; a signed step keeps the inner loop a plain add.
    std::ptrdiff_t origin = 0;
    std::ptrdiff_t stepX = 1;
    std::ptrdiff_t stepY = std::ptrdiff_t(ow);
    const std::ptrdiff_t last = std::ptrdiff_t(ow * std::size_t(out.height)) - 1;
    switch (orientation) {
    case 2: origin = std::ptrdiff_t(w) - 1; stepX = -1; stepY = std::ptrdiff_t(ow); break;
    case 3: origin = last; stepX = -1; stepY = -std::ptrdiff_t(ow); break;
    case 4: origin = std::ptrdiff_t(ow * (h - 1)); stepX = 1; stepY = -std::ptrdiff_t(ow); break;
    case 5: origin = 0; stepX = std::ptrdiff_t(ow); stepY = 1; break;
    case 6: origin = std::ptrdiff_t(h) - 1; stepX = std::ptrdiff_t(ow); stepY = -1; break;
    case 7: origin = last; stepX = -std::ptrdiff_t(ow); stepY = -1; break;
    case 8: origin = std::ptrdiff_t(ow * (w - 1)); stepX = -std::ptrdiff_t(ow); stepY = 1; break;
    default: break;
    }
    const std::uint8_t* src = stored.data();
    std::uint8_t* dst = turned.data();
    for (std::size_t y = 0; y < h; ++y) {
        std::ptrdiff_t at = origin + std::ptrdiff_t(y) * stepY;
        for (std::size_t x = 0; x < w; ++x, at += stepX) {
            std::memcpy(dst + std::size_t(at) * 4, src, 4);
            src += 4;
        }
    }
    return turned;
}

int tiffOrientation(const std::uint8_t* tiff, std::size_t tiffSize)
{
    if (tiffSize < 8) {
        return 1;
    }
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) {
        return 1;
    }
    auto read16 = [&](std::size_t o) { return big ? tiff[o] << 8 | tiff[o + 1] : tiff[o] | tiff[o + 1] << 8; };
    auto read32 = [&](std::size_t o) {
        return big ? std::uint32_t(read16(o)) << 16 | std::uint32_t(read16(o + 2))
                   : std::uint32_t(read16(o)) | std::uint32_t(read16(o + 2)) << 16;
    };
    const std::uint32_t ifd = read32(4);
    if (ifd > tiffSize || tiffSize - ifd < 2) {
        return 1;
    }
    const std::size_t entries = std::size_t(read16(ifd));
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = ifd + 2 + i * 12;
        if (entry + 12 > tiffSize) {
            break;
        }
        if (read16(entry) == 0x0112 && read16(entry + 2) == 3 && read32(entry + 4) >= 1) {
            const int value = read16(entry + 8);
            return value >= 1 && value <= 8 ? value : 1;
        }
    }
    return 1;
}

namespace {

// An EXIF block's body: a TIFF structure, after the "Exif\0\0" some writers put first.
int exifBodyOrientation(const std::uint8_t* block, std::size_t size)
{
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0) {
        block += 6;
        size -= 6;
    }
    return tiffOrientation(block, size);
}

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

std::uint32_t littleEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

int pngExifOrientation(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 8;
    while (at + 12 <= size) {
        const std::size_t length = bigEndian32(data + at);
        if (length > size - at - 12) {
            break;
        }
        if (std::memcmp(data + at + 4, "eXIf", 4) == 0) {
            return exifBodyOrientation(data + at + 8, length);
        }
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    return 1;
}

int webpExifOrientation(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 12;
    while (at + 8 <= size) {
        const std::size_t length = littleEndian32(data + at + 4);
        if (length > size - at - 8) {
            break;
        }
        if (std::memcmp(data + at, "EXIF", 4) == 0) {
            return exifBodyOrientation(data + at + 8, length);
        }
        at += 8 + length + (length & 1);
    }
    return 1;
}

bool isHeifBrand(const std::uint8_t* brand)
{
    static constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "mif1", "mif2", "avif"};
    for (const char* b : kBrands) {
        if (std::memcmp(brand, b, 4) == 0) {
            return true;
        }
    }
    return false;
}

// An ISO media file whose file-type box names a still-image brand of HEIF or AVIF.
bool isHeif(const std::uint8_t* data, std::size_t size)
{
    if (size < 16 || std::memcmp(data + 4, "ftyp", 4) != 0) {
        return false;
    }
    const std::size_t box = std::min<std::size_t>(bigEndian32(data), size);
    if (isHeifBrand(data + 8)) {
        return true;
    }
    for (std::size_t at = 16; at + 4 <= box; at += 4) {
        if (isHeifBrand(data + at)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t maxFileBytes(PictureFormat format)
{
    // An uncompressed bitmap is at most 4 bytes a pixel, plus headers, palette and profile.
    if (format == PictureFormat::Bmp) {
        return std::size_t(4 * kMaxPixels) + (std::size_t(1) << 20);
    }
    return kMaxFileBytes;
}

PictureFormat sniffFormat(const std::uint8_t* data, std::size_t size)
{
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return PictureFormat::Jpeg;
    }
    if (size >= 6 && std::memcmp(data, "GIF8", 4) == 0 && (data[4] == '7' || data[4] == '9') && data[5] == 'a') {
        return PictureFormat::Gif;
    }
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        return PictureFormat::Bmp;
    }
    if (size >= 4 && data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A) {
        return PictureFormat::Wmf;
    }
    // A metafile without the placeable header: type 1 or 2, header of 9 words.
    if (size >= 18 && (data[0] == 1 || data[0] == 2) && data[1] == 0 && data[2] == 9 && data[3] == 0) {
        return PictureFormat::Wmf;
    }
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return PictureFormat::Png;
    }
    // Classic and big TIFF, either byte order.
    if (size >= 4 && ((data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0) ||
                      (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43)))) {
        return PictureFormat::Tiff;
    }
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0) {
        return PictureFormat::Webp;
    }
    if (isHeif(data, size)) {
        return PictureFormat::Heif;
    }
    return PictureFormat::Unknown;
}

int jpegExifOrientation(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF) {
        const std::uint8_t marker = data[at + 1];
        const std::size_t length = std::size_t(data[at + 2] << 8 | data[at + 3]);
        if (marker == 0xDA || marker == 0xD9 || length < 2 || at + 2 + length > size) {
            break; // the EXIF block comes before the picture data
        }
        const std::uint8_t* block = data + at + 4;
        const std::size_t blockSize = length - 2;
        if (marker == 0xE1 && blockSize >= 14 && std::memcmp(block, "Exif\0\0", 6) == 0) {
            return tiffOrientation(block + 6, blockSize - 6);
        }
        at += 2 + length;
    }
    return 1;
}

int pictureOrientation(PictureFormat format, const std::uint8_t* data, std::size_t size)
{
    switch (format) {
    case PictureFormat::Jpeg: return jpegExifOrientation(data, size);
    case PictureFormat::Tiff: return tiffOrientation(data, size);
    case PictureFormat::Png: return pngExifOrientation(data, size);
    case PictureFormat::Webp: return webpExifOrientation(data, size);
    default: return 1;
    }
}

int countJpegScans(const std::uint8_t* data, std::size_t size)
{
    int scans = 0;
    std::size_t at = 2;
    while (at + 1 < size) {
        if (data[at] != 0xFF) {
            ++at; // garbage between segments: skip, as decoders do
            continue;
        }
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        at += 2;
        if (marker == 0xD9) {
            break;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // no length follows
        }
        if (at + 2 > size) {
            break;
        }
        at += std::size_t(data[at] << 8 | data[at + 1]);
        if (marker != 0xDA) {
            continue;
        }
        ++scans;
        // Entropy-coded data runs to the next marker that is not a stuffed zero or a restart.
        while (at + 1 < size && !(data[at] == 0xFF && data[at + 1] != 0x00 && (data[at + 1] < 0xD0 || data[at + 1] > 0xD7))) {
            ++at;
        }
    }
    return scans;
}

namespace {

std::int16_t s16(const std::uint8_t* p) { return std::int16_t(readLe16(p)); }

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
}

constexpr std::uint16_t kSetMapMode = 0x0103;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kCreatePen = 0x02FA;
constexpr std::uint16_t kEndOfFile = 0x0000;
constexpr int kAnisotropic = 8;

// The placeable header in front of some metafiles: a key, the picture's bounding box in
// logical units and the units per inch.
namespace placeable {
constexpr std::uint32_t Key = 0x9AC6CDD7u;
constexpr std::size_t Left = 6;
constexpr std::size_t Top = 8;
constexpr std::size_t Right = 10;
constexpr std::size_t Bottom = 12;
constexpr std::size_t UnitsPerInch = 14;
constexpr std::size_t HeaderBytes = 22;
constexpr int DefaultUnitsPerInch = 1440; // twips, when the file says 0
} // namespace placeable

// The standard metafile header.
namespace header {
constexpr std::size_t Type = 0;           // 1 in memory, 2 on disk
constexpr std::size_t HeaderWords = 2;    // always 9
constexpr std::size_t FileWords = 6;      // the whole metafile, a double word
constexpr std::size_t ObjectCount = 10;   // slots in the object table
constexpr std::size_t MaxRecordWords = 12; // the largest record, a double word
constexpr std::size_t ParameterCount = 16; // unused, 0
constexpr std::size_t HeaderBytes = 18;
constexpr int Words = 9;
} // namespace header

// A record: its size in words (a double word), its function, then its parameters, which
// the file stores last first (SetWindowOrg and SetWindowExt: y, then x).
namespace record {
constexpr std::size_t SizeWords = 0;
constexpr std::size_t Function = 4;
constexpr std::size_t FirstParameter = 6;
constexpr std::size_t SecondParameter = 8;
constexpr std::uint32_t SmallestWords = 3;  // size and function alone
constexpr std::uint32_t TwoParameterWords = 5;
constexpr std::size_t PenWidth = 8;          // CreatePen: style, then the width's x
constexpr std::size_t PenRecordBytes = 16;
} // namespace record

} // namespace

void putWmfWord(std::vector<std::uint8_t>& out, int value)
{
    out.push_back(std::uint8_t(value & 0xFF));
    out.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void putWmfDword(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    putWmfWord(out, int(value & 0xFFFF));
    putWmfWord(out, int(value >> 16));
}

bool isWmfDrawingRecord(std::uint16_t function)
{
    switch (function) {
    // State: colours, modes, mapping, clipping, DC save and restore.
    case 0x0201: case 0x0102: case 0x0103: case 0x0104: case 0x0106: case 0x0107: case 0x0108:
    case 0x0209: case 0x020A: case 0x020B: case 0x020C: case 0x020D: case 0x020E: case 0x020F:
    case 0x0410: case 0x0211: case 0x0412: case 0x0415: case 0x0416: case 0x001E: case 0x0127:
    case 0x0220: case 0x012C: case 0x012E: case 0x0231:
    // Drawing.
    case 0x0213: case 0x0214: case 0x0817: case 0x0418: case 0x0419: case 0x081A: case 0x041B:
    case 0x061C: case 0x061D: case 0x041F: case 0x0521: case 0x0922: case 0x0B23: case 0x0324:
    case 0x0325: case 0x0228: case 0x0429: case 0x012A: case 0x012B: case 0x0830: case 0x0A32:
    case 0x0D33: case 0x0538: case 0x0940: case 0x0B41: case 0x0F43: case 0x0548:
    // Objects and palettes.
    case 0x012D: case 0x0234: case 0x0035: case 0x0436: case 0x0037: case 0x0139: case 0x0142:
    case 0x01F0: case 0x00F7: case 0x01F9: case 0x02FA: case 0x02FB: case 0x02FC: case 0x06FF:
        return true;
    default:
        return false; // escapes (0x0626) above all, and anything unknown
    }
}

Result<void> planWmf(const std::uint8_t* data, std::size_t size, WmfPlan& plan)
{
    plan = WmfPlan{};
    std::size_t at = 0;
    bool placeableHeader = false;
    if (size >= placeable::HeaderBytes && readLe32(data) == placeable::Key) {
        placeableHeader = true;
        const int left = s16(data + placeable::Left);
        const int top = s16(data + placeable::Top);
        const int right = s16(data + placeable::Right);
        const int bottom = s16(data + placeable::Bottom);
        int unitsPerInch = readLe16(data + placeable::UnitsPerInch);
        if (unitsPerInch == 0) {
            unitsPerInch = placeable::DefaultUnitsPerInch;
        }
        plan.windowX = left;
        plan.windowY = top;
        plan.windowWidth = right - left;
        plan.windowHeight = bottom - top;
        plan.size.width = int(roundHalfEven(std::abs(double(right - left)) * 96.0 / unitsPerInch));
        plan.size.height = int(roundHalfEven(std::abs(double(bottom - top)) * 96.0 / unitsPerInch));
        at = placeable::HeaderBytes;
    }
    if (size - at < header::HeaderBytes) {
        return Reason{"metafile header is cut short"};
    }
    const std::uint8_t* fileHeader = data + at;
    const int type = readLe16(fileHeader + header::Type);
    if ((type != 1 && type != 2) || readLe16(fileHeader + header::HeaderWords) != header::Words) {
        return Reason{"not a Windows metafile"};
    }
    at += header::HeaderBytes;

    // First pass: check every record against the file and find the window.
    struct Span {
        std::size_t offset;
        std::size_t bytes;
    };
    std::vector<Span> kept;
    bool haveExt = placeableHeader;
    bool haveOrg = placeableHeader;
    std::size_t records = 0;
    std::uint32_t maxRecordWords = record::TwoParameterWords; // the window records written first
    WmfRecordCheck recordCheck;
    while (at < size) {
        if (size - at < record::FirstParameter) {
            return Reason{"metafile record is cut short"};
        }
        const std::uint8_t* rec = data + at;
        const std::uint32_t words = readLe32(rec + record::SizeWords);
        const std::uint16_t function = readLe16(rec + record::Function);
        if (words < record::SmallestWords || words > (size - at) / 2) {
            return Reason{"metafile record size does not fit the file"};
        }
        if (++records > kMaxWmfRecords) {
            return Reason{"metafile has too many records"};
        }
        const std::size_t bytes = std::size_t(words) * 2;
        if (function == kEndOfFile) {
            break;
        }
        if (!haveOrg && function == kSetWindowOrg && words >= record::TwoParameterWords) {
            plan.windowY = s16(rec + record::FirstParameter);
            plan.windowX = s16(rec + record::SecondParameter);
            haveOrg = true;
        }
        if (!haveExt && function == kSetWindowExt && words >= record::TwoParameterWords) {
            plan.windowHeight = s16(rec + record::FirstParameter);
            plan.windowWidth = s16(rec + record::SecondParameter);
            plan.size = {std::abs(plan.windowWidth), std::abs(plan.windowHeight)};
            haveExt = true;
        }
        if (isWmfDrawingRecord(function)) {
            if (Result<void> playable = recordCheck.check(function, rec + record::FirstParameter,
                                                          bytes - record::FirstParameter);
                !playable.ok()) {
                return playable;
            }
            kept.push_back({at, bytes});
            maxRecordWords = std::max(maxRecordWords, words);
            ++plan.recordsKept;
        } else {
            ++plan.recordsDropped;
        }
        at += bytes;
    }
    if (!haveExt) {
        return Reason{"metafile gives no picture size"};
    }
    if (Result<void> fits = checkPictureSize(plan.size.width, plan.size.height); !fits.ok()) {
        return fits;
    }

    // Second pass: the cleaned metafile, window first so that it maps onto the whole picture.
    std::vector<std::uint8_t>& out = plan.cleaned;
    out.assign(fileHeader, fileHeader + header::HeaderBytes);
    out[header::Type] = 1; // in memory
    putWmfDword(out, 4);
    putWmfWord(out, kSetMapMode);
    putWmfWord(out, kAnisotropic);
    putWmfDword(out, record::TwoParameterWords);
    putWmfWord(out, kSetWindowOrg);
    putWmfWord(out, plan.windowY);
    putWmfWord(out, plan.windowX);
    putWmfDword(out, record::TwoParameterWords);
    putWmfWord(out, kSetWindowExt);
    putWmfWord(out, plan.windowHeight);
    putWmfWord(out, plan.windowWidth);
    // A pen wider than twice the picture paints nothing more than one that wide, but some
    // renderers take time with the square of the width: such pens are narrowed.
    const int widestPen = 2 * std::max(std::abs(plan.windowWidth), std::abs(plan.windowHeight));
    for (const Span& s : kept) {
        const std::size_t copied = out.size();
        out.insert(out.end(), data + s.offset, data + s.offset + s.bytes);
        if (readLe16(data + s.offset + record::Function) != kCreatePen || s.bytes < record::PenRecordBytes) {
            continue;
        }
        std::uint8_t* penWidth = &out[copied + record::PenWidth];
        if (std::abs(s16(penWidth)) > widestPen) {
            penWidth[0] = std::uint8_t(widestPen & 0xFF);
            penWidth[1] = std::uint8_t((widestPen >> 8) & 0xFF);
        }
    }
    putWmfDword(out, record::SmallestWords);
    putWmfWord(out, kEndOfFile);
    set32(out, header::FileWords, std::uint32_t(out.size() / 2));
    set32(out, header::MaxRecordWords, maxRecordWords);
    // The table the kept records fill, whatever the file claimed.
    out[header::ObjectCount] = std::uint8_t(recordCheck.slotsNeeded() & 0xFF);
    out[header::ObjectCount + 1] = std::uint8_t(recordCheck.slotsNeeded() >> 8);
    out[header::ParameterCount] = 0;
    out[header::ParameterCount + 1] = 0;
    return {};
}

} // namespace velmora::loading
