#pragma once

#include <engine/ecs/System.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/RigidBody.h>

namespace Engine {

/// Turns each body's constant force into a change of velocity; the physics step moves it.
class ForceSystem : public System<ForceGenerator, RigidBody> {
public:
    ForceSystem() = default;
    ~ForceSystem() override = default;

    /// Adds force * iMass * Time::dt to the body's velocity; nothing for an
    /// entity that lacks either component.
    void Run(EntityID entity) override;
};

} // namespace Engine
