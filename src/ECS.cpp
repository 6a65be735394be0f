#include "ECS.h"

namespace Engine {

ECS::~ECS() {
    // Systems may hold components' resources through their own references; the
    // storage goes first, as the registry always released it.
    m_componentMap.clear();
    m_entityArch.clear();
}

ECS& ECS::Get() {
    static ECS registry;
    return registry;
}

void ECS::Reset() {
    m_componentMap.clear();
    m_entityArch.clear();
    m_systems.clear();
    m_runObserver = nullptr;
    m_entityIdCounter = 1;
    m_systemIdCounter = 0;
}

EntityID ECS::CreateEntity() {
    EntityID id = GetNewID();
    m_entityArch[id] = Archetype();
    return id;
}

void ECS::RemoveEntity(const EntityID& entity) {
    auto it = m_entityArch.find(entity);
    if (it == m_entityArch.end())
        return;
    for (auto& [typeId, storage] : m_componentMap)
        if (it->second.test(typeId))
            storage->EntityDestroyed(entity);
    m_entityArch.erase(it);
}

Archetype ECS::GetArchetype(EntityID entity) const {
    auto it = m_entityArch.find(entity);
    return it == m_entityArch.end() ? Archetype() : it->second;
}

SystemID ECS::RegisterSystem(const Ref<SystemBase>& system) {
    SystemID id = m_systemIdCounter++;
    system->m_id = id;
    m_systems[id] = system;
    return id;
}

Ref<SystemBase> ECS::GetSystem(SystemID id) const {
    auto it = m_systems.find(id);
    return it == m_systems.end() ? nullptr : it->second;
}

void ECS::RunSystem(SystemID id) {
    Ref<SystemBase> system = m_systems.at(id);
    if (m_runObserver)
        m_runObserver(*system);
    std::vector<EntityID> entities = GetEntitiesWith(system->m_arch);
    for (EntityID entity : entities)
        system->Run(entity);
}

void ECS::RunSystemArch(Archetype arch) {
    // Collect first: a system's Run may register another system.
    std::vector<SystemID> matching;
    for (const auto& [id, system] : m_systems)
        if (system->m_arch == arch)
            matching.push_back(id);
    for (SystemID id : matching)
        RunSystem(id);
}

std::vector<EntityID> ECS::GetEntitiesWith(Archetype arch) const {
    std::vector<EntityID> result;
    for (const auto& [entity, entityArch] : m_entityArch)
        if ((entityArch & arch) == arch)
            result.push_back(entity);
    return result;
}

} // namespace Engine
