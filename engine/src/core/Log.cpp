#include <engine/core/Log.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace {
// What the terminal should show: C0 controls but line breaks and tabs, DEL,
// and U+0080 to U+009F (0xC2 then 0x80 to 0x9F in UTF-8) become '?'. Returns
// the new length, never more than n.
size_t Scrub(char* text, size_t n) {
    size_t out = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            text[out++] = '?';
        } else if (c == 0xC2 && i + 1 < n &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            text[out++] = '?';
            ++i;
        } else {
            text[out++] = text[i];
        }
    }
    return out;
}
} // namespace

void Write(bool warning, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // The line is made whole, colour and line break included, so that one
    // write puts it out; most fit on the stack.
    const size_t before = warning ? std::strlen(Red()) : 0;
    const size_t after = (warning ? std::strlen(Reset()) : 0) + 1;
    char small[512];
    std::vector<char> big;
    char* line = small;
    const int n = std::vsnprintf(small + before, sizeof small - before - after, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) >= sizeof small - before - after) {
        big.resize(before + static_cast<size_t>(n) + after);
        line = big.data();
        std::vsnprintf(line + before, static_cast<size_t>(n) + 1, format, again);
    }
    va_end(again);
    size_t length = before + Scrub(line + before, static_cast<size_t>(n));
    if (warning) {
        std::memcpy(line, Red(), before);
        std::memcpy(line + length, Reset(), after - 1);
        length += after - 1;
    }
    line[length++] = '\n';
    std::fwrite(line, 1, length, stderr);
    std::fflush(stderr);
}

void Exit() {
    std::exit(-1);
}

} // namespace Detail

} // namespace Engine::Log
