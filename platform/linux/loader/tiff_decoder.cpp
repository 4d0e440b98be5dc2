// TIFF through libtiff, first page only: libtiff's RGBA reader takes every photometric
// interpretation, depth and compression it knows and premultiplies alpha (so it lies on
// black). Read in bands of rows, so the time limit is checked between them; the rows come as
// stored (the front end turns them by the orientation tag). libtiff offers no reduced decode.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <tiffio.h>

namespace velmora::decode {
namespace {

struct TiffInput : MemoryInput {
    std::string reason; // libtiff's first error
};

tmsize_t readInput(thandle_t handle, void* buffer, tmsize_t count)
{
    return count <= 0 ? 0 : tmsize_t(static_cast<TiffInput*>(handle)->read(buffer, std::size_t(count)));
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekInput(thandle_t handle, toff_t offset, int whence)
{
    auto* in = static_cast<TiffInput*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) {
        base = in->position;
    } else if (whence == SEEK_END) {
        base = in->size;
    }
    // An offset past the end is kept there: reads then give nothing.
    const std::uint64_t target = base + offset;
    if (target < base) {
        return toff_t(-1);
    }
    in->position = std::size_t(std::min<std::uint64_t>(target, in->size));
    return toff_t(in->position);
}

int closeInput(thandle_t) { return 0; }
toff_t inputSize(thandle_t handle) { return toff_t(static_cast<TiffInput*>(handle)->size); }
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    auto* in = static_cast<TiffInput*>(user);
    if (in->reason.empty()) {
        char text[160];
        std::vsnprintf(text, sizeof text, format, args);
        in->reason = std::string("TIFF: ") + text;
    }
    return 1; // handled: nothing goes to stderr
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

TiffFile openTiff(TiffInput& input)
{
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) {
        input.reason = "out of memory";
        return nullptr;
    }
    // No single buffer beyond what a picture within the limits needs.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(4 * loading::kMaxPixels));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &input);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &input);
    TiffFile tiff(TIFFClientOpenExt("picture", "rm", &input, readInput, refuseWrite, seekInput, closeInput, inputSize,
                                    noMap, noUnmap, options.get()));
    if (!tiff && input.reason.empty()) {
        input.reason = "TIFF header is broken";
    }
    return tiff;
}

// The first page's stored size, or the reason it cannot be decoded.
Result<PictureSize> storedSizeOf(TIFF* tiff)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
        return Reason{"TIFF gives no picture size"};
    }
    return checkedSize(width, height);
}

struct RgbaEnd {
    TIFFRGBAImage* image;
    ~RgbaEnd() { TIFFRGBAImageEnd(image); }
};

} // namespace

Result<LoadedPicture> decodeTiff(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const loading::Deadline deadline(request.timeLimitMs);
    TiffInput input;
    input.data = data;
    input.size = size;
    TiffFile tiff = openTiff(input);
    if (!tiff) {
        return Reason{input.reason};
    }
    const Result<PictureSize> stored = storedSizeOf(tiff.get());
    if (!stored.ok()) {
        return stored.reason();
    }
    LoadedPicture result;
    result.ownSize = stored.value();
    char message[1024] = {};
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageOK(tiff.get(), message) || !TIFFRGBAImageBegin(&image, tiff.get(), 0, message)) {
        return Reason{std::string("TIFF: ") + message};
    }
    RgbaEnd end{&image};
    // Asking for the file's own orientation leaves the rows as stored.
    image.req_orientation = image.orientation;
    const int width = result.ownSize.width;
    const int height = result.ownSize.height;
    if (int(image.width) != width || int(image.height) != height) {
        return Reason{"TIFF size fields disagree"};
    }
    result.picture.resize(width, height);
    constexpr int kBand = 64; // rows per call, so a slow decode can be given up between bands
    for (int y = 0; y < height; y += kBand) {
        if (deadline.passed()) {
            return Reason{"TIFF took too long to decode"};
        }
        const int rows = std::min(kBand, height - y);
        image.row_offset = y;
        image.col_offset = 0;
        auto* raster = reinterpret_cast<std::uint32_t*>(result.picture.pixel(0, y));
        if (!TIFFRGBAImageGet(&image, raster, std::uint32_t(width), std::uint32_t(rows))) {
            if (y == 0) {
                return Reason{input.reason.empty() ? "TIFF picture data is broken" : input.reason};
            }
            break; // keep the bands that decoded
        }
    }
    // libtiff gives R, G, B, A in memory; the picture's order is B, G, R, reserved.
    std::uint8_t* p = result.picture.data();
    for (std::size_t i = 0; i < result.picture.byteCount(); i += 4) {
        std::swap(p[i], p[i + 2]);
    }
    clearReservedBytes(result.picture);
    return result;
}

Result<PictureSize> tiffSize(const std::uint8_t* data, std::size_t size)
{
    TiffInput input;
    input.data = data;
    input.size = size;
    TiffFile tiff = openTiff(input);
    if (!tiff) {
        return Reason{input.reason};
    }
    return storedSizeOf(tiff.get());
}

} // namespace velmora::decode
