#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <vector>

#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/render/Camera.h>
#include <engine/render/CameraSystem.h>

#include "game/ControllerSystem.h"
#include "game/EnemySystem.h"
#include "game/Pause.h"

using namespace Engine;
using glm::vec3;

namespace {

// A whole scripted run of the update step: the player rests on a floor of 64 by
// 64 tiles, runs right, jumps, lands, and is thrown back by an enemy.
// The expected values were recorded from this implementation after checking
// steps by hand against the rules, e.g.:
//   step 1: gravity gives vy 19.6, the floor search ends at 0, so vy 0, grounded;
//           camera (64 + 50, 0 + 50) * 2 * 0.01 = (2.28, 1).
//   step 51: D from rest, vx 50, x += 0.5, drag leaves 50 * 0.9702 = 48.51.
//   step 121: jump, vy -1000 + 19.6, y -9.804, drag leaves -951.184; not grounded.
//   step 316: knock-back (-500, 500): the floor removes the y part, x -= 5,
//             drag leaves vx -485.1.
// The run is made in two entity creation orders and must not differ, and once
// paused with P for a while, which must only shift it by the steps paused.
struct Script {
    bool reversed;
    // Steps after which P pauses, and for how many engine steps.
    int pauseAfter = 0;
    int pausedFor = 0;
};

void PrintTo(const Script& s, std::ostream* os) {
    *os << (s.reversed ? "reversed" : "in order");
    if (s.pausedFor > 0)
        *os << ", paused after " << s.pauseAfter << " for " << s.pausedFor;
}

class Trajectory : public ::testing::TestWithParam<Script> {
protected:
    void SetUp() override {
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<RigidBody>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceGenerator>();
        ecs.RegisterComponent<ForceApplier>();
        ecs.RegisterComponent<Controller>();
        ecs.RegisterComponent<Enemy>();
        Input::Clear();
        Camera::Main().transform.position = {0, 0, 0};
        Time::elapsed = 0.0;

        controller = CreateRef<ControllerSystem>();
        std::vector<Ref<SystemBase>> systems = {controller,
                                                CreateRef<PhysicsSystem>(),
                                                CreateRef<CameraSystem<Controller>>(),
                                                CreateRef<ForceSystem>(), CreateRef<EnemySystem>()};
        for (Ref<SystemBase>& s : systems)
            ecs.RegisterSystem(s);

        bool reversed = GetParam().reversed;
        if (reversed)
            AddPlayer();
        for (int i = 0; i < 30; ++i) {
            EntityID tile = ecs.CreateEntity();
            float x = -320.0f + 64.0f * (reversed ? 29 - i : i);
            ecs.AddComponent<Transform>(tile, vec3(x, 64, 0), vec3(0), vec3(64, 64, 0));
            ecs.AddComponent<Collider>(tile, Collider{64, 64, true});
        }
        if (!reversed)
            AddPlayer();
        enemy = ecs.CreateEntity();
        ecs.AddComponent<Transform>(enemy, vec3(700, 0, 0), vec3(0), vec3(64, 64, 0));
        ecs.AddComponent<Enemy>(enemy, player);
    }
    void TearDown() override {
        ECS::Get().Reset();
        Input::Clear();
    }

    void AddPlayer() {
        ECS& ecs = ECS::Get();
        player = ecs.CreateEntity();
        ecs.AddComponent<Transform>(player, vec3(64, 0, 0), vec3(0), vec3(64, 64, 0));
        ecs.AddComponent<Collider>(player, Collider{64, 64, true});
        ecs.AddComponent<RigidBody>(player, RigidBody{});
        ecs.AddComponent<Controller>(player, Controller{});
        ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, 1960, 0}});
    }

    // One engine step: the clock and the input edges as the engine moves them,
    // the pause, and the game's update order unless paused. Whether it ran.
    bool Update() {
        Time::dt = 0.01;
        Time::elapsed += Time::dt;
        Input::BeginStep();
        const bool runs = pause.Step(controller.get());
        if (runs)
            Simulate();
        Input::EndStep();
        return runs;
    }
    static void Simulate() {
        ECS& ecs = ECS::Get();
        ecs.RunSystemArch(ecs.GetArchetype<Controller, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<Enemy, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<Controller, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<RigidBody, Transform, Collider>());
    }
    static void Key(SDL_Keycode key, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = key;
        Input::HandleEvent(event);
    }

    EntityID player = 0;
    EntityID enemy = 0;
    Ref<ControllerSystem> controller;
    Pause pause;
};

struct Checkpoint {
    int step;
    float x, y, vx, vy;
    bool grounded;
};

TEST_P(Trajectory, ScriptedRunHitsRecordedStates) {
    const Checkpoint expected[] = {
        {1, 64, 0, 0, 0, true},
        {50, 64, 0, 0, 0, true},              // at rest
        {51, 64.5f, 0, 48.5099983f, 0, true}, // D held
        {52, 65.4850998f, 0, 95.5743942f, 0, true},
        {120, 182.924423f, 0, 145.60527f, 0, true},
        {121, 184.880478f, -9.8039999f, 189.77623f, -951.184082f, false}, // SPACE
        {150, 235.217957f, -130.585861f, 189.770477f, -22.8543205f, false},
        {199, 320.555786f, -0.0770269036f, 185.463623f, 72.7306824f, false},
        {200, 322.410431f, -0.0188693963f, 179.936813f, 0, true}, // landed
        {203, 327.649292f, -1.58805924e-05f, 164.325058f, 0, true},
        {250, 409.288025f, -1.58805924e-05f, 171.04184f, 0, true},
        {315, 521.898499f, -1.58805924e-05f, 185.462723f, 0, true},
        {316, 516.898499f, -1.58805924e-05f, -485.100006f, 0, true}, // knocked back
        {321, 501.255219f, -1.58805924e-05f, -188.483078f, 0, true},
        {400, 423.825226f, -1.58805924e-05f, -134.356277f, 0, true},
    };
    const Script script = GetParam();
    Ref<Transform> t = ECS::Get().GetComponent<Transform>(player);
    Ref<RigidBody> rb = ECS::Get().GetComponent<RigidBody>(player);
    Ref<Transform> fish = ECS::Get().GetComponent<Transform>(enemy);
    const Checkpoint* next = expected;
    // What the last step run left, which a paused step must not change.
    std::array<vec3, 4> held;
    double heldClock = 0.0, clock = 0.0;
    int ticks = 0;
    for (int step = 1; step <= 400; ++step) {
        ++ticks;
        const int resumeAt = script.pauseAfter + script.pausedFor + 1;
        Key(SDLK_p, script.pausedFor > 0 && (ticks == script.pauseAfter + 1 || ticks == resumeAt));
        // Pressed halfway through the pause and held into the first steps
        // after it: it must wait for its release, or the run would change.
        const bool space = script.pausedFor > 0 && ticks > script.pauseAfter + script.pausedFor / 2 &&
                           step <= script.pauseAfter + 5;
        Input::UpdateKey(100, step > 50);
        Input::UpdateKey(32, (step > 120 && step <= 125) || space);
        if (!Update()) {
            EXPECT_EQ(held, (std::array<vec3, 4>{t->position, rb->velocity, fish->position,
                                                 Camera::Main().transform.position}))
                << "tick " << ticks;
            EXPECT_EQ(Time::elapsed, heldClock);
            --step;
            continue;
        }
        held = {t->position, rb->velocity, fish->position, Camera::Main().transform.position};
        heldClock = Time::elapsed;
        clock += 0.01;
        if (step == 1) {
            EXPECT_EQ(Camera::Main().transform.position, vec3(2.28f, 1, 0));
        }
        if (step != next->step)
            continue;
        EXPECT_NEAR(t->position.x, next->x, 1e-4) << "step " << step;
        EXPECT_NEAR(t->position.y, next->y, 1e-4) << "step " << step;
        EXPECT_NEAR(rb->velocity.x, next->vx, 1e-4) << "step " << step;
        EXPECT_NEAR(rb->velocity.y, next->vy, 1e-4) << "step " << step;
        EXPECT_EQ(rb->grounded, next->grounded) << "step " << step;
        ++next;
    }
    EXPECT_EQ(next, std::end(expected));
    EXPECT_EQ(ticks, 400 + script.pausedFor);
    // The clock, held while paused, goes on exactly as if never stopped.
    EXPECT_EQ(Time::elapsed, clock);
    EXPECT_NEAR(Camera::Main().transform.position.x, 505.31723f, 1e-4);
    EXPECT_NEAR(Camera::Main().transform.position.y, 49.0019493f, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(CreationOrder, Trajectory, ::testing::Values(Script{false}, Script{true}));
INSTANTIATE_TEST_SUITE_P(PausedWithP, Trajectory, ::testing::Values(Script{false, 100, 37}));

} // namespace
