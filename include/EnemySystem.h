#pragma once

#include "Enemy.h"
#include "System.h"
#include "Transform.h"

namespace Engine {

// Patrols each enemy between two fixed x coordinates and knocks its player back on contact.
class EnemySystem : public System<Enemy, Transform> {
public:
    static constexpr float PatrolMin = 400.0f;
    static constexpr float PatrolMax = 800.0f;

    EnemySystem() = default;
    ~EnemySystem() override = default;

    void Run(EntityID entity) override;
};

} // namespace Engine
