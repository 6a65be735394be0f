#pragma once

#include <glm/vec3.hpp>

namespace Engine {

/// A constant force on the entity's own body, every update step.
struct ForceGenerator {
    glm::vec3 force{0.0f, 0.0f, 0.0f}; ///< Per unit of inverse mass, each step.
};

} // namespace Engine
