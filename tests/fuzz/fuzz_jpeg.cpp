// Fuzz entry for the Linux JPEG decoder: any bytes must give a picture or a reason.
#include "platform/linux/loader/decoders.h"
#include "show/picture_formats.h"
#include "tests/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)velmora::fuzz::checkDecoder(data, size, velmora::decode::decodeJpeg, velmora::decode::jpegSize);
    // The marker walkers the Windows loader uses before WIC sees the file.
    const int orientation = velmora::loading::jpegExifOrientation(data, size);
    if (orientation < 1 || orientation > 8 || velmora::loading::countJpegScans(data, size) < 0) {
        std::abort();
    }
    return 0;
}
