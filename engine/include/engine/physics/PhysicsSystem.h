#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <engine/ecs/System.h>
#include <engine/physics/Collider.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>

namespace Engine {

/// Time-of-impact search of a body leaving `start` at `velocity` against the
/// rectangle of `other` at `otherPos`, within a step of length dt. Bisects ten
/// times from dt/2 and returns the time spent at the old velocity: 0 when every
/// probe overlaps, dt/2 + dt/2048 when the first probe is already free. `normal`
/// receives the normal of the last overlapping probe.
double ImpactTime(glm::vec3 start, glm::vec3 velocity, const Ref<Collider>& body,
                  glm::vec3 otherPos, const Ref<Collider>& other, double dt, glm::vec3& normal);

class ECS;

/// Where colliders are: a uniform grid over the rectangles of either every
/// entity with a Collider and a Transform but no RigidBody (the still ones,
/// the default), or every body, with all three. An entity indexed as still
/// that gains a RigidBody is skipped by the physics step's queries from then
/// on, and comes into the grid of bodies.
///
/// Sync brings the grid's members up to date from the registry: colliders
/// that appeared since the last call are added, and those removed, or whose
/// records were replaced, are dropped, at a cost that follows the number of
/// members, not their cells. Refresh puts every member whose position or size changed since
/// it was placed where it now is, so code may move, resize or teleport still
/// colliders and zones between steps without telling anyone.
class ColliderGrid {
public:
    /// 128 units: a 64-unit body near a 64-unit grid meets about four cells.
    static constexpr float CELL = 128.0f;

    /// Which entities a grid holds.
    enum class Members {
        Still, ///< Colliders without a RigidBody.
        Bodies ///< Colliders with a RigidBody.
    };
    /// An empty grid of those members.
    explicit ColliderGrid(Members members = Members::Still) : m_members(members) {}

    /// One indexed collider and its records.
    struct Entry {
        EntityID id;              ///< The entity.
        Ref<Transform> transform; ///< Its placement.
        Ref<Collider> collider;   ///< Its rectangle.
    };

    /// Adds the colliders new in ecs; rebuilds after removals (see above).
    void Sync(const ECS& ecs);
    /// Re-places every member that moved or changed size (see above).
    void Refresh();
    /// Refresh for one entity alone; nothing when it is not a member.
    void Refresh(EntityID id);

    /// Every indexed entry whose rectangle may meet the box [lo, hi] (each
    /// entry once): the entries of the cells the box covers, those too large or
    /// too far out for cells, or all entries in a grid of a few, or for a box
    /// that is not finite or covers more cells than there are entries.
    template <typename F> void Query(glm::vec2 lo, glm::vec2 hi, F&& visit) {
        for (uint32_t i : m_loose)
            visit(m_entries[i]);
        CellRange r;
        if (m_entries.size() <= 16 || !Cells(lo, hi, r) || r.Count() > m_entries.size() + 16) {
            for (const Entry& e : m_entries)
                if (const Where& w = m_where[&e - m_entries.data()]; !w.loose && !w.dead)
                    visit(e);
            return;
        }
        if (++m_query == 0) {
            std::fill(m_stamp.begin(), m_stamp.end(), 0u);
            m_query = 1;
        }
        for (int64_t cx = r.x0; cx <= r.x1; ++cx)
            for (int64_t cy = r.y0; cy <= r.y1; ++cy) {
                auto it = m_cells.find(Key(cx, cy));
                if (it == m_cells.end())
                    continue;
                for (uint32_t i : it->second)
                    if (m_stamp[i] != m_query) {
                        m_stamp[i] = m_query;
                        visit(m_entries[i]);
                    }
            }
    }

    /// Number of indexed colliders (those dropped are kept as holes until
    /// the grid is rebuilt, and not counted).
    size_t Size() const { return m_entries.size() - m_dead; }
    /// Number of non-empty cells, for tests of the layout.
    size_t CellCount() const { return m_cells.size(); }

private:
    struct CellRange {
        int64_t x0, y0, x1, y1;
        uint64_t Count() const { return uint64_t(x1 - x0 + 1) * uint64_t(y1 - y0 + 1); }
    };
    struct Where {
        CellRange cells;
        bool loose;
        bool dead; ///< Dropped: in no cell, its slot unused.
    };
    /// What Refresh compares, packed apart from the rest for its walk over all
    /// entries: where the entry's records are, and the rectangle its cells were
    /// taken from, as position and size, bit for bit (a NaN that stays a NaN is
    /// no change).
    struct Watch {
        const glm::vec3* position;
        const Collider* collider;
        uint32_t placed[4];
    };
    struct KeyHash {
        size_t operator()(uint64_t k) const {
            k ^= k >> 33;
            k *= 0xff51afd7ed558ccdULL;
            k ^= k >> 33;
            return size_t(k);
        }
    };

    static uint64_t Key(int64_t cx, int64_t cy) {
        return (uint64_t(uint32_t(int32_t(cx))) << 32) | uint32_t(int32_t(cy));
    }
    /// The cells a box covers, half-open at its far edges; false when it has no
    /// usable cells (not finite, or beyond the 32-bit cell range).
    static bool Cells(glm::vec2 lo, glm::vec2 hi, CellRange& r);
    static constexpr uint32_t NONE = ~uint32_t(0);
    /// The new entry's index, or NONE when the entity is not a member.
    uint32_t Add(EntityID id, const ECS& ecs);
    /// Takes an entry out of the cells and lets go of its records.
    void Drop(uint32_t index);
    /// Whether the entry still holds the entity's own records.
    bool Current(uint32_t index, EntityID id, const ECS& ecs) const;
    /// After entities may have left the list: drops those gone or changed.
    void Recheck(const std::vector<EntityID>& colliders, const ECS& ecs);
    void Place(uint32_t index);
    /// Whether the entry's rectangle is not the one it was placed by.
    static bool Moved(const Watch& w);
    /// Puts a moved entry where it now is.
    void Replace(uint32_t index);
    void Unplace(uint32_t index);
    void Clear();

    std::vector<Entry> m_entries;
    std::vector<Where> m_where;
    std::vector<Watch> m_watch;
    std::unordered_map<uint64_t, std::vector<uint32_t>, KeyHash> m_cells;
    std::vector<uint32_t> m_loose;
    std::vector<uint32_t> m_stamp;
    /// Bodies only: where each entity's entry is.
    std::unordered_map<EntityID, uint32_t> m_index;
    Members m_members;
    uint32_t m_query = 0;
    const ECS* m_ecs = nullptr;
    uint64_t m_epoch = 0;
    /// The registry's list as last seen, and each one's entry (or NONE).
    std::vector<EntityID> m_ids;
    std::vector<uint32_t> m_slots;
    size_t m_dead = 0; ///< Entries dropped since the grid was last cleared.
};

/// Moves every body one step: force zones, free motion, contacts with solid
/// colliders, drag, and the grounded flag. Other colliders are found through
/// two ColliderGrids, of the still ones and of the bodies, which each body's
/// step re-places after it moves.
///
/// Contacts are found where the body ends its free motion only: a body that
/// moves farther in one step than its own size and a collider's together (128
/// units for a 64-unit body and tile: 12,800 units a second at the usual step
/// of 0.01 s) can pass through that collider untouched.
class PhysicsSystem : public System<RigidBody, Transform, Collider> {
public:
    PhysicsSystem() = default;
    ~PhysicsSystem() override = default;

    /// One step of one body, Time::dt long; nothing for an entity that lacks
    /// one of the three components.
    void Run(EntityID entity) override;

    const ColliderGrid& Grid() const { return m_grid; }         ///< The still colliders.
    const ColliderGrid& BodyGrid() const { return m_bodyGrid; } ///< The bodies.

private:
    ColliderGrid m_grid;
    ColliderGrid m_bodyGrid{ColliderGrid::Members::Bodies};
    /// The registry's run in which the grids were last refreshed: once per run
    /// over all bodies is enough, as no body's step moves a still collider and
    /// each re-places itself in the grid of bodies.
    uint64_t m_refreshedIn = 0;
};

} // namespace Engine
