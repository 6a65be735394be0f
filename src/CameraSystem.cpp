#include "CameraSystem.h"

#include "Camera.h"
#include "ECS.h"
#include "Time.h"

namespace Engine {

void CameraSystem::Run(EntityID entity) {
    Ref<Transform> t = ECS::Get().GetComponent<Transform>(entity);
    Camera& cam = Camera::Main();
    glm::vec3 target = t->position + cam.offset.position;
    glm::vec3 step = (target - cam.transform.position) * 2.0f * static_cast<float>(Time::dt);
    cam.transform.position += step;
}

} // namespace Engine
