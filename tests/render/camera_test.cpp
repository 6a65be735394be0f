#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include <glm/gtc/matrix_inverse.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <engine/core/Window.h>

#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/render/CameraSystem.h>

#include "support/Vectors.h"

using namespace Engine;
using EngineTest::Apply;
using EngineTest::ExpectNear;
using glm::vec3;

namespace {

// What the camera follows; a game marks its player this way.
struct Target {};

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ECS::Get().Reset();
        ECS::Get().RegisterComponent<Transform>();
        ECS::Get().RegisterComponent<Target>();
        Camera::Main() = Camera();
        Time::dt = 0.01;
    }
    void TearDown() override { ECS::Get().Reset(); }

    static EntityID Followed(vec3 p) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<Transform>(e, p, vec3(0), vec3(1));
        ECS::Get().AddComponent<Target>(e, Target{});
        return e;
    }
};

TEST_F(CameraTest, EasesTwoPercentPerStepTowardsOffsetTarget) {
    EntityID player = Followed({250, 0, 0});
    CameraSystem<Target> system;
    system.Run(player);
    EXPECT_EQ(Camera::Main().transform.position, vec3(6, 1, 0));
    system.Run(player);
    ExpectNear(Camera::Main().transform.position, {11.88f, 1.98f, 0});

    Time::dt = 0.0;
    system.Run(player);
    ExpectNear(Camera::Main().transform.position, {11.88f, 1.98f, 0});
}

TEST_F(CameraTest, ViewPutsCameraPositionAtScreenCentre) {
    EXPECT_EQ(Camera::Main().GetView(), glm::translate(glm::mat4(1.0f), vec3(640, 360, 0)));
    Camera::Main().transform.position = {640, 360, 0};
    EXPECT_EQ(Camera::Main().GetView(), glm::mat4(1.0f));
    Camera::Main().transform.position = {100, -50, 0};
    ExpectNear(Apply(Camera::Main().GetView(), {100, -50, 0}), {640, 360, 0});
}

// Unzoomed and unturned, the view and what is drawn through it are the
// plain camera's, bit for bit, wherever the camera stands; so too with a zoom
// or a turn that cannot be used.
TEST_F(CameraTest, DefaultsKeepThePlainViewExactly) {
    Camera& cam = Camera::Main();
    EXPECT_EQ(cam.zoom, 1.0f);
    EXPECT_EQ(cam.rotation, 0.0f);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    for (auto [zoom, turn] : {std::pair{1.0f, 0.0f},
                              {nan, 0.0f},
                              {-2.0f, 0.0f},
                              {inf, 0.0f},
                              {1.0f, nan},
                              {1.0f, inf},
                              {1.0f, -inf}})
        for (vec3 p : {vec3(0, 0, 0), vec3(640.6f, 360.7f, 0), vec3(-1234.25f, 98765.5f, 0)})
            for (glm::vec2 size : {glm::vec2(1280, 720), glm::vec2(333, 201)}) {
                cam.zoom = zoom;
                cam.rotation = turn;
                cam.transform.position = p;
                cam.w = size.x;
                cam.h = size.y;
                const vec3 centre(size.x / 2, size.y / 2, 0);
                glm::mat4 plain = glm::inverse(glm::translate(glm::mat4(1.0f), p - centre));
                EXPECT_EQ(cam.GetView(), plain) << zoom << " " << turn;
                plain[3].x = std::round(plain[3].x);
                plain[3].y = std::round(plain[3].y);
                EXPECT_EQ(cam.GetViewProjection(),
                          glm::ortho(0.0f, size.x, size.y, 0.0f, -1.0f, 1.0f) * plain)
                    << zoom << " " << turn;
            }
}

// ScreenToWorld undoes WorldToScreen at any zoom, turn and view size, the
// camera's position lands on the view's centre (to the whole pixel the view
// is moved to), and positive turns are clockwise. A letterboxed view maps the
// mouse through its own pixels: the window's centre is the camera's position.
TEST_F(CameraTest, ScreenToWorldUndoesWorldToScreen) {
    const glm::vec2 points[] = {{0, 0}, {1279.5f, 719.5f}, {-300, 5000}, {17.25f, 3.75f}};
    for (float zoom : {1.0f, 2.0f, 0.3f, 7.5f, 0.0f})
        for (float turn : {0.0f, 30.0f, -90.0f, 180.0f, 405.0f})
            for (glm::vec2 size : {glm::vec2(1280, 720), glm::vec2(320, 180), glm::vec2(64, 33)}) {
                Camera cam;
                cam.transform.position = {100.4f, -250.7f, 0};
                cam.zoom = zoom;
                cam.rotation = turn;
                cam.w = size.x;
                cam.h = size.y;
                SCOPED_TRACE(testing::Message() << zoom << " " << turn << " " << size.x);
                const float z = zoom > 0 ? zoom : 1.0f;
                for (glm::vec2 p : points) {
                    const glm::vec2 world = cam.ScreenToWorld(p);
                    const glm::vec2 back = cam.WorldToScreen(world);
                    EXPECT_NEAR(back.x, p.x, 2e-3f * std::max(1.0f, z));
                    EXPECT_NEAR(back.y, p.y, 2e-3f * std::max(1.0f, z));
                }
                const glm::vec2 centre = cam.WorldToScreen({100.4f, -250.7f});
                EXPECT_LE(glm::length(centre - size / 2.0f), 0.71f);
                // A unit right of the camera: zoom pixels along the turned x axis.
                const glm::vec2 step = cam.WorldToScreen({101.4f, -250.7f}) - centre;
                const float r = glm::radians(turn);
                EXPECT_NEAR(step.x, z * std::cos(r), 1e-3f * z);
                EXPECT_NEAR(step.y, z * std::sin(r), 1e-3f * z);
            }

    Camera cam;
    cam.w = 320;
    cam.h = 180;
    cam.zoom = 3;
    cam.rotation = 30;
    cam.transform.position = {50, 60, 0};
    const Letterbox shown = Letterbox::Fit({1000, 700}, {320, 180});
    const glm::vec2 world = cam.ScreenToWorld(shown.ToView({500, 350}));
    EXPECT_NEAR(world.x, 50, 0.5f / 3);
    EXPECT_NEAR(world.y, 60, 0.5f / 3);
}

// ClampTo keeps the view (at its zoom, turned: the box around it) inside the
// bounds, moving the camera no more than it must, and centres it along an
// axis where the bounds are the smaller.
TEST_F(CameraTest, ClampToKeepsTheViewInsideTheBounds) {
    const float nan = std::nanf("");
    const struct {
        const char* what;
        Rectangle bounds;
        float zoom, turn;
        vec3 from, to;
    } rows[] = {
        {"inside stays", {0, 0, 2048, 576}, 1, 0, {1000, 300, 0}, {1000, 300, 0}},
        {"past the top-left", {0, 0, 2048, 576}, 1, 0, {100, -9, 0}, {480, 270, 0}},
        {"past the bottom-right", {-100, -50, 2048, 576}, 1, 0, {3e4f, 900, 0}, {1468, 256, 0}},
        {"narrower bounds centre it", {100, 0, 500, 2000}, 1, 0, {0, 5000, 0}, {350, 1730, 0}},
        {"zoomed in sees less", {0, 0, 2048, 576}, 2, 0, {0, 0, 0}, {240, 135, 0}},
        {"an unusable zoom and turn are 1 and 0",
         {0, 0, 2048, 576},
         0,
         nan,
         {0, 0, 0},
         {480, 270, 0}},
        {"turned a quarter, the view stands upright",
         {0, 0, 2048, 576},
         1,
         90,
         {0, 0, 0},
         {270, 288, 0}},
        {"bounds not a number leave it", {nan, 0, 500, 2000}, 1, 0, {7, 9, 0}, {7, 9, 0}},
    };
    for (const auto& row : rows) {
        Camera cam;
        cam.w = 960;
        cam.h = 540;
        cam.zoom = row.zoom;
        cam.rotation = row.turn;
        cam.transform.position = row.from;
        cam.ClampTo(row.bounds);
        SCOPED_TRACE(row.what);
        ExpectNear(cam.transform.position, row.to);
    }
}

} // namespace
