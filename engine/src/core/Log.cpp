#include <engine/core/Log.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace Engine::Log {

namespace {
// Where this thread's lines go instead of stderr, while a Capture lives.
thread_local std::string* t_capture = nullptr;

void Out(const char* text, size_t n) {
    std::fwrite(text, 1, n, stderr);
    std::fflush(stderr);
}

void Emit(const char* text, size_t n) {
    if (t_capture)
        t_capture->append(text, n);
    else
        Out(text, n);
}
} // namespace

namespace Detail {

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
        Emit(small, static_cast<size_t>(n));
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        Emit(big.data(), static_cast<size_t>(n));
    }
    va_end(again);
}

void Exit() {
    if (t_capture) {
        std::string held;
        held.swap(*t_capture);
        t_capture = nullptr;
        Replay(held);
    }
    std::exit(-1);
}

} // namespace Detail

Capture::Capture() : m_outer(t_capture) {
    t_capture = &m_lines;
}

Capture::~Capture() {
    t_capture = m_outer;
    if (m_outer)
        m_outer->append(m_lines);
}

std::string Capture::Take() {
    std::string lines;
    lines.swap(m_lines);
    return lines;
}

void Replay(const std::string& lines) {
    if (!lines.empty())
        Out(lines.data(), lines.size());
}

} // namespace Engine::Log
