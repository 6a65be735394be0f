// The boat played with pads SDL takes for plugged in: their events go through
// the engine's polling and the game's update step, as in the game. No window,
// so SDL has no focus to wait for.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>

#include "core/VirtualPad.h"
#include "game/ControllerSystem.h"
#include "game/Scene.h"

using namespace Engine;
using EngineTest::VirtualPad;
using glm::vec3;

namespace {

struct State {
    float x, y, vx, vy;
    bool grounded;
    bool operator==(const State&) const = default;
};

void PrintTo(const State& s, std::ostream* os) {
    *os << "(" << s.x << ", " << s.y << ", v " << s.vx << ", " << s.vy
        << (s.grounded ? ", grounded)" : ")");
}

class PadPlay : public ::testing::Test {
protected:
    void SetUp() override {
        Input::Clear();
        Gamepads::CloseAll();
        EngineTest::OnlyVirtualPads();
        ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        NewWorld();
        Poll(); // the game is running before any pad arrives
    }
    void TearDown() override {
        ECS::Get().Reset();
        Gamepads::CloseAll();
        SDL_Quit();
        Input::Clear();
    }

    // The boat at rest on a long floor of 64-unit tiles.
    void NewWorld() {
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<RigidBody>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceGenerator>();
        ecs.RegisterComponent<Controller>();
        controller = CreateRef<ControllerSystem>();
        for (Ref<SystemBase> s :
             {Ref<SystemBase>(controller), Ref<SystemBase>(CreateRef<PhysicsSystem>()),
              Ref<SystemBase>(CreateRef<ForceSystem>())})
            ecs.RegisterSystem(s);
        for (int i = 0; i < 40; ++i) {
            EntityID tile = ecs.CreateEntity();
            ecs.AddComponent<Transform>(tile, vec3(-320.0f + 64.0f * i, 64, 0), vec3(0),
                                        vec3(64, 64, 0));
            ecs.AddComponent<Collider>(tile, Collider{64, 64, true});
        }
        player = ecs.CreateEntity();
        ecs.AddComponent<Transform>(player, vec3(64, 0, 0), vec3(0), vec3(64, 64, 0));
        ecs.AddComponent<Collider>(player, Collider{64, 64, true});
        ecs.AddComponent<RigidBody>(player, RigidBody{});
        ecs.AddComponent<Controller>(player, Controller{});
        ecs.AddComponent<ForceGenerator>(player, ForceGenerator{{0, 1960, 0}});
        place = ecs.GetComponent<Transform>(player);
        body = ecs.GetComponent<RigidBody>(player);
    }

    void Poll() { engine.ProcessInput(&quit); }
    // One loop iteration of one step: events, then the game's update order.
    State Step() {
        Poll();
        ECS& ecs = ECS::Get();
        Time::dt = 0.01;
        ecs.RunSystemArch(ecs.GetArchetype<Controller, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<ForceGenerator, RigidBody>());
        ecs.RunSystemArch(ecs.GetArchetype<RigidBody, Transform, Collider>());
        return Now();
    }
    State Now() const {
        return {place->position.x, place->position.y, body->velocity.x, body->velocity.y,
                body->grounded};
    }
    bool Held(ControllerSystem::Move move) const { return controller->Moves().IsHeld(move); }

    static void Key(SDL_Keycode key, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    ::Engine::Engine engine{1280, 720};
    bool quit = false;
    Ref<ControllerSystem> controller;
    EntityID player = 0;
    Ref<Transform> place;
    Ref<RigidBody> body;
};

// How a run right and a jump are held: the keys, a pad's controls, or all at once.
struct Way {
    const char* name;
    std::function<void(VirtualPad&, bool)> run;
    std::function<void(VirtualPad&, bool)> jump;
};

TEST_F(PadPlay, PadControlsMoveTheBoatInTheSameStepsAsTheKeys) {
    auto key = [](SDL_Keycode k) { return [k](VirtualPad&, bool down) { Key(k, down); }; };
    auto button = [](SDL_GameControllerButton b) {
        return [b](VirtualPad& pad, bool down) { pad.Button(b, down); };
    };
    auto stick = [](Sint16 value) {
        return [value](VirtualPad& pad, bool down) {
            pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, down ? value : 0);
        };
    };
    auto all = [&](auto... ways) {
        return [=](VirtualPad& pad, bool down) { (ways(pad, down), ...); };
    };
    const Way ways[] = {
        {"keys", key(SDLK_d), key(SDLK_SPACE)},
        {"D-pad, south button", button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
         button(SDL_CONTROLLER_BUTTON_A)},
        {"stick past a quarter, south button", stick(8192), button(SDL_CONTROLLER_BUTTON_A)},
        {"stick at full, south button", stick(32767), button(SDL_CONTROLLER_BUTTON_A)},
        {"key, D-pad and stick together; SPACE and south together",
         all(key(SDLK_d), button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT), stick(32767)),
         all(key(SDLK_SPACE), button(SDL_CONTROLLER_BUTTON_A))},
    };

    std::vector<State> keys;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        NewWorld();
        auto pad = std::make_unique<VirtualPad>(); // plugged in after the start
        std::vector<State> run;
        for (int step = 1; step <= 300; ++step) {
            if (step == 20)
                way.run(*pad, true);
            if (step == 100)
                way.jump(*pad, true);
            if (step == 105)
                way.jump(*pad, false);
            if (step == 250)
                way.run(*pad, false);
            run.push_back(Step());
        }
        pad.reset();
        Poll();
        if (keys.empty()) {
            keys = run;
            // The script does what it says: a run, one jump from the ground, a landing.
            EXPECT_EQ(run[18].vx, 0.0f);
            EXPECT_GT(run[19].vx, 0.0f);
            EXPECT_TRUE(run[98].grounded);
            EXPECT_LT(run[99].vy, -900.0f);
            EXPECT_TRUE(run[249].grounded);
            EXPECT_LT(run[299].vx, run[249].vx);
            continue;
        }
        for (size_t i = 0; i < run.size(); ++i)
            ASSERT_EQ(run[i], keys[i]) << "step " << i + 1;
    }
}

TEST_F(PadPlay, StickRunsPastAQuarterAndLetsGoBelowAFifth) {
    VirtualPad pad;
    for (int i = 0; i < 5; ++i)
        Step(); // settled on the floor
    struct Hold {
        Sint16 value;
        bool held;
        const char* what;
    } holds[] = {
        {6553, false, "under a fifth"},
        {-8191, false, "left, short of a quarter"},
        {8191, false, "right, short of a quarter"},
        {8192, true, "right, past a quarter"},
        {6554, true, "back to just over a fifth"},
        {6553, false, "under a fifth"},
    };
    for (const Hold& h : holds) {
        pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, h.value);
        const State before = Now();
        State after = before;
        for (int i = 0; i < 30; ++i)
            after = Step();
        EXPECT_EQ(Held(ControllerSystem::MoveRight), h.held) << h.what;
        EXPECT_FALSE(Held(ControllerSystem::MoveLeft)) << h.what;
        if (h.held) {
            EXPECT_GT(after.vx, 100.0f) << h.what;
        } else if (before.vx == 0.0f) {
            EXPECT_EQ(after, before) << "never starts: " << h.what;
        } else {
            EXPECT_LT(after.vx, 0.5f * before.vx) << "coasts: " << h.what;
        }
    }
}

TEST_F(PadPlay, APadPulledOutLetsGoOfItsMovesUnlessTheKeysOrAnotherPadHoldThem) {
    struct Case {
        const char* what;
        bool keyHolds, otherPadHolds, heldAfter;
    } cases[] = {
        {"the pad alone", false, false, false},
        {"the key D too", true, false, true},
        {"a second pad's D-pad too", false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewWorld();
        auto pad = std::make_unique<VirtualPad>();
        VirtualPad other;
        Poll();
        pad->Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
        pad->Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
        Key(SDLK_d, c.keyHolds);
        other.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, c.otherPadHolds);
        for (int i = 0; i < 50; ++i)
            Step();
        ASSERT_TRUE(Held(ControllerSystem::MoveRight));

        pad.reset(); // pulled out with its D-pad and stick still held
        float vx = 0;
        for (int i = 0; i < 100; ++i)
            vx = Step().vx;
        EXPECT_EQ(Held(ControllerSystem::MoveRight), c.heldAfter);
        if (c.heldAfter)
            EXPECT_GT(vx, 100.0f);
        else
            EXPECT_LT(vx, 10.0f);
        Key(SDLK_d, false);
    }
}

// A pad pulled out pauses a scene that watches pads at the next step, and
// the pause says why until P goes on; on a scene never built, only the pause
// acts. Each letter one poll and one step after it: a pad plugged in (a),
// pulled out (u), P tapped (p).
TEST_F(PadPlay, APadPulledOutPausesAWatchingSceneUntilThePlayerGoesOn) {
    const struct {
        const char* steps;
        bool watching, paused, padCaused;
    } cases[] = {
        {"au", true, true, true},     // pulled out: paused, and says so
        {"au", false, false, false},  // a scene not watching runs on
        {"aua", true, true, true},    // plugged in again: still paused
        {"aup", true, false, false},  // P goes on, the line gone
        {"apu", true, true, false},   // pulled out while paused: nothing changes
        {"apup", true, false, false}, // P goes on as ever
        {"aupau", true, true, true},  // gone on, then pulled again: paused again
    };
    Time::dt = ::Engine::Engine::STEP;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps + std::string(c.watching ? "" : ", not watching"));
        GameScene scene;
        if (c.watching)
            scene.WatchPads();
        std::unique_ptr<VirtualPad> pad;
        for (const char* at = c.steps; *at; ++at) {
            if (*at == 'a')
                pad = std::make_unique<VirtualPad>();
            else if (*at == 'u')
                pad.reset();
            else
                Key(SDLK_p, true), Key(SDLK_p, false);
            Poll();
            Input::BeginStep();
            scene.Update();
            Input::EndStep();
        }
        EXPECT_EQ(scene.IsPaused(), c.paused);
        EXPECT_EQ(scene.GetPause().PadCaused(), c.padCaused);
    }
}

} // namespace
