// Tiled maps as the game's levels: the shipped level drawn in Tiled is the
// shipped level, what every file the real Tiled writes of it reads to, and
// what a map's tile classes, layers and objects make of its cells.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/MeshRenderer.h>
#include <engine/text/TextMesh.h>
#include <engine/tiled/TiledTileMap.h>

#include "game/Enemy.h"
#include "game/Level.h"
#include "game/Scene.h"
#include "game/Tuning.h"
#include "support/TiledExamples.h"

using namespace Engine;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tiled-level-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempDir() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    const fs::path& Path() const { return m_path; }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path / name, std::ios::binary) << text;
        return (m_path / name).string();
    }

private:
    fs::path m_path;
};

// The collision entities a level makes, as plain values, in the order made.
struct Made {
    glm::vec3 position, scale;
    float w, h;
    bool solid;
    bool zone;
    glm::vec3 force;
    bool operator==(const Made&) const = default;
};

template <typename Make> std::vector<Made> CellsMade(Make&& make) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<Collider>();
    ecs.RegisterComponent<ForceApplier>();
    make();
    std::vector<Made> made;
    for (EntityID e = 1; e < 1000000 && made.size() < ecs.EntityCount(); ++e) {
        Ref<Transform> t = ecs.GetComponent<Transform>(e);
        Ref<Collider> c = ecs.GetComponent<Collider>(e);
        if (!t || !c)
            continue;
        Ref<ForceApplier> f = ecs.GetComponent<ForceApplier>(e);
        made.push_back({t->position, t->scale, c->width, c->height, c->solid, bool(f),
                        f ? f->force : glm::vec3(0)});
    }
    ecs.Reset();
    return made;
}

// A map read as the shipped level: the same cells, collision entities, drawn
// tiles (upright, one tile set, tile k of the sheet) and start.
void ExpectTheShippedLevel(const LevelData& map, const std::string& what) {
    SCOPED_TRACE(what);
    const LevelData json = Level::Load(Level::PATH);
    ASSERT_TRUE(map.map);
    EXPECT_EQ(map.cellW, Level::CELL);
    EXPECT_EQ(map.cellH, Level::CELL);
    EXPECT_EQ(map.cells.grid, Level::CellsOf(json.board));
    EXPECT_EQ(CellsMade([&] { Level::CreateCells(map.cells, map.cellW, map.cellH); }),
              CellsMade([&] { Level::CreateCells(json.board); }));
    ASSERT_EQ(map.map->layers.size(), 1u);
    const Tiled::LayerGrid grid = Tiled::GridOf(*map.map, map.map->layers[0]);
    EXPECT_EQ(grid.tiles, json.board);
    EXPECT_TRUE(grid.flips.empty());
    ASSERT_EQ(map.map->tilesets.size(), 1u);
    EXPECT_EQ(fs::path(map.map->tilesets[0].imagePath).filename(), "tiles.png");
    ASSERT_TRUE(map.playerStart);
    EXPECT_EQ(*map.playerStart, Tuning::PlayerStart);
    EXPECT_FALSE(map.fish);
}

TEST(TiledLevel, TheShippedMapIsTheShippedLevel) {
    ExpectTheShippedLevel(Level::Load("Assets/level1.tmx"), "Assets/level1.tmx");
}

// The shipped level in every layer encoding, each turned by the real Tiled
// into JSON and back into TMX (tests/game/tiled_variants.py).
TEST(TiledLevel, EveryFileTheRealTiledWritesReadsToTheShippedLevel) {
    if (std::system("command -v tiled >/dev/null && command -v zstd >/dev/null") != 0)
        GTEST_SKIP() << "tiled or zstd is not installed (scripts/deps.sh installs them)";
    TempDir dir;
    const std::string command =
        "timeout -k 5 120 python3 tests/game/tiled_variants.py '" + dir.Path().string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream list(dir.Path() / "written.txt");
    std::vector<std::string> files;
    for (std::string line; std::getline(list, line);)
        files.push_back(line);
    ASSERT_EQ(files.size(), 10u) << "five encodings, each to JSON and back";
    for (const char* encoding : {"csv", "base64", "zlib", "gzip", "zstd"})
        files.push_back((dir.Path() / (std::string(encoding) + ".tmx")).string());
    for (const std::string& file : files)
        ExpectTheShippedLevel(Level::Load(file), file);
}

// A map of 8 by 3 cells with every way a cell can come to be, column by
// column: what each column's middle row (row 1) holds, and where it ends up.
TEST(TiledLevel, CellsFollowTileClassesLayersAndVisibility) {
    TempDir dir;
    // Tile 0 a draught (written "type", as Tiled 1.8 does), tile 1 a
    // decoration (written "class", as Tiled 1.9 does), tile 2 plain.
    auto set = [&](const std::string& alignment) {
        dir.Write("set.tsx", R"(<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" name="set" tilewidth="32" tileheight="16" tilecount="3" columns="3")" +
                                 alignment + R"(>
 <image source="set.png" width="96" height="16"/>
 <tile id="0" type="draught"/>
 <tile id="1" class="decoration"/>
</tileset>
)");
    };
    set("");
    auto row = [](const std::string& middle) {
        return "0,0,0,0,0,0,0,0,\n" + middle + ",\n0,0,0,0,0,0,0,0";
    };
    auto layer = [&](const std::string& attributes, const std::string& middle,
                     const std::string& inner = "") {
        return " <layer name=\"l\" width=\"8\" height=\"3\"" + attributes + ">" + inner +
               "<data encoding=\"csv\">" + row(middle) + "</data></layer>\n";
    };
    const std::string collidesFalse =
        R"(<properties><property name="collides" type="bool" value="false"/></properties>)";
    const std::string map =
        R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" renderorder="right-down" width="8" height="3" tilewidth="32" tileheight="16" infinite="0">
 <tileset firstgid="1" source="set.tsx"/>
)" + layer("", "1,1,2,0,0,0,0,0") +                   // draughts; a decoration
        layer("", "3,0,0,0,0,0,0,0") +                // solid over a draught
        layer("", "0,0,0,3,0,0,0,0", collidesFalse) + // drawn only
        layer(" visible=\"0\"", "0,0,0,0,3,0,0,0") +  // hidden
        " <group name=\"off\" visible=\"0\">" +
        layer("", "0,0,0,0,0,3,0,0") + "</group>\n" + " <group name=\"on\">" +
        layer("", "0,0,0,0,0,0,3,1") + "</group>\n" +
        // A group's "collides" holds for what it holds, down to a layer that
        // says otherwise.
        " <group name=\"drawn\">" + collidesFalse + " <group name=\"deeper\">" +
        layer("", "0,0,0,0,3,0,0,0") + "</group>\n" +
        layer("", "0,0,3,0,0,0,0,0",
              R"(<properties><property name="collides" type="bool" value="true"/></properties>)") +
        "</group>\n" +
        // Moved as drawn, to the nearest whole cell: right and up a cell, and
        // 1.25 cells right.
        R"( <layer name="moved" width="8" height="3" offsetx="32" offsety="-16"><data encoding="csv">)" +
        "0,0,0,0,0,0,0,0,\n0,0,0,0,0,0,0,0,\n0,0,0,3,0,0,0,0</data></layer>\n" +
        layer(R"( offsetx="40")", "0,0,0,0,3,0,0,0") +
        R"( <objectgroup name="marks">
  <object id="1" name="sign" x="1" y="1"/>
  <object id="2" name="player" gid="3" x="64" y="48" width="32" height="16"/>
 </objectgroup>
</map>
)";
    ::testing::internal::CaptureStderr();
    const LevelData level = Level::Load(dir.Write("map.tmx", map));
    const std::string warned = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warned.find("is moved by (40, 0) pixels, not whole cells: it collides moved by (1, "
                          "0) cells"),
              std::string::npos)
        << warned;
    using C = Cell;
    const std::vector<C> middle = {C::Solid, C::Draught, C::Solid, C::Empty,
                                   C::Solid, C::Solid,   C::Solid, C::Draught};
    ASSERT_EQ(level.cells.grid.size(), 8u);
    for (size_t x = 0; x < 8; ++x)
        EXPECT_EQ(level.cells.grid[x], (std::vector<C>{C::Empty, middle[x], C::Empty}))
            << "column " << x;
    EXPECT_EQ(level.cellW, 32);
    EXPECT_EQ(level.cellH, 16);
    // A tile object stands on its point: the boat's top-left is a tile higher.
    ASSERT_TRUE(level.playerStart);
    EXPECT_EQ(*level.playerStart, glm::vec3(64, 32, 0));
    // Or on whichever point of it its tile set aligns tile objects by.
    set(R"( objectalignment="center")");
    EXPECT_EQ(Level::Load((dir.Path() / "map.tmx").string()).playerStart, glm::vec3(48, 40, 0));
    set("");

    // The cells collide on the map's own grid.
    const std::vector<Made> made =
        CellsMade([&] { Level::CreateCells(level.cells, level.cellW, level.cellH); });
    ASSERT_EQ(made.size(), 7u);
    EXPECT_EQ(made[0], (Made{{0, 16, 0}, {32, 16, 0}, 32, 16, true, false, {}}));
    EXPECT_EQ(made[1],
              (Made{{32, 16, 0}, {32, 16, 0}, 32, 16, false, true, {0, Tuning::DraughtForce, 0}}));
    EXPECT_EQ(made[2].position, glm::vec3(64, 16, 0));
    EXPECT_EQ(made[3].position, glm::vec3(128, 16, 0));
    EXPECT_EQ(made[4].position, glm::vec3(160, 16, 0));
    EXPECT_EQ(made[5].position, glm::vec3(192, 16, 0));
    EXPECT_EQ(made[6].zone, true);
}

// Tiles with collision shapes on cells of 32 x 16 from tiles of 16 x 16:
// each column's lower row holds what its layers put there.
TEST(TiledLevel, TilesWithCollisionShapesCollideAsTheirShapes) {
    TempDir dir;
    // Tile 0 a slab (its lower half), 1 plain, 2 an ellipse and a point, 3 a
    // draught with a shape.
    const std::string map = R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" width="7" height="2" tilewidth="32" tileheight="16" infinite="0">
 <tileset firstgid="1" name="shapes" tilewidth="16" tileheight="16" tilecount="4" columns="4">
  <image source="shapes.png" width="64" height="16"/>
  <tile id="0"><objectgroup draworder="index" id="2"><object id="1" x="0" y="8" width="16" height="8"/></objectgroup></tile>
  <tile id="2"><objectgroup draworder="index" id="2"><object id="1" x="4" y="0" width="8" height="4"><ellipse/></object><object id="2" x="3" y="3"><point/></object></objectgroup></tile>
  <tile id="3" type="draught"><objectgroup draworder="index" id="2"><object id="1" x="0" y="0" width="4" height="4"/></objectgroup></tile>
 </tileset>
 <layer name="a" width="7" height="2"><data encoding="csv">0,0,0,0,0,0,0,
1,1073741825,536870913,1,3,4,1</data></layer>
 <layer name="b" width="7" height="2"><data encoding="csv">0,0,0,0,0,0,0,
0,0,0,2,0,0,3</data></layer>
</map>
)";
    testing::internal::CaptureStderr();
    const LevelData level = Level::Load(dir.Write("shapes.tmx", map));
    const std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_NE(warned.find("tile set \"shapes\": collision shapes that are not upright "
                          "rectangles (ellipse, point)"),
              std::string::npos)
        << warned;
    EXPECT_EQ(std::count(warned.begin(), warned.end(), '\n'), 1) << warned;

    // The slab; flipped upside down; transposed; under a plain tile; an
    // ellipse's box (the point left out); a draught; a slab and an ellipse.
    using C = Cell;
    const std::vector<C> lower = {C::Shaped, C::Shaped,  C::Shaped, C::Solid,
                                  C::Shaped, C::Draught, C::Shaped};
    ASSERT_EQ(level.cells.grid.size(), 7u);
    for (size_t x = 0; x < 7; ++x)
        EXPECT_EQ(level.cells.grid[x], (std::vector<C>{C::Empty, lower[x]})) << "column " << x;
    EXPECT_EQ(level.cells.boxes, (std::vector<CellBox>{{0, 1, 0, 24, 32, 8},
                                                       {1, 1, 32, 16, 32, 8},
                                                       {2, 1, 80, 16, 16, 16},
                                                       {4, 1, 136, 16, 16, 4},
                                                       {6, 1, 192, 24, 32, 8},
                                                       {6, 1, 200, 16, 16, 4}}));

    // A block a box, in the cells' order; whole cells as before.
    const std::vector<Made> made =
        CellsMade([&] { Level::CreateCells(level.cells, level.cellW, level.cellH); });
    ASSERT_EQ(made.size(), 8u);
    EXPECT_EQ(made[0], (Made{{0, 24, 0}, {32, 8, 0}, 32, 8, true, false, {}}));
    EXPECT_EQ(made[3], (Made{{96, 16, 0}, {32, 16, 0}, 32, 16, true, false, {}}));
    EXPECT_EQ(made[4].position, glm::vec3(136, 16, 0));
    EXPECT_EQ(made[5].zone, true);
    EXPECT_EQ(made[7], (Made{{200, 16, 0}, {16, 4, 0}, 16, 4, true, false, {}}));

    // A boat overlaps a shape, not the rest of its cell; it starts standing
    // on the first shaped cell's top, whatever the shapes in it.
    EXPECT_FALSE(Level::HitsSolid(level.cells, 32, 16, {0, 0, 0}, {32, 24}));
    EXPECT_TRUE(Level::HitsSolid(level.cells, 32, 16, {0, 1, 0}, {32, 24}));
    EXPECT_FALSE(Level::HitsSolid(level.cells, 32, 16, {64, 8, 0}, {16, 16}));
    EXPECT_TRUE(Level::HitsSolid(level.cells, 32, 16, {64, 8, 0}, {17, 16}));
    EXPECT_EQ(Level::DefaultStart(level.cells.grid, 32, 16, {32, 16}), glm::vec3(0, 0, 0));

    // Cells repeating their tiles' shapes are held to a limit, counted as
    // they are placed (the slab a plain tile covers later too).
    const std::string path = dir.Write("shapes.tmx", map);
    EXPECT_EQ(Level::FromMap(Tiled::Parse(map, path), 7).cells.boxes.size(), 6u);
    EXPECT_THROW(Level::FromMap(Tiled::Parse(map, path), 6), Tiled::MapError);

    // A stranger's tile set named to drive the terminal the warning is printed on.
    std::string named = map;
    named.replace(named.find("\"shapes\""), 8, "\"s\x1b]0;x\x07\"");
    testing::internal::CaptureStderr();
    Level::FromMap(Tiled::Parse(named, path));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("tile set \"s?]0;x?\": collision"),
              std::string::npos);

    // The diagonal flip comes first, as Tiled flips: with the horizontal one
    // the slab turns a quarter clockwise, its bottom to the left. A turned
    // rectangle collides as the box around it.
    std::string turns = map;
    turns.replace(turns.find("<tile id=\"3\""), 0,
                  R"(<tile id="1"><objectgroup><object id="1" x="16" y="0" width="8" height="4" )"
                  R"(rotation="90"/></objectgroup></tile>)");
    turns.replace(turns.find("1,1073741825"), 12, "2684354561,2");
    const std::vector<CellBox> turned = Level::FromMap(Tiled::Parse(turns, path)).cells.boxes;
    ASSERT_GE(turned.size(), 2u);
    EXPECT_EQ(turned[0], (CellBox{0, 1, 0, 16, 16, 16}));
    EXPECT_EQ(turned[1], (CellBox{1, 1, 56, 16, 8, 8}));
}

// Each kind of object marked as a fish, in a map whose tile objects show a
// 32 by 32 tile: where its fish starts and the lane it patrols.
TEST(TiledLevel, FishObjectsPlaceFishEachInItsLane) {
    auto map = [](const std::string& objects) {
        return R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" width="4" height="4" tilewidth="32" tileheight="32" infinite="0">
 <tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="1" columns="1"><image source="t.png" width="32" height="32"/></tileset>
 <objectgroup name="o">)" +
               objects + "</objectgroup>\n</map>\n";
    };
    using Fish = std::vector<FishPlace>;
    struct Case {
        const char* what;
        std::string objects;
        std::optional<Fish> fish;
        std::optional<glm::vec3> player = std::nullopt;
    };
    const std::vector<Case> cases = {
        {"none: the designed fish", R"(<object id="1" name="player" x="1" y="2"/>)", std::nullopt},
        {"a rectangle: its right edge the fish's",
         R"(<object id="1" name="fish" x="100" y="50" width="300" height="64"/>)",
         Fish{{{100, 50, 0}, {100, 336}}}},
        {"by class, both spellings; a point swims the designed lane",
         R"(<object id="1" type="fish" x="10" y="20"><point/></object>
            <object id="2" class="fish" x="500" y="30" width="600" height="10"/>)",
         Fish{{{10, 20, 0}, {10, 410}}, {{500, 30, 0}, {500, 1036}}}},
        {"a tile object from its top-left",
         R"(<object id="1" name="fish" gid="1" x="64" y="128" width="32" height="32"/>)",
         Fish{{{64, 96, 0}, {64, 464}}}},
        {"too narrow holds still; a negative width reaches left",
         R"(<object id="1" name="fish" x="100" y="0" width="30" height="10"/>
            <object id="2" name="fish" x="300" y="0" width="-200" height="10"/>)",
         Fish{{{100, 0, 0}, {100, 100}}, {{100, 0, 0}, {100, 236}}}},
        {"hidden: no fish at all", R"(<object id="1" name="fish" x="1" y="1" visible="0"/>)",
         Fish{}},
        {"where Tiled shows them: moved by their layer's offset and its groups'",
         R"(</objectgroup><group offsetx="5" offsety="-7"><objectgroup offsetx="10" offsety="20">
            <object id="1" name="fish" x="100" y="50" width="300" height="64"/>
            <object id="2" name="fish" gid="1" x="64" y="128" width="32" height="32"/>
            <object id="3" name="player" x="1" y="2"/></objectgroup></group><objectgroup>)",
         Fish{{{115, 63, 0}, {115, 351}}, {{79, 109, 0}, {79, 479}}}, glm::vec3(16, 15, 0)},
        {"past what a float holds: left out",
         R"(<object id="1" name="fish" x="1e300" y="0"/>
            <object id="2" name="fish" x="0" y="0" width="1e300" height="1"/>)",
         Fish{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        const LevelData level = Level::FromMap(Tiled::Parse(map(c.objects), "m.tmx"));
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(level.fish, c.fish);
        if (c.player) {
            EXPECT_EQ(level.playerStart, c.player);
        }
        // The fish is drawn where the tile object was.
        for (const Tiled::Object& object : level.map->objectGroups.at(0).objects)
            EXPECT_TRUE(object.gid == 0 || !object.visible);
    }

    std::string many;
    for (int i = 1; i <= 1100; ++i)
        many += "<object id=\"" + std::to_string(i) + "\" name=\"fish\" x=\"" + std::to_string(i) +
                "\" y=\"0\"/>";
    testing::internal::CaptureStderr();
    const LevelData level = Level::FromMap(Tiled::Parse(map(many), "m.tmx"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("76 fish objects past the first 1024"),
              std::string::npos);
    ASSERT_TRUE(level.fish);
    EXPECT_EQ(level.fish->size(), Level::MAX_FISH);
}

TEST(TiledLevel, AMapThatCannotBeUsedNamesItsFaultButNotTheLevelTwice) {
    TempDir dir;
    const std::string good = R"(<?xml version="1.0"?>
<map version="1.8" orientation="orthogonal" width="2" height="1" tilewidth="64" tileheight="64" infinite="0">
 <tileset firstgid="1" name="t" tilewidth="64" tileheight="64" tilecount="1" columns="1"><image source="t.png" width="64" height="64"/></tileset>
 <layer name="ground" width="2" height="1"><data encoding="csv">1,7</data></layer>
</map>
)";
    const std::string path = dir.Write("bad.tmx", good);
    try {
        Level::Load(path);
        FAIL() << "a tile id no tile set holds was taken";
    } catch (const LevelError& error) {
        const std::string reason = error.what();
        EXPECT_NE(reason.find("\"ground\""), std::string::npos) << reason;
        EXPECT_NE(reason.find('7'), std::string::npos) << reason;
        EXPECT_EQ(reason.find(path), std::string::npos) << reason;
    }
    // A map's own tile set file missing is named.
    const std::string external = std::string(good).replace(
        good.find("<tileset"), good.find("</tileset>") + 10 - good.find("<tileset"),
        R"(<tileset firstgid="1" source="gone.tsx"/>)");
    try {
        Level::Load(dir.Write("lost.tmx", external));
        FAIL() << "a missing tile set was taken";
    } catch (const LevelError& error) {
        EXPECT_NE(std::string(error.what()).find("gone.tsx"), std::string::npos) << error.what();
    }
    // So is a sheet that cannot be opened, read before any of it reaches GL.
    const std::string sheetless =
        dir.Write("sheetless.tmx", std::string(good).replace(good.find(",7"), 2, ",1"));
    try {
        LevelContent().LoadTextures(*Level::Load(sheetless).map);
        FAIL() << "a missing sheet was taken";
    } catch (const LevelError& error) {
        const std::string reason = error.what();
        EXPECT_NE(reason.find("t.png"), std::string::npos) << reason;
        EXPECT_EQ(reason.find(sheetless), std::string::npos) << reason;
    }
}

// The files a level names, to watch for saves: those of its map that are
// there. One it names but does not show may be missing, as in Tiled, and
// would otherwise hold back every reload.
TEST(TiledLevel, AMissingPictureTheMapDoesNotShowIsNotWatched) {
    TempDir dir;
    dir.Write("t.png", "");
    const std::string path = dir.Write(
        "m.tmx",
        R"(<map orientation="orthogonal" width="1" )"
        R"(height="1" tilewidth="8" tileheight="8">)"
        R"(<tileset firstgid="1" name="pics">)"
        R"(<tile id="0"><image source="t.png" width="8" height="8"/></tile>)"
        R"(<tile id="1"><image source="gone.png"/></tile></tileset>)"
        R"(<layer name="l" width="1" height="1"><data encoding="csv">1</data></layer></map>)");
    class NoPictures : public LevelContent {
        Tiled::MapTextures LoadTextures(const Tiled::Map&) override { return {}; }
    } content;
    EXPECT_EQ(Level::Prepare(Level::Load(path), path, content, {8, 8}).files,
              (std::vector<std::string>{path, (dir.Path() / "t.png").string()}));
}

// Layers Tiled shows above the boat's start are drawn in front of the boat
// and the fish, the others behind them, hidden ones not at all.
TEST(TiledLevel, LayersAboveTheStartAreInFront) {
    TempDir dir;
    auto layer = [](int id) {
        return "<layer id=\"" + std::to_string(id) +
               "\" name=\"l\" width=\"1\" height=\"1\"><data encoding=\"csv\">0</data></layer>";
    };
    auto prepared = [&](const std::string& layers) {
        const std::string path = dir.Write(
            "m.tmx", R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8" )"
                     R"(tileheight="8">)" +
                         layers + "</map>");
        class NoPictures : public LevelContent {
            Tiled::MapTextures LoadTextures(const Tiled::Map&) override { return {}; }
        } content;
        std::string kinds;
        for (const LevelLayer& drawn :
             Level::Prepare(Level::Load(path), path, content, {8, 8}).layers)
            kinds += std::holds_alternative<Foreground>(drawn) ? 'F' : 'B';
        return kinds;
    };
    const std::string start =
        R"(<objectgroup id="9"><object name="player" x="0" y="0"><point/></object></objectgroup>)";
    EXPECT_EQ(prepared(layer(1) + start + layer(2) + layer(3)), "BBFF");
    EXPECT_EQ(prepared(layer(1) + layer(2)), "BB");
    EXPECT_EQ(prepared("<group id=\"5\">" + layer(1) + start + "</group>" + layer(2)), "BBF");
    EXPECT_EQ(prepared(R"(<group id="5" visible="0">)" + start + "</group>" + layer(2) + layer(3)),
              "FF");
}

#ifdef GEN_LEVEL
TEST(TiledLevel, TheGeneratorWritesTheCommittedLevelInBothFormats) {
    TempDir dir;
    ASSERT_EQ(std::system(("'" GEN_LEVEL "' '" + dir.Path().string() + "'").c_str()), 0);
    for (const char* name : {"level1.json", "level1.tmx", "tiles.tsx"}) {
        std::ifstream made(dir.Path() / name), kept(fs::path("Assets") / name);
        std::stringstream a, b;
        a << made.rdbuf();
        b << kept.rdbuf();
        EXPECT_FALSE(a.str().empty()) << name;
        EXPECT_TRUE(a.str() == b.str()) << name << " differs; rerun gen_level ./Assets";
    }
}
#endif

// Every orthogonal map of Tiled's own examples plays: the game's scene is
// built on it in a real window and runs some frames without an error. (The
// automapping rules are no levels; the game refuses the other orientations,
// as the level loading's test shows.)
TEST(TiledLevel, EveryOrthogonalExampleOfTiledPlays) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    if (!fs::is_directory(EngineTest::TiledExamples::kDir))
        GTEST_SKIP() << EngineTest::TiledExamples::kDir << " is not installed";
    const EngineTest::TiledExamples examples;
    int played = 0;
    for (const std::string& path : examples.Maps()) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        if (path.find("sewer_automap/rule_") != std::string::npos ||
            !EngineTest::TiledExamples::Orthogonal(text.str()))
            continue;
        SCOPED_TRACE(path);
        // A map the game would refuse ends the process, so it is read first.
        try {
            Level::Load(path);
        } catch (const LevelError& error) {
            ADD_FAILURE() << error.what();
            continue;
        }
        testing::internal::CaptureStderr();
        {
            ::Engine::Engine game(1280, 720);
            game.InitializeGraphicsSubSystem();
            game.SetScene(CreateRef<GameScene>(CreateUni<SceneContent>(), path, false));
            game.Start();
            if (played == 0) {
                // A map's kinds of layer come after the scene's fourteen
                // types and ten systems, and draw in the frame schedule:
                // its background first, then its layers, beneath the fish.
                ECS& ecs = ECS::Get();
                EXPECT_EQ(ecs.ComponentTypeCount(), 16u);
                EXPECT_GT(Component<Tiled::MapLayer>::GetTypeID(), Component<Enemy>::GetTypeID());
                EXPECT_EQ(ecs.SystemCount(), 12u);
                EXPECT_EQ(ecs.GetSystem(0), meshRenderer);
                std::vector<std::string> names;
                ecs.SetRunObserver(
                    [&](const SystemBase& system) { names.push_back(typeid(system).name()); });
                game.Render();
                ecs.SetRunObserver(nullptr);
                EXPECT_EQ(names,
                          (std::vector<std::string>{
                              typeid(Tiled::MapBackgroundRenderer).name(),
                              typeid(Tiled::MapLayerRenderer).name(), typeid(MeshRenderer).name(),
                              typeid(TextRenderer).name(), typeid(TileMapRenderer).name(),
                              typeid(AnimationRenderer).name()}));
            }
            for (int frame = 0; frame < 10; ++frame)
                game.Frame(0.01);
            game.Shutdown();
        }
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("OPENGL ERROR"), std::string::npos) << err;
        EXPECT_EQ(err.find("Could not"), std::string::npos) << err;
        ++played;
    }
    EXPECT_GE(played, 9);
}

} // namespace
