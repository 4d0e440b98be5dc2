// The orientation tag of a JPEG's EXIF block through libexif; anything unreadable is 1.
#include "platform/linux/loader/decoders.h"

#include <libexif/exif-data.h>

namespace velmora::decode {

int exifOrientation(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size < 6 || size > 0xFFFF) {
        return 1;
    }
    ExifData* exif = exif_data_new();
    if (exif == nullptr) {
        return 1;
    }
    // Only the tags are wanted: leave the block as found instead of "fixing" it.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, data, static_cast<unsigned int>(size));
    int orientation = 1;
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 &&
        entry->data != nullptr && entry->size >= 2) {
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif));
        if (value >= 1 && value <= 8) {
            orientation = value;
        }
    }
    exif_data_unref(exif);
    return orientation;
}

} // namespace velmora::decode
