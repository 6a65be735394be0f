// The real game played in-process: real window, real assets, keys pushed into
// SDL's queue and the loop driven one 0.01 s step per frame.

#include <gtest/gtest.h>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>

#include "game/Scene.h"

using namespace Engine;

namespace {

class Playthrough : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        Input::Clear(); // keys an earlier game in this process left held
        game = std::make_unique<::Engine::Engine>(1280, 720);
        game->InitializeGraphicsSubSystem();
        scene = ::Engine::CreateRef<::Engine::GameScene>();
        game->SetScene(scene);
        game->Start();
        body = ECS::Get().GetComponent<RigidBody>(player);
        place = ECS::Get().GetComponent<Transform>(player);
        boat = ECS::Get().GetComponent<Animation>(player);
    }
    void TearDown() override {
        if (game)
            game->Shutdown();
    }

    static void Key(SDL_Keycode key, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    // Runs frames of exactly one step each until done() holds; false on timeout.
    template <typename F> bool RunUntil(int maxFrames, F done) {
        for (int i = 0; i < maxFrames; ++i) {
            game->Frame(0.01);
            if (done())
                return true;
        }
        return false;
    }
    void Run(int frames) {
        RunUntil(frames, [] { return false; });
    }

    std::unique_ptr<::Engine::Engine> game;
    Ref<GameScene> scene;
    Ref<RigidBody> body;
    Ref<Transform> place;
    Ref<Animation> boat;
};

TEST_F(Playthrough, LandRunJumpGetKnockedBackAndGetOver) {
    // The boat falls from (250, 0) onto the floor of the start: its bottom on
    // the floor's top at y = 320.
    Run(150);
    EXPECT_TRUE(body->grounded);
    EXPECT_NEAR(place->position.y, 256.0f, 0.5f);
    EXPECT_FLOAT_EQ(body->velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(place->position.x, 250.0f);

    // The camera eases towards the boat plus (50, 50).
    glm::vec3 aim = place->position + glm::vec3(50, 50, 0);
    EXPECT_LT(glm::length(Camera::Main().transform.position - aim), 0.1f * glm::length(aim));

    // The animation has been cycling all along: a new frame every ten steps
    // from the eleventh on, 14 changes in 150 steps.
    ASSERT_FALSE(boat->lookup.empty());
    EXPECT_EQ(boat->m_currentFrame, int(14 % boat->lookup.size()));

    // A runs left, until the wall.
    Key(SDLK_a, true);
    Run(60);
    Key(SDLK_a, false);
    EXPECT_LT(place->position.x, 200.0f);
    EXPECT_GE(place->position.x, 64.0f);
    Run(100);
    float left = place->position.x;

    // D runs right and a tap of SPACE jumps onto the step and the sea, where
    // the fish swims at the boat's height: it throws the boat back.
    Key(SDLK_d, true);
    Run(10);
    EXPECT_GT(place->position.x, left);
    // Up against the step the boat stands still.
    EXPECT_TRUE(RunUntil(200, [&] { return place->position.x > 255.0f; }));
    Run(20);
    EXPECT_NEAR(place->position.x, 256.0f, 0.5f);
    Key(SDLK_SPACE, true);
    Run(1);
    Key(SDLK_SPACE, false);
    EXPECT_LT(body->velocity.y, -800.0f);
    EXPECT_FALSE(body->grounded);
    bool thrown = RunUntil(800, [&] { return body->velocity.x < -400.0f; });
    EXPECT_TRUE(thrown) << "never met the fish; boat at " << place->position.x;
    Key(SDLK_d, false);
    float hitAt = place->position.x;
    Run(60);
    EXPECT_LT(place->position.x, hitAt - 100.0f);

    // Hopping into the rising air above the sea carries the boat over the fish
    // to the island beyond it.
    Run(200);
    Key(SDLK_d, true);
    Key(SDLK_SPACE, true);
    bool over = RunUntil(1500, [&] { return place->position.x > 960.0f; });
    Key(SDLK_SPACE, false);
    EXPECT_TRUE(over) << "stuck at " << place->position.x << ", " << place->position.y;
    Run(100);
    Key(SDLK_d, false);
    Run(100);
    EXPECT_TRUE(body->grounded);
    EXPECT_NEAR(place->position.y, 192.0f, 0.5f);
    EXPECT_GT(place->position.x, 960.0f);

    // P pauses: nothing moves or turns to its next frame, whatever is pressed.
    const glm::vec3 at = place->position, speed = body->velocity,
                    aimed = Camera::Main().transform.position;
    const int frame = boat->m_currentFrame;
    Key(SDLK_p, true);
    Run(1);
    Key(SDLK_p, false);
    Key(SDLK_SPACE, true);
    Key(SDLK_a, true);
    Run(50);
    EXPECT_TRUE(scene->IsPaused());
    EXPECT_EQ(place->position, at);
    EXPECT_EQ(body->velocity, speed);
    EXPECT_EQ(Camera::Main().transform.position, aimed);
    EXPECT_EQ(boat->m_currentFrame, frame);
    // P again goes on: A, held, runs left at once; SPACE, pressed while
    // paused, waits for its release.
    Key(SDLK_p, true);
    Run(1);
    Key(SDLK_p, false);
    EXPECT_FALSE(scene->IsPaused());
    EXPECT_FALSE(RunUntil(20, [&] { return body->velocity.y < 0.0f; })) << "jumped on resuming";
    EXPECT_LT(place->position.x, at.x);
    Key(SDLK_SPACE, false);
    Key(SDLK_a, false);
}

} // namespace
