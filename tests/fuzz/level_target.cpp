#include <cstring>
#include <sstream>
#include <string>
#include <string_view>

#include <engine/ecs/ECS.h>
#include <engine/image/Image.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/Transform.h>
#include <engine/render/TileMap.h>

#include "FuzzTargets.h"
#include "game/Level.h"
#include "render/GLTexture.h"

using namespace Engine;

namespace EngineFuzz {

namespace {

void CheckCells(const LevelData& level) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Transform>();
    ecs.RegisterComponent<Collider>();
    ecs.RegisterComponent<ForceApplier>();

    const size_t made = Level::CreateCells(level.board);
    FUZZ_CHECK(ecs.EntityCount() == made);

    // Ids follow the walk: column by column, each top down.
    EntityID id = 1;
    for (size_t x = 0; x < level.board.size(); ++x) {
        for (size_t y = 0; y < level.board[x].size(); ++y) {
            const int code = level.board[x][y];
            if (code == Level::EMPTY)
                continue;
            Ref<Transform> t = ecs.GetComponent<Transform>(id);
            Ref<Collider> c = ecs.GetComponent<Collider>(id);
            Ref<ForceApplier> f = ecs.GetComponent<ForceApplier>(id);
            FUZZ_CHECK(t && c);
            FUZZ_CHECK(t->position.x == float(Level::CELL) * float(x));
            FUZZ_CHECK(t->position.y == float(Level::CELL) * float(y));
            FUZZ_CHECK(c->solid == !Level::IsDraught(code));
            FUZZ_CHECK(bool(f) == Level::IsDraught(code));
            ++id;
        }
    }
    FUZZ_CHECK(id - 1 == made);
    ecs.Reset();
}

// The grid as the tile map sees it, over a sheet of three by two whole tiles
// (a region: no image, no GL).
void CheckTileMap(const LevelData& level) {
    const long long sheetW = 3LL * level.tileW, sheetH = 2LL * level.tileH;
    if (sheetW > Image::MAX_SIDE || sheetH > Image::MAX_SIDE)
        return;
    auto sheet = CreateRef<GLTexture2D>(float(sheetW), float(sheetH), 1.0f, 1.0f, 0.0f, 0.0f, 0);
    TileMap map(sheet, level.board, level.tileW, level.tileH);
    FUZZ_CHECK(map.lookup.size() == 6);
    for (const auto& column : map.getMapData())
        for (int code : column)
            FUZZ_CHECK(bool(map.getTile(code)) == (code >= 0 && code < 6));
}

} // namespace

int FuzzLevel(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    LevelData level;
    std::string refused;
    try {
        level = Level::Parse(in);
    } catch (const LevelError& error) {
        // A broken file is refused with a reason, nothing else.
        FUZZ_CHECK(std::strlen(error.what()) > 0);
        refused = error.what();
    }
    // The game reads a regular file from memory: the same level, or the same
    // reason.
    try {
        const LevelData read = Level::Parse(std::string_view(text));
        FUZZ_CHECK(refused.empty());
        FUZZ_CHECK(read.board == level.board && read.tilemapPath == level.tilemapPath &&
                   read.tileW == level.tileW && read.tileH == level.tileH);
    } catch (const LevelError& error) {
        FUZZ_CHECK(error.what() == refused);
    }
    if (!refused.empty())
        return 0;
    FUZZ_CHECK(level.tileW > 0 && level.tileH > 0);
    CheckCells(level);
    CheckTileMap(level);
    return 0;
}

} // namespace EngineFuzz
