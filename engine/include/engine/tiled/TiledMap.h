#pragma once

// Maps made with the Tiled editor, read from TMX (XML) or JSON (.tmj) into
// plain data: tile sets, tile layers with their global tile ids, object
// layers, custom properties. Nothing here needs a window or GL, and nothing
// here knows what a game makes of a tile.
//
// A map is untrusted input: sizes are capped before anything is decoded,
// compressed data never grows past the layer it fills, and every file a map
// names is read only when it is a regular file under a size cap. Whatever
// cannot be used throws MapError, naming the file and, where it applies, the
// layer or tile set.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// Maps made with the Tiled editor: reading them into plain data, and their
/// tile layers as the engine's tile maps.
namespace Engine::Tiled {

/// A map, or a file it names, that cannot be used; what() says which and why.
class MapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// How much a map may ask for. The defaults hold any level a person draws.
struct Limits {
    /// Cells of one layer (width x height).
    uint64_t maxCells = uint64_t(1) << 24;
    /// Cells of all tile layers together.
    uint64_t maxTotalCells = uint64_t(1) << 25;
    /// Size of each file read: the map and every tile set or image it names.
    uint64_t maxFileBytes = uint64_t(32) << 20;
    /// Bytes of all files read for one map together.
    uint64_t maxTotalBytes = uint64_t(128) << 20;
    /// Tiles of all tile sets together.
    uint64_t maxTiles = uint64_t(1) << 20;
    /// Objects of all object layers together.
    uint64_t maxObjects = uint64_t(1) << 20;
    /// Groups within groups.
    int maxDepth = 32;
};

/// A custom property. Values are kept as text, as the TMX format writes them:
/// bools "true" or "false", numbers in decimal, colours "#aarrggbb", files as
/// written (relative to the file that names them).
struct Property {
    std::string name; ///< As the map names it.
    /// string, int, float, bool, color, file, object or class.
    std::string type = "string";
    std::string value; ///< As text.
    /// A class value: the name of its custom type, and its members.
    std::string propertyType;
    std::vector<Property> members; ///< A class value's members.

    bool operator==(const Property&) const = default; ///< Every field alike.
};
using Properties =
    std::vector<Property>; ///< A map's, layer's, tile's or object's properties, in order.

/// The property of that name, or null.
const Property* FindProperty(const Properties& properties, std::string_view name);
/// A bool property's value; fallback when there is none of that name or it is
/// not a bool.
bool GetBool(const Properties& properties, std::string_view name, bool fallback);

/// What a tile set says of one of its tiles.
struct TileInfo {
    /// Its class: written "type" by Tiled 1.8, "class" by 1.9.
    std::string className;
    Properties properties; ///< Its custom properties.

    bool operator==(const TileInfo&) const = default; ///< Every field alike.
};

/// A sheet cut into tiles of the map's tile size. Tile k of the sheet lies at
/// column k % columns, row k / columns, its top-left pixel at
/// (margin + column * (tileWidth + spacing), margin + row * (tileHeight + spacing)).
struct Tileset {
    std::string name; ///< As the tile set names itself.
    /// Global id of tile 0 in this map.
    uint32_t firstGid = 0;
    int tileWidth = 0;  ///< Pixels.
    int tileHeight = 0; ///< Pixels.
    int tileCount = 0;  ///< Tiles in the sheet.
    int columns = 0;    ///< Tiles in a row of the sheet.
    int margin = 0;     ///< Pixels around the tiles, at the sheet's edges.
    int spacing = 0;    ///< Pixels between neighbouring tiles.
    /// The sheet, resolved against the file that names it.
    std::string imagePath;
    /// As the tile set gives it; 0 when it does not.
    int imageWidth = 0;
    int imageHeight = 0; ///< As the tile set gives it; 0 when it does not.
    /// Only the tiles that have a class or properties, by local id.
    std::map<int, TileInfo> tiles;
    Properties properties; ///< The tile set's own custom properties.
    /// The file it was read from: the map itself, or its .tsx or .tsj file.
    std::string source;

    /// Null for a tile with neither class nor properties.
    const TileInfo* FindTile(int localId) const;
};

/// The flag bits of a global tile id; the rest is the tile number.
constexpr uint32_t FLIPPED_HORIZONTALLY = 0x80000000u;
constexpr uint32_t FLIPPED_VERTICALLY = 0x40000000u; ///< Flag bit: mirrored top to bottom.
constexpr uint32_t FLIPPED_DIAGONALLY = 0x20000000u; ///< Flag bit: transposed.
/// Only hexagonal maps turn tiles by 120 degrees; on others Tiled ignores it.
constexpr uint32_t ROTATED_HEXAGONAL_120 = 0x10000000u;
constexpr uint32_t GID_MASK = 0x0FFFFFFFu; ///< Masks the tile number out of a global tile id.

/// A global tile id resolved: which tile of which tile set, and how it is
/// turned. Tiled applies the diagonal flip (a transpose) first, then the
/// horizontal, then the vertical one.
struct TileRef {
    size_t tileset = 0;                              ///< Index into Map::tilesets.
    int localId = 0;                                 ///< The tile within its tile set.
    bool flipH = false;                              ///< Mirrored left to right.
    bool flipV = false;                              ///< Mirrored top to bottom.
    bool flipD = false;                              ///< Transposed.
    bool operator==(const TileRef&) const = default; ///< Every field alike.
};

/// A tile layer, its groups flattened into it.
struct TileLayer {
    int id = 0;            ///< Unique within the map.
    std::string name;      ///< As the map names it.
    std::string className; ///< Its class (Tiled 1.9 and later).
    /// Its own visibility and that of every group around it.
    bool visible = true;
    int width = 0;         ///< Cells.
    int height = 0;        ///< Cells.
    Properties properties; ///< Its own custom properties, not its groups'.
    /// Row by row from the top-left, flag bits kept; 0 is an empty cell.
    std::vector<uint32_t> gids;

    /// The global tile id of cell (x, y), flag bits kept; x and y must lie in the layer.
    uint32_t At(int x, int y) const {
        return gids[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

/// A shape or a tile placed on an object layer.
struct Object {
    int id = 0;       ///< Unique within the map.
    std::string name; ///< As the map names it; may be empty or repeated.
    /// Written "type" by Tiled 1.8, "class" by 1.9.
    std::string className;
    /// rectangle, ellipse, point, polygon, polyline or text.
    std::string shape = "rectangle";
    /// In pixels from the map's top-left; a tile object's (x, y) is its
    /// bottom-left corner, as Tiled places them.
    double x = 0.0;
    double y = 0.0;        ///< Pixels from the map's top, y down; see x.
    double width = 0.0;    ///< Pixels; 0 for a point.
    double height = 0.0;   ///< Pixels; 0 for a point.
    double rotation = 0.0; ///< Degrees clockwise, about (x, y).
    bool visible = true;   ///< As the map says.
    /// A tile object's global tile id, flag bits kept; 0 for other objects.
    uint32_t gid = 0;
    Properties properties; ///< Its custom properties.
};

/// An object layer, its groups flattened into it.
struct ObjectGroup {
    int id = 0;            ///< Unique within the map.
    std::string name;      ///< As the map names it.
    std::string className; ///< Its class (Tiled 1.9 and later).
    /// Its own visibility and that of every group around it.
    bool visible = true;
    Properties properties;       ///< Its own custom properties, not its groups'.
    std::vector<Object> objects; ///< In the map's order.
};

/// An orthogonal map of finite size.
struct Map {
    std::string path; ///< Where it was read from, as given to Parse or Load.
    int width = 0;    ///< Cells.
    int height = 0;   ///< Cells.
    /// One cell, for drawing and for collision alike.
    int tileWidth = 0;
    int tileHeight = 0; ///< Pixels of one cell; see tileWidth.
    /// In the order of their first global ids.
    std::vector<Tileset> tilesets;
    /// Tile layers in drawing order, bottom first, hidden ones included.
    std::vector<TileLayer> layers;
    std::vector<ObjectGroup> objectGroups; ///< Object layers, in the map's order.
    Properties properties;                 ///< The map's own custom properties.
    /// What the map uses that is drawn plainly (layer opacity, tint colour,
    /// layer offset, parallax, ...), each named once; Parse warns of each.
    std::vector<std::string> unsupported;

    /// Which tile gid names, and its flips; nothing for an empty cell or a
    /// number no tile set holds. The hexagonal bit is never part of the number.
    std::optional<TileRef> Resolve(uint32_t gid) const;
    /// The first object of that name in any object layer, or null.
    const Object* FindObject(std::string_view name) const;
};

/// Whether text is a Tiled map rather than some other format: XML whose root
/// element is `<map>`, or a JSON object whose "type" is "map". Looks at the text
/// only as far as it needs to, without parsing it.
bool IsTiledMap(std::string_view text);

/// The map in text (TMX or JSON, told apart by content, not by name). path is
/// where it came from: tile-set files are found relative to it, and messages
/// name it. Logs one warning for each feature drawn plainly.
Map Parse(std::string_view text, const std::string& path, const Limits& limits = {});
/// Parse on the file at path, read in one go.
Map Load(const std::string& path, const Limits& limits = {});

/// A tile-set file (.tsx or .tsj, told apart by content) on its own, its first
/// global id 1. Its image path is resolved against path.
Tileset ParseTileset(std::string_view text, const std::string& path, const Limits& limits = {});

} // namespace Engine::Tiled
