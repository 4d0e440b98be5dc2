// WebP through libwebp: lossy and lossless, scaled by the decoder itself to the request's box
// (a reduced decode), alpha premultiplied so that it lies on black. An animation shows its
// first frame placed on its canvas, as a GIF does.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <webp/decode.h>
#include <webp/demux.h>

namespace velmora::decode {
namespace {

const char* statusReason(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "WebP: file is cut short";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "WebP: feature not supported";
    default: return "WebP: picture data is broken";
    }
}

// The smallest size, in the picture's proportions, that covers `need`.
PictureSize coveringSize(PictureSize stored, PictureSize need)
{
    const double scale = std::max(double(need.width) / stored.width, double(need.height) / stored.height);
    return {std::clamp(int(std::ceil(stored.width * scale)), 1, stored.width),
            std::clamp(int(std::ceil(stored.height * scale)), 1, stored.height)};
}

// Decodes a still bitstream (a whole file or one frame's) into `out` at `outSize`.
VP8StatusCode decodeInto(const std::uint8_t* data, std::size_t size, PictureSize stored, PictureSize outSize,
                         Picture& out)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        return VP8_STATUS_INVALID_PARAM;
    }
    out.resize(outSize.width, outSize.height);
    if (outSize != stored) {
        config.options.use_scaling = 1;
        config.options.scaled_width = outSize.width;
        config.options.scaled_height = outSize.height;
    }
    config.output.colorspace = MODE_bgrA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.data();
    config.output.u.RGBA.stride = outSize.width * 4;
    config.output.u.RGBA.size = out.byteCount();
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    return status;
}

struct DemuxDelete {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

// An animation's first frame on a canvas of the animation's size, the rest black.
Result<LoadedPicture> decodeFirstFrame(const std::uint8_t* data, std::size_t size)
{
    const WebPData whole{data, size};
    std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&whole));
    if (!demux) {
        return Reason{"WebP: animation is broken"};
    }
    const PictureSize canvas{int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH)),
                             int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT))};
    if (Result<void> checked = loading::checkPictureSize(canvas.width, canvas.height); !checked.ok()) {
        return checked.reason();
    }
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) {
        return Reason{"WebP: animation has no frame"};
    }
    struct Release {
        WebPIterator* it;
        ~Release() { WebPDemuxReleaseIterator(it); }
    } release{&frame};
    const PictureSize frameSize{frame.width, frame.height};
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.x_offset + frame.width > canvas.width ||
        frame.y_offset + frame.height > canvas.height) {
        return Reason{"WebP: frame lies outside its canvas"};
    }
    Picture decoded;
    if (const VP8StatusCode status =
            decodeInto(frame.fragment.bytes, frame.fragment.size, frameSize, frameSize, decoded);
        status != VP8_STATUS_OK) {
        return Reason{statusReason(status)};
    }
    LoadedPicture result;
    result.picture.resize(canvas.width, canvas.height);
    for (int y = 0; y < frameSize.height; ++y) {
        std::copy_n(decoded.pixel(0, y), std::size_t(frameSize.width) * 4,
                    result.picture.pixel(frame.x_offset, frame.y_offset + y));
    }
    result.ownSize = canvas;
    return result;
}

} // namespace

Result<LoadedPicture> decodeWebp(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    WebPBitstreamFeatures features;
    if (const VP8StatusCode status = WebPGetFeatures(data, size, &features); status != VP8_STATUS_OK) {
        return Reason{statusReason(status)};
    }
    LoadedPicture result;
    if (features.has_animation) {
        Result<LoadedPicture> first = decodeFirstFrame(data, size);
        if (!first.ok()) {
            return first;
        }
        result = std::move(first.value());
    } else {
        const PictureSize stored{features.width, features.height};
        if (Result<void> checked = loading::checkPictureSize(stored.width, stored.height); !checked.ok()) {
            return checked.reason();
        }
        const PictureSize outSize = coveringSize(stored, loading::neededSize(stored, request));
        if (const VP8StatusCode status = decodeInto(data, size, stored, outSize, result.picture);
            status != VP8_STATUS_OK) {
            return Reason{statusReason(status)};
        }
        result.ownSize = stored;
    }
    clearReservedBytes(result.picture);
    return result;
}

Result<PictureSize> webpSize(const std::uint8_t* data, std::size_t size)
{
    WebPBitstreamFeatures features;
    if (const VP8StatusCode status = WebPGetFeatures(data, size, &features); status != VP8_STATUS_OK) {
        return Reason{statusReason(status)};
    }
    PictureSize stored{features.width, features.height};
    if (features.has_animation) {
        const WebPData whole{data, size};
        std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&whole));
        if (!demux) {
            return Reason{"WebP: animation is broken"};
        }
        stored = {int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH)),
                  int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT))};
    }
    return checkedSize(stored.width, stored.height);
}

} // namespace velmora::decode
