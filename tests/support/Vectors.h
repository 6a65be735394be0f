#pragma once

// Small checks on glm vectors shared by the placement and camera tests.

#include <gtest/gtest.h>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace EngineTest {

inline glm::vec3 Apply(const glm::mat4& m, glm::vec3 p) {
    return glm::vec3(m * glm::vec4(p, 1.0f));
}

inline void ExpectNear(glm::vec3 a, glm::vec3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-4);
    EXPECT_NEAR(a.y, b.y, 1e-4);
    EXPECT_NEAR(a.z, b.z, 1e-4);
}

} // namespace EngineTest
