// Fuzz entry for the Linux BMP decoder: any bytes must give a picture or a reason.
#include "platform/linux/loader/decoders.h"
#include "tests/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)velmora::fuzz::checkDecoder(data, size, velmora::decode::decodeBmp, velmora::decode::bmpSize);
    return 0;
}
