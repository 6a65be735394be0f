#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "Camera.h"
#include "CameraSystem.h"
#include "ECS.h"
#include "Time.h"

using namespace Engine;
using glm::vec3;
using glm::vec4;

namespace {

vec3 Apply(const glm::mat4& m, vec3 p) {
    return vec3(m * vec4(p, 1.0f));
}

void ExpectNear(vec3 a, vec3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-4);
    EXPECT_NEAR(a.y, b.y, 1e-4);
    EXPECT_NEAR(a.z, b.z, 1e-4);
}

TEST(TransformMatrix, ScalesThenRotatesThenTranslates) {
    Transform plain({3, 4, 5}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(plain.GetMatrix(), glm::translate(glm::mat4(1.0f), vec3(3, 4, 5)));

    Transform tile({128, 64, 0}, {0, 0, 0}, {64, 64, 0});
    EXPECT_EQ(Apply(tile.GetMatrix(), {0, 0, 0}), vec3(128, 64, 0));
    EXPECT_EQ(Apply(tile.GetMatrix(), {1, 1, 1}), vec3(192, 128, 0));

    // Degrees about z: (1, 0, 0) scaled to (2, 0, 0), turned to (0, 2, 0), moved.
    Transform turned({10, 0, 0}, {0, 0, 90}, {2, 1, 1});
    ExpectNear(Apply(turned.GetMatrix(), {1, 0, 0}), {10, 2, 0});
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ECS::Get().Reset();
        ECS::Get().RegisterComponent<Transform>();
        ECS::Get().RegisterComponent<Controller>();
        Camera::Main().transform.position = {0, 0, 0};
        Time::dt = 0.01;
    }
    void TearDown() override { ECS::Get().Reset(); }

    static EntityID Followed(vec3 p) {
        EntityID e = ECS::Get().CreateEntity();
        ECS::Get().AddComponent<Transform>(e, p, vec3(0), vec3(1));
        ECS::Get().AddComponent<Controller>(e, Controller{});
        return e;
    }
};

TEST_F(CameraTest, EasesTwoPercentPerStepTowardsOffsetTarget) {
    EntityID player = Followed({250, 0, 0});
    CameraSystem system;
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
