#include <gtest/gtest.h>

#include "RenderImages.h"
#include "TileMap.h"

using namespace Engine;
using EngineTest::FakeSheet;
using Grid = std::vector<std::vector<int>>;

TEST(TileMap, CutsTheSheetIntoTiles) {
    TileMap map(CreateRef<FakeSheet>(128.0f, 64.0f, 7), Grid{{0, 1}}, 64, 64);
    EXPECT_EQ(map.tileWidth, 64);
    EXPECT_EQ(map.tileHeight, 64);
    ASSERT_EQ(map.lookup.size(), 2u);
    EXPECT_FLOAT_EQ(map.getTile(0)->getInternalX(), 0.0f);
    EXPECT_FLOAT_EQ(map.getTile(1)->getInternalX(), 0.5f);
    for (int i : {0, 1}) {
        EXPECT_FLOAT_EQ(map.getTile(i)->getInternalY(), 0.0f);
        EXPECT_FLOAT_EQ(map.getTile(i)->getInternalWidth(), 0.5f);
        EXPECT_FLOAT_EQ(map.getTile(i)->getInternalHeight(), 1.0f);
        EXPECT_EQ(map.getTile(i)->getID(), 7u);
    }
}

TEST(TileMap, TileNumbersThatNameNoTileAreReportedOnceAndNotDrawable) {
    testing::internal::CaptureStderr();
    TileMap map(CreateRef<FakeSheet>(128.0f, 64.0f), Grid{{0, -1, 2}, {1, -7}, {}, {99}}, 64, 64);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TILEMAP: 3 cells name no tile"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(map.IsDrawable(0));
    EXPECT_TRUE(map.IsDrawable(1));
    for (int v : {-1, -7, 2, 99})
        EXPECT_FALSE(map.IsDrawable(v)) << v;
    EXPECT_EQ(map.getTile(2), nullptr);
    EXPECT_EQ(map.getTile(-1), nullptr);

    // A valid grid says nothing.
    testing::internal::CaptureStderr();
    TileMap fine(CreateRef<FakeSheet>(128.0f, 64.0f), Grid{{0, -1}, {1, 1}}, 64, 64);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(TileMap, SheetWithoutAWholeTileWarnsOnce) {
    for (auto [w, h, tw, th] : {std::tuple{32.0f, 64.0f, 64, 64}, std::tuple{64.0f, 64.0f, 0, 64},
                                std::tuple{64.0f, 64.0f, 64, -64}}) {
        testing::internal::CaptureStderr();
        TileMap map(CreateRef<FakeSheet>(w, h), Grid{{0, 1}, {-1, 3}}, tw, th);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(map.lookup.empty());
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("TILEMAP: "), std::string::npos) << err;
        EXPECT_EQ(map.getTile(0), nullptr);
    }
}

TEST(TileMap, CopiesShareRegionsAndDuplicateTheGrid) {
    TileMap map(CreateRef<FakeSheet>(128.0f, 64.0f), Grid{{0, -1}, {1}}, 64, 64);
    TileMap copy = map;
    EXPECT_EQ(copy.lookup[1], map.lookup[1]);
    EXPECT_EQ(copy.mainTex, map.mainTex);
    copy.boardData[0][0] = 1;
    EXPECT_EQ(map.getMapData(), (Grid{{0, -1}, {1}})); // ragged columns kept as given
}
