#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <ctime>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/Shader.h>

#include "core/Retry.h"
#include "support/GLContext.h"
#include "support/RenderImages.h"

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

// A kept view fitted to drawables of any shape, and points mapped back from
// the drawable (and from the mouse's window coordinates) to the view.
TEST(Letterbox, FitsCentredWithTheAspectKeptAndMapsPointsBack) {
    using Engine::Letterbox;
    using glm::ivec2;
    struct Case {
        ivec2 drawable, view, origin, size;
        bool whole = false;
    };
    const Case cases[] = {
        {{1280, 720}, {1280, 720}, {0, 0}, {1280, 720}},
        {{1920, 1080}, {1280, 720}, {0, 0}, {1920, 1080}},
        {{1440, 900}, {1280, 720}, {0, 45}, {1440, 810}},    // 16:10: bars above and below
        {{2560, 1080}, {1280, 720}, {320, 0}, {1920, 1080}}, // 21:9: bars left and right
        {{1281, 721}, {1280, 720}, {0, 0}, {1281, 721}},
        {{1001, 1000}, {1280, 720}, {0, 218}, {1001, 563}}, // odd: the extra pixel below
        {{10000, 1}, {1280, 720}, {4999, 0}, {2, 1}},
        {{1, 10000}, {1280, 720}, {0, 4999}, {1, 1}}, // never thinner than a pixel
        {{3, 2}, {1, 1000}, {1, 0}, {1, 2}},
        {{0, 0}, {1280, 720}, {0, 0}, {0, 0}}, // minimised
        {{1280, 0}, {1280, 720}, {0, 0}, {0, 0}},
        {{1280, 720}, {0, 720}, {0, 0}, {0, 0}},
        // Whole multiples: 4 times, not 4.27; once, not 1.5; below the view, to fit.
        {{1366, 768}, {320, 180}, {43, 24}, {1280, 720}, true},
        {{1920, 1080}, {1280, 720}, {320, 180}, {1280, 720}, true},
        {{200, 100}, {320, 180}, {11, 0}, {178, 100}, true},
    };
    for (const Case& c : cases) {
        const Letterbox box = Letterbox::Fit(c.drawable, c.view, c.whole);
        SCOPED_TRACE(std::to_string(c.drawable.x) + "x" + std::to_string(c.drawable.y));
        EXPECT_EQ(box.origin, c.origin);
        EXPECT_EQ(box.size, c.size);
        if (box.Empty()) {
            EXPECT_EQ(box.ToView({5, 5}), glm::vec2(-1, -1));
            continue;
        }
        // The view's corners land on the letterbox's, whatever the rounding.
        EXPECT_EQ(box.ToView(glm::vec2(box.origin)), glm::vec2(0, 0));
        EXPECT_EQ(box.ToView(glm::vec2(box.origin + box.size)), glm::vec2(c.view));
    }

    // On a bar, outside the view, never clamped onto its edge.
    const Letterbox wide = Letterbox::Fit({1440, 900}, {1280, 720});
    EXPECT_LT(wide.ToView({700, 44}).y, 0.0f);
    EXPECT_GT(wide.ToView({700, 856}).y, 720.0f);
    const Letterbox tall = Letterbox::Fit({2560, 1080}, {1280, 720});
    EXPECT_LT(tall.ToView({319, 500}).x, 0.0f);
    EXPECT_GT(tall.ToView({2241, 500}).x, 1280.0f);

    // The mouse, in window coordinates of half the drawable's pixels.
    using Engine::Input;
    Input::Clear();
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 360;
    motion.motion.y = 225;
    Input::HandleEvent(motion);
    Input::SetMouseLetterbox(wide, {2, 2});
    EXPECT_EQ(Input::GetMousePosition(), glm::vec2(640, 360));
    Input::SetMouseLetterbox({});
    EXPECT_EQ(Input::GetMousePosition(), glm::vec2(360, 225));
    Input::Clear();
}

namespace {

// Squares of red, green and blue at the centre and the top-left and
// bottom-right corners of a view of `size` around the camera at the origin.
class Corners : public Engine::Scene {
public:
    explicit Corners(std::string sheet) : m_sheet(std::move(sheet)) {}
    void Build(Engine::Engine&) override {
        m_shader = Engine::Shader::CreateDefault();
        for (const auto& cell : Engine::CutSheetRegions(Engine::Texture2D::Create(m_sheet), 1, 1))
            m_meshes.push_back(Engine::Mesh::CreateMesh(cell));
        ASSERT_EQ(m_meshes.size(), 3u);
    }
    void Update() override {}
    void Draw(const Engine::Uni<Engine::Renderer>& renderer) override {
        const glm::vec2 half = glm::vec2(size) / 2.0f;
        const glm::vec2 at[] = {{-4, -4}, -half, half - 8.0f};
        renderer->RenderInit(m_shader);
        for (size_t i = 0; i < 3; ++i)
            m_meshes[i].Render(m_shader,
                               glm::scale(glm::translate(glm::mat4(1), {at[i], 0}), {8, 8, 1}));
        renderer->RenderEnd();
    }
    void Release() override {
        m_meshes.clear();
        m_shader.reset();
    }

    glm::ivec2 size{0, 0};

private:
    std::string m_sheet;
    Engine::Ref<Engine::Shader> m_shader;
    std::vector<Engine::Mesh> m_meshes;
};

} // namespace

// When the drawable's size changes, the next frame is drawn on all of it, one
// world unit a pixel, the camera at its centre. (Full screen cannot be shown
// here: without a window manager the X window keeps its size.)
TEST(WindowSize, TheWholePictureFollowsTheDrawablesSize) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    EngineTest::TempDir dir;
    const std::string sheet = dir.File("rgb.png");
    const EngineTest::Rgba colours[] = {EngineTest::kRed, EngineTest::kGreen, EngineTest::kBlue};
    ASSERT_TRUE(EngineTest::WritePng(sheet, 3, 1, [&](int x, int) { return colours[x]; }));
    Engine::Engine engine(800, 600, "Sizes");
    auto scene = Engine::CreateRef<Corners>(sheet);
    engine.SetScene(scene);
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    for (glm::ivec2 size : {glm::ivec2(1200, 900), glm::ivec2(500, 400)}) {
        SCOPED_TRACE(std::to_string(size.x) + "x" + std::to_string(size.y));
        SDL_SetWindowSize(engine.GetWindow()->GetNativeWindow(), size.x, size.y);
        engine.Frame(0.0);
        ASSERT_EQ(engine.GetWindow()->GetDrawableSize(), size);
        EXPECT_EQ(Engine::Camera::Main().w, float(size.x));
        EXPECT_EQ(Engine::Camera::Main().h, float(size.y));
        scene->size = size;
        engine.GetRenderer()->Clear();
        scene->Draw(engine.RendererOwner());
        const std::vector<EngineTest::Pixel> img = EngineTest::ReadBack(size.x, size.y);
        auto at = [&](int x, int y) { return img[size_t(y) * size_t(size.x) + size_t(x)]; };
        const EngineTest::Pixel red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};
        EXPECT_EQ(at(size.x / 2 - 4, size.y / 2 - 4), red);
        EXPECT_EQ(at(size.x / 2 + 3, size.y / 2 + 3), red);
        EXPECT_EQ(at(0, 0), green);
        EXPECT_EQ(at(7, 7), green);
        EXPECT_EQ(at(size.x - 8, size.y - 8), blue);
        EXPECT_EQ(at(size.x - 1, size.y - 1), blue);
    }

    // A view kept at 400x300 on a 1600x600 drawable: shown twice as large
    // between bars of the clear colour, screen-space drawing, the capture and
    // the mouse all in the view's pixels.
    const glm::ivec2 view{400, 300}, drawable{1600, 600};
    engine.GetWindow()->SetViewSize(view);
    SDL_SetWindowSize(engine.GetWindow()->GetNativeWindow(), drawable.x, drawable.y);
    engine.Frame(0.0);
    ASSERT_EQ(engine.GetWindow()->GetDrawableSize(), drawable);
    EXPECT_EQ(Engine::Camera::Main().w, float(view.x));
    EXPECT_EQ(Engine::Camera::Main().h, float(view.y));
    scene->size = view;
    engine.GetRenderer()->SetClearColor(0x000000);
    engine.GetRenderer()->Clear();
    scene->Draw(engine.RendererOwner());
    Engine::Draw::Rect({392, 0, 8, 8}, {255, 255, 0, 255});
    Engine::Draw::Flush();
    const std::vector<EngineTest::Pixel> img = EngineTest::ReadBack(drawable.x, drawable.y);
    auto at = [&](int x, int y) { return img[size_t(y) * size_t(drawable.x) + size_t(x)]; };
    const EngineTest::Pixel black{0, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0};
    EXPECT_EQ(at(399, 0), black);
    EXPECT_EQ(at(400, 0), green);
    EXPECT_EQ(at(415, 15), green);
    EXPECT_EQ(at(1184, 584), blue);
    EXPECT_EQ(at(1199, 599), blue);
    EXPECT_EQ(at(1200, 599), black);
    EXPECT_EQ(at(1184, 0), yellow);
    EXPECT_EQ(at(1199, 15), yellow);
    const Engine::Image shot = engine.GetWindow()->Capture();
    ASSERT_EQ(shot.Width(), 800);
    ASSERT_EQ(shot.Height(), 600);
    const unsigned char* topLeft = shot.Pixels() + size_t(599) * 800 * 4;
    EXPECT_EQ(EngineTest::Pixel({topLeft[0], topLeft[1], topLeft[2]}), green);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 800;
    motion.motion.y = 100;
    Engine::Input::HandleEvent(motion);
    EXPECT_EQ(Engine::Input::GetMousePosition(), glm::vec2(200, 50));
    engine.Shutdown();
    Engine::Input::Clear();
}

// A program's clear colour is what each frame starts from, in place of the
// engine's, and outlives a change of scene.
TEST(EngineLoop, AClearColourOfTheProgramsOwnStartsEachFrame) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    struct Probe : Engine::Scene {
        Engine::Engine* engine = nullptr;
        Engine::Image shot;
        void Build(Engine::Engine& e) override { engine = &e; }
        void Update() override {}
        void Draw(const Engine::Uni<Engine::Renderer>&) override {
            shot = engine->GetWindow()->Capture();
        }
    };
    Engine::Engine engine(64, 48, "Clear");
    auto first = Engine::CreateRef<Probe>(), second = Engine::CreateRef<Probe>();
    engine.SetScene(first);
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    auto corner = [](const Engine::Image& image) {
        const unsigned char* px = image.Pixels();
        return EngineTest::Pixel{px[0], px[1], px[2]};
    };
    engine.Frame(0.0);
    ASSERT_FALSE(first->shot.Empty());
    EXPECT_EQ(corner(first->shot), (EngineTest::Pixel{0x26, 0x2E, 0x33}));
    engine.SetClearColor(0x102030);
    engine.ChangeScene(second);
    engine.Frame(0.0);
    engine.Frame(0.0);
    ASSERT_FALSE(second->shot.Empty());
    EXPECT_EQ(corner(second->shot), (EngineTest::Pixel{0x10, 0x20, 0x30}));
    engine.Shutdown();
}

// A capped loop sleeps: over 3 s at a cap of 60 it draws no more than 10 %
// over 180 frames, and keeps the process busy less than half the time. Load
// can only slow it, so this holds on a busy machine; the rate itself is
// measured by bench/frame_timing.
TEST(EngineLoop, AFrameRateCapSleeps) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    struct ThreeSeconds : Engine::Scene {
        Engine::Engine* engine = nullptr;
        std::chrono::steady_clock::time_point start;
        std::clock_t cpu = 0;
        double wall = 0.0, used = 0.0;
        uint64_t frames = 0;
        void Build(Engine::Engine& e) override {
            engine = &e;
            start = std::chrono::steady_clock::now();
            cpu = std::clock();
            frames = e.GetFrameCount();
        }
        void Update() override {
            if (used > 0)
                return;
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (wall < 3.0)
                return;
            used = double(std::clock() - cpu) / CLOCKS_PER_SEC;
            frames = engine->GetFrameCount() - frames;
            engine->Quit();
        }
        void Draw(const Engine::Uni<Engine::Renderer>&) override {}
    };
    auto scene = Engine::CreateRef<ThreeSeconds>();
    EXPECT_EQ(Engine::Engine::Run(scene, 320, 240, "Capped", {.targetFrameRate = 60}), 0);
    EXPECT_GE(scene->wall, 3.0);
    EXPECT_GT(scene->frames, 0u);
    EXPECT_LE(scene->frames, 198u);
    EXPECT_LT(scene->used, scene->wall / 2) << "CPU seconds over " << scene->wall << " s";
}

namespace {

// A scene that writes each call to a shared log, and asks for a change once
// from its Update or Draw, then logs again: were it let go during its own
// call, "asked" would follow "gone" (and ASan would report the write).
struct LoggedScene : Engine::Scene {
    using Ask = std::function<void(Engine::Engine&)>;
    LoggedScene(std::string name, std::string& log) : name(std::move(name)), log(log) {}
    ~LoggedScene() override { Write("gone"); }
    void Build(Engine::Engine& e) override {
        engine = &e;
        // The old scene's entity and camera must not be there.
        Write("build " + std::to_string(Engine::ECS::Get().EntityCount()) +
              (Engine::Camera::Main().zoom != 1.0f ? " zoomed" : ""));
        Engine::ECS::Get().CreateEntity();
        Engine::Camera::Main().zoom = 3.0f;
        if (buildDelay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(buildDelay));
    }
    void Update() override {
        ++steps;
        Write(Engine::Input::WasKeyPressed(SDLK_SPACE) ? "update space" : "update");
        Run(onUpdate);
    }
    void Draw(const Engine::Uni<Engine::Renderer>&) override {
        ++frames;
        Write("draw");
        Run(onDraw);
        if (quitAtFrame && frames == quitAtFrame)
            engine->Quit();
    }
    void Release() override {
        Write("release " + std::to_string(Engine::ECS::Get().EntityCount()));
    }
    void Write(const std::string& what) { log += name + " " + what + ", "; }
    void Run(Ask& ask) {
        if (!ask)
            return;
        std::exchange(ask, nullptr)(*engine);
        Write("asked");
    }
    std::string name;
    std::string& log;
    Engine::Engine* engine = nullptr;
    Ask onUpdate, onDraw;
    int steps = 0, frames = 0, quitAtFrame = 0;
    double buildDelay = 0.0;
};

} // namespace

// Scenes changed while the loop runs: only at the end of the step or frame
// that asked, the old one released and let go before the new one is built on
// an empty registry and a default camera, with no owed steps and no press
// meant for the old one.
TEST(EngineLoop, ScenesChangeAtTheEndOfTheStepOrFrame) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    enum From { FromUpdate, FromDraw, BetweenFrames };
    using Asks = std::function<void(Engine::Engine&, std::string&)>;
    const Asks toB = [](Engine::Engine& e, std::string& log) {
        e.ChangeScene(Engine::CreateRef<LoggedScene>("B", log));
    };
    // B built, drawn in that frame unless A asked from Draw, then stepped
    // twice and drawn in the next, released at shutdown.
    const std::string bBuilt = "B build 0, ", bDrawn = "B draw, ",
                      bRuns = "B update, B update, B draw, B release 0, ";
    struct Case {
        const char* what;
        From from;
        double firstFrame;
        Asks ask;
        std::string log;
    } cases[] = {
        // Half a second owed: A's first step asks, the other 49 go with it.
        {"from Update", FromUpdate, 0.505, toB,
         "A build 0, A update space, A asked, A release 0, A gone, " + bBuilt + bDrawn + bRuns},
        // No step this frame: SPACE latched for A is dropped, not B's.
        {"from Draw", FromDraw, 0.005, toB,
         "A build 0, A draw, A asked, A release 0, A gone, " + bBuilt + bRuns},
        {"between frames", BetweenFrames, 0.025, toB,
         "A build 0, A release 0, A gone, " + bBuilt + bDrawn + bRuns},
        {"several, the last wins", FromUpdate, 0.025,
         [](Engine::Engine& e, std::string& log) {
             e.ChangeScene(Engine::CreateRef<LoggedScene>("C", log));
             e.ChangeScene(Engine::CreateRef<LoggedScene>("B", log));
         },
         "A build 0, A update space, C gone, A asked, A release 0, A gone, " + bBuilt + bDrawn +
             bRuns},
        {"SetScene after Start", FromUpdate, 0.025,
         [](Engine::Engine& e, std::string& log) {
             e.SetScene(Engine::CreateRef<LoggedScene>("B", log));
         },
         "A build 0, A update space, A asked, A release 0, A gone, " + bBuilt + bDrawn + bRuns},
        {"to none", FromUpdate, 0.025,
         [](Engine::Engine& e, std::string&) { e.ChangeScene(nullptr); },
         "A build 0, A update space, A asked, A release 0, A gone, "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string log;
        Engine::Camera::Main() = Engine::Camera(); // the last case's B zoomed it
        {
            Engine::Engine engine(320, 240, "Scenes");
            auto a = Engine::CreateRef<LoggedScene>("A", log);
            LoggedScene::Ask ask = [&](Engine::Engine& e) { c.ask(e, log); };
            (c.from == FromUpdate ? a->onUpdate : a->onDraw) = ask;
            engine.SetScene(std::move(a)); // before Start: set at once, built by Start
            engine.InitializeGraphicsSubSystem();
            engine.Start();
            if (c.from == BetweenFrames)
                ask(engine);
            SDL_Event key{};
            key.type = SDL_KEYDOWN;
            key.key.keysym.sym = SDLK_SPACE;
            SDL_PushEvent(&key);
            engine.Frame(c.firstFrame);
            // The accumulator starts afresh: 0.025 pays for two steps, not three.
            engine.Frame(0.025);
            EXPECT_EQ(engine.GetScene() == nullptr, c.log.find('B') == std::string::npos);
            EXPECT_EQ(Engine::Camera::Main().w, 320.0f) << "the view's size is the engine's";
            engine.Shutdown();
        }
        EXPECT_EQ(log, c.log + (c.log.find('B') != std::string::npos ? "B gone, " : ""));
        Engine::Input::Clear();
    }
}

// In the real loop the new scene's clock starts after its Build: half a
// second spent building is not caught up on in a burst of steps.
TEST(EngineLoop, ASlowBuildIsNotCaughtUpOn) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    std::string log;
    auto a = Engine::CreateRef<LoggedScene>("A", log);
    auto b = Engine::CreateRef<LoggedScene>("B", log);
    b->buildDelay = 0.5;
    b->quitAtFrame = 2;
    a->onDraw = [b](Engine::Engine& e) { e.ChangeScene(b); };
    EXPECT_EQ(Engine::Engine::Run(a, 320, 240, "Slow build"), 0);
    EXPECT_EQ(b->frames, 2);
    EXPECT_LT(b->steps, 25) << log;
}

// What the desktop sees of the window: its icon (read back from the X
// server, top row first), the clipboard, the pointer; and files and text
// dropped on it, each seen in the one step after the drop.
TEST(WindowDesktop, IconClipboardPointerAndDrops) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    Engine::Image icon(2, 2); // bottom row first: red, green; then blue, half-clear white
    const unsigned char pixels[] = {255, 0, 0,   255, 0,   255, 0,   255,
                                    0,   0, 255, 255, 255, 255, 255, 128};
    std::memcpy(icon.Pixels(), pixels, sizeof pixels);
    Engine::Engine engine(320, 240, "DesktopKit");
    Engine::Window closed("Closed", 32, 32);
    EXPECT_FALSE(closed.SetIcon(icon));
    EXPECT_FALSE(closed.SetCursor(Engine::Cursor::Hand));
    EXPECT_FALSE(closed.SetClipboardText("x"));
    EXPECT_EQ(closed.GetClipboardText(), "");
    engine.InitializeGraphicsSubSystem();
    Engine::Window& window = *engine.GetWindow();

    EXPECT_FALSE(window.SetIcon(Engine::Image()));
    ASSERT_TRUE(window.SetIcon(icon));
    SDL_PumpEvents();
    std::string property;
    if (FILE* xprop = popen("timeout -k 1 5 xprop -name DesktopKit -f _NET_WM_ICON 32x "
                            "_NET_WM_ICON 2>&1",
                            "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, xprop))
            property += buffer;
        pclose(xprop);
    }
    EXPECT_EQ(property, "_NET_WM_ICON(CARDINAL) = 0x2, 0x2, 0xff0000ff, 0x80ffffff, 0xffff0000, "
                        "0xff00ff00\n");

    const std::string text = "ankern \xE2\x9A\x93"; // an anchor
    ASSERT_TRUE(window.SetClipboardText(text));
    EXPECT_EQ(window.GetClipboardText(), text);

    window.ShowCursor(false);
    EXPECT_FALSE(window.IsCursorShown());
    window.ShowCursor(true);
    EXPECT_TRUE(window.IsCursorShown());
    EXPECT_TRUE(window.SetCursor(Engine::Cursor::IBeam));
    EXPECT_TRUE(window.SetCursor(Engine::Cursor::Crosshair));
    EXPECT_TRUE(window.SetCursor(Engine::Cursor::IBeam)); // the one made before

    // SDL hands over a copy the engine's loop frees.
    auto drop = [&](Uint32 type, const char* what) {
        SDL_Event event{};
        event.type = type;
        event.drop.file = SDL_strdup(what);
        event.drop.windowID = SDL_GetWindowID(window.GetNativeWindow());
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    };
    using Engine::Input;
    using Files = std::vector<std::string>;
    drop(SDL_DROPFILE, "/tmp/one.tmx");
    drop(SDL_DROPTEXT, "some text");
    drop(SDL_DROPFILE, "/tmp/tw\xC3\xB6 words.json");
    bool quit = false;
    engine.ProcessInput(&quit);
    EXPECT_EQ(Input::GetDroppedFiles(), Files()) << "not before a step";
    Input::BeginStep();
    EXPECT_EQ(Input::GetDroppedFiles(), Files({"/tmp/one.tmx", "/tmp/tw\xC3\xB6 words.json"}));
    EXPECT_EQ(Input::GetDroppedText(), Files({"some text"}));
    Input::EndStep();
    EXPECT_EQ(Input::GetDroppedFiles(), Files());
    drop(SDL_DROPFILE, "/tmp/three.tmx");
    engine.ProcessInput(&quit);
    Input::BeginStep();
    Input::EndStep();
    Input::BeginStep();
    EXPECT_EQ(Input::GetDroppedFiles(), Files()) << "seen in one step only";
    EXPECT_EQ(Input::GetDroppedText(), Files());
    Input::EndStep();
    engine.Shutdown();
}
