// A Tiled map turned into tile maps without a window: flips as placements of
// the quad, tiles cut from sheets with margin and spacing, one grid a layer,
// layers made in the order the registry draws them.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>
#include <engine/tiled/TiledTileMap.h>

#include "tiled/TiledTestData.h"

using namespace Engine;
using namespace ::Engine::Tiled;
using EngineTest::FakeSheet;
using TiledTest::kData;

namespace {

Map Rich() {
    return Load(kData + "rich.tmx");
}

// Stand-ins for the two sheets of the rich map, with texture names of their own.
std::vector<Ref<Texture2D>> FakeSheets(float marksWidth = 200.0f, float marksHeight = 133.0f) {
    return {CreateRef<FakeSheet>(256.0f, 192.0f, 11),
            CreateRef<FakeSheet>(marksWidth, marksHeight, 12)};
}

TEST(TiledTileMap, FlipsPlaceTheQuadAsTiledTurnsTheTile) {
    using namespace TileFlip;
    // Where the tile's own top-left and top-right corners land in its cell
    // (y down). Tiled's "rotate clockwise" is the diagonal and horizontal
    // flip, "counter-clockwise" the diagonal and vertical one.
    struct Case {
        uint8_t flips;
        glm::vec2 topLeft, topRight;
    };
    const Case cases[] = {
        {0, {0, 0}, {1, 0}},
        {HORIZONTAL, {1, 0}, {0, 0}},
        {VERTICAL, {0, 1}, {1, 1}},
        {HORIZONTAL | VERTICAL, {1, 1}, {0, 1}}, // half a turn
        {DIAGONAL, {0, 0}, {0, 1}},
        {DIAGONAL | HORIZONTAL, {1, 0}, {1, 1}}, // a quarter turn clockwise
        {DIAGONAL | VERTICAL, {0, 1}, {0, 0}},   // a quarter turn the other way
        {DIAGONAL | HORIZONTAL | VERTICAL, {1, 1}, {1, 0}},
    };
    for (const Case& c : cases) {
        const glm::mat4 m = TileFlipMatrix(c.flips);
        const glm::vec4 tl = m * glm::vec4(0, 0, 0, 1), tr = m * glm::vec4(1, 0, 0, 1);
        EXPECT_EQ(glm::vec2(tl), c.topLeft) << int(c.flips);
        EXPECT_EQ(glm::vec2(tr), c.topRight) << int(c.flips);
        // The cell stays the cell: its centre does not move.
        EXPECT_EQ(glm::vec2(m * glm::vec4(0.5f, 0.5f, 0, 1)), glm::vec2(0.5f, 0.5f));
    }
}

TEST(TiledTileMap, GridsOfLayersIndexTheTilesOfAllSheets) {
    const Map map = Rich();
    // Column by column, each index counting the first tile set's 12 tiles.
    const LayerGrid ground = GridOf(map, map.layers[0]);
    ASSERT_EQ(ground.tiles.size(), 16u);
    ASSERT_EQ(ground.tiles[0].size(), 10u);
    EXPECT_EQ(ground.tiles[1][2], 5);
    EXPECT_EQ(ground.tiles[0][0], -1);
    EXPECT_EQ(ground.tiles[15][9], 2);
    EXPECT_TRUE(ground.flips.empty()); // no cell of it is turned

    const LayerGrid deco = GridOf(map, map.layers[1]);
    constexpr uint8_t H = TileFlip::HORIZONTAL, V = TileFlip::VERTICAL, D = TileFlip::DIAGONAL;
    const uint8_t want[8] = {0, H, V, H | V, D, D | H, D | V, D | H | V};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(deco.tiles[1 + i][1], 12) << i; // marks tile 0
        EXPECT_EQ(deco.flips[1 + i][1], want[i]) << i;
        EXPECT_EQ(deco.tiles[1 + i][3], 7) << i; // the crate of the first sheet
        EXPECT_EQ(deco.flips[1 + i][3], want[i]) << i;
    }
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(deco.tiles[size_t(10 + k)][1], 12 + k);
    EXPECT_EQ(deco.flips[0][0], 0);

    // Tiles drawn at the grid's size (Tiled 1.9) fill the cells when
    // stretched, or fitted into cells of their own shape; fitted into cells
    // of another shape they do not.
    const std::string image = R"(<image source="t.png" width="16" height="16"/></tileset>)";
    const Map grid = Parse(
        R"(<map orientation="orthogonal" width="3" height="1" tilewidth="8" tileheight="8">)"
        R"(<tileset firstgid="1" name="s" tilewidth="16" tileheight="16" tilerendersize="grid">)" +
            image +
            R"(<tileset firstgid="2" name="f" tilewidth="16" tileheight="8" tilerendersize="grid" )"
            R"(fillmode="preserve-aspect-fit">)" +
            image +
            R"(<tileset firstgid="4" name="g" tilewidth="16" tileheight="16" tilerendersize="grid" )"
            R"(fillmode="preserve-aspect-fit">)" +
            image +
            R"(<layer name="l" width="3" height="1"><data encoding="csv">1,2,4</data></layer></map>)",
        "grid.tmx");
    const LayerGrid cells = GridOf(grid, grid.layers[0]);
    EXPECT_EQ(cells.tiles[0][0], 0);
    EXPECT_EQ(cells.tiles[1][0], -1);
    EXPECT_EQ(cells.tiles[2][0], 3);
}

TEST(TiledTileMap, TilesAreCutWithMarginAndSpacing) {
    const Map map = Rich();
    const std::vector<Ref<Texture>> tiles = CutTiles(map, FakeSheets());
    ASSERT_EQ(tiles.size(), 18u);
    // Tile 5 of the first sheet: column 1, row 1 of 4 x 3.
    EXPECT_EQ(tiles[5]->getID(), 11u);
    EXPECT_FLOAT_EQ(tiles[5]->getInternalX(), 0.25f);
    EXPECT_FLOAT_EQ(tiles[5]->getInternalY(), 1.0f / 3.0f);
    for (int k = 0; k < 6; ++k) {
        const Texture& t = *tiles[size_t(12 + k)];
        const int px = 2 + 67 * (k % 3), py = 2 + 67 * (k / 3);
        EXPECT_EQ(t.getID(), 12u);
        EXPECT_EQ(t.getWidth(), 64.0f);
        EXPECT_FLOAT_EQ(t.getInternalX(), px / 200.0f) << k;
        // From the bottom of the picture.
        EXPECT_FLOAT_EQ(t.getInternalY(), (133 - py - 64) / 133.0f) << k;
        EXPECT_FLOAT_EQ(t.getInternalWidth(), 64 / 200.0f);
        EXPECT_FLOAT_EQ(t.getInternalHeight(), 64 / 133.0f);
    }

    // A sheet smaller than the tile set says is cut as Tiled cuts the image
    // it has, in two columns here: the tiles it lacks are left empty and not
    // drawn, with one warning; a missing sheet likewise.
    testing::internal::CaptureStderr();
    const auto cut = CutTiles(map, FakeSheets(140.0f, 133.0f));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the image is 140x133 pixels, the tile set says 200x133"), std::string::npos)
        << err;
    EXPECT_NE(err.find("2 of its 6 tiles lie outside its image"), std::string::npos) << err;
    std::vector<bool> present;
    for (size_t k = 12; k < 18; ++k)
        present.push_back(cut[k] != nullptr);
    EXPECT_EQ(present, (std::vector<bool>{true, true, true, true, false, false}));
    EXPECT_FLOAT_EQ(cut[14]->getInternalY(), (133 - 69 - 64) / 133.0f);
    testing::internal::CaptureStderr();
    const auto none = CutTiles(map, {FakeSheets()[0]});
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(none.size(), 18u);
    EXPECT_NE(none[11], nullptr);
    EXPECT_EQ(none[12], nullptr);
}

TEST(TiledTileMap, OneTileMapForEachVisibleLayer) {
    const Map map = Rich();
    testing::internal::CaptureStderr();
    const std::vector<LayerTileMap> maps = MakeTileMaps(map, FakeSheets());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\x1b[0;31mTILED: " + kData +
                  "rich.tmx: not drawn yet: tile objects (first on object layer \"objects\"); "
                  "left out\x1b[0m\n");
    ASSERT_EQ(maps.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(maps[i].layer, i); // ground, decoration, front; not the hidden ones
        EXPECT_EQ(maps[i].tileMap.tileWidth, 64);
        EXPECT_EQ(maps[i].tileMap.lookup.size(), 18u);
        EXPECT_FALSE(maps[i].tileMap.singleTexture);
        for (const auto& column : maps[i].tileMap.boardData)
            for (int v : column)
                EXPECT_TRUE(v == -1 || maps[i].tileMap.IsDrawable(v));
    }
    EXPECT_EQ(maps[1].tileMap.FlipsAt(2, 1), TileFlip::HORIZONTAL);
    EXPECT_EQ(maps[1].tileMap.FlipsAt(99, 99), 0);
    // The tiles are cut once and shared.
    EXPECT_EQ(maps[0].tileMap.lookup[3], maps[2].tileMap.lookup[3]);
}

TEST(TiledTileMap, SheetsAndPicturesAreDecodedOrRefusedNamingWhereTheyAreShown) {
    TiledTest::DataCopy copy;
    const Map map = Load(copy.File("rich.tmx"));
    const std::vector<Image> images = DecodeSheets(map);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].Width(), 256);
    EXPECT_EQ(images[1].Width(), 200);
    EXPECT_EQ(images[1].Height(), 133);

    struct Case {
        std::function<void()> spoil;
        std::string part;
        Limits limits;
    };
    // Larger than the other sheet, which passes.
    Limits small;
    small.maxFileBytes = std::filesystem::file_size(copy.File("tiles.png")) + 1;
    const std::string marks = copy.File("marks.png");
    const Case cases[] = {
        {[&] { std::filesystem::remove(marks); }, "cannot open", {}},
        {[&] {
             std::filesystem::remove(marks);
             std::filesystem::create_directory(marks);
         },
         "not a regular file",
         {}},
        {[&] { TiledTest::WriteText(marks, "not a picture"); }, "unknown image type", {}},
        {[&] { std::ofstream(marks, std::ios::app) << std::string(small.maxFileBytes, '.'); },
         "more than the limit of " + std::to_string(small.maxFileBytes), small},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(marks);
        EngineTest::WritePng(marks, 200, 133, TiledTest::MarkPixel);
        c.spoil();
        try {
            DecodeSheets(map, c.limits);
            ADD_FAILURE() << c.part;
        } catch (const MapError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(copy.File("rich.tmx") + ": tile set \"marks\" (" +
                                   copy.File("marks.tsx") + "): image \"" + marks + "\""),
                      std::string::npos)
                << message;
            EXPECT_NE(message.find(c.part), std::string::npos) << message;
        }
    }

    // The pictures of collection tiles and image layers, read as sheets are:
    // only those a visible layer shows, each file once for each colour key, the
    // key made clear, a refusal naming where the map shows it; their pixels are
    // counted against the cap from their headers, before any is decoded.
    EngineTest::WritePng(copy.File("a.png"), 2, 1,
                         [](int x, int) { return x ? TiledTest::kMagenta : EngineTest::kWhite; });
    // A header that claims the largest picture there is, and nothing after it.
    std::string big = "\x89PNG\r\n\x1a\n";
    const std::string ihdr =
        std::string("IHDR") + std::string("\0\0\x40\0\0\0\x40\0\x08\x06\0\0\0", 13);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), uInt(ihdr.size()));
    big += std::string("\0\0\0\x0d", 4) + ihdr;
    for (int shift = 24; shift >= 0; shift -= 8)
        big += char((crc >> shift) & 0xFF);
    TiledTest::WriteText(copy.File("big.png"), big);
    auto shown = [&](const std::string& sky) {
        return R"(<map orientation="orthogonal" width="2" height="1" tilewidth="8" tileheight="8">)"
               R"(<tileset firstgid="1" name="pics" tilewidth="2" tileheight="1">)"
               R"(<tile id="0"><image source="a.png" width="2" height="1"/></tile>)"
               R"(<tile id="1"><image source="a.png" trans="ff00ff" width="2" height="1"/></tile>)"
               R"(<tile id="2"><image source="gone.png"/></tile>)"
               // Shown through the frames of an animated tile alone.
               R"(<tile id="3"><image source="gone.png" width="2" height="1"/><animation><frame tileid="0" duration="9"/>)"
               R"(<frame tileid="1" duration="9"/></animation></tile></tileset>)"
               R"(<layer name="l" width="2" height="1"><data encoding="csv">4,4</data></layer>)"
               R"(<imagelayer name="sky"><image source=")" +
               sky +
               R"("/></imagelayer><imagelayer name="off" visible="0"><image source="gone.png"/>)"
               R"(</imagelayer></map>)";
    };
    const MapPictures pictures = DecodePictures(Parse(shown("a.png"), copy.File("m.tmx")));
    ASSERT_EQ(pictures.pictures.size(), 2u);
    EXPECT_EQ(pictures.tiles.at(0), (std::map<int, size_t>{{0, 0}, {1, 1}}));
    EXPECT_EQ(pictures.layers, (std::vector<std::optional<size_t>>{0, std::nullopt}));
    EXPECT_EQ(pictures.pictures[0].image.Pixels()[7], 255);
    EXPECT_EQ(pictures.pictures[1].image.Pixels()[7], 0) << "the magenta pixel is made clear";
    EXPECT_TRUE(pictures.pictures[0].opaque);
    EXPECT_FALSE(pictures.pictures[1].opaque);
    for (const auto& [sky, part] :
         {std::pair<std::string, std::string>{"gone.png", "m.tmx: image layer \"sky\": image \"" +
                                                              copy.File("gone.png") +
                                                              "\": cannot open"},
          {"big.png", "come to more than the limit of 268435456 pixels"}}) {
        try {
            DecodePictures(Parse(shown(sky), copy.File("m.tmx")));
            ADD_FAILURE() << sky;
        } catch (const MapError& error) {
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
        }
    }
}

TEST(TiledTileMap, WhatTheTileMapsDoNotDrawIsWarnedOfOnceAMap) {
    const std::string layer = R"(<data encoding="csv">1</data></layer>)";
    const std::string tmx =
        R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8" tileheight="8" backgroundcolor="#102030">)"
        R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8" trans="ff00ff"/>)"
        R"(<tile id="0"><animation><frame tileid="0" duration="100"/></animation></tile></tileset>)"
        R"(<tileset firstgid="2" name="big" tilewidth="16" tileheight="8"><image source="t.png" width="16" height="8"/></tileset>)"
        R"(<layer name="a" opacity="0.5">)" +
        layer + R"(<layer name="b" opacity="0.25" tintcolor="#80ff0000">)" + layer +
        R"(<layer name="c" offsetx="3"><data encoding="csv">2</data></layer>)"
        R"(<layer name="d" offsetx="16" offsety="8"><data encoding="csv">1</data></layer><layer name="white" tintcolor="#ffffff">)" +
        layer + R"(<layer name="hidden" visible="0" parallaxy="2">)" + layer +
        R"(<imagelayer name="sky"><image source="sky.png"/></imagelayer>)"
        R"(<imagelayer name="none"><image format="png"><data encoding="base64">AA==</data></image></imagelayer>)"
        R"(<group name="g" opacity="0.5"/><objectgroup name="o"><object id="1" x="1" y="1">)"
        R"(<point/></object><object id="2" width="8" height="8" rotation="90"><text bold="1" fontfamily="serif">hi</text></object>)"
        R"(</objectgroup></map>)";
    testing::internal::CaptureStderr();
    const Map map = Parse(tmx, "looks.tmx");
    const std::string read = testing::internal::GetCapturedStderr();
    // Read whole but for an image kept inside the map.
    EXPECT_EQ(map.unsupported, (std::vector<std::string>{"image data kept inside the map"}));
    EXPECT_NE(read.find("looks.tmx: image data kept inside the map (first on image layer "
                        "\"none\") is not read"),
              std::string::npos)
        << read;
    testing::internal::CaptureStderr();
    const std::vector<LayerTileMap> maps =
        MakeTileMaps(map, {CreateRef<FakeSheet>(8.0f, 8.0f, 11), nullptr});
    const std::string err = testing::internal::GetCapturedStderr();
    // Moved by whole cells, as SolidCells and DrawMap move it: two right, one down.
    EXPECT_EQ(maps.at(3).tileMap.boardData,
              (std::vector<std::vector<int>>{{}, {}, {-1, maps.at(0).tileMap.boardData[0][0]}}));
    // The hidden layer's parallax is never drawn, so not worth a warning.
    for (const char* line :
         {"looks.tmx: not drawn yet: the background colour (first on the map); the game's own "
          "shows",
          "layer opacity (first on layer \"a\"); drawn opaque",
          "tint colours (first on layer \"b\"); drawn untinted",
          "layer offsets of part of a cell (first on layer \"c\"); moved to the nearest cell",
          "tiles of another size than the map's cells (first on tile set \"big\"); left out",
          "tile animation (first on tile set \"t\"); drawn still",
          "image layers (first on image layer \"sky\"); left out"})
        EXPECT_NE(err.find(line), std::string::npos) << line << "\n" << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 7) << err;
    // The tile maps lay every map out on square cells.
    Map hexagonal = map;
    hexagonal.orientation = "hexagonal";
    testing::internal::CaptureStderr();
    MakeTileMaps(hexagonal, {CreateRef<FakeSheet>(8.0f, 8.0f, 11), nullptr});
    const std::string hexErr = testing::internal::GetCapturedStderr();
    EXPECT_NE(hexErr.find("looks.tmx: not drawn yet: isometric, staggered and hexagonal grids "
                          "(first on the map); drawn as an orthogonal one"),
              std::string::npos)
        << hexErr;

    // DrawLayer draws the rest, text in its family's font too; shapes are the
    // game's marks, drawn by neither.
    testing::internal::CaptureStderr();
    WarnUndrawn(map);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct Tag {
    int v;
};

class Recorder : public System<Tag> {
public:
    void Run(EntityID entity) override { seen.push_back(entity); }
    std::vector<EntityID> seen;
};

TEST(TiledTileMap, RegistryRunsEntitiesInTheOrderTheyCameToCarryTheSignature) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Tag>();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<TileMap>();
    auto recorder = CreateRef<Recorder>();
    const SystemID id = ecs.RegisterSystem(recorder);
    auto run = [&] {
        recorder->seen.clear();
        ecs.RunSystem(id);
        return recorder->seen;
    };
    const EntityID a = ecs.CreateEntity(), b = ecs.CreateEntity(), c = ecs.CreateEntity();
    ecs.AddComponent<Tag>(c, Tag{3});
    ecs.AddComponent<Tag>(a, Tag{1});
    // Asked for the first time: ascending ids.
    EXPECT_EQ(run(), (std::vector<EntityID>{a, c}));
    // Then in the order they come to carry it, whatever their ids.
    ecs.AddComponent<Tag>(b, Tag{2});
    const EntityID d = ecs.CreateEntity();
    ecs.AddComponent<Tag>(d, Tag{4});
    EXPECT_EQ(run(), (std::vector<EntityID>{a, c, b, d}));
    ecs.RemoveEntity(c);
    EXPECT_EQ(run(), (std::vector<EntityID>{a, b, d}));

    // A map's layers, made bottom first after other entities, run in that order.
    testing::internal::CaptureStderr();
    const std::vector<EntityID> layers = CreateTileMapEntities(Rich(), FakeSheets());
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(ecs.EntitiesWith(ecs.GetArchetype<TileMap, Transform>()), layers);
    EXPECT_EQ(ecs.GetComponent<TileMap>(layers[1])->FlipsAt(2, 1), TileFlip::HORIZONTAL);
    ecs.Reset();
}

} // namespace

// An animated tile's frame at each time: frames last their milliseconds, one
// of none is skipped, the loop starts over, and odd clocks show the first.
TEST(TiledTileMap, AnimatedTilesShowTheFrameDueAtTheTime) {
    Tileset ts;
    ts.tiles[2].animation = {{4, 100}, {7, 250}, {9, 0}, {2, 50}};
    ts.tiles[3].animation = {{5, 0}, {6, 0}};
    const struct {
        int tile;
        double seconds;
        int shown;
    } cases[] = {{2, 0.0, 4},      {2, 0.0999, 4}, {2, 0.1, 7}, {2, 0.3499, 7}, {2, 0.35, 2},
                 {2, 0.3999, 2},   {2, 0.4, 4},    {2, 4.1, 7}, {2, -1.0, 4},   {2, NAN, 4},
                 {2, INFINITY, 4}, {3, 5.0, 5},    {1, 3.0, 1}, {2, 3600.35, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(ts.FrameAt(c.tile, c.seconds), c.shown) << c.tile << " at " << c.seconds;
}
