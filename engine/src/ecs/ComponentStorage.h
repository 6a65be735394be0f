#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include <engine/core/Base.h>
#include <engine/ecs/Types.h>

namespace Engine {

// Records of one component type, packed in insertion order, each in its own
// shared heap object so references handed out stay valid and writable. The
// records are held untyped; each one's deleter knows its type, and the
// registry's templates cast them back.
class ComponentStorage {
public:
    // A second record for the same entity is dropped; the first stays.
    void Insert(EntityID entity, Ref<void> record) {
        if (m_EntityMap.count(entity))
            return;
        m_EntityMap.emplace(entity, m_DataArray.size());
        m_DataArray.push_back(std::move(record));
    }

    // Room for n records more than there are.
    void Reserve(size_t n) {
        m_DataArray.reserve(m_DataArray.size() + n);
        m_EntityMap.reserve(m_EntityMap.size() + n);
    }

    void Remove(EntityID entity) {
        auto it = m_EntityMap.find(entity);
        if (it == m_EntityMap.end())
            return;
        size_t removed = it->second;
        m_DataArray.erase(m_DataArray.begin() + static_cast<std::ptrdiff_t>(removed));
        m_EntityMap.erase(it);
        for (auto& [id, index] : m_EntityMap)
            if (index > removed)
                --index;
    }

    // Empty when the entity has no record here.
    const Ref<void>& Find(EntityID entity) const {
        static const Ref<void> none;
        auto it = m_EntityMap.find(entity);
        return it == m_EntityMap.end() ? none : m_DataArray[it->second];
    }

    size_t Size() const { return m_DataArray.size(); }
    // Position of an entity's record, or -1; for tests of the packing.
    long IndexOf(EntityID entity) const {
        auto it = m_EntityMap.find(entity);
        return it == m_EntityMap.end() ? -1 : static_cast<long>(it->second);
    }

private:
    std::vector<Ref<void>> m_DataArray;
    std::unordered_map<EntityID, size_t> m_EntityMap;
};

} // namespace Engine
