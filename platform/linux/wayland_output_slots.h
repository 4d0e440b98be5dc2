// Which show each Wayland output carries while outputs come and go under a running show.
// A slot is one show (or one black cover) that an output is attached to. Slot 0 is the
// primary's show: it plays the music and scans the catalogue the others share, so it lives
// for the whole run even when its output goes away.
#pragma once

#include "show/monitor_sequence.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::shell {

class OutputSlots {
public:
    // `showOnEvery`: every output runs a show of its own; otherwise only the primary does and
    // the others are covered in black.
    explicit OutputSlots(bool showOnEvery) : showOnEvery_(showOnEvery) {}

    struct Attachment {
        int slot = 0;
        bool made = false; // a new slot: its show (or cover) is still to be made
    };
    // Output `name` (the compositor's global name) is ready to show: it takes a slot whose
    // output went away, the primary's first, and otherwise a new one. An output already
    // attached keeps its slot.
    Attachment attach(std::uint32_t name);
    // Output `name` went away: its slot keeps its show for an output that comes later.
    // Returns the slot it had, if any.
    std::optional<int> detach(std::uint32_t name);

    std::optional<int> slotOf(std::uint32_t name) const;
    int size() const { return int(slots_.size()); }
    bool runsShow(int slot) const { return slot == 0 || showOnEvery_; }
    // The primary always ticks (music, the shared catalogue); another show only while it is seen.
    bool ticking(int slot) const { return slot == 0 || slots_.at(std::size_t(slot)).has_value(); }
    // Where the show of `slot` stands among all shows, for the pictures it takes.
    show::MonitorPlace placeOf(int slot) const;

private:
    bool showOnEvery_;
    std::vector<std::optional<std::uint32_t>> slots_; // the output on each slot; none: gone
};

} // namespace velmora::shell
