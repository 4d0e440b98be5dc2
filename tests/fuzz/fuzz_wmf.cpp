// Fuzz entry for the Linux WMF decoder: any bytes must give a picture or a reason. libwmf
// draws in a child process; a fault there (the sanitizers report it) is a finding here.
#include "platform/linux/loader/decoders.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    velmora::LoadRequest request;
    request.timeLimitMs = 3000;
    // Every other input asks for a reduced decode, so the scaled paths are covered too.
    if (size % 2 == 1) {
        request.fitWidth = 16;
        request.fitHeight = 12;
    }
    const velmora::LoadResult r = velmora::decode::decodeWmf(data, size, request);
    if (r.ok && (r.picture.empty() || r.ownSize.width <= 0)) {
        std::abort(); // success must come with pixels
    }
    if (!r.ok && r.error == velmora::decode::kRendererCrashed) {
        std::abort();
    }
    if (!r.ok && r.error.empty()) {
        std::abort(); // failure must say why
    }
    const velmora::SizeResult s = velmora::decode::wmfSize(data, size);
    if (s.ok && r.ok && s.size != r.ownSize) {
        std::abort(); // the size query and the decode agree
    }
    return 0;
}
