#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

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
        Camera::Main().transform.position = {0, 0, 0};
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

} // namespace
