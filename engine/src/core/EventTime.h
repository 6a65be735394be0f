#pragma once

#include <SDL.h>

namespace Engine {

// When an event happened, in SDL's ticks: its time stamp, or now for one made
// without (pushed by a program or a test).
inline Uint32 EventTicks(const SDL_Event& event) {
    return event.common.timestamp ? event.common.timestamp : SDL_GetTicks();
}

// Seconds from SDL's ticks `at` until now; the ticks wrap after 49 days.
inline double SecondsSince(Uint32 at) {
    return double(Uint32(SDL_GetTicks() - at)) / 1000.0;
}

} // namespace Engine
