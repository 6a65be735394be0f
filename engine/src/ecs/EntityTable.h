#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <engine/ecs/Runs.h>
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

    Entry Find(EntityID id) const { return Decode(m_map.Get(id)); }

    // Makes the entity exist, its archetype changed by change(Archetype&)
    // (empty for one that did not exist); returns what it was before.
    template <typename F> Entry Change(EntityID id, F&& change) {
        Entry before;
        m_map.Update(id, [&](uint64_t& value) { before = Apply(value, change); });
        m_count += !before.exists;
        m_highest = std::max(m_highest, id);
        return before;
    }

    // Makes the entity exist, with this archetype.
    void Set(EntityID id, Archetype arch) {
        Change(id, [&](Archetype& now) { now = arch; });
    }

    void Erase(EntityID id) { m_count -= m_map.Take(id) != 0; }

    size_t Size() const { return m_count; }
    // The highest id ever entered since the table was cleared.
    EntityID Highest() const { return m_highest; }

    void Clear() {
        m_map.Clear();
        m_count = 0;
        m_highest = 0;
    }

    // Every entity, by ascending id.
    template <typename F> void ForEach(F&& visit) const {
        m_map.ForEach([&](EntityID id, uint64_t value) { visit(id, Decode(value).arch); });
    }

    // Change for each of ids[0, n) in turn, before[k] what ids[k] was unless
    // before is null; change must not throw.
    template <typename F>
    [[gnu::always_inline]] void Change(const EntityID* ids, size_t n, Entry* before, F&& change) {
        size_t made = 0;
        EntityID highest = m_highest;
        m_map.Change(ids, n, [&](uint64_t& value, size_t k) {
            const Entry was = Apply(value, change);
            if (before)
                before[k] = was;
            made += !was.exists;
            highest = std::max(highest, ids[k]);
            return !was.exists;
        });
        m_count += made;
        m_highest = highest;
    }

    // Change for the consecutive ids first to first + n - 1, for runs of
    // them that were alike: visit(k, count, before) for each such run of
    // ids first + k on, in order. `unseen`: none of them has ever been
    // entered. change must not throw.
    template <typename F, typename V> void ChangeRun(EntityID first, size_t n, bool unseen, F&& change, V&& visit) {
        size_t made = 0;
        m_map.ChangeRun(first, n, [&](uint64_t* values, size_t k, size_t count) {
            if (unseen || Runs::None(values, count)) {
                // New entities, the usual case.
                uint64_t now = 0;
                const Entry before = Apply(now, change);
                Runs::Fill(values, now, count);
                visit(k, count, before);
                made += count;
                return count;
            }
            size_t given = 0;
            for (size_t i = 0; i < count;) {
                // Entities made or changed alike carry the same entry.
                const uint64_t was = values[i];
                size_t end = i + 1;
                while (end < count && values[end] == was)
                    ++end;
                uint64_t now = was;
                const Entry before = Apply(now, change);
                for (size_t j = i; j < end; ++j)
                    values[j] = now;
                if (!before.exists)
                    given += end - i;
                visit(k + i, end - i, before);
                i = end;
            }
            made += given;
            return given;
        });
        m_count += made;
        if (n)
            m_highest = std::max(m_highest, EntityID(first + n - 1));
    }

private:
    // Set in every entry, so that an entity without components is told from none.
    static constexpr uint64_t EXISTS = uint64_t(1) << 32;

    static Entry Decode(uint64_t value) { return {value != 0, Archetype(value & 0xFFFFFFFFu)}; }
    template <typename F> static Entry Apply(uint64_t& value, F& change) {
        const Entry before = Decode(value);
        Archetype arch = before.arch;
        change(arch);
        value = EXISTS | arch.to_ulong();
        return before;
    }

    SparseArray<uint64_t> m_map;
    size_t m_count = 0;
    EntityID m_highest = 0;
};

} // namespace Engine
