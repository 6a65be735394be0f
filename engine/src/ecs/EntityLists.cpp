#include "ecs/EntityLists.h"

#include <bit>

namespace Engine {

EntityList& EntityLists::Get(Archetype arch, const EntityTable& table) {
    auto [it, made] = m_byArch.try_emplace(arch);
    if (!made)
        return *it->second;
    it->second = CreateUni<EntityList>();
    EntityList& list = *it->second;
    list.arch = arch;
    table.ForEach([&](EntityID entity, Archetype entityArch) {
        if ((entityArch & arch) == arch)
            Append(list, entity);
    });
    for (uint32_t bits = uint32_t(arch.to_ulong()); bits; bits &= bits - 1)
        m_byType[std::countr_zero(bits)].push_back(&list);
    if (arch.none())
        m_all = &list;
    Forget();
    return list;
}

bool EntityLists::Change(EntityID entity, bool was, Archetype before, bool is, Archetype after) {
    bool left = false;
    auto update = [&](EntityList& list) {
        const bool had = was && (before & list.arch) == list.arch;
        const bool has = is && (after & list.arch) == list.arch;
        if (has && !had) {
            Append(list, entity);
        } else if (had && !has) {
            Drop(list, entity);
            left = true;
        }
    };
    if (m_all && was != is)
        update(*m_all);
    // Only a list with a bit that changed can gain or lose the entity; one
    // with several such bits is met under its lowest.
    const Archetype changed = (was ? before : Archetype()) ^ (is ? after : Archetype());
    const uint32_t bits = uint32_t(changed.to_ulong());
    for (uint32_t rest = bits; rest; rest &= rest - 1) {
        const int bit = std::countr_zero(rest);
        for (EntityList* list : m_byType[bit])
            if (std::countr_zero(uint32_t(list->arch.to_ulong()) & bits) == bit)
                update(*list);
    }
    return left;
}

void EntityLists::Gained(const EntityID* entities, const EntityTable::Entry* before, size_t n,
                         IDType type) {
    if (!Joinable(type))
        return;
    for (size_t k = 0, end; k < n; k = end) {
        for (end = k + 1; end < n && before[end].exists == before[k].exists &&
                          before[end].arch == before[k].arch;)
            ++end;
        if (const std::vector<EntityList*>* lists = Joining(type, before[k].exists, before[k].arch))
            for (EntityList* list : *lists)
                Append(*list, entities + k, end - k);
    }
}

void EntityLists::Gained(EntityID first, size_t n, IDType type, bool existed, Archetype before) {
    if (const std::vector<EntityList*>* lists = Joining(type, existed, before))
        for (EntityList* list : *lists)
            Append(*list, first, n);
}

void EntityLists::Append(EntityList& list, EntityID first, size_t n) {
    const size_t at = list.ids.size();
    list.ids.resize(at + n);
    Runs::Iota(list.ids.data() + at, first, n);
    list.at.ChangeRun(first, n, [&](uint32_t* values, size_t k, size_t count) {
        Runs::Iota(values, uint32_t(at + k + 1), count);
        return count;
    });
}

void EntityLists::Append(EntityList& list, const EntityID* entities, size_t n) {
    const uint32_t at = uint32_t(list.ids.size() + 1);
    list.ids.insert(list.ids.end(), entities, entities + n);
    // Entities that join a list are not in it.
    list.at.Change(entities, n, [&](uint32_t& value, size_t k) {
        value = at + uint32_t(k);
        return true;
    });
}

void EntityLists::Plan(Joins& joins, IDType type, bool existed, Archetype after) {
    joins.known = true;
    joins.existed = existed;
    joins.after = after;
    joins.lists.clear();
    // The type was not in `before`, so every list that has it and fits
    // `after` is new to the entity; of those without it, only the empty
    // archetype's can be, and only for an entity that did not exist.
    if (!existed && m_all)
        joins.lists.push_back(m_all);
    for (EntityList* list : m_byType[type])
        if ((after & list->arch) == list->arch)
            joins.lists.push_back(list);
}

void EntityLists::Forget() {
    for (Joins& joins : m_joins)
        joins.known = false;
    m_made.known = false;
}

void EntityLists::Made(EntityID first, size_t n, Archetype arch) {
    if (!m_made.known || m_made.after != arch) {
        m_made.known = true;
        m_made.after = arch;
        m_made.lists.clear();
        for (auto& [listArch, list] : m_byArch)
            if ((arch & listArch) == listArch)
                m_made.lists.push_back(list.get());
    }
    for (EntityList* list : m_made.lists)
        Append(*list, first, n);
}

void EntityLists::Drop(EntityList& list, EntityID entity) {
    if (list.at.Take(entity) == 0)
        return;
    ++list.holes;
    if (list.holes >= 64 && 2 * list.holes >= list.ids.size())
        Compact(list);
}

void EntityLists::Compact(EntityList& list) {
    const size_t count = list.ids.size();
    size_t kept = 0;
    for (size_t i = 0; i <= count; ++i) {
        for (ListCursor* cursor : list.cursors) {
            if (cursor->next == i)
                cursor->next = kept;
            if (cursor->end == i)
                cursor->end = kept;
        }
        if (i == count || !list.Holds(i))
            continue;
        if (kept != i) {
            list.ids[kept] = list.ids[i];
            list.at.Set(list.ids[kept], uint32_t(kept + 1));
        }
        ++kept;
    }
    list.ids.resize(kept);
    if (list.ids.capacity() > 4 * kept + 64)
        list.ids.shrink_to_fit();
    list.holes = 0;
}

void EntityLists::Clear() {
    for (auto& [arch, list] : m_byArch)
        for (ListCursor* cursor : list->cursors)
            cursor->list = nullptr;
    m_byArch.clear();
    for (auto& lists : m_byType)
        lists.clear();
    m_all = nullptr;
    Forget();
}

} // namespace Engine
