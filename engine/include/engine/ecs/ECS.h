#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Log.h>
#include <engine/ecs/Component.h>
#include <engine/ecs/ComponentStore.h>
#include <engine/ecs/SystemBase.h>
#include <engine/ecs/Types.h>

namespace Engine {

class EntityTable;
class EntityLists;

/// The registry's component stores, by component type id.
using CompIdArrayMap = std::unordered_map<IDType, Uni<ComponentStore>>;
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
    static ECS& Get() {
        static ECS registry;
        return registry;
    }

    /// Back to the state of a new registry: no entities, storage or systems,
    /// counters at 1 and 0. Component type ids are process-wide and stay.
    void Reset();

    /// A new entity with no components; ids count from 1 and are never
    /// handed out twice. An id already given components (AddComponent takes
    /// any id) starts over empty: its records go.
    EntityID CreateEntity();
    /// Drops the entity's records from every storage and the entity itself, at
    /// a cost that follows the entity's components, not the registry's size.
    /// A reference held to one of its records stays valid.
    void RemoveEntity(const EntityID& entity);
    /// RemoveEntity for each of them; ids that do not exist are skipped.
    void RemoveEntities(const std::vector<EntityID>& entities);
    /// The set of component types the entity carries; empty for an unknown id.
    Archetype GetArchetype(EntityID entity) const;
    /// Entities made and not removed.
    size_t EntityCount() const;

    /// Makes the store of T's records; a type registered before keeps its store.
    template <typename T> void RegisterComponent() {
        AddStorage(Component<T>::GetTypeID(), ComponentStore::Layout::Of<T>());
    }

    /// Room for n more entities, or n more records of T (a registered type).
    /// Entities and records are kept in pages and blocks that are never
    /// copied as they grow: there is nothing to prepare for entities, and for
    /// records only the table of their blocks.
    void ReserveEntities(size_t n);
    /// Throws "Component Not Registered!" for a type never registered, and
    /// the bit set's std::out_of_range for a type id past the archetype's
    /// width, before anything changes.
    template <typename T> void ReserveComponents(size_t n) {
        const IDType type = Component<T>::GetTypeID();
        ComponentStore& store = Storage(type);
        CheckTypeId(type);
        store.Reserve(n);
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
        ComponentStore& store = Storage(type);
        CheckTypeId(type);
        const std::optional<uint32_t> slot = store.Claim(entity);
        if (!slot)
            return;
        try {
            new (store.Record(*slot)) T(std::forward<Args>(args)...);
        } catch (...) {
            store.Forget(entity);
            throw;
        }
        store.Commit(*slot, entity);
        Added(entity, type);
    }

    /// Takes the entity's T away, and the entity out of the lists that need
    /// it; nothing happens when it has none. Throws as AddComponent does,
    /// before anything changes. A reference held to the record stays valid.
    template <typename T> void RemoveComponent(EntityID entity) {
        const IDType type = Component<T>::GetTypeID();
        ComponentStore& store = Storage(type);
        CheckTypeId(type);
        if (store.Remove(entity))
            Removed(entity, type);
    }

    /// The entity's T, shared with the store: writing through it changes the
    /// component, and it stays valid while held, even after the entity or
    /// the component is removed. Empty when the entity has no T.
    template <typename T> Ref<T> GetComponent(const EntityID& entity) const {
        return Storage(Component<T>::GetTypeID()).template Share<T>(entity);
    }

    /// Calls visit(entity, c...) with a reference to each record, for every
    /// entity that has all of Cs, walking the packed records of the smallest
    /// of their stores: the fast way over many entities, in no set order.
    /// visit may add and remove entities and components, but not reset the
    /// registry: an entity that loses one of Cs before the walk reaches it is
    /// passed by, one that gains them meanwhile may or may not be visited,
    /// and the records visit is handed stay valid until it returns. Throws as
    /// AddComponent does for each of Cs.
    template <typename... Cs, typename F> void Each(F&& visit) {
        static_assert(sizeof...(Cs) > 0, "a walk needs at least one component type");
        std::array<ComponentStore*, sizeof...(Cs)> stores = {&Storage(Component<Cs>::GetTypeID())...};
        (CheckTypeId(Component<Cs>::GetTypeID()), ...);
        size_t lead = 0;
        for (size_t i = 1; i < stores.size(); ++i)
            if (stores[i]->Size() < stores[lead]->Size())
                lead = i;
        Walking walking(stores);
        WalkWith<Cs...>(stores, lead, visit, std::index_sequence_for<Cs...>());
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
    /// Runs one system over its entities in the order of EntitiesWith, those
    /// that had its signature when the run started: ones that come to have it
    /// meanwhile wait for the next run, ones that lose it or are removed
    /// before the run reaches them are passed by. Drawing relies on the
    /// order: entities made one after another, each given its components when
    /// made (a map's layers, bottom first), are drawn in that order.
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
    /// removing an entity or a component keeps the order of the others.
    const std::vector<EntityID>& EntitiesWith(Archetype arch) const;
    /// Changes whenever an entity may have left a list (removal of an entity or
    /// a component, Reset, an id re-created empty). While it stays the same,
    /// every list only grows at its end, so a reader can catch up by looking
    /// at the entries past those it saw.
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
    void AddStorage(IDType type, const ComponentStore::Layout& layout);
    ComponentStore& Storage(IDType type) const {
        if (type < m_byType.size() && m_byType[type])
            return *m_byType[type];
        return OtherStorage(type);
    }
    // Ids past the archetype's width, or a throw for a type never registered.
    ComponentStore& OtherStorage(IDType type) const;
    // The entity has been given, or has lost, the record of type.
    void Added(EntityID entity, IDType type);
    void Removed(EntityID entity, IDType type);
    // Drops the entity's records, lists and entry; true when it existed.
    bool Drop(EntityID entity);

    // Keeps the walked stores from moving records while a walk is on.
    template <size_t N> struct Walking {
        explicit Walking(const std::array<ComponentStore*, N>& walked) : stores(walked) {
            for (ComponentStore* store : stores)
                ++store->m_walks;
        }
        ~Walking() {
            for (ComponentStore* store : stores)
                --store->m_walks;
        }
        std::array<ComponentStore*, N> stores;
    };

    // Walks the lead store in runs of slots that lie within one block of every
    // store. Where all the stores hold the same entities, all live, at the
    // same slots, as when they were made together, the run is a plain loop
    // over the records; elsewhere each entity is looked up in the others.
    // The start of the next run is fetched ahead: the processor's own
    // prefetching starts afresh in each block.
    template <typename... Cs, typename F, size_t... I>
    static void WalkWith(const std::array<ComponentStore*, sizeof...(Cs)>& stores, size_t lead,
                         F& visit, std::index_sequence<I...>) {
        const ComponentStore& first = *stores[lead];
        const uint32_t chunk = std::min({(stores[I]->m_mask + 1)...});
        auto removals = [&] { return (stores[I]->m_removals + ...); };
        for (uint32_t base = 0, end = first.m_end; base < end; base += chunk) {
            const uint32_t count = std::min(chunk, end - base);
            const EntityID* owners = first.Owners(base);
            std::byte* runs[] = {stores[I]->Run(base, count, I == lead ? nullptr : &first)...};
            uint32_t done = 0;
            (stores[I]->Prefetch(base + chunk), ...);
            if (((runs[I] != nullptr) && ...))
                for (const uint64_t before = removals(); done < count && removals() == before; ++done)
                    visit(owners[done], *std::launder(reinterpret_cast<Cs*>(runs[I] + done * sizeof(Cs)))...);
            first.Walk(base + done, base + count, [&](EntityID entity, uint32_t slot, std::byte* record) {
                void* at[] = {(I == lead ? record : stores[I]->Find(entity, slot))...};
                if (((at[I] != nullptr) && ...))
                    visit(entity, *std::launder(static_cast<Cs*>(at[I]))...);
            });
        }
    }

    EntityID m_entityIdCounter = 1;
    SystemID m_systemIdCounter = 0;
    CompIdArrayMap m_componentMap;
    // The same stores by type id, for the lookups every component access makes.
    std::array<ComponentStore*, MAX_COMPONENTS> m_byType{};
    Uni<EntityTable> m_entities;
    SystemMap m_systems;
    RunObserver m_runObserver;
    Uni<EntityLists> m_lists;
    uint64_t m_listEpoch = 0;
    uint64_t m_currentRun = 0;
    uint64_t m_runs = 0;
};

} // namespace Engine
