#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <engine/core/HeapReserve.h>

#include "core/Sanitized.h"

using namespace Engine;

namespace {
long ThreadPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}
} // namespace

// The point of a reserve: what the thread allocates after the release, small
// pieces and a texture-sized block alike, is memory that is already there.
TEST(HeapReserve, AllocationsAfterTheReleaseTakeNoNewPages) {
    if (OWN_MALLOC)
        GTEST_SKIP() << "a sanitizer's allocator is not steered";
    constexpr size_t MiB = size_t(1) << 20;
    HeapReserve reserve(16 * MiB);
    ASSERT_GE(reserve.Size(), 16 * MiB);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reserve.Touched() < reserve.Size() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(reserve.Touched(), reserve.Size());
    reserve.Release();

    std::vector<char*> pieces;
    const long before = ThreadPageFaults();
    for (size_t i = 0; i < 128; ++i)
        pieces.push_back(static_cast<char*>(std::malloc(40 * 1024)));
    pieces.push_back(static_cast<char*>(std::malloc(4 * MiB + 64)));
    for (size_t i = 0; i < pieces.size(); ++i) {
        const size_t size = i + 1 < pieces.size() ? 40 * 1024 : 4 * MiB + 64;
        for (size_t at = 0; at < size; at += 4096)
            pieces[i][at] = 1;
    }
    const long faults = ThreadPageFaults() - before;
    for (char* piece : pieces)
        std::free(piece);
    // Fresh memory would take about 2,300 faults.
    EXPECT_LT(faults, 100);
}
