#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace Engine {

// Heap made ready for the start-up. After the window opens, the GL driver's
// first shader compile, texture and draw take tens of megabytes of new heap
// on the main thread, and every new page costs a fault there (on some
// virtual machines over 10 us). A reserve takes that much heap when the
// program starts and has a helper thread touch it while the window opens;
// Release then frees it, and the main thread's next allocations find pages
// that are already in place.
//
// To that end the allocator is set, for the rest of the process, to serve
// blocks up to 8 MiB from its heap and to keep freed memory up to twice the
// reserve instead of handing it back at once. Only the GNU C library's
// allocator is steered; under a sanitizer's own allocator a reserve does
// nothing.
class HeapReserve {
public:
    explicit HeapReserve(std::size_t bytes);
    // Releases, if not done yet.
    ~HeapReserve();
    HeapReserve(const HeapReserve&) = delete;
    HeapReserve& operator=(const HeapReserve&) = delete;

    // Stops the helper, where it is, and frees the reserve; call it on the
    // thread that is about to allocate.
    void Release();
    // Bytes the helper has touched so far.
    std::size_t Touched() const { return m_touched.load(); }
    // Bytes taken, touched or not.
    std::size_t Size() const;

private:
    std::vector<void*> m_blocks;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_touched{0};
    std::thread m_helper;
};

} // namespace Engine
