#pragma once

#include <SDL.h>

#include <cstring>

namespace Engine {

// Walks the chunks of a RIFF WAVE file that starts at `start` of source:
// visit(id, size, next) is called for each with the source at the chunk's
// body, `next` where the chunk after it starts, until it returns false, a
// chunk cannot be read or 64 were seen (real files put a handful before the
// samples; the bound keeps a file of tiny chunks from costing a seek each).
// False when the source holds no RIFF WAVE header there.
template <typename Visit> bool WalkWavChunks(SDL_RWops* source, Sint64 start, Visit&& visit) {
    Uint8 head[12];
    if (SDL_RWseek(source, start, RW_SEEK_SET) != start ||
        SDL_RWread(source, head, sizeof head, 1) != 1 || std::memcmp(head, "RIFF", 4) ||
        std::memcmp(head + 8, "WAVE", 4))
        return false;
    Sint64 pos = start + 12;
    for (int i = 0; i < 64 && SDL_RWseek(source, pos, RW_SEEK_SET) == pos; ++i) {
        Uint8 chunk[8];
        if (SDL_RWread(source, chunk, sizeof chunk, 1) != 1)
            break;
        Uint32 size;
        std::memcpy(&size, chunk + 4, sizeof size);
        size = SDL_SwapLE32(size);
        pos += 8 + Sint64(size) + (size & 1);
        if (!visit(static_cast<const Uint8*>(chunk), size, pos))
            break;
    }
    return true;
}

} // namespace Engine
