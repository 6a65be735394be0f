#pragma once

#include <cstddef>
#include <string_view>

namespace Engine {

// One character of UTF-8 text: its number, its length in bytes, and whether it
// is a stray byte (one that starts no well-formed sequence).
struct Utf8Char {
    char32_t code;
    size_t length;
    bool stray;
};

// The character that starts at byte i of text (i < text.size()). A byte that
// starts no well-formed sequence (overlong, a surrogate, past Unicode, cut
// short) stands for itself: its number, one byte long, stray when >= 0x80.
inline Utf8Char CharAt(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    const size_t more = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    char32_t code = c & (0x3F >> more);
    bool whole = more > 0 && c < 0xF5 && i + more < text.size();
    for (size_t k = 1; whole && k <= more; ++k) {
        whole = (byte(i + k) & 0xC0) == 0x80;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Not overlong, not a surrogate, within Unicode.
    const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
    whole = whole && code >= least && (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF;
    if (!whole)
        return {c, 1, c >= 0x80};
    return {code, more + 1, false};
}

// Calls fn(code, stray) for each character of UTF-8 text, as CharAt reads it.
template <typename Fn> void ForEachCode(std::string_view text, Fn&& fn) {
    for (size_t i = 0; i < text.size();) {
        const Utf8Char ch = CharAt(text, i);
        i += ch.length;
        fn(ch.code, ch.stray);
    }
}

} // namespace Engine
