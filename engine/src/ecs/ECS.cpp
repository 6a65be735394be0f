#include <engine/ecs/ECS.h>

#include <algorithm>

#include "ecs/ComponentStorage.h"

namespace Engine {

namespace {

void Drop(std::vector<EntityID>& list, EntityID entity) {
    auto it = std::find(list.begin(), list.end(), entity);
    if (it != list.end())
        list.erase(it);
}

} // namespace

ECS::ECS() = default;

ECS::~ECS() {
    // Systems may hold components' resources through their own references; the
    // storage goes first, as the registry always released it.
    m_componentMap.clear();
    m_entityArch.clear();
}

void ECS::AddStorage(IDType type) {
    if (m_componentMap.count(type))
        return;
    auto [it, made] = m_componentMap.emplace(type, CreateUni<ComponentStorage>());
    if (type < m_byType.size())
        m_byType[type] = it->second.get();
}

ComponentStorage& ECS::Storage(IDType type) const {
    // Ids past the archetype's width cannot be registered in practice, but
    // are still looked up safely.
    if (type < m_byType.size()) {
        if (ComponentStorage* storage = m_byType[type])
            return *storage;
    } else if (auto it = m_componentMap.find(type); it != m_componentMap.end()) {
        return *it->second;
    }
    throw std::runtime_error("Component Not Registered!");
}

void ECS::Insert(ComponentStorage& storage, EntityID entity, Ref<void> record) {
    storage.Insert(entity, std::move(record));
}

void ECS::Reserve(ComponentStorage& storage, size_t n) {
    storage.Reserve(n);
}

void ECS::ReserveEntities(size_t n) {
    m_entityArch.reserve(m_entityArch.size() + n);
}

const Ref<void>& ECS::Find(IDType type, EntityID entity) const {
    return Storage(type).Find(entity);
}

ECS& ECS::Get() {
    static ECS registry;
    return registry;
}

void ECS::Reset() {
    m_componentMap.clear();
    m_byType.fill(nullptr);
    m_entityArch.clear();
    m_lists.clear();
    ++m_listEpoch;
    m_systems.clear();
    m_runObserver = nullptr;
    m_entityIdCounter = 1;
    m_systemIdCounter = 0;
}

EntityID ECS::CreateEntity() {
    EntityID id = GetNewID();
    // An id given components before it was created starts over empty, as it
    // always did.
    auto it = m_entityArch.find(id);
    const bool existed = it != m_entityArch.end();
    SetArchetype(id, existed, existed ? it->second : Archetype(), Archetype());
    return id;
}

void ECS::SetArchetype(EntityID entity, bool existed, Archetype before, Archetype after) {
    m_entityArch[entity] = after;
    for (auto& [arch, list] : m_lists) {
        const bool was = existed && (before & arch) == arch;
        const bool is = (after & arch) == arch;
        if (is && !was) {
            list.push_back(entity);
        } else if (was && !is) {
            Drop(list, entity);
            ++m_listEpoch;
        }
    }
}

void ECS::RemoveEntity(const EntityID& entity) {
    auto it = m_entityArch.find(entity);
    if (it == m_entityArch.end())
        return;
    for (auto& [typeId, storage] : m_componentMap)
        if (it->second.test(typeId))
            storage->Remove(entity);
    for (auto& [arch, list] : m_lists)
        if ((it->second & arch) == arch)
            Drop(list, entity);
    ++m_listEpoch;
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
    // A copy: entities made during the run are not visited by it.
    const std::vector<EntityID> entities = EntitiesWith(system->m_arch);
    // Runs nest when a system runs another; the outer one goes on after.
    const uint64_t outer = m_currentRun;
    m_currentRun = ++m_runs;
    for (EntityID entity : entities)
        system->Run(entity);
    m_currentRun = outer;
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
    return EntitiesWith(arch);
}

const std::vector<EntityID>& ECS::EntitiesWith(Archetype arch) const {
    auto [it, made] = m_lists.try_emplace(arch);
    if (made)
        for (const auto& [entity, entityArch] : m_entityArch)
            if ((entityArch & arch) == arch)
                it->second.push_back(entity);
    return it->second;
}

} // namespace Engine
