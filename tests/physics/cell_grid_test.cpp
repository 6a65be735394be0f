// Boxes moved against a grid of solid cells: exact stops at the edges, and no
// drift over a long run.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <engine/physics/CellGrid.h>

using namespace Engine;

namespace {

// Cells 16 wide and 12 high from (-40, 8): column c starts at x = -40 + 16c,
// row r at y = 8 + 12r. Beyond the grid, the default: walls at the sides.
CellGrid Grid(const std::vector<std::string>& picture) {
    CellGrid grid(int(picture[0].size()), int(picture.size()), 16, 12, {-40, 8});
    for (size_t r = 0; r < picture.size(); ++r)
        for (size_t c = 0; c < picture[r].size(); ++c)
            grid.Set(int(c), int(r), picture[r][c] == '#');
    return grid;
}

const std::vector<std::string> kLevel = {
    "..........", // row 0: y 8
    "..........", // row 1: y 20
    "..#.......", // row 2: y 32; the block spans x -8 to 8, y 32 to 44
    "..........", // row 3: y 44
    ".....#....", // row 4: y 56; column 5 spans x 40 to 56
    ".....#.#.#", // row 5: y 68; column 8 (x 88 to 104) is a gap between walls
    ".....#.#.#", // row 6: y 80
    "##########", // row 7: y 92, the floor
};

TEST(CellGrid, MoveBoxStopsExactlyAtTheEdges) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        Rectangle box;
        glm::vec2 delta;
        glm::vec2 want;
        const char* hits; // l, r, t, b: which sides report a hit
        bool closedAbove = false;
    };
    const Case cases[] = {
        {"falls through rows onto the floor", {-24, 20, 10, 10}, {3, 100}, {-21, 82}, "b"},
        {"flush on the floor, pushed down again", {-24, 82, 10, 10}, {0, 0.001f}, {-24, 82}, "b"},
        {"on the floor, not pushed", {-24, 82, 10, 10}, {0, 0}, {-24, 82}, ""},
        {"runs into a wall on the right", {0, 82, 10, 10}, {50, 0}, {30, 82}, "r"},
        {"flush on the right, pushed again", {30, 82, 10, 10}, {0.001f, 0}, {30, 82}, "r"},
        {"runs into a wall on the left", {60, 70, 10, 10}, {-100, 0}, {56, 70}, "l"},
        {"flush on the left, pushed again", {56, 70, 10, 10}, {-0.001f, 0}, {56, 70}, "l"},
        {"head against a ceiling", {-8, 60, 10, 10}, {0, -50}, {-8, 44}, "t"},
        {"a small move within its cell, walls ahead and behind", {56, 70, 10, 10}, {2, 0},
         {58, 70}, ""},
        {"moves away from a wall it touches", {30, 82, 10, 10}, {-5, 0}, {25, 82}, ""},
        // x moves first: a box above a block's corner lands on it...
        {"corner from above", {-20, 20, 10, 10}, {6, 6}, {-14, 22}, "b"},
        // ...and a box level with the block stops at its side, then moves down.
        {"corner from the side", {-20, 24, 10, 10}, {6, 6}, {-18, 30}, "r"},
        {"slides along a floor it touches", {-24, 82, 10, 10}, {40, 0}, {16, 82}, ""},
        {"fast box across a one-cell wall", {20, 70, 4, 4}, {1000, 0}, {36, 70}, "r"},
        {"fast box down onto the floor", {-24, -500, 10, 10}, {0, 1e6f}, {-24, 82}, "b"},
        {"huge move stops at the left side", {20, 8, 4, 4}, {-1e30f, 0}, {-40, 8}, "l"},
        {"huge coordinates, open below", {-24, 1e30f, 10, 10}, {0, 3e30f}, {-24, 1e30f + 3e30f}, ""},
        {"a box the size of a gap drops through it", {88, 20, 16, 10}, {0, 200}, {88, 82}, "b"},
        {"a box wider than the gap stays on top", {88, 20, 17, 10}, {0, 200}, {88, 58}, "b"},
        {"inside solid cells, moves out where open", {42, 70, 10, 10}, {20, 0}, {62, 70}, ""},
        // Inside solid cells, only the next solid cell stops it: the cell above.
        {"inside solid cells, stopped by the next", {42, 70, 10, 10}, {0, -5}, {42, 68}, "t"},
        {"open above the grid", {0, -100, 10, 10}, {0, -1000}, {0, -1100}, ""},
        {"the left side is a wall at any height", {-30, -100, 10, 10}, {-50, 0}, {-40, -100}, "l"},
        {"closed above when asked", {0, 8, 10, 10}, {0, -5}, {0, 8}, "t", true},
        {"NaN moves nothing", {0, 20, 10, 10}, {nan, 5}, {0, 20}, ""},
        {"infinity moves nothing", {0, 20, 10, 10}, {5, inf}, {0, 20}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CellGrid grid = Grid(kLevel);
        grid.solidAbove = c.closedAbove;
        const BoxMove m = MoveBox(grid, c.box, c.delta);
        EXPECT_EQ(m.box.x, c.want.x);
        EXPECT_EQ(m.box.y, c.want.y);
        EXPECT_EQ(m.box.width, c.box.width);
        EXPECT_EQ(m.box.height, c.box.height);
        const std::string hits = std::string(m.hitLeft ? "l" : "") + (m.hitRight ? "r" : "") +
                                 (m.hitTop ? "t" : "") + (m.hitBottom ? "b" : "");
        EXPECT_EQ(hits, c.hits);
        // Wherever it ends, a box that started clear is still clear.
        if (!grid.Solid(c.box)) {
            EXPECT_FALSE(grid.Solid(m.box));
        }
    }
}

// Gravity onto a floor, then running into a wall one way and the other, for
// thousands of steps, on cells and a box of sizes that do not divide evenly:
// once it lands it is on the ground every step, and it stays exactly flush.
TEST(CellGrid, LongRunStaysFlushWithoutDrift) {
    CellGrid grid(20, 10, 32, 32, {0.25f, 0.5f});
    for (int c = 0; c < 20; ++c)
        grid.Set(c, 9, true); // floor top at y 288.5
    for (int r = 0; r < 9; ++r) {
        grid.Set(3, r, true);  // a wall whose right side is at x 128.25
        grid.Set(14, r, true); // a wall whose left side is at x 448.25
    }
    const float floorTop = 288.5f, leftWall = 128.25f, rightWall = 448.25f;
    Rectangle box{200.3f, 17.1f, 28.0f, 39.0f};
    float vy = 0;
    bool landed = false;
    int againstRight = 0, againstLeft = 0;
    for (int step = 0; step < 6000; ++step) {
        const float dt = 0.01f, vx = step < 3000 ? 240.0f : -240.0f;
        vy = std::min(vy + 1900 * dt, 900.0f);
        const BoxMove m = MoveBox(grid, box, {vx * dt, vy * dt});
        box = m.box;
        if (m.hitBottom) {
            vy = 0;
            landed = true;
        }
        if (landed) {
            ASSERT_TRUE(m.hitBottom) << "step " << step;
            ASSERT_EQ(box.y + box.height, floorTop) << "step " << step;
        }
        if (m.hitRight) {
            ++againstRight;
            ASSERT_EQ(box.x + box.width, rightWall) << "step " << step;
        }
        if (m.hitLeft) {
            ++againstLeft;
            ASSERT_EQ(box.x, leftWall) << "step " << step;
        }
    }
    EXPECT_GT(againstRight, 2000);
    EXPECT_GT(againstLeft, 2000);
}

} // namespace
