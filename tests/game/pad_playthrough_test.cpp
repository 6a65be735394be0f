// The real game, window and all, played with a pad plugged in after it
// started and still held when the game shuts down.

#include <gtest/gtest.h>

#include <cstdlib>

#include <engine/core/Engine.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>

#include "core/VirtualPad.h"
#include "game/Scene.h"

using namespace Engine;
using EngineTest::VirtualPad;

namespace {

TEST(PadPlaythrough, APadPluggedInWhileTheGameRunsRunsAndJumps) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    // SDL drops pad presses while none of its windows has the keyboard focus,
    // which on a shared test display may be anywhere.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    EngineTest::OnlyVirtualPads();
    Input::Clear(); // keys an earlier game in this process left held
    ::Engine::Engine game(1280, 720);
    game.InitializeGraphicsSubSystem();
    Ref<GameScene> scene = CreateRef<GameScene>();
    game.SetScene(scene);
    game.Start();
    Ref<RigidBody> body = ECS::Get().GetComponent<RigidBody>(player);
    Ref<Transform> place = ECS::Get().GetComponent<Transform>(player);
    auto run = [&](int frames) {
        for (int i = 0; i < frames; ++i)
            game.Frame(0.01);
    };

    // Buttons by position: the south one is SDL's A on every pad.
    EXPECT_FALSE(SDL_GetHintBoolean(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, SDL_TRUE));

    run(100); // landed at the start
    ASSERT_TRUE(body->grounded);
    const float start = place->position.x;

    VirtualPad pad;
    run(1);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true); // a step is just to the right
    run(30);
    EXPECT_LT(place->position.x, start - 10.0f) << "the D-pad runs";
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    run(1);
    EXPECT_LT(body->velocity.y, -800.0f) << "the south button jumps";

    // Start pauses in mid-air, and goes on again.
    const glm::vec3 at = place->position, speed = body->velocity;
    pad.Button(SDL_CONTROLLER_BUTTON_START, true);
    run(20);
    EXPECT_TRUE(scene->IsPaused()) << "Start pauses";
    EXPECT_EQ(place->position, at);
    EXPECT_EQ(body->velocity, speed);
    pad.Button(SDL_CONTROLLER_BUTTON_START, false);
    run(1);
    pad.Button(SDL_CONTROLLER_BUTTON_START, true);
    run(1);
    EXPECT_FALSE(scene->IsPaused()) << "Start again goes on";
    EXPECT_NE(place->position, at);

    // Still held as the game shuts down: the window closes the pad before
    // SDL quits and frees it.
    pad.Unplug(); // gone from SDL's list, still open in the game
    game.Shutdown();
    EXPECT_EQ(Gamepads::Count(), 0u);
}

} // namespace
