#include <engine/ecs/ECS.h>

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "ecs/ComponentStorage.h"
#include "ecs/EntityTable.h"

namespace Engine {

namespace {

void Drop(std::vector<EntityID>& list, EntityID entity) {
    auto it = std::find(list.begin(), list.end(), entity);
    if (it != list.end())
        list.erase(it);
}

} // namespace

ECS::ECS() : m_entities(CreateUni<EntityTable>()) {}

ECS::~ECS() {
    // Systems may hold components' resources through their own references; the
    // storage goes first, as the registry always released it.
    m_componentMap.clear();
    m_byType.fill(nullptr);
    m_entities->Clear();
}

size_t ECS::EntityCount() const {
    return m_entities->Size();
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

void ECS::AddRecord(IDType type, ComponentStorage& storage, EntityID entity, Ref<void> record) {
    const Archetype* now = m_entities->Find(entity);
    const bool existed = now != nullptr;
    const Archetype before = existed ? *now : Archetype();
    Archetype after = before;
    after.set(type);
    if (!existed || after != before)
        SetArchetype(entity, existed, before, after);
    storage.Insert(entity, std::move(record));
}

void ECS::Reserve(ComponentStorage& storage, size_t n) {
    // The records are most likely for entities made next: the next n, or
    // some of those room was made for, such as one record for each of a few
    // of many new entities.
    const size_t next = std::min<size_t>(m_entityIdCounter + n, UINT32_MAX);
    storage.Reserve(n, EntityID(std::max<size_t>(next, m_reservedLastId)));
}

void ECS::ReserveEntities(size_t n) {
    m_reservedLastId = EntityID(std::min<size_t>(m_entityIdCounter + n, UINT32_MAX));
    m_entities->Reserve(m_reservedLastId);
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
    m_reservedLastId = 0;
    m_entities->Clear();
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
    const Archetype* now = m_entities->Find(id);
    SetArchetype(id, now != nullptr, now ? *now : Archetype(), Archetype());
    return id;
}

void ECS::SetArchetype(EntityID entity, bool existed, Archetype before, Archetype after) {
    m_entities->Set(entity, after);
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
    const Archetype* found = m_entities->Find(entity);
    if (!found)
        return;
    const Archetype had = *found;
    // By the entity's own bits: every type it carries has an id within the
    // archetype's width, and nothing here can fail half-way.
    for (IDType type = 0; type < MAX_COMPONENTS; ++type)
        if (had.test(type) && m_byType[type])
            m_byType[type]->Remove(entity);
    for (auto& [arch, list] : m_lists)
        if ((had & arch) == arch)
            Drop(list, entity);
    ++m_listEpoch;
    m_entities->Erase(entity);
}

void ECS::RemoveEntities(const std::vector<EntityID>& entities) {
    // Which ids go, and which stores and lists hold any of them.
    std::unordered_set<EntityID> gone;
    Archetype types;
    for (EntityID entity : entities)
        if (const Archetype* found = m_entities->Find(entity)) {
            gone.insert(entity);
            types |= *found;
        }
    if (gone.empty())
        return;
    auto isGone = [&](EntityID entity) { return gone.count(entity) != 0; };
    for (IDType type = 0; type < MAX_COMPONENTS; ++type)
        if (types.test(type) && m_byType[type])
            m_byType[type]->RemoveIf(isGone);
    for (auto& [arch, list] : m_lists)
        if ((types & arch) == arch)
            std::erase_if(list, isGone);
    ++m_listEpoch;
    for (EntityID entity : gone)
        m_entities->Erase(entity);
}

Archetype ECS::GetArchetype(EntityID entity) const {
    const Archetype* found = m_entities->Find(entity);
    return found ? *found : Archetype();
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
    std::vector<EntityID>& list = it->second;
    if (made)
        m_entities->ForEach([&](EntityID entity, Archetype entityArch) {
            if ((entityArch & arch) == arch)
                list.push_back(entity);
        });
    return list;
}

} // namespace Engine
