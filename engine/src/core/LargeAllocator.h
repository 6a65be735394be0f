#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include <sys/mman.h>

namespace Engine {

// `bytes` (a multiple of 2 MiB) aligned to 2 MiB, asking the system to back
// them with whole 2 MiB pages where it has them; free with std::free.
inline void* AllocateHugePages(std::size_t bytes) {
    constexpr std::size_t PAGE = std::size_t(2) << 20;
    void* memory = std::aligned_alloc(PAGE, bytes);
    if (!memory)
        throw std::bad_alloc();
    madvise(memory, bytes, MADV_HUGEPAGE);
    return memory;
}

// For arrays that grow to megabytes with the scene (stores, the entity table,
// the collider grid): past a megabyte their memory is taken in whole 2 MiB
// pages where the system has them, which a large level fills in a few page
// faults instead of hundreds. Smaller arrays come from the heap as usual.
template <typename T> struct LargeAllocator {
    using value_type = T;
    static constexpr std::size_t PAGE = std::size_t(2) << 20;
    static constexpr std::size_t LARGE = std::size_t(1) << 20;

    LargeAllocator() = default;
    template <typename U> LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < LARGE)
            return std::allocator<T>().allocate(n);
        return static_cast<T*>(AllocateHugePages((bytes + PAGE - 1) / PAGE * PAGE));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < LARGE)
            std::allocator<T>().deallocate(p, n);
        else
            std::free(p);
    }

    template <typename U> bool operator==(const LargeAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const LargeAllocator<U>&) const noexcept { return false; }
};

} // namespace Engine
