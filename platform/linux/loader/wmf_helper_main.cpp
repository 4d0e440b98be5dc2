// velmora-wmf: draws one cleaned metafile through libwmf's GD renderer (see wmf_helper.h).
// libwmf fills ellipses, chords and rounded rectangles wrongly (a chord as a triangle, an
// ellipse as an empty chord), so those records are handed to it as the polygons Windows
// fills; pies too, so that all four share one rule.
#include "platform/linux/loader/wmf_helper.h"
#include "show/picture_formats.h"
#include "startup/rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <numbers>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <libwmf/api.h>
#include <libwmf/gd.h>

namespace {

// libwmf's shared library keeps its GD to itself, so the picture it draws cannot be freed
// here. This process draws one picture and ends: the picture is held to the end on purpose.
void* drawnPicture = nullptr;

using namespace velmora;
namespace helper = velmora::decode::wmf_helper;

std::int16_t s16(const std::uint8_t* p) { return std::int16_t(p[0] | p[1] << 8); }

using loading::putWmfDword;
using loading::putWmfWord;

constexpr std::uint16_t kEllipse = 0x0418;
constexpr std::uint16_t kChord = 0x0830;
constexpr std::uint16_t kPie = 0x081A;
constexpr std::uint16_t kRoundRect = 0x061C;
constexpr std::uint16_t kPolygon = 0x0324;
constexpr double kTurn = 2 * std::numbers::pi;
constexpr int kPointsPerTurn = 128; // a third of a pixel off at a radius of 1000 pixels

struct Box {
    double left, top, right, bottom;
    double cx() const { return (left + right) / 2; }
    double cy() const { return (top + bottom) / 2; }
    double rx() const { return (right - left) / 2; }
    double ry() const { return (bottom - top) / 2; }
};

// The box as Windows takes it: corners in any order.
Box boxOf(int left, int top, int right, int bottom)
{
    return {double(std::min(left, right)), double(std::min(top, bottom)), double(std::max(left, right)),
            double(std::max(top, bottom))};
}

using Points = std::vector<std::pair<double, double>>;

// Points of the ellipse in `box` from angle a to b (radians, counter-clockwise on the screen,
// where y grows downwards), both ends included.
void addArc(Points& points, double cx, double cy, double rx, double ry, double a, double b)
{
    const int steps = std::max(2, int(std::ceil(kPointsPerTurn * (b - a) / kTurn)));
    for (int i = 0; i <= steps; ++i) {
        const double t = a + (b - a) * i / steps;
        points.emplace_back(cx + rx * std::cos(t), cy - ry * std::sin(t));
    }
}

// The angle of the ellipse point that the ray from the centre through (x, y) meets.
double angleOf(const Box& box, double x, double y)
{
    const double rx = box.rx() > 0 ? box.rx() : 1;
    const double ry = box.ry() > 0 ? box.ry() : 1;
    return std::atan2(-(y - box.cy()) / ry, (x - box.cx()) / rx);
}

void putPolygon(std::vector<std::uint8_t>& out, const Points& points)
{
    putWmfDword(out, std::uint32_t(3 + 1 + 2 * points.size()));
    putWmfWord(out, kPolygon);
    putWmfWord(out, int(points.size()));
    for (const auto& [x, y] : points) {
        putWmfWord(out, int(roundHalfEven(std::clamp(x, -32768.0, 32767.0))));
        putWmfWord(out, int(roundHalfEven(std::clamp(y, -32768.0, 32767.0))));
    }
}

// The record as a polygon, when it is one of the filled shapes; false otherwise.
bool shapeAsPolygon(std::uint16_t function, const std::uint8_t* params, std::size_t words,
                    std::vector<std::uint8_t>& out)
{
    Points points;
    if (function == kEllipse && words >= 4) {
        const Box box = boxOf(s16(params + 6), s16(params + 4), s16(params + 2), s16(params));
        addArc(points, box.cx(), box.cy(), box.rx(), box.ry(), 0, kTurn);
        points.pop_back(); // the last point is the first
    } else if ((function == kChord || function == kPie) && words >= 8) {
        const Box box = boxOf(s16(params + 14), s16(params + 12), s16(params + 10), s16(params + 8));
        const double start = angleOf(box, s16(params + 6), s16(params + 4));
        double end = angleOf(box, s16(params + 2), s16(params));
        if (end <= start) {
            end += kTurn; // equal ends make the whole ellipse, as on Windows
        }
        if (function == kPie) {
            points.emplace_back(box.cx(), box.cy());
        }
        addArc(points, box.cx(), box.cy(), box.rx(), box.ry(), start, end);
    } else if (function == kRoundRect && words >= 6) {
        const Box box = boxOf(s16(params + 10), s16(params + 8), s16(params + 6), s16(params + 4));
        const double rx = std::min(std::abs(double(s16(params + 2))) / 2, box.rx());
        const double ry = std::min(std::abs(double(s16(params))) / 2, box.ry());
        const double q = kTurn / 4;
        addArc(points, box.right - rx, box.top + ry, rx, ry, 0, q);
        addArc(points, box.left + rx, box.top + ry, rx, ry, q, 2 * q);
        addArc(points, box.left + rx, box.bottom - ry, rx, ry, 2 * q, 3 * q);
        addArc(points, box.right - rx, box.bottom - ry, rx, ry, 3 * q, 4 * q);
    } else {
        return false;
    }
    putPolygon(out, points);
    return true;
}

// The cleaned metafile as libwmf must get it: the viewport pinned to the picture's pixels
// (libwmf otherwise maps the window onto a viewport of its own choosing) right after the
// three set-up records the plan starts with, and the filled shapes as polygons.
std::vector<std::uint8_t> streamForLibwmf(const std::vector<std::uint8_t>& cleaned, int width, int height)
{
    constexpr std::size_t kAfterSetup = 18 + 8 + 10 + 10;
    std::vector<std::uint8_t> out(cleaned.begin(), cleaned.begin() + std::ptrdiff_t(std::min(kAfterSetup, cleaned.size())));
    putWmfDword(out, 5);
    putWmfWord(out, 0x020D); // SETVIEWPORTORG 0, 0
    putWmfWord(out, 0);
    putWmfWord(out, 0);
    putWmfDword(out, 5);
    putWmfWord(out, 0x020E); // SETVIEWPORTEXT height, width
    putWmfWord(out, height);
    putWmfWord(out, width);
    std::uint32_t longest = 5;
    for (std::size_t at = kAfterSetup; at + 6 <= cleaned.size();) {
        const std::uint32_t words = std::uint32_t(cleaned[at] | cleaned[at + 1] << 8 | cleaned[at + 2] << 16 |
                                                  std::uint32_t(cleaned[at + 3]) << 24);
        const std::uint16_t function = std::uint16_t(cleaned[at + 4] | cleaned[at + 5] << 8);
        if (words < 3 || words > (cleaned.size() - at) / 2) {
            break; // the plan checked every record; this is only a guard
        }
        const std::size_t start = out.size();
        if (!shapeAsPolygon(function, &cleaned[at + 6], words - 3, out)) {
            out.insert(out.end(), cleaned.begin() + std::ptrdiff_t(at), cleaned.begin() + std::ptrdiff_t(at + words * 2));
        }
        longest = std::max(longest, std::uint32_t((out.size() - start) / 2));
        at += std::size_t(words) * 2;
    }
    const std::uint32_t total = std::uint32_t(out.size() / 2);
    for (int i = 0; i < 4; ++i) {
        out[6 + std::size_t(i)] = std::uint8_t(total >> (8 * i));
        out[12 + std::size_t(i)] = std::uint8_t(longest >> (8 * i));
    }
    return out;
}

struct ApiDestroy {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};

int onStatus(void* context, float)
{
    return static_cast<const loading::Deadline*>(context)->passed() ? 1 : 0; // non-zero stops
}

int render(std::vector<std::uint8_t>& stream, int width, int height, const loading::Deadline& deadline,
           std::vector<std::uint8_t>& bgrx)
{
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* raw = nullptr;
    const wmf_error_t created = wmf_api_create(&raw, flags, &options);
    std::unique_ptr<wmfAPI, ApiDestroy> api(raw);
    if (created != wmf_E_None || !api) {
        return helper::kExitRefused;
    }
    wmf_status_function(api.get(), const_cast<loading::Deadline*>(&deadline), onStatus);
    if (wmf_mem_open(api.get(), stream.data(), long(stream.size())) != wmf_E_None) {
        return helper::kExitRefused;
    }
    wmfD_Rect box{};
    if (wmf_scan(api.get(), 0, &box) != wmf_E_None) {
        return helper::kExitRefused;
    }
    // The whole viewport becomes the picture, whatever part of it is drawn on.
    box.TL = {0.0f, 0.0f};
    box.BR = {float(width), float(height)};
    wmf_gd_t* device = WMF_GD_GetData(api.get());
    device->type = wmf_gd_image;
    device->width = unsigned(width);
    device->height = unsigned(height);
    device->bbox = box;
    const wmf_error_t played = wmf_play(api.get(), 0, &box);
    drawnPicture = device->gd_image;
    if (deadline.passed()) {
        return helper::kExitTooLong;
    }
    const int* pixels = played == wmf_E_None && drawnPicture ? wmf_gd_image_pixels(drawnPicture) : nullptr;
    if (pixels == nullptr) {
        return helper::kExitRefused;
    }
    // GD keeps 0x7FRRGGBB per int (7 bits of alpha on top): the low three bytes are ours.
    const std::size_t count = std::size_t(width) * std::size_t(height);
    bgrx.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned v = unsigned(pixels[i]);
        bgrx[i * 4] = std::uint8_t(v);
        bgrx[i * 4 + 1] = std::uint8_t(v >> 8);
        bgrx[i * 4 + 2] = std::uint8_t(v >> 16);
        bgrx[i * 4 + 3] = 0;
    }
    return helper::kExitDrawn;
}

// Moves `size` bytes between `data` and the descriptor from offset 0 with pread or pwrite.
template <typename Io, typename Byte>
bool moveAll(Io io, int fd, Byte* data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = io(fd, data + done, size - done, off_t(done));
        if (n <= 0) {
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

bool readAll(int fd, std::vector<std::uint8_t>& bytes)
{
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size < 18 || std::uint64_t(info.st_size) > loading::kMaxFileBytes * 2) {
        return false;
    }
    bytes.resize(std::size_t(info.st_size));
    return moveAll(pread, fd, bytes.data(), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        return helper::kExitRefused;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const int limitMs = std::atoi(argv[3]);
    if (!loading::checkPictureSize(width, height).ok() || limitMs <= 0) {
        return helper::kExitRefused;
    }
    const loading::Deadline deadline(limitMs);
    std::vector<std::uint8_t> cleaned;
    if (!readAll(helper::kMetafileFd, cleaned)) {
        return helper::kExitRefused;
    }
    std::vector<std::uint8_t> stream = streamForLibwmf(cleaned, width, height);
    std::vector<std::uint8_t> pixels;
    const int drawn = render(stream, width, height, deadline, pixels);
    if (drawn != helper::kExitDrawn) {
        return drawn;
    }
    return moveAll(pwrite, helper::kPixelsFd, pixels.data(), pixels.size()) ? helper::kExitDrawn : helper::kExitRefused;
}
