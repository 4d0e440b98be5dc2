// Bit-field BMPs (16 or 32 bits a pixel, any valid colour masks) decoded by our own code, for
// systems whose decoder mishandles masks other than the common few.
#pragma once

#include "filters/picture.h"
#include "show/picture_headers.h"

#include <cstddef>
#include <cstdint>

namespace velmora::loading {

// `header` must come from readBmpHeader on the same bytes and be a bit-field file: its masks
// are valid and its rows are in the file. Each channel is scaled to 8 bits; a missing one is 0.
Picture decodeBitFieldBmp(const std::uint8_t* data, std::size_t size, const BmpHeader& header);

} // namespace velmora::loading
