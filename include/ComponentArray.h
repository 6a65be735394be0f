#pragma once

#include <unordered_map>
#include <vector>

#include "Base.h"
#include "Types.h"

namespace Engine {

class IComponentDataArray {
public:
    virtual ~IComponentDataArray() = default;
    virtual void EntityDestroyed(EntityID entity) = 0;
};

// Records of one component type, packed in insertion order, each in its own
// shared heap object so references handed out stay valid and writable.
template <typename T> class ComponentDataArray : public IComponentDataArray {
public:
    ComponentDataArray() = default;

    // A second record for the same entity is dropped; the first stays.
    void Insert(EntityID entity, T value) {
        if (m_EntityMap.count(entity))
            return;
        m_EntityMap.emplace(entity, m_nextIdx);
        m_DataArray.push_back(CreateRef<T>(std::move(value)));
        ++m_nextIdx;
    }

    void Remove(EntityID entity) {
        auto it = m_EntityMap.find(entity);
        if (it == m_EntityMap.end())
            return;
        size_t removed = it->second;
        m_DataArray.erase(m_DataArray.begin() + static_cast<std::ptrdiff_t>(removed));
        m_EntityMap.erase(it);
        --m_nextIdx;
        for (auto& [id, index] : m_EntityMap)
            if (index > removed)
                --index;
    }

    Ref<T> GetComp(EntityID entity) const {
        auto it = m_EntityMap.find(entity);
        if (it == m_EntityMap.end())
            return nullptr;
        return m_DataArray[it->second];
    }

    void EntityDestroyed(EntityID entity) override { Remove(entity); }

    size_t Size() const { return m_nextIdx; }
    // Position of an entity's record, or -1; for tests of the packing.
    long IndexOf(EntityID entity) const {
        auto it = m_EntityMap.find(entity);
        return it == m_EntityMap.end() ? -1 : static_cast<long>(it->second);
    }

private:
    std::vector<Ref<T>> m_DataArray;
    std::unordered_map<EntityID, size_t> m_EntityMap;
    size_t m_nextIdx = 0;
};

} // namespace Engine
