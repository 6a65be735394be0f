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

} // namespace Engine
