// Windows metafiles through libwmf's GD renderer, at the picture's own size. The file is
// first checked record by record and rebuilt from its drawing records only, the same
// stream the Windows loader plays.
#include "platform/linux/loader/decoders.h"
#include "platform/picture_loader_common.h"

#include <memory>

#include <libwmf/api.h>
#include <libwmf/gd.h>

namespace velmora::decode {
namespace {

struct ApiDestroy {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};
using Api = std::unique_ptr<wmfAPI, ApiDestroy>;

int onStatus(void* context, float)
{
    // Non-zero asks libwmf to stop playing.
    return static_cast<const loading::Deadline*>(context)->passed() ? 1 : 0;
}

} // namespace

LoadResult decodeWmf(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    const loading::Deadline deadline(request.timeLimitMs);
    loading::WmfPlan plan;
    if (std::string why = loading::planWmf(data, size, plan); !why.empty()) {
        return LoadResult::failure(why);
    }

    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* raw = nullptr;
    const wmf_error_t created = wmf_api_create(&raw, flags, &options);
    Api api(raw);
    if (created != wmf_E_None || !api) {
        return LoadResult::failure("WMF: renderer could not start");
    }
    wmf_status_function(api.get(), const_cast<loading::Deadline*>(&deadline), onStatus);
    if (wmf_mem_open(api.get(), plan.cleaned.data(), long(plan.cleaned.size())) != wmf_E_None) {
        return LoadResult::failure("WMF: cannot read the metafile");
    }
    wmfD_Rect box{};
    if (wmf_scan(api.get(), 0, &box) != wmf_E_None) {
        return LoadResult::failure("WMF: metafile is broken");
    }
    // Map the metafile's window onto the whole picture, whatever part of it is drawn on.
    box.TL.x = float(plan.windowX);
    box.TL.y = float(plan.windowY);
    box.BR.x = float(plan.windowX + plan.windowWidth);
    box.BR.y = float(plan.windowY + plan.windowHeight);
    if (box.TL.x > box.BR.x) {
        std::swap(box.TL.x, box.BR.x);
    }
    if (box.TL.y > box.BR.y) {
        std::swap(box.TL.y, box.BR.y);
    }
    wmf_gd_t* device = WMF_GD_GetData(api.get());
    device->type = wmf_gd_image;
    device->width = unsigned(plan.size.width);
    device->height = unsigned(plan.size.height);
    device->bbox = box;
    const wmf_error_t played = wmf_play(api.get(), 0, &box);
    if (deadline.passed()) {
        return LoadResult::failure("WMF took too long to draw");
    }
    if (played != wmf_E_None || device->gd_image == nullptr) {
        return LoadResult::failure("WMF: metafile could not be drawn");
    }
    const int* pixels = wmf_gd_image_pixels(device->gd_image);
    if (pixels == nullptr) {
        return LoadResult::failure("WMF: metafile could not be drawn");
    }
    LoadResult result;
    result.ownSize = plan.size;
    result.picture.resize(plan.size.width, plan.size.height);
    for (int y = 0; y < plan.size.height; ++y) {
        for (int x = 0; x < plan.size.width; ++x) {
            const unsigned v = unsigned(pixels[std::size_t(y) * std::size_t(plan.size.width) + std::size_t(x)]);
            result.picture.setPixel(x, y, std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16));
        }
    }
    result.ok = true;
    return result;
}

SizeResult wmfSize(const std::uint8_t* data, std::size_t size)
{
    loading::WmfPlan plan;
    if (std::string why = loading::planWmf(data, size, plan); !why.empty()) {
        return sizeFailure(why);
    }
    SizeResult result;
    result.ok = true;
    result.size = plan.size;
    return result;
}

} // namespace velmora::decode
