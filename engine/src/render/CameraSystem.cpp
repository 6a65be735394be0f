#include <engine/render/CameraSystem.h>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>

namespace Engine {

void EaseCameraTowards(EntityID entity) {
    Ref<Transform> t = ECS::Get().GetComponent<Transform>(entity);
    Camera& cam = Camera::Main();
    glm::vec3 target = t->position + cam.offset.position;
    glm::vec3 step = (target - cam.transform.position) * 2.0f * static_cast<float>(Time::dt);
    cam.transform.position += step;
}

} // namespace Engine
