#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include <engine/physics/Transform.h>

#include "support/Vectors.h"

using Engine::Transform;
using EngineTest::Apply;
using EngineTest::ExpectNear;
using glm::vec3;

namespace {

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

} // namespace
