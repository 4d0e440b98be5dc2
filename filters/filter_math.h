// Arithmetic shared by the filter procedures: the 32-bit Long range, the conversion to a Long
// (rounded as everywhere, startup/rounding.h), and the clamp to a channel byte.
#pragma once

#include "filters/engine.h"
#include "startup/rounding.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora::filters {

constexpr bool fitsLong(std::int64_t v)
{
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// A conversion of a floating-point value to a Long; false when the result leaves 32 bits
// (or v is not a number), where the conversion overflows.
inline bool toLong(double v, std::int32_t& out)
{
    const std::optional<std::int32_t> r = roundToInt32(v);
    if (!r) {
        return false;
    }
    out = *r;
    return true;
}

constexpr std::uint8_t clampByte(std::int32_t v) { return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Channels 1..3 of a pixel become 255 (white) or 0, channel 4 keeps its byte; written as one
// word, so that loops over pixels vectorise.
inline void storeTone(std::uint8_t* pixel, bool white)
{
    std::uint32_t v;
    std::memcpy(&v, pixel, 4);
    v = (v & 0xFF000000u) | ((0u - std::uint32_t(white)) & 0x00FFFFFFu);
    std::memcpy(pixel, &v, 4);
}

// storeTone for `count` pixels of `out`, white where white[x] is nonzero, channel 4 taken from
// the same pixels of `in` (which may be `out`): the picture's own copy, read just before, is in
// the cache where the output often is not, and a store does not wait as a load does. Sixteen
// pixels a step with SSE2 (a loop over a flag from another array does not vectorise by itself).
inline void storeTones(std::uint8_t* out, const std::uint8_t* in, const std::uint8_t* white, std::ptrdiff_t count)
{
    std::ptrdiff_t x = 0;
#if defined(__SSE2__)
    const __m128i reserved = _mm_set1_epi32(int(0xFF000000u));
    const __m128i channels = _mm_set1_epi32(0x00FFFFFF);
    for (; x + 16 <= count; x += 16) {
        const __m128i black = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(white + x)),
                                             _mm_setzero_si128());
        const __m128i low = _mm_unpacklo_epi8(black, black);
        const __m128i high = _mm_unpackhi_epi8(black, black);
        const __m128i blackWords[4] = {_mm_unpacklo_epi16(low, low), _mm_unpackhi_epi16(low, low),
                                       _mm_unpacklo_epi16(high, high), _mm_unpackhi_epi16(high, high)};
        for (std::ptrdiff_t k = 0; k < 4; ++k) {
            const std::ptrdiff_t at = 4 * (x + 4 * k);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at),
                             _mm_or_si128(_mm_and_si128(v, reserved), _mm_andnot_si128(blackWords[k], channels)));
        }
    }
#endif
    for (; x < count; ++x) {
        std::memcpy(out + 4 * x, in + 4 * x, 4);
        storeTone(out + 4 * x, white[x] != 0);
    }
}

// Gray_Tbl's grey level s \ 3 of a blue + green + red sum s (0..765), without a table load:
// a 16-bit high product, so that loops over pixels vectorise.
constexpr std::uint32_t greyOfSum(std::uint32_t s)
{
    return std::uint16_t((std::uint32_t(std::uint16_t(s)) * 21846u) >> 16);
}
static_assert([] {
    for (std::uint32_t s = 0; s <= 765; ++s) {
        if (greyOfSum(s) != s / 3) {
            return false;
        }
    }
    return true;
}());

// The blue + green + red sum of a pixel read as one little-endian word.
constexpr std::uint32_t channelSum(std::uint32_t v) { return (v & 0xFF) + (v >> 8 & 0xFF) + (v >> 16 & 0xFF); }

inline std::uint32_t loadWord(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The grey level of each of `count` pixels (4 bytes each) into `grey`.
inline void greyRow(const std::uint8_t* pixels, std::ptrdiff_t count, std::uint8_t* grey)
{
    std::ptrdiff_t x = 0;
#if defined(__SSE2__)
    // Eight pixels a step: blue + red and green side by side in 16-bit lanes, their pairs summed
    // by one multiply-add, and the sum's third as greyOfSum's high product.
    const __m128i lowBytes = _mm_set1_epi32(0x00FF00FF);
    const __m128i greenByte = _mm_set1_epi32(0xFF);
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i third = _mm_set1_epi16(21846);
    const auto sums = [&](const std::uint8_t* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i pairs = _mm_add_epi16(_mm_and_si128(v, lowBytes), _mm_and_si128(_mm_srli_epi32(v, 8), greenByte));
        return _mm_madd_epi16(pairs, ones);
    };
    for (; x + 8 <= count; x += 8) {
        const __m128i s = _mm_packs_epi32(sums(pixels + 4 * x), sums(pixels + 4 * x + 16));
        const __m128i g = _mm_mulhi_epu16(s, third);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(g, g));
    }
#endif
    for (; x < count; ++x) {
        grey[x] = std::uint8_t(greyOfSum(channelSum(loadWord(pixels + 4 * x))));
    }
}

// The mean grey level s \ 3 over every pixel of Pix_Orgn, truncated; 0 for no pixels. Summed
// in 64 bits: 32 bits overflow above about 8.4 million pixels.
inline std::int64_t meanGrayLevel(const FilterEngine& e)
{
    const std::int64_t count = std::int64_t(e.W) * std::int64_t(e.H);
    if (count == 0) {
        return 0;
    }
    std::vector<std::uint8_t> grey(std::size_t(e.W));
    std::int64_t sum = 0;
    for (int y = 1; y <= e.H; ++y) {
        greyRow(e.Pix_Orgn.row(y), e.W, grey.data());
        std::ptrdiff_t x = 0;
#if defined(__SSE2__)
        __m128i sums = _mm_setzero_si128(); // two 64-bit sums of sixteen bytes at a time
        for (; x + 16 <= e.W; x += 16) {
            const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey.data() + x));
            sums = _mm_add_epi64(sums, _mm_sad_epu8(g, _mm_setzero_si128()));
        }
        sum += _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
#endif
        for (; x < e.W; ++x) {
            sum += grey[std::size_t(x)];
        }
    }
    return sum / count;
}

} // namespace velmora::filters
