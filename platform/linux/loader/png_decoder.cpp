// PNG through libpng: every colour type and depth expanded to 8-bit BGRA (16-bit scaled down,
// palette and transparency expanded), interlaced files through libpng's passes, alpha laid on
// black. libpng offers no reduced decode; the time limit is checked between rows.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

namespace velmora::decode {
namespace {

// libpng reports fatal errors through a handler that must not return: jump back to the
// decoder. Everything between setjmp and the jump is C or plain data, so nothing leaks.
struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemoryInput input;
    std::jmp_buf jump{};
    char reason[160] = {};

    PngSession() = default;
    PngSession(const PngSession&) = delete;
    PngSession& operator=(const PngSession&) = delete;
    ~PngSession()
    {
        if (png != nullptr) {
            png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        }
    }
};

[[noreturn]] void stopDecode(PngSession* s, const char* why)
{
    std::snprintf(s->reason, sizeof s->reason, "PNG: %s", why);
    std::longjmp(s->jump, 1);
}

[[noreturn]] void onError(png_structp png, png_const_charp message)
{
    stopDecode(static_cast<PngSession*>(png_get_error_ptr(png)), message);
}

void onWarning(png_structp, png_const_charp) {} // keep what decodes

void readInput(png_structp png, png_bytep out, png_size_t count)
{
    auto* s = static_cast<PngSession*>(png_get_io_ptr(png));
    if (s->input.read(out, count) != count) {
        stopDecode(s, "file is cut short");
    }
}

// Opens the session and reads the header; false (with s.reason) when that fails.
bool readHeader(PngSession& s, const std::uint8_t* data, std::size_t size)
{
    s.input = {data, size};
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, onError, onWarning);
    if (s.png == nullptr) {
        std::snprintf(s.reason, sizeof s.reason, "out of memory");
        return false;
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) {
        std::snprintf(s.reason, sizeof s.reason, "out of memory");
        return false;
    }
    png_set_read_fn(s.png, &s, readInput);
    // The size limits are the loader's; text and other chunks are kept small as well.
    png_set_user_limits(s.png, loading::kMaxSide, loading::kMaxSide);
    png_set_chunk_cache_max(s.png, 1000);
    png_set_chunk_malloc_max(s.png, 8u << 20);
    png_read_info(s.png, s.info);
    return true;
}

bool runDecode(PngSession& s, const std::uint8_t* data, std::size_t size, const loading::Deadline& deadline,
               Picture& picture)
{
    if (setjmp(s.jump) != 0) {
        return false;
    }
    if (!readHeader(s, data, size)) {
        return false;
    }
    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    if (Result<void> fits = loading::checkPictureSize(width, height); !fits.ok()) {
        std::snprintf(s.reason, sizeof s.reason, "%s", fits.reason().text.c_str());
        return false;
    }
    png_set_expand(s.png);   // palette to RGB, small greys to 8 bits, transparency to alpha
    png_set_scale_16(s.png); // 16-bit samples rounded to 8
    png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER); // opaque when the file has no alpha
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != png_size_t(width) * 4) {
        stopDecode(&s, "colour layout not supported");
    }
    picture.resize(int(width), int(height));
    const std::size_t stride = std::size_t(width) * 4;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (y % 64 == 0 && deadline.passed()) {
                stopDecode(&s, "took too long to decode");
            }
            png_read_row(s.png, picture.data() + stride * y, nullptr);
        }
    }
    layOnBlack(picture);
    return true;
}

} // namespace

Result<LoadedPicture> decodePng(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const loading::Deadline deadline(request.timeLimitMs);
    PngSession session;
    LoadedPicture result;
    if (!runDecode(session, data, size, deadline, result.picture)) {
        return Reason{session.reason};
    }
    result.ownSize = {result.picture.width(), result.picture.height()};
    return result;
}

Result<PictureSize> pngSize(const std::uint8_t* data, std::size_t size)
{
    PngSession s;
    volatile bool read = false;
    if (setjmp(s.jump) == 0) {
        read = readHeader(s, data, size);
    }
    if (!read) {
        return Reason{s.reason};
    }
    return checkedSize(png_get_image_width(s.png, s.info), png_get_image_height(s.png, s.info));
}

} // namespace velmora::decode
