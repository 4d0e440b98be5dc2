// The filter engine's state and its only entry, Fil_Run: a picture's pixels travel into
// two byte arrays (Pix_Work, Pix_Orgn), the filter of the requested type runs on them,
// and Pix_Work goes back into the picture.
#pragma once

#include "filters/picture.h"
#include "startup/random.h"
#include "startup/result.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace velmora::filters {

// A byte array indexed (channel, x, y) from 1: channel 1 blue, 2 green, 3 red, 4 reserved;
// channel fastest, then column, then row from the top, so its memory is the picture's memory.
// It either owns its bytes or, during a run, lends the caller's picture memory.
class PixelArray {
public:
    PixelArray() { release(); }
    PixelArray(const PixelArray&) = delete;
    PixelArray& operator=(const PixelArray&) = delete;

    // Owns a copy of `source` (w x h pixels); may throw std::bad_alloc.
    void copyFrom(const std::uint8_t* source, int w, int h)
    {
        const std::size_t n = std::size_t(w) * std::size_t(h) * 4;
        owned_.reset(new std::uint8_t[n]); // no zero fill: every byte is copied next
        std::memcpy(owned_.get(), source, n);
        set(owned_.get(), w, h);
    }
    // Works directly on the caller's memory; nothing is copied.
    void borrow(std::uint8_t* memory, int w, int h)
    {
        owned_.reset();
        set(memory, w, h);
    }
    // Back to the idle bounds (1 To 4, 1 To 2, 1 To 2), giving any memory back.
    void release()
    {
        owned_.reset();
        idle_.fill(0);
        set(idle_.data(), 2, 2);
    }

    std::uint8_t& operator()(int c, int x, int y)
    {
        assert(c >= 1 && c <= 4 && x >= 1 && x <= w_ && y >= 1 && y <= h_);
        return bytes_[std::size_t(c - 1) + 4 * (std::size_t(x - 1) + std::size_t(w_) * std::size_t(y - 1))];
    }
    std::uint8_t operator()(int c, int x, int y) const
    {
        assert(c >= 1 && c <= 4 && x >= 1 && x <= w_ && y >= 1 && y <= h_);
        return bytes_[std::size_t(c - 1) + 4 * (std::size_t(x - 1) + std::size_t(w_) * std::size_t(y - 1))];
    }
    // Pointer to pixel (x, y), channel 1; for row-at-a-time loops.
    std::uint8_t* at(int x, int y)
    {
        assert(x >= 1 && x <= w_ && y >= 1 && y <= h_);
        return bytes_ + 4 * (std::size_t(x - 1) + std::size_t(w_) * std::size_t(y - 1));
    }
    const std::uint8_t* at(int x, int y) const
    {
        assert(x >= 1 && x <= w_ && y >= 1 && y <= h_);
        return bytes_ + 4 * (std::size_t(x - 1) + std::size_t(w_) * std::size_t(y - 1));
    }
    // Row y (1 = top), pixel 1 channel 1.
    std::uint8_t* row(int y) { return at(1, y); }
    const std::uint8_t* row(int y) const { return at(1, y); }

    std::uint8_t* data() { return bytes_; }
    const std::uint8_t* data() const { return bytes_; }
    std::size_t size() const { return std::size_t(w_) * std::size_t(h_) * 4; }
    int width() const { return w_; }
    int height() const { return h_; }
    bool ownsMemory() const { return bytes_ != idle_.data() && owned_ != nullptr; }

private:
    void set(std::uint8_t* bytes, int w, int h)
    {
        bytes_ = bytes;
        w_ = w;
        h_ = h;
    }

    std::uint8_t* bytes_ = nullptr;
    int w_ = 0;
    int h_ = 0;
    std::unique_ptr<std::uint8_t[]> owned_;
    std::array<std::uint8_t, 16> idle_{};
};

// Fil_Run's reason when another run is in progress: nothing was read or changed.
inline constexpr std::string_view FilterBusy = "busy";

// Called once per row of each pass so a shell can pump its messages during a long run.
using YieldHook = void (*)(void* context);

struct FilterEngine {
    bool Fil_Busy = false;
    // During a run Pix_Work is the caller's picture itself (the result is built where it is
    // wanted, with no copy back) and Pix_Orgn an owned copy of it, which also restores the
    // picture when a filter fails part-way.
    PixelArray Pix_Work;
    PixelArray Pix_Orgn;
    int W = 0; // width of the picture of the current (or last) run
    int H = 0; // height of the picture of the current (or last) run
    std::array<std::int32_t, 766> Gray_Tbl{};
    std::int32_t param = 0;

    YieldHook yieldHook = nullptr;
    void* yieldContext = nullptr;
    Random* random = nullptr; // null: the shared generator

    void yieldRow() const
    {
        if (yieldHook != nullptr) {
            yieldHook(yieldContext);
        }
    }
    Random& rng() const { return random != nullptr ? *random : sharedRandom(); }
};

// Filters `picture` in place with filter type `filType` (1..31) and `param`.
// Unknown types leave the picture as it was; so does a failed run. While the run yields, the
// picture may hold a partly filtered image, and nothing else may write it.
Result<void> Fil_Run(FilterEngine& engine, int filType, PictureView picture, std::int32_t param);

// The process-wide engine used by the show and the dialog.
FilterEngine& sharedFilterEngine();

// Takes apart a colour in COLORREF layout: red = colour Mod 256 (sign of colour), green and
// blue = bits 8..15 and 16..23.
void Split_RGB(std::int32_t colour, std::int32_t& red, std::int32_t& green, std::int32_t& blue);

} // namespace velmora::filters
