// Fuzz entry for the Linux HEIC, HEIF and AVIF decoder: any bytes must give a picture or a reason.
#include "platform/linux/loader/decoders.h"
#include "tests/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)velmora::fuzz::checkDecoder(data, size, velmora::decode::decodeHeif, velmora::decode::heifSize);
    return 0;
}
