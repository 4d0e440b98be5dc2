// Filter types 7 to 11 and 13: edges, reliefs and emboss from differences between
// neighbouring pixels of the source, plus a colour offset (7 to 11) or a lift of 50 (13).
// Each pixel depends on the source alone, so four pixels are worked at once with SSE2 where
// the compiler targets it; a per-pixel version does the rest of each row and the other
// targets, with the same integer arithmetic.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"

#include <cstdint>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora::filters {

namespace {

// The colour offset of types 7 to 11 per channel byte: blue, green, red, and 0 for channel 4.
struct Offset {
    std::int32_t channel[4] = {0, 0, 0, 0};

    explicit Offset(std::int32_t colour)
    {
        Split_RGB(colour, channel[2], channel[1], channel[0]);
    }
};

// The 3x3 neighbourhood of one channel value: n[(dy + 1) * 3 + (dx + 1)].
// Values stay within a few thousand, so 16-bit lanes hold them exactly.
struct EdgeLap {
    static std::int32_t value(const std::int32_t* n, std::int32_t off)
    {
        const std::int32_t s8 = n[0] + n[1] + n[2] + n[3] + n[5] + n[6] + n[7] + n[8];
        return 8 * n[4] - s8 + off;
    }
#if defined(__SSE2__)
    static __m128i value(const __m128i* n, __m128i off)
    {
        const __m128i s8 = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(n[0], n[1]), _mm_add_epi16(n[2], n[3])),
                                         _mm_add_epi16(_mm_add_epi16(n[5], n[6]), _mm_add_epi16(n[7], n[8])));
        return _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(n[4], 3), s8), off);
    }
#endif
};

// Type 9: left column minus right column; type 11 the other way round.
template <bool LeftMinusRight>
struct ReliefHorz {
    static std::int32_t value(const std::int32_t* n, std::int32_t off)
    {
        const std::int32_t d = (n[0] - n[2]) + (n[3] - n[5]) + (n[6] - n[8]);
        return (LeftMinusRight ? d : -d) + off;
    }
#if defined(__SSE2__)
    static __m128i value(const __m128i* n, __m128i off)
    {
        const __m128i left = _mm_add_epi16(_mm_add_epi16(n[0], n[3]), n[6]);
        const __m128i right = _mm_add_epi16(_mm_add_epi16(n[2], n[5]), n[8]);
        return _mm_add_epi16(LeftMinusRight ? _mm_sub_epi16(left, right) : _mm_sub_epi16(right, left), off);
    }
#endif
};

// Type 13: (O + e) \ 2 + 50, the division truncating toward zero.
struct Emboss {
    static std::int32_t value(const std::int32_t* n, std::int32_t)
    {
        const std::int32_t e = 2 * n[0] + n[3] + n[1] - n[7] - n[5] - 2 * n[8];
        return (n[4] + e) / 2 + 50;
    }
#if defined(__SSE2__)
    static __m128i value(const __m128i* n, __m128i)
    {
        const __m128i plus = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(n[0], 1), n[3]), _mm_add_epi16(n[1], n[4]));
        const __m128i minus = _mm_add_epi16(_mm_add_epi16(n[7], n[5]), _mm_slli_epi16(n[8], 1));
        const __m128i t = _mm_sub_epi16(plus, minus);
        // Adding 1 to a negative value before the shift makes it truncate toward zero.
        const __m128i half = _mm_srai_epi16(_mm_sub_epi16(t, _mm_srai_epi16(t, 15)), 1);
        return _mm_add_epi16(half, _mm_set1_epi16(50));
    }
#endif
};

// Rows 2..H-1, columns 2..W-1 of Pix_Work from the 3x3 neighbourhoods of Pix_Orgn; each value
// clamped to 0..255; channel 4 kept; a yield after every row.
template <typename Kernel>
void neighbourhoodRows(FilterEngine& e, const Offset& offset)
{
    const std::ptrdiff_t stride = std::ptrdiff_t(e.W) * 4;
    for (int y = 2; y <= e.H - 1; ++y) {
        int x = 2;
        if (e.W >= 3) {
            const std::uint8_t* src = e.Pix_Orgn.row(y);
            std::uint8_t* dst = e.Pix_Work.row(y);
#if defined(__SSE2__)
            const __m128i zero = _mm_setzero_si128();
            const __m128i off = _mm_setr_epi16(std::int16_t(offset.channel[0]), std::int16_t(offset.channel[1]),
                                               std::int16_t(offset.channel[2]), 0, std::int16_t(offset.channel[0]),
                                               std::int16_t(offset.channel[1]), std::int16_t(offset.channel[2]), 0);
            const __m128i keepMask = _mm_set1_epi32(std::int32_t(0xFF000000u));
            // Four pixels x .. x + 3 need columns x - 1 .. x + 4, all inside the row.
            for (; x + 4 <= e.W; x += 4) {
                const std::uint8_t* centre = src + std::ptrdiff_t(x - 1) * 4;
                __m128i low[9], high[9];
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const __m128i bytes =
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + dy * stride + dx * 4));
                        low[(dy + 1) * 3 + dx + 1] = _mm_unpacklo_epi8(bytes, zero);
                        high[(dy + 1) * 3 + dx + 1] = _mm_unpackhi_epi8(bytes, zero);
                    }
                }
                // packus clamps each signed 16-bit value to 0..255.
                const __m128i result = _mm_packus_epi16(Kernel::value(low, off), Kernel::value(high, off));
                const __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre));
                const __m128i merged =
                    _mm_or_si128(_mm_andnot_si128(keepMask, result), _mm_and_si128(keepMask, own));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + std::ptrdiff_t(x - 1) * 4), merged);
            }
#endif
            for (; x <= e.W - 1; ++x) {
                const std::uint8_t* centre = src + std::ptrdiff_t(x - 1) * 4;
                for (int c = 0; c < 3; ++c) {
                    std::int32_t n[9];
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            n[(dy + 1) * 3 + dx + 1] = centre[dy * stride + dx * 4 + c];
                        }
                    }
                    dst[std::ptrdiff_t(x - 1) * 4 + c] = clampByte(Kernel::value(n, offset.channel[c]));
                }
            }
        }
        e.yieldRow();
    }
}

// Types 8 and 10: rows 1..H-1, columns 1..W-1, from the pixel and its lower-right neighbour.
// Both are read before this filter writes them, so reading the source gives the same values.
template <bool PixelMinusNeighbour>
void diagonalRows(FilterEngine& e, const Offset& offset)
{
    for (int y = 1; y <= e.H - 1; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.row(y);
        const std::uint8_t* below = e.Pix_Orgn.row(y + 1);
        std::uint8_t* dst = e.Pix_Work.row(y);
        int i = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i off = _mm_setr_epi16(std::int16_t(offset.channel[0]), std::int16_t(offset.channel[1]),
                                           std::int16_t(offset.channel[2]), 0, std::int16_t(offset.channel[0]),
                                           std::int16_t(offset.channel[1]), std::int16_t(offset.channel[2]), 0);
        const __m128i keepMask = _mm_set1_epi32(std::int32_t(0xFF000000u));
        const auto relief = [&](__m128i own, __m128i other) {
            const __m128i v = _mm_add_epi16(PixelMinusNeighbour ? _mm_sub_epi16(own, other) : _mm_sub_epi16(other, own), off);
            return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); // |v|
        };
        // Pixels i .. i + 3 need the pixels i + 1 .. i + 4 of the row below.
        for (; i + 5 <= e.W; i += 4) {
            const __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
            const __m128i other = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + 4 * i + 4));
            const __m128i result = _mm_packus_epi16(relief(_mm_unpacklo_epi8(own, zero), _mm_unpacklo_epi8(other, zero)),
                                                    relief(_mm_unpackhi_epi8(own, zero), _mm_unpackhi_epi8(other, zero)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                             _mm_or_si128(_mm_andnot_si128(keepMask, result), _mm_and_si128(keepMask, own)));
        }
#endif
        for (; i < e.W - 1; ++i) {
            for (int c = 0; c < 3; ++c) {
                const std::int32_t own = src[4 * i + c];
                const std::int32_t other = below[4 * i + 4 + c];
                const std::int32_t v = (PixelMinusNeighbour ? own - other : other - own) + offset.channel[c];
                dst[4 * i + c] = clampByte(v < 0 ? -v : v);
            }
        }
        e.yieldRow();
    }
}

} // namespace

Result<void> Fil_Edge_Lap(FilterEngine& e)
{
    neighbourhoodRows<EdgeLap>(e, Offset(e.param));
    return {};
}

Result<void> Fil_Relief_Diag_A(FilterEngine& e)
{
    diagonalRows<true>(e, Offset(e.param));
    return {};
}

Result<void> Fil_Relief_Horz_A(FilterEngine& e)
{
    neighbourhoodRows<ReliefHorz<true>>(e, Offset(e.param));
    return {};
}

Result<void> Fil_Relief_Diag_B(FilterEngine& e)
{
    diagonalRows<false>(e, Offset(e.param));
    return {};
}

Result<void> Fil_Relief_Horz_B(FilterEngine& e)
{
    neighbourhoodRows<ReliefHorz<false>>(e, Offset(e.param));
    return {};
}

Result<void> Fil_Emboss(FilterEngine& e)
{
    neighbourhoodRows<Emboss>(e, Offset(0));
    return {};
}

} // namespace velmora::filters
