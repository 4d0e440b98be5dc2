// What every platform's decoders share: the size limits, the choice of a reduced decode, the
// decode deadline, EXIF orientation, format sniffing and the metafile record check that
// decides which records of a WMF may be played.
#pragma once

#include "show/picture_loader.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::loading {

// A header claiming more than this is refused before any pixel memory is taken.
inline constexpr int kMaxSide = 16384;
inline constexpr long long kMaxPixels = 100'000'000;
// Whole files are read into memory; nothing the limits allow needs more.
inline constexpr std::size_t kMaxFileBytes = std::size_t(512) << 20;
// Progressive JPEGs need a handful of scans; thousands are a known way to burn CPU.
inline constexpr int kMaxJpegScans = 200;
// Metafiles: more records than this is not a picture anyone draws.
inline constexpr std::size_t kMaxWmfRecords = 500'000;

// Ok when width x height may be decoded, else the reason.
Result<void> checkPictureSize(long long width, long long height);

class Deadline {
public:
    explicit Deadline(int limitMs)
        : unlimited_(limitMs <= 0),
          end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs > 0 ? limitMs : 0))
    {
    }
    bool passed() const { return !unlimited_ && std::chrono::steady_clock::now() >= end_; }

private:
    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
};

// The smallest size a reduced decode must reach for a picture whose upright own size is
// `upright`: the request's box in each direction, never more than the picture itself.
PictureSize neededSize(PictureSize upright, const LoadRequest& request);

// The extent a picture of size `own` is shown at when fitted to a box (the show's full-screen
// size): scaled by its longer side, the box's own shape not considered.
struct Extent {
    float width;
    float height;
};
Extent fittedExtent(PictureSize own, float boxWidth, float boxHeight);
// That extent in whole pixels, rounded as the show rounds it. A decoder that reduces a picture
// to this size by nearest-pixel sampling (drawing.h's stretchSample) gives the pixels the
// show's stretched copy of the whole picture would take.
PictureSize fittedSize(PictureSize own, int boxWidth, int boxHeight);
// The size a decoder that samples rows and columns delivers a picture of size `own` at: fitted
// to the request's box when it has one and that is smaller, else the own size.
PictureSize sampledSize(PictureSize own, const LoadRequest& request);

// EXIF orientation 1..8; other values count as 1.
bool swapsAxes(int orientation);
PictureSize orientedSize(PictureSize stored, int orientation);
// The picture turned and mirrored so that it shows the right way up.
Picture applyOrientation(const Picture& stored, int orientation);

// Png to Heif are the fifth kind, "other pictures"; Heif covers HEIC, HEIF and AVIF, which
// share one container.
enum class PictureFormat { Unknown, Bmp, Gif, Jpeg, Wmf, Png, Tiff, Webp, Heif };
// The largest file that can hold a picture of this kind within the size limits; a larger
// file is refused from its size before it is read. Unknown: any file a tool may read whole.
std::size_t maxFileBytes(PictureFormat format);
// The reason given for a file of none of these formats.
inline constexpr const char* kNotAPicture = "not a picture of a kind Velmora shows";
// By content, not by name: a misnamed file still loads, random bytes do not.
PictureFormat sniffFormat(const std::uint8_t* data, std::size_t size);

// The EXIF orientation tag (1..8) of a JPEG's first EXIF block, 1 when absent or broken.
// For decoders whose metadata readers do not answer; every offset is checked.
int jpegExifOrientation(const std::uint8_t* data, std::size_t size);
// The orientation tag of the first directory of a TIFF structure (a TIFF file, or the body
// of an EXIF block), 1 when absent or broken.
int tiffOrientation(const std::uint8_t* tiff, std::size_t size);
// The turn a picture of this format needs to show upright, from where the format keeps it:
// JPEG's EXIF block, TIFF's own tag, PNG's eXIf chunk, WebP's EXIF chunk. HEIF and AVIF turn
// by their container's transforms, which the decoder applies; their EXIF is not read, so
// nothing is turned twice.
int pictureOrientation(PictureFormat format, const std::uint8_t* data, std::size_t size);

// The number of scans (SOS markers) in a JPEG, walking its markers and entropy data; for
// decoders that offer no hook to stop a scan flood while it decodes.
int countJpegScans(const std::uint8_t* data, std::size_t size);

// A metafile checked record by record and rebuilt as a standard metafile (no placeable
// header) holding only drawing and state records, with the picture's window set first.
struct WmfPlan {
    PictureSize size;           // own size in pixels (96 per inch for placeable files)
    int windowX = 0;            // window origin and extent in the file's logical units
    int windowY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    std::vector<std::uint8_t> cleaned;
    std::size_t recordsKept = 0;
    std::size_t recordsDropped = 0; // escapes and anything else not known to be drawing
};
// Ok, or the reason the file is refused.
Result<void> planWmf(const std::uint8_t* data, std::size_t size, WmfPlan& plan);
bool isWmfDrawingRecord(std::uint16_t function);
// Little-endian words and double words as BMP, GIF and metafile headers store them; the caller
// has checked that the bytes are there.
inline std::uint16_t readLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t readLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
// Little-endian words and double words, as a metafile stores them.
void putWmfWord(std::vector<std::uint8_t>& out, int value);
void putWmfDword(std::vector<std::uint8_t>& out, std::uint32_t value);

} // namespace velmora::loading
