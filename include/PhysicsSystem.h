#pragma once

#include <glm/vec3.hpp>

#include "Collider.h"
#include "RigidBody.h"
#include "System.h"
#include "Transform.h"

namespace Engine {

// Time-of-impact search of a body leaving `start` at `velocity` against the
// rectangle of `other` at `otherPos`, within a step of length dt. Bisects ten
// times from dt/2 and returns the time spent at the old velocity: 0 when every
// probe overlaps, dt/2 + dt/2048 when the first probe is already free. `normal`
// receives the normal of the last overlapping probe.
double ImpactTime(glm::vec3 start, glm::vec3 velocity, const Ref<Collider>& body,
                  glm::vec3 otherPos, const Ref<Collider>& other, double dt, glm::vec3& normal);

// Moves every body one step: force zones, free motion, contacts with solid
// colliders, drag, and the grounded flag.
class PhysicsSystem : public System<RigidBody, Transform, Collider> {
public:
    PhysicsSystem() = default;
    ~PhysicsSystem() override = default;

    void Run(EntityID entity) override;
};

} // namespace Engine
