#include <engine/render/Camera.h>

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>

namespace Engine {

glm::mat4 Camera::GetView() const {
    Transform centred = transform;
    centred.position -= glm::vec3(w, h, 0.0f) / 2.0f;
    return glm::inverse(centred.GetMatrix());
}

glm::mat4 Camera::GetProjection() const {
    return glm::ortho(0.0f, w, h, 0.0f, -1.0f, 1.0f);
}

Camera& Camera::Main() {
    static Camera s_cam;
    return s_cam;
}

} // namespace Engine
