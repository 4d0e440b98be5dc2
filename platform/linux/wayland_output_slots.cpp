// The slots of the Wayland outputs' shows.
#include "platform/linux/wayland_output_slots.h"

#include <cassert>

namespace velmora::shell {

OutputSlots::Attachment OutputSlots::attach(std::uint32_t name)
{
    if (const std::optional<int> slot = slotOf(name)) {
        return {*slot, false};
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i]) {
            slots_[i] = name;
            return {int(i), false};
        }
    }
    slots_.emplace_back(name);
    return {int(slots_.size()) - 1, true};
}

std::optional<int> OutputSlots::detach(std::uint32_t name)
{
    const std::optional<int> slot = slotOf(name);
    if (slot) {
        slots_[std::size_t(*slot)].reset();
    }
    return slot;
}

std::optional<int> OutputSlots::slotOf(std::uint32_t name) const
{
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] == name) {
            return int(i);
        }
    }
    return std::nullopt;
}

show::MonitorPlace OutputSlots::placeOf(int slot) const
{
    assert(slot >= 0 && slot < size() && runsShow(slot));
    if (!showOnEvery_) {
        return {0, 1};
    }
    return {slot, size()};
}

} // namespace velmora::shell
