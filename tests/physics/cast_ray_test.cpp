// Segments cast against a grid of cells: the first solid thing met, exactly
// on lines and corners, and a cross-check against sampling the segment.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <engine/physics/CellGrid.h>

using namespace Engine;

namespace {

// Cells 16 wide and 12 high from (-40, 8): column c spans x -40 + 16c, row r
// y 8 + 12r. '#' is solid; '/' a ramp rising to the right, 0 high on its
// left side and full on its right; '_' a ledge 6 high.
CellGrid RayGrid(const std::vector<std::string>& picture) {
    CellGrid grid(int(picture[0].size()), int(picture.size()), 16, 12, {-40, 8});
    for (size_t r = 0; r < picture.size(); ++r)
        for (size_t c = 0; c < picture[r].size(); ++c) {
            if (picture[r][c] == '/')
                grid.SetFloor(int(c), int(r), {0, 12});
            else if (picture[r][c] == '_')
                grid.SetFloor(int(c), int(r), {6, 6});
            else
                grid.Set(int(c), int(r), picture[r][c] == '#');
        }
    return grid;
}

const std::vector<std::string> kRayLevel = {
    "........", // row 0: y 8
    ".#......", // row 1: y 20; the block spans x -24 to -8
    "..#.....", // row 2: y 32; x -8 to 8, touching row 1's block at (-8, 32)
    "....#./.", // row 3: y 44; the ramp spans x 56 to 72, y 44 to 56
    "..._##..", // row 4: y 56; the ledge spans x 8 to 24, its top at y 62
    "######.#", // row 5: y 68 to 80, with a gap at x 56 to 72
};

TEST(CastRay, MeetsTheFirstSolidThingExactly) {
    const float huge = 3e38f;
    struct Case {
        const char* what;
        glm::vec2 from, to;
        std::optional<RayHit> want;
        bool closedAboveAndBelow = false;
    };
    const Case cases[] = {
        {"right into a block's side", {-36, 50}, {64, 50}, RayHit{{24, 50}, 0.6f, 4, 3, {-1, 0}}},
        {"down onto the floor", {-32, 0}, {-32, 100}, RayHit{{-32, 68}, 0.68f, 0, 5, {0, -1}}},
        {"up into a block's underside",
         {-16, 60},
         {-16, 0},
         RayHit{{-16, 32}, 28 / 60.0f, 1, 1, {0, 1}}},
        {"between two blocks touching diagonally: stopped",
         {-20, 44},
         {4, 20},
         RayHit{{-8, 32}, 0.5f, 2, 2, {-1, 0}}},
        {"into the corner of a block", {20, 20}, {-4, 44}, RayHit{{8, 32}, 0.5f, 2, 2, {1, 0}}},
        {"past the corner of one block", {-36, 32}, {-12, 8}, std::nullopt},
        {"along a line over open cells, then between the ledge and the ground",
         {-36, 68},
         {80, 68},
         RayHit{{8, 68}, 44 / 116.0f, 3, 5, {-1, 0}}},
        {"down a block's side, then between the ledge and a block",
         {24, 0},
         {24, 100},
         RayHit{{24, 62}, 0.62f, 4, 4, {0, -1}}},
        {"along the ground into the wall beyond the grid",
         {60, 68},
         {90, 68},
         RayHit{{88, 68}, 28 / 30.0f, 8, 5, {-1, 0}}},
        {"ending on a side touches it only", {-36, 50}, {24, 50}, std::nullopt},
        {"from inside a block", {-16, 26}, {100, 26}, RayHit{{-16, 26}, 0, 1, 1, {0, 0}}},
        {"from a block's side, heading in",
         {-24, 26},
         {0, 26},
         RayHit{{-24, 26}, 0, 1, 1, {-1, 0}}},
        {"from a block's side, heading out to the wall",
         {-24, 26},
         {-56, 26},
         RayHit{{-40, 26}, 0.5f, -1, 1, {1, 0}}},
        {"from deep inside the wall",
         {-1000, -1000},
         {0, 0},
         RayHit{{-1000, -1000}, 0, -60, -84, {0, 0}}},
        {"down onto the ramp's slope",
         {64, 0},
         {64, 100},
         RayHit{{64, 50}, 0.5f, 6, 3, {-0.6f, -0.8f}}},
        {"left into the ramp's tall side",
         {80, 50},
         {40, 50},
         RayHit{{72, 50}, 0.2f, 6, 3, {1, 0}}},
        {"up into the ramp's underside",
         {64, 66},
         {64, 40},
         RayHit{{64, 56}, 10 / 26.0f, 6, 3, {0, 1}}},
        {"along the ramp's slope", {56, 56}, {72, 44}, std::nullopt},
        {"past the ramp's high corner, less steep than it", {80, 42}, {44, 51}, std::nullopt},
        {"into the ramp's high corner, steeper than it",
         {80, 36},
         {64, 52},
         RayHit{{72, 44}, 0.5f, 6, 3, {1, 0}}},
        {"out through the gap, open below for ever", {64, 60}, {64, huge}, std::nullopt},
        {"out through the gap onto what is solid below",
         {64, 60},
         {64, huge},
         RayHit{{64, 80}, 20 / huge, 6, 6, {0, -1}},
         true},
        {"up out of the grid into what is solid above",
         {60, 20},
         {60, -huge},
         RayHit{{60, 8}, 12 / huge, 6, -1, {0, 1}},
         true},
        {"far to the right: the wall beyond",
         {60, 20},
         {huge, 20},
         RayHit{{88, 20}, 28 / huge, 8, 1, {-1, 0}}},
        {"from far left of everything",
         {-huge, 20},
         {huge, 20},
         RayHit{{-huge, 20}, 0, std::numeric_limits<int>::min(), 1, {0, 0}}},
        {"no length, in the open", {60, 20}, {60, 20}, std::nullopt},
        {"no length, inside a block", {-16, 26}, {-16, 26}, RayHit{{-16, 26}, 0, 1, 1, {0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CellGrid grid = RayGrid(kRayLevel);
        grid.solidAbove = grid.solidBelow = c.closedAboveAndBelow;
        const std::optional<RayHit> got = CastRay(grid, c.from, c.to);
        ASSERT_EQ(got.has_value(), c.want.has_value());
        if (!got)
            continue;
        EXPECT_EQ(got->point, c.want->point);
        EXPECT_FLOAT_EQ(got->fraction, c.want->fraction);
        EXPECT_EQ(got->column, c.want->column);
        EXPECT_EQ(got->row, c.want->row);
        EXPECT_NEAR(got->normal.x, c.want->normal.x, 1e-6f);
        EXPECT_NEAR(got->normal.y, c.want->normal.y, 1e-6f);
    }
}

TEST(CastRay, NonFiniteInputsAndUnusableGridsMeetNothing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const CellGrid grid = RayGrid(kRayLevel);
    for (const auto& [from, to] :
         std::vector<std::pair<glm::vec2, glm::vec2>>{{{nan, 20}, {60, 20}},
                                                      {{60, 20}, {60, nan}},
                                                      {{60, 20}, {inf, 20}},
                                                      {{-inf, -inf}, {60, 20}}})
        EXPECT_FALSE(CastRay(grid, from, to).has_value());
    for (const float size : {0.0f, -16.0f, nan, inf}) {
        CellGrid bad = grid;
        bad.cellWidth = size;
        EXPECT_FALSE(CastRay(bad, {-16, 0}, {-16, 100}).has_value()) << size;
    }
}

// Rows 0.1 high from y 33 are a float's rounding shorter than 0.1, so a floor
// as high as the cell on one side would reach above the row's top line: it
// must stay in its cell, and a segment along that line only touches it.
TEST(CastRay, AFloorAsHighAsItsCellStaysBelowTheRowsTopLine) {
    const struct {
        const char* what;
        glm::vec2 from, to;
        bool solidAbove;
    } cases[] = {
        {"along the line, open above", {-0.5f, 33}, {2.5f, 33}, false},
        {"along the line to the ledge's high corner, solid above", {2.5f, 33}, {1, 33}, true},
        {"from the ledge's high corner, solid above", {1, 33}, {2.5f, 33}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CellGrid grid(3, 2, 1, 0.1f, {0, 33});
        grid.solidLeft = grid.solidRight = false;
        grid.solidAbove = c.solidAbove;
        grid.Set(0, 0, true);
        grid.SetFloor(1, 0, {0.1f, 0.05f});
        ASSERT_LT(double(float(33 + double(0.1f))) - 33, double(0.1f)) << "the row rounds short";
        EXPECT_FALSE(CastRay(grid, c.from, c.to).has_value());
    }
}

// Whether a point lies in a solid part of the grid, as the grid says.
bool SolidAt(const CellGrid& g, double x, double y) {
    const int c = int(std::floor((x - g.origin.x) / g.cellWidth));
    const int r = int(std::floor((y - g.origin.y) / g.cellHeight));
    const CellFloor f = g.Floor(c, r);
    const double t = (x - g.origin.x) / g.cellWidth - c;
    const double height = f.left + (f.right - f.left) * t;
    return g.origin.y + (r + 1) * double(g.cellHeight) - y < height;
}

TEST(CastRay, AgreesWithSamplingTheSegment) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0, 1);
    constexpr int SAMPLES = 2048;
    for (int n = 0; n < 2000; ++n) {
        CellGrid grid(12, 9, 10, 7, {-33, 5});
        grid.solidLeft = rng() % 2;
        grid.solidRight = rng() % 2;
        grid.solidAbove = rng() % 4 == 0;
        grid.solidBelow = rng() % 4 == 0;
        for (int r = 0; r < grid.rows; ++r)
            for (int c = 0; c < grid.columns; ++c) {
                const float pick = unit(rng);
                if (pick < 0.1f)
                    grid.Set(c, r, true);
                else if (pick < 0.2f)
                    grid.SetFloor(c, r, {std::floor(unit(rng) * 8), std::floor(unit(rng) * 8)});
            }
        auto point = [&] { return glm::vec2(-60 + 180 * unit(rng), -20 + 100 * unit(rng)); };
        const glm::vec2 from = point(), to = point();
        SCOPED_TRACE(testing::Message() << "ray " << n);

        std::optional<double> first;
        for (int i = 0; i <= SAMPLES && !first; ++i) {
            const double t = double(i) / SAMPLES;
            if (SolidAt(grid, from.x + t * (to.x - from.x), from.y + t * (to.y - from.y)))
                first = t;
        }
        const std::optional<RayHit> got = CastRay(grid, from, to);
        if (first) {
            ASSERT_TRUE(got.has_value()) << *first;
            EXPECT_LE(got->fraction, *first + 1e-6);
        }
        if (!got || (first && *first - got->fraction <= 1.0 / SAMPLES + 1e-6))
            continue;
        // A hit the samples stepped over: something solid just past it.
        bool solid = false;
        for (const double after : {1e-4, 1e-5, 1e-6}) {
            const double t = got->fraction + after;
            solid =
                solid || SolidAt(grid, from.x + t * (to.x - from.x), from.y + t * (to.y - from.y));
        }
        EXPECT_TRUE(solid) << got->fraction;
    }
}

} // namespace
