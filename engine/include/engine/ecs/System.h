#pragma once

#include <engine/ecs/Component.h>
#include <engine/ecs/SystemBase.h>

namespace Engine {

/// A system whose signature is the set of the listed component types.
template <typename... Cs> class System : public SystemBase {
    static_assert(sizeof...(Cs) > 0, "a system needs at least one component type");

public:
    /// Sets the signature from Cs.
    System() { (m_arch.set(Component<Cs>::GetTypeID()), ...); }

protected:
    /// Does nothing; systems override it.
    void Run(EntityID) override {}
};

} // namespace Engine
