// Points along a path of segments and where a point lies along it: past the
// ends of open and closed paths, on the closing segment, on degenerate input.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <engine/physics/Path.h>

using namespace Engine;

namespace {

// An L: 30 right, then 40 down; closed, the 50-long diagonal back.
const std::vector<glm::vec2> kL = {{0, 0}, {30, 0}, {30, 40}};

TEST(Path, PointsAlongAndNearestOnOpenAndClosedPaths) {
    EXPECT_FLOAT_EQ(Path::Length(kL, true), 120);
    const struct {
        float distance;
        bool closed;
        glm::vec2 at;
    } along[] = {{50, false, {30, 20}}, {500, false, {30, 40}}, {-5, false, {0, 0}},
                 {95, true, {15, 20}},  {130, true, {10, 0}},   {-25, true, {15, 20}},
                 {NAN, true, {0, 0}}};
    for (const auto& c : along) {
        const glm::vec2 at = Path::PointAlong(kL, c.distance, c.closed);
        EXPECT_NEAR(glm::distance(at, c.at), 0, 1e-4) << c.distance << " closed " << c.closed;
    }
    const struct {
        glm::vec2 point;
        bool closed;
        float distance;
    } nearest[] = {{{36, 25}, false, 55},
                   {{99, 99}, false, 70},
                   {{10, 30}, false, 60},
                   {{10, 30}, true, 90},
                   {{-1, -1}, true, 0}};
    for (const auto& c : nearest)
        EXPECT_NEAR(Path::Nearest(kL, c.point, c.closed), c.distance, 1e-4)
            << c.point.x << "," << c.point.y << " closed " << c.closed;
    const std::vector<glm::vec2> twice = {{3, 4}, {3, 4}};
    EXPECT_EQ(Path::PointAlong(twice, 9, true), glm::vec2(3, 4));
    EXPECT_EQ(Path::PointAlong({}, 9), glm::vec2(0, 0));
    EXPECT_EQ(Path::Nearest({}, {1, 1}), 0);
}

} // namespace
