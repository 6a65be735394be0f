#pragma once

#include <glm/vec3.hpp>

namespace Engine {

/// Motion state of a simulated body.
struct RigidBody {
    glm::vec3 velocity{0.0f, 0.0f, 0.0f}; ///< World units a second.
    /// Kept for completeness; no system reads it.
    glm::vec3 force{0.0f, 0.0f, 0.0f};
    float iMass = 1.0f; ///< Inverse mass: how much a force changes the velocity.
    /// Linear damping per second.
    float drag = 2.98f;
    /// Set by each physics step: standing on something solid or inside a force zone.
    bool grounded = true;
};

} // namespace Engine
