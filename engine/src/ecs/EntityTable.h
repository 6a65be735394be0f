#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include <engine/ecs/Types.h>

namespace Engine {

// The size an array indexed by id grows to so that `id` fits: doubling, but
// not past room reserved beforehand when that is enough.
template <typename Vector> size_t Grown(const Vector& v, EntityID id) {
    const size_t need = size_t(id) + 1;
    const size_t doubled = std::max(need, v.size() * 2);
    return need <= v.capacity() ? std::min(doubled, v.capacity()) : doubled;
}

// The archetype of every entity that exists, by id. Ids come from a counter,
// so they are looked up in an array indexed by id; the few that code makes up
// past the array's reach (any 32-bit number is an id) go to a map.
class EntityTable {
public:
    // Ids at or past this are kept in the map: an array this long takes
    // 20 MiB, and it only grows as far as the ids in use.
    static constexpr EntityID DENSE = EntityID(1) << 22;

    // Null when the entity does not exist.
    const Archetype* Find(EntityID id) const {
        if (id < DENSE)
            return id < m_alive.size() && m_alive[id] ? &m_arch[id] : nullptr;
        auto it = m_far.find(id);
        return it == m_far.end() ? nullptr : &it->second;
    }

    // Makes the entity exist, with this archetype.
    void Set(EntityID id, Archetype arch) {
        if (id >= DENSE) {
            m_count += m_far.insert_or_assign(id, arch).second;
            return;
        }
        if (id >= m_alive.size()) {
            const size_t size = Grown(m_alive, id);
            m_alive.resize(size, 0);
            m_arch.resize(size);
        }
        m_count += !m_alive[id];
        m_alive[id] = 1;
        m_arch[id] = arch;
    }

    void Erase(EntityID id) {
        if (id >= DENSE) {
            m_count -= m_far.erase(id);
        } else if (id < m_alive.size() && m_alive[id]) {
            m_alive[id] = 0;
            m_arch[id] = Archetype();
            --m_count;
        }
    }

    // Room for ids up to lastId.
    void Reserve(EntityID lastId) {
        const size_t want = std::min<size_t>(size_t(lastId) + 1, DENSE);
        m_alive.reserve(want);
        m_arch.reserve(want);
    }

    size_t Size() const { return m_count; }

    void Clear() {
        m_alive.clear();
        m_arch.clear();
        m_far.clear();
        m_count = 0;
    }

    // Every entity, by ascending id.
    template <typename F> void ForEach(F&& visit) const {
        for (size_t id = 0; id < m_alive.size(); ++id)
            if (m_alive[id])
                visit(EntityID(id), m_arch[id]);
        if (m_far.empty())
            return;
        std::vector<EntityID> far;
        far.reserve(m_far.size());
        for (const auto& entry : m_far)
            far.push_back(entry.first);
        std::sort(far.begin(), far.end());
        for (EntityID id : far)
            visit(id, m_far.at(id));
    }

private:
    std::vector<uint8_t> m_alive;
    std::vector<Archetype> m_arch;
    std::unordered_map<EntityID, Archetype> m_far;
    size_t m_count = 0;
};

} // namespace Engine
