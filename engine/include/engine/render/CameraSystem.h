#pragma once

#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>

namespace Engine {

/// One step of the main camera towards the entity's position plus the camera's
/// offset: twice the remaining distance per second, scaled by Time::dt.
void EaseCameraTowards(EntityID entity);

/// Eases the main camera towards each entity that carries a Transform and
/// Target, the component by which a game marks what the camera follows.
template <typename Target> class CameraSystem : public System<Transform, Target> {
public:
    CameraSystem() = default;
    ~CameraSystem() override = default;

    void Run(EntityID entity) override { EaseCameraTowards(entity); }
};

} // namespace Engine
