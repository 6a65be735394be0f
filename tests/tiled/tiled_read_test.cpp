// The Tiled map reader on the hand-written maps of tests/tiled/data: what it
// reads from them, in every layer encoding, and the content checks.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
    const Properties want{Prop("b", "bool", "true"),    Prop("c", "color", "#ff112233"),
                          Prop("f", "float", "0.25"),   Prop("file", "file", "../music/a.ogg"),
                          Prop("i", "int", "-7"),       Prop("o", "object", "4"),
                          Prop("s", "string", "plain"), spawn};
    EXPECT_EQ(Parse(tmx, "p.tmx").properties, want);
    EXPECT_EQ(Parse(json, "p.tmj").properties, want);
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
}

} // namespace

namespace {

// Tiled's own examples, as Debian installs them, copied with their .gz
// files unpacked (the maps name each other's files without the .gz).
class Examples {
public:
    static constexpr const char* kDir = "/usr/share/doc/tiled/examples";
    Examples() {
        namespace fs = std::filesystem;
        fs::copy(kDir, m_dir.File("ex"), fs::copy_options::recursive);
        for (const auto& entry : fs::recursive_directory_iterator(m_dir.File("ex"))) {
            const fs::path path = entry.path();
            if (path.extension() != ".gz")
                continue;
            gzFile in = gzopen(path.c_str(), "rb");
            std::ofstream out(path.parent_path() / path.stem(), std::ios::binary);
            char buffer[1 << 15];
            for (int n; (n = gzread(in, buffer, sizeof buffer)) > 0;)
                out.write(buffer, n);
            gzclose(in);
        }
    }
    std::vector<std::string> Maps() const {
        std::vector<std::string> maps;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.File("ex")))
            if (entry.path().extension() == ".tmx")
                maps.push_back(entry.path().string());
        std::sort(maps.begin(), maps.end());
        return maps;
    }
    std::string File(const std::string& name) const { return m_dir.File("ex/" + name); }

private:
    EngineTest::TempDir m_dir;
};

TEST(TiledRead, EveryOrthogonalExampleOfTiledIsReadTheOthersRefusedForTheirOrientation) {
    if (!std::filesystem::is_directory(Examples::kDir))
        GTEST_SKIP() << Examples::kDir << " is not installed";
    const Examples examples;
    const std::vector<std::string> maps = examples.Maps();
    EXPECT_GE(maps.size(), 20u);
    int read = 0;
    for (const std::string& path : maps) {
        const std::string text = TiledTest::ReadText(path);
        const bool orthogonal = text.find("orientation=\"orthogonal\"") != std::string::npos;
        try {
            testing::internal::CaptureStderr();
            const Map map = Load(path);
            const std::vector<Engine::Image> sheets = DecodeSheets(map);
            testing::internal::GetCapturedStderr();
            EXPECT_TRUE(orthogonal) << path;
            ++read;
        } catch (const MapError& error) {
            testing::internal::GetCapturedStderr();
            EXPECT_FALSE(orthogonal) << error.what();
            EXPECT_NE(std::string(error.what()).find("only orthogonal maps are read"),
                      std::string::npos)
                << error.what();
        }
    }
    EXPECT_GE(read, 16);
}

} // namespace
