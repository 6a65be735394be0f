#include <engine/core/HeapReserve.h>

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <system_error>

#include <engine/core/Thread.h>

#include "core/Sanitized.h"

namespace Engine {

namespace {

constexpr std::size_t MiB = std::size_t(1) << 20;
// Under the heap threshold below, so blocks come from the heap and free
// back into it, side by side.
constexpr std::size_t BLOCK = 4 * MiB - 64;
constexpr std::size_t HEAP_UP_TO = 8 * MiB;
constexpr std::size_t PAGE = 4096;

constexpr bool STEERABLE =
#if defined(__GLIBC__)
    !OWN_MALLOC;
#else
    false;
#endif

} // namespace

HeapReserve::HeapReserve(std::size_t bytes) {
    if (!STEERABLE || bytes == 0)
        return;
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(HEAP_UP_TO));
    const std::size_t keep = std::min<std::size_t>(std::max(bytes, HEAP_UP_TO), INT_MAX / 2) * 2;
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(keep));
#endif
    for (std::size_t taken = 0; taken < bytes; taken += BLOCK) {
        void* block = std::malloc(BLOCK);
        if (!block)
            break;
        m_blocks.push_back(block);
    }
    try {
        m_helper = std::thread([this] {
            LowerThreadPriority();
            for (void* block : m_blocks) {
                if (m_stop.load(std::memory_order_relaxed))
                    break;
                // One write a page brings it in.
                auto* bytes = static_cast<volatile unsigned char*>(block);
                for (std::size_t at = 0; at < BLOCK; at += PAGE)
                    bytes[at] = 0;
                m_touched += BLOCK;
            }
        });
    } catch (const std::system_error&) {
        // Untouched, the blocks are still freed on release.
    }
}

HeapReserve::~HeapReserve() {
    Release();
}

void HeapReserve::Release() {
    m_stop = true;
    if (m_helper.joinable())
        m_helper.join();
    for (void* block : m_blocks)
        std::free(block);
    m_blocks.clear();
}

std::size_t HeapReserve::Size() const {
    return m_blocks.size() * BLOCK;
}

} // namespace Engine
