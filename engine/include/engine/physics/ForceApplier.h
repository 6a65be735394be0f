#pragma once

#include <glm/vec3.hpp>

namespace Engine {

/// Makes the entity's collider a force zone: every body overlapping it receives this force.
struct ForceApplier {
    glm::vec3 force{0.0f, 0.0f, 0.0f}; ///< Per unit of inverse mass, each step.
};

} // namespace Engine
