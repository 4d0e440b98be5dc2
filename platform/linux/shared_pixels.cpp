// System V shared segments as a memory resource for picture pixels.
#include "platform/linux/shared_pixels.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cassert>
#include <new>

namespace velmora::shell {

SharedPixelMemory::~SharedPixelMemory()
{
    // Every picture in this memory must be gone before it is.
    assert(segments_.empty());
}

const SharedPixelMemory::Segment* SharedPixelMemory::segmentAt(const void* address) const
{
    const auto found = std::find_if(segments_.begin(), segments_.end(),
                                    [&](const Segment& s) { return s.address == address; });
    return found != segments_.end() ? &*found : nullptr;
}

void* SharedPixelMemory::do_allocate(std::size_t bytes, std::size_t alignment)
{
    // A segment starts on a page, which satisfies any alignment a picture asks for.
    if (bytes > 0 && alignment <= 4096) {
        segments_.reserve(segments_.size() + 1); // nothing below can then fail after the attach
        const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id >= 0) {
            void* address = shmat(id, nullptr, 0);
            // Marked for removal at once: it goes away with the last detach, even when this
            // process is killed (Linux lets the server attach a segment so marked).
            shmctl(id, IPC_RMID, nullptr);
            if (address != reinterpret_cast<void*>(-1)) {
                segments_.push_back({address, bytes, id});
                return address;
            }
        }
    }
    // No shared memory (limits, a system without it): ordinary memory, put with a copy.
    return std::pmr::new_delete_resource()->allocate(bytes, alignment);
}

void SharedPixelMemory::do_deallocate(void* address, std::size_t bytes, std::size_t alignment)
{
    const auto found = std::find_if(segments_.begin(), segments_.end(),
                                    [&](const Segment& s) { return s.address == address; });
    if (found == segments_.end()) {
        std::pmr::new_delete_resource()->deallocate(address, bytes, alignment);
        return;
    }
    if (onRelease_) {
        onRelease_(address);
    }
    shmdt(address);
    segments_.erase(found);
}

} // namespace velmora::shell
