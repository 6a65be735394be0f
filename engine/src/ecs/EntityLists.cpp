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

void EntityLists::Append(EntityList& list, EntityID entity) {
    list.at.Set(entity, uint32_t(list.ids.size() + 1));
    list.ids.push_back(entity);
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
}

} // namespace Engine
