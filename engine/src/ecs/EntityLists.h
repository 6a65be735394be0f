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

    // Drops the holes, keeping the order of the rest and of runs in progress.
    static void Compact(EntityList& list);

    // Forgets every list; runs over them stop.
    void Clear();

private:
    static void Append(EntityList& list, EntityID entity);
    static void Drop(EntityList& list, EntityID entity);

    std::unordered_map<Archetype, Uni<EntityList>> m_byArch;
    // The lists whose archetype has each bit, and the one of the empty archetype.
    std::array<std::vector<EntityList*>, MAX_COMPONENTS> m_byType;
    EntityList* m_all = nullptr;
};

} // namespace Engine
