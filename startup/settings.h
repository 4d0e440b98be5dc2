// The settings globals and the picture catalogue, as plain values that the start-up code
// fills and the show, the music and the dialog read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// The picture kinds: bmp, gif, jpg, wmf (the dialog's four boxes), then "other pictures"
// (png, tif, webp, heic, avif), switched only through the settings file and options.
inline constexpr std::size_t ImageKindCount = 5;
inline constexpr std::size_t OtherPicturesKind = 4;
using ImageKindFlags = std::array<std::int16_t, ImageKindCount>;

struct Settings {
    std::int16_t ImageOrder = 0;                       // 0 sequential, other random
    std::int16_t ImageSize = 1;                        // 0 own size, other scaled to the screen
    std::int16_t FilterMode = 1;                       // 0 one effect per picture, 1 per tile
    ImageKindFlags ImageKinds{1, 1, 1, 1, 1};          // 1 = included
    std::string ImageFolder;                           // UTF-8; empty = none
    std::int16_t BgmKind = 0;                          // 0 none, 1 audio CD, 2 MP3 or WAV file
    std::int16_t BgmRepeat = 0;                        // CD track to repeat, 0 none
    std::string BgmFile;                               // UTF-8 full path
    std::int16_t Resume = 1; // 0: every show starts at the first picture; other: where the last one stopped
};

// Paths are UTF-8. Index 0 of ImageList and ShowOrder is unused, as the show counts from 1.
struct Catalogue {
    int ImageCount = 0;
    std::vector<std::string> ImageList{std::string()}; // entries 1..ImageCount, sorted
    std::vector<int> ShowOrder;                        // entries 1..ImageCount: a permutation
};

} // namespace velmora
