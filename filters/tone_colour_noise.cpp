// Filter types 28 to 31: per-pixel tone, colour and noise changes (auto level, noise,
// saturation, gamma). Each reads Pix_Orgn and writes channels 1..3 of Pix_Work.
#include "filters/filter_math.h"
#include "filters/filter_procs.h"
#include "startup/rounding.h"
#include "startup/simd_level.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELMORA_NOISE_X86 1
#endif

namespace velmora::filters {

namespace {

using ChannelTable = std::array<std::uint8_t, 256>;

std::int32_t clampToChannel(std::int64_t v) { return std::int32_t(std::clamp<std::int64_t>(v, 0, 255)); }

// Rounded as everywhere; values outside 0..255 (NaN included) are clamped first, so the
// conversion is defined.
std::int32_t roundToChannel(double v)
{
    if (!(v > 0.0)) {
        return 0;
    }
    if (v >= 255.0) {
        return 255;
    }
    return std::int32_t(roundHalfEven(v));
}

// Rewrites channels 1..3 of every pixel through one table per channel; channel 4 is kept.
// The tables make every channel a single load.
void applyChannelTables(FilterEngine& e, const ChannelTable& blue, const ChannelTable& green,
                        const ChannelTable& red)
{
    const int W = e.W;
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* dst = e.Pix_Work.at(1, y);
        for (std::ptrdiff_t x = 0; x < W; ++x) {
            const std::uint8_t b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2];
            std::uint8_t* q = dst + 4 * x;
            q[0] = blue[b];
            q[1] = green[g];
            q[2] = red[r];
        }
        e.yieldRow();
    }
}

// Smallest and largest value of channels 1..3 of one row, folded into lo / hi.
void rowMinMax(const std::uint8_t* row, int w, std::array<std::uint8_t, 3>& lo, std::array<std::uint8_t, 3>& hi)
{
    std::ptrdiff_t x = 0;
#if defined(__SSE2__)
    if (w >= 4) {
        // Four pixels per vector; lane j of every pixel is channel j, so one reduction at the end.
        __m128i vmin = _mm_set1_epi8(char(0xFF));
        __m128i vmax = _mm_setzero_si128();
        for (; x + 4 <= w; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
            vmin = _mm_min_epu8(vmin, v);
            vmax = _mm_max_epu8(vmax, v);
        }
        alignas(16) std::uint8_t mins[16];
        alignas(16) std::uint8_t maxs[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(mins), vmin);
        _mm_store_si128(reinterpret_cast<__m128i*>(maxs), vmax);
        for (int i = 0; i < 16; ++i) {
            const int c = i & 3;
            if (c < 3) {
                lo[c] = std::min(lo[c], mins[i]);
                hi[c] = std::max(hi[c], maxs[i]);
            }
        }
    }
#endif
    for (; x < w; ++x) {
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], row[4 * x + c]);
            hi[c] = std::max(hi[c], row[4 * x + c]);
        }
    }
}

#if VELMORA_NOISE_X86
// One row of noise for 0 <= param <= 126, eight pixels a step; returns the pixels done, or 0
// when a draw of the row is 2^23 (one in 2^24), whose noise ends in exactly a half and so
// rounds by the pixel's parity: the caller then does the whole row the plain way. `draws` holds the
// row's three per pixel (blue, green, red). The rounded noise of a draw k is
// (k x (2 x param + 1) + 2^23 - 1) / 2^24 in 0..2 x param + 1; less param it fits a signed
// byte, so the pixels take it with a saturating signed add around 128, which clamps to 0..255.
__attribute__((target("avx2"))) int noiseRowAvx2(const std::uint8_t* src, std::uint8_t* dst, const std::uint32_t* draws,
                                                 int w, std::int32_t p)
{
    const __m256i span = _mm256_set1_epi32(2 * p + 1);
    const __m256i justBelowHalf = _mm256_set1_epi32(0x7FFFFF);
    const __m256i fraction = _mm256_set1_epi32(0xFFFFFF);
    const __m256i half = _mm256_set1_epi32(0x800000);
    // After the packs the 32-bit groups of four draws lie as 0-3, 8-11, 16-19, -, 4-7, 12-15,
    // 20-23, -: put them in order, 12 draws (four pixels) per 128-bit half...
    const __m256i inOrder = _mm256_setr_epi32(0, 4, 1, 0, 5, 2, 6, 0);
    // ...and give each pixel its three, channel 4 none.
    const __m256i toPixels = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5,
                                              -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i amplitude = _mm256_set1_epi8(std::int8_t(p));
    const __m256i bias = _mm256_set1_epi8(std::int8_t(-128));
    const __m256i channel4 = _mm256_set1_epi32(std::int32_t(0xFF000000u));
    __m256i ties = _mm256_setzero_si256();
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        const std::uint32_t* k = draws + 3 * std::ptrdiff_t(x);
        __m256i rounded[3];
        for (int i = 0; i < 3; ++i) {
            const __m256i t = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(k + 8 * i)), span);
            ties = _mm256_or_si256(ties, _mm256_cmpeq_epi32(_mm256_and_si256(t, fraction), half));
            rounded[i] = _mm256_srli_epi32(_mm256_add_epi32(t, justBelowHalf), 24);
        }
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(rounded[0], rounded[1]),
                                                  _mm256_packs_epi32(rounded[2], rounded[2]));
        const __m256i noise = _mm256_sub_epi8(
            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(bytes, inOrder), toPixels), amplitude);
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * std::ptrdiff_t(x)));
        const __m256i out = _mm256_xor_si256(_mm256_adds_epi8(_mm256_xor_si256(pixels, bias), noise), bias);
        const __m256i kept = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * std::ptrdiff_t(x)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * std::ptrdiff_t(x)), _mm256_blendv_epi8(out, kept, channel4));
    }
    return _mm256_testz_si256(ties, ties) ? x : 0;
}

// The AVX2 row four pixels a step, for processors without AVX2: the same rounding and the
// same tie rule. Within 128 bits the packs leave the draws in order, so no permute is needed.
__attribute__((target("sse4.1"))) int noiseRowSse41(const std::uint8_t* src, std::uint8_t* dst, const std::uint32_t* draws,
                                                   int w, std::int32_t p)
{
    const __m128i span = _mm_set1_epi32(2 * p + 1);
    const __m128i justBelowHalf = _mm_set1_epi32(0x7FFFFF);
    const __m128i fraction = _mm_set1_epi32(0xFFFFFF);
    const __m128i half = _mm_set1_epi32(0x800000);
    const __m128i toPixels = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i amplitude = _mm_set1_epi8(std::int8_t(p));
    const __m128i bias = _mm_set1_epi8(std::int8_t(-128));
    const __m128i channel4 = _mm_set1_epi32(std::int32_t(0xFF000000u));
    __m128i ties = _mm_setzero_si128();
    int x = 0;
    for (; x + 4 <= w; x += 4) {
        const std::uint32_t* k = draws + 3 * std::ptrdiff_t(x);
        __m128i rounded[3];
        for (int i = 0; i < 3; ++i) {
            const __m128i t = _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(k + 4 * i)), span);
            ties = _mm_or_si128(ties, _mm_cmpeq_epi32(_mm_and_si128(t, fraction), half));
            rounded[i] = _mm_srli_epi32(_mm_add_epi32(t, justBelowHalf), 24);
        }
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(rounded[0], rounded[1]), _mm_packs_epi32(rounded[2], rounded[2]));
        const __m128i noise = _mm_sub_epi8(_mm_shuffle_epi8(bytes, toPixels), amplitude);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * std::ptrdiff_t(x)));
        const __m128i out = _mm_xor_si128(_mm_adds_epi8(_mm_xor_si128(pixels, bias), noise), bias);
        const __m128i kept = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * std::ptrdiff_t(x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * std::ptrdiff_t(x)), _mm_blendv_epi8(out, kept, channel4));
    }
    return _mm_testz_si128(ties, ties) ? x : 0;
}
#endif

#if defined(__SSE2__)
// One row of noise for 0 <= param <= 127, four pixels a step; returns the pixels done. `draws`
// holds four per pixel (blue, green, red, unused). A draw k has 24 bits and 2 x param + 1 at
// most 8, so k x (2 x param + 1) fits 32 bits, made of 16-bit products (all SSE2 has); from
// there on it is the scalar rounding lane by lane. Channel 4 is computed and dropped.
int noiseRowNarrow(const std::uint8_t* src, std::uint8_t* dst, const std::uint32_t* draws, int w, std::int32_t p)
{
    const __m128i span = _mm_set1_epi16(std::int16_t(2 * p + 1));
    const __m128i minusP = _mm_set1_epi32(-p);
    const __m128i justBelowHalf = _mm_set1_epi32(0x7FFFFF);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i fraction = _mm_set1_epi32(0xFFFFFF);
    const __m128i zero = _mm_setzero_si128();
    const __m128i channel4 = _mm_set1_epi32(std::int32_t(0xFF000000u));
    int x = 0;
    for (; x + 4 <= w; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        const __m128i low = _mm_unpacklo_epi8(pixels, zero);
        const __m128i high = _mm_unpackhi_epi8(pixels, zero);
        const __m128i values[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                                   _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
        __m128i out[4];
        for (int i = 0; i < 4; ++i) {
            const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(draws + 4 * x + 4 * i));
            // k x span: the high 16 bits of k times span fit 16 bits; the low 16 bits' product
            // comes in two halves.
            const __m128i t = _mm_add_epi32(_mm_mullo_epi16(k, span), _mm_slli_epi32(_mm_mulhi_epu16(k, span), 16));
            const __m128i whole = _mm_add_epi32(_mm_add_epi32(values[i], minusP), _mm_srli_epi32(t, 24));
            const __m128i up = _mm_srli_epi32(
                _mm_add_epi32(_mm_add_epi32(_mm_and_si128(t, fraction), justBelowHalf), _mm_and_si128(whole, one)), 24);
            out[i] = _mm_add_epi32(whole, up);
        }
        // Saturating packs clamp to 0..255.
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(out[0], out[1]), _mm_packs_epi32(out[2], out[3]));
        const __m128i kept = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x),
                         _mm_or_si128(_mm_andnot_si128(channel4, bytes), _mm_and_si128(channel4, kept)));
    }
    return x;
}
#endif

} // namespace

Result<void> Fil_Auto_Level(FilterEngine& e)
{
    std::array<std::uint8_t, 3> lo{255, 255, 255};
    std::array<std::uint8_t, 3> hi{0, 0, 0};
    for (int y = 1; y <= e.H; ++y) {
        rowMinMax(e.Pix_Orgn.at(1, y), e.W, lo, hi);
        e.yieldRow();
    }

    // The stretch of every value is the same per channel, so it is tabled once.
    std::array<ChannelTable, 3> tables{};
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            if (hi[c] == lo[c]) {
                // A flat channel has nothing to stretch (0 / 0): it keeps its values.
                tables[c][v] = std::uint8_t(v);
            } else {
                const std::int32_t product = (v - lo[c]) * 255;
                tables[c][v] = std::uint8_t(roundToChannel(double(product) / double(hi[c] - lo[c])));
            }
        }
    }
    applyChannelTables(e, tables[0], tables[1], tables[2]);
    return {};
}

Result<void> Fil_Noise(FilterEngine& e)
{
    const std::int64_t p = e.param;
    const std::int64_t span = 2 * p + 1; // 64 bits: no overflow for any param
    Random& random = e.rng();
    const int W = e.W;

    // Up to this amplitude every step of the double-precision recipe is exact, so the
    // same value comes from integers in units of 2^-24 (the draw's resolution).
    const bool exactInIntegers = p >= -(std::int64_t(1) << 20) && p <= (std::int64_t(1) << 20);

    // Small amplitudes go eight pixels a step with AVX2, four with SSE4.1 or SSE2 (whose
    // products need the draws in four slots per pixel).
    bool wide = false;
    bool sse41 = false;
    bool narrow = false;
#if VELMORA_NOISE_X86
    const SimdLevel level = simdLevel();
    wide = p >= 0 && p <= 126 && level >= SimdLevel::avx2;
    sse41 = !wide && p >= 0 && p <= 126 && level >= SimdLevel::sse41;
#endif
#if defined(__SSE2__)
    narrow = !wide && !sse41 && p >= 0 && p <= 127;
#endif
    // A row's draws, three per pixel in scan order, made in one call before the row is worked.
    std::vector<std::uint32_t> draws(std::size_t(W) * 3);
    std::vector<std::uint32_t> slots(narrow ? std::size_t(W) * 4 : 0);
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* dst = e.Pix_Work.at(1, y);
        random.fillSingleBits(draws);
        std::ptrdiff_t x = 0;
#if VELMORA_NOISE_X86
        if (wide) {
            x = noiseRowAvx2(src, dst, draws.data(), W, std::int32_t(p));
        } else if (sse41) {
            x = noiseRowSse41(src, dst, draws.data(), W, std::int32_t(p));
        }
#endif
#if defined(__SSE2__)
        if (narrow) {
            for (std::size_t i = 0; i < std::size_t(W); ++i) {
                std::copy_n(&draws[3 * i], 3, &slots[4 * i]);
            }
            x = noiseRowNarrow(src, dst, slots.data(), W, std::int32_t(p));
        }
#endif
        for (; x < W; ++x) {
            for (int c = 0; c < 3; ++c) {
                const std::int64_t k = draws[std::size_t(3 * x + c)];
                const std::int64_t v = src[4 * x + c];
                if (exactInIntegers) {
                    dst[4 * x + c] = std::uint8_t(clampToChannel(roundHalfEvenShift24(k * span + (v - p) * 16777216)));
                } else {
                    const double r = double(float(k) * (1.0f / 16777216.0f));
                    dst[4 * x + c] = std::uint8_t(roundToChannel(r * double(span) - double(p) + double(v)));
                }
            }
        }
        e.yieldRow();
    }
    return {};
}

Result<void> Fil_Saturation(FilterEngine& e)
{
    for (int i = 0; i <= 765; ++i) {
        e.Gray_Tbl[std::size_t(i)] = i / 3;
    }
    const float s = float(double(e.param) / 100.0);

    // round(s * d + v) for d = v - grey in -255..255. s * d is exact in double, and adding v
    // is exact too whenever the result is not clamped anyway (|s| >= 0.01 or s = 0), so the
    // rounding only depends on d and on whether v is odd (halves go to the even neighbour).
    std::array<std::array<std::int32_t, 511>, 2> shift{};
    for (int parity = 0; parity < 2; ++parity) {
        for (int d = -255; d <= 255; ++d) {
            const double a = double(s) * double(d);
            std::int32_t moved;
            if (a >= 512.0) {
                moved = 1024; // clamps to 255 whatever v is
            } else if (a <= -512.0) {
                moved = -1024; // clamps to 0 whatever v is
            } else {
                moved = std::int32_t(roundHalfEven(a + parity)) - parity;
            }
            shift[std::size_t(parity)][std::size_t(d + 255)] = moved;
        }
    }
    // New value by (grey, v): one load per channel in the pixel loop.
    std::vector<std::uint8_t> table(256 * 256);
    for (int grey = 0; grey < 256; ++grey) {
        for (int v = 0; v < 256; ++v) {
            const std::int32_t moved = shift[std::size_t(v & 1)][std::size_t(v - grey + 255)];
            table[std::size_t(grey * 256 + v)] = std::uint8_t(clampToChannel(v + moved));
        }
    }

    // Locals, not members: byte stores may alias anything, which would force reloads.
    const std::uint8_t* byGrey = table.data();
    const std::int32_t* grey = e.Gray_Tbl.data();
    const int W = e.W;
    for (int y = 1; y <= e.H; ++y) {
        const std::uint8_t* src = e.Pix_Orgn.at(1, y);
        std::uint8_t* dst = e.Pix_Work.at(1, y);
        for (std::ptrdiff_t x = 0; x < W; ++x) {
            const std::uint8_t b = src[4 * x], g = src[4 * x + 1], r = src[4 * x + 2];
            const std::uint8_t* row = byGrey + 256 * std::size_t(grey[b + g + r]);
            std::uint8_t* q = dst + 4 * x;
            q[0] = row[b];
            q[1] = row[g];
            q[2] = row[r];
        }
        e.yieldRow();
    }
    return {};
}

Result<void> Fil_Gamma(FilterEngine& e)
{
    if (e.param <= 0) {
        return Reason{"gamma must be above 0"};
    }
    const float g = float(double(e.param) / 100.0);
    const double exponent = 1.0 / double(g);
    // Every channel value maps through the same curve: 256 powers instead of three per pixel.
    ChannelTable curve{};
    for (int v = 0; v < 256; ++v) {
        curve[std::size_t(v)] = std::uint8_t(roundToChannel(std::pow(double(v) / 255.0, exponent) * 255.0));
    }
    applyChannelTables(e, curve, curve, curve);
    return {};
}

} // namespace velmora::filters
