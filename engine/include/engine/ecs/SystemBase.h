#pragma once

#include <engine/ecs/Types.h>

namespace Engine {

class ECS;

/// What the registry runs: a signature (the set of component types) and Run.
class SystemBase {
public:
    virtual ~SystemBase() = default;                     ///< Shared through Ref.
    virtual Archetype GetArch() const { return m_arch; } ///< The signature.
    virtual SystemID GetID() const { return m_id; }      ///< Given at registration.

protected:
    friend class ECS;
    /// Called by the registry for every entity that carries the signature.
    virtual void Run(EntityID entity) = 0;

    SystemID m_id = 0; ///< Set by ECS::RegisterSystem.
    Archetype m_arch;  ///< The signature.
};

} // namespace Engine
