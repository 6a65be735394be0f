#include <engine/physics/Transform.h>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

namespace Engine {

glm::mat4 Transform::GetMatrix() const {
    glm::mat4 r = glm::mat4_cast(glm::quat(glm::radians(rotation)));
    glm::mat4 t = glm::translate(glm::mat4(1.0f), position);
    glm::mat4 s = glm::scale(glm::mat4(1.0f), scale);
    return t * r * s;
}

} // namespace Engine
