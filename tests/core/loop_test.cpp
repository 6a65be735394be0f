#include <gtest/gtest.h>

#include <engine/core/Engine.h>
#include <engine/render/Camera.h>

namespace {

int Steps(double& acc, double frameTime) {
    return ::Engine::Engine::Advance(acc, frameTime, 0.01, [](double dt) { EXPECT_EQ(dt, 0.01); });
}

TEST(FixedStep, StepsPaidForByTheAccumulatedTime) {
    double acc = 0.0;
    EXPECT_EQ(Steps(acc, 0.035), 3);
    EXPECT_NEAR(acc, 0.005, 1e-9);
    // The remainder carries over: 0.005 + 0.006 pays for one more step.
    EXPECT_EQ(Steps(acc, 0.006), 1);
    EXPECT_NEAR(acc, 0.001, 1e-9);
}

TEST(FixedStep, ShortFramesRunNoStep) {
    double acc = 0.0;
    EXPECT_EQ(Steps(acc, 0.0099), 0);
    EXPECT_EQ(acc, 0.0099);
}

TEST(FixedStep, ExactlyOneStepLength) {
    double acc = 0.0;
    EXPECT_EQ(Steps(acc, 0.01), 1);
    EXPECT_EQ(acc, 0.0);
}

TEST(FixedStep, LongStallIsNotClamped) {
    double acc = 0.0;
    int n = Steps(acc, 2.0);
    EXPECT_GE(n, 199);
    EXPECT_LE(n, 200);
    EXPECT_LT(acc, 0.01);
}

// A program may step its scene without a window, as a test of its own would:
// the frame then draws nothing instead of reaching for the missing window.
TEST(FixedStep, FrameWithoutAWindowStepsAndDrawsNothing) {
    struct Counting : ::Engine::Scene {
        void Build(::Engine::Engine&) override {}
        void Update() override { ++steps; }
        void Draw(const ::Engine::Uni<::Engine::Renderer>&) override { ++frames; }
        int steps = 0, frames = 0;
    };
    auto scene = ::Engine::CreateRef<Counting>();
    ::Engine::Engine engine(64, 64);
    engine.SetScene(scene);
    EXPECT_FALSE(engine.Frame(0.025));
    EXPECT_EQ(scene->steps, 2);
    EXPECT_EQ(scene->frames, 0);
}

// A second engine in one process (a launcher, then the game) starts from the
// default camera, not from where the first one's scene left it.
TEST(FixedStep, AnEngineStartsFromTheDefaultCamera) {
    ::Engine::Camera& camera = ::Engine::Camera::Main();
    { ::Engine::Engine first(64, 48); }
    camera.transform.position = {500, -20, 0};
    camera.zoom = 3;
    camera.rotation = 45;
    ::Engine::Engine second(32, 24);
    ::Engine::Camera expected;
    expected.w = 32;
    expected.h = 24;
    EXPECT_EQ(camera.GetViewProjection(), expected.GetViewProjection());
}

} // namespace
