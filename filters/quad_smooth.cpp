// Filter type 24: quadrant smoothing. Every channel of a pixel takes the mean of the
// least varying of the four 3x3 quadrants around it; the two-pixel frame keeps the picture.
#include "filters/filter_procs.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora::filters {

namespace {

// A 3x3 block serves as a quadrant of four pixels, so each block's mean and deviation are
// computed once, a row of blocks at a time. Lane i of a block row is channel i % 4 of the
// block whose left column is pixel i / 4; neighbouring columns are lanes i + 4 and i + 8.
struct BlockRow {
    std::vector<std::uint8_t> mean;
    std::vector<std::uint16_t> dev;
};

// sum \ 9 for the sums a block can have (0..2295), as a multiply and a 16-bit shift.
constexpr std::uint32_t NinthMultiplier = 7282;
static_assert([] {
    for (std::uint32_t s = 0; s <= 9 * 255; ++s) {
        if ((s * NinthMultiplier) >> 16 != s / 9) return false;
    }
    return true;
}());

#if defined(__SSE2__)
__m128i load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
#endif

// Block means and deviations of the blocks whose top row is picture row `top` (1-based).
void computeBlockRow(const FilterEngine& e, int top, BlockRow& blocks)
{
    const std::uint8_t* rows[3] = {e.Pix_Orgn.at(1, top), e.Pix_Orgn.at(1, top + 1), e.Pix_Orgn.at(1, top + 2)};
    const std::ptrdiff_t lanes = 4 * std::ptrdiff_t(e.W - 2);
    std::ptrdiff_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i ninth = _mm_set1_epi16(std::int16_t(NinthMultiplier));
    for (; i + 16 <= lanes; i += 16) {
        __m128i v[9];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                v[3 * r + c] = load(rows[r] + i + 4 * c);
            }
        }
        __m128i sumLo = zero;
        __m128i sumHi = zero;
        for (const __m128i& value : v) {
            sumLo = _mm_add_epi16(sumLo, _mm_unpacklo_epi8(value, zero));
            sumHi = _mm_add_epi16(sumHi, _mm_unpackhi_epi8(value, zero));
        }
        const __m128i mean = _mm_packus_epi16(_mm_mulhi_epu16(sumLo, ninth), _mm_mulhi_epu16(sumHi, ninth));
        __m128i devLo = zero;
        __m128i devHi = zero;
        for (const __m128i& value : v) {
            const __m128i distance = _mm_or_si128(_mm_subs_epu8(value, mean), _mm_subs_epu8(mean, value));
            devLo = _mm_add_epi16(devLo, _mm_unpacklo_epi8(distance, zero));
            devHi = _mm_add_epi16(devHi, _mm_unpackhi_epi8(distance, zero));
        }
        store(blocks.mean.data() + i, mean);
        store(blocks.dev.data() + i, devLo);
        store(blocks.dev.data() + i + 8, devHi);
    }
#endif
    for (; i < lanes; ++i) {
        std::uint32_t sum = 0;
        for (const std::uint8_t* row : rows) {
            sum += std::uint32_t(row[i]) + row[i + 4] + row[i + 8];
        }
        const std::int32_t mean = std::int32_t(sum / 9);
        std::int32_t dev = 0;
        for (const std::uint8_t* row : rows) {
            dev += std::abs(row[i] - mean) + std::abs(row[i + 4] - mean) + std::abs(row[i + 8] - mean);
        }
        blocks.mean[std::size_t(i)] = std::uint8_t(mean);
        blocks.dev[std::size_t(i)] = std::uint16_t(dev);
    }
}

// Writes picture row y from the blocks above it (top row y - 2) and below it (top row y).
// The quadrants of the pixel at lane i are lanes i - 8 and i of each of the two block rows,
// tried in the order upper left, upper right, lower left, lower right; a later one wins
// only with a strictly smaller deviation.
void writeRow(FilterEngine& e, int y, const BlockRow& upper, const BlockRow& lower)
{
    std::uint8_t* out = e.Pix_Work.at(1, y);
    const std::ptrdiff_t end = 4 * std::ptrdiff_t(e.W - 2); // lanes of columns 3..W-2 are 8 .. end-1
    std::ptrdiff_t i = 8;
#if defined(__SSE2__)
    const __m128i keepReserved = _mm_set1_epi32(std::int32_t(0xFF000000u));
    for (; i + 16 <= end; i += 16) {
        const std::uint8_t* means[4] = {upper.mean.data() + i - 8, upper.mean.data() + i, lower.mean.data() + i - 8,
                                        lower.mean.data() + i};
        const std::uint16_t* devs[4] = {upper.dev.data() + i - 8, upper.dev.data() + i, lower.dev.data() + i - 8,
                                        lower.dev.data() + i};
        __m128i bestLo = load(devs[0]);
        __m128i bestHi = load(devs[0] + 8);
        __m128i mean = load(means[0]);
        for (int q = 1; q < 4; ++q) {
            const __m128i devLo = load(devs[q]);
            const __m128i devHi = load(devs[q] + 8);
            const __m128i lessLo = _mm_cmplt_epi16(devLo, bestLo); // deviations <= 2295: signed is fine
            const __m128i lessHi = _mm_cmplt_epi16(devHi, bestHi);
            bestLo = _mm_or_si128(_mm_and_si128(lessLo, devLo), _mm_andnot_si128(lessLo, bestLo));
            bestHi = _mm_or_si128(_mm_and_si128(lessHi, devHi), _mm_andnot_si128(lessHi, bestHi));
            const __m128i less = _mm_packs_epi16(lessLo, lessHi);
            mean = _mm_or_si128(_mm_and_si128(less, load(means[q])), _mm_andnot_si128(less, mean));
        }
        const __m128i own = load(out + i);
        store(out + i, _mm_or_si128(_mm_andnot_si128(keepReserved, mean), _mm_and_si128(keepReserved, own)));
    }
#endif
    for (; i < end; ++i) {
        if ((i & 3) == 3) {
            continue; // channel 4 is never touched
        }
        const std::size_t lanes[4] = {std::size_t(i - 8), std::size_t(i), std::size_t(i - 8), std::size_t(i)};
        const BlockRow* from[4] = {&upper, &upper, &lower, &lower};
        std::uint16_t best = from[0]->dev[lanes[0]];
        std::uint8_t mean = from[0]->mean[lanes[0]];
        for (int q = 1; q < 4; ++q) {
            if (from[q]->dev[lanes[q]] < best) {
                best = from[q]->dev[lanes[q]];
                mean = from[q]->mean[lanes[q]];
            }
        }
        out[i] = mean;
    }
}

} // namespace

Result<void> Fil_Quad_Smooth(FilterEngine& e)
{
    if (e.W < 5) {
        for (int y = 3; y <= e.H - 2; ++y) {
            e.yieldRow(); // no column is visited, but the row loop still yields
        }
        return {};
    }
    const std::size_t lanes = std::size_t(4) * std::size_t(e.W - 2);
    std::array<BlockRow, 3> ring; // block rows with top rows y - 2, y - 1 and y
    for (BlockRow& blocks : ring) {
        blocks.mean.resize(lanes);
        blocks.dev.resize(lanes);
    }
    if (e.H >= 5) {
        computeBlockRow(e, 1, ring[1 % 3]);
        computeBlockRow(e, 2, ring[2 % 3]);
    }
    for (int y = 3; y <= e.H - 2; ++y) {
        computeBlockRow(e, y, ring[std::size_t(y % 3)]);
        writeRow(e, y, ring[std::size_t((y - 2) % 3)], ring[std::size_t(y % 3)]);
        e.yieldRow();
    }
    return {};
}

} // namespace velmora::filters
