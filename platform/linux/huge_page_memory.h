// Memory for picture-sized buffers in 2 MiB pages where the kernel offers them: the flip reads
// a tile's rows a screen's width apart, one 4 KiB page each, so with small pages nearly every
// row read misses the address cache; a large page holds a hundred or more such rows.
#pragma once

#include <cstddef>
#include <memory_resource>

namespace velmora::shell {

class HugePageMemory final : public std::pmr::memory_resource {
public:
    // Allocations of at least `threshold` bytes are mapped on their own, aligned to a large
    // page and marked for large pages; smaller ones go to `small`.
    explicit HugePageMemory(std::pmr::memory_resource* small = std::pmr::new_delete_resource(),
                            std::size_t threshold = LargePage);

    static constexpr std::size_t LargePage = std::size_t(2) << 20;

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void* address, std::size_t bytes, std::size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    std::pmr::memory_resource* small_;
    std::size_t threshold_;
};

} // namespace velmora::shell
