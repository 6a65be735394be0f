#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <tuple>

#include <engine/tiled/TiledMap.h>
#include <engine/tiled/TiledTileMap.h>
#include <engine/tiled/TiledWorld.h>

#include "FuzzTargets.h"
#include "game/Level.h"
#include "render/GLTexture.h"
#include "tiled/Reader.h"

using namespace Engine;
using namespace ::Engine::Tiled;

namespace EngineFuzz {

namespace {

namespace fs = std::filesystem;

// Smaller than a game's, so that every input stays quick.
Limits FuzzLimits() {
    Limits limits;
    limits.maxCells = 1 << 16;
    limits.maxTotalCells = 1 << 18;
    limits.maxFileBytes = 1 << 20;
    limits.maxTotalBytes = 1 << 22;
    limits.maxTiles = 1 << 14;
    limits.maxObjects = 1 << 12;
    limits.maxFilledProperties = 1 << 14;
    limits.maxWorldMaps = 64;
    limits.maxWorldNames = 256;
    return limits;
}

// The object types the seed project names.
const char* kObjectTypes = R"(<objecttypes><objecttype name="Fixture">
 <property name="friction" type="float" default="1"/></objecttype></objecttypes>)";
// Objects, a tile, a map and class values of types.tiled-project's classes.
const char* kTyped =
    R"(<map orientation="orthogonal" width="1" height="1" tilewidth="64" tileheight="64" class="Level">
 <tileset firstgid="1" name="s" tilewidth="64" tileheight="64" tilecount="1" columns="1">
  <image source="tiles.png" width="64" height="64"/><tile id="0" class="Enemy"/></tileset>
 <layer name="l" width="1" height="1"><data encoding="csv">1</data></layer>
 <objectgroup name="o"><object id="1" class="Enemy"/><object id="2" type="Fixture"/>
  <object id="3" gid="1"><properties><property name="stats" type="class" propertytype="Stats">
   <properties><property name="at" type="class" propertytype="Point"/></properties>
  </property></properties></object></objectgroup>
</map>)";

// The tile sets the seeds name, as tests/tiled/data has them.
const char* kMarks =
    R"(<tileset version="1.8" name="marks" tilewidth="64" tileheight="64" spacing="3" margin="2" tilecount="6" columns="3">
 <image source="marks.png" width="200" height="133"/>
 <tile id="0" type="sign"><properties><property name="text">two
lines</property></properties></tile>
</tileset>)";
const char* kTiny = R"({"columns":4,"image":"tiles.png","imageheight":192,"imagewidth":256,
 "name":"tiny","tilecount":12,"tileheight":64,"tilewidth":64,"type":"tileset",
 "tiles":[{"class":"updraft","id":5,"properties":[{"name":"force","type":"float","value":-2400}]}]})";
// The tile sets and templates the seeds of sizes.tmx and looks.tmx name, in
// short: sheets of larger and smaller tiles (one without sizes), an image
// collection, templates in both formats.
const char* kBig = R"(<tileset name="big" tilewidth="128" tileheight="96" tilecount="4" columns="2"
 objectalignment="bottom"><tileoffset x="4" y="-8"/><image source="../tiles.png" width="256" height="192"/>
</tileset>)";
const char* kBare =
    R"(<tileset name="bare" tilewidth="32" tileheight="32"><image source="../tiles.png"/>
</tileset>)";
const char* kPics =
    R"(<tileset name="pics" tilewidth="256" tileheight="192" tilecount="3" columns="0">
 <tile id="0" type="cloud"><image width="256" height="192" source="../tiles.png"/></tile>
 <tile id="3" x="2" y="2" width="64" height="64"><image source="../marks.png"/></tile>
 <tile id="5"><image source="../nothere.png"/></tile>
</tileset>)";
const char* kCrate = R"(<template><tileset firstgid="1" source="../sets/pics.tsx"/>
 <object name="crate" type="box" gid="4" width="64" height="64"><properties>
 <property name="weight" type="int" value="3"/></properties></object></template>)";
const char* kZone = R"({"type":"template","object":{"name":"zone","type":"area","width":30,
 "height":40,"ellipse":true,"rotation":10,"properties":[{"name":"deadly","type":"bool","value":true}]}})";

// The header of a PNG of w x h pixels: all a tile set's sizes need.
std::string PngHeader(uint32_t w, uint32_t h) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8)
            png += char((v >> shift) & 0xFF);
    return png + std::string("\x08\x06\0\0\0", 5);
}

// A folder of this process's own where the maps' files are looked for; gone
// at exit.
const std::string& Scratch() {
    static const std::string dir = [] {
        const fs::path d =
            fs::temp_directory_path() / ("engine_fuzz_tiled_" + std::to_string(getpid()));
        fs::create_directories(d / "sets");
        fs::create_directories(d / "tpl");
        const std::pair<const char*, std::string> files[] = {{"marks.tsx", kMarks},
                                                             {"tiny.tsj", kTiny},
                                                             {"sets/big.tsx", kBig},
                                                             {"sets/bare.tsx", kBare},
                                                             {"sets/pics.tsx", kPics},
                                                             {"tpl/crate.tx", kCrate},
                                                             {"tpl/zone.tj", kZone},
                                                             {"objecttypes.xml", kObjectTypes},
                                                             {"0_1.tmx", kTyped},
                                                             {"2_-1.tmx", kTyped},
                                                             {"tiles.png", PngHeader(256, 192)},
                                                             {"marks.png", PngHeader(200, 133)}};
        for (const auto& [name, text] : files)
            std::ofstream(d / name, std::ios::binary) << text;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(
                fs::temp_directory_path() / ("engine_fuzz_tiled_" + std::to_string(getpid())), ec);
        });
        return d.string() + "/";
    }();
    return dir;
}

// A sheet as large as the tile set says it is, or just large enough for its
// tiles, naming a texture that does not exist (regions make no GL call).
Ref<Texture2D> SheetFor(const Tileset& ts) {
    const int rows = ts.columns > 0 ? (ts.tileCount + ts.columns - 1) / ts.columns : 0;
    auto span = [&](int n, int tile) {
        return ts.margin + n * tile + std::max(n - 1, 0) * ts.spacing;
    };
    const int w = ts.imageWidth > 0 ? ts.imageWidth : span(ts.columns, ts.tileWidth);
    const int h = ts.imageHeight > 0 ? ts.imageHeight : span(rows, ts.tileHeight);
    return CreateRef<GLTexture2D>(float(w), float(h), 1.0f, 1.0f, 0.0f, 0.0f, 1);
}

// What the game makes of a map: its cells, and each box of a cell with
// collision shapes inside that cell, in the cells' order.
void CheckLevel(const Map& map) {
    LevelData level;
    try {
        level = Level::FromMap(map, 1 << 14);
    } catch (const MapError&) {
        return; // too many boxes
    }
    const LevelCells& cells = level.cells;
    FUZZ_CHECK(cells.grid.size() == size_t(map.width));
    const double w = level.cellW, h = level.cellH;
    for (size_t k = 0; k < cells.boxes.size(); ++k) {
        const CellBox& box = cells.boxes[k];
        FUZZ_CHECK(box.x < cells.grid.size() && box.y < cells.grid[box.x].size());
        FUZZ_CHECK(cells.grid[box.x][box.y] == Cell::Shaped);
        FUZZ_CHECK(box.width > 0 && box.height > 0);
        // Within the cell, give or take float rounding.
        const double slack = 1e-3 * std::max(w, h) * double(box.x + box.y + 1);
        FUZZ_CHECK(box.left >= w * double(box.x) - slack && box.top >= h * double(box.y) - slack);
        FUZZ_CHECK(box.left + box.width <= w * double(box.x + 1) + slack &&
                   box.top + box.height <= h * double(box.y + 1) + slack);
        FUZZ_CHECK(k == 0 ||
                   std::tie(cells.boxes[k - 1].x, cells.boxes[k - 1].y) <= std::tie(box.x, box.y));
    }
    // And every such cell has a box: walked with the boxes, both in order.
    size_t k = 0;
    for (size_t x = 0; x < cells.grid.size(); ++x)
        for (size_t y = 0; y < cells.grid[x].size(); ++y) {
            if (cells.grid[x][y] != Cell::Shaped)
                continue;
            while (k < cells.boxes.size() &&
                   std::tie(cells.boxes[k].x, cells.boxes[k].y) < std::tie(x, y))
                ++k;
            FUZZ_CHECK(k < cells.boxes.size() && cells.boxes[k].x == x && cells.boxes[k].y == y);
        }
}

// What every map read must hold.
void CheckMap(const Map& map, const Limits& limits) {
    FUZZ_CHECK(map.width >= 1 && map.height >= 1 && map.tileWidth >= 1 && map.tileHeight >= 1);
    FUZZ_CHECK(uint64_t(map.width) * uint64_t(map.height) <= limits.maxCells);
    uint64_t tiles = 0, cells = 0, objects = 0, points = 0;
    uint32_t previous = 0;
    for (const Tileset& ts : map.tilesets) {
        FUZZ_CHECK(ts.firstGid > previous);
        FUZZ_CHECK(ts.tileCount >= 0 && ts.columns >= 0);
        if (ts.used && !ts.collection) {
            FUZZ_CHECK(ts.tileWidth >= 1 && ts.tileHeight >= 1 && !ts.imagePath.empty());
            FUZZ_CHECK(ts.columns > 0 || ts.tileCount == 0);
        }
        previous = ts.firstGid;
        tiles += uint64_t(ts.tileCount);
    }
    FUZZ_CHECK(tiles <= limits.maxTiles);
    // Every tile shown is one its tile set can draw.
    auto shown = [&](uint32_t gid) {
        if ((gid & GID_MASK) == 0) {
            FUZZ_CHECK(!map.Resolve(gid));
            return;
        }
        const auto ref = map.Resolve(gid);
        FUZZ_CHECK(ref && ref->tileset < map.tilesets.size());
        const Tileset& ts = map.tilesets[ref->tileset];
        FUZZ_CHECK(ts.used);
        if (ts.collection) {
            const TileInfo* tile = ts.FindTile(ref->localId);
            FUZZ_CHECK(tile && !tile->imagePath.empty() && tile->width >= 1 && tile->height >= 1);
            FUZZ_CHECK(tile->x + tile->width <= tile->imageWidth &&
                       tile->y + tile->height <= tile->imageHeight);
        } else {
            FUZZ_CHECK(ref->localId >= 0 && ref->localId < ts.tileCount);
        }
        // The flags change nothing of which tile it is.
        const auto plain = map.Resolve(gid & GID_MASK);
        FUZZ_CHECK(plain && plain->tileset == ref->tileset && plain->localId == ref->localId);
    };
    for (const TileLayer& layer : map.layers) {
        FUZZ_CHECK(layer.width >= 1 && layer.height >= 1);
        FUZZ_CHECK(layer.gids.size() == size_t(layer.width) * size_t(layer.height));
        FUZZ_CHECK(!map.infinite || (layer.width == map.width && layer.height == map.height));
        FUZZ_CHECK(layer.look.opacity >= 0.0 && layer.look.opacity <= 1.0);
        cells += layer.gids.size();
        for (uint32_t gid : layer.gids)
            shown(gid);
    }
    FUZZ_CHECK(cells <= limits.maxTotalCells);
    for (const ObjectGroup& group : map.objectGroups)
        for (const Object& object : group.objects) {
            ++objects;
            points += object.points.size();
            if (object.gid & GID_MASK)
                shown(object.gid);
        }
    FUZZ_CHECK(objects <= limits.maxObjects && points <= limits.maxPoints);
    // Every layer once, in the order of each kind's own list.
    FUZZ_CHECK(map.layerOrder.size() ==
               map.layers.size() + map.objectGroups.size() + map.imageLayers.size());
    size_t next[3] = {0, 0, 0};
    for (const LayerRef& ref : map.layerOrder)
        FUZZ_CHECK(ref.index == next[size_t(ref.kind)]++);

    // The tile maps of it, when small enough to be quick: every cell a tile
    // that draws, or empty.
    if (tiles > 4096 || cells > (1 << 14))
        return;
    std::vector<Ref<Texture2D>> sheets;
    for (const Tileset& ts : map.tilesets)
        sheets.push_back(SheetFor(ts));
    for (const LayerTileMap& layer : MakeTileMaps(map, sheets)) {
        FUZZ_CHECK(map.layers[layer.layer].visible);
        FUZZ_CHECK(layer.tileMap.lookup.size() == tiles);
        for (const auto& column : layer.tileMap.boardData)
            for (int v : column)
                FUZZ_CHECK(v == -1 || layer.tileMap.IsDrawable(v));
    }

    CheckLevel(map);
}

// A refusal names the file it is about.
void CheckRefusal(const MapError& error, const std::string& path) {
    const std::string message = error.what();
    FUZZ_CHECK(message.find(path) != std::string::npos);
}

// Reads the document open makes of the input as the map at path; returns
// the refusal's message, empty when it was read.
template <typename Open> std::string Try(const std::string& path, Open open) {
    const Limits limits = FuzzLimits();
    try {
        Detail::Reading reading(path, limits);
        CheckMap(Detail::ReadMap(*open(), reading), limits);
        return {};
    } catch (const MapError& error) {
        CheckRefusal(error, path);
        return error.what();
    }
}

} // namespace

int FuzzTiled(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string& dir = Scratch();
    const std::string map = dir + "map.tmx";
    const Limits limits = FuzzLimits();

    // As a map: Parse picks the reader by content and agrees with it; the
    // other reader takes the same bytes too, whatever they look like.
    std::string parsed;
    try {
        CheckMap(Parse(text, map, limits), limits);
    } catch (const MapError& error) {
        CheckRefusal(error, map);
        parsed = error.what();
    }
    auto xml = [&] { return Detail::OpenXml(text, map); };
    auto json = [&] { return Detail::OpenJson(text, map, limits); };
    switch (Detail::Sniff(text)) {
    case Detail::Format::Xml:
        FUZZ_CHECK(Try(map, xml) == parsed);
        Try(map, json);
        break;
    case Detail::Format::Json:
        FUZZ_CHECK(Try(map, json) == parsed);
        Try(map, xml);
        break;
    case Detail::Format::Other:
        FUZZ_CHECK(!parsed.empty());
        break;
    }
    IsTiledMap(text);

    // As a project, and a map of the seed project's classes read with it.
    const std::string projectPath = dir + "input.tiled-project";
    try {
        const Project project = ParseProject(text, projectPath, limits);
        try {
            CheckMap(Parse(kTyped, map, project, limits), limits);
        } catch (const MapError& error) {
            CheckRefusal(error, map);
        }
    } catch (const MapError& error) {
        CheckRefusal(error, projectPath);
    }

    // As a world beside the seeds' files, which its patterns may find: every
    // map placed within the limits, and found where it lies.
    const std::string worldPath = dir + "input.world";
    try {
        const World world = ParseWorld(text, worldPath, limits);
        FUZZ_CHECK(world.maps.size() <= limits.maxWorldMaps);
        for (const WorldMap& m : world.maps) {
            FUZZ_CHECK(m.width >= 1 && m.height >= 1 && !m.path.empty());
            FUZZ_CHECK(std::abs(int64_t(m.x) + m.width) <= (int64_t(1) << 30) &&
                       std::abs(int64_t(m.y) + m.height) <= (int64_t(1) << 30));
            if (std::abs(m.x) < (1 << 24) && std::abs(m.y) < (1 << 24)) {
                FUZZ_CHECK(world.MapAt({float(m.x), float(m.y)}) != nullptr);
                FUZZ_CHECK(!world.MapsIn(m.Bounds()).empty());
            }
        }
    } catch (const MapError& error) {
        CheckRefusal(error, worldPath);
    }

    // As a template beside the seeds' own, named by a map's objects in both
    // formats.
    std::ofstream(dir + "tpl/input.tx", std::ios::binary).write(text.data(), std::streamsize(size));
    for (const char* named :
         {R"(<map orientation="orthogonal" width="1" height="1" tilewidth="64" tileheight="64">)"
          R"(<objectgroup name="o"><object id="1" template="tpl/input.tx" x="3"/>)"
          R"(<object id="2" template="tpl/crate.tx"/></objectgroup></map>)",
          R"({"type":"map","orientation":"orthogonal","width":1,"height":1,"tilewidth":64,)"
          R"("tileheight":64,"layers":[{"type":"objectgroup","name":"o","objects":[)"
          R"({"id":1,"template":"tpl/input.tx","y":2}]}]})"}) {
        try {
            CheckMap(Parse(named, map, limits), limits);
        } catch (const MapError& error) {
            CheckRefusal(error, map);
        }
    }

    // As a tile set: on its own, then, when it is one, named by a map from
    // a file in both formats.
    try {
        const Tileset ts = ParseTileset(text, dir + "input.tsx", limits);
        // A sheet has columns, unless it has no tiles; a collection none, and
        // a tile count of the tiles it holds.
        FUZZ_CHECK(ts.collection ? ts.columns == 0 && size_t(ts.tileCount) == ts.tiles.size()
                                 : ts.tileCount >= 0 && (ts.columns > 0 || ts.tileCount == 0));
    } catch (const MapError& error) {
        CheckRefusal(error, dir + "input.tsx");
        return 0;
    }
    std::ofstream(dir + "input.tsx", std::ios::binary).write(text.data(), std::streamsize(size));
    for (const char* named :
         {R"(<map orientation="orthogonal" width="2" height="2" tilewidth="64" tileheight="64">)"
          R"(<tileset firstgid="1" source="input.tsx"/><layer name="l" width="2" height="2">)"
          R"(<data encoding="csv">1,0,2684354561,0</data></layer></map>)",
          R"({"type":"map","orientation":"orthogonal","width":2,"height":2,"tilewidth":64,)"
          R"("tileheight":64,"tilesets":[{"firstgid":1,"source":"input.tsx"}],)"
          R"("layers":[{"type":"tilelayer","name":"l","width":2,"height":2,"data":[1,0,0,0]}]})"}) {
        try {
            CheckMap(Parse(named, map, limits), limits);
        } catch (const MapError& error) {
            CheckRefusal(error, map);
        }
    }
    return 0;
}

} // namespace EngineFuzz
