#include <engine/physics/ForceSystem.h>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>

namespace Engine {

void ForceSystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<ForceGenerator> generator = ecs.GetComponent<ForceGenerator>(entity);
    Ref<RigidBody> body = ecs.GetComponent<RigidBody>(entity);
    if (!generator || !body) // called by hand for an entity without them
        return;
    body->velocity += generator->force * (body->iMass * static_cast<float>(Time::dt));
}

} // namespace Engine
