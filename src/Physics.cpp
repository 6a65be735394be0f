#include <algorithm>
#include <cmath>
#include <vector>

#include <glm/geometric.hpp>

#include "Collider.h"
#include "ECS.h"
#include "ForceApplier.h"
#include "PhysicsSystem.h"
#include "Time.h"

namespace Engine {

bool Collider::Collides(glm::vec3 p1, const Ref<Collider>& c1, glm::vec3 p2,
                        const Ref<Collider>& c2, glm::vec3& normal) {
    float toVertical = std::min(p2.y + c2->height - p1.y, p1.y + c1->height - p2.y);
    float toHorizontal = std::min(p2.x + c2->width - p1.x, p1.x + c1->width - p2.x);
    bool hits = p1.x < p2.x + c2->width && p2.x < p1.x + c1->width && p1.y < p2.y + c2->height &&
                p2.y < p1.y + c1->height;
    if (hits) {
        if (toVertical < toHorizontal) {
            normal = glm::vec3(0.0f, 1.0f, 0.0f);
            if (p1.y < p2.y)
                normal = -normal;
        } else {
            normal = glm::vec3(1.0f, 0.0f, 0.0f);
            if (p1.x < p2.x)
                normal = -normal;
        }
    }
    return hits;
}

namespace {

constexpr int Iterations = 10;
// A contact whose normal is this close to straight up counts as standing on it.
constexpr float GroundedCos = 0.98f;

struct Obstacle {
    EntityID id;
    glm::vec3 position;
    Ref<Collider> collider;
    float area;
};

float OverlapArea(glm::vec3 p1, const Collider& c1, glm::vec3 p2, const Collider& c2) {
    float w = std::min(p1.x + c1.width, p2.x + c2.width) - std::max(p1.x, p2.x);
    float h = std::min(p1.y + c1.height, p2.y + c2.height) - std::max(p1.y, p2.y);
    return w > 0.0f && h > 0.0f ? w * h : 0.0f;
}

} // namespace

double ImpactTime(glm::vec3 start, glm::vec3 velocity, const Ref<Collider>& body,
                  glm::vec3 otherPos, const Ref<Collider>& other, double dt, glm::vec3& normal) {
    double newDt = dt / 2;
    glm::vec3 result = start;
    // Backs off by halving while the probe overlaps and only steps forward on the
    // last iteration, which keeps the search short of the obstacle.
    for (int itt = 1; itt <= Iterations; ++itt) {
        result = start + velocity * static_cast<float>(newDt);
        bool collides = Collider::Collides(result, body, otherPos, other, normal);
        if (collides)
            newDt = newDt - dt / std::pow(2.0f, itt + 1);
        else if (itt == Iterations)
            newDt = newDt + dt / std::pow(2.0f, itt + 1);
    }
    if (Collider::Collides(result, body, otherPos, other, normal))
        newDt = newDt - dt / std::pow(2.0f, Iterations + 1);
    return newDt;
}

void PhysicsSystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<Collider> collider = ecs.GetComponent<Collider>(entity);
    Ref<Transform> transform = ecs.GetComponent<Transform>(entity);
    Ref<RigidBody> rb = ecs.GetComponent<RigidBody>(entity);
    const double dt = Time::dt;
    const glm::vec3 start = transform->position;
    bool grounded = false;
    glm::vec3 normal(0.0f);

    // Zones act on the position at the start of the step, in id order so that a
    // run does not depend on the registry's iteration order.
    std::vector<EntityID> zones =
        ecs.GetEntitiesWith(ecs.GetArchetype<Transform, Collider, ForceApplier>());
    std::sort(zones.begin(), zones.end());
    for (EntityID zone : zones) {
        if (zone == entity)
            continue;
        if (Collider::Collides(start, collider, ecs.GetComponent<Transform>(zone)->position,
                               ecs.GetComponent<Collider>(zone), normal)) {
            rb->velocity +=
                ecs.GetComponent<ForceApplier>(zone)->force * (rb->iMass * static_cast<float>(dt));
            grounded = true;
        }
    }

    glm::vec3 result = start + rb->velocity * static_cast<float>(dt);

    // Contacts go deepest first (overlap with the free-motion rectangle), then by
    // id. Any other order lets the tile ahead, barely entered, stop a body that
    // runs across the seam of a flat floor.
    std::vector<Obstacle> deep, rest;
    for (EntityID other : ecs.GetEntitiesWith(ecs.GetArchetype<Collider, Transform>())) {
        if (other == entity)
            continue;
        Ref<Collider> c = ecs.GetComponent<Collider>(other);
        if (!c->solid)
            continue;
        glm::vec3 p = ecs.GetComponent<Transform>(other)->position;
        float area = OverlapArea(result, *collider, p, *c);
        (area > 0.0f ? deep : rest).push_back({other, p, std::move(c), area});
    }
    std::sort(deep.begin(), deep.end(), [](const Obstacle& a, const Obstacle& b) {
        return a.area != b.area ? a.area > b.area : a.id < b.id;
    });

    auto resolve = [&](const Obstacle& o) {
        glm::vec3 velocity = rb->velocity;
        double newDt = ImpactTime(start, velocity, collider, o.position, o.collider, dt, normal);
        // Only the part of the velocity pointing into the obstacle is removed.
        glm::vec3 newVel = velocity + normal * std::max(0.0f, -glm::dot(velocity, normal));
        result =
            start + velocity * static_cast<float>(newDt) + newVel * static_cast<float>(dt - newDt);
        rb->velocity = newVel;
        if (glm::dot(normal, glm::vec3(0.0f, -1.0f, 0.0f)) > GroundedCos)
            grounded = true;
    };
    for (const Obstacle& o : deep)
        if (Collider::Collides(result, collider, o.position, o.collider, normal))
            resolve(o);
    // The rest in id order without sorting them: the next one a sorted walk would
    // resolve is the lowest id past the last resolved that overlaps the result now.
    const Obstacle* last = nullptr;
    for (;;) {
        const Obstacle* next = nullptr;
        glm::vec3 probeNormal(0.0f);
        for (const Obstacle& o : rest)
            if ((!last || o.id > last->id) && (!next || o.id < next->id) &&
                Collider::Collides(result, collider, o.position, o.collider, probeNormal))
                next = &o;
        if (!next)
            break;
        Collider::Collides(result, collider, next->position, next->collider, normal);
        resolve(*next);
        last = next;
    }

    rb->velocity = rb->velocity - rb->velocity * (rb->drag * static_cast<float>(dt));
    rb->grounded = grounded;
    transform->position = result;
}

} // namespace Engine
