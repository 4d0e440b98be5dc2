// Large, aligned mappings advised for transparent huge pages.
#include "platform/linux/huge_page_memory.h"

#include <sys/mman.h>

#include <cassert>
#include <cstdint>
#include <new>

namespace velmora::shell {

namespace {

std::size_t roundUp(std::size_t bytes, std::size_t to) { return (bytes + to - 1) / to * to; }

} // namespace

HugePageMemory::HugePageMemory(std::pmr::memory_resource* small, std::size_t threshold)
    : small_(small), threshold_(threshold)
{
    assert(small != nullptr);
}

void* HugePageMemory::do_allocate(std::size_t bytes, std::size_t alignment)
{
    if (bytes < threshold_ || alignment > LargePage) {
        return small_->allocate(bytes, alignment);
    }
    // Map one large page more than needed and trim both ends, so that the block starts on a
    // large-page boundary; the advice must come before the first touch to take effect then.
    const std::size_t size = roundUp(bytes, LargePage);
    const std::size_t mapped = size + LargePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = roundUp(start, LargePage);
    if (const std::size_t head = aligned - start; head > 0) {
        munmap(raw, head);
    }
    if (const std::size_t tail = start + mapped - (aligned + size); tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
    // Only advice: where large pages are off or scarce the block works in small ones.
    (void)madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void HugePageMemory::do_deallocate(void* address, std::size_t bytes, std::size_t alignment)
{
    if (bytes < threshold_ || alignment > LargePage) {
        small_->deallocate(address, bytes, alignment);
        return;
    }
    munmap(address, roundUp(bytes, LargePage));
}

} // namespace velmora::shell
