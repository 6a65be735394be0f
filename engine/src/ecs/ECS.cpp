#include <engine/ecs/ECS.h>

#include <algorithm>
#include <cstdint>

#include "ecs/EntityLists.h"
#include "ecs/EntityTable.h"

namespace Engine {

ECS::ECS() : m_entities(CreateUni<EntityTable>()), m_lists(CreateUni<EntityLists>()) {}

ECS::~ECS() {
    // Systems may hold components' resources through their own references; the
    // storage goes first, as the registry always released it.
    m_lists->Clear();
    m_componentMap.clear();
    m_byType.fill(nullptr);
    m_entities->Clear();
}

size_t ECS::EntityCount() const {
    return m_entities->Size();
}

void ECS::AddStorage(IDType type, const ComponentStore::Layout& layout) {
    if (m_componentMap.count(type))
        return;
    auto [it, made] = m_componentMap.emplace(type, CreateUni<ComponentStore>(layout));
    if (type < m_byType.size())
        m_byType[type] = it->second.get();
}

ComponentStore& ECS::OtherStorage(IDType type) const {
    // Ids past the archetype's width cannot be given to an entity, but are
    // still looked up safely.
    if (type >= m_byType.size())
        if (auto it = m_componentMap.find(type); it != m_componentMap.end())
            return *it->second;
    throw std::runtime_error("Component Not Registered!");
}

void ECS::ReserveEntities(size_t) {}

void ECS::Reset() {
    m_lists->Clear();
    m_componentMap.clear();
    m_byType.fill(nullptr);
    m_entities->Clear();
    ++m_listEpoch;
    m_systems.clear();
    m_runObserver = nullptr;
    m_entityIdCounter = 1;
    m_systemIdCounter = 0;
}

EntityID ECS::CreateEntity() {
    // Past the last id the counter would wrap and hand out the ids of live
    // entities again, emptying them.
    const EntityID id = TakeIds(1);
    const EntityTable::Entry before = m_entities->Change(id, [](Archetype& arch) { arch.reset(); });
    Handed(id, before.exists, before.arch);
    return id;
}

EntityRange ECS::CreateEntities(size_t n) {
    const EntityID first = TakeIds(n);
    StartOver(first, n);
    Made(first, n, Archetype(), Highest() < first);
    return EntityRange(first, first + EntityID(n));
}

EntityID ECS::TakeIds(size_t n) {
    const EntityID first = m_entityIdCounter;
    if (n > uint64_t(UINT32_MAX) - first)
        throw std::length_error("ECS: too few entity ids are left");
    m_entityIdCounter += EntityID(n);
    return first;
}

void ECS::StartOver(EntityID first, size_t n) {
    // Only ids given components before they were made can exist already,
    // and none past the highest ever entered.
    const uint64_t last = std::min<uint64_t>(uint64_t(first) + n, uint64_t(Highest()) + 1);
    for (uint64_t id = first; id < last; ++id)
        if (const EntityTable::Entry now = m_entities->Find(EntityID(id)); now.exists) {
            m_entities->Set(EntityID(id), Archetype());
            Handed(EntityID(id), true, now.arch);
        }
}

EntityID ECS::Highest() const {
    return m_entities->Highest();
}

void ECS::Made(EntityID first, size_t n, Archetype arch, bool unseen) {
    m_entities->ChangeRun(
        first, n, unseen, [&](Archetype& now) { now |= arch; },
        [&](size_t k, size_t count, EntityTable::Entry before) {
            if (!before.exists) {
                m_lists->Made(first + EntityID(k), count, arch);
                return;
            }
            // Emptied by TakeIds, or given records by the caller's functions.
            for (EntityID id = first + EntityID(k); id < first + k + count; ++id)
                m_lists->Change(id, true, before.arch, true, before.arch | arch);
        });
}

void ECS::Unplace(const EntityID* ids, size_t n, Archetype arch) {
    for (size_t k = 0; k < n; ++k) {
        const EntityTable::Entry now = m_entities->Find(ids[k]);
        for (uint32_t bits = uint32_t(arch.to_ulong()); bits; bits &= bits - 1) {
            const IDType type = IDType(std::countr_zero(bits));
            if (m_byType[type]->Remove(ids[k]) && now.exists && now.arch.test(type))
                Removed(ids[k], type);
        }
    }
}

void ECS::Handed(EntityID id, bool existed, Archetype before) {
    if (!existed) {
        m_lists->Made(id);
        return;
    }
    // Given components before it was made: it starts over empty.
    for (uint32_t bits = uint32_t(before.to_ulong()); bits; bits &= bits - 1)
        m_byType[std::countr_zero(bits)]->Remove(id);
    if (m_lists->Change(id, true, before, true, Archetype()))
        ++m_listEpoch;
}

void ECS::Added(const EntityID* entities, size_t n, IDType type) {
    const Archetype bit = Archetype().set(type);
    if (n == 1) {
        const EntityTable::Entry before = m_entities->Change(*entities, [&](Archetype& arch) { arch |= bit; });
        m_lists->Gained(*entities, type, before.exists, before.arch);
        return;
    }
    if (Runs::Consecutive(entities, n)) {
        m_entities->ChangeRun(
            entities[0], n, false, [&](Archetype& arch) { arch |= bit; },
            [&](size_t k, size_t count, EntityTable::Entry before) {
                m_lists->Gained(entities[k], count, type, before.exists, before.arch);
            });
        return;
    }
    if (!m_lists->Joinable(type)) {
        m_entities->Change(entities, n, nullptr, [&](Archetype& arch) { arch |= bit; });
        return;
    }
    // The archetypes first, then the lists, a run of entities that were
    // alike at a time.
    std::array<EntityTable::Entry, 256> before;
    for (size_t done = 0; done < n; done += before.size()) {
        const size_t count = std::min(n - done, before.size());
        m_entities->Change(entities + done, count, before.data(), [&](Archetype& arch) { arch |= bit; });
        m_lists->Gained(entities + done, before.data(), count, type);
    }
}

void ECS::Removed(EntityID entity, IDType type) {
    const Archetype before = m_entities->Change(entity, [&](Archetype& arch) { arch.reset(type); }).arch;
    Archetype after = before;
    after.reset(type);
    m_lists->Change(entity, true, before, true, after);
    ++m_listEpoch;
}

bool ECS::Drop(EntityID entity) {
    const EntityTable::Entry found = m_entities->Find(entity);
    if (!found.exists)
        return false;
    // By the entity's own bits: every type it carries has an id within the
    // archetype's width, and nothing here can fail half-way.
    for (uint32_t bits = uint32_t(found.arch.to_ulong()); bits; bits &= bits - 1)
        m_byType[std::countr_zero(bits)]->Remove(entity);
    m_lists->Change(entity, true, found.arch, false, Archetype());
    m_entities->Erase(entity);
    return true;
}

void ECS::RemoveEntity(const EntityID& entity) {
    if (Drop(entity))
        ++m_listEpoch;
}

void ECS::RemoveEntities(const std::vector<EntityID>& entities) {
    DropAll(entities);
}

Archetype ECS::GetArchetype(EntityID entity) const {
    return m_entities->Find(entity).arch;
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

namespace {

// Keeps a run's place in its list while it lasts, and the run's number.
class RunScope {
public:
    RunScope(EntityList& list, uint64_t& current, uint64_t run)
        : m_cursor{&list, 0, list.ids.size()}, m_current(current), m_outer(current) {
        list.cursors.push_back(&m_cursor);
        current = run;
    }
    ~RunScope() {
        if (m_cursor.list) {
            auto& cursors = m_cursor.list->cursors;
            cursors.erase(std::find(cursors.begin(), cursors.end(), &m_cursor));
        }
        m_current = m_outer;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

    ListCursor& Cursor() { return m_cursor; }

private:
    ListCursor m_cursor;
    uint64_t& m_current;
    uint64_t m_outer;
};

} // namespace

void ECS::RunSystem(SystemID id) {
    Ref<SystemBase> system = m_systems.at(id);
    if (m_runObserver)
        m_runObserver(*system);
    EntityList& list = m_lists->Get(system->m_arch, *m_entities);
    if (list.holes)
        EntityLists::Compact(list);
    // Runs nest when a system runs another; the outer one goes on after.
    RunScope scope(list, m_currentRun, ++m_runs);
    ListCursor& cursor = scope.Cursor();
    SystemBase& run = *system;
    // The list may lose entries, or be compacted, by what Run does: the
    // cursor follows, and ends the run should the registry be reset.
    while (cursor.list && cursor.next < cursor.end) {
        if (!list.holes) {
            // Until an entity may have left a list, entries only come at the
            // end: the walk goes straight on, the cursor only written.
            const uint64_t epoch = m_listEpoch;
            const size_t end = cursor.end;
            size_t i = cursor.next;
            do {
                cursor.next = i + 1;
                run.Run(list.ids[i]);
            } while (++i < end && m_listEpoch == epoch);
            continue;
        }
        const size_t i = cursor.next++;
        if (list.Holds(i))
            run.Run(list.ids[i]);
    }
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
    EntityList& list = m_lists->Get(arch, *m_entities);
    if (list.holes)
        EntityLists::Compact(list);
    return list.ids;
}

} // namespace Engine
