// Fuzz entry for the Linux WMF decoder: any bytes must give a picture or a reason. libwmf
// draws in the helper program velmora-wmf; a fault there (the sanitizers report it) is a finding here.
#include "platform/linux/loader/decoders.h"
#include "tests/fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const velmora::Result<velmora::LoadedPicture> r =
        velmora::fuzz::checkDecoder(data, size, velmora::decode::decodeWmf, velmora::decode::wmfSize);
    if (!r.ok() && reasonText(r) == velmora::decode::kRendererCrashed) {
        std::abort();
    }
    return 0;
}
