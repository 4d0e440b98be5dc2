// Transparency for the decoders of kinds that carry it: the show composes on black.
#include "platform/linux/loader/decoders.h"

namespace velmora::decode {

void layOnBlack(Picture& picture)
{
    std::uint8_t* p = picture.data();
    for (std::size_t i = 0; i < picture.byteCount(); i += 4) {
        const unsigned alpha = p[i + 3];
        if (alpha != 255) {
            // Rounded to nearest: a channel times alpha over 255.
            for (std::size_t c = 0; c < 3; ++c) {
                const unsigned v = p[i + c] * alpha + 128;
                p[i + c] = std::uint8_t((v + (v >> 8)) >> 8);
            }
        }
        p[i + 3] = 0;
    }
}

void clearReservedBytes(Picture& picture)
{
    std::uint8_t* p = picture.data();
    for (std::size_t i = 3; i < picture.byteCount(); i += 4) {
        p[i] = 0;
    }
}

} // namespace velmora::decode
