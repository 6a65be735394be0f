#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>

using namespace Engine;
using glm::vec3;

namespace {

class Physics : public ::testing::Test {
protected:
    void SetUp() override {
        ECS::Get().Reset();
        ECS::Get().RegisterComponent<Transform>();
        ECS::Get().RegisterComponent<RigidBody>();
        ECS::Get().RegisterComponent<Collider>();
        ECS::Get().RegisterComponent<ForceGenerator>();
        ECS::Get().RegisterComponent<ForceApplier>();
        Time::dt = 0.01;
    }
    void TearDown() override { ECS::Get().Reset(); }

    static EntityID Box(vec3 p, bool solid = true, float size = 64.0f) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<Transform>(e, p, vec3(0.0f), vec3(size, size, 0.0f));
        ECS::Get().AddComponent<Collider>(e, Collider{size, size, solid});
        return e;
    }
    static EntityID Body(vec3 p, vec3 velocity) {
        EntityID e = Box(p);
        RigidBody rb;
        rb.velocity = velocity;
        ECS::Get().AddComponent<RigidBody>(e, rb);
        return e;
    }
    static Ref<RigidBody> RB(EntityID e) { return ECS::Get().GetComponent<RigidBody>(e); }
    static vec3 Pos(EntityID e) { return ECS::Get().GetComponent<Transform>(e)->position; }

    PhysicsSystem physics;
};

Ref<Collider> Rect(float w, float h) {
    return CreateRef<Collider>(Collider{w, h, true});
}

TEST(Collides, NormalsFollowLeastPenetrationFromSecondTowardsFirst) {
    auto tile = Rect(64, 64);
    const vec3 untouched(7, 7, 7);
    struct Case {
        vec3 p1, p2;
        bool hits;
        vec3 normal;
    } cases[] = {
        {{0, 0, 0}, {0, 64, 0}, false, untouched}, // edge contact only
        {{64, 0, 0}, {0, 0, 0}, false, untouched},
        {{0, 10, 0}, {0, 64, 0}, true, {0, -1, 0}},  // on top: vertical 10 < 64
        {{0, 74, 0}, {0, 128, 0}, true, {0, -1, 0}}, // offsets do not matter
        {{0, 54, 0}, {0, 0, 0}, true, {0, 1, 0}},
        {{50, 0, 0}, {0, 0, 0}, true, {1, 0, 0}}, // horizontal 14 < 64
        {{-50, 0, 0}, {0, 0, 0}, true, {-1, 0, 0}},
        {{32, 32, 0}, {0, 0, 0}, true, {1, 0, 0}}, // equal penetrations: horizontal
        {{-32, -32, 0}, {0, 0, 0}, true, {-1, 0, 0}},
    };
    for (const Case& c : cases) {
        vec3 n = untouched;
        EXPECT_EQ(Collider::Collides(c.p1, tile, c.p2, tile, n), c.hits) << c.p1.x << "," << c.p1.y;
        EXPECT_EQ(n, c.normal) << c.p1.x << "," << c.p1.y;
    }
    // Unequal sizes: each rectangle's own extent is used.
    auto small = Rect(16, 16);
    vec3 n;
    EXPECT_TRUE(Collider::Collides({0, 0, 0}, tile, {60, 24, 0}, small, n));
    EXPECT_EQ(n, vec3(-1, 0, 0));
    EXPECT_TRUE(Collider::Collides({60, 24, 0}, small, {0, 0, 0}, tile, n));
    EXPECT_EQ(n, vec3(1, 0, 0));
    EXPECT_FALSE(Collider::Collides({0, 0, 0}, tile, {64, 24, 0}, small, n));
}

TEST(ImpactTime, HalvesBackAndStepsForwardOnlyAtTheEnd) {
    const double dt = 0.01;
    auto box = Rect(64, 64);
    vec3 n;
    // First probe (dt/2, 2.5 units down) is already clear of a floor at 67.
    EXPECT_EQ(ImpactTime({0, 0, 0}, {0, 500, 0}, box, {0, 67, 0}, box, dt, n), dt / 2 + dt / 2048);
    // Starting in contact: every probe overlaps.
    EXPECT_EQ(ImpactTime({0, 0, 0}, {0, 500, 0}, box, {0, 64, 0}, box, dt, n), 0.0);
    EXPECT_EQ(n, vec3(0, -1, 0));
    // The first clear probe (dt/4) is kept, plus the final nudge.
    EXPECT_EQ(ImpactTime({0, 0, 0}, {0, 500, 0}, box, {0, 66, 0}, box, dt, n), dt / 4 + dt / 2048);
}

TEST_F(Physics, ForceStepAddsForceTimesInverseMassTimesDt) {
    EntityID a = Body({0, 0, 0}, {0, 0, 0});
    ECS::Get().AddComponent<ForceGenerator>(a, ForceGenerator{{0, 1960, 0}});
    EntityID b = Body({500, 0, 0}, {3, 0, 0});
    RB(b)->iMass = 0.5f;
    ECS::Get().AddComponent<ForceGenerator>(b, ForceGenerator{{0, 1960, 0}});
    EntityID noBody = ECS::Get().CreateEntity(); // never visited
    ECS::Get().AddComponent<ForceGenerator>(noBody, ForceGenerator{{0, 1960, 0}});
    Ref<SystemBase> forces = CreateRef<ForceSystem>();
    ECS::Get().RegisterSystem(forces);
    ECS::Get().RunSystemArch(ECS::Get().GetArchetype<ForceGenerator, RigidBody>());
    EXPECT_EQ(RB(a)->velocity, vec3(0, 19.6f, 0));
    EXPECT_EQ(RB(b)->velocity, vec3(3, 9.8f, 0));
    EXPECT_EQ(Pos(a), vec3(0, 0, 0)); // moving is the physics step's job

    // Called by hand for what is not (or no longer) a body: nothing happens.
    EntityID tile = Box({0, 64, 0});
    ECS::Get().RemoveComponent<Collider>(a);
    for (EntityID e : {noBody, tile, EntityID(999)}) {
        static_cast<ForceSystem&>(*forces).Run(e);
        physics.Run(e);
    }
    physics.Run(a);
    EXPECT_EQ(RB(a)->velocity, vec3(0, 19.6f, 0));
    EXPECT_EQ(Pos(tile), vec3(0, 64, 0));
}

TEST_F(Physics, FallingBodyStopsOnFloorKeepingHorizontalSpeed) {
    EntityID body = Body({0, 0, 0}, {100, 500, 0});
    RB(body)->grounded = false;
    Box({0, 66, 0});
    physics.Run(body);
    EXPECT_FLOAT_EQ(RB(body)->velocity.x, 100 * (1 - 0.0298f));
    EXPECT_EQ(RB(body)->velocity.y, 0.0f);
    EXPECT_TRUE(RB(body)->grounded);
    // dt/4 + dt/2048 at 500 down, then sliding.
    EXPECT_NEAR(Pos(body).y, 500 * (0.0025 + 0.01 / 2048), 1e-5);
    EXPECT_NEAR(Pos(body).x, 1.0f, 1e-5);
    EXPECT_LT(Pos(body).y + 64, 66.0f);
}

// An engine user's scene without force zones never registers their type;
// the step must not need it.
TEST(PhysicsWithoutZones, BodyStillStopsOnTheFloor) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<RigidBody>();
    ecs.RegisterComponent<Collider>();
    Time::dt = 0.01;
    EntityID floor = ecs.CreateEntity();
    ecs.AddComponent<Transform>(floor, vec3(0, 66, 0), vec3(0), vec3(64, 64, 0));
    ecs.AddComponent<Collider>(floor, Collider{64, 64, true});
    EntityID body = ecs.CreateEntity();
    ecs.AddComponent<Transform>(body, vec3(0), vec3(0), vec3(64, 64, 0));
    ecs.AddComponent<Collider>(body, Collider{64, 64, true});
    RigidBody rb;
    rb.velocity = {0, 500, 0};
    ecs.AddComponent<RigidBody>(body, rb);
    PhysicsSystem physics;
    physics.Run(body);
    EXPECT_EQ(ecs.GetComponent<RigidBody>(body)->velocity.y, 0.0f);
    EXPECT_TRUE(ecs.GetComponent<RigidBody>(body)->grounded);
    EXPECT_FALSE(ecs.IsComponentRegistered<ForceApplier>());
    ecs.Reset();
}

TEST_F(Physics, ForceZoneActsAtStartPositionAndGrounds) {
    EntityID body = Body({0, 0, 0}, {0, 0, 0});
    RB(body)->drag = 0;
    EntityID zone = Box({0, 32, 0}, false);
    ECS::Get().AddComponent<ForceApplier>(zone, ForceApplier{{0, -2400, 0}});
    Box({0, 10, 0}, false); // non-solid, no applier: no effect at all
    physics.Run(body);
    EXPECT_EQ(RB(body)->velocity, vec3(0, -24, 0));
    EXPECT_TRUE(RB(body)->grounded);
    EXPECT_NEAR(Pos(body).y, -0.24f, 1e-6);

    // Out of the zone at the start of the step: the zone no longer acts, even
    // though this step's motion brings the body back into it.
    ECS::Get().GetComponent<Transform>(body)->position = {0, -40, 0};
    RB(body)->velocity = {0, 900, 0};
    physics.Run(body);
    EXPECT_EQ(RB(body)->velocity, vec3(0, 900, 0));
    EXPECT_FALSE(RB(body)->grounded);
}

TEST_F(Physics, OverlappingBodyIsNotPushedOutAndMayLeave) {
    EntityID body = Body({50, 0, 0}, {100, 0, 0}); // wall on its left, moving away
    Box({0, 0, 0});
    physics.Run(body);
    EXPECT_FLOAT_EQ(RB(body)->velocity.x, 100 * (1 - 0.0298f));
    EXPECT_NEAR(Pos(body).x, 51.0f, 1e-5);
    EXPECT_FALSE(RB(body)->grounded);

    RB(body)->velocity = {-100, 0, 0}; // into the wall: only that part is removed
    physics.Run(body);
    EXPECT_EQ(RB(body)->velocity, vec3(0, 0, 0));
    EXPECT_NEAR(Pos(body).x, 51.0f, 1e-5);
}

TEST_F(Physics, ObstacleReachedOnlyAfterAnEarlierCorrectionStillActs) {
    EntityID body = Body({0, 0, 0}, {500, 500, 0});
    Box({0, 66, 0});   // floor: stops the fall at y 1.27, below the block's bottom
    Box({64, -61, 0}); // block up ahead, bottom at 3: missed by the free motion
    physics.Run(body);
    // The block's search finds every probe overlapping through its corner and
    // removes the horizontal motion; the whole step is then spent at rest.
    EXPECT_EQ(RB(body)->velocity, vec3(0, 0, 0));
    EXPECT_EQ(Pos(body), vec3(0, 0, 0));
    EXPECT_TRUE(RB(body)->grounded);
}

// A running body one gravity step into a two-tile floor, at every point across the
// seam: the horizontal speed must survive whatever the tiles' ids and creation order.
TEST_F(Physics, RunningAcrossFloorSeamNeverSnags) {
    for (int layout = 0; layout < 4; ++layout) {
        // The body's front edge enters the tile ahead during the step.
        for (float x = -1.5f; x < 1.0f; x += 1.0f / 64) {
            SetUp();
            for (int i = 0; i < layout; ++i)
                ECS::Get().CreateEntity(); // shift ids
            bool aheadFirst = layout % 2;
            Box({aheadFirst ? 64.0f : 0.0f, 64, 0});
            Box({aheadFirst ? 0.0f : 64.0f, 64, 0});
            EntityID body = Body({x, 0, 0}, {150, 19.6f, 0});
            physics.Run(body);
            ASSERT_FLOAT_EQ(RB(body)->velocity.x, 150 * (1 - 0.0298f)) << layout << " " << x;
            ASSERT_EQ(RB(body)->velocity.y, 0.0f);
            ASSERT_EQ(Pos(body).y, 0.0f);
            ASSERT_TRUE(RB(body)->grounded);
        }
    }
}

} // namespace
