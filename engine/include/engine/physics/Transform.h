#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

namespace Engine {

/// Placement of an entity: position of its top-left corner (y grows downwards),
/// Euler angles in degrees, and size factors.
struct Transform {
    glm::vec3 position; ///< Top-left corner, world units.
    glm::vec3 rotation; ///< Euler angles, degrees.
    glm::vec3 scale;    ///< Size factors; a quad's size in world units.

    /// From position, rotation and scale.
    Transform(glm::vec3 p, glm::vec3 r, glm::vec3 s) : position(p), rotation(r), scale(s) {}
    Transform(const Transform&) = default;            ///< Copyable.
    Transform& operator=(const Transform&) = default; ///< Copyable.

    /// Translation * rotation * scale.
    glm::mat4 GetMatrix() const;
};

} // namespace Engine
