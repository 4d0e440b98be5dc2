// Pixel memory the X server can read directly: each allocation is a System V shared segment of
// its own, so a picture that lives in it (the show's Display) is put on the screen through
// MIT-SHM without being copied. No X connection is needed to allocate: a presenter attaches a
// segment to its connection when it first puts from it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory_resource>
#include <vector>

namespace velmora::shell {

class SharedPixelMemory final : public std::pmr::memory_resource {
public:
    struct Segment {
        void* address = nullptr;
        std::size_t bytes = 0;
        int id = -1; // the System V segment id, for the server's attach
    };

    SharedPixelMemory() = default;
    ~SharedPixelMemory() override;
    SharedPixelMemory(const SharedPixelMemory&) = delete;
    SharedPixelMemory& operator=(const SharedPixelMemory&) = delete;

    // The segment that starts at `address`, or null when `address` is not one of ours (memory
    // that could not be shared comes from the heap instead).
    const Segment* segmentAt(const void* address) const;

    // Called with a segment's address just before it is let go, while its memory is still
    // there: a presenter detaches it from the server (after the server has read it).
    void onRelease(std::function<void(const void*)> hook) { onRelease_ = std::move(hook); }

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void* address, std::size_t bytes, std::size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    std::vector<Segment> segments_;
    std::function<void(const void*)> onRelease_;
};

} // namespace velmora::shell
