// A level named on the command line, played again as it is saved: the real
// game with its window, the level's files in a folder of the test's own, saved
// every way editors save, the watch driven by a clock of the test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/TileMap.h>
#include <engine/text/Font.h>
#include <engine/tiled/TiledTileMap.h>

#include "game/Scene.h"
#include "game/Tuning.h"
#include "support/GLContext.h"

using namespace Engine;
namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The shipped map with its CSV rows rewritten: each cell by f(x, y, gid).
template <typename F> std::string Edit(const std::string& tmx, F f) {
    std::istringstream in(tmx);
    std::string out, line;
    int y = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) || c == ',';
            })) {
            std::string row;
            std::istringstream cells(line);
            std::string cell;
            for (int x = 0; std::getline(cells, cell, ','); ++x)
                row += (x ? "," : "") + std::to_string(f(x, y, std::stoi(cell)));
            line = row + (line.back() == ',' ? "," : "");
            ++y;
        }
        out += line + "\n";
    }
    return out;
}

// What the running level is made of, found by a scan of every entity the
// registry has, independent of the scene's own list: each still collider and
// each tile map, sorted so that two runs compare whatever their ids.
struct LevelState {
    std::vector<std::tuple<float, float, float, float, bool, float>> colliders;
    std::vector<std::tuple<std::vector<std::vector<int>>, std::vector<std::vector<uint8_t>>, int,
                           int, std::vector<std::tuple<float, float, float, float>>>>
        tileMaps;
    // A Tiled map's layers: which one each is, a tile layer's cells.
    std::vector<std::tuple<int, size_t, std::vector<uint32_t>>> mapLayers;
    bool operator==(const LevelState&) const = default;
};

LevelState Scan() {
    ECS& ecs = ECS::Get();
    const EntityID top = ecs.CreateEntity();
    ecs.RemoveEntity(top);
    LevelState state;
    for (EntityID e = 1; e < top; ++e) {
        if (ecs.GetComponent<RigidBody>(e))
            continue;
        Ref<Transform> t = ecs.GetComponent<Transform>(e);
        if (Ref<Collider> c = ecs.GetComponent<Collider>(e)) {
            Ref<ForceApplier> f = ecs.GetComponent<ForceApplier>(e);
            state.colliders.emplace_back(t->position.x, t->position.y, c->width, c->height,
                                         c->solid, f ? f->force.y : 0.0f);
        }
        if (Ref<TileMap> m = ecs.GetComponent<TileMap>(e)) {
            std::vector<std::tuple<float, float, float, float>> regions;
            for (const Ref<Texture>& r : m->lookup)
                regions.emplace_back(r ? r->getInternalX() : -1, r ? r->getInternalY() : -1,
                                     r ? r->getInternalWidth() : -1,
                                     r ? r->getInternalHeight() : -1);
            state.tileMaps.emplace_back(m->boardData, m->orientation, m->tileWidth, m->tileHeight,
                                        regions);
        }
        if (ecs.IsComponentRegistered<Tiled::MapLayer>())
            if (Ref<Tiled::MapLayer> l = ecs.GetComponent<Tiled::MapLayer>(e))
                state.mapLayers.emplace_back(int(l->layer.kind), l->layer.index,
                                             l->layer.kind == Tiled::LayerKind::Tile
                                                 ? l->map->layers[l->layer.index].gids
                                                 : std::vector<uint32_t>());
    }
    std::sort(state.colliders.begin(), state.colliders.end());
    return state;
}

class Reload : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        std::string pattern = (fs::temp_directory_path() / "reload-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        for (const char* name : {"tiles.tsx", "tiles.png"})
            fs::copy_file(fs::path("Assets") / name, dir / name);
        shipped = Read("Assets/level1.tmx");
        Write(Map(), shipped);
    }
    void TearDown() override {
        Stop();
        std::error_code error;
        fs::remove_all(dir, error);
    }

    fs::path Map() const { return dir / "level1.tmx"; }
    void Start(const std::string& level, bool live) {
        Input::Clear(); // keys an earlier game in this process left held
        game = std::make_unique<::Engine::Engine>(1280, 720);
        game->InitializeGraphicsSubSystem();
        scene = CreateRef<GameScene>(CreateUni<SceneContent>(), level, live);
        scene->SetClock([this] { return now; });
        game->SetScene(scene);
        game->Start();
    }
    void Stop() {
        if (game)
            game->Shutdown();
        game.reset();
        scene.reset();
    }
    // Frames of one step each, the clock moving on 10 ms a frame; true as
    // soon as done() holds.
    template <typename F> bool Run(double seconds, F done) {
        for (double end = now + seconds; now < end; now += 0.01) {
            game->Frame(0.01);
            if (done())
                return true;
        }
        return false;
    }
    // A fresh start on the file as it is now, scanned.
    LevelState Fresh(const std::string& text) {
        const fs::path other = dir / "fresh.tmx";
        Write(other, text);
        Stop();
        Start(other.string(), false);
        LevelState state = Scan();
        Stop();
        return state;
    }
    // Every still collider the registry has is in the physics grid, and
    // nothing else: no collider of an old level outlives a reload.
    void ExpectTheGridHoldsTheLevel() {
        game->Frame(0.01);
        auto& physics = dynamic_cast<PhysicsSystem&>(*physicsSystem);
        EXPECT_EQ(physics.Grid().Size(), Scan().colliders.size());
    }

    fs::path dir;
    std::string shipped;
    std::unique_ptr<::Engine::Engine> game;
    Ref<GameScene> scene;
    double now = 1000.0;
};

// Each way of saving, one after another on the same running game, and a
// garbage save among them: every good save is the level a fresh start on it
// makes, exactly; the garbage one changes nothing.
TEST_F(Reload, EverySaveIsTheLevelAFreshStartOnItMakes) {
    Start(Map().string(), true);
    const LevelState running = Scan(); // before Fresh stops this game
    ASSERT_EQ(running, Fresh(shipped)) << "the running level before any save";
    Start(Map().string(), true);
    Run(1.0, [] { return false; });
    const glm::vec3 boat = ECS::Get().GetComponent<Transform>(player)->position;

    // Two rows of planks in the sky, a draught column and a crate moved.
    const std::string planks =
        Edit(shipped, [](int x, int y, int gid) { return y == 1 && x > 10 && x < 20 ? 4 : gid; });
    const std::string draughts =
        Edit(planks, [](int x, int y, int gid) { return x == 20 && y < 4 ? 6 : gid; });
    const std::string crates =
        Edit(draughts, [](int x, int y, int gid) { return (y == 3 && x == 19) ? 8 : gid; });
    struct Step {
        const char* how;
        std::string text;
        bool good;
    };
    const std::vector<Step> steps = {
        {"in place, half written for a moment", planks, true},
        {"garbage, in place", "<map this is no map", false},
        {"a new file renamed over it", draughts, true},
        {"removed, then written half a second later", crates, true},
    };
    std::vector<LevelState> after;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.how);
        testing::internal::CaptureStderr();
        const std::string how = step.how;
        if (how.rfind("in place", 0) == 0) {
            std::ofstream out(Map(), std::ios::binary | std::ios::trunc);
            out << step.text.substr(0, step.text.size() / 2) << std::flush;
            Run(0.05, [] { return false; }); // seen half written, not yet settled
            out << step.text.substr(step.text.size() / 2);
        } else if (how.rfind("a new file", 0) == 0) {
            Write(dir / "level1.tmx.new", step.text);
            fs::rename(dir / "level1.tmx.new", Map());
        } else {
            fs::remove(Map());
            Run(0.5, [] { return false; });
            Write(Map(), step.text);
        }
        Run(2.0, [] { return false; });
        const std::string err = testing::internal::GetCapturedStderr();
        if (step.good) {
            EXPECT_EQ(err, "LEVEL: Reloaded level file " + Map().string() + "\n");
            EXPECT_EQ(scene->GetNotice().Text(), "Reloaded level file " + Map().string());
            after.push_back(Scan());
            ExpectTheGridHoldsTheLevel();
        } else {
            EXPECT_NE(err.find("Could not reload level file " + Map().string() + ": "),
                      std::string::npos)
                << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            // The window says what the terminal says.
            EXPECT_NE(err.find("LEVEL: " + scene->GetNotice().Text()), std::string::npos) << err;
            EXPECT_TRUE(scene->GetNotice().Failed());
            EXPECT_EQ(Scan(), after.back()) << "the level plays on as it was";
        }
        // The boat keeps its place (it rides no changed cell).
        EXPECT_EQ(ECS::Get().GetComponent<Transform>(player)->position.x, boat.x);
    }

    // Files dropped on the window: one that cannot be played changes nothing;
    // of several, the last is played from its start, and is live from then on.
    auto drop = [](const std::vector<fs::path>& files) {
        for (const fs::path& file : files) {
            SDL_Event event{};
            event.type = SDL_DROPFILE;
            event.drop.file = SDL_strdup(file.c_str());
            SDL_PushEvent(&event);
        }
    };
    const fs::path dropped = dir / "dropped.tmx", garbage = dir / "garbage.tmx",
                   pipe = dir / "pipe.tmx";
    Write(dropped, planks);
    Write(garbage, "<map this is no map");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A pipe is refused unread. Should the game wait on it, a writer coming
    // and going lets it on, so that the fault fails rather than hangs.
    std::atomic<bool> dropsDone{false};
    std::thread writer([&] {
        while (!dropsDone) {
            if (const int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::string err;
    for (auto [file, why] : {std::pair{garbage, ""}, {pipe, "not a regular file"}}) {
        testing::internal::CaptureStderr();
        drop({file});
        Run(0.02, [] { return false; });
        err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("Could not play level file " + file.string() + ": " + why),
                  std::string::npos)
            << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        // The window says what the terminal says.
        EXPECT_NE(err.find("LEVEL: " + scene->GetNotice().Text()), std::string::npos) << err;
        EXPECT_EQ(scene->GetNotice().Text().rfind("Could not play level file " + file.string(), 0),
                  0u);
        EXPECT_EQ(Scan(), after.back());
    }
    dropsDone = true;
    writer.join();
    // It is drawn: the failure's dark red box, over whatever the level shows
    // there, at the bottom left inside the box's edge and left of its text.
    auto boxed = [this] {
        game->GetRenderer()->SetClearColor(::Engine::Engine::CLEAR_COLOR);
        game->GetRenderer()->Clear();
        scene->Draw(game->RendererOwner());
        Draw::Flush();
        unsigned char p[4] = {};
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(20, 20, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return p[0] >= 75 && p[0] <= 110 && p[1] >= 15 && p[1] <= 45 && p[2] >= 15 && p[2] <= 45;
    };
    EXPECT_TRUE(boxed());
    // A path named in Latin-1 wraps as it is drawn, a character a byte: each
    // line fits, none is lost, and the cut-off line ends in "...".
    const std::string latin1 = "/old/" + std::string(60, '\xB5') + "\xE9\xC3.tmx";
    for (const size_t most : {size_t(50), size_t(2)}) {
        const std::vector<std::string> lines = WrapText(latin1, Notice::SIZE, 100.0f, most);
        std::string joined;
        for (const std::string& line : lines) {
            EXPECT_LE(Draw::MeasureText(line, Notice::SIZE), 100.0f) << line;
            joined += line;
        }
        if (most == 2)
            EXPECT_EQ(lines.back().substr(lines.back().size() - 3), "...");
        else
            EXPECT_EQ(Font::Codes(joined), Font::Codes(latin1));
    }
    // Gone after its seconds of game time, and not before.
    game->Frame(5.9);
    EXPECT_FALSE(scene->GetNotice().Text().empty());
    game->Frame(0.2);
    EXPECT_EQ(scene->GetNotice().Text(), "");
    EXPECT_FALSE(boxed());
    testing::internal::CaptureStderr();
    drop({garbage, dropped});
    Run(0.02, [] { return false; });
    Ref<Transform> place = ECS::Get().GetComponent<Transform>(player);
    EXPECT_EQ(place->position.x, Tuning::PlayerStart.x);
    after.push_back(Scan());
    const size_t cells = scene->GetLevel().Entities().size();
    Write(dropped, draughts);
    Run(2.0, [&] { return scene->GetLevel().Entities().size() != cells; });
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "LEVEL: Playing level file " + dropped.string() + "\nLEVEL: Reloaded level file " +
                       dropped.string() + "\n");
    after.push_back(Scan());
    Stop();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[0], Fresh(planks));
    EXPECT_EQ(after[1], Fresh(draughts));
    EXPECT_EQ(after[2], Fresh(crates));
    EXPECT_EQ(after[3], after[0]);
    EXPECT_EQ(after[4], after[1]);
    EXPECT_NE(after[0], after[1]);
}

// A save that puts a wall where the boat is sends the boat back to its start,
// still, and the camera stays where it was.
TEST_F(Reload, ABoatThatWouldBeInsideAWallGoesBackToItsStart) {
    Start(Map().string(), true);
    Run(1.5, [] { return false; }); // landed on the floor of the start
    ECS& ecs = ECS::Get();
    Ref<Transform> boat = ecs.GetComponent<Transform>(player);
    boat->position.x = 700; // over the water, falling
    Run(0.2, [] { return false; });
    // Paused with P, as a designer would before editing: the save still
    // shows.
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event key{};
        key.type = type;
        key.key.keysym.sym = SDLK_p;
        SDL_PushEvent(&key);
        Run(0.01, [] { return false; });
    }
    ASSERT_TRUE(scene->IsPaused());
    const glm::vec3 at = boat->position;
    // Stone in every cell the boat covers, nothing at the start.
    const int x0 = int(at.x) / 64, y0 = int(at.y) / 64;
    Write(Map(), Edit(shipped, [&](int x, int y, int gid) {
              return x >= x0 && x <= x0 + 1 && y >= y0 && y <= y0 + 1 ? 3 : gid;
          }));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(Run(2.0, [&] { return boat->position.x == Tuning::PlayerStart.x; }));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ecs.GetComponent<RigidBody>(player)->velocity.x, 0.0f);
    EXPECT_TRUE(scene->IsPaused());
}

// The real clock this time: from a save to the new level on screen, read
// back from the window.
TEST_F(Reload, AChangeShowsOnScreenSoonAfterTheSave) {
    Start(Map().string(), true);
    scene->SetClock([] {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    });
    Run(0.5, [] { return false; });
    // The whole sky turned to brick.
    Write(Map(), Edit(shipped, [](int, int, int gid) { return gid == 0 ? 5 : gid; }));
    const auto saved = std::chrono::steady_clock::now();
    testing::internal::CaptureStderr();
    // Cell (6, 1), sky until now, where the camera shows it: the frame drawn
    // again and read back before it is swapped.
    auto brick = [this] {
        game->GetRenderer()->SetClearColor(::Engine::Engine::CLEAR_COLOR);
        game->GetRenderer()->Clear();
        scene->Draw(game->RendererOwner());
        const glm::vec3 camera = Camera::Main().transform.position;
        const int x = int(6.5f * 64 - camera.x + 640), y = int(1.5f * 64 - camera.y + 360);
        if (x < 16 || x >= 1280 - 16 || y < 16 || y >= 720 - 16)
            return false;
        unsigned char p[32 * 32 * 4] = {};
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x - 16, 719 - y - 16, 32, 32, GL_RGBA, GL_UNSIGNED_BYTE, p);
        int reddish = 0;
        for (int i = 0; i < 32 * 32; ++i)
            reddish += p[4 * i] > p[4 * i + 1] + 40 && p[4 * i] > p[4 * i + 2] + 40;
        return reddish > 32 * 32 / 3;
    };
    ASSERT_FALSE(brick());
    bool shown = false;
    while (!shown && std::chrono::steady_clock::now() - saved < std::chrono::seconds(10)) {
        game->Frame(0.01);
        shown = brick();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - saved).count();
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(shown);
    // And what a reload of the shipped level takes of the main thread, with
    // its tile set decoded and uploaded.
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(scene->ReloadLevel());
    const double reload =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    testing::internal::GetCapturedStderr();
    std::printf("a saved change showed on screen %.0f ms after the save; a reload took %.1f ms\n",
                seconds * 1000.0, reload * 1000.0);
}

} // namespace
