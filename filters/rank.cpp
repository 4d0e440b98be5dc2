// Filter types 25 to 27: 3x3 rank filters (maximum, minimum, pixel minus minimum), each
// channel by itself. Edges: the outermost row and column on every side keep the picture.
#include "filters/filter_procs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora::filters {

namespace {

enum class Rank { Max, Min, EdgeMin };

// One output byte from the neighbourhood extreme m and the pixel's own value.
template <Rank R>
std::uint8_t rankResult(std::uint8_t m, std::uint8_t own)
{
    if constexpr (R == Rank::EdgeMin) {
        return std::uint8_t(own - m); // own is part of its neighbourhood, so own >= m
    } else {
        (void)own;
        return m;
    }
}

template <Rank R>
std::uint8_t pick(std::uint8_t a, std::uint8_t b)
{
    if constexpr (R == Rank::Max) {
        return std::max(a, b);
    } else {
        return std::min(a, b);
    }
}

#if defined(__SSE2__)
template <Rank R>
__m128i pick(__m128i a, __m128i b)
{
    if constexpr (R == Rank::Max) {
        return _mm_max_epu8(a, b);
    } else {
        return _mm_min_epu8(a, b);
    }
}

__m128i load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

// Writes row y (2..H-1) of Pix_Work. The bytes of a row are worked as lanes: lane i is one
// channel of one pixel, and its horizontal neighbours are lanes i - 4 and i + 4.
template <Rank R>
void rankRow(FilterEngine& e, int y)
{
    const std::uint8_t* above = e.Pix_Orgn.at(1, y - 1);
    const std::uint8_t* here = e.Pix_Orgn.at(1, y);
    const std::uint8_t* below = e.Pix_Orgn.at(1, y + 1);
    std::uint8_t* out = e.Pix_Work.at(1, y);
    const std::ptrdiff_t end = 4 * std::ptrdiff_t(e.W - 1); // lanes of columns 2..W-1 are 4 .. end-1
    std::ptrdiff_t i = 4;
#if defined(__SSE2__)
    const __m128i keepReserved = _mm_set1_epi32(std::int32_t(0xFF000000u));
    for (; i + 16 <= end; i += 16) {
        __m128i m = pick<R>(pick<R>(load(above + i - 4), load(above + i)), load(above + i + 4));
        m = pick<R>(m, pick<R>(pick<R>(load(here + i - 4), load(here + i)), load(here + i + 4)));
        m = pick<R>(m, pick<R>(pick<R>(load(below + i - 4), load(below + i)), load(below + i + 4)));
        const __m128i own = load(out + i);
        __m128i result = m;
        if constexpr (R == Rank::EdgeMin) {
            result = _mm_subs_epu8(own, m);
        }
        result = _mm_or_si128(_mm_andnot_si128(keepReserved, result), _mm_and_si128(keepReserved, own));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), result);
    }
#endif
    for (; i < end; ++i) {
        if ((i & 3) == 3) {
            continue; // channel 4 is never touched
        }
        std::uint8_t m = above[i - 4];
        for (const std::uint8_t* row : {above, here, below}) {
            m = pick<R>(pick<R>(m, row[i - 4]), pick<R>(row[i], row[i + 4]));
        }
        out[i] = rankResult<R>(m, out[i]);
    }
}

template <Rank R>
Result<void> rankFilter(FilterEngine& e)
{
    for (int y = 2; y <= e.H - 1; ++y) {
        if (e.W >= 3) {
            rankRow<R>(e, y);
        }
        e.yieldRow();
    }
    return {};
}

} // namespace

Result<void> Fil_Max_3x3(FilterEngine& e) { return rankFilter<Rank::Max>(e); }
Result<void> Fil_Min_3x3(FilterEngine& e) { return rankFilter<Rank::Min>(e); }
Result<void> Fil_Edge_Min(FilterEngine& e) { return rankFilter<Rank::EdgeMin>(e); }

} // namespace velmora::filters
