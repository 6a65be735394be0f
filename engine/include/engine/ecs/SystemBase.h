#pragma once

#include <engine/ecs/Types.h>

namespace Engine {

class ECS;

class SystemBase {
public:
    virtual ~SystemBase() = default;
    virtual Archetype GetArch() const { return m_arch; }
    virtual SystemID GetID() const { return m_id; }

protected:
    friend class ECS;
    // Called by the registry for every entity that carries the signature.
    virtual void Run(EntityID entity) = 0;

    SystemID m_id = 0;
    Archetype m_arch;
};

} // namespace Engine
