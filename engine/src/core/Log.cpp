#include <engine/core/Log.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

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
// and U+0080 to U+009F (0xC2 then 0x80 to 0x9F in UTF-8) become '?'.
void Scrub(std::string& text) {
    size_t out = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            text[out++] = '?';
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            text[out++] = '?';
            ++i;
        } else {
            text[out++] = text[i];
        }
    }
    text.resize(out);
}
} // namespace

void Write(bool warning, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    std::string text(static_cast<size_t>(n), '\0');
    if (text.size() < sizeof small)
        text.assign(small, text.size());
    else
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    Scrub(text);
    const std::string line = warning ? Red() + text + Reset() + "\n" : text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void Exit() {
    std::exit(-1);
}

} // namespace Detail

} // namespace Engine::Log
