#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Log.h>
#include <engine/ecs/Component.h>
#include <engine/ecs/SystemBase.h>
#include <engine/ecs/Types.h>

namespace Engine {

class ComponentStorage;
class EntityTable;

/// The registry's component stores, by component type id.
using CompIdArrayMap = std::unordered_map<IDType, Uni<ComponentStorage>>;
/// The registry's systems, by system id.
using SystemMap = std::unordered_map<SystemID, Ref<SystemBase>>;

/// The registry: entity ids, component storage per type, entity archetypes and
/// the registered systems. One per process, reached through Get().
class ECS {
public:
    ECS();                               ///< Empty: no entities, storage or systems.
    ECS(const ECS&) = delete;            ///< One registry; not copied.
    ECS& operator=(const ECS&) = delete; ///< One registry; not copied.
    ~ECS();                              ///< Drops every record and system.

    /// The process-wide registry.
    static ECS& Get();

    /// Back to the state of a new registry: no entities, storage or systems,
    /// counters at 1 and 0. Component type ids are process-wide and stay.
    void Reset();

    /// A new entity with no components; ids count from 1.
    EntityID CreateEntity();
    /// Drops the entity's records from every storage and the entity itself.
    void RemoveEntity(const EntityID& entity);
    /// RemoveEntity for each of them, in one pass over the stores and lists
    /// instead of one a removal: many entities go as fast as a few. Ids that
    /// do not exist are skipped.
    void RemoveEntities(const std::vector<EntityID>& entities);
    /// The set of component types the entity carries; empty for an unknown id.
    Archetype GetArchetype(EntityID entity) const;
    /// Entities made and not removed.
    size_t EntityCount() const;

    /// Makes the store of T's records; a type registered before keeps its store.
    template <typename T> void RegisterComponent() { AddStorage(Component<T>::GetTypeID()); }

    /// Room for n more entities, or n more records of T (a registered type),
    /// so that making many at once does not grow the stores step by step.
    void ReserveEntities(size_t n);
    /// Throws "Component Not Registered!" for a type never registered, and
    /// the bit set's std::out_of_range for a type id past the archetype's
    /// width, before anything changes.
    template <typename T> void ReserveComponents(size_t n) {
        const IDType type = Component<T>::GetTypeID();
        ComponentStorage& storage = Storage(type);
        CheckTypeId(type);
        Reserve(storage, n);
    }

    /// Whether T has a store.
    template <typename T> bool IsComponentRegistered() const {
        return m_componentMap.count(Component<T>::GetTypeID()) != 0;
    }

    /// Component types registered.
    size_t ComponentTypeCount() const { return m_componentMap.size(); }

    /// Gives the entity a T made from args. Throws "Component Not Registered!"
    /// (std::runtime_error) for a type never registered, and the bit set's
    /// std::out_of_range for a type id past the archetype's width, both before
    /// anything changes. A second T for the same entity is dropped; the first
    /// stays.
    template <typename T, typename... Args> void AddComponent(EntityID entity, Args&&... args) {
        const IDType type = Component<T>::GetTypeID();
        ComponentStorage& storage = Storage(type);
        CheckTypeId(type);
        Ref<T> record = CreateRef<T>(T(std::forward<Args>(args)...));
        AddRecord(type, storage, entity, std::move(record));
    }

    /// The entity's T, shared with the store: writing through it changes the
    /// component. Empty when the entity has no T.
    template <typename T> Ref<T> GetComponent(const EntityID& entity) const {
        return std::static_pointer_cast<T>(Find(Component<T>::GetTypeID(), entity));
    }

    /// The set of the types Cs; logs an error and ends the process if one is
    /// not registered.
    template <typename... Cs> Archetype GetArchetype() const {
        bool registered[] = {IsComponentRegistered<Cs>()...};
        for (bool r : registered)
            if (!r)
                Log::Err("ECS", "Oh no compnent not registered");
        Archetype arch;
        (arch.set(Component<Cs>::GetTypeID()), ...);
        return arch;
    }

    /// Keeps the system and gives it the next id, counting from 0.
    SystemID RegisterSystem(const Ref<SystemBase>& system);
    /// Systems registered.
    size_t SystemCount() const { return m_systems.size(); }
    /// The system of that id, or empty.
    Ref<SystemBase> GetSystem(SystemID id) const;
    /// Runs one system over a snapshot of its entities taken before the first Run,
    /// in the order of EntitiesWith. Drawing relies on it: entities made one
    /// after another, each given its components when made (a map's layers,
    /// bottom first), are drawn in that order.
    void RunSystem(SystemID id);
    /// Runs every system whose signature equals arch exactly.
    void RunSystemArch(Archetype arch);
    /// Every entity whose archetype contains all of arch's bits.
    std::vector<EntityID> GetEntitiesWith(Archetype arch) const;
    /// The same entities without a copy: the registry keeps one list per
    /// archetype ever asked for, appending entities as they come to match it, so
    /// a query costs what it returns. Valid until the next change of entities or
    /// components. The order: those that carried arch when it was first asked
    /// for in ascending id, then the rest in the order they came to carry it;
    /// removing an entity keeps the order of the others.
    const std::vector<EntityID>& EntitiesWith(Archetype arch) const;
    /// Changes whenever an entity may have left a list (removal, Reset, an id
    /// re-created empty). While it stays the same, every list only grows at its
    /// end, so a reader can catch up by looking at the entries past those it saw.
    uint64_t ListEpoch() const { return m_listEpoch; }

    /// The run of RunSystem in progress, a number no other run had; 0 outside
    /// any. A system can do what each run needs once, not once per entity.
    uint64_t CurrentRun() const { return m_currentRun; }

    /// Called with each system as RunSystem starts it; for tracing schedules.
    using RunObserver = std::function<void(const SystemBase&)>;
    /// Sets the observer; an empty one calls nothing.
    void SetRunObserver(RunObserver observer) { m_runObserver = std::move(observer); }

private:
    EntityID GetNewID() { return m_entityIdCounter++; }
    // A type id that has no bit in an archetype fails as setting its bit
    // would: with the bit set's std::out_of_range.
    static void CheckTypeId(IDType type) { Archetype().set(type); }
    // Storage internals stay out of this header: records reach it untyped.
    void AddStorage(IDType type);
    ComponentStorage& Storage(IDType type) const;
    // Gives the entity the type and the record, unless it has one already.
    void AddRecord(IDType type, ComponentStorage& storage, EntityID entity, Ref<void> record);
    void Reserve(ComponentStorage& storage, size_t n);
    const Ref<void>& Find(IDType type, EntityID entity) const;
    // Records the entity's new archetype and brings the lists up to date.
    void SetArchetype(EntityID entity, bool existed, Archetype before, Archetype after);

    EntityID m_entityIdCounter = 1;
    // The last id ReserveEntities made room for.
    EntityID m_reservedLastId = 0;
    SystemID m_systemIdCounter = 0;
    CompIdArrayMap m_componentMap;
    // The same stores by type id, for the lookups every component access makes.
    std::array<ComponentStorage*, MAX_COMPONENTS> m_byType{};
    Uni<EntityTable> m_entities;
    SystemMap m_systems;
    RunObserver m_runObserver;
    mutable std::unordered_map<Archetype, std::vector<EntityID>> m_lists;
    uint64_t m_listEpoch = 0;
    uint64_t m_currentRun = 0;
    uint64_t m_runs = 0;
};

} // namespace Engine
