#include <gtest/gtest.h>

#include <utility>

#include <engine/core/Gamepad.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/RigidBody.h>

#include "core/VirtualPad.h"
#include "game/EnemySystem.h"

using namespace Engine;
using glm::vec3;

namespace {

const vec3 KnockBack(-500, 500, 0);

class EnemyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ECS::Get().Reset();
        ECS::Get().RegisterComponent<Transform>();
        ECS::Get().RegisterComponent<RigidBody>();
        ECS::Get().RegisterComponent<Enemy>();
        Time::dt = 0.01;
        player = Place({0, 0, 0});
        ECS::Get().AddComponent<RigidBody>(player, RigidBody{});
        enemy = Place({500, 250, 0});
        ECS::Get().AddComponent<Enemy>(enemy, player);
    }
    void TearDown() override { ECS::Get().Reset(); }

    static EntityID Place(vec3 p) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<Transform>(e, p, vec3(0), vec3(64, 64, 0));
        return e;
    }
    Transform& T(EntityID e) { return *ECS::Get().GetComponent<Transform>(e); }
    Enemy& E() { return *ECS::Get().GetComponent<Enemy>(enemy); }
    RigidBody& B() { return *ECS::Get().GetComponent<RigidBody>(player); }

    // Whether one step with the player at p knocks it back.
    bool Hit(vec3 p, vec3 enemyAt = {500, 250, 0}) {
        T(player).position = p;
        T(enemy).position = enemyAt;
        E().dir = false;
        B().velocity = {1, 2, 3};
        system.Run(enemy);
        return B().velocity == KnockBack;
    }

    EnemySystem system;
    EntityID player = 0, enemy = 0;
};

TEST_F(EnemyTest, ContactNeedsDistanceBelowWidthAndPlayerNotFiveBelow) {
    EXPECT_TRUE(Hit({563, 250, 0}));
    EXPECT_FALSE(Hit({564, 250, 0}));
    EXPECT_TRUE(Hit({437, 250, 0}));
    EXPECT_FALSE(Hit({500, 255, 0})); // exactly 5 below
    EXPECT_TRUE(Hit({500, 254.5f, 0}));
    EXPECT_TRUE(Hit({500, 200, 0}));
    // Positions before the move: 63.5 before, 64.5 after ...
    EXPECT_TRUE(Hit({436.5f, 250, 0}));
    // ... and 64.5 before, 63.5 after.
    EXPECT_FALSE(Hit({564.5f, 250, 0}));
    // Each position is offset by half its own scale: a 32-wide player 50 to the
    // right is 66 away in x.
    EXPECT_TRUE(Hit({550, 250, 0}));
    T(player).scale = {32, 32, 0};
    EXPECT_FALSE(Hit({550, 250, 0}));
    EXPECT_TRUE(Hit({450, 250, 0}));
    T(player).scale = {64, 64, 0};

    // Ten above and ten to the right: knocked back again on the next step.
    EXPECT_TRUE(Hit({510, 240, 0}));
    B().velocity = {10, -10, 0};
    system.Run(enemy);
    EXPECT_EQ(B().velocity, KnockBack);

    // A knock-back shakes the player's pad, at half strength; a miss does not.
    EngineTest::OnlyVirtualPads();
    ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    {
        EngineTest::VirtualPad pad(EngineTest::VirtualPad::Mapped, true);
        Gamepads::OpenArrived();
        EXPECT_FALSE(Hit({564, 250, 0}));
        EXPECT_EQ(pad.Rumbling(), (std::pair{0, 0}));
        EXPECT_TRUE(Hit({563, 250, 0}));
        EXPECT_EQ(pad.Rumbling(), (std::pair{32768, 32768}));
        Gamepads::CloseAll();
    }
    SDL_Quit();
}

TEST_F(EnemyTest, PatrolsOneUnitPerStepTurningAtBoundsInclusive) {
    // A full cycle from the left bound takes 800 steps: ..., 799, 800 (turn), 799, ...
    T(enemy).position = {400, 250, 0};
    E().dir = false;
    for (int i = 1; i <= 800; ++i) {
        system.Run(enemy);
        float expected = i <= 400 ? 400.0f + i : 1200.0f - i;
        ASSERT_EQ(T(enemy).position.x, expected) << i;
        ASSERT_EQ(E().dir, i >= 400 && i < 800) << i;
    }
    EXPECT_EQ(T(enemy).position.y, 250.0f);

    // Outside the range it turns every step.
    T(enemy).position = {300, 250, 0};
    for (int i = 0; i < 4; ++i) {
        system.Run(enemy);
        EXPECT_EQ(T(enemy).position.x, i % 2 ? 300.0f : 301.0f);
    }
}

// A fish of a map's own turns at its lane's ends, or holds its place in a
// lane with no room, still throwing the player back.
TEST_F(EnemyTest, ALaneBoundsThePatrolAndOneWithNoRoomHoldsTheFish) {
    ECS::Get().RegisterComponent<Lane>();
    ECS::Get().AddComponent<Lane>(enemy, Lane{100, 103});
    T(enemy).position = {100, 20, 0};
    const float path[] = {101, 102, 103, 102, 101, 100, 101};
    for (float x : path) {
        system.Run(enemy);
        ASSERT_EQ(T(enemy).position.x, x);
    }
    ECS::Get().GetComponent<Lane>(enemy)->max = 100;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Hit({110, 250, 0}, {100, 250, 0}));
    EXPECT_EQ(T(enemy).position.x, 100.0f);
}

TEST_F(EnemyTest, PlayerWithoutTransformOrBodyIsLeftAloneButEnemyPatrols) {
    EntityID bodiless = Place({500, 250, 0});
    EntityID placeless = ECS::Get().CreateEntity();
    ECS::Get().AddComponent<RigidBody>(placeless, RigidBody{});
    for (EntityID target : {bodiless, placeless, EntityID(999)}) {
        E().player = target;
        float x = T(enemy).position.x;
        system.Run(enemy);
        EXPECT_EQ(T(enemy).position.x, x + 1);
    }
    EXPECT_EQ(ECS::Get().GetComponent<RigidBody>(placeless)->velocity, vec3(0));
}

} // namespace
