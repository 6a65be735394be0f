#include <engine/ecs/RecordMemory.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/Sanitized.h"

namespace Engine::Detail {

namespace {

// Blocks are aligned to their size, so a record finds its block's header by
// masking its own address.
constexpr std::size_t BLOCK = std::size_t(2) << 20;
// Larger or more aligned records come from the general heap.
constexpr std::size_t LARGEST = 4096;
constexpr std::size_t MOST_ALIGNED = 64;

struct Block {
    // Records alive in the block, plus one while it is the block records are
    // made from. Records may die on any thread.
    std::atomic<std::uint32_t> refs;
};
constexpr std::size_t FIRST = (sizeof(Block) + MOST_ALIGNED - 1) / MOST_ALIGNED * MOST_ALIGNED;

// Records are made on the main thread only, as every registry change is.
Block* current = nullptr;
std::size_t used = BLOCK;

// Under AddressSanitizer every record comes from the heap, where overruns
// between neighbouring records are caught.
constexpr bool SANITIZED = ADDRESS_SANITIZED;

bool Pooled(std::size_t bytes, std::size_t align) {
    return !SANITIZED && bytes <= LARGEST && align <= MOST_ALIGNED;
}

void Release(Block* block) noexcept {
    if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block->~Block();
        std::free(block);
    }
}

Block* NewBlock() {
    void* memory = std::aligned_alloc(BLOCK, BLOCK);
    if (!memory)
        throw std::bad_alloc();
    return new (memory) Block{{1}};
}

} // namespace

void* AllocateRecord(std::size_t bytes, std::size_t align) {
    if (!Pooled(bytes, align))
        return ::operator new(bytes, std::align_val_t(align));
    std::size_t at = (used + align - 1) / align * align;
    if (!current || at + bytes > BLOCK) {
        Block* fresh = NewBlock();
        if (current)
            Release(current);
        current = fresh;
        at = FIRST;
    }
    used = at + bytes;
    current->refs.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<char*>(current) + at;
}

void FreeRecord(void* record, std::size_t bytes, std::size_t align) noexcept {
    if (!Pooled(bytes, align)) {
        ::operator delete(record, std::align_val_t(align));
        return;
    }
    Release(reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(record) & ~(BLOCK - 1)));
}

} // namespace Engine::Detail
