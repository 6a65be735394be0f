// The physics step's collider grids. The reference for "exactly right" is the
// same scene with every still collider made a body that cannot move (zero
// velocity, zero inverse mass), found through the other grid, the one of
// bodies; and each grid's queries are checked against a scan of the registry.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <set>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>

using namespace Engine;
using glm::vec3;

namespace {

class PhysicsIndex : public ::testing::Test {
protected:
    void SetUp() override { Fresh(); }
    void TearDown() override { ECS::Get().Reset(); }

    void Fresh() {
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<RigidBody>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceGenerator>();
        ecs.RegisterComponent<ForceApplier>();
        physics = CreateRef<PhysicsSystem>();
        ecs.RegisterSystem(physics);
        ecs.RegisterSystem(CreateRef<ForceSystem>());
        Time::dt = 0.01;
    }

    static EntityID Block(vec3 p, float w, float h, bool solid, bool zone = false,
                          bool pinned = false) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, p, vec3(0), vec3(w, h, 0));
        if (zone)
            ecs.AddComponent<ForceApplier>(e, ForceApplier{{0, -2400, 0}});
        ecs.AddComponent<Collider>(e, Collider{w, h, solid});
        if (pinned) {
            RigidBody still;
            still.iMass = 0.0f;
            still.drag = 0.0f;
            still.velocity = vec3(0);
            ecs.AddComponent<RigidBody>(e, still);
        }
        return e;
    }
    static EntityID Body(vec3 p, vec3 v) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, p, vec3(0), vec3(64, 64, 0));
        ecs.AddComponent<Collider>(e, Collider{64, 64, true});
        RigidBody rb;
        rb.velocity = v;
        ecs.AddComponent<RigidBody>(e, rb);
        ecs.AddComponent<ForceGenerator>(e, ForceGenerator{{0, 1960, 0}});
        return e;
    }
    static void Step() {
        ECS& ecs = ECS::Get();
        ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<RigidBody, Transform, Collider>());
    }
    static vec3 Pos(EntityID e) { return ECS::Get().GetComponent<Transform>(e)->position; }
    static RigidBody Rb(EntityID e) { return *ECS::Get().GetComponent<RigidBody>(e); }

    struct State {
        vec3 p, v;
        bool grounded;
        bool operator==(const State& o) const {
            return p == o.p && v == o.v && grounded == o.grounded;
        }
    };

    // Between two steps, what code on top of the engine may do to still
    // colliders and zones without telling the physics: move one a little,
    // resize it (negative sizes too), switch it solid or not, teleport it next
    // to a body or far away; and a body jumps or is thrown.
    static void Meddle(std::mt19937& rng, const std::vector<EntityID>& blocks,
                       const std::vector<EntityID>& bodies) {
        ECS& ecs = ECS::Get();
        auto uni = [&](float a, float b) {
            return std::uniform_real_distribution<float>(a, b)(rng);
        };
        for (int n = int(rng() % 6); n > 0; --n) {
            const EntityID e = blocks[rng() % blocks.size()];
            Ref<Transform> t = ecs.GetComponent<Transform>(e);
            Ref<Collider> c = ecs.GetComponent<Collider>(e);
            switch (rng() % 5) {
            case 0:
                t->position += vec3(uni(-40, 40), uni(-40, 40), 0);
                break;
            case 1:
                c->width = uni(-80, 300);
                c->height = uni(-80, 200);
                break;
            case 2:
                c->solid = !c->solid;
                break;
            case 3: // right where a body is going
                t->position = Pos(bodies[rng() % bodies.size()]) + vec3(uni(-100, 100), 70, 0);
                break;
            default:
                t->position = vec3(uni(-1e5f, 1e5f), uni(-1e4f, 1e4f), 0);
                break;
            }
        }
        if (rng() % 4 == 0)
            ecs.GetComponent<RigidBody>(bodies[rng() % bodies.size()])->velocity +=
                vec3(uni(-300, 300), uni(-1000, 0), 0);
    }

    // A random field of tiles, odd-sized blocks, zones, a few huge or far
    // colliders, and bodies thrown across it; the bodies' states every step.
    // With meddle, the field is changed between steps (the same way in both
    // runs), and the indexed run steps through the registry's schedule.
    std::vector<std::vector<State>> RunField(unsigned seed, bool pinned, bool meddle = false) {
        Fresh();
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) {
            return std::uniform_real_distribution<float>(a, b)(rng);
        };
        std::vector<EntityID> blocks;
        for (int i = 0; i < 600; ++i) {
            const int kind = int(rng() % 10);
            if (kind < 6) // grid tiles
                blocks.push_back(Block(vec3(64.0f * float(rng() % 60), 64.0f * float(4 + rng() % 12), 0), 64, 64,
                      true, false, pinned));
            else if (kind < 8) // zones, some solid
                blocks.push_back(Block(vec3(64.0f * float(rng() % 60), 64.0f * float(rng() % 8), 0),
                                       64, 64, rng() % 4 == 0, true, pinned));
            else // anywhere, any size, some negative
                blocks.push_back(Block(vec3(uni(-500, 4000), uni(-300, 1200), 0), uni(-80, 300),
                                       uni(-80, 200), rng() % 3 != 0, rng() % 5 == 0, pinned));
        }
        Block(vec3(-1e6f, 1100, 0), 2e6f, 50, true, false, pinned); // a huge floor
        Block(vec3(3e12f, 500, 0), 64, 64, true, false, pinned);    // beyond the cell range
        std::vector<EntityID> bodies;
        for (int i = 0; i < 6; ++i)
            bodies.push_back(Body(vec3(uni(0, 3500), uni(-200, 600), 0),
                                  vec3(uni(-900, 900), uni(-1200, 600), 0)));
        // Only the thrown bodies are stepped: pinned ones never move anyway,
        // and stepping them too would make the reference quadratic.
        ECS& ecs = ECS::Get();
        std::mt19937 meddling(seed * 7919u);
        std::vector<std::vector<State>> states;
        for (int s = 0; s < 250; ++s) {
            if (meddle && s > 0)
                Meddle(meddling, blocks, bodies);
            ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
            const Archetype stepped = ecs.GetArchetype<RigidBody, Transform, Collider>();
            if (meddle && !pinned && seed % 2 == 1) {
                ecs.RunSystemArch(stepped);
            } else if (meddle) {
                // Bodies meet each other, so they go in the order the
                // registry runs them in, which is the same in both runs. Run
                // one by one, the step looks for changes at every call.
                for (EntityID b : ecs.GetEntitiesWith(stepped))
                    if (std::find(bodies.begin(), bodies.end(), b) != bodies.end())
                        physics->Run(b);
            } else {
                for (EntityID b : bodies)
                    physics->Run(b);
            }
            std::vector<State> now;
            for (EntityID b : bodies)
                now.push_back({Pos(b), Rb(b).velocity, Rb(b).grounded});
            states.push_back(now);
        }
        return states;
    }

    // What the grids promise the step: every collider whose rectangle meets a
    // box is among those a query of the box visits, with the entity's own
    // records. Checked against a scan of the registry, for boxes across the
    // field, as bodies move and re-place themselves one by one, and as
    // entities and components come and go between syncs.
    static void ExpectQueriesMissNothing(unsigned seed) {
        ECS& ecs = ECS::Get();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        Block(vec3(nan, 0, 0), 64, 64, true);
        Block(vec3(0, 0, 0), std::numeric_limits<float>::infinity(), 64, true);
        ColliderGrid still, bodies(ColliderGrid::Members::Bodies);
        std::mt19937 rng(seed);
        auto uni = [&](float a, float b) {
            return std::uniform_real_distribution<float>(a, b)(rng);
        };
        const Archetype colliders = ecs.GetArchetype<Collider, Transform>();
        for (int round = 0; round < 4; ++round) {
            // As the step does; the bodies' grid is left to re-place each
            // body alone.
            still.Sync(ecs);
            still.Refresh();
            bodies.Sync(ecs);
            const std::vector<EntityID> all = ecs.GetEntitiesWith(colliders);
            for (int q = 0; q < 200; ++q) {
                const glm::vec2 lo(uni(-600, 4000), uni(-400, 1300));
                const glm::vec2 hi = lo + glm::vec2(uni(0, 300), uni(0, 300));
                std::set<EntityID> seen;
                auto visit = [&](const ColliderGrid::Entry& e) {
                    seen.insert(e.id);
                    EXPECT_EQ(e.collider, ecs.GetComponent<Collider>(e.id)) << e.id;
                    EXPECT_EQ(e.transform, ecs.GetComponent<Transform>(e.id)) << e.id;
                };
                still.Query(lo, hi, visit);
                bodies.Query(lo, hi, visit);
                for (EntityID e : all) {
                    const vec3 p = Pos(e);
                    const Collider c = *ecs.GetComponent<Collider>(e);
                    if (std::min(p.x, p.x + c.width) <= hi.x &&
                        lo.x <= std::max(p.x, p.x + c.width) &&
                        std::min(p.y, p.y + c.height) <= hi.y &&
                        lo.y <= std::max(p.y, p.y + c.height)) {
                        ASSERT_TRUE(seen.count(e))
                            << "seed " << seed << " round " << round << " entity " << e;
                    }
                }
            }
            for (EntityID e : ecs.GetEntitiesWith(ecs.GetArchetype<RigidBody>())) {
                ecs.GetComponent<Transform>(e)->position += vec3(uni(-500, 500), uni(-500, 500), 0);
                bodies.Refresh(e);
            }
            auto renew = [&](EntityID e) {
                ecs.RemoveComponent<Collider>(e);
                ecs.AddComponent<Collider>(e, Collider{uni(-80, 300), uni(-80, 200), true});
            };
            // The last of each list seen, first: it comes back where it was.
            const EntityID lastStill = all.back();
            renew(lastStill);
            const std::vector<EntityID> bodyList =
                ecs.GetEntitiesWith(ecs.GetArchetype<RigidBody, Transform, Collider>());
            if (!bodyList.empty() && bodyList.back() != lastStill)
                renew(bodyList.back());
            for (EntityID e : all)
                switch (rng() % 40) {
                case 0:
                    ecs.RemoveEntity(e);
                    break;
                case 1:
                    renew(e);
                    break;
                case 2:
                    if (ecs.GetComponent<RigidBody>(e))
                        ecs.RemoveComponent<RigidBody>(e);
                    else
                        ecs.AddComponent<RigidBody>(e, RigidBody());
                    break;
                default:
                    break;
                }
            Block(vec3(uni(0, 3500), uni(-200, 1000), 0), 64, 64, true);
        }
    }

    Ref<PhysicsSystem> physics;
};

TEST_F(PhysicsIndex, BodiesMoveExactlyAsWithAScanOfEveryCollider) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::vector<std::vector<State>> indexed = RunField(seed, false);
        EXPECT_GT(physics->Grid().Size(), 600u);
        EXPECT_EQ(physics->BodyGrid().Size(), 6u);
        ExpectQueriesMissNothing(seed);
        std::vector<std::vector<State>> scanned = RunField(seed, true);
        EXPECT_EQ(physics->Grid().Size(), 0u);
        EXPECT_GT(physics->BodyGrid().Size(), 600u);
        ExpectQueriesMissNothing(seed);
        ASSERT_EQ(indexed.size(), scanned.size());
        for (size_t s = 0; s < indexed.size(); ++s)
            ASSERT_TRUE(indexed[s] == scanned[s]) << "seed " << seed << " step " << s;
    }
}

TEST_F(PhysicsIndex, CollidersChangedBetweenStepsAreMetWhereAndAsTheyAreNow) {
    for (unsigned seed = 11; seed <= 14; ++seed) {
        std::vector<std::vector<State>> indexed = RunField(seed, false, true);
        ExpectQueriesMissNothing(seed);
        std::vector<std::vector<State>> scanned = RunField(seed, true, true);
        ExpectQueriesMissNothing(seed);
        ASSERT_EQ(indexed.size(), scanned.size());
        for (size_t s = 0; s < indexed.size(); ++s)
            ASSERT_TRUE(indexed[s] == scanned[s]) << "seed " << seed << " step " << s;
    }
}

TEST_F(PhysicsIndex, CollidersAddedOrRemovedLaterCount) {
    for (int i = 0; i < 20; ++i)
        Block(vec3(64.0f * float(i), 64, 0), 64, 64, true);
    EntityID body = Body(vec3(0, 0, 0), vec3(300, 0, 0));
    for (int s = 0; s < 20; ++s)
        Step();
    EXPECT_TRUE(Rb(body).grounded);
    const float x = Pos(body).x;

    // A wall in the way, made after the grid was built: the body stops at it.
    Block(vec3(x + 80, 0, 0), 64, 64, true);
    for (int s = 0; s < 100; ++s)
        Step();
    EXPECT_LE(Pos(body).x + 64, x + 80);
    EXPECT_EQ(Rb(body).velocity.x, 0.0f);

    // A zone added under it lifts it; taking the floor away lets it fall.
    Block(Pos(body), 64, 64, false, true);
    Step();
    EXPECT_LT(Rb(body).velocity.y, 0.0f);
    Fresh();
    for (int i = 0; i < 3; ++i)
        Block(vec3(64.0f * float(i), 64, 0), 64, 64, true);
    body = Body(vec3(64, 0, 0), vec3(0));
    Step();
    EXPECT_TRUE(Rb(body).grounded);
    for (EntityID tile = 1; tile <= 3; ++tile)
        ECS::Get().RemoveEntity(tile);
    for (int s = 0; s < 10; ++s)
        Step();
    EXPECT_FALSE(Rb(body).grounded);
    EXPECT_GT(Pos(body).y, 1.0f);
    EXPECT_EQ(physics->Grid().Size(), 0u);
}

TEST_F(PhysicsIndex, StillCollidersThatMoveAreFoundWhereTheyAre) {
    Block(vec3(-640, 64, 0), 1280, 64, true); // floor
    EntityID body = Body(vec3(0, 0, 0), vec3(0));
    EntityID wall = Block(vec3(5000, 0, 0), 64, 64, true);
    EntityID pusher = Block(vec3(5000, -5000, 0), 64, 64, true);
    Step();

    // Moved next to the body, with nobody told, the wall blocks it.
    ECS::Get().GetComponent<Transform>(wall)->position = vec3(100, 0, 0);
    ECS::Get().GetComponent<RigidBody>(body)->velocity.x = 800;
    for (int s = 0; s < 20; ++s)
        Step();
    EXPECT_LE(Pos(body).x + 64, 100.0f);
    EXPECT_GT(Pos(body).x + 64, 90.0f);

    // A collider that becomes a body is taken where it is at each step.
    RigidBody still;
    still.iMass = 0.0f;
    ECS::Get().AddComponent<RigidBody>(pusher, still);
    ECS::Get().GetComponent<Transform>(pusher)->position = vec3(-100, 0, 0);
    ECS::Get().GetComponent<RigidBody>(body)->velocity.x = -800;
    for (int s = 0; s < 20; ++s)
        Step();
    EXPECT_GE(Pos(body).x, -100.0f + 64.0f);

    // A body is met where its own step took it earlier in the same run: here
    // two cells on, beside one that moves into it.
    Fresh();
    EntityID fast = Body(vec3(0, 0, 0), vec3(20000, 0, 0));
    EntityID slow = Body(vec3(265, 0, 0), vec3(-500, 0, 0));
    Step();
    EXPECT_GE(Pos(slow).x, Pos(fast).x + 64.0f);
}

// Far out, floats still resolve a 64-unit tile to a quarter unit.
TEST_F(PhysicsIndex, FarAwayBodiesLandLikeNearOnes) {
    for (float x : {0.0f, 1e6f, -4e6f}) {
        Fresh();
        Block(vec3(x, 64, 0), 64, 64, true);
        EntityID body = Body(vec3(x, 0, 0), vec3(0, 300, 0));
        for (int s = 0; s < 5; ++s)
            Step();
        EXPECT_TRUE(Rb(body).grounded) << x;
        EXPECT_LE(Pos(body).y, 0.0f) << x;
    }
}

} // namespace
