#include <gtest/gtest.h>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>

using namespace Engine;

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Input::Clear();
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        SDL_Quit();
        Input::Clear();
    }

    static void Push(Uint32 type, SDL_Keycode key = 0) {
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    ::Engine::Engine engine{1280, 720};
};

TEST_F(InputTest, KeyStateFollowsTheLastEventOfThePoll) {
    bool quit = false;
    Push(SDL_KEYDOWN, SDLK_d);
    Push(SDL_KEYDOWN, SDLK_d); // key repeat
    engine.ProcessInput(&quit);
    EXPECT_TRUE(Input::IsKeyPressed(100));

    // Pressed and released within one poll: released for the whole iteration.
    Push(SDL_KEYDOWN, SDLK_a);
    Push(SDL_KEYUP, SDLK_a);
    Push(SDL_KEYUP, SDLK_d);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(Input::IsKeyPressed(0x61));
    EXPECT_FALSE(Input::IsKeyPressed(100));
    EXPECT_FALSE(quit);
}

TEST_F(InputTest, QuitArrivesWithTheKeysOfTheSamePoll) {
    bool quit = false;
    Push(SDL_KEYDOWN, SDLK_SPACE);
    Push(SDL_QUIT);
    engine.ProcessInput(&quit);
    EXPECT_TRUE(quit);
    EXPECT_TRUE(Input::IsKeyPressed(32));
}

TEST_F(InputTest, OtherEventsChangeNothing) {
    bool quit = false;
    Push(SDL_MOUSEBUTTONDOWN);
    Push(SDL_MOUSEMOTION);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(quit);
    EXPECT_EQ(Input::KeyCount(), 0u);
    EXPECT_FALSE(Input::IsMousePressed(1));
    EXPECT_EQ(Input::GetMousePos(), glm::vec2(0, 0));
    EXPECT_EQ(Input::GetMouseX(), 0.0f);
    EXPECT_EQ(Input::GetMouseY(), 0.0f);
}

TEST(KeyTable, UnknownKeyReadsReleasedAndIsRemembered) {
    Input::Clear();
    EXPECT_FALSE(Input::IsKeyPressed(0x71));
    EXPECT_EQ(Input::KeyCount(), 1u);
    Input::UpdateKey(0x71, true);
    EXPECT_TRUE(Input::IsKeyPressed(0x71));
    EXPECT_EQ(Input::KeyCount(), 1u);
    Input::Clear();
}

} // namespace
