// HEIC, HEIF and AVIF through libheif (HEVC and AV1 alike), the primary image only. libheif
// applies the container's rotation and mirroring, so the picture comes upright and its EXIF
// is not read. Deeper colour comes down to 8 bits; alpha lies on black. A reduced decode takes
// the file's own thumbnail when that covers the request's box (phones store one).
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <libheif/heif.h>

namespace velmora::decode {
namespace {

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<const heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<const heif_image, ImageRelease>;

Reason reasonOf(const heif_error& error)
{
    if (error.code == heif_error_Memory_allocation_error) {
        return Reason{"out of memory"};
    }
    return Reason{std::string("HEIF: ") + (error.message != nullptr && *error.message != '\0' ? error.message : "broken file")};
}

// The file's primary image, or the reason there is none to decode.
Result<void> openPrimary(const std::uint8_t* data, std::size_t size, Context& context, Handle& primary)
{
    // Registers the built-in decoders once for the process.
    static const bool initialised = [] { return heif_init(nullptr).code == heif_error_Ok; }();
    if (!initialised) {
        return Reason{"HEIF: the decoder library did not start"};
    }
    context.reset(heif_context_alloc());
    if (!context) {
        return Reason{"out of memory"};
    }
    heif_context_set_maximum_image_size_limit(context.get(), loading::kMaxSide);
    if (heif_error e = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
        e.code != heif_error_Ok) {
        return reasonOf(e);
    }
    heif_image_handle* handle = nullptr;
    if (heif_error e = heif_context_get_primary_image_handle(context.get(), &handle); e.code != heif_error_Ok) {
        return reasonOf(e);
    }
    primary.reset(handle);
    return loading::checkPictureSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

// The smallest thumbnail that still covers `need`, if the file has one.
Handle coveringThumbnail(const heif_image_handle* primary, PictureSize need)
{
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0 || need.width <= 0) {
        return nullptr;
    }
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
    heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    Handle best;
    for (heif_item_id id : ids) {
        heif_image_handle* thumb = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &thumb).code != heif_error_Ok) {
            continue;
        }
        Handle candidate(thumb);
        const int w = heif_image_handle_get_width(thumb);
        const int h = heif_image_handle_get_height(thumb);
        if (w >= need.width && h >= need.height && loading::checkPictureSize(w, h).ok() &&
            (!best || w < heif_image_handle_get_width(best.get()))) {
            best = std::move(candidate);
        }
    }
    return best;
}

Result<void> decodeHandle(const heif_image_handle* handle, Picture& picture)
{
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options) {
        return Reason{"out of memory"};
    }
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    if (heif_error e = heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                                         alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                         options.get());
        e.code != heif_error_Ok) {
        return reasonOf(e);
    }
    const Image image(decoded);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    if (plane == nullptr || heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved) != 8 ||
        width <= 0 || height <= 0 || stride < width * channels) {
        return Reason{"HEIF: colour layout not supported"};
    }
    if (Result<void> fits = loading::checkPictureSize(width, height); !fits.ok()) {
        return fits;
    }
    picture.resize(width, height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = plane + std::size_t(stride) * std::size_t(y);
        std::uint8_t* out = picture.pixel(0, y);
        for (int x = 0; x < width; ++x, in += channels, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = alpha ? in[3] : 255;
        }
    }
    if (alpha && heif_image_handle_is_premultiplied_alpha(handle)) {
        clearReservedBytes(picture);
    } else {
        layOnBlack(picture);
    }
    return {};
}

} // namespace

Result<LoadedPicture> decodeHeif(const std::uint8_t* data, std::size_t size, const LoadRequest& request)
{
    Context context;
    Handle primary;
    if (Result<void> checked = openPrimary(data, size, context, primary); !checked.ok()) {
        return checked.reason();
    }
    LoadedPicture result;
    result.ownSize = {heif_image_handle_get_width(primary.get()), heif_image_handle_get_height(primary.get())};
    const Handle thumbnail = coveringThumbnail(primary.get(), loading::neededSize(result.ownSize, request));
    if (Result<void> decoded = decodeHandle(thumbnail ? thumbnail.get() : primary.get(), result.picture);
        !decoded.ok()) {
        return decoded.reason();
    }
    return result;
}

Result<PictureSize> heifSize(const std::uint8_t* data, std::size_t size)
{
    Context context;
    Handle primary;
    if (Result<void> checked = openPrimary(data, size, context, primary); !checked.ok()) {
        return checked.reason();
    }
    return checkedSize(heif_image_handle_get_width(primary.get()), heif_image_handle_get_height(primary.get()));
}

} // namespace velmora::decode
