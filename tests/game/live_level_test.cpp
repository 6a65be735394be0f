// The level in the game: which format a file is read as, where the boat
// starts, and what a reload does to it. The game's own scene is built without
// a window, its pictures stood in for.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <engine/core/Engine.h>
#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/text/Font.h>
#include <engine/tiled/TiledTileMap.h>

#include "game/Enemy.h"
#include "game/Level.h"
#include "game/Scene.h"
#include "game/Tuning.h"

using namespace Engine;
namespace fs = std::filesystem;

namespace {

// A folder of the test's own, the working directory while it lives, so that
// the game's own level file (./Assets/level1.json) can be one of the test's.
class Folder {
public:
    Folder() : m_was(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "live-level-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no scratch folder");
        m_path = pattern;
        fs::create_directory(m_path / "Assets");
        fs::current_path(m_path);
    }
    ~Folder() {
        fs::current_path(m_was);
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    static void Write(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }

private:
    fs::path m_was, m_path;
};

TEST(LevelFormat, TheGameFormatIsNeverTakenForAMap) {
    Folder folder;
    const std::string own =
        R"({"type": "map", "version": "1.10", "board": [[0, -1], [5]], "tilemap_path": "t.png",
            "tile_w": 64, "tile_h": 32})";
    const std::string map = R"({"type": "map", "orientation": "orthogonal", "width": 2,
        "height": 1, "tilewidth": 64, "tileheight": 64, "infinite": false, "tilesets": [],
        "layers": [{"type": "tilelayer", "name": "l", "width": 2, "height": 1, "data": [0, 0]}]})";
    struct Case {
        const char* what;
        std::string text;
        std::string path;
        std::string outcome; // "own", "map" or the reason
    };
    const std::vector<Case> cases = {
        {"the game's level with a Tiled key, no argument", own, Level::PATH, "own"},
        {"the same named", own, "named.json", "own"},
        {"one key of the game's format is enough", R"({"type": "map", "tile_w": 64})", "named.json",
         "type must be array, but is null"},
        {"a Tiled map named", map, "named.json", "map"},
        {"a Tiled map as the game's level, no argument", map, Level::PATH,
         "type must be array, but is null"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder::Write(c.path, c.text);
        std::string outcome;
        try {
            const LevelData level = LevelContent().LoadLevel(c.path, c.path != Level::PATH);
            outcome = level.map ? "map" : "own";
            if (!level.map) {
                EXPECT_EQ(level.board, (std::vector<std::vector<int>>{{0, -1}, {5}}));
                EXPECT_EQ(level.tileH, 32);
            }
        } catch (const LevelError& error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, c.outcome);
    }
    // A file larger than memory, a disk image named by mistake say, ends in a
    // message after reading only as far as the parser needs.
    Folder::Write("huge.img", "");
    fs::resize_file("huge.img", uintmax_t(1) << 40); // sparse: no room taken
    EXPECT_THROW(LevelContent().LoadLevel("huge.img", true), LevelError);
}

// The game's content with no picture, font, shader or music behind it.
class NoPictures : public SceneContent {
public:
    Font LoadFont(const char*) override { return Font(); }
    Ref<Shader> LoadShader(const std::string&) override { return nullptr; }
    Ref<Texture2D> LoadTexture(const std::string&) override { return nullptr; }
    Ref<Clip> LoadMusic(const std::string&) override { return nullptr; }
    Tiled::MapTextures LoadTextures(const Tiled::Map& map) override {
        return Tiled::CreateTextures(std::vector<Ref<Texture2D>>(map.tilesets.size()),
                                     Tiled::DecodePictures(map));
    }
};

// 8 by 6 cells of 32: a wall on the left and on the right, a floor below, a
// ledge at (1, 2) with a block at (2, 1) above the room beside it.
std::string Map(const std::string& objects) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" width="8" height="6" tilewidth="32" tileheight="32" infinite="0">
 <tileset firstgid="1" name="t" tilewidth="32" tileheight="32" tilecount="1" columns="1"><image source="t.png" width="32" height="32"/></tileset>
 <layer name="walls" width="8" height="6"><data encoding="csv">
1,0,0,0,0,0,0,1,
1,0,1,0,0,0,0,1,
1,1,0,0,0,0,0,1,
1,0,0,0,0,0,0,1,
1,0,0,0,0,0,0,1,
1,1,1,1,1,1,1,1
</data></layer>)" +
           objects + "\n</map>\n";
}

// Where the boat starts on a map without a player object, then in the game on
// a map with one and without, and what a reload does to a boat at a wall.
TEST(LiveLevel, TheBoatStartsWhereTheMapSaysAndOnlyAWallAroundItSendsItBack) {
    using C = Cell;
    const C o = C::Empty, X = C::Solid, d = C::Draught;
    struct Case {
        const char* what;
        std::vector<std::vector<Cell>> cells; // columns, top down
        glm::vec3 start;
    };
    // Cells of 32 by 32 and a boat of 64 by 64: it covers two columns and two
    // rows, and needs both clear above the cell it stands on.
    const std::vector<Case> cases = {
        {"no solid cell", {{o, o, o}, {o, o, o}}, {0, 0, 0}},
        {"the first column's top and a ledge with no room above it pass over",
         {{X, X, X, X}, {o, o, X, o}, {o, X, o, o}, {o, o, o, X}, {o, o, o, X}},
         {96, 32, 0}},
        {"a draught is no floor", {{o, o, d}, {o, o, d}, {o, o, X}, {o, o, X}}, {64, 0, 0}},
        {"a ceiling alone: the first clear place under it",
         {{X, o, o, o}, {X, o, o, o}, {X, o, o, o}},
         {0, 32, 0}},
        {"no room anywhere", {{X, o}, {o, X}}, {0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Level::DefaultStart(c.cells, 32, 32, {64, 64}), c.start) << c.what;

    Folder folder;
    Folder::Write("object.tmx", Map(R"(<objectgroup name="start">
  <object id="1" name="player" x="100" y="40"><point/></object></objectgroup>)"));
    Folder::Write("plain.tmx", Map(""));
    struct Played {
        const char* map;
        glm::vec3 start;
    };
    for (const Played& c : {Played{"object.tmx", {100, 40, 0}}, Played{"plain.tmx", {32, 96, 0}}}) {
        SCOPED_TRACE(c.map);
        ECS& ecs = ECS::Get();
        ecs.Reset();
        ::Engine::Engine engine(1280, 720);
        auto scene = CreateRef<GameScene>(CreateUni<NoPictures>(), c.map);
        engine.SetScene(scene);
        testing::internal::CaptureStderr();
        scene->Build(engine);
        Ref<Transform> boat = ecs.GetComponent<Transform>(player);
        Ref<RigidBody> body = ecs.GetComponent<RigidBody>(player);
        EXPECT_EQ(boat->position, c.start);

        // Edge to edge with the right wall and the floor, moving: it stays.
        const glm::vec3 touching(160, 96, 0);
        boat->position = touching;
        body->velocity = glm::vec3(100, 0, 0);
        EXPECT_TRUE(scene->ReloadLevel());
        EXPECT_EQ(boat->position, touching);
        EXPECT_EQ(body->velocity, glm::vec3(100, 0, 0));
        // A pixel into the wall: back to the start, still.
        boat->position = touching + glm::vec3(1, 0, 0);
        EXPECT_TRUE(scene->ReloadLevel());
        EXPECT_EQ(boat->position, c.start);
        EXPECT_EQ(body->velocity, glm::vec3(0));
        testing::internal::GetCapturedStderr();

        ecs.Reset();
        ReleaseSceneHandles();
    }
}

// A map's fish swim in place of the designed fish. A save that leaves their
// objects as they were keeps them where they swim; one that moves one places
// them anew, as does a level dropped; with no fish object left the designed
// fish swims again.
TEST(LiveLevel, FishArePlacedAnewOnlyWhenTheirObjectsChange) {
    Folder folder;
    const std::string two = R"(<objectgroup name="fish">
  <object id="1" name="fish" x="32" y="64" width="160" height="32"/>
  <object id="2" name="fish" x="40" y="100"><point/></object></objectgroup>)";
    std::string moved = two;
    moved.replace(moved.find("x=\"40\""), 6, "x=\"48\"");
    Folder::Write("m.tmx", Map(two));
    Folder::Write("d.tmx", Map(two));
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ::Engine::Engine engine(1280, 720);
    auto scene = CreateRef<GameScene>(CreateUni<NoPictures>(), "m.tmx");
    engine.SetScene(scene);
    testing::internal::CaptureStderr();
    scene->Build(engine);
    LiveLevel& level = scene->GetLevel();
    auto at = [&](size_t k) { return ecs.GetComponent<Transform>(level.Fish().at(k))->position; };
    ASSERT_EQ(level.Fish().size(), 2u);
    EXPECT_FALSE(ecs.HasComponent<Enemy>(enemy)) << "the designed fish is gone";
    EXPECT_EQ(at(0), glm::vec3(32, 64, 0));
    EXPECT_EQ(*ecs.GetComponent<Lane>(level.Fish()[0]), (Lane{32, 128}));
    EXPECT_EQ(ecs.GetComponent<Enemy>(level.Fish()[1])->player, player);

    const std::vector<EntityID> swimming = level.Fish();
    ecs.GetComponent<Transform>(swimming[0])->position.x = 50;
    Folder::Write("m.tmx", Map(two + "<!-- saved -->"));
    EXPECT_TRUE(scene->ReloadLevel());
    EXPECT_EQ(level.Fish(), swimming);
    EXPECT_EQ(at(0).x, 50.0f);

    Folder::Write("m.tmx", Map(moved));
    EXPECT_TRUE(scene->ReloadLevel());
    ASSERT_EQ(level.Fish().size(), 2u);
    EXPECT_NE(level.Fish()[0], swimming[0]);
    EXPECT_EQ(at(0), glm::vec3(32, 64, 0));
    EXPECT_EQ(at(1), glm::vec3(48, 100, 0));

    Folder::Write("m.tmx", Map(""));
    EXPECT_TRUE(scene->ReloadLevel());
    ASSERT_EQ(level.Fish().size(), 1u);
    EXPECT_EQ(at(0), Tuning::EnemyStart);
    EXPECT_FALSE(ecs.HasComponent<Lane>(level.Fish()[0]));

    // Dropped: from the start, even fish placed as before.
    Folder::Write("m.tmx", Map(two));
    EXPECT_TRUE(scene->ReloadLevel());
    ecs.GetComponent<Transform>(level.Fish()[0])->position.x = 50;
    ASSERT_TRUE(level.Open("d.tmx"));
    ASSERT_EQ(level.Fish().size(), 2u);
    EXPECT_EQ(at(0), glm::vec3(32, 64, 0));
    testing::internal::GetCapturedStderr();
    ecs.Reset();
    ReleaseSceneHandles();
}

// A reload takes the tile set the running level shows as it is while only
// the map was saved, and decodes it again once its image was saved.
TEST(LiveLevel, AReloadDecodesOnlyATileSetSavedAgain) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    // The scene's own files are read from the repository.
    const fs::path root = fs::current_path();
    Folder folder;
    const std::string map = (fs::current_path() / "m.tmx").string();
    const std::string sheet = (fs::current_path() / "t.png").string();
    fs::current_path(root);
    Folder::Write(map, Map(""));
    ASSERT_TRUE(Image(32, 32, {255, 0, 0, 255}).SavePng(sheet));
    ECS& ecs = ECS::Get();
    ecs.Reset();
    testing::internal::CaptureStderr();
    {
        ::Engine::Engine engine(1280, 720);
        engine.InitializeGraphicsSubSystem();
        auto scene = CreateRef<GameScene>(CreateUni<SceneContent>(), map);
        engine.SetScene(scene);
        engine.Start();
        auto shown = [&]() -> const Texture* {
            for (EntityID e : scene->GetLevel().Entities())
                if (Ref<Tiled::MapLayer> layer = ecs.GetComponent<Tiled::MapLayer>(e))
                    return layer->textures->sheets.at(0).get();
            return nullptr;
        };
        const Texture* first = shown();
        ASSERT_NE(first, nullptr);
        Folder::Write(map, Map("<!-- saved -->"));
        EXPECT_TRUE(scene->ReloadLevel());
        EXPECT_EQ(shown(), first) << "the map alone was saved";
        // Same size, new pixels, a later time: only the time tells them apart.
        ASSERT_TRUE(Image(32, 32, {0, 0, 255, 255}).SavePng(sheet));
        fs::last_write_time(sheet, fs::last_write_time(sheet) + std::chrono::seconds(2));
        EXPECT_TRUE(scene->ReloadLevel());
        EXPECT_NE(shown(), first) << "the tile set was saved";
        engine.Shutdown();
    }
    testing::internal::GetCapturedStderr();
    ecs.Reset();
    ReleaseSceneHandles();
}

// A map saved to name a picture not made yet cannot be used; making the
// picture plays it, as saving any file of the running level would.
TEST(LiveLevel, APictureMadeAfterAFailedReloadReloadsIt) {
    // Pictures read only where they are, as the game's own loader reads them.
    struct PicturesThere : NoPictures {
        Tiled::MapTextures LoadTextures(const Tiled::Map& map) override {
            for (const std::string& file : map.Files())
                if (!fs::exists(file))
                    throw LevelError("cannot read " + file);
            return NoPictures::LoadTextures(map);
        }
    };
    Folder folder;
    Folder::Write("t.png", "");
    Folder::Write("m.tmx", Map(""));
    ECS::Get().Reset();
    ::Engine::Engine engine(1280, 720);
    auto scene = CreateRef<GameScene>(CreateUni<PicturesThere>(), "m.tmx", true);
    engine.SetScene(scene);
    testing::internal::CaptureStderr();
    scene->Build(engine);
    LiveLevel& level = scene->GetLevel();
    double now = 0.0;
    auto news = [&] {
        for (const double end = now + 2.0; now < end; now += 0.05)
            level.Poll(now);
        return level.TakeNews().value_or(LiveLevel::News{"nothing", true});
    };
    std::string renamed = Map("<!-- saved -->");
    renamed.replace(renamed.find("t.png"), 5, "u.png");
    Folder::Write("m.tmx", renamed);
    // The reason is the last word: a picture never made is not "gone".
    EXPECT_EQ(news().message.rfind("Could not reload level file m.tmx: cannot read", 0), 0u);
    Folder::Write("u.png", "");
    EXPECT_EQ(news().message, "Reloaded level file m.tmx");
    testing::internal::GetCapturedStderr();
    ECS::Get().Reset();
    ReleaseSceneHandles();
}

// A pipe is never read again, since opening a named one waits for a writer,
// the game frozen meanwhile: a level written into one, as a generator would,
// plays but is not watched; a watched level file that turns into one is no
// save to read, nor is a directory.
TEST(LiveLevel, PipesAreNeverReadAgain) {
    Folder folder;
    const std::string text = R"({"tilemap_path": "t.png", "tile_w": 64, "tile_h": 64,
                                 "board": [[0, 1], [-1, 2]]})";
    Folder::Write("file.json", text);
    Folder::Write("t.png", "watched, never decoded");
    ASSERT_EQ(mkfifo("pipe.json", 0600), 0);
    // The writer waits, a few seconds at most, for the game to open the pipe.
    std::thread writer([&text] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int fd = -1;
        while ((fd = open("pipe.json", O_WRONLY | O_NONBLOCK)) < 0 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (fd < 0)
            return;
        EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        close(fd);
    });
    struct Case {
        const char* level;
        bool watched;
    };
    for (const Case& c : {Case{"file.json", true}, Case{"pipe.json", false}}) {
        SCOPED_TRACE(c.level);
        ECS::Get().Reset();
        ::Engine::Engine engine(1280, 720);
        auto scene = CreateRef<GameScene>(CreateUni<NoPictures>(), c.level, true);
        engine.SetScene(scene);
        testing::internal::CaptureStderr(); // no pictures: warnings about them
        scene->Build(engine);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(scene->GetLevel().Entities().size(), 1u + 3u) << "its layer and its cells";
        EXPECT_EQ(scene->GetLevel().Watched(), c.watched);
        if (c.watched) {
            for (const bool pipe : {true, false}) {
                fs::remove_all(c.level);
                if (pipe)
                    EXPECT_EQ(mkfifo(c.level, 0600), 0);
                else
                    fs::create_directory(c.level);
                // Looked at twice, a second apart: long enough to settle.
                FileWatch watch = scene->GetLevel().Watch();
                watch.Poll(100.0);
                EXPECT_FALSE(watch.Poll(101.0).changed) << (pipe ? "a pipe" : "a directory");
            }
        }
        ECS::Get().Reset();
        ReleaseSceneHandles();
    }
    writer.join();
}

} // namespace
