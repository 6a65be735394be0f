#pragma once

#include <cstddef>
#include <cstdint>

/// Plain loops over runs of values, for the registry's calls for many. Each
/// goes eight at a time, so that compilers turn it into vector code at their
/// everyday optimisation, which leaves loops of unknown length alone.
namespace Engine::Runs {

/// out[i] = first + i, for i below n.
inline void Iota(uint32_t* out, uint32_t first, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (uint32_t j = 0; j < 8; ++j)
            out[i + j] = first + uint32_t(i) + j;
    for (; i < n; ++i)
        out[i] = first + uint32_t(i);
}

/// out[i] = value, for i below n.
template <typename V> void Fill(V* out, V value, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (size_t j = 0; j < 8; ++j)
            out[i + j] = value;
    for (; i < n; ++i)
        out[i] = value;
}

/// Whether all of values[0, n) are zero.
template <typename V> bool None(const V* values, size_t n) {
    V any = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        V some = 0;
        for (size_t j = 0; j < 8; ++j)
            some |= values[i + j];
        any |= some;
    }
    for (; i < n; ++i)
        any |= values[i];
    return any == 0;
}

/// Whether ids[i] is ids[0] + i, for i below n.
inline bool Consecutive(const uint32_t* ids, size_t n) {
    uint32_t off = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint32_t some = 0;
        for (uint32_t j = 0; j < 8; ++j)
            some |= ids[i + j] ^ (ids[0] + uint32_t(i) + j);
        off |= some;
    }
    for (; i < n; ++i)
        off |= ids[i] ^ (ids[0] + uint32_t(i));
    return off == 0;
}

} // namespace Engine::Runs
