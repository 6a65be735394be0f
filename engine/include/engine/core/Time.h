#pragma once

namespace Engine {

/// The simulation clock.
struct Time {
    /// Length in seconds of the simulation step being run; 0.01 once the loop runs.
    static inline double dt = 0.0;
};

} // namespace Engine
