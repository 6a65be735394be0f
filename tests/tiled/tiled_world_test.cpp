// Tiled worlds: maps placed as listed or by their names, the queries a game
// asks of them, and worlds that cannot be used.

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include <engine/tiled/TiledWorld.h>

#include "tiled/TiledTestData.h"

using namespace Engine;
using namespace Engine::Tiled;

namespace {

std::string Tmx(int w, int h, int tw, int th, const std::string& orientation = "orthogonal") {
    return "<map orientation=\"" + orientation + "\" width=\"" + std::to_string(w) +
           "\" height=\"" + std::to_string(h) + "\" tilewidth=\"" + std::to_string(tw) +
           "\" tileheight=\"" + std::to_string(th) + "\"/>";
}

class TiledWorld : public testing::Test {
protected:
    World Read(const std::string& text, const Limits& limits = {}) {
        testing::internal::CaptureStderr();
        World world = ParseWorld(text, dir.File("w.world"), limits);
        warnings = testing::internal::GetCapturedStderr();
        return world;
    }
    EngineTest::TempDir dir;
    std::string warnings;
};

TEST_F(TiledWorld, MapsPlacedAsListedAndByTheirNames) {
    // Sizes read from the maps themselves agree with Tiled's (as
    // tmxrasterizer renders them): orthogonal, isometric, hexagonal.
    TiledTest::WriteText(dir.File("a.tmx"), Tmx(4, 3, 16, 16));
    TiledTest::WriteText(dir.File("iso.tmx"), Tmx(25, 25, 64, 32, "isometric"));
    TiledTest::WriteText(
        dir.File("hex.tmj"),
        R"({"type":"map","orientation":"hexagonal","width":20,"height":20,"tilewidth":60,)"
        R"("tileheight":60,"hexsidelength":30,"staggeraxis":"x","staggerindex":"odd"})");
    for (const char* name : {"map_0_0.tmx", "map_1_-1.tmx", "old_map_2_0.tmx", "map_3_0.tmx.bak",
                             "MAP_4_0.tmx", "map_x_0.tmx", "map_99999999999_0.tmx",
                             "map_20000000_0.tmx"})
        TiledTest::WriteText(dir.File(name), Tmx(2, 2, 32, 32));
    TiledTest::WriteText(dir.File("map_5_0.tmx"), "not a map");

    const World world = Read(R"({"type":"world","onlyShowAdjacentMaps":true,"maps":[
        {"fileName":"a.tmx","x":-64,"y":0,"width":64,"height":48},
        {"fileName":"iso.tmx","x":0,"y":1000},
        {"fileName":"hex.tmj","x":2000,"y":0,"width":0},
        {"fileName":"gone.tmx","x":0,"y":0,"width":10,"height":10},
        {"fileName":"gone\u001b]0;x\u0007.tmx","x":0,"y":0}],
      "patterns":[{"regexp":"map_(-?\\d+)_(-?\\d+)\\.tmx","multiplierX":100,"multiplierY":70,
                   "offsetX":5,"offsetY":-5}]})");
    struct Expected {
        std::string fileName;
        int x, y, width, height;
    };
    // Listed first, then matched by name in order; searched, as Tiled
    // searches, so old_map_2_0.tmx and map_3_0.tmx.bak are found too.
    const std::vector<Expected> expected = {
        {"a.tmx", -64, 0, 64, 48},         {"iso.tmx", 0, 1000, 1600, 800},
        {"hex.tmj", 2000, 0, 915, 1230},   {"map_0_0.tmx", 5, -5, 64, 64},
        {"map_1_-1.tmx", 105, -75, 64, 64}, {"map_3_0.tmx.bak", 305, -5, 64, 64},
        {"old_map_2_0.tmx", 205, -5, 64, 64}};
    ASSERT_EQ(world.maps.size(), expected.size()) << warnings;
    for (size_t i = 0; i < expected.size(); ++i) {
        const WorldMap& m = world.maps[i];
        const Expected& e = expected[i];
        EXPECT_EQ(m.fileName, e.fileName);
        EXPECT_EQ(m.path, dir.File(e.fileName));
        EXPECT_EQ(std::tie(m.x, m.y, m.width, m.height), std::tie(e.x, e.y, e.width, e.height))
            << e.fileName;
    }
    EXPECT_TRUE(world.onlyShowAdjacentMaps);
    // Skipped with a warning each: missing, unreadable, no number, too far.
    for (const char* skipped :
         {"gone.tmx", "map_5_0.tmx", "map_99999999999_0.tmx", "map_20000000_0.tmx"})
        EXPECT_NE(warnings.find(skipped), std::string::npos) << skipped << "\n" << warnings;
    EXPECT_NE(warnings.find("gone?]0;x?.tmx\" skipped: its name holds control characters"),
              std::string::npos)
        << warnings;
    EXPECT_EQ(warnings.find("\x1b]"), std::string::npos) << warnings;

    // Half-open, as Rectangle: touching edges do not overlap.
    auto names = [&](Rectangle view) {
        std::string found;
        for (const WorldMap* m : world.MapsIn(view))
            found += m->fileName + " ";
        return found;
    };
    EXPECT_EQ(names({-64, 0, 64, 1000}), "a.tmx ");
    EXPECT_EQ(names({0, 0, 5, 1000}), "");
    EXPECT_EQ(names({-1, 0, 7, 1}), "a.tmx map_0_0.tmx ");
    EXPECT_EQ(names({-1, 47, 1601, 954}), "a.tmx iso.tmx map_0_0.tmx map_3_0.tmx.bak "
                                         "old_map_2_0.tmx ");
    EXPECT_EQ(names({-100, -100, 0, 50}), "");
    auto at = [&](float x, float y) {
        const WorldMap* m = world.MapAt({x, y});
        return m ? m->fileName : std::string("none");
    };
    EXPECT_EQ(at(-64, 0), "a.tmx");
    EXPECT_EQ(at(-0.001f, 47.9f), "a.tmx");
    EXPECT_EQ(at(0, 48), "none");
    EXPECT_EQ(at(1599.5f, 1799.5f), "iso.tmx");
    EXPECT_EQ(at(1600, 1000), "none");
    EXPECT_EQ(at(2914, 1229), "hex.tmj");
    // Around every map, a.tmx's left edge and map_1_-1's top included.
    const Rectangle all = world.Bounds();
    EXPECT_EQ(std::tie(all.x, all.y, all.width, all.height),
              std::make_tuple(-64.0f, -75.0f, 2979.0f, 1875.0f));
    EXPECT_TRUE(World{}.Bounds().Empty());
}

// A map the world gives a size is placed by the world unless its root says
// it is infinite, however its file words that; an infinite one lies where its
// chunks are (one chunk of 16 x 16 cells of 8 pixels, at cell (-16, 0)).
TEST_F(TiledWorld, SizedMapsAreToldInfiniteByTheirRootAlone) {
    std::string cells = "1";
    for (int i = 1; i < 256; ++i)
        cells += ",0";
    const std::string chunkTmx = R"(<layer id="1" name="g"><data encoding="csv">)"
                                 R"(<chunk x="-16" y="0" width="16" height="16">)" +
                                 cells + "</chunk></data></layer>";
    const std::string chunkJson = R"("layers":[{"type":"tilelayer","name":"g","chunks":[)"
                                  R"({"x":-16,"y":0,"width":16,"height":16,"data":[)" +
                                  cells + "]}]}]";
    const std::string head = R"("type":"map","orientation":"orthogonal","width":16,"height":16,)"
                             R"("tilewidth":8,"tileheight":8)";
    const std::pair<const char*, std::string> files[] = {
        {"a.tmx", R"(<?xml version="1.0"?><!-- a > b --><!DOCTYPE map><map version='1.8' )"
                  R"(class="x>y" orientation="orthogonal" width="16" height="16" )"
                  R"(tilewidth="8" tileheight="8" infinite = '1'>)" +
                      chunkTmx + "</map>"},
        {"b.tmj", "{" + head + R"(,"infinite":true,)" + chunkJson + "}"},
        {"c.tmj", "{" + head + "," + chunkJson + R"(,"infinite":true})"},
        {"d.tmx", R"(<map orientation="orthogonal" width="16" height="16" tilewidth="8" )"
                  R"(tileheight="8" infinite="0"/>)"},
        {"e.tmj", "{" + head + R"(,"infinite":false})"},
    };
    std::string list;
    for (const auto& [name, text] : files) {
        TiledTest::WriteText(dir.File(name), text);
        list += std::string(list.empty() ? "" : ",") + R"({"fileName":")" + name +
                R"(","x":1000,"y":0,"width":10,"height":10})";
    }
    const World world = Read(R"({"type":"world","maps":[)" + list + "]}");
    ASSERT_EQ(world.maps.size(), 5u) << warnings;
    for (const WorldMap& m : world.maps) {
        const bool infinite = m.fileName[0] <= 'c';
        EXPECT_EQ(std::tie(m.x, m.y, m.width, m.height),
                  infinite ? std::make_tuple(872, 0, 128, 128) : std::make_tuple(1000, 0, 10, 10))
            << m.fileName << "\n"
            << warnings;
    }
}

TEST_F(TiledWorld, WorldsThatCannotBeUsedAreRefused) {
    TiledTest::WriteText(dir.File("m_1_1.tmx"), Tmx(1, 1, 8, 8));
    TiledTest::WriteText(dir.File("m_2_2.tmx"), Tmx(1, 1, 8, 8));
    const std::string path = dir.File("w.world");
    auto pattern = [](const std::string& fields) {
        return R"j({"patterns":[{"regexp":"m_(\\d+)_(\\d+)")j" +
               (fields.empty() ? "" : "," + fields) + "}]}";
    };
    // Each nested group spelt out a hundred times over.
    const std::string counted = R"j({"patterns":[{"regexp":"(m{0,99}){0,99}_(\\d+)_(\\d+)"}]})j";
    struct Case {
        std::string text;
        std::vector<std::string> parts;
        Limits limits = {};
    };
    const std::vector<Case> cases = {
        {"{", {"not valid JSON"}},
        {"[]", {"not a Tiled world"}},
        {"<world/>", {"not a Tiled world"}},
        {R"({"type":"map"})", {"a \"map\", not a Tiled world"}},
        {R"({"maps":{}})", {"maps is not a list"}},
        {R"({"maps":[3]})", {"map 0 is not an object"}},
        {R"({"maps":[{"x":1}]})", {"names no file"}},
        {R"({"maps":[{"fileName":"m_1_1.tmx","x":1.5}]})", {"x 1.5 is not a whole number"}},
        {R"({"maps":[{"fileName":"m_1_1.tmx","width":-3}]})", {"width -3 must be 0 to"}},
        {R"({"maps":[{"fileName":"m_1_1.tmx","x":1073741800,"width":100,"height":1}]})",
         {"reaches past 1073741824"}},
        {R"({"patterns":[{"regexp":"m_(\\d+"}]})", {"is not a regular expression"}},
        {R"({"patterns":[{"regexp":"m_\\d+_\\d+"}]})", {"fewer than two captures"}},
        {R"({"patterns":[{"regexp":"(m)_(\\d+)\\1"}]})", {"refers back"}},
        {R"({"patterns":[{"regexp":")" + std::string(300, 'm') + R"("}]})", {"300 characters"}},
        {counted, {"repeats too much"}},
        {pattern(R"("multiplierX":99999999999)"), {"multiplierX 99999999999 is not a whole"}},
        {pattern(R"("mapWidth":2000000000)"), {"mapWidth 2000000000 must be 0 to"}},
        {pattern(""), {"more than the limit of 1 maps"}, {.maxWorldMaps = 1}},
        {R"j({"maps":[{"fileName":"m_1_1.tmx"}],"patterns":[{"regexp":"m_(2)_(\\d)"}]})j",
         {"more than the limit of 1 maps"},
         {.maxWorldMaps = 1}},
        {R"j({"patterns":[{"regexp":"(a)(b)"},{"regexp":"(a)(b)"}]})j",
         {"2 patterns would try more than the limit of 2 names"},
         {.maxWorldNames = 2}},
    };
    for (const Case& c : cases) {
        try {
            Read(c.text, c.limits);
            ADD_FAILURE() << "accepted: " << c.text.substr(0, 200);
        } catch (const MapError& error) {
            testing::internal::GetCapturedStderr();
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            for (const std::string& part : c.parts)
                EXPECT_NE(message.find(part), std::string::npos) << message;
        }
    }

    // Patterns that backtrack exponentially, over names as long as a file's
    // may be, take a moment each and no deep stack.
    for (int i = 0; i < 20; ++i)
        TiledTest::WriteText(dir.File(std::string(200 + i, 'a') + "!"), "");
    const auto start = std::chrono::steady_clock::now();
    const World world = Read(R"({"patterns":[{"regexp":"^(a|a)*(a*)*(a?)*(a*)*b$"},
        {"regexp":"(a|aa)*(a*)*(\\d)(\\d)$"}]})");
    EXPECT_TRUE(world.maps.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

} // namespace
