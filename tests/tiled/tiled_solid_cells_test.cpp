// A map's solid cells as a grid for moving boxes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <engine/tiled/TiledMap.h>

using namespace Engine::Tiled;

namespace {

// Tile 1 is of the class "solid", tile 2 has the bool property solid, tile 3
// another class, tile 4 nothing; the second layer is hidden. 2147483649 is
// tile 1 flipped left to right.
std::string SmallMap(const char* orientation) {
    return std::string(R"(<map version="1.10" orientation=")") + orientation +
           R"(" width="4" height="3" tilewidth="8" tileheight="6">)"
           R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="6" tilecount="4" columns="2">)"
           R"(<image source="t.png" width="16" height="12"/>)"
           R"(<tile id="0" class="solid"/>)"
           R"(<tile id="1"><properties><property name="solid" type="bool" value="true"/>)"
           R"(</properties></tile><tile id="2" class="water"/></tileset>)"
           R"(<layer id="1" name="walls" width="4" height="3"><data encoding="csv">)"
           R"(1,0,0,2, 0,2147483649,0,0, 3,0,0,4</data></layer>)"
           R"(<layer id="2" name="hidden" width="4" height="3" visible="0"><data encoding="csv">)"
           R"(0,0,1,0, 0,0,0,0, 0,0,0,0</data></layer></map>)";
}

std::vector<std::string> Picture(const ::Engine::CellGrid& grid) {
    std::vector<std::string> rows;
    for (int r = 0; r < grid.rows; ++r) {
        rows.emplace_back();
        for (int c = 0; c < grid.columns; ++c)
            rows.back() += grid.Solid(c, r) ? '#' : '.';
    }
    return rows;
}

TEST(TiledSolidCells, ByClassOrPropertyOnOneLayerOrAll) {
    const Map map = Parse(SmallMap("orthogonal"), "small.tmx");
    struct Case {
        SolidTiles which;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {{.tileClass = "solid"}, {"#...", ".#..", "...."}},
        {{.property = "solid"}, {"...#", "....", "...."}},
        {{.tileClass = "solid", .property = "solid"}, {"#..#", ".#..", "...."}},
        {{}, {"#..#", ".#..", "#..#"}},
        {{.layer = "hidden"}, {"..#.", "....", "...."}},
        {{.tileClass = "water", .layer = "walls"}, {"....", "....", "#..."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.which.tileClass + "/" + c.which.property + "/" + c.which.layer);
        const ::Engine::CellGrid grid = SolidCells(map, c.which);
        EXPECT_EQ(Picture(grid), c.want);
        EXPECT_EQ(grid.cellWidth, 8.0f);
        EXPECT_EQ(grid.cellHeight, 6.0f);
        EXPECT_EQ(grid.origin, glm::vec2(0, 0));
    }
    EXPECT_THROW(SolidCells(map, {.layer = "nope"}), MapError);
    EXPECT_THROW(SolidCells(Parse(SmallMap("isometric"), "iso.tmx"), {}), MapError);

    // A layer moved, as DrawMap draws it: a cell right and up, its top row
    // off the map; by pixels, to the nearest cell, with a warning.
    struct Moved {
        const char* offset;
        std::vector<std::string> want;
        bool warned;
    };
    const Moved moved[] = {
        {R"(offsetx="8" offsety="-6")", {"..#.", "....", "...."}, false},
        {R"(offsetx="3" offsety="4")", {"....", "#...", ".#.."}, true},
        {R"(offsetx="-1e300")", {"....", "....", "...."}, false},
    };
    for (const Moved& m : moved) {
        std::string text = SmallMap("orthogonal");
        text.replace(text.find(R"(name="walls")"), 12, std::string(R"(name="walls" )") + m.offset);
        ::testing::internal::CaptureStderr();
        const ::Engine::CellGrid grid = SolidCells(Parse(text, "moved.tmx"), {.tileClass = "solid"});
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(Picture(grid), m.want) << m.offset;
        EXPECT_EQ(err.find("not whole cells") != std::string::npos, m.warned) << m.offset << err;
    }
}

// Tiles 8 square with collision shapes: 1 a 45 degree ramp up to the right,
// 2 a ledge half high, 3 a 22.5 degree ramp, 4 an ellipse, 5 a triangle that
// does not reach the bottom, 6 two shapes, 7 none. Flips (H 0x80000000, V
// 0x40000000, D 0x20000000) turn them.
TEST(TiledSolidCells, TilesCollisionShapesMakeFloors) {
    const std::string tiles =
        R"(<tile id="0"><objectgroup><object id="1" x="0" y="8"><polygon points="0,0 8,-8 8,0"/>)"
        R"(</object></objectgroup></tile>)"
        R"(<tile id="1"><objectgroup><object id="1" x="0" y="4" width="8" height="4"/></objectgroup></tile>)"
        R"(<tile id="2"><objectgroup><object id="1" x="8" y="8"><polygon points="0,0 0,-4 -4,-2 -8,0"/>)"
        R"(</object></objectgroup></tile>)"
        R"(<tile id="3"><objectgroup><object id="1" x="0" y="0" width="8" height="8"><ellipse/>)"
        R"(</object></objectgroup></tile>)"
        R"(<tile id="4"><objectgroup><object id="1" x="0" y="0"><polygon points="0,6 8,0 8,6"/>)"
        R"(</object></objectgroup></tile>)"
        R"(<tile id="5"><objectgroup><object id="1" x="0" y="4" width="8" height="4"/>)"
        R"(<object id="2" x="0" y="0" width="2" height="2"/></objectgroup></tile>)";
    auto map = [&](const std::string& gids) {
        return Parse(
            R"(<map version="1.10" orientation="orthogonal" width="12" height="1" tilewidth="8" tileheight="8">)"
            R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8" tilecount="8" columns="4">)"
            R"(<image source="t.png" width="32" height="16"/>)" +
                tiles +
                R"(</tileset><layer id="1" name="l" width="12" height="1">)"
                R"(<data encoding="csv">)" +
                gids + "</data></layer></map>",
            "shapes.tmx");
    };
    using Floors = std::vector<std::pair<float, float>>;
    auto floors = [](const ::Engine::CellGrid& grid) {
        Floors all;
        for (int c = 0; c < grid.columns; ++c)
            all.emplace_back(grid.Floor(c, 0).left, grid.Floor(c, 0).right);
        return all;
    };
    const uint32_t H = 0x80000000u, V = 0x40000000u, D = 0x20000000u;
    // 3 is drawn backwards, with a corner in the middle of its top: still a ramp.
    EXPECT_EQ(floors(SolidCells(map("1,2,3,4,5,6,7,8,0,1,2,3"), {})), (Floors{{0, 8},
                                                                              {4, 4},
                                                                              {0, 4},
                                                                              {8, 8},
                                                                              {8, 8},
                                                                              {8, 8},
                                                                              {8, 8},
                                                                              {8, 8},
                                                                              {0, 0},
                                                                              {0, 8},
                                                                              {4, 4},
                                                                              {0, 4}}));
    const std::string flipped = std::to_string(1 | H) + "," + std::to_string(3 | H) + "," +
                                std::to_string(1 | D) + "," + std::to_string(1 | V) + "," +
                                std::to_string(3 | D) + "," + std::to_string(2 | V) + "," +
                                std::to_string(1 | D | H) + ",0,0,0,0,0";
    EXPECT_EQ(floors(SolidCells(map(flipped), {})), (Floors{{8, 0},
                                                            {4, 0},
                                                            {0, 8},
                                                            {8, 8},
                                                            {8, 8},
                                                            {8, 8},
                                                            {8, 0},
                                                            {0, 0},
                                                            {0, 0},
                                                            {0, 0},
                                                            {0, 0},
                                                            {0, 0}}));
}

} // namespace
