// Boxes moved against a grid of solid cells: exact stops at the edges, and no
// drift over a long run.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
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
        {"a small move within its cell, walls ahead and behind",
         {56, 70, 10, 10},
         {2, 0},
         {58, 70},
         ""},
        {"moves away from a wall it touches", {30, 82, 10, 10}, {-5, 0}, {25, 82}, ""},
        // x moves first: a box above a block's corner lands on it...
        {"corner from above", {-20, 20, 10, 10}, {6, 6}, {-14, 22}, "b"},
        // ...and a box level with the block stops at its side, then moves down.
        {"corner from the side", {-20, 24, 10, 10}, {6, 6}, {-18, 30}, "r"},
        {"slides along a floor it touches", {-24, 82, 10, 10}, {40, 0}, {16, 82}, ""},
        {"fast box across a one-cell wall", {20, 70, 4, 4}, {1000, 0}, {36, 70}, "r"},
        {"fast box down onto the floor", {-24, -500, 10, 10}, {0, 1e6f}, {-24, 82}, "b"},
        {"huge move stops at the left side", {20, 8, 4, 4}, {-1e30f, 0}, {-40, 8}, "l"},
        {"huge coordinates, open below",
         {-24, 1e30f, 10, 10},
         {0, 3e30f},
         {-24, 1e30f + 3e30f},
         ""},
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
// Boxes made cells: exactly the cells they overlap, as Rectangle counts
// overlap.
TEST(CellGrid, BoxesSetTheCellsTheyOverlap) {
    const float inf = std::numeric_limits<float>::infinity();
    const Rectangle boxes[] = {
        {40, 12, 16, 16},      // one cell exactly
        {39.5f, 11, 17, 18},   // just past it on every side
        {40, 12, 0.25f, 40},   // a sliver down a column
        {-100, -100, 70, 300}, // over the grid's left side
        {-1e30f, -1e30f, 2e30f, 2e30f},
        {8, -4, 0, 16},   // empty
        {8, -4, inf, 16}, // not finite
        {200, 0, 10, 10}, // beyond it
    };
    for (size_t i = 0; i < std::size(boxes); ++i) {
        CellGrid grid(10, 5, 16, 16, {8, -4});
        grid.Set(boxes[i], true);
        for (int r = 0; r < grid.rows; ++r)
            for (int c = 0; c < grid.columns; ++c) {
                const Rectangle cell{8.0f + 16 * c, -4.0f + 16 * r, 16, 16};
                EXPECT_EQ(grid.Solid(c, r),
                          std::isfinite(boxes[i].width) && cell.Overlaps(boxes[i]))
                    << "box " << i << " cell " << c << "," << r;
            }
        grid.Set(boxes[i], false);
        EXPECT_EQ(grid.cells, std::vector<uint8_t>(50, 0)) << i;
    }
}

// The cell under a point (the mouse, a unit) is the one whose box holds it,
// also where the division by an awkward cell size rounds across an edge, and
// the boxes of neighbours meet.
TEST(CellGrid, CellUnderAPointIsTheOneWhoseBoxHoldsIt) {
    const CellGrid grid(40, 30, 0.3f, 0.7f, {1000.7f, -3.3f});
    std::mt19937 random(5);
    for (int i = 0; i < 20000; ++i) {
        const glm::ivec2 cell{int(random() % 60) - 10, int(random() % 50) - 10};
        const Rectangle box = grid.CellBox(cell.x, cell.y);
        EXPECT_EQ(box.x + box.width, grid.CellBox(cell.x + 1, cell.y).x) << cell.x;
        EXPECT_EQ(box.y + box.height, grid.CellBox(cell.x, cell.y + 1).y) << cell.y;
        std::uniform_real_distribution<float> t(0, 1);
        for (glm::vec2 p : {glm::vec2{box.x, box.y}, glm::vec2{box.x + box.width * t(random), box.y + box.height * t(random)},
                            glm::vec2{std::nextafter(box.x + box.width, 0.0f), box.y}}) {
            const glm::ivec2 at = grid.CellAt(p);
            EXPECT_TRUE(grid.CellBox(at.x, at.y).Contains(p)) << p.x << "," << p.y;
        }
    }
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    const int top = std::numeric_limits<int>::max(), bottom = std::numeric_limits<int>::min();
    EXPECT_EQ(grid.CellAt({inf, -1e30f}), glm::ivec2(top, bottom));
    EXPECT_EQ(grid.CellAt({nan, 0}), glm::ivec2(bottom, bottom));
    EXPECT_EQ(CellGrid(4, 4, 0, 16).CellAt({1, 1}), glm::ivec2(bottom, bottom));
}

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

// Floors, 16 units square from (-40, 8): '/' rises 45 degrees to the right and
// '\\' falls; 'a' and 'b' are the lower and upper halves of a 22.5 degree
// ramp; 'h' is a ledge half a cell high; '#' is whole.
const std::vector<std::string> kSlopes = {
    ".../##\\.....ab#....",  // row 3: y 56
    "../####\\..ab####.\\h", // row 4: y 72
    "###################",   // row 5: y 88, the floor
};

double Height(char ch, double t) {
    switch (ch) {
    case '/':
        return 16 * t;
    case '\\':
        return 16 * (1 - t);
    case 'a':
        return 8 * t;
    case 'b':
        return 8 + 8 * t;
    case 'h':
        return 8;
    case '#':
        return 16;
    default:
        return 0;
    }
}

CellGrid SlopeGrid(const std::vector<std::string>& picture) {
    CellGrid grid(int(picture[0].size()), int(picture.size()) + 3, 16, 16, {-40, 8});
    for (size_t r = 0; r < picture.size(); ++r)
        for (size_t c = 0; c < picture[r].size(); ++c)
            if (picture[r][c] == '#')
                grid.Set(int(c), int(r) + 3, true);
            else if (picture[r][c] != '.')
                grid.SetFloor(int(c), int(r) + 3,
                              {float(Height(picture[r][c], 0)), float(Height(picture[r][c], 1))});
    return grid;
}

// The ground under a point, worked out from the picture: the top of the
// highest cell of its column.
double Ground(const std::vector<std::string>& picture, double x) {
    const size_t c = size_t(std::floor((x + 40) / 16));
    for (size_t r = 0; r < picture.size(); ++r)
        if (picture[r][c] != '.')
            return 56 + 16.0 * (r + 1) - Height(picture[r][c], (x - (-40 + 16.0 * c)) / 16);
    return 1e9;
}

// Whether a box has sunk into the grid further than a box standing on its
// foot may: its foot below a top, or anything solid above the lines that rise
// from its foot as steeply as a cell's diagonal (where its corners may dip).
bool Sunk(const CellGrid& g, const Rectangle& b) {
    const double steep = double(g.cellHeight) / g.cellWidth, slack = 1e-3;
    const double fx = b.x + double(b.width) / 2, bottom = double(b.y) + b.height;
    const int c0 = int(std::floor((b.x - g.origin.x) / g.cellWidth));
    const int c1 = int(std::ceil((b.x + b.width - g.origin.x) / g.cellWidth)) - 1;
    const int r0 = int(std::floor((b.y - g.origin.y) / g.cellHeight));
    const int r1 = int(std::ceil((bottom - g.origin.y) / g.cellHeight)) - 1;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            const double x0 = g.origin.x + double(g.cellWidth) * c, x1 = x0 + g.cellWidth;
            const double rowBottom = g.origin.y + double(g.cellHeight) * (r + 1);
            const CellFloor f = g.Floor(c, r);
            for (double x : {std::max(x0, double(b.x)), std::clamp(fx, x0, x1),
                             std::min(x1, double(b.x) + b.width)}) {
                const double h = f.left + (f.right - f.left) * (x - x0) / (x1 - x0);
                const double lowest = bottom - steep * std::abs(x - fx) - (x == fx ? 1e-4 : slack);
                if (h > 0 && rowBottom - h < lowest && rowBottom > b.y)
                    return true;
            }
        }
    return false;
}

// Up and down 45 and 22.5 degree ramps and along the flat between, under
// gravity, at several speeds: on the ground every step, its foot on the
// surface to within an ulp, never sunk, onto the flat with no bump.
TEST(CellGrid, WalksUpAndDownSlopesOnTheSurface) {
    const CellGrid grid = SlopeGrid(kSlopes);
    for (float speed : {0.37f, 1.5f, 2.4f, 5.0f, 11.0f}) {
        SCOPED_TRACE(speed);
        Rectangle box{-38, 78, 6, 10};
        float vy = 0;
        int steps = 0;
        for (float dx : {speed, -speed}) {
            while (dx > 0 ? box.x < 190 : box.x > -36) {
                ASSERT_LT(++steps, 2000);
                vy += 0.2f;
                const float fromX = box.x;
                const BoxMove m = MoveBox(grid, box, {dx, vy});
                box = m.box;
                if (m.hitBottom)
                    vy = 0;
                ASSERT_TRUE(m.hitBottom) << "step " << steps << " x " << box.x;
                ASSERT_FALSE(m.hitLeft || m.hitRight) << "step " << steps << " x " << fromX;
                ASSERT_EQ(box.x, fromX + dx);
                const float ground = float(Ground(kSlopes, box.x + 3.0));
                const float bottom = box.y + box.height;
                ASSERT_LE(bottom, ground) << "step " << steps << " x " << box.x;
                ASSERT_GE(bottom, std::nextafter(ground, 0.0f))
                    << "step " << steps << " x " << box.x;
                ASSERT_FALSE(Sunk(grid, box)) << "step " << steps << " x " << box.x;
            }
        }
    }
}

TEST(CellGrid, SlopesMetFromAboveAndFromTheSide) {
    struct Case {
        const char* what;
        Rectangle box;
        glm::vec2 delta;
        glm::vec2 want;
        const char* hits;
    };
    const Case cases[] = {
        // The box's foot on the ramp, its right corner in it.
        {"lands on a 45 degree ramp", {10, 0, 6, 10}, {0, 100}, {10, 57}, "b"},
        {"lands on a 22.5 degree ramp", {122, 0, 6, 10}, {0, 100}, {122, 75.5f}, "b"},
        // A free side holds the box by its corner, its foot over the air.
        {"stands on a cliff's edge by its corner", {197.5f, 40, 6, 10}, {0, 20}, {197.5f, 46}, "b"},
        {"and on a ramp's free side", {228, 40, 6, 10}, {0, 30}, {228, 62}, "b"},
        {"lands on a ledge", {250, 0, 6, 10}, {0, 100}, {250, 70}, "b"},
        {"a ramp's tall side is a wall", {220, 78, 6, 10}, {30, 0}, {226, 78}, "r"},
        {"so is a ledge's", {242, 75, 6, 10}, {30, 1}, {242, 75}, "rb"},
        {"up a ramp until its head meets a ceiling", {-16, 68, 6, 20}, {20, 0}, {1, 56}, "r"},
        {"a floor met from below is whole", {106, 70, 4, 4}, {0, -30}, {106, 56}, "t"},
        {"a head under a floating ramp stops at its side", {90, 50, 6, 38}, {20, 0}, {98, 50}, "r"},
    };
    CellGrid grid = SlopeGrid(kSlopes);
    grid.Set(2, 2, true);        // a ceiling over the first ramp, y 40 to 56
    grid.SetFloor(9, 2, {0, 4}); // a floating ramp, x 104 to 120
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BoxMove m = MoveBox(grid, c.box, c.delta);
        EXPECT_EQ(m.box.x, c.want.x);
        EXPECT_EQ(m.box.y, c.want.y);
        const std::string hits = std::string(m.hitLeft ? "l" : "") + (m.hitRight ? "r" : "") +
                                 (m.hitTop ? "t" : "") + (m.hitBottom ? "b" : "");
        EXPECT_EQ(hits, c.hits);
        EXPECT_FALSE(Sunk(grid, m.box));
    }
    // A head flush under a ceiling: one long step onto a ramp must not rise
    // past the ceiling's corner on the way, which the box's end clears: it
    // goes until its foot reaches the ramp.
    CellGrid tight(2, 3, 16, 16);
    tight.Set(0, 0, true);
    tight.SetFloor(1, 1, {0, 8});
    tight.Set(0, 2, true);
    tight.Set(1, 2, true);
    const BoxMove m = MoveBox(tight, {9, 16, 6, 16}, {8, 0});
    EXPECT_NEAR(m.box.x, 13, 1e-3);
    EXPECT_EQ(m.box.y, 16);
    EXPECT_TRUE(m.hitRight);
}

// Thousands of random moves over a random grid of slopes, ledges and whole
// cells: a box that starts clear never ends sunk, and one that reports no hit
// along x went all the way.
TEST(CellGrid, RandomMovesOverSlopesNeverEndInside) {
    std::mt19937 random(7);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    CellGrid grid(14, 10, 16, 12, {-3.5f, 5.25f});
    const float heights[] = {0, 3, 6, 12};
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.columns; ++c) {
            const int kind = int(random() % 8);
            if (kind == 0)
                grid.Set(c, r, true);
            else if (kind < 4)
                grid.SetFloor(c, r, {heights[random() % 4], heights[random() % 4]});
        }
    Rectangle box;
    int dipped = 0;
    for (int i = 0; i < 20000; ++i) {
        // Every third move goes on from where the last ended: corners dipped
        // into slopes as only a move leaves them.
        if (i % 3 == 0)
            do
                box = {uniform(-10, 230), uniform(-5, 130), uniform(1, 30), uniform(1, 30)};
            while (grid.Solid(box));
        const float big = i % 10 == 0 ? 200.0f : 20.0f;
        const glm::vec2 delta{i % 7 == 0 ? 0 : uniform(-big, big),
                              i % 5 == 0 ? 0 : uniform(-big, big)};
        const BoxMove m = MoveBox(grid, box, delta);
        ASSERT_FALSE(Sunk(grid, m.box))
            << i << ": box " << box.x << ", " << box.y << " " << box.width << " x " << box.height
            << " by " << delta.x << ", " << delta.y;
        if (!m.hitLeft && !m.hitRight) {
            ASSERT_EQ(m.box.x, box.x + delta.x) << i;
        }
        dipped += grid.Solid(m.box);
        box = m.box;
    }
    EXPECT_GT(dipped, 500);
}

} // namespace
