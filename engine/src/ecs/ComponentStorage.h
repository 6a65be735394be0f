#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include <engine/core/Base.h>
#include <engine/ecs/Types.h>

#include "ecs/EntityTable.h"

namespace Engine {

// Records of one component type, packed in insertion order, each in its own
// shared heap object so references handed out stay valid and writable. The
// records are held untyped; each one's deleter knows its type, and the
// registry's templates cast them back. Where an entity's record is, is kept
// in an array by id, past whose reach a map takes over, as in EntityTable.
class ComponentStorage {
public:
    static constexpr EntityID DENSE = EntityTable::DENSE;

    // A second record for the same entity is dropped; the first stays.
    void Insert(EntityID entity, Ref<void> record) {
        if (Slot(entity) >= 0)
            return;
        SetSlot(entity, m_records.size());
        m_records.push_back(std::move(record));
        m_owners.push_back(entity);
    }

    // Room for n records more than there are, for entities with ids up to
    // lastId.
    void Reserve(size_t n, EntityID lastId) {
        m_records.reserve(m_records.size() + n);
        m_owners.reserve(m_owners.size() + n);
        if (lastId < DENSE)
            m_dense.reserve(size_t(lastId) + 1);
    }

    void Remove(EntityID entity) {
        const long removed = Slot(entity);
        if (removed < 0)
            return;
        m_records.erase(m_records.begin() + removed);
        m_owners.erase(m_owners.begin() + removed);
        ClearSlot(entity);
        for (size_t i = size_t(removed); i < m_owners.size(); ++i)
            SetSlot(m_owners[i], i);
    }

    // Removes the records of every entity for which gone(entity) holds, in
    // one pass, keeping the others in their order.
    template <typename Gone> void RemoveIf(Gone&& gone) {
        size_t kept = 0;
        for (size_t i = 0; i < m_owners.size(); ++i) {
            const EntityID entity = m_owners[i];
            if (gone(entity)) {
                ClearSlot(entity);
                continue;
            }
            if (kept != i) {
                m_records[kept] = std::move(m_records[i]);
                m_owners[kept] = entity;
                SetSlot(entity, kept);
            }
            ++kept;
        }
        m_records.resize(kept);
        m_owners.resize(kept);
    }

    // Empty when the entity has no record here.
    const Ref<void>& Find(EntityID entity) const {
        static const Ref<void> none;
        const long at = Slot(entity);
        return at < 0 ? none : m_records[size_t(at)];
    }

    size_t Size() const { return m_records.size(); }
    // Position of an entity's record, or -1; for tests of the packing.
    long IndexOf(EntityID entity) const { return Slot(entity); }

private:
    long Slot(EntityID entity) const {
        if (entity < DENSE)
            return entity < m_dense.size() ? long(m_dense[entity]) - 1 : -1;
        auto it = m_far.find(entity);
        return it == m_far.end() ? -1 : long(it->second);
    }
    void SetSlot(EntityID entity, size_t index) {
        if (entity >= DENSE) {
            m_far[entity] = uint32_t(index);
            return;
        }
        if (entity >= m_dense.size())
            m_dense.resize(Grown(m_dense, entity), 0);
        m_dense[entity] = uint32_t(index + 1);
    }
    void ClearSlot(EntityID entity) {
        if (entity >= DENSE)
            m_far.erase(entity);
        else
            m_dense[entity] = 0;
    }

    std::vector<Ref<void>> m_records;
    std::vector<EntityID> m_owners;
    // Index + 1 of each entity's record, 0 for none.
    std::vector<uint32_t> m_dense;
    std::unordered_map<EntityID, uint32_t> m_far;
};

} // namespace Engine
