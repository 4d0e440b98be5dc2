// The picture loader of the platform the program was built for (WIC and GDI on Windows,
// libjpeg-turbo, giflib, SDL2 and libwmf on Linux). Link velmora_loader to get it.
#pragma once

#include "show/decoding_loader.h"
#include "show/picture_loader.h"

#include <cstdint>
#include <memory>
#include <span>

namespace velmora {

std::unique_ptr<PictureLoader> createPlatformPictureLoader();
// The same decoders on their own, for a caller that has read the file itself.
std::unique_ptr<loading::PictureDecoders> createPlatformDecoders();

// The same decoders for a picture already in memory (a resource built into the program):
// what load() gives for a file with these bytes.
Result<LoadedPicture> decodePlatformPicture(std::span<const std::uint8_t> bytes, const LoadRequest& request);

} // namespace velmora
