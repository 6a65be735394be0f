#include <engine/render/Camera.h>

#include <glm/gtc/matrix_inverse.hpp>

namespace Engine {

glm::mat4 Camera::GetView() const {
    Transform centred = transform;
    centred.position -= glm::vec3(1280.0f, 720.0f, 0.0f) / 2.0f;
    return glm::inverse(centred.GetMatrix());
}

Camera& Camera::Main() {
    static Camera s_cam;
    return s_cam;
}

} // namespace Engine
