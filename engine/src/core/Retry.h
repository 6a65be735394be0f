#pragma once

#include <cstdint>
#include <functional>

namespace Engine {

// Tries `attempt` once, then again after each of `retries` waits, the first
// of `firstDelayMs` and each next one twice as long. Returns the number of
// the try that succeeded (1 for the first), or 0 when the last one failed
// too. `wait` does the waiting, so the rule can be checked without a clock.
inline int TryWithRetries(int retries, uint32_t firstDelayMs, const std::function<bool()>& attempt,
                          const std::function<void(uint32_t)>& wait) {
    if (attempt())
        return 1;
    uint32_t delay = firstDelayMs;
    for (int retry = 1; retry <= retries; ++retry, delay *= 2) {
        wait(delay);
        if (attempt())
            return retry + 1;
    }
    return 0;
}

} // namespace Engine
