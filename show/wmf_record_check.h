// The metafile records that are played, checked one by one as a system renderer would read
// them: every parameter inside its record, every embedded bitmap inside it and within the size
// limits, every object used only while it exists in the object table.
#pragma once

#include "startup/result.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::loading {

// More objects alive at once than this is not a picture anyone draws.
inline constexpr std::size_t kMaxWmfObjects = 4096;

class WmfRecordCheck {
public:
    // `params` are the record's bytes after its size and function words. Ok when the record
    // may be played, else the reason the metafile is refused.
    Result<void> check(std::uint16_t function, const std::uint8_t* params, std::size_t paramBytes);
    // The object table the records need: the header's object count is set to this.
    std::size_t slotsNeeded() const { return slots_.size(); }

private:
    enum class Kind : std::uint8_t { Free, Pen, Brush, Font, Palette, Region };
    Result<void> create(Kind kind);
    bool isLive(std::size_t index, Kind wanted) const;

    std::vector<Kind> slots_; // filled lowest free slot first, as the renderer does
};

} // namespace velmora::loading
