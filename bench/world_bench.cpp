// A world of Tiled maps and one large map, under the current X display. Run
// from the repository's root:
//
//   world_bench [--maps N] [--rounds R]
//       Loads the textures of N maps over one 2048 x 2048 tile set, each map
//       on its own (Tiled::LoadTextures) against all of them through one
//       Tiled::TextureCache, in turns, R rounds: the textures made, the bytes
//       they hold and the median time of a world's load, and their ratio.
//       Then a map of 500 x 500 cells seen through a camera turned by 0, 30
//       and 90 degrees, drawn by the tile-map renderer and by Tiled::DrawMap:
//       the quads of a frame (Draw::GetStats) against the map's cells.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include <engine/core/Engine.h>
#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/tiled/TiledTileMap.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace Engine;
namespace fs = std::filesystem;

constexpr int SHEET = 2048, TILE = 32;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A map of w x h cells over sheet.tsx, every cell a tile of it.
void WriteMap(const std::string& path, int w, int h, int seed) {
    std::ofstream out(path);
    out << "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\""
        << w << "\" height=\"" << h << "\" tilewidth=\"" << TILE << "\" tileheight=\"" << TILE
        << "\"><tileset firstgid=\"1\" source=\"sheet.tsx\"/><layer id=\"1\" name=\"l\" width=\""
        << w << "\" height=\"" << h << "\"><data encoding=\"csv\">";
    const int tiles = (SHEET / TILE) * (SHEET / TILE);
    for (long long i = 0; i < (long long)w * h; ++i)
        out << (i ? "," : "") << 1 + (i * 7919 + seed) % tiles;
    out << "</data></layer></map>";
}

// Draws the tile maps of the registry, then the map through DrawMap when it
// is given one.
class Shown : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<TileMap>();
        shader = Shader::CreateDefault();
        meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), shader);
        ecs.RegisterSystem(meshes);
        ecs.RegisterSystem(CreateRef<TileMapRenderer>(engine.RendererOwner(), shader));
    }
    void Update() override {}
    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<TileMap, Transform>());
        meshes->RenderEnd(renderer);
        if (map)
            Tiled::DrawMap(*map, *textures, 0.0);
    }
    Ref<Shader> shader;
    Ref<MeshRenderer> meshes;
    const Tiled::Map* map = nullptr;
    const Tiled::MapTextures* textures = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    int maps = 50, rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && !std::strcmp(argv[i], "--maps"))
            maps = std::max(1, std::atoi(argv[++i]));
        else if (i + 1 < argc && !std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[++i]));
    }
    ::Engine::Engine engine(1280, 720, "World bench");
    auto scene = CreateRef<Shown>();
    engine.SetScene(scene);
    engine.InitializeGraphicsSubSystem();
    engine.Start();

    const fs::path dir = fs::temp_directory_path() / ("world_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    Image sheet(SHEET, SHEET);
    for (int y = 0; y < SHEET; ++y)
        for (int x = 0; x < SHEET; ++x)
            sheet.SetPixel(x, y, {uint8_t(x), uint8_t(y), uint8_t(x ^ y), 255});
    sheet.SavePng((dir / "sheet.png").string());
    std::ofstream((dir / "sheet.tsx").string())
        << "<tileset version=\"1.8\" name=\"s\" tilewidth=\"" << TILE << "\" tileheight=\"" << TILE
        << "\" tilecount=\"" << (SHEET / TILE) * (SHEET / TILE) << "\" columns=\"" << SHEET / TILE
        << "\"><image source=\"sheet.png\" width=\"" << SHEET << "\" height=\"" << SHEET
        << "\"/></tileset>";
    std::vector<Tiled::Map> world;
    for (int i = 0; i < maps; ++i) {
        const std::string path = (dir / ("map_" + std::to_string(i) + ".tmx")).string();
        WriteMap(path, 40, 23, i);
        world.push_back(Tiled::Load(path));
    }

    // Textures made and the bytes they hold, counted once each.
    auto count = [](const std::vector<Tiled::MapTextures>& loaded) {
        std::set<const Texture*> seen;
        double bytes = 0;
        for (const Tiled::MapTextures& t : loaded)
            for (const Ref<Texture>& s : t.sheets)
                if (s && seen.insert(s.get()).second)
                    bytes += double(s->getWidth()) * s->getHeight() * 4;
        return std::pair(seen.size(), bytes);
    };
    std::vector<double> alone, cached;
    std::pair<size_t, double> aloneCount, cachedCount;
    for (int r = 0; r < rounds; ++r) {
        for (const bool useCache : {r % 2 == 0, r % 2 != 0}) {
            const auto t0 = Clock::now();
            std::vector<Tiled::MapTextures> loaded;
            Tiled::TextureCache cache;
            for (const Tiled::Map& map : world)
                loaded.push_back(useCache ? cache.Load(map) : Tiled::LoadTextures(map));
            engine.GetWindow()->SwapBuffers(); // the uploads done
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            (useCache ? cached : alone).push_back(ms);
            (useCache ? cachedCount : aloneCount) = count(loaded);
        }
    }
    std::printf("%d maps over one %dx%d tile set, %d rounds; medians\n", maps, SHEET, SHEET,
                rounds);
    std::printf("%-24s %10s %12s %10s\n", "", "textures", "MiB", "ms");
    std::printf("%-24s %10zu %12.1f %10.1f\n", "LoadTextures each", aloneCount.first,
                aloneCount.second / (1 << 20), Median(alone));
    std::printf("%-24s %10zu %12.1f %10.1f\n", "one TextureCache", cachedCount.first,
                cachedCount.second / (1 << 20), Median(cached));
    std::printf("ratio (cache / each): %.3f\n", Median(cached) / Median(alone));

    // One large map, turned.
    const std::string large = (dir / "large.tmx").string();
    WriteMap(large, 500, 500, 1);
    const Tiled::Map map = Tiled::Load(large);
    const Tiled::MapTextures textures = Tiled::LoadTextures(map);
    const std::vector<Ref<Texture2D>> sheets = Tiled::LoadSheets(map);
    std::printf("\na map of 500 x 500 cells (%d), camera at its middle; quads a frame\n",
                500 * 500);
    std::printf("%8s %14s %10s\n", "turn", "TileMapRender", "DrawMap");
    Camera& camera = Camera::Main();
    camera.transform.position = {250.0f * TILE, 250.0f * TILE, 0};
    for (const float turn : {0.0f, 30.0f, 90.0f}) {
        camera.rotation = turn;
        const std::vector<EntityID> entities = Tiled::CreateTileMapEntities(map, sheets);
        engine.Render();
        const uint64_t tileMap = Draw::GetStats().quads;
        ECS::Get().RemoveEntities(entities);
        scene->map = &map;
        scene->textures = &textures;
        engine.Render();
        const uint64_t drawMap = Draw::GetStats().quads;
        scene->map = nullptr;
        std::printf("%8.0f %14llu %10llu\n", turn, (unsigned long long)tileMap,
                    (unsigned long long)drawMap);
    }
    fs::remove_all(dir);
    return 0;
}
