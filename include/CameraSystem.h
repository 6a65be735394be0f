#pragma once

#include "Controller.h"
#include "System.h"
#include "Transform.h"

namespace Engine {

// Eases the main camera towards the controlled entity.
class CameraSystem : public System<Transform, Controller> {
public:
    CameraSystem() = default;
    ~CameraSystem() override = default;

    void Run(EntityID entity) override;
};

} // namespace Engine
