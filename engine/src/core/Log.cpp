#include <engine/core/Log.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace Engine::Log {

namespace {
// Any thread may log, and the flag is all the lines share.
std::atomic<bool> s_quiet{false};
} // namespace

void SetQuiet(bool quiet) {
    s_quiet.store(quiet, std::memory_order_relaxed);
}

namespace Detail {

bool Quiet() {
    return s_quiet.load(std::memory_order_relaxed);
}

void Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        std::fwrite(small, 1, static_cast<size_t>(n), stderr);
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        std::fwrite(big.data(), 1, static_cast<size_t>(n), stderr);
    }
    va_end(again);
    std::fflush(stderr);
}

void Exit() {
    std::exit(-1);
}

} // namespace Detail

} // namespace Engine::Log
