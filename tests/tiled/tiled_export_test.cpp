// Maps as the real Tiled writes them: the hand-written rich map, its layers
// in each encoding, converted by Tiled to TMX and to JSON (naming the TSX
// tile set, as Tiled 1.8 does) and read back to the same data.

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tiled/TiledTestData.h"

using namespace Engine::Tiled;

namespace {

void ExpectSameProperties(const Properties& a, const Properties& b, const std::string& where) {
    ASSERT_EQ(a.size(), b.size()) << where;
    for (const Property& p : a) {
        const Property* q = FindProperty(b, p.name);
        ASSERT_NE(q, nullptr) << where << " " << p.name;
        EXPECT_EQ(p.type, q->type) << where << " " << p.name;
        if (p.type == "float")
            EXPECT_EQ(std::stod(p.value), std::stod(q->value)) << where << " " << p.name;
        else
            EXPECT_EQ(p.value, q->value) << where << " " << p.name;
    }
}

// Fields two reads must agree on, as tuples: a failure prints both.
auto Sheet(const Tileset& s) {
    return std::tie(s.tileCount, s.columns, s.margin, s.spacing, s.imagePath);
}
auto Placed(const Object& o) {
    return std::tie(o.id, o.name, o.className, o.shape, o.gid, o.x, o.y, o.width, o.height,
                    o.rotation, o.visible);
}

void ExpectSameMap(const Map& a, const Map& b) {
    const std::string where = b.path;
    EXPECT_EQ(std::tie(a.width, a.height, a.tileWidth), std::tie(b.width, b.height, b.tileWidth))
        << where;
    ExpectSameProperties(a.properties, b.properties, where);
    ASSERT_EQ(a.tilesets.size(), b.tilesets.size()) << where;
    for (size_t i = 0; i < a.tilesets.size(); ++i) {
        const Tileset &s = a.tilesets[i], &t = b.tilesets[i];
        EXPECT_EQ(std::tie(s.name, s.firstGid), std::tie(t.name, t.firstGid)) << where;
        EXPECT_EQ(Sheet(s), Sheet(t)) << where;
        ASSERT_EQ(s.tiles.size(), t.tiles.size()) << where;
        for (const auto& [id, info] : s.tiles) {
            ASSERT_NE(t.FindTile(id), nullptr) << where << " tile " << id;
            EXPECT_EQ(info.className, t.FindTile(id)->className) << where;
            ExpectSameProperties(info.properties, t.FindTile(id)->properties, where);
        }
    }
    ASSERT_EQ(a.layers.size(), b.layers.size()) << where;
    for (size_t i = 0; i < a.layers.size(); ++i) {
        const TileLayer &l = a.layers[i], &m = b.layers[i];
        EXPECT_EQ(std::tie(l.name, l.id, l.visible, l.gids),
                  std::tie(m.name, m.id, m.visible, m.gids))
            << where << " " << l.name;
        ExpectSameProperties(l.properties, m.properties, where);
    }
    ASSERT_EQ(a.objectGroups.size(), b.objectGroups.size()) << where;
    for (size_t i = 0; i < a.objectGroups.size(); ++i) {
        ASSERT_EQ(a.objectGroups[i].objects.size(), b.objectGroups[i].objects.size()) << where;
        for (size_t k = 0; k < a.objectGroups[i].objects.size(); ++k) {
            const Object &o = a.objectGroups[i].objects[k], &p = b.objectGroups[i].objects[k];
            EXPECT_EQ(Placed(o), Placed(p)) << where;
            ExpectSameProperties(o.properties, p.properties, where);
        }
    }
    EXPECT_EQ(a.unsupported, b.unsupported) << where;
}

class TiledExport : public testing::TestWithParam<std::pair<std::string, std::string>> {
protected:
    void SetUp() override {
        if (!TiledTest::HaveTiled())
            GTEST_SKIP() << "tiled is not installed";
    }
};

TEST_P(TiledExport, TiledsOwnOutputReadsToTheSameMap) {
    const auto& [encoding, compression] = GetParam();
    TiledTest::DataCopy copy;
    const Map original = Load(copy.File("rich.tmx"));
    const std::string variant = copy.File("variant.tmx");
    TiledTest::WriteText(variant, TiledTest::Reencode(TiledTest::ReadText(copy.File("rich.tmx")),
                                                      encoding, compression));
    for (const char* format : {"tmx", "json"}) {
        const std::string out = copy.File(std::string("out.") + format);
        ASSERT_TRUE(TiledTest::TiledExport(variant, out, format)) << format;
        const std::string text = TiledTest::ReadText(out);
        // Tiled kept the layer format, and a JSON map still names the TSX file.
        if (!compression.empty()) {
            EXPECT_NE(text.find(compression), std::string::npos) << text.substr(0, 2000);
        }
        if (std::string(format) == "json") {
            EXPECT_NE(text.find("\"source\":\"marks.tsx\""), std::string::npos);
        }
        EXPECT_TRUE(IsTiledMap(text)) << format;
        ExpectSameMap(original, Load(out));
    }
}

using Encoding = std::pair<std::string, std::string>;
INSTANTIATE_TEST_SUITE_P(Encodings, TiledExport,
                         testing::Values(Encoding{"csv", ""}, Encoding{"base64", ""},
                                         Encoding{"base64", "zlib"}, Encoding{"base64", "gzip"},
                                         Encoding{"base64", "zstd"}),
                         [](const auto& info) { return info.param.first + info.param.second; });

TEST_F(TiledExport, TileSetsTiledWritesAsJsonReadAsTheirTsx) {
    TiledTest::DataCopy copy;
    ASSERT_TRUE(
        TiledTest::TiledExport(copy.File("marks.tsx"), copy.File("marks.tsj"), "json", "tileset"));
    const std::string tsj = TiledTest::ReadText(copy.File("marks.tsj"));
    const Tileset fromTsx =
        ParseTileset(TiledTest::ReadText(copy.File("marks.tsx")), copy.File("marks.tsx"));
    const Tileset fromTsj = ParseTileset(tsj, copy.File("marks.tsj"));
    EXPECT_EQ(Sheet(fromTsj), Sheet(fromTsx));
    EXPECT_EQ(fromTsj.tiles, fromTsx.tiles);
    // The rich map naming the TSJ instead, and Tiled's JSON of that map.
    std::string text = TiledTest::ReadText(copy.File("rich.tmx"));
    text.replace(text.find("marks.tsx"), 9, "marks.tsj");
    TiledTest::WriteText(copy.File("tsj.tmx"), text);
    const Map original = Load(copy.File("rich.tmx"));
    const Map viaTsj = Load(copy.File("tsj.tmx"));
    EXPECT_EQ(viaTsj.tilesets[1].source, copy.File("marks.tsj"));
    ExpectSameMap(original, viaTsj);
    ASSERT_TRUE(TiledTest::TiledExport(copy.File("tsj.tmx"), copy.File("tsj.tmj"), "json"));
    ExpectSameMap(original, Load(copy.File("tsj.tmj")));
}

// Tiled's own resolution of templates: the same objects, tile set and ids.
TEST_F(TiledExport, TemplatesReadAsTheObjectsTiledDetachesFromThem) {
    TiledTest::DataCopy copy;
    for (const char* name : {"sizes", "looks"}) {
        const Map original = Load(copy.File(std::string(name) + ".tmx"));
        for (const char* format : {"tmx", "json"}) {
            const std::string out = copy.File(std::string("detached.") + format);
            ASSERT_TRUE(TiledTest::TiledExport(copy.File(std::string(name) + ".tmx"), out, format,
                                               "map", "--detach-templates"));
            const Map detached = Load(out);
            EXPECT_TRUE(detached.templates.empty()) << name;
            ExpectSameMap(original, detached);
        }
    }
}

// Tiled's own filling in of its 1.8 object types' defaults. Headless,
// Tiled 1.8 loads no project (it has no option for one, and restores no
// session when exporting), but it does read the object types file in its
// data folder, so a folder of this test's own is given it.
TEST_F(TiledExport, ObjectTypesFillInWhatTiledsResolvedExportFillsIn) {
    TiledTest::DataCopy copy;
    std::filesystem::create_directories(copy.File("home/data/tiled"));
    std::filesystem::copy_file(copy.File("objecttypes.xml"),
                               copy.File("home/data/tiled/objecttypes.xml"));
    setenv("XDG_DATA_HOME", copy.File("home/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", copy.File("home/config").c_str(), 1);
    const std::string out = copy.File("resolved.tmj");
    ASSERT_TRUE(TiledTest::TiledExport(copy.File("fixtures.tmx"), out, "json", "map",
                                       "--resolve-types-and-properties"));
    const Map tileds = Load(out);
    const Map ours = Load(copy.File("fixtures.tmx"), LoadProject(copy.File("objecttypes.xml")));
    const std::vector<Object>& objects = ours.objectGroups.at(0).objects;
    ASSERT_EQ(objects.size(), tileds.objectGroups.at(0).objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        const Object& theirs = tileds.objectGroups[0].objects[i];
        EXPECT_EQ(ours.ClassOf(objects[i]), tileds.ClassOf(theirs)) << objects[i].name;
        ExpectSameProperties(objects[i].properties, theirs.properties, objects[i].name);
    }
    // Tiles keep what they give: object types are not theirs.
    EXPECT_EQ(ours.tilesets.at(0).tiles, tileds.tilesets.at(0).tiles);
    // Not a vacuous match.
    EXPECT_EQ(objects[1].properties.size(), 3u);
}

} // namespace
