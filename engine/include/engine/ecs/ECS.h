#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <concepts>
#include <exception>
#include <functional>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <engine/core/Base.h>
#include <engine/core/Log.h>
#include <engine/ecs/Component.h>
#include <engine/ecs/ComponentStore.h>
#include <engine/ecs/Runs.h>
#include <engine/ecs/SystemBase.h>
#include <engine/ecs/Types.h>

namespace Engine {

class EntityTable;
class EntityLists;

/// The registry's component stores, by component type id.
using CompIdArrayMap = std::unordered_map<IDType, Uni<ComponentStore>>;
/// The registry's systems, by system id.
using SystemMap = std::unordered_map<SystemID, Ref<SystemBase>>;
/// Entities of consecutive ids, as CreateEntities hands them out: walked in
/// order, indexed, or handed on to AddComponents.
class EntityRange {
public:
    /// Goes through the ids in order.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag; ///< Gives ids by value.
        using value_type = EntityID;                       ///< An id.
        using difference_type = std::ptrdiff_t;           ///< Ids apart.
        using pointer = const EntityID*;                   ///< Unused.
        using reference = EntityID;                        ///< An id, by value.
        Iterator() = default;                              ///< Before the first id.
        explicit Iterator(EntityID id) : m_id(id) {}       ///< At id.
        EntityID operator*() const { return m_id; }        ///< The id.
        Iterator& operator++() {                           ///< To the next id.
            ++m_id;
            return *this;
        }
        Iterator operator++(int) { ///< To the next id; the one before.
            const Iterator was = *this;
            ++m_id;
            return was;
        }
        bool operator==(const Iterator&) const = default; ///< At the same id.

    private:
        EntityID m_id = 0;
    };

    EntityRange() = default;                                             ///< No ids.
    EntityRange(EntityID first, EntityID end) : m_first(first), m_end(end) {} ///< first to end - 1.
    Iterator begin() const { return Iterator(m_first); }                ///< At the first id.
    Iterator end() const { return Iterator(m_end); }                    ///< Past the last id.
    size_t size() const { return m_end - m_first; }                     ///< How many ids.
    bool empty() const { return m_end == m_first; }                     ///< Whether there are none.
    EntityID front() const { return m_first; }                          ///< The first id.
    EntityID operator[](size_t k) const { return m_first + EntityID(k); } ///< The id k places on.

private:
    EntityID m_first = 0;
    EntityID m_end = 0;
};

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
    /// any id) starts over empty: its records go. Throws std::length_error,
    /// before anything changes, once the ids up to 2^32 - 2 are all handed
    /// out (days of a game making ten thousand entities a second).
    EntityID CreateEntity();
    /// n new entities, as n calls of CreateEntity make them, in one call: the
    /// ids from the next one on. Throws std::length_error, before anything
    /// changes, when the last would pass 2^32 - 2.
    EntityRange CreateEntities(size_t n);
    /// Drops the entity's records from every storage and the entity itself, at
    /// a cost that follows the entity's components, not the registry's size.
    /// A reference held to one of its records stays valid.
    void RemoveEntity(const EntityID& entity);
    /// RemoveEntity for each of them; ids that do not exist are skipped.
    void RemoveEntities(const std::vector<EntityID>& entities);
    /// The same for any range of ids: a wave CreateEntities made, a span of
    /// a list, a set.
    template <typename Ids>
        requires(!std::is_convertible_v<const Ids&, const std::vector<EntityID>&>)
    void RemoveEntities(const Ids& entities) {
        DropAll(entities);
    }
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
    /// stays. A plain record is made from its fields as T{args...} makes it:
    /// AddComponent<Position>(e, 1.0f, 2.0f).
    template <typename T, typename... Args> void AddComponent(EntityID entity, Args&&... args) {
        const IDType type = Component<T>::GetTypeID();
        ComponentStore& store = Storage(type);
        CheckTypeId(type);
        if (store.Emplace(entity, [&](std::byte* at) {
                // Braces for a record without constructors: not every compiler in use
                // (clang before 16) makes an aggregate from parentheses.
                if constexpr (std::is_constructible_v<T, Args&&...>)
                    new (at) T(std::forward<Args>(args)...);
                else
                    new (at) T{std::forward<Args>(args)...};
            }))
            Added(&entity, 1, type);
    }

    /// AddComponent<T>(entity, value) for every entity of ids (any range of
    /// ids: a vector, a span, CreateEntities' range) in turn, at a fraction
    /// of the cost for many. Throws as AddComponent does, before anything
    /// changes; should copying a record throw, those added before stay.
    template <typename T, typename Ids> void AddComponents(const Ids& ids, const T& value) {
        AddMany<T>(ids, value);
    }

    /// AddComponent<T>(entity, make(entity)) for every entity of ids in turn,
    /// at a fraction of the cost for many. make may use the registry, as
    /// long as it does not reset it, but what it sees of the records this
    /// call adds is not said: they are placed a few hundred at a time after
    /// make has made them. Throws as AddComponent does, before anything
    /// changes; should make throw, the records made before it stay.
    template <typename T, typename Ids, typename Make>
        requires std::invocable<Make&, EntityID>
    void AddComponents(const Ids& ids, Make&& make) {
        AddMany<T>(ids, make);
    }

    /// n new entities, as CreateEntities(n) makes them, each given a record
    /// of every one of Cs: a copy of the value in the same place among
    /// sources, or what the function there makes of the entity's id, as in
    /// CreateEntities<Position, Velocity>(n, [](EntityID e) { ... },
    /// Velocity{1, 0}). The everyday way to make many entities: it fills the
    /// registry much as vectors are filled. The functions may use the
    /// registry as AddComponents' may. Throws as AddComponent does for each
    /// of Cs, and as CreateEntities(n) does, before anything changes; should
    /// a function throw, the entities before the one it was making are made
    /// whole, and the rest of the ids are left as they were, never to be
    /// handed out.
    template <typename... Cs, typename... Sources>
        requires(sizeof...(Cs) > 0 && sizeof...(Cs) == sizeof...(Sources))
    EntityRange CreateEntities(size_t n, Sources&&... sources) {
        std::array<ComponentStore*, sizeof...(Cs)> stores = {&Storage(Component<Cs>::GetTypeID())...};
        (CheckTypeId(Component<Cs>::GetTypeID()), ...);
        Archetype arch;
        (arch.set(Component<Cs>::GetTypeID()), ...);
        const EntityID first = TakeIds(n);
        constexpr size_t chunk = std::min({Chunk<Cs>()...});
        std::tuple<Source<Cs, chunk, std::remove_reference_t<Sources>>...> from(sources...);
        MakeAll<chunk>(stores, arch, first, n, from, std::index_sequence_for<Cs...>());
        return EntityRange(first, first + EntityID(n));
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
    ///
    /// Each reference counts up when made and down when dropped, with atomic
    /// instructions once the program has a second thread (an audio device
    /// has one): about 12 ns a reference where a plain read costs under one.
    /// Over many entities, Each() hands out no references.
    template <typename T> Ref<T> GetComponent(const EntityID& entity) const {
        return Storage(Component<T>::GetTypeID()).template Share<T>(entity);
    }

    /// Whether the entity has a T (a crate on its mark, say): a read of its
    /// archetype, with no reference made. False for an unknown id, or a type
    /// never registered.
    template <typename T> bool HasComponent(EntityID entity) const {
        const IDType type = Component<T>::GetTypeID();
        return type < MAX_COMPONENTS && GetArchetype(entity).test(type);
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
    // The id has been handed out, and entered in the table empty; one that
    // existed (given components before) loses its records of `before`.
    void Handed(EntityID id, bool existed, Archetype before);
    // The entities have been given records of type: archetypes and lists follow.
    void Added(const EntityID* entities, size_t n, IDType type);
    // The entity has lost its record of type.
    void Removed(EntityID entity, IDType type);

    // Hands out n ids, the first returned. Throws std::length_error, before
    // anything changes, when the last would pass 2^32 - 2.
    EntityID TakeIds(size_t n);
    // Of the ids first to first + n - 1, just handed out, those given
    // components before they were made start over empty.
    void StartOver(EntityID first, size_t n);
    // The entities first to first + n - 1, just handed out, have been given
    // records of arch: archetypes and lists follow. `unseen`: none of them
    // has ever been entered.
    void Made(EntityID first, size_t n, Archetype arch, bool unseen);
    // The highest id ever entered in the table of entities.
    EntityID Highest() const;
    // Takes back the records of arch that the entities were given.
    void Unplace(const EntityID* ids, size_t n, Archetype arch);

    // Entities whose records the calls for many make and place at a time: a
    // few hundred, in at most 16 KiB of records of a type.
    template <typename T> static constexpr size_t Chunk() {
        return std::clamp<size_t>(16384 / sizeof(T), 1, 1024);
    }

    // Records made for a chunk before they are placed, destroyed with it.
    template <typename T, size_t N> struct Pending {
        Pending() = default;
        Pending(const Pending&) = delete;
        Pending& operator=(const Pending&) = delete;
        ~Pending() { Clear(); }
        T& operator[](size_t k) { return *std::launder(reinterpret_cast<T*>(bytes + k * sizeof(T))); }
        void Clear() {
            if constexpr (!std::is_trivially_destructible_v<T>)
                for (size_t k = 0; k < count; ++k)
                    (*this)[k].~T();
            count = 0;
        }
        alignas(T) std::byte bytes[N * sizeof(T)];
        size_t count = 0;
    };

    // Where the records of a call for many come from: copies of one value,
    // or what a function of the id makes, made a chunk ahead of their
    // placing so that no code of the caller runs while they are placed.
    template <typename T, typename S>
    static constexpr bool Makes = std::is_invocable_v<S&, EntityID> && !std::is_convertible_v<S&, const T&>;
    template <typename T, size_t N, typename S, bool = Makes<T, S>> struct Source {
        using Type = T;
        explicit Source(const T& value) : copy(value) {}
        void Make(EntityID) {}
        void Clear() {}
        void Place(size_t, std::byte* at) noexcept(std::is_nothrow_copy_constructible_v<T>) { new (at) T(copy); }
        void PlaceRun(size_t, std::byte* at, size_t count) noexcept(std::is_nothrow_copy_constructible_v<T>) {
            if constexpr (std::is_trivially_copyable_v<T>)
                Runs::Fill(reinterpret_cast<T*>(at), copy, count);
            else
                for (size_t i = 0; i < count; ++i)
                    new (at + i * sizeof(T)) T(copy);
        }
        // A plain record is copied from here, which the records written
        // cannot be taken to change.
        std::conditional_t<std::is_trivially_copyable_v<T>, const T, const T&> copy;
    };
    template <typename T, size_t N, typename S> struct Source<T, N, S, true> {
        using Type = T;
        explicit Source(S& function) : make(function) {}
        void Make(EntityID entity) {
            new (&made[made.count]) T(make(entity));
            ++made.count;
        }
        void Clear() { made.Clear(); }
        void Place(size_t k, std::byte* at) noexcept(std::is_nothrow_move_constructible_v<T>) {
            new (at) T(std::move(made[k]));
        }
        void PlaceRun(size_t k, std::byte* at, size_t count) noexcept(std::is_nothrow_move_constructible_v<T>) {
            if constexpr (std::is_trivially_copyable_v<T>)
                std::memcpy(at, &made[k], count * sizeof(T));
            else
                for (size_t i = 0; i < count; ++i)
                    new (at + i * sizeof(T)) T(std::move(made[k + i]));
        }
        S& make;
        Pending<T, N> made;
    };

    template <typename T, typename Ids, typename S> void AddMany(const Ids& ids, S& source) {
        ComponentStore& store = Storage(Component<T>::GetTypeID());
        CheckTypeId(Component<T>::GetTypeID());
        constexpr size_t chunk = Chunk<T>();
        Source<T, chunk, std::remove_const_t<S>> from(source);
        EntityID some[chunk];
        EntityID added[chunk];
        using std::begin, std::end;
        auto it = begin(ids);
        const auto last = end(ids);
        while (it != last) {
            from.Clear();
            size_t n = 0;
            std::exception_ptr failure;
            try {
                for (; n < chunk && it != last; ++it, ++n) {
                    some[n] = *it;
                    from.Make(some[n]);
                }
            } catch (...) {
                failure = std::current_exception();
            }
            uint32_t count = 0;
            try {
                Place<T>(store, some, n,
                         Runs::Consecutive(some, n) ? ComponentStore::Ids::Consecutive : ComponentStore::Ids::Any,
                         added, count, from);
            } catch (...) {
                Added(added, count, Component<T>::GetTypeID());
                throw;
            }
            Added(added, count, Component<T>::GetTypeID());
            if (failure)
                std::rethrow_exception(failure);
        }
    }

    // CreateEntities' work, a chunk of entities at a time: their records
    // made, placed type by type, then the table and the lists.
    template <size_t N, typename Tuple, size_t... I>
    void MakeAll(const std::array<ComponentStore*, sizeof...(I)>& stores, Archetype arch, EntityID first, size_t n,
                 Tuple& from, std::index_sequence<I...>) {
        EntityID ids[N];
        for (size_t done = 0; done < n; done += N) {
            const size_t count = std::min(N, n - done);
            Runs::Iota(ids, first + EntityID(done), count);
            (std::get<I>(from).Clear(), ...);
            size_t ready = 0;
            std::exception_ptr failure;
            try {
                for (; ready < count; ++ready)
                    (std::get<I>(from).Make(ids[ready]), ...);
            } catch (...) {
                failure = std::current_exception();
            }
            StartOver(ids[0], ready);
            // Ids past the highest ever entered have no records, entries or
            // places in lists anywhere, unless the functions gave them some.
            const bool unseen = Highest() < ids[0];
            const auto kind = unseen ? ComponentStore::Ids::Unseen : ComponentStore::Ids::Consecutive;
            try {
                uint32_t placed = 0;
                ((placed = 0, Place<typename std::tuple_element_t<I, Tuple>::Type>(*stores[I], ids, ready, kind, nullptr,
                                                                                    placed, std::get<I>(from))),
                 ...);
            } catch (...) {
                Unplace(ids, ready, arch);
                throw;
            }
            Made(ids[0], ready, arch, unseen);
            if (failure)
                std::rethrow_exception(failure);
        }
    }

    // Places records of T for ids[0, n) not holding one, those given one
    // listed in added[0, count). A record whose making throws leaves no trace.
    template <typename T, typename From>
    static void Place(ComponentStore& store, const EntityID* ids, size_t n, ComponentStore::Ids kind,
                      EntityID* added, uint32_t& count, From& from) {
        if constexpr (noexcept(from.Place(size_t(0), static_cast<std::byte*>(nullptr)))) {
            store.Insert<sizeof(T)>(ids, uint32_t(n), kind, added, count, from);
        } else {
            for (size_t k = 0; k < n; ++k) {
                if (!store.Emplace(ids[k], [&](std::byte* at) { from.Place(k, at); }))
                    continue;
                if (added)
                    added[count] = ids[k];
                ++count;
            }
        }
    }
    // Drops the entity's records, lists and entry; true when it existed.
    bool Drop(EntityID entity);
    template <typename Ids> void DropAll(const Ids& entities) {
        bool any = false;
        for (EntityID entity : entities)
            any |= Drop(entity);
        if (any)
            ++m_listEpoch;
    }

    // Keeps the walked stores from moving records while a walk is on.
    template <size_t N> struct Walking {
        explicit Walking(const std::array<ComponentStore*, N>& walked) : stores(walked) {
            for (ComponentStore* store : stores)
                ++store->m_walks;
        }
        ~Walking() {
            for (ComponentStore* store : stores)
                store->WalkEnded();
        }
        std::array<ComponentStore*, N> stores;
    };

    // Walks the lead store in runs of slots that lie within one block of every
    // store. From an entity on, it takes the stretch over which every store
    // holds the records of the lead's entities one after another, all live,
    // and walks it as a plain loop over the records: all of the run when the
    // stores were filled together, up to where a store's records lie past
    // others made first or across its block's end. Past a short stretch, the
    // next slots look each entity up, as records are scattered there, and so
    // does the rest of the run once visit removes anything. The start of the
    // next run is fetched ahead: the processor's own prefetching starts
    // afresh in each block.
    template <typename... Cs, typename F, size_t... I>
    static void WalkWith(const std::array<ComponentStore*, sizeof...(Cs)>& stores, size_t lead,
                         F& visit, std::index_sequence<I...>) {
        const ComponentStore& first = *stores[lead];
        const uint32_t chunk = std::min({(stores[I]->m_mask + 1)...});
        auto removals = [&] { return (stores[I]->m_removals + ...); };
        auto lookUp = [&](uint32_t begin, uint32_t stop) {
            first.Walk(begin, stop, [&](EntityID entity, uint32_t slot, std::byte* record) {
                void* at[] = {(I == lead ? record : stores[I]->Find(entity, slot))...};
                if (((at[I] != nullptr) && ...))
                    visit(entity, *std::launder(static_cast<Cs*>(at[I]))...);
            });
        };
        for (uint32_t base = 0, end = first.m_end; base < end; base += chunk) {
            const uint32_t stop = base + std::min(chunk, end - base);
            (stores[I]->Prefetch(base + chunk), ...);
            const uint64_t before = removals();
            uint32_t slot = base;
            // Slots looked up one by one after a short stretch, doubled while
            // stretches stay short: scattered records try few.
            uint32_t scattered = 64;
            while ((slot = first.NextLive(slot, stop)) < stop) {
                if (removals() != before) {
                    lookUp(slot, stop);
                    break;
                }
                const EntityID entity = *first.Owners(slot);
                const uint32_t at[] = {(I == lead ? slot : stores[I]->Slot(entity, slot))...};
                uint32_t count = 0;
                if (((at[I] != ComponentStore::NONE) && ...))
                    count = std::min(
                        {(I == lead ? first.LiveRun(slot, stop - slot)
                                    : stores[I]->Stretch(at[I], first, slot, stop - slot))...});
                if (count < 16) {
                    const uint32_t until = stop - slot > scattered ? slot + scattered : stop;
                    lookUp(slot, until);
                    slot = until;
                    scattered *= 2;
                    continue;
                }
                scattered = 64;
                const EntityID* owner = first.Owners(slot);
                const EntityID* const last = owner + count;
                std::tuple<Cs*...> record{
                    std::launder(reinterpret_cast<Cs*>(stores[I]->Record(at[I])))...};
                auto step = [&] {
                    if (removals() != before)
                        return false;
                    visit(*owner, *std::get<I>(record)...);
                    ++owner;
                    (++std::get<I>(record), ...);
                    return true;
                };
                // Four a turn: a loop of one record is short enough that
                // where the caller's code happens to put it (across a line of
                // the processor's decoded-code cache or not) swung a pass by
                // a quarter.
                while (last - owner >= 4 && step() && step() && step() && step()) {
                }
                while (owner != last && step()) {
                }
                slot += uint32_t(owner - first.Owners(slot));
            }
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
