// The Tiled map reader on the hand-written maps of tests/tiled/data: what it
// reads from them, in every layer encoding, and the content checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

#include <engine/image/Image.h>
#include <engine/tiled/TiledTileMap.h>

#include "tiled/TiledTestData.h"

using namespace Engine::Tiled;
using TiledTest::kData;

namespace {

constexpr uint32_t H = FLIPPED_HORIZONTALLY, V = FLIPPED_VERTICALLY, D = FLIPPED_DIAGONALLY;

Property Prop(const std::string& name, const std::string& type, const std::string& value) {
    Property p;
    p.name = name;
    p.type = type;
    p.value = value;
    return p;
}

Map LoadQuietly(const std::string& path) {
    testing::internal::CaptureStderr();
    Map map = Load(path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << path;
    return map;
}

std::vector<std::string> LayerNames(const Map& map) {
    std::vector<std::string> names;
    for (const TileLayer& layer : map.layers)
        names.push_back(layer.name);
    return names;
}

std::vector<bool> Visibility(const Map& map) {
    std::vector<bool> visible;
    for (const TileLayer& layer : map.layers)
        visible.push_back(layer.visible);
    return visible;
}

TEST(TiledRead, RichMapReadsAsWritten) {
    const Map map = LoadQuietly(kData + "rich.tmx");
    EXPECT_EQ(std::tie(map.path, map.width, map.height, map.tileWidth, map.tileHeight),
              std::tuple(kData + "rich.tmx", 16, 10, 64, 64));
    EXPECT_TRUE(map.unsupported.empty());
    ASSERT_EQ(map.properties.size(), 3u);
    EXPECT_EQ(*FindProperty(map.properties, "gravity"), Prop("gravity", "float", "9.5"));
    EXPECT_EQ(*FindProperty(map.properties, "author"), Prop("author", "string", "tests"));

    // Tile sets: an embedded one and one from marks.tsx, paths relative to
    // the file that names them.
    ASSERT_EQ(map.tilesets.size(), 2u);
    const Tileset& tiles = map.tilesets[0];
    EXPECT_EQ(std::tie(tiles.name, tiles.firstGid, tiles.tileCount, tiles.columns, tiles.imagePath,
                       tiles.source),
              std::tuple("tiles", 1u, 12, 4, kData + "tiles.png", kData + "rich.tmx"));
    ASSERT_NE(tiles.FindTile(5), nullptr);
    EXPECT_EQ(tiles.FindTile(5)->className, "updraft");
    EXPECT_EQ(tiles.FindTile(5)->properties, Properties{Prop("force", "float", "-2400")});
    EXPECT_EQ(tiles.FindTile(11)->className, "decoration");
    EXPECT_EQ(tiles.FindTile(0), nullptr);
    const Tileset& marks = map.tilesets[1];
    EXPECT_EQ(std::tie(marks.name, marks.firstGid, marks.tileCount, marks.columns, marks.margin,
                       marks.spacing, marks.imagePath, marks.imageWidth, marks.source),
              std::tuple("marks", 13u, 6, 3, 2, 3, kData + "marks.png", 200, kData + "marks.tsx"));
    EXPECT_EQ(marks.FindTile(0)->properties, Properties{Prop("text", "string", "two\nlines")});

    // Groups flattened in drawing order; a hidden group hides what it holds.
    EXPECT_EQ(LayerNames(map),
              (std::vector<std::string>{"ground", "decoration", "front", "hidden", "inside off"}));
    EXPECT_EQ(Visibility(map), (std::vector<bool>{true, true, true, false, false}));
    for (const TileLayer& layer : map.layers)
        EXPECT_EQ(layer.gids.size(), 160u);
    EXPECT_FALSE(GetBool(map.layers[1].properties, "collides", true));
    EXPECT_TRUE(GetBool(map.layers[0].properties, "collides", true));
    EXPECT_EQ(map.layers[0].At(1, 2), 6u);
    EXPECT_EQ(map.layers[0].At(15, 9), 3u);
    const std::vector<uint32_t> eight{13,     13 | H,     13 | V,     13 | H | V,
                                      13 | D, 13 | H | D, 13 | V | D, 13 | H | V | D};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(map.layers[1].At(1 + i, 1), eight[size_t(i)]) << i;
    // Found by name, in a group too; cells written only inside the layer.
    EXPECT_EQ(map.FindLayer("inside off"), &map.layers[4]);
    EXPECT_EQ(map.FindLayer("scenery"), nullptr);
    Map edited = map;
    TileLayer& front = *edited.FindLayer("front");
    EXPECT_TRUE(front.Set(15, 9, 7 | H));
    EXPECT_EQ(front.At(15, 9), 7u | H);
    const std::vector<uint32_t> before = front.gids;
    for (auto [x, y] : {std::pair{-1, 0}, {16, 0}, {0, -1}, {0, 10}})
        EXPECT_FALSE(front.Set(x, y, 9)) << x << "," << y;
    EXPECT_EQ(front.gids, before);

    // Objects with their class (written "type" here), place, size, properties.
    ASSERT_EQ(map.objectGroups.size(), 1u);
    const Object* player = map.FindObject("player");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(std::tie(player->id, player->className, player->shape, player->x, player->y,
                       player->width, player->height),
              std::tuple(1, "start", "rectangle", 128.0, 384.0, 64.0, 64.0));
    EXPECT_EQ(player->properties, Properties{Prop("facing", "string", "right")});
    EXPECT_EQ(map.FindObject("sign")->shape, "point");
    EXPECT_EQ(map.FindObject("crate")->gid, 8u | H);
    EXPECT_EQ(map.FindObject("nobody"), nullptr);
    // An object property names an object by its id.
    Property to = Prop("to", "object", "3");
    EXPECT_EQ(map.ObjectOf(&to), map.FindObject("crate"));
    for (const char* none : {"0", "9", ""}) {
        to.value = none;
        EXPECT_EQ(map.ObjectOf(&to), nullptr) << none;
    }
    EXPECT_EQ(map.ObjectOf(&player->properties[0]), nullptr); // a string
}

TEST(TiledRead, FlagBitsNeverBecomePartOfATileNumber) {
    const Map map = LoadQuietly(kData + "rich.tmx");
    struct Case {
        uint32_t gid;
        std::optional<TileRef> want;
    };
    const Case cases[] = {
        {0, std::nullopt},
        {H | V | D, std::nullopt}, // flags on an empty cell
        {1, TileRef{0, 0}},
        {12, TileRef{0, 11}},
        {13, TileRef{1, 0}},
        {18, TileRef{1, 5}},
        {19, std::nullopt}, // past the last tile set
        {13 | H, TileRef{1, 0, true, false, false}},
        {13 | V, TileRef{1, 0, false, true, false}},
        {13 | H | V, TileRef{1, 0, true, true, false}},
        {13 | D, TileRef{1, 0, false, false, true}},
        {13 | H | D, TileRef{1, 0, true, false, true}},
        {13 | V | D, TileRef{1, 0, false, true, true}},
        {13 | H | V | D, TileRef{1, 0, true, true, true}},
        // The hexagonal turn is not part of the number either.
        {13 | ROTATED_HEXAGONAL_120, TileRef{1, 0}},
        {ROTATED_HEXAGONAL_120, std::nullopt},
        {GID_MASK, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(map.Resolve(c.gid), c.want) << std::hex << c.gid;
    // Every combination of the four flags on every tile.
    for (uint32_t id = 1; id <= 18; ++id)
        for (uint32_t flags = 0; flags < 16; ++flags) {
            const auto ref = map.Resolve(id | (flags << 28));
            ASSERT_TRUE(ref);
            EXPECT_EQ(ref->tileset * 12 + size_t(ref->localId), id - 1);
        }
}

TEST(TiledRead, EveryEncodingReadsToTheSameMap) {
    const std::string text = TiledTest::ReadText(kData + "rich.tmx");
    const Map csv = LoadQuietly(kData + "rich.tmx");
    struct Case {
        const char* encoding;
        const char* compression;
    };
    for (Case c : {Case{"csv", ""}, Case{"xml", ""}, Case{"base64", ""}, Case{"base64", "zlib"},
                   Case{"base64", "gzip"}, Case{"base64", "zstd"}}) {
        const std::string variant = TiledTest::Reencode(text, c.encoding, c.compression);
        ASSERT_NE(variant.find(c.compression), std::string::npos);
        // Read from memory, as the file it says it is (for the tile-set file).
        const Map map = Parse(variant, kData + "rich.tmx");
        ASSERT_EQ(map.layers.size(), csv.layers.size());
        for (size_t i = 0; i < csv.layers.size(); ++i)
            EXPECT_EQ(map.layers[i].gids, csv.layers[i].gids)
                << c.encoding << " " << c.compression << " " << csv.layers[i].name;
    }
}

TEST(TiledRead, ClassesWrittenAsClassOrTypeAndJsonTileSets) {
    // Tiled 1.9 writes "class"; tiny.tsj mixes both, as files edited by
    // several versions do.
    for (const char* name : {"class.tmx", "class.tmj"}) {
        SCOPED_TRACE(name);
        const Map map = LoadQuietly(kData + name);
        const Tileset& tiny = map.tilesets.at(0);
        EXPECT_EQ(tiny.source, kData + "tiny.tsj");
        EXPECT_EQ(tiny.imagePath, kData + "tiles.png");
        EXPECT_EQ(tiny.tileCount, 12);
        EXPECT_EQ(tiny.FindTile(5)->className, "updraft");
        EXPECT_EQ(tiny.FindTile(5)->properties, Properties{Prop("force", "float", "-2400")});
        EXPECT_EQ(tiny.FindTile(7)->className, "crate");
        EXPECT_EQ(map.layers.at(0).className, "terrain");
        EXPECT_EQ(map.objectGroups.at(0).className, "spawns");
        EXPECT_EQ(map.FindObject("player")->className, "start");
        EXPECT_EQ(map.layers[0].gids, (std::vector<uint32_t>{0, 6, 0, 0, 0, 0, 8, 0, 1, 1, 1, 1}));
    }
    // The JSON map names a TSX tile set, as Tiled 1.8 writes it.
    const Map json = LoadQuietly(kData + "class.tmj");
    ASSERT_EQ(json.tilesets.size(), 2u);
    EXPECT_EQ(json.tilesets[1].source, kData + "marks.tsx");
    EXPECT_EQ(json.tilesets[1].margin, 2);
    EXPECT_EQ(json.tilesets[1].FindTile(4)->className, "decoration");

    // Hand-written as Tiled 1.10 and 1.11 write them (Tiled 1.8 cannot): the
    // classes of tile sets, objects' and tiles' "type" again, tiles drawn at
    // the grid's size; and what a later Tiled may add, passed over. A JSON
    // tile set's "type" says what it is, not its class.
    const std::string tmx =
        R"(<map version="1.10" tiledversion="1.11.2" class="level" orientation="orthogonal" )"
        R"(width="1" height="1" tilewidth="16" tileheight="16" somethingnew="1">)"
        R"(<tileset firstgid="1" name="a" class="scenery" tilewidth="32" tileheight="32" )"
        R"(tilecount="0" columns="0" tilerendersize="grid" fillmode="preserve-aspect-fit">)"
        R"(<tile id="3" type="crate" x="2" y="4" width="8" height="6"><properties>)"
        R"(<property name="hp" type="int" value="3"/><property name="tag" value="t"/>)"
        R"(</properties><image source="c.png" width="16" height="16"/></tile>)"
        R"(</tileset><tileset firstgid="5" name="b" tilewidth="16" tileheight="16"/>)"
        R"(<layer id="1" name="l" width="1" height="1"><data encoding="csv">0</data></layer>)"
        R"(<objectgroup id="2" name="o"><object id="1" type="door" x="1" y="2"/>)"
        R"(<object id="2" name="box" gid="4" x="0" y="16"><properties>)"
        R"(<property name="hp" type="float" value="2.5"/></properties></object></objectgroup></map>)";
    const std::string tmj =
        R"({"type":"map","version":"1.10","tiledversion":"1.11.2","class":"level",)"
        R"("orientation":"orthogonal","width":1,"height":1,"tilewidth":16,"tileheight":16,)"
        R"("somethingnew":[1],"tilesets":[{"firstgid":1,"name":"a","class":"scenery",)"
        R"("type":"tileset","tilewidth":32,"tileheight":32,"tilecount":0,"columns":0,)"
        R"("tilerendersize":"grid","fillmode":"preserve-aspect-fit","tiles":[{"id":3,)"
        R"("type":"crate","x":2,"y":4,"width":8,"height":6,"image":"c.png","imagewidth":16,)"
        R"("imageheight":16,"properties":[)"
        R"({"name":"hp","type":"int","value":3},{"name":"tag","type":"string","value":"t"}]}]},)"
        R"({"firstgid":5,"name":"b","type":"tileset","tilewidth":16,"tileheight":16}],)"
        R"("layers":[{"type":"tilelayer","id":1,"name":"l","width":1,"height":1,"data":[0]},)"
        R"({"type":"objectgroup","id":2,"name":"o","objects":[{"id":1,"type":"door","x":1,"y":2},)"
        R"({"id":2,"name":"box","gid":4,"x":0,"y":16,"properties":[)"
        R"({"name":"hp","type":"float","value":2.5}]}]}]})";
    for (const std::string* text : {&tmx, &tmj}) {
        const Map map = Parse(*text, kData + "newer");
        ASSERT_EQ(map.tilesets.size(), 2u);
        const Tileset& a = map.tilesets[0];
        EXPECT_EQ(std::tie(map.className, a.className, a.tileRenderSize, a.fillMode),
                  std::make_tuple("level", "scenery", "grid", "preserve-aspect-fit"));
        EXPECT_EQ(std::tie(map.tilesets[1].className, map.tilesets[1].tileRenderSize,
                           map.tilesets[1].fillMode),
                  std::make_tuple("", "tile", "stretch"));
        ASSERT_NE(a.FindTile(3), nullptr);
        const TileInfo& crate = *a.FindTile(3);
        EXPECT_EQ(
            std::tie(crate.className, crate.imagePath, crate.x, crate.y, crate.width, crate.height),
            std::make_tuple("crate", kData + "c.png", 2, 4, 8, 6));
        const Object& door = *map.FindObject("");
        EXPECT_EQ(door.className, "door");
        // A tile object that gives no class or property takes its tile's.
        const Object& box = *map.FindObject("box");
        EXPECT_EQ(std::tie(map.ClassOf(door), map.ClassOf(box)), std::make_tuple("door", "crate"));
        EXPECT_EQ(map.ObjectsOfClass("crate"), std::vector<const Object*>{&box});
        EXPECT_EQ(map.ObjectsOfClass("door"), std::vector<const Object*>{&door});
        ASSERT_NE(map.PropertyOf(box, "hp"), nullptr);
        ASSERT_NE(map.PropertyOf(box, "tag"), nullptr);
        EXPECT_EQ(map.PropertyOf(box, "hp")->value, "2.5");
        EXPECT_EQ(map.PropertyOf(box, "tag")->value, "t");
        EXPECT_EQ(map.PropertyOf(door, "tag"), nullptr);
        // A cell's tile by its number, flipped or not; nothing for empty cells
        // and tiles the tile set says nothing of.
        EXPECT_EQ(map.TileOf(4 | FLIPPED_HORIZONTALLY | FLIPPED_DIAGONALLY), &crate);
        EXPECT_EQ(std::make_tuple(map.TileOf(0u), map.TileOf(3u), map.TileOf(5u)),
                  std::make_tuple(nullptr, nullptr, nullptr));
        EXPECT_EQ(GetNumber(box.properties, "hp", 0), 2.5);
        EXPECT_EQ(GetNumber(crate.properties, "hp", 0), 3.0);
        EXPECT_EQ(GetNumber(map.PropertyOf(box, "hp"), 0), 2.5);
        EXPECT_EQ(GetNumber(map.PropertyOf(box, "none"), 4), 4.0);
    }
    // Numbers of int and float properties only, and only whole numbers.
    const Properties numbers{Prop("i", "int", "-7"),      Prop("f", "float", "1e3"),
                             Prop("s", "string", "5"),    Prop("bad", "int", "3x"),
                             Prop("empty", "float", ""),  Prop("nan", "float", "nan"),
                             Prop("inf", "float", "-inf")};
    for (const auto& [name, want] : {std::pair<const char*, double>{"i", -7},
                                     {"f", 1000},
                                     {"s", 9},
                                     {"bad", 9},
                                     {"empty", 9},
                                     {"nan", 9},
                                     {"inf", 9},
                                     {"none", 9}})
        EXPECT_EQ(GetNumber(numbers, name, 9), want) << name;
}

TEST(TiledRead, SheetsAreCountedAsTiledCountsThem) {
    // One margin at the left and top: Tiled's count for the image it has.
    struct Case {
        int width, height, margin, spacing, tile;
        int columns, count;
    };
    for (Case c : {Case{256, 192, 0, 0, 64, 4, 12}, Case{200, 133, 2, 3, 64, 3, 6},
                   Case{267, 200, 2, 3, 64, 4, 12}, Case{266, 200, 2, 3, 64, 3, 9},
                   Case{100, 100, 0, 0, 64, 1, 1}, Case{63, 64, 0, 0, 64, 0, 0},
                   Case{74, 74, 0, 10, 32, 2, 4}, Case{73, 74, 0, 10, 32, 1, 2}}) {
        const std::string tsx = "<tileset name=\"t\" tilewidth=\"" + std::to_string(c.tile) +
                                "\" tileheight=\"" + std::to_string(c.tile) + "\" margin=\"" +
                                std::to_string(c.margin) + "\" spacing=\"" +
                                std::to_string(c.spacing) + "\" columns=\"99\" tilecount=\"1\">" +
                                "<image source=\"sheet.png\" width=\"" + std::to_string(c.width) +
                                "\" height=\"" + std::to_string(c.height) + "\"/></tileset>";
        const Tileset ts = ParseTileset(tsx, "dir/t.tsx");
        EXPECT_EQ(ts.columns, c.columns) << c.width << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(ts.tileCount, c.count) << c.width << " " << c.margin << " " << c.spacing;
        EXPECT_EQ(ts.imagePath, "dir/sheet.png");
    }
    // Without the image's size, the counts the file gives.
    const Tileset given =
        ParseTileset(R"({"type":"tileset","name":"g","tilewidth":16,"tileheight":16,"columns":5,)"
                     R"("tilecount":20,"image":"../img/g.png"})",
                     "maps/sets/g.tsj");
    EXPECT_EQ(given.columns, 5);
    EXPECT_EQ(given.tileCount, 20);
    EXPECT_EQ(given.imagePath, "maps/img/g.png");
}

TEST(TiledRead, TileCollisionShapesInBothFormats) {
    // As Tiled 1.8 writes them: a tile of shapes only, and one of every kind.
    const std::string tsx =
        R"(<tileset name="s" tilewidth="16" tileheight="16" tilecount="4" columns="4">)"
        R"(<image source="s.png" width="64" height="16"/>)"
        R"(<tile id="0"><objectgroup draworder="index" id="2">)"
        R"(<object id="1" x="0" y="8" width="16" height="8"/></objectgroup></tile>)"
        R"(<tile id="2" type="crate"><objectgroup draworder="index" id="3">)"
        R"(<object id="1" name="top" x="2" y="0" width="12" height="4"><properties>)"
        R"(<property name="oneway" type="bool" value="true"/></properties></object>)"
        R"(<object id="2" x="4" y="4" width="8" height="8"><ellipse/></object>)"
        R"(<object id="3" x="1" y="2" rotation="90"><polygon points="0,0 8,0 8,4"/></object>)"
        R"(<object id="4" x="5" y="5"><point/></object></objectgroup></tile></tileset>)";
    const std::string tsj =
        R"({"type":"tileset","name":"s","tilewidth":16,"tileheight":16,"tilecount":4,)"
        R"("columns":4,"image":"s.png","imagewidth":64,"imageheight":16,"tiles":[)"
        R"({"id":0,"objectgroup":{"draworder":"index","id":2,"type":"objectgroup","objects":[)"
        R"({"id":1,"x":0,"y":8,"width":16,"height":8,"rotation":0,"visible":true}]}},)"
        R"({"id":2,"type":"crate","objectgroup":{"type":"objectgroup","objects":[)"
        R"({"id":1,"name":"top","x":2,"y":0,"width":12,"height":4,)"
        R"("properties":[{"name":"oneway","type":"bool","value":true}]},)"
        R"({"id":2,"ellipse":true,"x":4,"y":4,"width":8,"height":8},)"
        R"({"id":3,"x":1,"y":2,"rotation":90,"width":0,"height":0,)"
        R"("polygon":[{"x":0,"y":0},{"x":8,"y":0},{"x":8,"y":4}]},)"
        R"({"id":4,"point":true,"x":5,"y":5}]}}]})";
    auto shape = [](int id, const char* kind, double x, double y, double w, double h) {
        Object o;
        o.id = id;
        o.shape = kind;
        std::tie(o.x, o.y, o.width, o.height) = std::tuple(x, y, w, h);
        return o;
    };
    std::vector<Object> crate = {shape(1, "rectangle", 2, 0, 12, 4),
                                 shape(2, "ellipse", 4, 4, 8, 8),
                                 shape(3, "polygon", 1, 2, 0, 0), shape(4, "point", 5, 5, 0, 0)};
    crate[0].name = "top";
    crate[0].properties = {Prop("oneway", "bool", "true")};
    crate[2].rotation = 90;
    crate[2].points = {{0, 0}, {8, 0}, {8, 4}};
    for (const std::string* text : {&tsx, &tsj}) {
        const Tileset ts = ParseTileset(*text, "dir/s.tsx");
        ASSERT_NE(ts.FindTile(0), nullptr) << *text;
        EXPECT_EQ(ts.FindTile(0)->objects,
                  (std::vector<Object>{shape(1, "rectangle", 0, 8, 16, 8)}));
        ASSERT_NE(ts.FindTile(2), nullptr);
        EXPECT_EQ(ts.FindTile(2)->className, "crate");
        EXPECT_EQ(ts.FindTile(2)->objects, crate);
    }
}

TEST(TiledRead, VisibilityOfNestedGroupsInBothFormats) {
    // Layer a in a shown group in a hidden one; b in a shown group; c hidden
    // itself in a shown group; d at the top.
    const std::string layer = R"(<data encoding="csv">1</data>)";
    const std::string tmx =
        R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8" tileheight="8">)"
        R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)"
        R"(<group name="off" visible="0"><group name="on"><layer name="a">)" +
        layer + R"(</layer></group></group><group name="on"><layer name="b">)" + layer +
        R"(</layer><layer name="c" visible="0">)" + layer +
        R"(</layer><objectgroup name="o"/></group><layer name="d">)" + layer + "</layer></map>";
    const std::string cell = R"("width":1,"height":1,"data":[1])";
    const std::string json =
        R"({"type":"map","orientation":"orthogonal","width":1,"height":1,"tilewidth":8,"tileheight":8,)"
        R"("tilesets":[{"firstgid":1,"name":"t","tilewidth":8,"tileheight":8,"image":"t.png","imagewidth":8,"imageheight":8}],)"
        R"("layers":[{"type":"group","name":"off","visible":false,"layers":[{"type":"group","name":"on","layers":[)"
        R"({"type":"tilelayer","name":"a",)" +
        cell + R"(}]}]},{"type":"group","name":"on","layers":[{"type":"tilelayer","name":"b",)" +
        cell + R"(},{"type":"tilelayer","name":"c","visible":false,)" + cell +
        R"(},{"type":"objectgroup","name":"o","objects":[]}]},{"type":"tilelayer","name":"d",)" +
        cell + "}]}";
    for (const auto& [text, path] : {std::pair{tmx, "g.tmx"}, std::pair{json, "g.tmj"}}) {
        const Map map = Parse(text, path);
        EXPECT_EQ(LayerNames(map), (std::vector<std::string>{"a", "b", "c", "d"})) << path;
        EXPECT_EQ(Visibility(map), (std::vector<bool>{false, true, false, true})) << path;
        // The groups around each layer, outermost first.
        ASSERT_EQ(map.layers.at(0).groups.size(), 2u) << path;
        EXPECT_EQ(map.layers[0].groups[0].name, "off");
        EXPECT_EQ(map.layers[0].groups[1].name, "on");
        EXPECT_EQ(map.layers[1].groups.size(), 1u);
        EXPECT_EQ(map.objectGroups.at(0).groups.size(), 1u);
        EXPECT_TRUE(map.layers[3].groups.empty());
        EXPECT_TRUE(map.objectGroups.at(0).visible);
    }
}

TEST(TiledRead, ContentCheckTellsTiledMapsFromOtherText) {
    struct Case {
        const char* text;
        bool map;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?>\n<map orientation=\"orthogonal\"/>", true},
        {"\xEF\xBB\xBF<!-- a --><!DOCTYPE map [<!ENTITY a \"b\">]>\n<map>", true},
        {"  <map\n>", true},
        {"<tileset name=\"t\"/>", false},
        {"<mapx/>", false},
        {"<!-- <map> -->", false},
        {R"({"type":"map"})", true},
        {R"( { "width": 3, "type" : "map", "layers": []})", true},
        {R"({"a":"}\"type\":\"map\"", "type":"map"})", true},
        {R"({"board": [[0, 1]], "tilemap_path": "t.png", "tile_w": 64, "tile_h": 64})", false},
        {R"({"layers":[{"type":"map"}],"type":"tileset"})", false},
        {R"({"nested":{"type":"map"}})", false},
        {R"({"type":["map"]})", false},
        {R"({"type":"mapx"})", false},
        {R"([{"type":"map"}])", false},
        {R"({"type":"ma)", false},
        // Tiled before 1.2 wrote no "type"; a "type" of another kind still wins.
        {R"({"height":2, "orientation":"orthogonal", "layers":[]})", true},
        {R"({"orientation":"orthogonal", "type":"tileset"})", false},
        {R"({"nested":{"orientation":"orthogonal"}})", false},
        {"", false},
        {"map", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTiledMap(c.text), c.map) << c.text;
    EXPECT_TRUE(IsTiledMap(TiledTest::ReadText(kData + "rich.tmx")));
    EXPECT_TRUE(IsTiledMap(TiledTest::ReadText(kData + "class.tmj")));
    EXPECT_FALSE(IsTiledMap(TiledTest::ReadText(kData + "tiny.tsj")));
}

TEST(TiledRead, FormatIsToldByContentNotByName) {
    EngineTest::TempDir dir;
    // TMX text in a file called .json, JSON text in one called .tmx; the
    // tile sets they name are found beside the original maps.
    const std::string tmx = TiledTest::ReadText(kData + "class.tmx");
    const std::string json = TiledTest::ReadText(kData + "class.tmj");
    TiledTest::WriteText(dir.File("swapped.json"), tmx);
    TiledTest::WriteText(dir.File("swapped.tmx"), json);
    std::filesystem::copy_file(kData + "tiny.tsj", dir.File("tiny.tsj"));
    std::filesystem::copy_file(kData + "marks.tsx", dir.File("marks.tsx"));
    const Map fromTmx = Load(dir.File("swapped.json"));
    const Map fromJson = Load(dir.File("swapped.tmx"));
    EXPECT_EQ(fromTmx.layers.at(0).gids, fromJson.layers.at(0).gids);
    EXPECT_EQ(fromTmx.FindObject("player")->x, 64.0);
    EXPECT_EQ(fromJson.FindObject("player")->x, 64.0);
    // Load reads what Parse is given.
    const Map parsed = Parse(tmx, dir.File("swapped.json"));
    EXPECT_EQ(parsed.layers.at(0).gids, fromTmx.layers.at(0).gids);
    EXPECT_EQ(parsed.tilesets.at(0).imagePath, fromTmx.tilesets.at(0).imagePath);
}

TEST(TiledRead, PropertiesOfEveryKindInBothFormats) {
    const std::string tmx =
        R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8" tileheight="8">
 <properties>
  <property name="b" type="bool" value="true"/>
  <property name="c" type="color" value="#ff112233"/>
  <property name="f" type="float" value="0.25"/>
  <property name="file" type="file" value="../music/a.ogg"/>
  <property name="i" type="int" value="-7"/>
  <property name="o" type="object" value="4"/>
  <property name="s" value="plain"/>
  <property name="k" type="class" propertytype="Spawn">
   <properties><property name="n" type="int" value="2"/></properties>
  </property>
 </properties></map>)";
    const std::string json = R"({"type":"map","orientation":"orthogonal","width":1,"height":1,
 "tilewidth":8,"tileheight":8,"properties":[
  {"name":"b","type":"bool","value":true}, {"name":"c","type":"color","value":"#ff112233"},
  {"name":"f","type":"float","value":0.25}, {"name":"file","type":"file","value":"../music/a.ogg"},
  {"name":"i","type":"int","value":-7}, {"name":"o","type":"object","value":4},
  {"name":"s","type":"string","value":"plain"},
  {"name":"k","type":"class","propertytype":"Spawn","value":{"n":2}}]})";
    Property spawn = Prop("k", "class", "");
    spawn.propertyType = "Spawn";
    spawn.members = {Prop("n", "int", "2")};
    Property file = Prop("file", "file", "../music/a.ogg");
    file.path = "game/music/a.ogg";
    const Properties want{Prop("b", "bool", "true"),    Prop("c", "color", "#ff112233"),
                          Prop("f", "float", "0.25"),   file,
                          Prop("i", "int", "-7"),       Prop("o", "object", "4"),
                          Prop("s", "string", "plain"), spawn};
    EXPECT_EQ(Parse(tmx, "game/maps/p.tmx").properties, want);
    EXPECT_EQ(Parse(json, "game/maps/p.tmj").properties, want);
    EXPECT_EQ(GetFile(want, "file"), "game/music/a.ogg");
    // The form before Tiled 1.2: one object of names and values.
    const Properties old = Parse(R"({"type":"map","orientation":"orthogonal","width":1,"height":1,
        "tilewidth":8,"tileheight":8,"properties":{"on":false,"n":3}})",
                                 "old.json")
                               .properties;
    EXPECT_FALSE(GetBool(old, "on", true));
    EXPECT_EQ(FindProperty(old, "n")->value, "3");
    // A property that is not a bool does not count as one.
    EXPECT_TRUE(GetBool(want, "s", true));
    EXPECT_TRUE(GetBool(want, "missing", true));
    // Nor a file's path or an int's digits a string.
    EXPECT_EQ(GetString(want, "s", "?"), "plain");
    EXPECT_EQ(GetString(want, "file", "?") + GetString(want, "i", "?"), "??");
    EXPECT_EQ(GetString(nullptr), "");
    EXPECT_EQ(GetFile(want, "s", "?") + GetFile(nullptr, "?"), "??");
}

TEST(TiledRead, FilePropertiesAreFoundFromTheFileThatNamesThem) {
    // A door made from a template in a folder of its own: the template's
    // target is the template's to resolve, a value the map gives the map's.
    EngineTest::TempDir dir;
    std::filesystem::create_directories(dir.File("tpl"));
    TiledTest::WriteText(dir.File("tpl/door.tx"), R"(<template><object type="door">
 <properties><property name="to" type="file" value="../maps/cave.tmx"/>
  <property name="knock" type="file" value="knock.ogg"/>
  <property name="keep" type="class"><properties>
   <property name="song" type="file" value="../music/x.ogg"/></properties></property>
 </properties></object></template>)");
    const Map map = Parse(R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8"
 tileheight="8"><objectgroup name="o"><object id="1" template="tpl/door.tx" x="0" y="0">
 <properties><property name="knock" type="file" value="sfx/bang.ogg"/>
  <property name="none" type="file" value=""/></properties></object></objectgroup></map>)",
                          dir.File("m.tmx"));
    const Object& door = map.objectGroups.at(0).objects.at(0);
    EXPECT_EQ(GetFile(door.properties, "to"), dir.File("maps/cave.tmx"));
    EXPECT_EQ(GetFile(door.properties, "knock"), dir.File("sfx/bang.ogg"));
    EXPECT_EQ(GetFile(FindProperty(door.properties, "keep")->members, "song"),
              dir.File("music/x.ogg"));
    EXPECT_EQ(GetFile(door.properties, "none", "?"), "?");
}

} // namespace

namespace {

// Each fixture as the real Tiled 1.8 wrote it (--export-map, TMX and JSON)
// from a hand-written map; pics.tsx carries Tiled 1.9's sub-rectangle by hand.
TEST(TiledRead, WhatTiledWritesOfLooksChunksTemplatesAndTileSizesReadsFieldByField) {
    using K = LayerKind;
    TiledTest::DataCopy copy;
    for (const std::string ext : {".tmx", ".tmj"}) {
        SCOPED_TRACE(ext);
        const Map looks = LoadQuietly(copy.File("looks" + ext));
        EXPECT_EQ(std::tie(looks.renderOrder, looks.backgroundColor, looks.parallaxOriginX,
                           looks.parallaxOriginY),
                  std::tuple("left-up", std::optional(0x80336699u), 100.0, -50.0));
        const Tileset& keyed = looks.tilesets.at(0);
        EXPECT_EQ(std::tie(keyed.transparentColor, keyed.offsetX, keyed.offsetY),
                  std::tuple(std::optional(0xFFFF00FFu), 2, -3));
        EXPECT_EQ(keyed.FindTile(2)->animation, (std::vector<TileFrame>{{0, 100}, {1, 250}}));
        EXPECT_EQ(
            looks.layerOrder,
            (std::vector<LayerRef>{{K::Image, 0}, {K::Tile, 0}, {K::Object, 0}, {K::Tile, 1}}));
        EXPECT_EQ(&looks.Layer({K::Image, 0}), &looks.imageLayers[0]);
        EXPECT_EQ(&looks.Layer({K::Object, 0}), &looks.objectGroups[0]);
        EXPECT_EQ(&looks.Layer({K::Tile, 1}), &looks.layers[1]);
        const ImageLayer& sky = looks.imageLayers.at(0);
        EXPECT_EQ(std::tie(sky.imagePath, sky.repeatX, sky.repeatY, sky.transparentColor),
                  std::tuple(copy.File("marks.png"), true, false, std::optional(0xFF00FF00u)));
        EXPECT_EQ(sky.look, (LayerLook{0.75, 0xC0FFFF00u, -20.0, 10.0, 0.25, 0.5}));
        // The group's looks combined into its layer's.
        EXPECT_EQ(looks.layers[0].look, (LayerLook{0.25, 0x80800000u, 4.5, 6.0, 0.5, 0.5}));
        EXPECT_EQ(looks.layers[0].At(3, 2), 12u | H | V);
        const std::vector<Object>& things = looks.objectGroups.at(0).objects;
        EXPECT_EQ(looks.objectGroups[0].drawOrder, "index");
        ASSERT_EQ(things.size(), 8u);
        auto placed = [](const Object& o) {
            return std::tie(o.name, o.className, o.shape, o.gid, o.x, o.y, o.width, o.height,
                            o.rotation);
        };
        EXPECT_EQ(placed(things[0]),
                  std::tuple("crate", "", "rectangle", 8u | H, 10.0, 74.0, 32.0, 48.0, 90.0));
        EXPECT_EQ(placed(things[3]),
                  std::tuple("pond", "water", "ellipse", 0u, 1.0, 2.0, 30.0, 40.0, 0.0));
        const ObjectText& sign = things[2].text;
        EXPECT_EQ(things[2].shape, "text");
        EXPECT_EQ(sign, (ObjectText{"Hello,\nboat", "Serif", 20, true, 0x8000FF00u, true, true,
                                    true, true, false, "right", "bottom"}));
        EXPECT_EQ(things[4].points, (std::vector<ObjectPoint>{{0, 0}, {32, -16}, {64, 0}}));
        EXPECT_EQ(std::tie(things[5].shape, things[5].points),
                  std::tuple("polyline", std::vector<ObjectPoint>{{0, 0}, {10.5, 20}}));
        EXPECT_EQ(things[6].shape, "point");
        // The template's tile set, which the map lacks, after the map's own.
        EXPECT_EQ(std::tie(looks.tilesets.at(1).name, looks.tilesets[1].firstGid, things[7].gid),
                  std::tuple("pics", 13u, 16u));

        // Chunks on the box around them all, from (-16, -16); pixels move with it.
        const Map inf = LoadQuietly(copy.File("infinite" + ext));
        EXPECT_EQ(std::tie(inf.infinite, inf.width, inf.height, inf.originX, inf.originY),
                  std::tuple(true, 32, 32, -16, -16));
        const TileLayer &ground = inf.layers.at(0), &corners = inf.layers.at(1);
        EXPECT_EQ(std::tuple(ground.At(0, 16), ground.At(0, 31), ground.At(15, 31),
                             ground.At(16, 15), ground.At(31, 0), ground.At(16, 16)),
                  std::tuple(5u, 1u, 1u, 2u, 6u, 0u));
        EXPECT_EQ(std::tuple(corners.At(0, 0), corners.At(31, 31), corners.At(1, 0)),
                  std::tuple(4u, 3u, 0u));
        EXPECT_EQ(inf.layers.at(2).gids, std::vector<uint32_t>(32 * 32, 0));
        EXPECT_EQ(std::tie(inf.FindObject("player")->x, inf.FindObject("player")->y),
                  std::tuple(64.0, 960.0));
        EXPECT_EQ(std::tie(inf.imageLayers.at(0).look.offsetX, inf.imageLayers[0].look.offsetY,
                           inf.parallaxOriginX, inf.parallaxOriginY),
                  std::tuple(1032.0, 1020.0, 1056.0, 1040.0));

        // Tiles larger and smaller than a cell, a collection, templates.
        const Map sizes = LoadQuietly(copy.File("sizes" + ext));
        ASSERT_EQ(sizes.tilesets.size(), 4u);
        const Tileset &big = sizes.tilesets[0], &bare = sizes.tilesets[1],
                      &pics = sizes.tilesets[2], &ghost = sizes.tilesets[3];
        EXPECT_EQ(std::tie(big.tileWidth, big.tileHeight, big.tileCount, big.offsetX, big.offsetY,
                           big.objectAlignment),
                  std::tuple(128, 96, 4, 4, -8, "bottom"));
        // No size nor count in bare.tsx: the image's header gives them.
        EXPECT_EQ(std::tie(bare.imageWidth, bare.imageHeight, bare.columns, bare.tileCount),
                  std::tuple(256, 192, 8, 48));
        EXPECT_EQ(std::tie(pics.collection, pics.tileCount, pics.objectAlignment),
                  std::tuple(true, 3, "center"));
        const TileInfo &cloud = *pics.FindTile(0), &mark = *pics.FindTile(3);
        EXPECT_EQ(std::tie(cloud.className, cloud.imagePath, cloud.width, cloud.height),
                  std::tuple("cloud", copy.File("tiles.png"), 256, 192));
        EXPECT_EQ(std::tie(mark.imagePath, mark.x, mark.y, mark.width, mark.height),
                  std::tuple(copy.File("marks.png"), 2, 2, 64, 64));
        // Tile 5's image is missing and the ghost's too: nothing shows them.
        EXPECT_EQ(std::tuple(big.used, bare.used, pics.used, ghost.used),
                  std::tuple(true, true, true, false));
        EXPECT_EQ(sizes.Resolve(56), (TileRef{2, 3}));
        EXPECT_EQ(sizes.Resolve(54), std::nullopt); // a gap in the collection's ids
        const std::vector<Object>& made = sizes.objectGroups.at(0).objects;
        ASSERT_EQ(made.size(), 5u);
        const std::string crate = copy.File("tpl/crate.tx"), zone = copy.File("tpl/zone.tj");
        EXPECT_EQ(placed(made[0]),
                  std::tuple("crate", "box", "rectangle", 56u, 10.0, 20.0, 64.0, 64.0, 0.0));
        EXPECT_EQ(placed(made[1]),
                  std::tuple("heavy", "box", "rectangle", 56u, 30.0, 40.0, 64.0, 64.0, 45.0));
        EXPECT_EQ(made[1].properties,
                  (Properties{Prop("weight", "int", "9"), Prop("colour", "string", "red")}));
        EXPECT_EQ(placed(made[2]),
                  std::tuple("zone", "area", "ellipse", 0u, 1.0, 2.0, 5.0, 6.0, 10.0));
        EXPECT_EQ(std::tie(made[3].shape, made[3].visible, made[3].width, made[3].templatePath),
                  std::tuple("point", false, 30.0, zone));
        EXPECT_EQ(made[0].templatePath, crate);
        // A tile object Tiled gave no size has its tile's.
        EXPECT_EQ(std::tie(made[4].gid, made[4].width, made[4].height),
                  std::tuple(53u | V, 256.0, 192.0));
        EXPECT_EQ(sizes.templates, (std::vector<std::string>{crate, zone}));
        const std::vector<std::string> files = sizes.Files();
        for (const std::string& file : {crate, zone, copy.File("sets/pics.tsx"),
                                        copy.File("marks.png"), copy.File("nothere.png")})
            EXPECT_NE(std::find(files.begin(), files.end(), file), files.end()) << file;
    }
    // Cells an infinite map keeps as a finite one does: a chunk at the
    // origin, as Tiled reads them.
    const Map plain =
        Parse(R"(<map orientation="orthogonal" infinite="1" width="5" height="5" tilewidth="8" )"
              R"(tileheight="8"><tileset firstgid="1" name="t" tilewidth="8" tileheight="8">)"
              R"(<image source="t.png" width="16" height="8"/></tileset><layer name="l" width="2" )"
              R"(height="1"><data encoding="csv">1,2</data></layer><layer name="e" width="5" )"
              R"(height="5"><data encoding="csv"/></layer></map>)",
              "plain.tmx");
    EXPECT_EQ(std::tie(plain.width, plain.height, plain.layers.at(0).gids, plain.layers.at(1).gids),
              std::tuple(2, 1, std::vector<uint32_t>{1, 2}, std::vector<uint32_t>{0, 0}));
}

TEST(TiledRead, EveryExampleOfTiledIsReadInItsOrientation) {
    if (!std::filesystem::is_directory(TiledTest::TiledExamples::kDir))
        GTEST_SKIP() << TiledTest::TiledExamples::kDir << " is not installed";
    const TiledTest::TiledExamples examples;
    const std::vector<std::string> maps = examples.Maps();
    EXPECT_GE(maps.size(), 20u);
    for (const std::string& path : maps) {
        try {
            testing::internal::CaptureStderr();
            const Map map = Load(path);
            const std::vector<Engine::Image> sheets = DecodeSheets(map);
            testing::internal::GetCapturedStderr();
            EXPECT_EQ(map.orientation == "orthogonal",
                      TiledTest::TiledExamples::Orthogonal(TiledTest::ReadText(path)))
                << path;
        } catch (const MapError& error) {
            testing::internal::GetCapturedStderr();
            ADD_FAILURE() << error.what();
        }
    }
}

// Where each orientation puts its cells, as Tiled's renderers place them,
// read alike from TMX and JSON: the pixel box of a few cells each, and where
// objects' points are drawn.
TEST(TiledRead, CellsLieWhereTiledPlacesThemInEveryOrientation) {
    struct Case {
        std::string header; // attributes of the map past its size
        std::vector<std::pair<std::pair<int, int>, PixelBox>> cells;
        std::vector<std::pair<ObjectPoint, ObjectPoint>> drawnAt{{{10, 20}, {10, 20}}};
    };
    const std::vector<Case> cases = {
        {R"(orientation="orthogonal" tilewidth="32" tileheight="16")",
         {{{0, 0}, {0, 0, 32, 16}}, {{2, 3}, {64, 48, 32, 16}}}},
        // Diamonds, the top corner of (0, 0) at 3 rows of half a tile's width.
        {R"(orientation="isometric" tilewidth="64" tileheight="32")",
         {{{0, 0}, {64, 0, 64, 32}},
          {{1, 0}, {96, 16, 64, 32}},
          {{0, 1}, {32, 16, 64, 32}},
          {{2, 2}, {64, 64, 64, 32}}},
         // Objects' pixels run along the diamonds' sides, 32 a cell.
         {{{0, 0}, {96, 0}}, {{32, 0}, {128, 16}}, {{16, 48}, {64, 32}}, {{-32, 0}, {64, -16}}}},
        // Rows half a tile apart, the odd ones (or the even) half a tile right.
        {R"(orientation="staggered" staggeraxis="y" staggerindex="odd" tilewidth="64" tileheight="32")",
         {{{0, 0}, {0, 0, 64, 32}},
          {{0, 1}, {32, 16, 64, 32}},
          {{1, 1}, {96, 16, 64, 32}},
          {{2, 2}, {128, 32, 64, 32}}}},
        {R"(orientation="staggered" staggeraxis="y" staggerindex="even" tilewidth="64" tileheight="32")",
         {{{0, 0}, {32, 0, 64, 32}}, {{0, 1}, {0, 16, 64, 32}}}},
        // Columns half a tile apart, the even ones half a tile down.
        {R"(orientation="staggered" staggeraxis="x" staggerindex="even" tilewidth="64" tileheight="32")",
         {{{0, 0}, {0, 16, 64, 32}}, {{1, 0}, {32, 0, 64, 32}}, {{1, 2}, {32, 64, 64, 32}}}},
        // Hexagons: rows (14 - 0) / 2 + 6 = 9 apart, each 14 across, the odd
        // ones 7 right; columns (60 - 30) / 2 + 30 = 45 apart, 60 down.
        {R"(orientation="hexagonal" staggeraxis="y" staggerindex="odd" hexsidelength="6" tilewidth="14" tileheight="12")",
         {{{0, 0}, {0, 0, 14, 12}}, {{0, 1}, {7, 9, 14, 12}}, {{3, 2}, {42, 18, 14, 12}}}},
        // Tiled lays odd sizes out as the even ones below them, each tile
        // standing on the even height's bottom (as tmxrasterizer draws it).
        {R"(orientation="hexagonal" staggeraxis="y" staggerindex="odd" hexsidelength="6" tilewidth="15" tileheight="13")",
         {{{0, 0}, {0, -1, 15, 13}}, {{0, 1}, {7, 8, 15, 13}}}},
        {R"(orientation="hexagonal" staggeraxis="x" staggerindex="odd" hexsidelength="30" tilewidth="60" tileheight="60")",
         {{{0, 0}, {0, 0, 60, 60}}, {{1, 0}, {45, 30, 60, 60}}, {{2, 1}, {90, 60, 60, 60}}}},
    };
    for (const Case& c : cases) {
        // The same header as JSON: key="value" becomes "key":value.
        std::string json = c.header;
        for (size_t at; (at = json.find("=\"")) != std::string::npos;) {
            const size_t end = json.find('"', at + 2);
            const std::string value = json.substr(at + 2, end - at - 2);
            const bool number = value.find_first_not_of("0123456789") == std::string::npos;
            json = json.substr(0, at) + "\":" + (number ? value : "\"" + value + "\"") +
                   (end + 1 < json.size() ? "," : "") + json.substr(end + 1);
        }
        for (char& ch : json)
            if (ch == ' ')
                ch = '"';
        json = R"({"type":"map","width":4,"height":3,")" + json + "}";
        const std::string tmx = R"(<map width="4" height="3" )" + c.header + "/>";
        for (const std::string& text : {tmx, json}) {
            const Map map = Parse(text, kData + "grid");
            for (const auto& [cell, box] : c.cells)
                EXPECT_EQ(map.CellBox(cell.first, cell.second), box)
                    << text << " cell " << cell.first << "," << cell.second;
            for (const auto& [point, drawn] : c.drawnAt) {
                EXPECT_EQ(map.DrawnAt(point.x, point.y), drawn)
                    << text << " point " << point.x << "," << point.y;
                EXPECT_EQ(map.FromDrawn(drawn.x, drawn.y), point) << text;
            }
        }
    }

    // An infinite map counts odd rows from Tiled's own origin: its box starts
    // on row -1, whose cells are shifted, and its objects move up with it by
    // a row's step.
    const Map infinite = Parse(
        R"(<map orientation="staggered" staggeraxis="y" staggerindex="odd" width="4" height="4" )"
        R"(tilewidth="64" tileheight="32" infinite="1"><layer name="l" width="4" )"
        R"(height="4"><data encoding="csv"><chunk x="0" y="-1" width="1" height="2">0,0</chunk>)"
        R"(</data></layer><objectgroup name="o"><object id="1" x="10" y="20"/></objectgroup></map>)",
        kData + "infinite-staggered");
    EXPECT_EQ(infinite.originY, -1);
    EXPECT_EQ(infinite.CellBox(0, 0), (PixelBox{32, 0, 64, 32}));
    EXPECT_EQ(infinite.CellBox(0, 1), (PixelBox{0, 16, 64, 32}));
    EXPECT_EQ(infinite.objectGroups.at(0).objects.at(0).y, 36.0);

    // The same as rectangles for the kit's calls: the map's bounds, a plain
    // object's box, and a tile object's from the point its alignment names.
    const Map boxes = Parse(
        R"(<map orientation="orthogonal" width="4" height="3" tilewidth="32" tileheight="16">)"
        R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8" tilecount="1" columns="1" )"
        R"(objectalignment="center"><image source="t.png" width="8" height="8"/></tileset>)"
        R"(<objectgroup name="o"><object id="1" x="10" y="20" width="30" height="40"/>)"
        R"(<object id="2" gid="1" x="50" y="60" width="8" height="8"/></objectgroup></map>)",
        kData + "boxes");
    const std::vector<Object>& objects = boxes.objectGroups.at(0).objects;
    EXPECT_EQ(boxes.Bounds(), (Engine::Rectangle{0, 0, 128, 48}));
    EXPECT_EQ(boxes.BoxOf(objects.at(0)), (Engine::Rectangle{10, 20, 30, 40}));
    EXPECT_EQ(boxes.BoxOf(objects.at(1)), (Engine::Rectangle{46, 56, 8, 8}));

    // Shown where Tiled shows them: moved by their layer's offset, its
    // groups' included; on an isometric map that offset, in drawn pixels,
    // turned into objects' pixels. An object of no layer of the map stays.
    for (const std::string orientation : {"orthogonal", "isometric"}) {
        const Map moved = Parse(
            R"(<map orientation=")" + orientation +
                R"(" width="4" height="3" tilewidth="32" tileheight="16"><objectgroup name="a"/>)"
                R"(<group offsetx="3" offsety="-5"><objectgroup name="o" offsetx="4" offsety="2">)"
                R"(<object id="1" x="10" y="20" width="30" height="40"/></objectgroup></group></map>)",
            kData + "moved");
        const Object& object = moved.objectGroups.at(1).objects.at(0);
        EXPECT_EQ(moved.LayerOf(object), &moved.objectGroups.at(1));
        const Engine::Rectangle shown = moved.ShownBoxOf(object), box = moved.BoxOf(object);
        const ObjectPoint from = moved.DrawnAt(box.x, box.y), to = moved.DrawnAt(shown.x, shown.y);
        EXPECT_DOUBLE_EQ(to.x - from.x, 7) << orientation;
        EXPECT_DOUBLE_EQ(to.y - from.y, -3) << orientation;
        EXPECT_EQ(shown.width, box.width);
        EXPECT_EQ(shown.height, box.height);
    }
    const Object stranger = objects.at(0);
    EXPECT_EQ(boxes.LayerOf(stranger), nullptr);
    EXPECT_EQ(boxes.ShownBoxOf(stranger), boxes.BoxOf(stranger));

    // Outlines turned clockwise (y down) about (x, y) and moved with their
    // layer: a box turned a quarter reaches left of its (x, y), a polyline
    // half a turn goes back up, a centred tile turns about its centre.
    const Map turned = Parse(
        R"(<map orientation="orthogonal" width="4" height="3" tilewidth="32" tileheight="16">)"
        R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8" tilecount="1" columns="1" )"
        R"(objectalignment="center"><image source="t.png" width="8" height="8"/></tileset>)"
        R"(<objectgroup name="o" offsetx="100" offsety="200">)"
        R"(<object id="1" x="10" y="20" width="30" height="4" rotation="90"/>)"
        R"(<object id="2" x="10" y="20" rotation="180"><polyline points="0,0 5,0 5,7"/></object>)"
        R"(<object id="3" gid="1" x="50" y="60" width="8" height="8" rotation="90"/>)"
        R"(</objectgroup></map>)",
        kData + "turned");
    using Points = std::vector<glm::vec2>;
    const std::vector<Object>& t = turned.objectGroups.at(0).objects;
    EXPECT_EQ(turned.ShownPointsOf(t.at(0)),
              (Points{{110, 220}, {110, 250}, {106, 250}, {106, 220}}));
    EXPECT_EQ(turned.ShownPointsOf(t.at(1)), (Points{{110, 220}, {105, 220}, {105, 213}}));
    EXPECT_EQ(turned.ShownPointsOf(t.at(2)),
              (Points{{154, 256}, {154, 264}, {146, 264}, {146, 256}}));
}

// The way back from a point to its cell, on every orientation: any point lies
// in the shape (not the box) of the cell it is given, points just inside a
// cell's corners and sides give that cell, and a point on a side or corner
// cells share goes to the cell just below it (right of an upright side).
TEST(TiledRead, CellAtFindsTheCellWhoseShapeHoldsThePoint) {
    struct Case {
        const char* orientation;
        int tileWidth, tileHeight, side;
        const char* axis;
        const char* index;
        int originX = 0, originY = 0; // an infinite map's, which moves odd and even
    };
    const Case cases[] = {
        {"orthogonal", 32, 16, 0, "y", "odd"},
        {"isometric", 64, 32, 0, "y", "odd"},
        {"isometric", 63, 31, 0, "y", "odd"},
        {"staggered", 64, 32, 0, "y", "odd"},
        {"staggered", 64, 32, 0, "y", "even", 0, -1},
        {"staggered", 64, 32, 0, "x", "odd"},
        {"staggered", 64, 32, 0, "x", "even"},
        {"hexagonal", 14, 12, 6, "y", "odd"},
        {"hexagonal", 15, 13, 5, "y", "even"},
        {"hexagonal", 60, 60, 30, "x", "odd"},
        {"hexagonal", 40, 24, 7, "x", "even", 1, 0},
        // Sizes whose reciprocals round: a whole pixel on a side still lands on it.
        {"isometric", 10, 15, 0, "y", "odd", 1, -1},
        {"staggered", 24, 7, 0, "y", "even"},
        {"hexagonal", 28, 36, 5, "x", "even", -1, 0},
    };
    struct Point {
        double x, y;
    };
    for (const Case& c : cases) {
        Map map;
        map.width = 4;
        map.height = 3;
        map.orientation = c.orientation;
        map.tileWidth = c.tileWidth;
        map.tileHeight = c.tileHeight;
        map.hexSideLength = c.side;
        map.staggerAxis = c.axis;
        map.staggerIndex = c.index;
        map.originX = c.originX;
        map.originY = c.originY;
        const std::string name = std::string(c.orientation) + " " + c.axis + " " + c.index + " " +
                                 std::to_string(c.tileWidth) + "x" + std::to_string(c.tileHeight);
        // The cell's shape, corners clockwise, from where CellBox puts it: a
        // box with its corners cut, as deep as the step between rows (or
        // columns) leaves; staggered and hexagonal cells on even sizes.
        const bool hex = map.orientation == "staggered" || map.orientation == "hexagonal";
        const bool staggerX = hex && map.staggerAxis == "x";
        auto shape = [&](MapCell cell) {
            const PixelBox box = map.CellBox(cell.column, cell.row);
            const double w = hex ? c.tileWidth & ~1 : c.tileWidth,
                         h = hex ? c.tileHeight & ~1 : c.tileHeight;
            const double x = box.x, y = box.y + box.height - h;
            double cx = 0, cy = 0;
            if (map.orientation == "isometric")
                cx = w / 2, cy = h / 2;
            if (hex && staggerX)
                cx = w - (map.CellBox(1, 0).x - map.CellBox(0, 0).x), cy = h / 2;
            if (hex && !staggerX)
                cx = w / 2, cy = h - (map.CellBox(0, 1).y - map.CellBox(0, 0).y);
            return std::vector<Point>{{x + cx, y},         {x + w - cx, y}, {x + w, y + cy},
                                      {x + w, y + h - cy}, {x + w - cx, y + h},
                                      {x + cx, y + h},     {x, y + h - cy}, {x, y + cy}};
        };
        auto inside = [](const std::vector<Point>& s, Point p) {
            for (size_t i = 0; i < s.size(); ++i) {
                const Point a = s[i], b = s[(i + 1) % s.size()];
                if ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) < -1e-9)
                    return false;
            }
            return true;
        };
        for (int row = -1; row <= map.height; ++row)
            for (int column = -1; column <= map.width; ++column) {
                const MapCell cell{column, row};
                const std::vector<Point> s = shape(cell);
                const Point mid{(s[0].x + s[4].x) / 2, (s[2].y + s[6].y) / 2};
                for (size_t i = 0; i < s.size(); ++i) {
                    const Point a = s[i], b = s[(i + 1) % s.size()];
                    const Point half{(a.x + b.x) / 2, (a.y + b.y) / 2};
                    for (const Point p : {a, half}) {
                        const std::string at = name + " cell " + std::to_string(column) + "," +
                                               std::to_string(row) + " point " +
                                               std::to_string(p.x) + "," + std::to_string(p.y);
                        const Point in{p.x + (mid.x - p.x) / 100, p.y + (mid.y - p.y) / 100};
                        EXPECT_EQ(map.CellAt(in.x, in.y), cell) << at << " just inside";
                        EXPECT_EQ(map.CellAt(p.x, p.y), map.CellAt(p.x + 1e-6, p.y + 1e-3))
                            << at << " on the edge";
                        if (p.x == a.x || a.y == b.y) // a corner, or a side upright or level
                            continue;
                        // Just past a slanted side: the neighbour's shape holds it.
                        const Point out{p.x - (mid.x - p.x) / 100, p.y - (mid.y - p.y) / 100};
                        const MapCell next = map.CellAt(out.x, out.y);
                        EXPECT_NE(next, cell) << at << " just outside";
                        EXPECT_TRUE(inside(shape(next), out)) << at << " just outside";
                    }
                }
            }
        // Anywhere, on and off the map: the cell given holds the point.
        for (double y = -40.3; y < 200; y += 1.7)
            for (double x = -40.1; x < 300; x += 2.3) {
                const MapCell cell = map.CellAt(x, y);
                EXPECT_TRUE(inside(shape(cell), {x, y}))
                    << name << " point " << x << "," << y << " cell " << cell.column << ","
                    << cell.row;
            }
        // Every whole pixel, the mouse's, goes where the tie rule sends it,
        // sides included.
        for (double y = -20; y < 100; ++y)
            for (double x = -20; x < 160; ++x)
                ASSERT_EQ(map.CellAt(x, y), map.CellAt(x + 1e-6, y + 1e-3))
                    << name << " pixel " << x << "," << y;
        // Points past what an int counts, or not numbers, give cells far off.
        const double far = 1e300, nan = std::nan("");
        for (const auto [x, y] : {Point{far, far}, {-far, -far}, {nan, 0}, {0, nan}}) {
            const MapCell cell = map.CellAt(x, y);
            EXPECT_TRUE(cell.column == INT_MAX || cell.column == INT_MIN ||
                        cell.row == INT_MAX || cell.row == INT_MIN)
                << name << " " << x << "," << y;
        }
    }
}

// Tiled's own picture as the judge: its example hexagon (60 by 60, sides of
// 30; turned over its diagonal for stagger axis y) in a colour of its own
// for each cell, drawn by tmxrasterizer. Wherever a tile is opaque in it,
// CellAt names that tile's cell.
TEST(TiledRead, CellAtAgreesWithTmxrasterizersHexagons) {
    const std::string hexagon = "/usr/share/doc/tiled/examples/test_hexagonal_tile_60x60x30.png";
    if (std::system("command -v tmxrasterizer >/dev/null 2>&1") != 0 ||
        !std::filesystem::exists(hexagon))
        GTEST_SKIP() << "tmxrasterizer and Tiled's examples (Debian package tiled) not installed";
    const Engine::Image tile = Engine::Image::Load(hexagon);
    ASSERT_EQ(tile.Width(), 60) << tile.Error();
    EngineTest::TempDir dir;
    constexpr int COLUMNS = 6, ROWS = 5, CELLS = COLUMNS * ROWS;
    auto colour = [](int k) { return Engine::Image::Rgba(uint8_t(8 * k), uint8_t(255 - 8 * k), 128); };
    for (const char* axis : {"x", "y"})
        for (const char* index : {"odd", "even"}) {
            const std::string name = std::string(axis) + "-" + index;
            EngineTest::WritePng(dir.File(name + ".png"), 60 * CELLS, 60, [&](int x, int y) {
                const bool turned = *axis == 'y';
                const uint8_t a = tile.GetPixel(turned ? y : x % 60, turned ? x % 60 : y).a;
                const Engine::Image::Rgba c = colour(x / 60);
                return EngineTest::Rgba{c.r, c.g, c.b, a};
            });
            std::string data = "1";
            for (int k = 2; k <= CELLS; ++k)
                data += "," + std::to_string(k);
            const std::string text =
                R"(<map orientation="hexagonal" width="6" height="5" tilewidth="60" tileheight="60" )"
                R"(hexsidelength="30" staggeraxis=")" + std::string(axis) + R"(" staggerindex=")" +
                index + R"("><tileset firstgid="1" name="c" tilewidth="60" tileheight="60" )"
                R"(tilecount="30" columns="30"><image source=")" + name +
                R"(.png" width="1800" height="60"/></tileset><layer name="l" width="6" height="5">)"
                R"(<data encoding="csv">)" + data + "</data></layer></map>";
            std::ofstream(dir.File(name + ".tmx")) << text;
            const std::string command = "QT_QPA_PLATFORM=offscreen timeout -k 5 30 tmxrasterizer "
                                        "--no-smoothing '" + dir.File(name + ".tmx") + "' '" +
                                        dir.File(name + "-tiled.png") + "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            const Engine::Image tiled = Engine::Image::Load(dir.File(name + "-tiled.png"));
            const Map map = Parse(text, dir.File(name + ".tmx"));
            ASSERT_EQ(tiled.Width(), int(map.Extent().width)) << tiled.Error();
            int judged = 0;
            for (int y = 0; y < tiled.Height(); ++y)
                for (int x = 0; x < tiled.Width(); ++x) {
                    const Engine::Image::Rgba p = tiled.GetPixel(x, y);
                    const int k = p.r / 8;
                    const Engine::Image::Rgba c = colour(k);
                    // Rims, where Tiled blends the hexagon's edge, judge nothing.
                    if (p.a < 250 || k >= CELLS || c.r != p.r || c.g != p.g || c.b != p.b)
                        continue;
                    ++judged;
                    ASSERT_EQ(map.CellAt(x + 0.5, y + 0.5), (MapCell{k % COLUMNS, k / COLUMNS}))
                        << name << " pixel " << x << "," << y;
                }
            EXPECT_GT(judged, 60000) << name;
        }
}

} // namespace

namespace {

// A property's value by path through class values: "stats.at.x".
std::string ValueAt(const Properties& properties, const std::string& path) {
    const Properties* level = &properties;
    size_t start = 0;
    for (;;) {
        const size_t dot = path.find('.', start);
        const Property* p = FindProperty(*level, path.substr(start, dot - start));
        if (!p)
            return "<none>";
        if (dot == std::string::npos)
            return p->value;
        level = &p->members;
        start = dot + 1;
    }
}

TEST(TiledProject, TiledsExampleProjectAndItsObjectTypes) {
    const std::string dir = TiledTest::TiledExamples::kDir;
    const Project project = LoadProject(dir + "/examples.tiled-project");
    EXPECT_EQ(project.objectTypesFile, dir + "/objecttypes.xml");
    ASSERT_EQ(project.propertyTypes.size(), 3u);
    const PropertyType& body = project.propertyTypes[0];
    EXPECT_EQ(std::tie(body.id, body.name, body.isEnum, body.storageType),
              std::tuple(1, "BodyType", true, "string"));
    EXPECT_EQ(body.values, (std::vector<std::string>{"Static", "Dynamic"}));
    EXPECT_EQ(project.FindClass("BodyType", ""), nullptr);
    // The object types file read on its own says the same.
    const Project types = LoadProject(dir + "/objecttypes.xml");
    EXPECT_EQ(types.objectTypes, project.objectTypes);
    ASSERT_EQ(project.objectTypes.size(), 4u);
    const PropertyType* fixture = project.FindClass("Fixture", "object");
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(fixture->members,
              (Properties{Prop("friction", "float", "1"), Prop("static", "bool", "false")}));
    EXPECT_EQ(project.FindClass("Trigger", "object")->members,
              (Properties{Prop("script", "file", "")}));
    // Object types are for objects only.
    EXPECT_EQ(project.FindClass("Fixture", "layer"), nullptr);

    // Of types of one name, the first in the project's order that may be
    // used so; an object type only where no class may.
    const Project same = ParseProject(
        R"({"propertyTypes":[{"name":"S","type":"enum"},{"name":"S","useAs":["tile"]},)"
        R"({"name":"S"},{"name":"S","useAs":["object"]},{"name":"T","useAs":["map"]}]})",
        "same.tiled-project");
    Project withTypes = same;
    withTypes.objectTypes.emplace_back().name = "T";
    // Its name, its use, its index (object types after the classes; -1 none).
    const std::vector<std::tuple<const char*, const char*, int>> finds = {
        {"S", "", 1},    {"S", "tile", 1},   {"S", "object", 2}, {"S", "map", 2},
        {"T", "map", 4}, {"T", "layer", -1}, {"T", "object", 5}, {"U", "object", -1}};
    for (const auto& [name, use, index] : finds) {
        const PropertyType* found = withTypes.FindClass(name, use);
        EXPECT_EQ(found, index < 0   ? nullptr
                         : index < 5 ? &withTypes.propertyTypes[size_t(index)]
                                     : &withTypes.objectTypes[0])
            << name << " as " << use;
    }
}

TEST(TiledProject, WhatAMapLeavesOutComesFromItsClasses) {
    const Project project = LoadProject(kData + "types.tiled-project");
    const Map plain = Load(kData + "typed.tmx");
    const Map map = Load(kData + "typed.tmx", project);
    // Without the project nothing is added.
    EXPECT_EQ(plain.FindObject("crate")->properties, Properties{});
    EXPECT_EQ(plain.PropertyOf(*plain.FindObject("boss"), "stats")->members.size(), 1u);
    struct Case {
        const Properties& properties;
        std::string path, value;
    };
    const TileInfo& tile = *map.tilesets[0].FindTile(0);
    const Properties& grunt = map.FindObject("grunt")->properties;
    const Properties& boss = map.FindObject("boss")->properties;
    const Properties& crate = map.FindObject("crate")->properties;
    const Case cases[] = {
        {map.properties, "music", "calm.ogg"},
        // A tile of a class, its own value kept.
        {tile.properties, "speed", "50"},
        {tile.properties, "stats.hp", "7"},
        // An object's own values first; an enum stays as saved.
        {grunt, "speed", "120"},
        {grunt, "mood", "Angry"},
        {grunt, "stats.mood", "Calm"},
        // A member's default that is a class value set in part, filled from
        // its own class.
        {grunt, "stats.at.x", "3"},
        {grunt, "stats.at.y", "0"},
        // A tile object: its tile's values before its class's.
        {boss, "speed", "50"},
        {boss, "stats.hp", "99"},
        {boss, "stats.mood", "Calm"},
        {boss, "stats.at.x", "3"},
        // Tiled 1.8's object types.
        {crate, "friction", "1"},
        {crate, "static", "false"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueAt(c.properties, c.path), c.value) << c.path;
    EXPECT_EQ(FindProperty(grunt, "mood")->propertyType, "Mood");
    EXPECT_EQ(map.PropertyOf(*map.FindObject("boss"), "stats")->propertyType, "Stats");
    // Classes not meant for layers leave them alone; nothing is doubled.
    EXPECT_TRUE(map.layers[0].properties.empty());
    EXPECT_EQ(grunt.size(), 3u);
    // A file's default is the project's to resolve.
    EXPECT_EQ(GetFile(map.properties, "music"), kData + "calm.ogg");
    // A class value of a type the project lacks is named, not passed over.
    testing::internal::CaptureStderr();
    Parse(R"(<map orientation="orthogonal" width="1" height="1" tilewidth="8" tileheight="8">
 <properties><property name="k" type="class" propertytype="Stast"/></properties></map>)",
          "t.tmx", project);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("\"Stast\""), std::string::npos);
}

} // namespace
