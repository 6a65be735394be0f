#pragma once

#include <glm/vec3.hpp>

#include <engine/core/Base.h>

namespace Engine {

/// An axis-aligned rectangle spanning (x, y) to (x + width, y + height) from the
/// entity's position; z, rotation and scale play no part.
struct Collider {
    float width = 0.0f;  ///< Along x.
    float height = 0.0f; ///< Along y (downwards).
    /// Only solid colliders stop bodies.
    bool solid = false;

    /// Whether the rectangles overlap (touching edges do not). On overlap, `normal`
    /// becomes the axis of least penetration, pointing from the second rectangle
    /// towards the first; ties go to the horizontal axis. Otherwise it is untouched.
    static bool Collides(glm::vec3 p1, const Ref<Collider>& c1, glm::vec3 p2,
                         const Ref<Collider>& c2, glm::vec3& normal);
};

} // namespace Engine
