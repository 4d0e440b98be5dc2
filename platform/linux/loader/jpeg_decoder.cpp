// JPEG through libjpeg-turbo: DCT scaling for reduced decodes, a scan-count and time limit
// through the progress hook, and for a progressive file asked for it a coarse picture from its
// first scans before the whole decode. The picture comes as stored; the front end turns it
// upright.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <jpeglib.h>

namespace velmora::decode {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back to the
// decoder. Everything between setjmp and the jump is C or plain data, so nothing leaks.
struct JpegSession {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errorManager{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    char reason[JMSG_LENGTH_MAX + 16] = {};
    const loading::Deadline* deadline = nullptr;
    bool created = false;

    JpegSession() = default;
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;
    ~JpegSession()
    {
        if (created) {
            jpeg_destroy_decompress(&info);
        }
    }
};

JpegSession* sessionOf(j_common_ptr info) { return static_cast<JpegSession*>(info->client_data); }

[[noreturn]] void stopDecode(JpegSession* s, const char* why)
{
    std::snprintf(s->reason, sizeof s->reason, "%s", why);
    std::longjmp(s->jump, 1);
}

[[noreturn]] void onError(j_common_ptr info)
{
    JpegSession* s = sessionOf(info);
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    stopDecode(s, message);
}

void onMessage(j_common_ptr, int) {} // warnings about corrupt data: keep what decodes

void onProgress(j_common_ptr info)
{
    JpegSession* s = sessionOf(info);
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > loading::kMaxJpegScans) {
        stopDecode(s, "JPEG has too many scans");
    }
    if (s->deadline != nullptr && s->deadline->passed()) {
        stopDecode(s, "JPEG took too long to decode");
    }
}

void setUp(JpegSession& s, const std::uint8_t* data, std::size_t size)
{
    s.info.err = jpeg_std_error(&s.errorManager);
    s.errorManager.error_exit = onError;
    s.errorManager.emit_message = onMessage;
    s.info.client_data = &s;
    jpeg_create_decompress(&s.info);
    s.created = true;
    s.progress.progress_monitor = onProgress;
    s.info.progress = &s.progress;
    // The limits allow 100 megapixels; a progressive file keeps its coefficients in memory.
    s.info.mem->max_memory_to_use = 1200L * 1024 * 1024;
    jpeg_mem_src(&s.info, data, static_cast<unsigned long>(size));
}

// The smallest of the scale factors 1/8 .. 8/8 whose output still reaches `need`.
int scaleNumerator(int width, int height, PictureSize need)
{
    for (int num = 1; num < 8; ++num) {
        const long long w = (static_cast<long long>(width) * num + 7) / 8;
        const long long h = (static_cast<long long>(height) * num + 7) / 8;
        if (w >= need.width && h >= need.height) {
            return num;
        }
    }
    return 8;
}

void cmykToBgrx(std::uint8_t* row, int width, bool inverted)
{
    for (int x = 0; x < width; ++x) {
        std::uint8_t* p = row + std::size_t(x) * 4;
        int c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        p[0] = std::uint8_t(y * k / 255);
        p[1] = std::uint8_t(m * k / 255);
        p[2] = std::uint8_t(c * k / 255);
        p[3] = 0;
    }
}

// Asks libjpeg for BGRX, or CMYK (made BGRX by readRows); returns whether it is CMYK.
bool askOutputColour(JpegSession& s)
{
    const bool cmyk = s.info.jpeg_color_space == JCS_CMYK || s.info.jpeg_color_space == JCS_YCCK;
    s.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    return cmyk;
}

// The output pass begun by jpeg_start_decompress or jpeg_start_output, read into `picture`.
void readRows(JpegSession& s, Picture& picture, bool cmyk)
{
    if (s.info.output_components != 4) {
        stopDecode(&s, "JPEG colour layout not supported");
    }
    picture.resize(int(s.info.output_width), int(s.info.output_height));
    const std::size_t stride = std::size_t(picture.width()) * 4;
    while (s.info.output_scanline < s.info.output_height) {
        JSAMPROW row = picture.data() + stride * s.info.output_scanline;
        if (jpeg_read_scanlines(&s.info, &row, 1) != 1) {
            break; // suspended: no more data, the rest stays as libjpeg left it
        }
        if (cmyk) {
            cmykToBgrx(row, picture.width(), s.info.saw_Adobe_marker);
        }
        // libjpeg-turbo's BGRX fills the fourth byte with 0xFF; the picture's reserved byte is 0.
        for (std::size_t i = 3; i < stride; i += 4) {
            row[i] = 0;
        }
    }
}

// Whether a scan has begun that gives every component its DC term (its mean colour).
bool everyDcKnown(const jpeg_decompress_struct& info)
{
    if (info.coef_bits == nullptr) {
        return false;
    }
    for (int c = 0; c < info.num_components; ++c) {
        if (info.coef_bits[c][0] < 0) {
            return false;
        }
    }
    return true;
}

// A progressive file's coarse picture: its scans up to the one that gives every component its
// DC term, put out at 1/8 scale (one pixel a block) by libjpeg's buffered-image mode. Output
// scaling is fixed for all of a decode's passes, so the whole picture is decoded afresh after
// this. Returns false on any libjpeg error (s.reason set) or when the DC terms never come.
bool runCoarse(JpegSession& s, const std::uint8_t* data, std::size_t size, Picture& picture)
{
    if (setjmp(s.jump) != 0) {
        return false;
    }
    setUp(s, data, size);
    jpeg_read_header(&s.info, TRUE);
    s.info.scale_num = 1;
    s.info.scale_denom = 8;
    s.info.buffered_image = TRUE;
    s.info.do_block_smoothing = FALSE; // one pixel a block: only the DC term is used
    const bool cmyk = askOutputColour(s);
    jpeg_start_decompress(&s.info);
    while (!everyDcKnown(s.info)) {
        const int got = jpeg_consume_input(&s.info);
        if (got == JPEG_REACHED_EOI || got == JPEG_SUSPENDED) {
            return false;
        }
    }
    // The output pass reads that scan as far as it needs; the scans after it are not read.
    jpeg_start_output(&s.info, s.info.input_scan_number);
    readRows(s, picture, cmyk);
    return true;
}

// Hands `coarse` a progressive file's coarse picture. Its coefficients are freed before the
// whole decode takes its own; a failure here only means no coarse picture.
void offerCoarse(const std::uint8_t* data, std::size_t size, PictureSize stored, const loading::Deadline* deadline,
                 const std::function<void(LoadedPicture)>& coarse)
{
    LoadedPicture result;
    {
        JpegSession session;
        session.deadline = deadline;
        if (!runCoarse(session, data, size, result.picture)) {
            return;
        }
    }
    result.ownSize = stored;
    coarse(std::move(result));
}

// Runs the decode; on a libjpeg error it returns false with s.reason set.
bool runDecode(JpegSession& s, const std::uint8_t* data, std::size_t size, const LoadRequest& request,
               Picture& picture, PictureSize& ownSize)
{
    if (setjmp(s.jump) != 0) {
        return false;
    }
    setUp(s, data, size);
    jpeg_read_header(&s.info, TRUE);
    if (Result<void> fits = loading::checkPictureSize(s.info.image_width, s.info.image_height); !fits.ok()) {
        std::snprintf(s.reason, sizeof s.reason, "%s", fits.reason().text.c_str());
        return false;
    }
    const PictureSize stored{int(s.info.image_width), int(s.info.image_height)};
    ownSize = stored;
    if (request.coarse && s.info.progressive_mode) {
        offerCoarse(data, size, stored, s.deadline, request.coarse);
    }
    const PictureSize need = loading::neededSize(stored, request);
    s.info.scale_num = unsigned(scaleNumerator(stored.width, stored.height, need));
    s.info.scale_denom = 8;
    const bool cmyk = askOutputColour(s);
    jpeg_start_decompress(&s.info);
    readRows(s, picture, cmyk);
    return true;
}

} // namespace

Result<LoadedPicture> decodeJpeg(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const loading::Deadline deadline(request.timeLimitMs);
    JpegSession session;
    session.deadline = &deadline;
    LoadedPicture result;
    if (!runDecode(session, data, size, request, result.picture, result.ownSize)) {
        return Reason{session.reason};
    }
    return result;
}

Result<PictureSize> jpegSize(const std::uint8_t* data, std::size_t size)
{
    JpegSession s;
    volatile bool readHeader = false;
    if (setjmp(s.jump) == 0) {
        setUp(s, data, size);
        jpeg_read_header(&s.info, TRUE);
        readHeader = true;
    }
    if (!readHeader) {
        return Reason{s.reason};
    }
    if (Result<void> checked = loading::checkPictureSize(s.info.image_width, s.info.image_height); !checked.ok()) {
        return checked.reason();
    }
    return PictureSize{int(s.info.image_width), int(s.info.image_height)};
}

} // namespace velmora::decode
