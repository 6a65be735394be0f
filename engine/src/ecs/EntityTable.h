#pragma once

#include <cstddef>
#include <cstdint>

#include <engine/ecs/SparseArray.h>
#include <engine/ecs/Types.h>

namespace Engine {

// The archetype of every entity that exists, by id. Any 32-bit number is an
// id; the table's pages follow the ids in use.
class EntityTable {
public:
    struct Entry {
        bool exists = false;
        Archetype arch;
    };

    Entry Find(EntityID id) const {
        const uint64_t value = m_map.Get(id);
        return {value != 0, Archetype(value & 0xFFFFFFFFu)};
    }

    // Makes the entity exist, with this archetype.
    void Set(EntityID id, Archetype arch) {
        if (uint64_t* value = m_map.Find(id); value && *value) {
            *value = EXISTS | arch.to_ulong();
            return;
        }
        m_map.Set(id, EXISTS | arch.to_ulong());
        ++m_count;
    }

    void Erase(EntityID id) { m_count -= m_map.Take(id) != 0; }

    size_t Size() const { return m_count; }

    void Clear() {
        m_map.Clear();
        m_count = 0;
    }

    // Every entity, by ascending id.
    template <typename F> void ForEach(F&& visit) const {
        m_map.ForEach([&](EntityID id, uint64_t value) { visit(id, Archetype(value & 0xFFFFFFFFu)); });
    }

private:
    // Set in every entry, so that an entity without components is told from none.
    static constexpr uint64_t EXISTS = uint64_t(1) << 32;
    SparseArray<uint64_t> m_map;
    size_t m_count = 0;
};

} // namespace Engine
