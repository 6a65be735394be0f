#pragma once

#include <string>
#include <type_traits>

/// Lines on the standard error stream: a short upper-case tag, then the message.
namespace Engine::Log {

/// What the logging functions are made of; not for direct use.
namespace Detail {
/// Formats one whole line, red for a warning, and writes it with a single
/// call, so lines from different sources never interleave mid-line. Control
/// characters that values bring (a file's name, text from a file) are shown
/// as '?', so that they cannot move the terminal's cursor or retitle it; line
/// breaks and tabs stay, for a compiler's log.
void Write(bool warning, const char* format, ...);
/// Ends the process with status 255.
[[noreturn]] void Exit();
/// Whether SetQuiet silenced the information lines.
bool Quiet();

/// Values reach printf, so only what printf can take safely is accepted.
template <typename T>
constexpr bool Printable =
    std::is_arithmetic_v<std::decay_t<T>> || std::is_pointer_v<std::decay_t<T>> ||
    std::is_null_pointer_v<std::decay_t<T>> || std::is_enum_v<std::decay_t<T>>;

/// Plain strings, not static objects: a line can be written at any time,
/// even while static objects are destroyed at exit.
inline constexpr const char* Red() {
    return "\x1b[0;31m";
}
/// The colour back to the terminal's own.
inline constexpr const char* Reset() {
    return "\x1b[0m";
}
} // namespace Detail

/// Silences the information lines (Log) while warnings and errors still
/// print, for a program that keeps its terminal for lines of its own; false,
/// the default, prints them again. Safe from any thread, the audio thread's
/// lines included.
void SetQuiet(bool quiet);

/// "TAG: message" on stderr, unless SetQuiet silenced it; msg is a printf
/// format for args.
template <typename... Args> void Log(std::string type, std::string msg, Args... args) {
    static_assert((Detail::Printable<Args> && ...), "Log values must be printf-compatible");
    if (Detail::Quiet())
        return;
    Detail::Write(false, (type + ": " + msg).c_str(), args...);
}

/// The same line in red.
template <typename... Args> void Warn(std::string type, std::string msg, Args... args) {
    static_assert((Detail::Printable<Args> && ...), "Log values must be printf-compatible");
    Detail::Write(true, (type + ": " + msg).c_str(), args...);
}

/// The warning line, then the process ends with status 255.
template <typename... Args> [[noreturn]] void Err(std::string type, std::string msg, Args... args) {
    Warn(std::move(type), std::move(msg), args...);
    Detail::Exit();
}

} // namespace Engine::Log
