#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <glm/common.hpp>
#include <glm/geometric.hpp>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/PhysicsSystem.h>

namespace Engine {

bool Collider::Collides(glm::vec3 p1, const Ref<Collider>& c1, glm::vec3 p2,
                        const Ref<Collider>& c2, glm::vec3& normal) {
    float toVertical = std::min(p2.y + c2->height - p1.y, p1.y + c1->height - p2.y);
    float toHorizontal = std::min(p2.x + c2->width - p1.x, p1.x + c1->width - p2.x);
    bool hits = p1.x < p2.x + c2->width && p2.x < p1.x + c1->width && p1.y < p2.y + c2->height &&
                p2.y < p1.y + c1->height;
    if (hits) {
        if (toVertical < toHorizontal) {
            normal = glm::vec3(0.0f, 1.0f, 0.0f);
            if (p1.y < p2.y)
                normal = -normal;
        } else {
            normal = glm::vec3(1.0f, 0.0f, 0.0f);
            if (p1.x < p2.x)
                normal = -normal;
        }
    }
    return hits;
}

namespace {

constexpr int Iterations = 10;
// A contact whose normal is this close to straight up counts as standing on it.
constexpr float GroundedCos = 0.98f;

struct Obstacle {
    EntityID id;
    glm::vec3 position;
    Ref<Collider> collider;
    float area;
};

float OverlapArea(glm::vec3 p1, const Collider& c1, glm::vec3 p2, const Collider& c2) {
    float w = std::min(p1.x + c1.width, p2.x + c2.width) - std::max(p1.x, p2.x);
    float h = std::min(p1.y + c1.height, p2.y + c2.height) - std::max(p1.y, p2.y);
    return w > 0.0f && h > 0.0f ? w * h : 0.0f;
}

} // namespace

double ImpactTime(glm::vec3 start, glm::vec3 velocity, const Ref<Collider>& body,
                  glm::vec3 otherPos, const Ref<Collider>& other, double dt, glm::vec3& normal) {
    double newDt = dt / 2;
    glm::vec3 result = start;
    // Backs off by halving while the probe overlaps and only steps forward on the
    // last iteration, which keeps the search short of the obstacle.
    for (int itt = 1; itt <= Iterations; ++itt) {
        result = start + velocity * static_cast<float>(newDt);
        bool collides = Collider::Collides(result, body, otherPos, other, normal);
        if (collides)
            newDt = newDt - dt / std::pow(2.0f, itt + 1);
        else if (itt == Iterations)
            newDt = newDt + dt / std::pow(2.0f, itt + 1);
    }
    if (Collider::Collides(result, body, otherPos, other, normal))
        newDt = newDt - dt / std::pow(2.0f, Iterations + 1);
    return newDt;
}

bool ColliderGrid::Cells(glm::vec2 lo, glm::vec2 hi, CellRange& r) {
    if (!std::isfinite(lo.x) || !std::isfinite(lo.y) || !std::isfinite(hi.x) ||
        !std::isfinite(hi.y))
        return false;
    double x0 = std::floor(double(lo.x) / CELL), y0 = std::floor(double(lo.y) / CELL);
    double x1 = std::max(x0, std::ceil(double(hi.x) / CELL) - 1.0);
    double y1 = std::max(y0, std::ceil(double(hi.y) / CELL) - 1.0);
    constexpr double lim = 2147483647.0;
    if (x0 < -lim || y0 < -lim || x1 > lim || y1 > lim)
        return false;
    r = {int64_t(x0), int64_t(y0), int64_t(x1), int64_t(y1)};
    return true;
}

namespace {

// The rectangle Collides works with, ordered even for a negative size: any
// overlap it reports lies within the ordered rectangles of both sides.
void Box(glm::vec3 p, const Collider& c, glm::vec2& lo, glm::vec2& hi) {
    lo = {std::min(p.x, p.x + c.width), std::min(p.y, p.y + c.height)};
    hi = {std::max(p.x, p.x + c.width), std::max(p.y, p.y + c.height)};
}

// Room for the rounding of positions computed within a step.
void Pad(glm::vec2& lo, glm::vec2& hi) {
    glm::vec2 m(1.0f + 1e-4f * std::max(std::fabs(lo.x), std::fabs(hi.x)),
                1.0f + 1e-4f * std::max(std::fabs(lo.y), std::fabs(hi.y)));
    lo -= m;
    hi += m;
}

} // namespace

namespace {

// Position and size of a still collider, bit for bit.
void PlacementBits(const glm::vec3& position, const Collider& collider, uint32_t (&out)[4]) {
    const float v[4] = {position.x, position.y, collider.width, collider.height};
    std::memcpy(out, v, sizeof out);
}

} // namespace

bool ColliderGrid::Moved(const Watch& w) {
    uint32_t now[4];
    PlacementBits(*w.position, *w.collider, now);
    return std::memcmp(now, w.placed, sizeof now) != 0;
}

void ColliderGrid::Place(uint32_t index) {
    const Entry& e = m_entries[index];
    Where& w = m_where[index];
    PlacementBits(e.transform->position, *e.collider, m_watch[index].placed);
    glm::vec2 lo, hi;
    Box(e.transform->position, *e.collider, lo, hi);
    // Huge rectangles would fill thousands of cells; they are few, so they
    // are simply met by every query.
    w.loose = !Cells(lo, hi, w.cells) || w.cells.Count() > 1024;
    if (w.loose) {
        m_loose.push_back(index);
        return;
    }
    for (int64_t cx = w.cells.x0; cx <= w.cells.x1; ++cx)
        for (int64_t cy = w.cells.y0; cy <= w.cells.y1; ++cy)
            m_cells[Key(cx, cy)].push_back(index);
}

void ColliderGrid::Unplace(uint32_t index) {
    const Where& w = m_where[index];
    auto drop = [index](std::vector<uint32_t>& list) {
        auto it = std::find(list.begin(), list.end(), index);
        if (it != list.end())
            list.erase(it);
    };
    if (w.loose) {
        drop(m_loose);
        return;
    }
    for (int64_t cx = w.cells.x0; cx <= w.cells.x1; ++cx)
        for (int64_t cy = w.cells.y0; cy <= w.cells.y1; ++cy) {
            auto it = m_cells.find(Key(cx, cy));
            if (it == m_cells.end())
                continue;
            drop(it->second);
            if (it->second.empty())
                m_cells.erase(it);
        }
}

uint32_t ColliderGrid::Add(EntityID id, const ECS& ecs) {
    const bool body = ecs.GetArchetype(id).test(Component<RigidBody>::GetTypeID());
    if (body != (m_members == Members::Bodies))
        return NONE;
    Ref<Transform> t = ecs.GetComponent<Transform>(id);
    Ref<Collider> c = ecs.GetComponent<Collider>(id);
    if (!t || !c)
        return NONE;
    const auto index = static_cast<uint32_t>(m_entries.size());
    m_watch.push_back({&t->position, c.get(), {}});
    m_entries.push_back({id, std::move(t), std::move(c)});
    m_where.push_back({});
    m_stamp.push_back(0);
    if (body)
        m_index[id] = index;
    Place(index);
    return index;
}

namespace {

// Where a dropped entry's watch points: it never changes.
const glm::vec3 kGone(0.0f);
const Collider kGoneCollider{};

} // namespace

void ColliderGrid::Drop(uint32_t index) {
    Unplace(index);
    m_where[index].dead = true;
    m_where[index].loose = false;
    Entry& e = m_entries[index];
    if (m_members == Members::Bodies)
        m_index.erase(e.id);
    e.transform.reset();
    e.collider.reset();
    m_watch[index] = {&kGone, &kGoneCollider, {}};
    PlacementBits(kGone, kGoneCollider, m_watch[index].placed);
    ++m_dead;
}

bool ColliderGrid::Current(uint32_t index, EntityID id, const ECS& ecs) const {
    const Entry& e = m_entries[index];
    return ecs.GetComponent<Transform>(id) == e.transform &&
           ecs.GetComponent<Collider>(id) == e.collider;
}

void ColliderGrid::Clear() {
    m_entries.clear();
    m_where.clear();
    m_watch.clear();
    m_cells.clear();
    m_loose.clear();
    m_stamp.clear();
    m_index.clear();
    m_query = 0;
    m_ids.clear();
    m_slots.clear();
    m_dead = 0;
}

namespace {

// Room for more, growing as push_back does: a reserve of exactly what is
// needed would copy the whole grid for each collider added a step at a time.
template <typename V> void Grow(V& v, size_t more) {
    if (v.size() + more > v.capacity())
        v.reserve(std::max(v.size() + more, 2 * v.capacity()));
}

} // namespace

void ColliderGrid::Sync(const ECS& ecs) {
    const std::vector<EntityID>& colliders =
        m_members == Members::Bodies
            ? ecs.EntitiesWith(ecs.GetArchetype<RigidBody, Transform, Collider>())
            : ecs.EntitiesWith(ecs.GetArchetype<Collider, Transform>());
    if (&ecs != m_ecs) {
        Clear();
        m_ecs = &ecs;
    }
    if (ecs.ListEpoch() != m_epoch) {
        m_epoch = ecs.ListEpoch();
        Recheck(colliders, ecs);
    }
    const size_t more = colliders.size() - std::min(m_ids.size(), colliders.size());
    Grow(m_entries, more);
    Grow(m_where, more);
    Grow(m_watch, more);
    Grow(m_stamp, more);
    // A collider the size of a cell or smaller meets one to four cells, and
    // neighbours share them: about one cell each.
    m_cells.reserve(m_cells.size() + more);
    Grow(m_ids, more);
    Grow(m_slots, more);
    for (size_t k = m_ids.size(); k < colliders.size(); ++k) {
        m_ids.push_back(colliders[k]);
        m_slots.push_back(Add(colliders[k], ecs));
    }
}

void ColliderGrid::Recheck(const std::vector<EntityID>& colliders, const ECS& ecs) {
    // The registry keeps the order of those that stay and puts newcomers at
    // the end, so one walk over both lists tells who left.
    std::vector<EntityID> ids;
    std::vector<uint32_t> slots;
    std::vector<bool> added;
    ids.reserve(colliders.size());
    slots.reserve(colliders.size());
    size_t j = 0;
    for (size_t i = 0; i < m_ids.size(); ++i) {
        const EntityID id = m_ids[i];
        uint32_t slot = m_slots[i];
        if (j == colliders.size() || colliders[j] != id) {
            if (slot != NONE)
                Drop(slot);
            continue;
        }
        ++j;
        // A body that has become still.
        const bool fresh = slot == NONE;
        if (fresh)
            slot = Add(id, ecs);
        ids.push_back(id);
        slots.push_back(slot);
        added.push_back(fresh);
    }
    // One that left and came back with new records sits after everyone who
    // stayed, so it can only be taken for itself at the end: looking back
    // from there, the first that still holds its own records vouches for all
    // before it.
    for (size_t k = ids.size(); k-- > 0;) {
        if (added[k] || slots[k] == NONE)
            continue;
        if (Current(slots[k], ids[k], ecs))
            break;
        Drop(slots[k]);
        slots[k] = Add(ids[k], ecs);
    }
    m_ids = std::move(ids);
    m_slots = std::move(slots);
    // Once most entries are gone, a fresh grid is smaller and quicker to walk.
    if (m_dead > 64 && m_dead > m_entries.size() / 2) {
        Clear();
        m_ecs = &ecs;
    }
}

void ColliderGrid::Refresh() {
    // Every step, so it is kept to a walk over one packed array and the
    // records it points at.
    const auto count = static_cast<uint32_t>(m_watch.size());
    for (uint32_t i = 0; i < count; ++i)
        if (Moved(m_watch[i]))
            Replace(i);
}

void ColliderGrid::Refresh(EntityID id) {
    auto it = m_index.find(id);
    if (it != m_index.end() && Moved(m_watch[it->second]))
        Replace(it->second);
}

void ColliderGrid::Replace(uint32_t index) {
    // A body moves a little each step and mostly stays in its cells.
    const Entry& e = m_entries[index];
    const Where& w = m_where[index];
    glm::vec2 lo, hi;
    Box(e.transform->position, *e.collider, lo, hi);
    CellRange r;
    if (!w.loose && Cells(lo, hi, r) && r.x0 == w.cells.x0 && r.y0 == w.cells.y0 &&
        r.x1 == w.cells.x1 && r.y1 == w.cells.y1) {
        PlacementBits(e.transform->position, *e.collider, m_watch[index].placed);
        return;
    }
    Unplace(index);
    Place(index);
}

void PhysicsSystem::Run(EntityID entity) {
    ECS& ecs = ECS::Get();
    Ref<Collider> collider = ecs.GetComponent<Collider>(entity);
    Ref<Transform> transform = ecs.GetComponent<Transform>(entity);
    Ref<RigidBody> rb = ecs.GetComponent<RigidBody>(entity);
    // Called by hand for an entity that is not (or no longer) a whole body.
    if (!collider || !transform || !rb)
        return;
    const double dt = Time::dt;
    const glm::vec3 start = transform->position;
    bool grounded = false;
    glm::vec3 normal(0.0f);

    // A scene without force zones need not register their type.
    const bool zonesExist = ecs.IsComponentRegistered<ForceApplier>();
    const Archetype zoneArch =
        zonesExist ? ecs.GetArchetype<Transform, Collider, ForceApplier>() : Archetype();
    const IDType bodyBit = Component<RigidBody>::GetTypeID();
    m_grid.Sync(ecs);
    m_bodyGrid.Sync(ecs);
    // Called alone, outside any run of the registry's, it looks every time.
    if (ecs.CurrentRun() == 0 || ecs.CurrentRun() != m_refreshedIn) {
        m_grid.Refresh();
        m_bodyGrid.Refresh();
        m_refreshedIn = ecs.CurrentRun();
    }

    // Every other collider that may meet the box, still or body.
    struct Near {
        EntityID id;
        Archetype arch;
        Ref<Transform> transform;
        Ref<Collider> collider;
    };
    auto near = [&](glm::vec2 lo, glm::vec2 hi) {
        Pad(lo, hi);
        std::vector<Near> found;
        m_grid.Query(lo, hi, [&](const ColliderGrid::Entry& e) {
            if (e.id == entity)
                return;
            Archetype arch = ecs.GetArchetype(e.id);
            if (!arch.test(bodyBit))
                found.push_back({e.id, arch, e.transform, e.collider});
        });
        m_bodyGrid.Query(lo, hi, [&](const ColliderGrid::Entry& e) {
            if (e.id != entity)
                found.push_back({e.id, ecs.GetArchetype(e.id), e.transform, e.collider});
        });
        return found;
    };

    // Zones act on the position at the start of the step, in id order so that a
    // run does not depend on the registry's iteration order.
    glm::vec2 lo, hi;
    Box(start, *collider, lo, hi);
    std::vector<Near> zones = zonesExist ? near(lo, hi) : std::vector<Near>();
    std::sort(zones.begin(), zones.end(), [](const Near& a, const Near& b) { return a.id < b.id; });
    for (const Near& zone : zones) {
        if ((zone.arch & zoneArch) != zoneArch)
            continue;
        if (Collider::Collides(start, collider, zone.transform->position, zone.collider, normal)) {
            rb->velocity += ecs.GetComponent<ForceApplier>(zone.id)->force *
                            (rb->iMass * static_cast<float>(dt));
            grounded = true;
        }
    }

    glm::vec3 result = start + rb->velocity * static_cast<float>(dt);

    // Every position the body takes in this step lies between the start and
    // the free motion: a contact only ever zeroes a component of the velocity.
    glm::vec2 endLo, endHi;
    Box(result, *collider, endLo, endHi);
    lo = glm::min(lo, endLo);
    hi = glm::max(hi, endHi);

    // Contacts go deepest first (overlap with the free-motion rectangle), then by
    // id. Any other order lets the tile ahead, barely entered, stop a body that
    // runs across the seam of a flat floor.
    std::vector<Obstacle> deep, rest;
    for (Near& other : near(lo, hi)) {
        if (!other.collider->solid)
            continue;
        glm::vec3 p = other.transform->position;
        float area = OverlapArea(result, *collider, p, *other.collider);
        (area > 0.0f ? deep : rest).push_back({other.id, p, std::move(other.collider), area});
    }
    std::sort(deep.begin(), deep.end(), [](const Obstacle& a, const Obstacle& b) {
        return a.area != b.area ? a.area > b.area : a.id < b.id;
    });

    auto resolve = [&](const Obstacle& o) {
        glm::vec3 velocity = rb->velocity;
        double newDt = ImpactTime(start, velocity, collider, o.position, o.collider, dt, normal);
        // Only the part of the velocity pointing into the obstacle is removed.
        glm::vec3 newVel = velocity + normal * std::max(0.0f, -glm::dot(velocity, normal));
        result =
            start + velocity * static_cast<float>(newDt) + newVel * static_cast<float>(dt - newDt);
        rb->velocity = newVel;
        if (glm::dot(normal, glm::vec3(0.0f, -1.0f, 0.0f)) > GroundedCos)
            grounded = true;
    };
    for (const Obstacle& o : deep)
        if (Collider::Collides(result, collider, o.position, o.collider, normal))
            resolve(o);
    // The rest in id order without sorting them: the next one a sorted walk would
    // resolve is the lowest id past the last resolved that overlaps the result now.
    const Obstacle* last = nullptr;
    for (;;) {
        const Obstacle* next = nullptr;
        glm::vec3 probeNormal(0.0f);
        for (const Obstacle& o : rest)
            if ((!last || o.id > last->id) && (!next || o.id < next->id) &&
                Collider::Collides(result, collider, o.position, o.collider, probeNormal))
                next = &o;
        if (!next)
            break;
        Collider::Collides(result, collider, next->position, next->collider, normal);
        resolve(*next);
        last = next;
    }

    rb->velocity = rb->velocity - rb->velocity * (rb->drag * static_cast<float>(dt));
    rb->grounded = grounded;
    transform->position = result;
    m_bodyGrid.Refresh(entity);
}

} // namespace Engine
