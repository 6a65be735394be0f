#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/Transform.h>

#include "game/Level.h"

using namespace Engine;

namespace {

LevelData ParseText(const std::string& text) {
    std::istringstream in(text);
    return Level::Parse(in);
}

std::string ErrorOf(const std::string& text) {
    try {
        ParseText(text);
    } catch (const LevelError& error) {
        return error.what();
    }
    return "no error";
}

TEST(LevelParse, ReadsColumnsOfRowsAndTheTileSet) {
    LevelData level = ParseText(R"({"board": [[0, -1], [1, 5, 6], []],
        "tilemap_path": "./Assets/tiles.png", "tile_w": 64, "tile_h": 32, "other": true})");
    ASSERT_EQ(level.board.size(), 3u);
    EXPECT_EQ(level.board[0], (std::vector<int>{0, -1}));
    EXPECT_EQ(level.board[1], (std::vector<int>{1, 5, 6}));
    EXPECT_TRUE(level.board[2].empty());
    EXPECT_EQ(level.tilemapPath, "./Assets/tiles.png");
    EXPECT_EQ(level.tileW, 64);
    EXPECT_EQ(level.tileH, 32);
}

TEST(LevelParse, NumbersAreCutToIntegersAndTrailingTextIsIgnored) {
    LevelData level = ParseText(R"({"board": [[2.9, -1.0]], "tilemap_path": "t.png",
        "tile_w": 64.9, "tile_h": 64} trailing text [)");
    EXPECT_EQ(level.board[0], (std::vector<int>{2, -1}));
    EXPECT_EQ(level.tileW, 64);
}

TEST(LevelParse, BrokenFilesGiveTheReason) {
    const std::string tail = R"("tilemap_path": "t.png", "tile_w": 64, "tile_h": 64})";
    EXPECT_NE(ErrorOf("").find("parse error"), std::string::npos);
    EXPECT_NE(ErrorOf("{\"board\": [[0]], // comment\n" + tail).find("parse error"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"("just a string")").find("cannot use operator[] with a string argument"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"board": [[0]], "tile_w": 64, "tile_h": 64})")
                  .find("type must be string, but is null"),
              std::string::npos);
    EXPECT_EQ(ErrorOf("{" + tail), "type must be array, but is null");
    EXPECT_EQ(ErrorOf(R"({"board": [0], )" + tail), "type must be array, but is number");
    EXPECT_EQ(ErrorOf(R"({"board": [["0"]], )" + tail), "type must be number, but is string");
    EXPECT_EQ(ErrorOf(R"({"board": [[true]], )" + tail), "type must be number, but is boolean");
    EXPECT_EQ(ErrorOf(R"({"board": [[null]], )" + tail), "type must be number, but is null");
    EXPECT_EQ(ErrorOf(R"({"board": [], "tilemap_path": "t", "tile_w": 64})"),
              "type must be number, but is null");
}

TEST(LevelParse, NumbersOutsideTheIntRangeAreRejected) {
    const std::string tail = R"("tilemap_path": "t.png", "tile_w": 64, "tile_h": 64})";
    for (const char* number :
         {"2147483648", "-2147483649", "1e300", "-1e10", "18446744073709551615"})
        EXPECT_NE(ErrorOf(std::string(R"({"board": [[)") + number + "]], " + tail)
                      .find("out of the 32-bit range"),
                  std::string::npos)
            << number;
    LevelData edge = ParseText(R"({"board": [[2147483647, -2147483648, 2147483647.9]], )" + tail);
    EXPECT_EQ(edge.board[0], (std::vector<int>{2147483647, -2147483647 - 1, 2147483647}));
}

TEST(LevelParse, TileSizeMustBePositive) {
    EXPECT_EQ(ErrorOf(R"({"board": [], "tilemap_path": "t", "tile_w": 0, "tile_h": 64})"),
              "tile size 0 by 64 is not positive");
    EXPECT_EQ(ErrorOf(R"({"board": [], "tilemap_path": "t", "tile_w": 64, "tile_h": -3})"),
              "tile size 64 by -3 is not positive");
    // 0.5 is cut to 0.
    EXPECT_NE(ErrorOf(R"({"board": [], "tilemap_path": "t", "tile_w": 0.5, "tile_h": 1})"),
              "no error");
}

TEST(LevelLoad, MissingFileOrDirectoryIsAnError) {
    try {
        Level::Load("/nonexistent/level.json");
        FAIL();
    } catch (const LevelError& error) {
        EXPECT_STREQ(error.what(), "cannot open: No such file or directory");
    }
    try {
        Level::Load("/tmp");
        FAIL();
    } catch (const LevelError& error) {
        EXPECT_STREQ(error.what(), "cannot open: Is a directory");
    }
    // A map the reader takes but the game cannot play on: one line, naming
    // the map once (as whoever reports it names the file).
    const std::string iso = testing::TempDir() + "iso-level.tmx";
    std::ofstream(iso) << R"(<map orientation="isometric" width="2" height="2" tilewidth="64" )"
                          R"(tileheight="32"><layer name="l" width="2" height="2"><data )"
                          R"(encoding="csv">0,0,0,0</data></layer></map>)";
    try {
        Level::Load(iso);
        FAIL();
    } catch (const LevelError& error) {
        EXPECT_STREQ(
            error.what(),
            "the map is isometric; a level of this side-view game must be an orthogonal map");
    }
    std::remove(iso.c_str());
}

class LevelCells : public ::testing::Test {
protected:
    void SetUp() override {
        ecs.Reset();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Collider>();
        ecs.RegisterComponent<ForceApplier>();
    }
    void TearDown() override { ecs.Reset(); }
    ECS& ecs = ECS::Get();
};

TEST_F(LevelCells, OneEntityPerNonEmptyCellColumnByColumn) {
    // Column 0: a draught at the top; column 2: a solid block at row 3.
    std::vector<std::vector<int>> board = {{5, -1}, {}, {-1, -1, -1, 7}, {0}};
    EXPECT_EQ(Level::CreateCells(board), 3u);

    auto zone = ecs.GetComponent<ForceApplier>(1);
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->force, glm::vec3(0, -2400, 0));
    EXPECT_EQ(ecs.GetComponent<Transform>(1)->position, glm::vec3(0, 0, 0));
    EXPECT_FALSE(ecs.GetComponent<Collider>(1)->solid);

    EXPECT_EQ(ecs.GetComponent<Transform>(2)->position, glm::vec3(128, 192, 0));
    EXPECT_EQ(ecs.GetComponent<Transform>(2)->scale, glm::vec3(64, 64, 0));
    auto block = ecs.GetComponent<Collider>(2);
    EXPECT_TRUE(block->solid);
    EXPECT_EQ(block->width, 64);
    EXPECT_EQ(block->height, 64);
    EXPECT_FALSE(ecs.GetComponent<ForceApplier>(2));

    EXPECT_EQ(ecs.GetComponent<Transform>(3)->position, glm::vec3(192, 0, 0));
}

TEST_F(LevelCells, EmptyBoardsMakeNothing) {
    EXPECT_EQ(Level::CreateCells({}), 0u);
    EXPECT_EQ(Level::CreateCells({{-1, -1}, {}}), 0u);
    EXPECT_EQ(ecs.EntityCount(), 0u);
}

} // namespace
