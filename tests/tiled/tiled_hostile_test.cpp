// Maps from strangers: everything the reader cannot use is refused with a
// reason that names the file (and the layer or tile set), never a crash, a
// hang, a huge allocation or a wrong map.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>

#include <engine/text/SystemFont.h>
#include <engine/tiled/TiledTileMap.h>
#include <nlohmann/json.hpp>

#include "tiled/TiledTestData.h"

using namespace Engine::Tiled;
using TiledTest::Base64;
using TiledTest::Bytes;
using TiledTest::Pack;

namespace {

// What work in proportion to its input stays under: a second unsanitized,
// several under the sanitizers on a busy machine, where work growing with
// its square or faster takes minutes.
constexpr std::chrono::seconds LINEAR_BOUND(30);

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

// A layer of an infinite map holding these chunks.
std::string Chunked(const std::string& chunks) {
    return Tmx(kTileset + Layer(R"(<data encoding="csv">)" + chunks + "</data>"),
               R"(infinite="1")");
}
std::string Chunk(int x, int y, int w, int h, const std::string& cells) {
    return "<chunk x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
           std::to_string(w) + "\" height=\"" + std::to_string(h) + "\">" + cells + "</chunk>";
}

TEST_F(TiledHostile, MapsOfNoKnownGridAndChunksThatDoNotMakeOne) {
    struct Case {
        std::string text;
        std::vector<std::string> parts;
    };
    const std::string map = "m.tmx";
    const std::vector<Case> cases = {
        {R"(<map orientation="octagonal" width="2" height="2" tilewidth="8" tileheight="8"/>)",
         {"orientation is \"octagonal\"", "\"isometric\", \"staggered\", \"hexagonal\""}},
        {R"(<map width="2" height="2" tilewidth="8" tileheight="8"/>)", {"not given"}},
        {R"({"type":"map","orientation":"staggered","staggeraxis":"z","width":2,"height":2,)"
         R"("tilewidth":8,"tileheight":8})",
         {"staggeraxis is \"z\""}},
        {R"(<map orientation="hexagonal" staggerindex="middle" width="2" height="2" tilewidth="8" tileheight="8"/>)",
         {"staggerindex is \"middle\""}},
        {R"({"type":"map","orientation":"hexagonal","hexsidelength":-4,"width":2,"height":2,)"
         R"("tilewidth":8,"tileheight":8})",
         {"hexsidelength", "-4"}},
        // Chunks in a map that says it is finite.
        {Tmx(kTileset +
             Layer(R"(<data encoding="csv">)" + Chunk(0, 0, 2, 2, "1,1,1,1") + "</data>")),
         {"layer \"ground\"", "chunks"}},
        {Json(JsonLayer(R"("chunks":[{"x":0,"y":0,"width":2,"height":2,"data":[1,1,1,1]}])")),
         {"layer \"ground\"", "chunks"}},
        // Chunks of an infinite one that share cells, or span too much.
        {Chunked(Chunk(0, 0, 2, 2, "1,1,1,1") + Chunk(4, 0, 1, 1, "1") +
                 Chunk(1, -1, 2, 2, "1,1,1,1")),
         {"layer \"ground\": its chunks at column 0, row 0 and column 1, row -1 overlap"}},
        {Chunked(Chunk(0, 5, 1, 1, "1") + Chunk(-3, 0, 4, 9, std::string(71, '0') + "1")),
         {"its chunks at column -3, row 0 and column 0, row 5 overlap"}},
        {R"({"type":"map","orientation":"orthogonal","infinite":true,"width":2,"height":2,)"
         R"("tilewidth":8,"tileheight":8,"layers":[{"type":"tilelayer","name":"j","chunks":[)"
         R"({"x":0,"y":0,"width":1,"height":1,"data":[0]},)"
         R"({"x":0,"y":0,"width":1,"height":1,"data":[0]}]}]})",
         {"layer \"j\": its chunks at column 0, row 0 and column 0, row 0 overlap"}},
        {Chunked(Chunk(-2000000000, 0, 1, 1, "1") + Chunk(2000000000, 0, 1, 1, "1")),
         {"its chunks span 4000000001 x 1 cells, more than the limit"}},
        {Chunked(Chunk(0, 0, 1, 1, "1") + Chunk(4095, 4096, 1, 1, "1")),
         {"its chunks span 4096 x 4097 = 16781312 cells, more than the limit of 16777216"}},
        {Chunked(Chunk(0, 0, 0, 2, "")), {"the chunk at column 0, row 0: 0 x 2 cells"}},
        {Chunked(Chunk(3, 4, 2, 2, "1,1,1")),
         {"layer \"ground\": the chunk at column 3, row 4: CSV data holds 3 cells"}},
        {Chunked(Chunk(0, 0, 1, 1, "9")), {"holds tile id 9, which no tile set"}},
        {R"(<map orientation="orthogonal" width="-3" height="2" tilewidth="8" tileheight="8"/>)",
         {"at least 1"}},
        {R"(<map orientation="orthogonal" infinite="1" width="0" height="2" tilewidth="8" tileheight="8"/>)",
         {"the map is 0 x 2 cells"}},
        {R"(<map orientation="orthogonal" width="2" height="2" tilewidth="0" tileheight="8"/>)",
         {"tiles of 0 x 8"}},
        {R"(<map orientation="orthogonal" width="4294967297" height="2" tilewidth="8" tileheight="8"/>)",
         {"width \"4294967297\" is not a whole number"}},
        {R"(<map orientation="orthogonal" width="2.5" height="2" tilewidth="8" tileheight="8"/>)",
         {"not a whole number"}},
        {"<map", {"not valid XML"}},
        {"<tileset name=\"t\"/>", {"a \"tileset\", not a Tiled map"}},
        {"hello", {"neither a TMX"}},
        {"", {"neither a TMX"}},
        {std::string("\x1f\x8b\x08\0", 4), {"neither a TMX", "gzip-compressed, unpack it first"}},
        {"{\"type\":\"tileset\"}", {"a \"tileset\", not a Tiled map"}},
        // A name that would drive the terminal the message is printed on.
        {"{\"type\":\"\\u001b]0;owned\\u0007\\u0085\"}", {"a \"?]0;owned??\", not a Tiled map"}},
        {"{\"width\":2}", {"says of no type, not a Tiled map"}},
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
    // Two chunks of 16 million cells each that overlap: nothing is made of them.
    const long before = PeakRss();
    ExpectRefused(Chunked(Chunk(0, 0, 4000, 4000, "1") + Chunk(1, 1, 4000, 4000, "1")),
                  "chunks.tmx", {"overlap"});
    EXPECT_LT(PeakRss() - before, 32L << 20);
}

TEST_F(TiledHostile, TileSetsThatCannotBeDrawnRefuseOnlyTheMapsThatShowThem) {
    struct Case {
        std::string tileset;
        std::vector<std::string> parts;
        std::string cells = "1,1,1,1";
    };
    // Image headers: a PNG that says it is too large, and text.
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string("\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\0\x08\x08\x06\0\0\0", 21);
    TiledTest::WriteText(dir.File("huge.png"), png);
    TiledTest::WriteText(dir.File("text.png"), "not a picture");
    const std::string tiles = R"(<tileset firstgid="1" name="pics" tilewidth="8" tileheight="8">)";
    const std::vector<Case> cases = {
        // Image collections: every tile shown needs an image within reach.
        {tiles + R"(<tile id="0"><image width="8" height="8"/></tile></tileset>)",
         {"tile set \"pics\": tile 0: its image names no file"}},
        {tiles +
             R"(<tile id="0" x="4" width="8"><image source="a.png" width="8" height="8"/></tile></tileset>)",
         {"tile 0: its part of the image, 8 x 8 pixels at (4, 0), is not within its 8 x 8"}},
        {tiles +
             R"(<tile id="0"><image source="a.png" width="20000" height="8"/></tile></tileset>)",
         {"tile 0: an image of 20000 x 8 pixels; each side must be at most 16384"}},
        {tiles + R"(<tile id="0"><image source="huge.png"/></tile></tileset>)",
         {"tile 0: image \"" + dir.File("huge.png") + "\": image of 20000x8 pixels is larger"}},
        {tiles + R"(<tile id="0"><image source="none.png"/></tile></tileset>)",
         {"tile 0: image \"" + dir.File("none.png") + "\": cannot open"}},
        {tiles + R"(<tile id="0"><image source="a.png" width="8" height="8"/><animation>)"
                 R"(<frame tileid="3" duration="10"/></animation></tile></tileset>)",
         {"tile 0: its animation shows tile 3 for 10 ms"}},
        {tiles + R"(<tile id="2"><image source="a.png" width="8" height="8"/></tile></tileset>)",
         {"column 0, row 0 holds tile id 1, which no tile set of the map holds"}},
        {R"(<tileset firstgid="1" name="none" tilewidth="8" tileheight="8"/>)",
         {"holds tile id 1, which no tile set"}},
        // Sheets: their sizes, read from the image when the tile set gives none.
        {R"(<tileset firstgid="1" name="blind" tilewidth="8" tileheight="8"><image source="none.png"/></tileset>)",
         {"tile set \"blind\": image \"" + dir.File("none.png") + "\": cannot open"}},
        {R"(<tileset firstgid="1" name="blind" tilewidth="8" tileheight="8"><image source="huge.png"/></tileset>)",
         {"tile set \"blind\"", "larger than 16384 on a side"}},
        {R"(<tileset firstgid="1" name="blind" tilewidth="8" tileheight="8"><image source="text.png"/></tileset>)",
         {"tile set \"blind\": image \"" + dir.File("text.png") + "\": unknown image type"}},
        {R"(<tileset firstgid="1" name="inline" tilewidth="8" tileheight="8"><image width="8" height="8"/></tileset>)",
         {"tile set \"inline\"", "image data kept inside a file"}},
        {R"(<tileset firstgid="0" name="zero" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"zero\"", "no first id"}},
        {kTileset +
             R"(<tileset firstgid="1" name="back" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"back\"", "not above the first id"}},
        {R"(<tileset firstgid="268435455" name="end" tilewidth="8" tileheight="8"><image source="t.png" width="16" height="8"/></tileset>)",
         {"tile set \"end\"", "run past the largest tile id"},
         "268435455,0,0,0"},
        {R"(<tileset firstgid="1" name="neg" tilewidth="8" tileheight="8" margin="-1"><image source="t.png" width="8" height="8"/></tileset>)",
         {"tile set \"neg\"", "margin -1"}},
        {R"(<tileset firstgid="1" name="huge" tilewidth="8" tileheight="8"><image source="t.png" width="100000" height="8"/></tileset>)",
         {"tile set \"huge\"", "at most 16384"}},
        {R"(<tileset firstgid="1" name="still" tilewidth="8" tileheight="8"><image source="t.png" width="16" height="8"/>)"
         R"(<tile id="1"><animation><frame tileid="2" duration="10"/></animation></tile></tileset>)",
         {"tile set \"still\": tile 1: its animation shows tile 2"}},
    };
    for (const Case& c : cases)
        ExpectRefused(Tmx(c.tileset + Csv(c.cells)), dir.File("sets.tmx"), c.parts);
    ExpectRefused(Json(JsonLayer(R"("data":[5,5,5,5])"),
                       R"(,"tilesets":[{"firstgid":5,"name":"pics","tilewidth":8,"tileheight":8,)"
                       R"("tiles":[{"id":0,"image":""}]}])"),
                  "sets.tmj", {"tile set \"pics\": tile 0: its image names no file"});
    // Tile sets no cell or object shows are not checked for drawing.
    std::string unused;
    for (size_t i = 0; i < cases.size(); ++i) {
        std::string ts = cases[i].tileset;
        const size_t at = ts.find("firstgid=\"") + 10;
        ts.replace(at, ts.find('"', at) - at, std::to_string(100 + 10 * i));
        if (ts.find("name=\"back\"") == std::string::npos)
            unused += ts;
    }
    EXPECT_EQ(
        Parse(Tmx(kTileset + unused + Csv("1,2,2,1")), dir.File("unused.tmx")).tilesets.size(),
        cases.size());
}

TEST_F(TiledHostile, FilesAMapNames) {
    const std::string ok =
        R"(<tileset name="ok" tilewidth="8" tileheight="8"><image source="t.png" width="8" height="8"/></tileset>)" +
        std::string("<!--") + std::string(200, '.') + "-->";
    TiledTest::WriteText(dir.File("ok.tsx"), ok);
    TiledTest::WriteText(dir.File("broken.tsj"), R"({"type":"tileset","name":"b",)");
    TiledTest::WriteText(dir.File("odd.tsx"), "just text");
    // Named to drive the terminal the message is printed on.
    TiledTest::WriteText(dir.File("odd\x1b]0;x\x07.tsx"), "just text");
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
        {"broken.tsj", {dir.File("broken.tsj") + " (tile set of " + map + ")", "not valid JSON"}},
        {"odd.tsx", {"odd.tsx (tile set of", "neither a TSX"}},
        {"odd\x1b]0;x\x07.tsx", {"odd?]0;x?.tsx (tile set of", "neither a TSX"}},
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

    // Templates: found, read once, and never made from themselves.
    TiledTest::WriteText(dir.File("a.tx"), R"(<template><object template="b.tj"/></template>)");
    TiledTest::WriteText(dir.File("b.tj"), R"({"type":"template","object":{"template":"a.tx"}})");
    TiledTest::WriteText(dir.File("self.tx"),
                         R"(<template><object template="self.tx"/></template>)");
    TiledTest::WriteText(dir.File("tile.tx"),
                         R"(<template><tileset firstgid="1" source="gone.tsx"/>)"
                         R"(<object gid="1"/></template>)");
    TiledTest::WriteText(dir.File("low.tx"), R"(<template><tileset firstgid="5" source="ok.tsx"/>)"
                                             R"(<object gid="2"/></template>)");
    TiledTest::WriteText(dir.File("bare.tx"), R"(<template><object gid="2"/></template>)");
    TiledTest::WriteText(dir.File("empty.tx"), R"(<template/>)");
    auto made = [&](const std::string& source) {
        return Tmx(R"(<objectgroup name="o"><object id="4" template=")" + source +
                   R"("/></objectgroup>)");
    };
    const std::vector<Case> templates = {
        {"none.tx",
         {"object layer \"o\": object 4: template \"" + dir.File("none.tx") + "\": cannot open"}},
        {"dir.tsx", {"template \"" + dir.File("dir.tsx") + "\": not a regular file"}},
        {"", {"object 4: its template names no file"}},
        {"ok.tsx",
         {dir.File("ok.tsx") + " (template of " + map + "): a \"tileset\", not a Tiled template"}},
        {"odd.tsx", {"neither a TX (XML) nor a JSON template"}},
        {"a.tx", {"template \"" + dir.File("a.tx") + "\" is made from itself"}},
        {"self.tx", {"template \"" + dir.File("self.tx") + "\" is made from itself"}},
        {"tile.tx",
         {"(template of " + map + "): tile set file \"" + dir.File("gone.tsx") +
          "\": cannot open"}},
        {"low.tx", {"its tile id 2 lies below its tile set's first id 5"}},
        {"bare.tx", {"its tile object names no tile set"}},
        {"empty.tx", {"it holds no object"}},
    };
    for (const Case& c : templates)
        ExpectRefused(made(c.source), map, c.parts);
    ExpectRefused(made("self.tx"), map, {"templates nest more than 0 deep"}, {.maxDepth = 0});
    ExpectRefused(made("a.tx"), map,
                  {"template \"" + dir.File("b.tj") + "\": the files of " + map +
                   " come to more than the limit of 60 bytes"},
                  {.maxTotalBytes = 60});

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
        "o.tmj", {"object 2: template \"p.tj\": cannot open"});
    // Shapes and colours as Tiled writes them, and no more corners than the limit.
    for (const auto& [object, part] : std::vector<std::pair<std::string, std::string>>{
             {R"(<polygon points="1,2 3"/>)", "polygon points \"1,2 3\" are not pairs"},
             {R"(<polyline points="1,2,3"/>)", "polyline points \"1,2,3\" are not pairs"},
             {R"(<polygon points="0,0 1,x"/>)", "are not pairs of numbers"},
             {R"(<text color="red">hi</text>)", "color \"red\" is not a colour"},
             {R"(<polygon points="0,0 1,1 2,2"/>)", "more than the limit of 2 points"},
         })
        ExpectRefused(
            Tmx(R"(<objectgroup name="o"><object id="7">)" + object + "</object></objectgroup>"),
            "o.tmx", {"object 7", part}, {.maxPoints = 2});
    ExpectRefused(
        Json("",
             R"(,"layers":[{"type":"objectgroup","name":"o","objects":[{"id":3,"polygon":[1]}]}])"),
        "o.tmj", {"object 3: a point is not an object"});
    ExpectRefused(Tmx(R"(<layer name="ground" tintcolor="#12">)" +
                      std::string(R"(<data encoding="csv">0,0,0,0</data></layer>)")),
                  "o.tmx", {"layer \"ground\": tintcolor \"#12\" is not a colour"});
    ExpectRefused(Json(R"({"type":"fancy","name":"f"})"), "o.tmj", {"layer \"f\"", "unknown type"});
    // Tiled before 1.2 kept a tile set's tiles by id, as keys.
    ExpectRefused(R"({"orientation":"orthogonal","width":1,"height":1,"tilewidth":8,"tileheight":8,)"
                  R"("tilesets":[{"firstgid":1,"name":"t","tilewidth":8,"tileheight":8,)"
                  R"("tiles":{"one":{"image":"a.png"}}}],"layers":[]})",
                  "o.json", {"tile id \"one\" is not a number"});
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

    // Long lists take time in proportion to their length, not to its square
    // (which would take ten seconds or more): a JSON array of many
    // objects, a TMX object of many properties.
    std::string empties, many;
    for (int i = 0; i < 300000; ++i)
        empties += i ? ",{}" : "{}";
    for (int i = 0; i < 120000; ++i)
        many += R"(<property name="p)" + std::to_string(i) + R"(" value="1"/>)";
    const auto start = std::chrono::steady_clock::now();
    Parse(Json("", R"(,"padding":[)" + empties + "]"), dir.File("many.tmj"));
    const Map map = Parse(Tmx(R"(<objectgroup name="o"><object id="1"><properties>)" + many +
                              "</properties></object></objectgroup>"),
                          dir.File("many.tmx"));
    EXPECT_EQ(map.objectGroups.at(0).objects.at(0).properties.size(), 120000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, LINEAR_BOUND);
}

// Text in families from strangers: names taken as names, never as
// fontconfig's patterns (nor cut short at a NUL); warned of once each,
// without their control characters and cut short; no more than MAX_MAP_FONTS looked for, however
// many the map names; quickly.
TEST_F(TiledHostile, FontFamiliesFromStrangers) {
    if (!Engine::FindSystemFont("DejaVu Serif"))
        GTEST_SKIP() << "DejaVu Serif (fonts-dejavu-core) is missing";
    std::string objects;
    int id = 0;
    auto text = [&](const std::string& family, bool bold = false) {
        objects += std::string(objects.empty() ? "" : ",") + R"({"id":)" + std::to_string(++id) +
                   R"(,"text":{"text":"hi","bold":)" + (bold ? "true" : "false") +
                   R"(,"fontfamily":)" + nlohmann::json(family).dump() + "}}";
    };
    text("DejaVu Serif");
    text("DejaVu Serif", true);
    text("DejaVu Serif:bold");
    text("DejaVu\\ Serif-12:weight=200");
    text(std::string(10000, 'x'));
    text("Evil\x1b[31m\nfont\x7f");
    text(std::string("DejaVu Serif\0bold", 17));
    text("DejaVu Serif");
    for (int i = 0; i < 500; ++i)
        text("Family " + std::to_string(i));
    const Map map = Parse(
        Json("", R"(,"layers":[{"type":"objectgroup","name":"o","objects":[)" + objects + "]}]"),
        dir.File("fonts.tmj"));
    const auto start = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    const std::vector<MapFont> fonts = FindFonts(map);
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(fonts.size(), MAX_MAP_FONTS);
    // The family's own faces; the others' stand-ins, none of them bold.
    EXPECT_TRUE(fonts[0].face.ofFamily && !fonts[0].face.bold);
    EXPECT_TRUE(fonts[1].face.ofFamily && fonts[1].face.bold);
    for (size_t i = 2; i < fonts.size(); ++i)
        EXPECT_TRUE(!fonts[i].face.ofFamily && !fonts[i].face.bold)
            << fonts[i].family.substr(0, 40);
    // A warning for each family missing among the first 16, one for the rest.
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 15) << warnings;
    EXPECT_NE(warnings.find("no font of family \"DejaVu Serif:bold\" on this system (first on "
                            "object layer \"o\"): drawn in "),
              std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("\"" + std::string(64, 'x') + "...\""), std::string::npos);
    EXPECT_NE(warnings.find("\"Evil?[31m?font?\""), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("fonts.tmj: text in more than 16 fonts (first past them on object "
                            "layer \"o\"): drawn in the engine's own"),
              std::string::npos)
        << warnings;
    EXPECT_LT(warnings.size(), 3000u);
}

} // namespace

namespace {

// Strangers' projects: refused with a reason that names the file, however
// their classes are tangled, and never looping.
TEST_F(TiledHostile, ProjectsThatCannotBeUsed) {
    const std::string path = dir.File("p.tiled-project");
    auto types = [](const std::string& list) { return R"({"propertyTypes":[)" + list + "]}"; };
    auto holding = [](const std::string& name, const std::string& inner) {
        return R"({"name":")" + name +
               R"(","type":"class","members":[{"name":"m","type":"class","propertyType":")" +
               inner + R"("}]})";
    };
    // 40 classes each holding the next, past the depth limit.
    std::string chain;
    for (int i = 0; i < 40; ++i)
        chain += (i ? "," : "") + holding("C" + std::to_string(i), "C" + std::to_string(i + 1));
    struct Case {
        std::string text;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        {types(holding("A", "A")), {"class \"A\" contains itself"}},
        {types(holding("A", "B") + "," + holding("B", "A")), {"contains itself"}},
        {types(chain), {"classes nest more than 32 deep"}},
        {R"({"objectTypesFile":"none.xml"})", {"object types file", "none.xml", "cannot open"}},
        {R"({"objectTypesFile":"map.xml"})", {"map.xml", "a <map>, not Tiled's object types"}},
        {R"({"propertyTypes":{}})", {"propertyTypes is not a list"}},
        {types("3"), {"a property type is not an object"}},
        {types(R"({"name":5})"), {"name 5 is not text"}},
        {types(R"({"name":"I","id":99999999999})"), {"id 99999999999 is not a whole number"}},
        {types(R"({"name":"E","type":"enum","values":[1]})"), {"value 1 is not text"}},
        {types(R"({"name":"E","type":"enum","storageType":"float"})"), {"neither string nor int"}},
        {types(R"({"name":"C","type":"class","useAs":"object"})"), {"useAs is not a list"}},
        {types(R"({"name":"C","type":"class","members":[[]]})"), {"a property is not an object"}},
        {types(R"({"name":"S","type":"struct"})"), {"unknown type \"struct\""}},
        {R"({"propertyTypes":[)", {"not valid JSON"}},
        {"hello", {"neither a Tiled project"}},
    };
    TiledTest::WriteText(dir.File("map.xml"), "<map/>");
    for (const Case& c : cases) {
        try {
            ParseProject(c.text, path);
            ADD_FAILURE() << "accepted: " << c.text.substr(0, 200);
        } catch (const MapError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            for (const std::string& part : c.parts)
                EXPECT_NE(message.find(part), std::string::npos) << message;
        }
    }
    // Each class holding the next twice: 2^30 properties for one object
    // (the default cap is met within a second, too slow for this test).
    std::string doubling;
    for (int i = 0; i < 30; ++i)
        doubling += std::string(i ? "," : "") + R"({"name":"D)" + std::to_string(i) +
                    R"(","type":"class","members":[{"name":"a","type":"class","propertyType":"D)" +
                    std::to_string(i + 1) + R"("},{"name":"b","type":"class","propertyType":"D)" +
                    std::to_string(i + 1) + R"("}]})";
    const Project project = ParseProject(types(doubling), path);
    const std::string map =
        Tmx(R"(<objectgroup name="o"><object id="1" type="D0"/></objectgroup>)");
    const auto start = std::chrono::steady_clock::now();
    try {
        Parse(map, dir.File("m.tmx"), project, {.maxFilledProperties = 10000});
        ADD_FAILURE() << "accepted";
    } catch (const MapError& error) {
        EXPECT_NE(std::string(error.what()).find("fill in more than the limit"), std::string::npos)
            << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, LINEAR_BOUND);

    // A class of many members and many classes of one name take time in
    // proportion to their number, not to its square.
    std::string members, sameName, objects;
    for (int i = 0; i < 100000; ++i)
        members +=
            std::string(i ? "," : "") + R"({"name":"m)" + std::to_string(i) + R"(","value":1})";
    for (int i = 0; i < 50000; ++i) {
        sameName += R"(,{"name":"X","type":"class","useAs":["tile"]})";
        objects += R"(<object id=")" + std::to_string(i + 2) + R"(" type="X"/>)";
    }
    const auto bigStart = std::chrono::steady_clock::now();
    const Project big = ParseProject(
        types(R"({"name":"Big","type":"class","members":[)" + members + "]}" + sameName), path);
    const Map filled = Parse(
        Tmx(R"(<objectgroup name="o"><object id="1" type="Big"/>)" + objects + "</objectgroup>"),
        dir.File("big.tmx"), big);
    EXPECT_EQ(filled.objectGroups.at(0).objects.at(0).properties.size(), 100000u);
    EXPECT_LT(std::chrono::steady_clock::now() - bigStart, LINEAR_BOUND);
}

} // namespace
