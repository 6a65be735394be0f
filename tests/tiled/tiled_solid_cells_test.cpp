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

std::vector<std::string> Picture(const Engine::CellGrid& grid) {
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
        const Engine::CellGrid grid = SolidCells(map, c.which);
        EXPECT_EQ(Picture(grid), c.want);
        EXPECT_EQ(grid.cellWidth, 8.0f);
        EXPECT_EQ(grid.cellHeight, 6.0f);
        EXPECT_EQ(grid.origin, glm::vec2(0, 0));
    }
    EXPECT_THROW(SolidCells(map, {.layer = "nope"}), MapError);
    EXPECT_THROW(SolidCells(Parse(SmallMap("isometric"), "iso.tmx"), {}), MapError);
}

} // namespace
