#include <gtest/gtest.h>

#include <engine/render/TileMap.h>

#include "support/RenderImages.h"

using namespace Engine;
using EngineTest::FakeSheet;
using Grid = std::vector<std::vector<int>>;

TEST(TileMap, TileNumbersThatNameNoTileAreReportedOnce) {
    testing::internal::CaptureStderr();
    TileMap map(CreateRef<FakeSheet>(128.0f, 64.0f), Grid{{0, -1, 2}, {1, -7}, {}, {99}}, 64, 64);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("TILEMAP: 3 cells name no tile"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    for (int v : {-1, -7, 2, 99}) {
        EXPECT_FALSE(map.IsDrawable(v)) << v;
        EXPECT_EQ(map.getTile(v), nullptr) << v;
    }
    EXPECT_TRUE(map.IsDrawable(1));

    testing::internal::CaptureStderr();
    TileMap fine(CreateRef<FakeSheet>(128.0f, 64.0f), Grid{{0, -1}, {1, 1}}, 64, 64);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(TileMap, SheetWithoutAWholeTileWarnsOnce) {
    for (auto [w, tw, th] :
         {std::tuple{32.0f, 64, 64}, std::tuple{64.0f, 0, 64}, std::tuple{64.0f, 64, -64}}) {
        testing::internal::CaptureStderr();
        TileMap map(CreateRef<FakeSheet>(w, 64.0f), Grid{{0, 1}, {-1, 3}}, tw, th);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(map.lookup.empty());
        EXPECT_NE(err.find("TILEMAP: "), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}
