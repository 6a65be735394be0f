#pragma once

#include <glm/mat4x4.hpp>

#include <engine/physics/Transform.h>

namespace Engine {

/// The one camera: its position is shown at the centre of a view of w by h
/// pixels, which the Engine sets to its window's size.
class Camera {
public:
    /// The camera's placement; its position is the world point at the view's centre.
    Transform transform{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}};
    /// Where the camera aims relative to the followed entity; only position is used.
    Transform offset{{50, 50, 0}, {0, 0, 0}, {1, 1, 1}};
    /// Width of the view in pixels.
    float w = 1280.0f;
    /// Height of the view in pixels.
    float h = 720.0f;

    Camera() = default;
    /// The view matrix that puts the camera's position at the view's centre.
    glm::mat4 GetView() const;
    /// The projection of the w by h pixel view: origin at the top-left corner, y down.
    glm::mat4 GetProjection() const;
    /// The process-wide camera the renderer draws through.
    static Camera& Main();
};

} // namespace Engine
