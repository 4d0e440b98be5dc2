// Filter types 19 and 20: pure black and white, by sharpened threshold with a carried
// remainder (Fil_Mono_Sharp) and by ordered 4x4 dither (Fil_Mono_Bayer).
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velmora::filters {

namespace {

// Channels 1..3 of one pixel all become `tone`; channel 4 keeps its byte.
void writeTone(std::uint8_t* pixel, std::uint8_t tone)
{
    pixel[0] = tone;
    pixel[1] = tone;
    pixel[2] = tone;
}

} // namespace

FilterResult Fil_Mono_Sharp(FilterEngine& e)
{
    const int W = e.W;
    const int H = e.H;
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }

    const std::int64_t mean = meanGrayLevel(e);
    e.yieldRow();

    // One carry for the whole picture: a row's last remainder goes on to the next row's first pixel.
    std::int32_t carry = 0;
    for (int y = 1; y <= H; ++y) {
        const std::uint8_t* here = e.Pix_Orgn.at(1, y);
        std::uint8_t* out = e.Pix_Work.at(1, y);
        const bool borderRow = y == 1 || y == H;
        const std::uint8_t* above = borderRow ? here : e.Pix_Orgn.at(1, y - 1);
        const std::uint8_t* below = borderRow ? here : e.Pix_Orgn.at(1, y + 1);
        for (std::ptrdiff_t x = 1; x <= W; ++x) {
            const std::ptrdiff_t i = 4 * (x - 1);
            std::int32_t bgr[3];
            if (borderRow || x == 1 || x == W) {
                bgr[0] = here[i];
                bgr[1] = here[i + 1];
                bgr[2] = here[i + 2];
            } else {
                for (int c = 0; c < 3; ++c) {
                    const std::int32_t s = above[i + c - 4] + above[i + c] + above[i + c + 4] + here[i + c - 4] +
                                           here[i + c + 4] + below[i + c - 4] + below[i + c] + below[i + c + 4];
                    bgr[c] = std::clamp((10 * here[i + c] - s) / 2, 0, 255);
                }
            }
            const std::int32_t level =
                std::clamp(e.Gray_Tbl[std::size_t(bgr[0] + bgr[1] + bgr[2])] + carry, 0, 255);
            const std::int32_t tone = level >= mean ? 255 : 0;
            writeTone(out + i, std::uint8_t(tone));
            carry = (level - tone) / 4;
        }
        e.yieldRow();
    }
    return FilterResult::done();
}

FilterResult Fil_Mono_Bayer(FilterEngine& e)
{
    static constexpr std::uint8_t Bayer_Tbl[4][4] = {
        {1, 13, 4, 16},
        {9, 5, 12, 8},
        {3, 15, 2, 14},
        {11, 7, 10, 6},
    };
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = (i / 3) / 16 + 1;
    }

    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* out = e.Pix_Work.at(1, y);
        const std::uint8_t* thresholds = Bayer_Tbl[(y - 1) % 4];
        for (std::ptrdiff_t x = 0; x < e.W; ++x) {
            const std::int32_t level = e.Gray_Tbl[std::size_t(src[4 * x] + src[4 * x + 1] + src[4 * x + 2])];
            writeTone(out + 4 * x, level < thresholds[x % 4] ? 0 : 255);
        }
        e.yieldRow();
    }
    return FilterResult::done();
}

} // namespace velmora::filters
