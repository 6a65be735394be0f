#pragma once

#include <engine/ecs/Types.h>

namespace Engine {

// A patrolling enemy that throws `player` back on contact.
struct Enemy {
    EntityID player;
    // false: moving towards +x; true: towards -x.
    bool dir = false;

    explicit Enemy(EntityID id) : player(id) {}
};

// The x coordinates an enemy turns at, when not the designed ones; with no
// room between them (max not above min) it holds its place.
struct Lane {
    float min = 0.0f;
    float max = 0.0f;
    bool operator==(const Lane&) const = default;
};

} // namespace Engine
