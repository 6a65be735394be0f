#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>

#include "core/Retry.h"
#include "support/GLContext.h"

using namespace EngineTest;

TEST_F(GLTest, WindowIsTheGamesWindow) {
    SDL_Window* w = window->GetNativeWindow();
    int width = 0, height = 0, x = 0, y = 0;
    SDL_GetWindowSize(w, &width, &height);
    SDL_GetWindowPosition(w, &x, &y);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_STREQ(SDL_GetWindowTitle(w), "Game");
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    Uint32 flags = SDL_GetWindowFlags(w);
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_FALSE(flags & SDL_WINDOW_FULLSCREEN);
    EXPECT_TRUE(Engine::GLContextCurrent());
}

TEST_F(GLTest, ClearColourIsUnpackedFromRgb) {
    renderer->SetClearColor(0x262E33);
    renderer->Clear();
    EXPECT_EQ(At(ReadBack(), 640, 360), (Pixel{38, 46, 51, 255}));

    // The top byte is ignored.
    renderer->SetClearColor(0xFF0000FF);
    renderer->Clear();
    EXPECT_EQ(At(ReadBack(), 0, 719), (Pixel{0, 0, 255, 255}));
}

TEST(GLRendererColor, Unpacking) {
    glm::vec4 c = Engine::GLRenderer::UnpackColor(0x262E33);
    EXPECT_NEAR(c.r, 0.14902, 1e-5);
    EXPECT_NEAR(c.g, 0.18039, 1e-5);
    EXPECT_NEAR(c.b, 0.2, 1e-5);
    EXPECT_EQ(c.a, 1.0f);
}

TEST(WindowLifecycle, ShutdownWithoutInitTouchesNothing) {
    Engine::Window window("Game", 1280, 720);
    window.Shutdown();
    window.Shutdown();
    EXPECT_EQ(window.GetNativeWindow(), nullptr);
    EXPECT_EQ(window.GetContext(), nullptr);
}

TEST_F(GLTest, ShutdownReleasesTheContext) {
    window->Shutdown();
    EXPECT_EQ(window->GetNativeWindow(), nullptr);
    EXPECT_FALSE(Engine::GLContextCurrent());
    window->Shutdown();
}

TEST(EngineStart, ReportsAMissingRenderer) {
    Engine::Engine engine(1280, 720);
    ::testing::internal::CaptureStderr();
    engine.Start();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "ENGINE: No Graphics Subsystem initialized\n");
}

TEST(EngineStart, NoDisplayStopsWithStatus255) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            setenv("SDL_VIDEODRIVER", "x11", 1);
            Engine::Engine engine(1280, 720);
            engine.InitializeGraphicsSubSystem();
        },
        ::testing::ExitedWithCode(255), "SDL could not initialize!.*\n.*ENGINE: Cannot run");
}

TEST(EngineStart, RendererOfApiNoneIsFatal) {
    EXPECT_EXIT(
        {
            Engine::Renderer::s_API = Engine::Renderer::API::None;
            Engine::Renderer::Create();
        },
        ::testing::ExitedWithCode(255), "RENDER_API: Render API of type None not supported");
}

// A quit event arriving with a key still lets its iteration step and render.
TEST(EngineLoop, QuitIterationStillStepsAndRenders) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    Engine::Engine engine(1280, 720);
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    Engine::Time::dt = 0.0;
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_d;
    SDL_PushEvent(&key);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_TRUE(engine.Frame(0.025));
    EXPECT_TRUE(Engine::Input::IsKeyPressed(SDLK_d));
    EXPECT_EQ(Engine::Time::dt, 0.01);
    engine.Shutdown();
}

TEST_F(GLTest, GLErrorsAreReportedWithCallTextFileAndLine) {
    ::testing::internal::CaptureStderr();
    // An error left by an unwrapped call is cleared, never reported.
    glEnable(0xFFFF);
    int line = __LINE__ + 1;
    GLCall(glBindTexture(0xFFFF, 0));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "OPENGL ERROR: \"GL_INVALID_ENUM\" in function glBindTexture(0xFFFF, 0) "
                   "tests/core/window_test.cpp:" +
                       std::to_string(line) + "\n");

    // Only the first of several pending errors is reported.
    ::testing::internal::CaptureStderr();
    GLCall((glEnable(0xFFFF), glDisable(0xFFFF)));
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);

    // A clean call prints nothing and reports success.
    ::testing::internal::CaptureStderr();
    GLCall(glClear(GL_COLOR_BUFFER_BIT));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Engine::GLLogCall("none", "file", 1));
}

// The rule by which the window asks a display again: a display that refuses
// some times is reached on the next try, and one that never answers is given
// up after the last, each wait twice the one before.
TEST(WindowRetry, ADisplayThatRefusesIsAskedAgainUntilTheLastTry) {
    using Engine::Window;
    struct Case {
        int refusals;
        int reachedOn; // 0: given up
        std::vector<uint32_t> waits;
    };
    const std::vector<Case> cases = {
        {0, 1, {}},
        {1, 2, {100}},
        {3, 4, {100, 200, 400}},
        {Window::RETRIES, Window::RETRIES + 1, {100, 200, 400, 800}},
        {Window::RETRIES + 1, 0, {100, 200, 400, 800}},
        {1000, 0, {100, 200, 400, 800}},
    };
    for (const Case& c : cases) {
        int tries = 0;
        std::vector<uint32_t> waits;
        const int reached = Engine::TryWithRetries(
            Window::RETRIES, 100, [&] { return ++tries > c.refusals; },
            [&](uint32_t ms) { waits.push_back(ms); });
        EXPECT_EQ(reached, c.reachedOn) << c.refusals << " refusals";
        EXPECT_EQ(waits, c.waits) << c.refusals << " refusals";
        EXPECT_EQ(tries, std::min(c.refusals + 1, Window::RETRIES + 1)) << c.refusals;
    }
}
