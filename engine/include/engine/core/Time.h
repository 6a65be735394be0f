#pragma once

namespace Engine {

/// The simulation clock.
struct Time {
    /// Length in seconds of the simulation step being run; 0.01 once the loop runs.
    static inline double dt = 0.0;
    /// Seconds of simulation run since the engine was made: the sum of every
    /// step's dt. It drives what moves by itself, such as a map's animated
    /// tiles.
    static inline double elapsed = 0.0;
};

} // namespace Engine
