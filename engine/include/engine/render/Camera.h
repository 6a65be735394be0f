#pragma once

#include <glm/mat4x4.hpp>

#include <engine/physics/Transform.h>

namespace Engine {

// The one camera: its position is shown at the centre of the 1280 by 720 screen.
class Camera {
public:
    Transform transform{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}};
    // Where the camera aims relative to the followed entity; only position is used.
    Transform offset{{50, 50, 0}, {0, 0, 0}, {1, 1, 1}};
    float w = 500.0f;
    float h = 500.0f;

    Camera() = default;
    glm::mat4 GetView() const;
    static Camera& Main();
};

} // namespace Engine
