// Fuzz entry for the Linux TIFF decoder: any bytes must give a picture or a reason.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"
#include "tests/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)velmora::fuzz::checkDecoder(data, size, velmora::decode::decodeTiff, velmora::decode::tiffSize);
    // The walk to the orientation record, which every platform runs on these files.
    const int orientation = velmora::loading::pictureOrientation(velmora::loading::PictureFormat::Tiff, data, size);
    if (orientation < 1 || orientation > 8) {
        std::abort();
    }
    return 0;
}
