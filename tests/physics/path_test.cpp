// Points along a path of segments, and where a point lies along it, on open
// and closed paths, past their ends and on degenerate input.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <engine/physics/Path.h>

using namespace Engine;

namespace {

// An L: 30 right, then 40 down; closed, the 50-long diagonal back.
const std::vector<glm::vec2> kL = {{0, 0}, {30, 0}, {30, 40}};

TEST(Path, PointsAlongWrapOnClosedPathsAndStopAtOpenEnds) {
    EXPECT_FLOAT_EQ(Path::Length(kL), 70);
    EXPECT_FLOAT_EQ(Path::Length(kL, true), 120);
    struct Case {
        float distance;
        bool closed;
        glm::vec2 expected;
    } const cases[] = {
        {0, false, {0, 0}},      {10, false, {10, 0}},    {30, false, {30, 0}},
        {50, false, {30, 20}},   {70, false, {30, 40}},   {500, false, {30, 40}},
        {-5, false, {0, 0}},     {95, true, {15, 20}},    {120, true, {0, 0}},
        {130, true, {10, 0}},    {-25, true, {15, 20}},   {NAN, true, {0, 0}},
    };
    for (const Case& c : cases) {
        const glm::vec2 at = Path::PointAlong(kL, c.distance, c.closed);
        EXPECT_NEAR(at.x, c.expected.x, 1e-4) << c.distance << " closed " << c.closed;
        EXPECT_NEAR(at.y, c.expected.y, 1e-4) << c.distance << " closed " << c.closed;
    }
    const std::vector<glm::vec2> one = {{3, 4}}, twice = {{3, 4}, {3, 4}};
    EXPECT_EQ(Path::PointAlong(one, 9, true), glm::vec2(3, 4));
    EXPECT_EQ(Path::PointAlong(twice, 9, true), glm::vec2(3, 4));
    EXPECT_EQ(Path::PointAlong({}, 9), glm::vec2(0, 0));
}

TEST(Path, NearestIsTheDistanceAlongToTheClosestPoint) {
    struct Case {
        glm::vec2 point;
        bool closed;
        float expected;
    } const cases[] = {
        {{10, -7}, false, 10}, {{36, 25}, false, 55}, {{-9, -9}, false, 0},
        {{99, 99}, false, 70}, {{10, 30}, false, 60}, {{10, 30}, true, 90},
        {{0.5f, 0.1f}, true, 0.5f}, {{-1, -1}, true, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(Path::Nearest(kL, c.point, c.closed), c.expected, 1e-4)
            << c.point.x << "," << c.point.y << " closed " << c.closed;
    // What Nearest finds, PointAlong gives back.
    EXPECT_NEAR(Path::PointAlong(kL, Path::Nearest(kL, {36, 25}, true), true).y, 25, 1e-4);
    EXPECT_EQ(Path::Nearest({}, {1, 1}), 0);
}

} // namespace
