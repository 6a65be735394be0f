#pragma once

#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>

#include "game/Enemy.h"
#include "game/Tuning.h"

namespace Engine {

// Patrols each enemy between the ends of its Lane, or without one the designed
// bounds, and knocks its player back on contact.
class EnemySystem : public System<Enemy, Transform> {
public:
    static constexpr float PatrolMin = Tuning::PatrolMin;
    static constexpr float PatrolMax = Tuning::PatrolMax;

    EnemySystem() = default;
    ~EnemySystem() override = default;

    void Run(EntityID entity) override;
};

} // namespace Engine
