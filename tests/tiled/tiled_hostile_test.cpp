// Maps from strangers: everything the reader cannot use is refused with a
// reason that names the file (and the layer or tile set), never a crash, a
// hang, a huge allocation or a wrong map.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>

#include "tiled/TiledTestData.h"

using namespace Engine::Tiled;
using TiledTest::Base64;
using TiledTest::Bytes;
using TiledTest::Pack;

namespace {

// A 2 x 2 map of 8-pixel cells with one tile set of two tiles.
const std::string kTileset = R"(<tileset firstgid="1" name="t" tilewidth="8" tileheight="8">)"
                             R"(<image source="t.png" width="16" height="8"/></tileset>)";

std::string Tmx(const std::string& inside, const std::string& attributes = "") {
    return R"(<map orientation="orthogonal" width="2" height="2" tilewidth="8" tileheight="8" )" +
           attributes + ">" + inside + "</map>";
}
std::string Layer(const std::string& data) {
    return R"(<layer name="ground" width="2" height="2">)" + data + "</layer>";
}
std::string Csv(const std::string& cells) {
    return Layer(R"(<data encoding="csv">)" + cells + "</data>");
}
std::string Base64Layer(const std::string& compression, const std::string& bytes) {
    return Layer(R"(<data encoding="base64" compression=")" + compression + R"(">)" +
                 Base64(bytes) + "</data>");
}
std::string Json(const std::string& layers, const std::string& extra = "") {
    return R"({"type":"map","orientation":"orthogonal","width":2,"height":2,"tilewidth":8,)"
           R"("tileheight":8,"tilesets":[{"firstgid":1,"name":"t","tilewidth":8,"tileheight":8,)"
           R"("image":"t.png","imagewidth":16,"imageheight":8}],"layers":[)" +
           layers + "]" + extra + "}";
}
std::string JsonLayer(const std::string& fields) {
    return R"({"type":"tilelayer","name":"ground","width":2,"height":2,)" + fields + "}";
}

const std::vector<uint32_t> kCells{1, 2, 2, 1};

class TiledHostile : public testing::Test {
protected:
    // Parse must refuse text with a MapError whose message names path and
    // holds every part.
    void ExpectRefused(const std::string& text, const std::string& path,
                       const std::vector<std::string>& parts, const Limits& limits = {}) {
        try {
            testing::internal::CaptureStderr();
            const Map map = Parse(text, path, limits);
            testing::internal::GetCapturedStderr();
            ADD_FAILURE() << "accepted: " << text.substr(0, 300);
        } catch (const MapError& error) {
            testing::internal::GetCapturedStderr();
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            for (const std::string& part : parts)
                EXPECT_NE(message.find(part), std::string::npos) << message;
        }
    }
    EngineTest::TempDir dir;
};

TEST_F(TiledHostile, MapsThatAreNotFiniteOrthogonalGrids) {
    struct Case {
        std::string text;
        std::vector<std::string> parts;
    };
    const std::string map = "m.tmx";
    const std::vector<Case> cases = {
        {R"(<map orientation="isometric" width="2" height="2" tilewidth="8" tileheight="8"/>)",
         {"orientation is \"isometric\"", "only orthogonal"}},
        {R"(<map width="2" height="2" tilewidth="8" tileheight="8"/>)", {"not given"}},
        {R"({"type":"map","orientation":"hexagonal","width":2,"height":2,"tilewidth":8,"tileheight":8})",
         {"\"hexagonal\""}},
        {Tmx(Layer(
                 R"(<data encoding="csv"><chunk x="0" y="0" width="16" height="16">1</chunk></data>)"),
             R"(infinite="1")"),
         {"infinite map"}},
        {R"({"type":"map","orientation":"orthogonal","infinite":true,"width":2,"height":2,"tilewidth":8,"tileheight":8})",
         {"infinite map"}},
        // Chunks in a map that says it is finite.
        {Tmx(kTileset +
             Layer(
                 R"(<data encoding="csv"><chunk x="0" y="0" width="2" height="2">1,1,1,1</chunk></data>)")),
         {"layer \"ground\"", "chunks"}},
        {Json(JsonLayer(R"("chunks":[])")), {"layer \"ground\"", "chunks"}},
        {R"(<map orientation="orthogonal" width="-3" height="2" tilewidth="8" tileheight="8"/>)",
         {"at least 1"}},
        {R"(<map orientation="orthogonal" width="2" height="2" tilewidth="0" tileheight="8"/>)",
         {"tiles of 0 x 8"}},
        {R"(<map orientation="orthogonal" width="4294967297" height="2" tilewidth="8" tileheight="8"/>)",
         {"width \"4294967297\" is not a whole number"}},
        {R"(<map orientation="orthogonal" width="2.5" height="2" tilewidth="8" tileheight="8"/>)",
         {"not a whole number"}},
        {"<map", {"not valid XML"}},
        {"<tileset name=\"t\"/>", {"root element is <tileset>"}},
        {"hello", {"neither a TMX"}},
        {"", {"neither a TMX"}},
        {"{\"type\":\"tileset\"}", {"not a Tiled map"}},
        {"{\"type\":\"map\"", {"not valid JSON"}},
        {"{\"type\":\"map\",\"width\":\"2\"}", {"width \"2\" is not a whole number"}},
        // Far outside an int: refused without ever being cast to one.
        {"{\"type\":\"map\",\"width\":1e300}", {"width 1e+300 is not a whole number"}},
        {"{\"type\":\"map\",\"width\":-1e19}", {"is not a whole number"}},
        {"{\"type\":\"map\",\"width\":2147483648.0}", {"is not a whole number"}},
    };
    for (const Case& c : cases)
        ExpectRefused(c.text, map, c.parts);
}

TEST_F(TiledHostile, SizeIsCappedBeforeAnythingIsDecoded) {
    // The cells would decode into 40 GB; the overflowing product of two
    // int-sized sides must not wrap into a small number.
    for (const auto& [w, h] :
         {std::pair{"100000", "100000"}, {"2147483647", "2147483647"}, {"65536", "65536"}}) {
        const std::string text = std::string(R"(<map orientation="orthogonal" width=")") + w +
                                 R"(" height=")" + h + R"(" tilewidth="8" tileheight="8">)" +
                                 R"(<layer name="l"><data encoding="base64" compression="zlib">)" +
                                 Base64(Pack("", "zlib", 1 << 20)) + "</data></layer></map>";
        ExpectRefused(text, "big.tmx", {"cells, more than the limit of 16777216"});
    }
    ExpectRefused(Tmx(kTileset + Csv("1,1,1,1")), "small.tmx",
                  {"4 cells, more than the limit of 3"}, {.maxCells = 3});
    // A layer larger than the map counts too.
    ExpectRefused(
        Tmx(kTileset +
            R"(<layer name="wide" width="3000" height="3000"><data encoding="csv">1</data></layer>)"),
        "wide.tmx", {"layer \"wide\"", "9000000 cells"}, {.maxCells = 1000});
    ExpectRefused(Tmx(kTileset + Csv("1,1,1,1") + Csv("1,1,1,1")), "two.tmx",
                  {"layer \"ground\"", "tile layers come to more than the limit of 6"},
                  {.maxTotalCells = 6});
    ExpectRefused(Tmx(kTileset), "tiles.tmx", {"tile set \"t\"", "more than the limit of 1 tiles"},
                  {.maxTiles = 1});
    ExpectRefused(Tmx(R"(<objectgroup name="o"><object id="1"/><object id="2"/></objectgroup>)"),
                  "objects.tmx", {"object layer \"o\"", "limit of 1 objects"}, {.maxObjects = 1});
    ExpectRefused(Tmx(kTileset), "long.tmx", {"more than the limit of 100"}, {.maxFileBytes = 100});
}

TEST_F(TiledHostile, LayerDataThatDoesNotFillTheLayerExactly) {
    struct Case {
        std::string layer;
        std::vector<std::string> parts;
    };
    const std::string raw = Bytes(kCells);
    std::string cut = Pack(raw, "zlib");
    cut.resize(cut.size() - 6);
    const std::string trailing = Pack(raw, "gzip") + "xyz";
    std::string garbage(40, '\x5a');
    const std::vector<Case> cases = {
        {Layer(R"(<data encoding="base32">AAAA</data>)"), {"unknown encoding \"base32\""}},
        {Base64Layer("lzma", raw), {"unknown compression \"lzma\""}},
        {Csv("1,1,1"), {"holds 3 cells; the layer has 4"}},
        {Csv("1,1,1,1,1"), {"more than the layer's 4 cells"}},
        {Csv("1,x,1,1"), {"cell 2 is not a tile number"}},
        {Csv("1,-1,1,1"), {"cell 2 is not a tile number"}},
        {Csv("1,1,,1"), {"cell 3 is not a tile number"}},
        {Csv("1 1,1,1"), {"unexpected '1' after cell 1"}},
        {Csv("1,1,1,4294967296"), {"cell 4 is larger than a tile id"}},
        {Csv(""), {"no cells"}},
        {Layer(R"(<data><tile gid="1"/><tile/><tile gid="-2"/><tile/></data>)"),
         {"cell 3 is not a tile number"}},
        {Layer(R"(<data><tile/><tile/><tile/></data>)"), {"holds 3 cells"}},
        {Layer(""), {"no data"}},
        {Layer(R"(<data encoding="base64">)" + Base64(raw.substr(0, 12)) + "</data>"),
         {"base64 data holds 12 bytes; the layer's 4 cells take 16"}},
        {Layer(R"(<data encoding="base64">AAAA*AAA</data>)"), {"not valid base64"}},
        {Layer(R"(<data encoding="base64">AAAAA</data>)"), {"not valid base64"}},
        {Layer(R"(<data encoding="base64">AA=AAAAA</data>)"), {"not valid base64"}},
        {Base64Layer("zlib", Pack(raw, "zlib", 64)), {"zlib data holds more than the layer's 4"}},
        {Base64Layer("zlib", Pack(raw.substr(0, 8), "zlib")), {"zlib data holds 8 bytes"}},
        {Base64Layer("zlib", cut), {"zlib data is cut short"}},
        {Base64Layer("zlib", Pack(raw, "gzip")), {"corrupt zlib data"}},
        {Base64Layer("gzip", trailing), {"3 bytes follow the gzip data"}},
        {Base64Layer("gzip", garbage), {"corrupt gzip data"}},
        {Base64Layer("gzip", ""), {"gzip data is cut short"}},
        {Base64Layer("zstd", Pack(raw, "zstd", 4)), {"zstd data holds more than the layer's 4"}},
        {Base64Layer("zstd", Pack(raw.substr(0, 4), "zstd")), {"zstd data holds 4 bytes"}},
        {Base64Layer("zstd", garbage), {"corrupt zstd data"}},
        // Numbers no tile set holds, with and without flags.
        {Csv("1,2,3,1"), {"column 0, row 1 holds tile id 3, which no tile set"}},
        {Csv("1,1,1,2147483651"), {"holds tile id 3 (0x80000003 with its flags)"}},
        {Csv("1,1,1,268435455"), {"holds tile id 268435455"}},
    };
    for (const Case& c : cases)
        ExpectRefused(Tmx(kTileset + c.layer), "data.tmx", c.parts);
    // The same in JSON.
    for (const auto& [fields, part] : std::vector<std::pair<std::string, std::string>>{
             {R"("data":[1,1,1])", "holds 3 cells; the layer has 4"},
             {R"("data":[1,"1",1,1])", "cell 2 is not a tile number"},
             {R"("data":[1,-1,1,1])", "cell 2 is not a tile number"},
             {R"("data":[1,1.5,1,1])", "cell 2 is not a tile number"},
             {R"("data":[1,1,1,4294967296])", "cell 4 is larger than a tile id"},
             {R"("data":"AAAA")", "not a list"},
             {R"("data":[1,1,1,1],"encoding":"base58")", "unknown encoding \"base58\""},
             {R"("encoding":"base64","compression":"lz4","data":"AAAA")", "unknown compression"},
             {R"("encoding":"base64","compression":"zlib","data":")" +
                  Base64(Pack(raw, "zlib", 1 << 20)) + "\"",
              "holds more than the layer's 4"},
             {R"("encoding":"base64","data":[1])", "not text"},
             {R"("width":2)", "no data"},
             {R"("data":[1,3,1,1])", "holds tile id 3"},
         })
        ExpectRefused(Json(JsonLayer(fields)), "data.tmj", {"layer \"ground\"", part});
}

// Peak resident memory of this process, in bytes.
long PeakRss() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

TEST_F(TiledHostile, SmallFileCannotGrowIntoGigabytes) {
    // 64 MiB of zeros in some ten kilobytes, for a layer of 4 cells:
    // refused after the 16 bytes the layer takes, without memory or time.
    const size_t huge = size_t(64) << 20;
    for (const char* compression : {"zlib", "gzip", "zstd"}) {
        const std::string layer = Base64Layer(compression, Pack(Bytes(kCells), compression, huge));
        ASSERT_LT(layer.size(), size_t(2) << 20);
        const long before = PeakRss();
        const auto start = std::chrono::steady_clock::now();
        ExpectRefused(Tmx(kTileset + layer), "bomb.tmx",
                      {"data holds more than the layer's 4 cells"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(PeakRss() - before, 32L << 20) << compression;
    }
}

TEST_F(TiledHostile, TileSetsThatCannotBeDrawn) {
    struct Case {
        std::string tileset;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {R"(<tileset firstgid="1" name="pics" tilewidth="8" tileheight="8"><tile id="0">)"
         R"(<image source="a.png" width="8" height="8"/></tile></tileset>)",
         {"tile set \"pics\"", "collection of separate images"}},
        {R"(<tileset firstgid="1" name="none" tilewidth="8" tileheight="8"/>)",
         {"tile set \"none\"", "collection of separate images"}},
        {R"(<tileset firstgid="1" name="big" tilewidth="16" tileheight="16">)"
         R"(<image source="t.png" width="32" height="32"/></tileset>)",
         {"tile set \"big\"", "its tiles are 16 x 16 pixels, the map's cells 8 x 8"}},
        {R"(<tileset firstgid="1" name="blind" tilewidth="8" tileheight="8"><image source="t.png"/></tileset>)",
         {"tile set \"blind\"", "neither the image's width nor the number of columns"}},
        {R"(<tileset firstgid="1" name="inline" tilewidth="8" tileheight="8"><image width="8" height="8"/></tileset>)",
         {"tile set \"inline\"", "image data kept inside the file"}},
        {R"(<tileset firstgid="0" name="zero" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"zero\"", "no first id"}},
        {kTileset +
             R"(<tileset firstgid="1" name="back" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"back\"", "not above the first id"}},
        {R"(<tileset firstgid="268435455" name="end" tilewidth="8" tileheight="8"><image source="t.png" width="16" height="8"/></tileset>)",
         {"tile set \"end\"", "run past the largest tile id"}},
        {R"(<tileset firstgid="1" name="neg" tilewidth="8" tileheight="8" margin="-1"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"neg\"", "margin -1"}},
        {R"(<tileset firstgid="1" name="huge" tilewidth="8" tileheight="8"><image source="t.png" width="100000" height="8"/></tileset>)",
         {"tile set \"huge\"", "at most 16384"}},
    };
    for (const Case& c : cases)
        ExpectRefused(Tmx(c.tileset), "sets.tmx", c.parts);
    ExpectRefused(Json("",
                       R"(,"tilesets":[{"firstgid":1,"name":"pics","tilewidth":8,"tileheight":8,)"
                       R"("tiles":[{"id":0,"image":"a.png"}]}])"),
                  "sets.tmj", {"tile set \"pics\"", "collection of separate images"});
}

TEST_F(TiledHostile, FilesAMapNames) {
    const std::string ok =
        R"(<tileset name="ok" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)" +
        std::string("<!--") + std::string(200, '.') + "-->";
    TiledTest::WriteText(dir.File("ok.tsx"), ok);
    TiledTest::WriteText(
        dir.File("big.tsx"),
        R"(<tileset name="big" tilewidth="16" tileheight="16"><image source="t.png" width="16" height="16"/></tileset>)");
    TiledTest::WriteText(dir.File("broken.tsj"), R"({"type":"tileset","name":"b",)");
    TiledTest::WriteText(dir.File("odd.tsx"), "just text");
    std::filesystem::create_directory(dir.File("dir.tsx"));
    ASSERT_EQ(mkfifo(dir.File("fifo.tsx").c_str(), 0600), 0);
    const std::string map = dir.File("m.tmx");
    auto with = [&](const std::string& source) {
        return Tmx(R"(<tileset firstgid="1" source=")" + source + R"("/>)");
    };
    struct Case {
        std::string source;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {"none.tsx", {"tile set file \"" + dir.File("none.tsx") + "\"", "cannot open"}},
        {"dir.tsx", {"tile set file", "dir.tsx\": not a regular file"}},
        // A pipe would block the reader, or never end.
        {"fifo.tsx", {"tile set file", "fifo.tsx\": not a regular file"}},
        {"", {"names no file"}},
        {"big.tsx", {"tile set \"big\" (" + dir.File("big.tsx") + ")", "16 x 16 pixels"}},
        {"broken.tsj", {dir.File("broken.tsj") + " (tile set of " + map + ")", "not valid JSON"}},
        {"odd.tsx", {"odd.tsx (tile set of", "neither a TSX"}},
    };
    for (const Case& c : cases)
        ExpectRefused(with(c.source), map, c.parts);
    EXPECT_EQ(Parse(with("ok.tsx"), map).tilesets.at(0).source, dir.File("ok.tsx"));

    ExpectRefused(with("ok.tsx"), map,
                  {"ok.tsx\": " + std::to_string(ok.size()) + " bytes, more than the limit"},
                  {.maxFileBytes = ok.size() - 1});
    // The same file named again and again still adds up.
    std::string many;
    for (int i = 0; i < 5; ++i)
        many += R"(<tileset firstgid=")" + std::to_string(i + 1) + R"(" source="ok.tsx"/>)";
    ExpectRefused(Tmx(many), map,
                  {"come to more than the limit of " + std::to_string(3 * ok.size())},
                  {.maxTotalBytes = 3 * ok.size()});

    // The map file itself, by Load.
    for (const auto& [path, part] : {std::pair{dir.File("missing.tmx"), "cannot open"},
                                     {dir.File("dir.tsx"), "not a regular file"},
                                     {dir.File("fifo.tsx"), "not a regular file"}}) {
        try {
            Load(path);
            ADD_FAILURE() << path;
        } catch (const MapError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(path + ": " + part, 0), 0u) << error.what();
        }
    }
}

TEST_F(TiledHostile, ObjectsAndNesting) {
    ExpectRefused(
        Tmx(R"(<objectgroup name="o"><object id="4" template="p.tx" x="1" y="2"/></objectgroup>)"),
        "o.tmx", {"object layer \"o\": object 4", "template \"p.tx\"", "detach"});
    ExpectRefused(Tmx(R"(<objectgroup name="o"><object id="4" x="1,5"/></objectgroup>)"), "o.tmx",
                  {"object 4", "x \"1,5\" is not a number"});
    ExpectRefused(Tmx(kTileset + R"(<objectgroup name="o"><object id="5" gid="9"/></objectgroup>)"),
                  "o.tmx", {"object layer \"o\": object 5 shows tile id 9"});
    // A tile object's id is a whole number from 0 that fits 32 bits, flags and all.
    for (const char* gid : {"-1", "+1", " 1", "1x", "", "4294967296"})
        ExpectRefused(Tmx(R"(<objectgroup name="o"><object id="6" gid=")" + std::string(gid) +
                          R"("/></objectgroup>)"),
                      "o.tmx", {"object 6: gid \"" + std::string(gid) + "\" is not a tile number"});
    for (const char* gid : {"-1", "1.5", "\"1\"", "4294967296"})
        ExpectRefused(
            Json("", R"(,"layers":[{"type":"objectgroup","name":"o","objects":[{"id":6,"gid":)" +
                         std::string(gid) + "}]}]"),
            "o.tmj", {"object 6: gid " + std::string(gid) + " is not a tile number"});
    ExpectRefused(
        Json(
            "",
            R"(,"layers":[{"type":"objectgroup","name":"o","objects":[{"id":2,"template":"p.tj"}]}])"),
        "o.tmj", {"object 2", "template"});
    ExpectRefused(Json(R"({"type":"fancy","name":"f"})"), "o.tmj", {"layer \"f\"", "unknown type"});
    // How a layer or group looks, when it is not a number, is refused naming
    // the map too.
    ExpectRefused(Tmx(kTileset + R"(<layer name="ground" opacity="half">)" +
                      R"(<data encoding="csv">1,1,1,1</data></layer>)"),
                  "looks.tmx", {"layer \"ground\": opacity \"half\" is not a number"});
    ExpectRefused(Tmx(R"(<group name="g" offsetx="left"/>)"), "looks.tmx",
                  {"group \"g\": offsetx \"left\" is not a number"});
    ExpectRefused(Tmx(R"(<objectgroup name="o" x="1.5"/>)"), "looks.tmx",
                  {"object layer \"o\": x \"1.5\" is not a whole number"});
    ExpectRefused(Json(JsonLayer(R"("opacity":"half","data":[1,1,1,1])")), "looks.tmj",
                  {"layer \"ground\": opacity \"half\" is not a number"});

    // Groups within groups, and JSON deeper than any map.
    std::string groups, members;
    for (int i = 0; i < 40; ++i) {
        groups = "<group name=\"g" + std::to_string(39 - i) + "\">" + groups + "</group>";
        members = R"(<property name="m" type="class"><properties>)" + members +
                  "</properties></property>";
    }
    ExpectRefused(Tmx(groups), "deep.tmx", {"group \"g32\"", "nest more than 32"});
    std::string nested = std::string(100000, '[') + std::string(100000, ']');
    ExpectRefused(Json("", R"(,"properties":[{"name":"p","value":)" + nested + "}]"), "deep.tmj",
                  {"nested more than"});
    ExpectRefused(Tmx("<properties>" + members + "</properties>"), "deep.tmx",
                  {"class properties nest more than 32"});
}

} // namespace
