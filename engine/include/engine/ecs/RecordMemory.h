#pragma once

#include <cstddef>
#include <memory>

namespace Engine::Detail {

// Memory for component records made in bulk (after a reservation). Records
// are handed out one after another from large blocks, so those made together
// lie together: making a large level costs a few page faults instead of one
// every few records, and walks over its records read memory in order. A block
// goes back to the system when the last record in it is gone.
void* AllocateRecord(std::size_t bytes, std::size_t align);
void FreeRecord(void* record, std::size_t bytes, std::size_t align) noexcept;

// The allocator the registry makes its shared records with.
template <typename T> struct RecordAllocator {
    using value_type = T;

    RecordAllocator() = default;
    template <typename U> RecordAllocator(const RecordAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        return static_cast<T*>(AllocateRecord(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeRecord(p, n * sizeof(T), alignof(T)); }

    template <typename U> bool operator==(const RecordAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const RecordAllocator<U>&) const noexcept {
        return false;
    }
};

} // namespace Engine::Detail
