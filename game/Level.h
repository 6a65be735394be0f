#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <engine/core/Base.h>
#include <engine/ecs/Types.h>
#include <engine/render/Texture.h>
#include <engine/render/TileMap.h>
#include <engine/tiled/TiledMap.h>
#include <engine/tiled/TiledTileMap.h>

#include "game/Enemy.h"

namespace Engine {

// What a cell of the level does to a body. A Shaped cell is solid only
// within its boxes (LevelCells).
enum class Cell : uint8_t { Empty, Solid, Draught, Shaped };

// A solid rectangle of the Shaped cell (x, y): a tile's collision shape placed
// in the cell, in level units.
struct CellBox {
    size_t x = 0, y = 0;
    float left = 0, top = 0, width = 0, height = 0;
    bool operator==(const CellBox&) const = default;
};

// What collides in a level: grid[x][y], each cell cellW by cellH units, and
// the boxes of its Shaped cells, ordered by column, then row (a cell's in the
// order its layers and tiles give them).
struct LevelCells {
    std::vector<std::vector<Cell>> grid;
    std::vector<CellBox> boxes;
    bool operator==(const LevelCells&) const = default;
};

// A fish a map places: its top-left corner at the start and the lane it
// patrols.
struct FishPlace {
    glm::vec3 start{0.0f};
    Lane lane;
    bool operator==(const FishPlace&) const = default;
};

// A level as its file gives it: in the game's own format, a grid of tile
// codes (a list of columns, each listed top to bottom), the tile-set image and
// the size of one tile in it; or a Tiled map, drawn as Tiled draws it, whose
// cells collide as `cells` says. LoadedLevel is what the game plays of either.
struct LevelData {
    std::vector<std::vector<int>> board;
    std::string tilemapPath;
    int tileW = 0;
    int tileH = 0;

    // Set for a Tiled map (board and tilemapPath are then empty).
    std::shared_ptr<const Tiled::Map> map;
    // A Tiled map's cells, each cellW by cellH units, its tile size (FromMap
    // sets them).
    LevelCells cells;
    int cellW = 0;
    int cellH = 0;
    // Where the boat starts, when the map has an object named "player".
    std::optional<glm::vec3> playerStart;
    // The fish the map places, when it has fish objects (FromMap); without
    // any, the designed fish swims.
    std::optional<std::vector<FishPlace>> fish;
};

// A Tiled map's layer that Tiled shows above the boat's object layer: drawn
// over the boat and the fish (foliage in front of them), where the map's
// other layers go beneath them.
struct Foreground {
    Tiled::MapLayer layer;
};

// Something a level draws, in its drawing order: the game's own tile map, or
// a Tiled map's background or one of its layers. Each kind is placed by
// LiveLevel.
using LevelLayer = std::variant<TileMap, Tiled::MapBackground, Tiled::MapLayer, Foreground>;

// A level read with everything it needs and nothing of it placed yet, the
// same whichever format it came in.
struct LoadedLevel {
    // What collides: cell (x, y) at (cellW * x, cellH * y), cellW by cellH.
    LevelCells cells;
    int cellW = 0;
    int cellH = 0;
    // Bottom first.
    std::vector<LevelLayer> layers;
    // The boat's top-left corner at the start.
    glm::vec3 start{0.0f};
    // The fish its map places; nothing for the designed fish.
    std::optional<std::vector<FishPlace>> fish;
    // The level file and every file it names, each once, as they are named:
    // what a live level watches.
    std::vector<std::string> files;
};

// A level file that cannot be used; what() is the reason.
class LevelError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a level's files are read from. The game reads them from disk;
// benchmarks and tests without a GL context hand in stand-ins.
class LevelContent {
public:
    virtual ~LevelContent() = default;
    // Throws LevelError for a level that cannot be used. A level someone
    // named is told apart by content (Level::Load); the game's own level,
    // played when none is named, is read as the game's format whatever it
    // holds (Level::LoadOwnFormat).
    virtual LevelData LoadLevel(const std::string& path, bool named);
    virtual Ref<Texture2D> LoadTexture(const std::string& path);
    // Everything a Tiled map is drawn with: its sheets and its other
    // pictures; throws LevelError for one that cannot be used. An image the
    // running level still shows is taken as it is unless saved since.
    virtual Tiled::MapTextures LoadTextures(const Tiled::Map& map);

private:
    // A reload reads the new level while the old one holds its textures:
    // a map saved over a large tile set is not decoded and uploaded anew.
    Tiled::TextureCache m_textures;
};

namespace Level {

constexpr const char* PATH = "./Assets/level1.json";
// Collision cells sit on a 64-unit grid whatever the drawn tile size.
constexpr int CELL = 64;
constexpr int EMPTY = -1;
// Passable cells that push upwards.
inline bool IsDraught(int code) {
    return code == 5 || code == 6;
}

// Reads one JSON value from the stream (text after it is ignored) and takes
// "board", "tilemap_path", "tile_w" and "tile_h" from it. Numbers are cut to
// their integer part; anything that is not an int, a missing key, a wrong type
// or a non-positive tile size throws LevelError.
LevelData Parse(std::istream& in);
// The same on text in memory, where the parser runs several times faster
// than on a stream.
LevelData Parse(std::string_view text);
// The file at path, a regular file read in one go: a level of the game's own
// format (Parse) when it is JSON with any of the format's four keys, else a
// Tiled map when it is one (TMX or JSON), else the game's format again. An
// unreadable file or a map that cannot be used throws LevelError too, with a
// reason that names the file, layer or tile set at fault, but not the level.
LevelData Load(const std::string& path);
// The file at path read as the game's own format only, whatever it holds.
LevelData LoadOwnFormat(const std::string& path);
// The level ready to place: its layers drawn with the images content loads,
// its cells, the boat's start for a boat of boatSize, and its files (path
// first; for a map, every file it names that is there). Throws LevelError.
LoadedLevel Prepare(LevelData data, const std::string& path, LevelContent& content,
                    glm::vec2 boatSize);

// The tile classes and layer property that give a map's cells their kind.
constexpr const char* DRAUGHT_CLASS = "draught";
constexpr const char* DECORATION_CLASS = "decoration";
constexpr const char* COLLIDES_PROPERTY = "collides";
constexpr const char* PLAYER_OBJECT = "player";
// Named so or of this class; each places a fish.
constexpr const char* FISH_OBJECT = "fish";
// More fish objects than this are left out, with a warning: each is drawn
// every frame.
constexpr size_t MAX_FISH = 1024;
// What the game makes of a Tiled map: over its visible tile layers, a cell
// is solid where any layer has a tile other than a draught or a decoration
// that has no collision shapes; else shaped, as the union of the shapes of
// such tiles that have them; else a draught where any layer has a draught.
// Layers whose bool property "collides" is false, their own or else that of
// the nearest group around them that has one, are drawn only. A tile's
// shapes are scaled from its size to the cell's, turned as the tile is, and
// cut to the cell; those other than rectangles collide as the rectangles
// around them (points not at all), with one warning a tile set. The object
// named "player" sets the boat's start (its top-left corner). Each visible
// fish object (FISH_OBJECT) places a fish, its top-left corner at the top-left
// of the box around the object, patrolling until its right edge meets the
// box's; in a box narrower than a fish it holds its place. A point or a tile
// object places a fish patrolling the designed lane's length right of it; a
// tile object is not drawn, the fish is. Hidden ones place none, so a map can
// have no fish. Fish a float cannot place are left out with a warning, as are
// those past MAX_FISH. Each cell repeats its tile's shapes, so a map whose
// cells would hold more than maxBoxes of them (as many as a map may have
// cells) is refused (Tiled::MapError), as is a map that is not orthogonal.
LevelData FromMap(Tiled::Map map, uint64_t maxBoxes = Tiled::Limits{}.maxCells);
// Where a boat of `size` starts on a map without a "player" object: standing
// on the first solid cell, column by column from the left and each column top
// down, with room above it, its left edge on the cell's; room is a place
// inside the map clear of solid cells. Failing that, the first such place
// searched the same way, on the cell grid; failing that, (0, 0). A shaped
// cell counts as solid: the boat may start above its shapes and drop onto
// them, but never inside one.
glm::vec3 DefaultStart(const std::vector<std::vector<Cell>>& cells, int cellW, int cellH,
                       glm::vec2 size);

// The cells of a board of tile codes: -1 empty, draught codes draughts,
// every other code solid.
std::vector<std::vector<Cell>> CellsOf(const std::vector<std::vector<int>>& board);

// One collision entity per non-empty cell, column by column, each column top
// down, cell (x, y) at (cellW * x, cellH * y) and cellW by cellH: a draught
// gets a force zone, a solid cell a solid block; a shaped cell one solid
// block a box. Returns the number made, and appends their ids to `made` when
// given.
size_t CreateCells(const LevelCells& cells, int cellW, int cellH,
                   std::vector<EntityID>* made = nullptr);
// Whether the rectangle at `position` of `size` overlaps a solid cell or box
// (by more than an edge).
bool HitsSolid(const LevelCells& cells, int cellW, int cellH, glm::vec3 position, glm::vec2 size);
// The same for a board of tile codes, on the 64-unit grid.
size_t CreateCells(const std::vector<std::vector<int>>& board);

} // namespace Level
} // namespace Engine
