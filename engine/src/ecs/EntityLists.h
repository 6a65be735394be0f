#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include <engine/core/Base.h>
#include <engine/ecs/SparseArray.h>
#include <engine/ecs/Types.h>

#include "ecs/EntityTable.h"

namespace Engine {

struct EntityList;

// Where a system's run over a list stands: the next entry and the end it
// took at the start. A compaction moves both with the entries.
struct ListCursor {
    EntityList* list;
    size_t next;
    size_t end;
};

// The entities that carry at least `arch`, in the order they are visited. A
// removal leaves a hole, so that it costs the same however long the list is:
// an entry holds only while `at` still points to it. Holes go in one pass
// when the list is next handed out, or once they are half of it.
struct EntityList {
    Archetype arch;
    std::vector<EntityID> ids;
    // Position + 1 of each entity in ids.
    SparseArray<uint32_t> at;
    size_t holes = 0;
    std::vector<ListCursor*> cursors;

    bool Holds(size_t i) const { return at.Get(ids[i]) == i + 1; }
};

// One list per archetype ever asked for, kept up to date as entities change.
class EntityLists {
public:
    // The list of arch, made from the table the first time, by ascending id.
    EntityList& Get(Archetype arch, const EntityTable& table);

    // Brings every list up to date with an entity that existed or not, with
    // an archetype, before and after; true when some list lost it.
    bool Change(EntityID entity, bool was, Archetype before, bool is, Archetype after);

    // Whether gaining `type` can make an entity join a list.
    bool Joinable(IDType type) const { return m_all || !m_byType[type].empty(); }

    // The same for an entity that has just gained `type`, the most common
    // change by far: no list can lose it, and most gains join no list at all.
    void Gained(EntityID entity, IDType type, bool existed, Archetype before) {
        if (const std::vector<EntityList*>* lists = Joining(type, existed, before))
            for (EntityList* list : *lists)
                Append(*list, entity);
    }

    // The same for the consecutive entities first to first + n - 1, all
    // alike before.
    void Gained(EntityID first, size_t n, IDType type, bool existed, Archetype before);
    // The same for many, each with what it was before.
    void Gained(const EntityID* entities, const EntityTable::Entry* before, size_t n, IDType type);

    // A new entity, which no list but the one of the empty archetype can want.
    void Made(EntityID entity) {
        if (m_all)
            Append(*m_all, entity);
    }
    // New consecutive entities, all of arch.
    void Made(EntityID first, size_t n, Archetype arch);

    // Drops the holes, keeping the order of the rest and of runs in progress.
    static void Compact(EntityList& list);

    // Forgets every list; runs over them stop.
    void Clear();

private:
    // The lists an entity joins as it gains a type, for the last archetype
    // it was found to gain it into: entities made alike gain alike.
    struct Joins {
        bool known = false;
        bool existed = false;
        Archetype after;
        std::vector<EntityList*> lists;
    };
    void Plan(Joins& joins, IDType type, bool existed, Archetype after);
    void Forget();

    static void Append(EntityList& list, EntityID entity) {
        list.at.Set(entity, uint32_t(list.ids.size() + 1));
        list.ids.push_back(entity);
    }
    static void Append(EntityList& list, const EntityID* entities, size_t n);
    static void Append(EntityList& list, EntityID first, size_t n);
    // The lists an entity that was `before` joins as it gains `type`; null
    // when it can join none.
    const std::vector<EntityList*>* Joining(IDType type, bool existed, Archetype before) {
        if (m_byType[type].empty() && (existed || !m_all))
            return nullptr;
        Archetype after = before;
        after.set(type);
        Joins& joins = m_joins[type];
        if (!joins.known || joins.existed != existed || joins.after != after)
            Plan(joins, type, existed, after);
        return &joins.lists;
    }
    static void Drop(EntityList& list, EntityID entity);

    std::unordered_map<Archetype, Uni<EntityList>> m_byArch;
    // The lists whose archetype has each bit, and the one of the empty archetype.
    std::array<std::vector<EntityList*>, MAX_COMPONENTS> m_byType;
    EntityList* m_all = nullptr;
    std::array<Joins, MAX_COMPONENTS> m_joins;
    // The same for entities made with an archetype.
    Joins m_made;
};

} // namespace Engine
