#pragma once

// Maps made with the Tiled editor, read from TMX (XML) or JSON (.tmj) into
// plain data: tile sets, tile layers with their global tile ids, object and
// image layers in their drawing order, how each looks, templates resolved,
// custom properties. Nothing here needs a window or GL, and nothing here
// knows what a game makes of a tile.
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
#include <utility>
#include <vector>

#include <engine/physics/CellGrid.h>

/// Maps made with the Tiled editor: reading them into plain data, and their
/// tile layers as the engine's tile maps.
namespace Engine::Tiled {

/// A map, or a file it names, that cannot be used; what() says which and why.
class MapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A name from a map (a tile set's, a file's) as a message shows it: control
/// characters, which could drive the terminal it is printed on, as '?' (the
/// C1 ones too, which some terminals take from UTF-8).
std::string Printable(std::string name);

/// How much a map may ask for. The defaults hold any level a person draws.
struct Limits {
    /// Cells of one layer (width x height); for an infinite map, of the box
    /// around its chunks.
    uint64_t maxCells = uint64_t(1) << 24;
    /// Cells of all tile layers together.
    uint64_t maxTotalCells = uint64_t(1) << 25;
    /// Size of each file read: the map and every tile set, template or image
    /// it names.
    uint64_t maxFileBytes = uint64_t(32) << 20;
    /// Bytes of all files read for one map together.
    uint64_t maxTotalBytes = uint64_t(128) << 20;
    /// Tiles of all tile sets together.
    uint64_t maxTiles = uint64_t(1) << 20;
    /// Objects of all object layers together, templates and tiles' collision
    /// shapes included.
    uint64_t maxObjects = uint64_t(1) << 20;
    /// Groups within groups; templates made from templates.
    int maxDepth = 32;
    /// Corners of all polygons and polylines together.
    uint64_t maxPoints = uint64_t(1) << 22;
    /// Properties a project's classes fill in, members of class values
    /// included, all together.
    uint64_t maxFilledProperties = uint64_t(1) << 22;
    /// Maps of a world, listed and matched together.
    uint64_t maxWorldMaps = uint64_t(1) << 14;
    /// Names a world's patterns try: each entry of its directory once for
    /// each pattern.
    uint64_t maxWorldNames = uint64_t(1) << 12;
};

/// A custom property. Values are kept as text, as the TMX format writes them:
/// bools "true" or "false", numbers in decimal, colours "#aarrggbb", files as
/// written (relative to the file that names them).
struct Property {
    std::string name; ///< As the map names it.
    /// string, int, float, bool, color, file, object or class.
    std::string type = "string";
    std::string value; ///< As text.
    /// A file property's value resolved against the file that names it (the
    /// map, or the tile set, template or project it comes from), as Tiled
    /// resolves it; empty for other types and for an empty value.
    std::string path;
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
/// An int or float property's value; fallback when there is none of that name,
/// it is of another type, or its text is not a finite number.
double GetNumber(const Properties& properties, std::string_view name, double fallback);
/// The same of one property, as Map::PropertyOf finds it; fallback for null.
double GetNumber(const Property* property, double fallback);
/// A bool property's value, as Map::PropertyOf or LayerProperty finds it;
/// fallback for null or another type.
bool GetBool(const Property* property, bool fallback);
/// A string property's value (a sign's words, a door's target); fallback when
/// there is none of that name or it is of another type.
std::string GetString(const Properties& properties, std::string_view name,
                      std::string_view fallback = {});
/// The same of one property, as Map::PropertyOf or LayerProperty finds it;
/// fallback for null or a property of another type.
std::string GetString(const Property* property, std::string_view fallback = {});
/// A file property's path (Property::path), ready to load (a door's target
/// map); fallback when there is none of that name, it is of another type or
/// empty.
std::string GetFile(const Properties& properties, std::string_view name,
                    std::string_view fallback = {});
/// The same of one property, as Map::PropertyOf or LayerProperty finds it;
/// fallback for null.
std::string GetFile(const Property* property, std::string_view fallback = {});

/// One step of a tile's animation.
struct TileFrame {
    int tileId = 0;                                    ///< The tile shown, by local id.
    int duration = 0;                                  ///< Milliseconds.
    bool operator==(const TileFrame&) const = default; ///< Every field alike.
};

struct Object;

/// What a tile set says of one of its tiles.
struct TileInfo {
    /// Its class: written "type" by Tiled 1.8, "class" by 1.9.
    std::string className;
    Properties properties; ///< Its custom properties.
    /// In an image collection, the tile's own image, resolved against the
    /// file that names it; empty in a tile set cut from one sheet.
    std::string imagePath;
    /// Pixels of imagePath: as the tile set gives them or, for a tile the
    /// map shows, read from the image file's header; 0 when unknown.
    int imageWidth = 0;
    int imageHeight = 0; ///< See imageWidth.
    /// 0xFFRRGGBB: pixels of exactly this colour in imagePath are clear.
    std::optional<uint32_t> transparentColor;
    /// The part of imagePath the tile shows, in pixels from the image's
    /// top-left (Tiled 1.9). When the tile set gives no width and height they
    /// are the image's, once known.
    int x = 0;
    int y = 0;      ///< See x.
    int width = 0;  ///< See x.
    int height = 0; ///< See x.
    /// Its animation, in order; empty for a still tile.
    std::vector<TileFrame> animation;
    /// Its collision shapes (Tiled's Tile Collision Editor), in order, their
    /// positions in pixels from the tile's top-left as Tiled gives them;
    /// empty for a tile without. Object layers' objects are read alike.
    std::vector<Object> objects;

    bool operator==(const TileInfo&) const = default; ///< Every field alike.
};

/// A tile set: either a sheet cut into tiles, or an image collection (one
/// image a tile, in its TileInfo). Tile k of a sheet lies at column
/// k % columns, row k / columns, its top-left pixel at
/// (margin + column * (tileWidth + spacing), margin + row * (tileHeight + spacing)).
///
/// Tiles need not be the size of the map's cells: Tiled draws a tile with its
/// bottom-left corner on its cell's bottom-left corner, moved by
/// (offsetX, offsetY), overhanging the cell up and to the right when larger.
struct Tileset {
    std::string name;      ///< As the tile set names itself.
    std::string className; ///< Its class (Tiled 1.9 and later).
    /// Global id of tile 0 in this map.
    uint32_t firstGid = 0;
    /// Pixels of a tile of the sheet; in a collection, of its largest image.
    int tileWidth = 0;
    int tileHeight = 0; ///< See tileWidth.
    /// Tiles in the sheet; in a collection, the tiles it holds (their ids
    /// may have gaps).
    int tileCount = 0;
    int columns = 0; ///< Tiles in a row of the sheet; 0 in a collection.
    int margin = 0;  ///< Pixels around the tiles, at the sheet's edges.
    int spacing = 0; ///< Pixels between neighbouring tiles.
    /// The sheet, resolved against the file that names it; empty in a
    /// collection.
    std::string imagePath;
    /// Pixels of the sheet: as the tile set gives them or, for a tile set the
    /// map uses that gives neither these nor its counts, read from the image
    /// file's header; 0 when unknown.
    int imageWidth = 0;
    int imageHeight = 0; ///< See imageWidth.
    /// 0xFFRRGGBB: pixels of exactly this colour in the sheet are clear.
    std::optional<uint32_t> transparentColor;
    /// One image a tile (TileInfo::imagePath) rather than one sheet.
    bool collection = false;
    /// Pixels every tile is drawn moved by, right and down (its tileoffset).
    int offsetX = 0;
    int offsetY = 0; ///< See offsetX.
    /// Which point of a tile object lies on the object's (x, y): "unspecified"
    /// (bottom-left on an orthogonal map), "topleft", "top", "topright",
    /// "left", "center", "right", "bottomleft", "bottom" or "bottomright".
    std::string objectAlignment = "unspecified";
    /// The size a tile is drawn at: "tile" (its own) or "grid" (the map's
    /// cell), Tiled 1.9.
    std::string tileRenderSize = "tile";
    /// How a tile drawn at another size than its own (at the grid's, or on a
    /// resized tile object) fills its box: "stretch" or "preserve-aspect-fit"
    /// (scaled alike both ways, in the box's middle), Tiled 1.9.
    std::string fillMode = "stretch";
    /// Tiles with a class, properties, an image or an animation, by local id;
    /// in a collection every tile.
    std::map<int, TileInfo> tiles;
    Properties properties; ///< The tile set's own custom properties.
    /// The file it was read from: the map itself, or its .tsx or .tsj file.
    std::string source;
    /// Whether a cell or tile object of the map shows one of its tiles. Only
    /// a tile set in use is checked as far as drawing needs: the counts and
    /// sizes of one that is not may be 0.
    bool used = false;

    /// Null for a tile the tile set says nothing of.
    const TileInfo* FindTile(int localId) const;
    /// The tile that tile localId shows `seconds` into its animation, which
    /// loops; localId itself for a still tile, and the first frame at 0 or
    /// before, or when the frames last no time at all.
    int FrameAt(int localId, double seconds) const;
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

/// How a layer looks, the looks of the groups around it combined into it as
/// Tiled combines them: opacities multiply, tints multiply channel by
/// channel (alpha too), offsets add, parallax factors multiply.
struct LayerLook {
    double opacity = 1.0; ///< 0 (clear) to 1 (opaque).
    /// 0xAARRGGBB, multiplied into every pixel; white leaves them as they are.
    uint32_t tint = 0xFFFFFFFFu;
    double offsetX = 0.0; ///< Pixels it is drawn moved to the right.
    double offsetY = 0.0; ///< Pixels it is drawn moved down.
    /// How far it scrolls with the view: drawn moved by
    /// (1 - parallaxX) * (view centre x - Map::parallaxOriginX) pixels, so 1
    /// scrolls with the map and 0 stays on screen.
    double parallaxX = 1.0;
    double parallaxY = 1.0; ///< See parallaxX, along y.

    bool operator==(const LayerLook&) const = default; ///< Every field alike.
};

/// A group layer around other layers. Groups are flattened into their layers,
/// their visibility and looks combined into each; the rest of them is kept
/// here.
struct LayerGroup {
    int id = 0;            ///< Unique within the map.
    std::string name;      ///< As the map names it.
    std::string className; ///< Its class (Tiled 1.9 and later).
    Properties properties; ///< Its custom properties.

    bool operator==(const LayerGroup&) const = default; ///< Every field alike.
};

/// What every kind of layer has, its groups flattened into it.
struct LayerBase {
    int id = 0;            ///< Unique within the map.
    std::string name;      ///< As the map names it.
    std::string className; ///< Its class (Tiled 1.9 and later).
    /// Its own visibility and that of every group around it.
    bool visible = true;
    Properties properties; ///< Its own custom properties, not its groups'.
    LayerLook look;        ///< Opacity, tint, offset and parallax, its groups' included.
    /// The groups it is in, the outermost first; empty for a layer of the map's own.
    std::vector<LayerGroup> groups;
};

/// The layer's own property of that name or, when it has none, that of the
/// nearest group around it that has one; null when none has. A property set
/// on a group for all the layers in it, as a game may read "collides".
const Property* LayerProperty(const LayerBase& layer, std::string_view name);

/// A tile layer.
struct TileLayer : LayerBase {
    int width = 0;  ///< Cells; the map's, in an infinite map.
    int height = 0; ///< Cells; the map's, in an infinite map.
    /// Row by row from the top-left, flag bits kept; 0 is an empty cell.
    std::vector<uint32_t> gids;

    /// The global tile id of cell (x, y), flag bits kept; x and y must lie in the layer.
    uint32_t At(int x, int y) const {
        return gids[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    /// Puts gid (flag bits kept, 0 to empty it) into cell (x, y), as a door
    /// opens or a coin is taken: DrawMap shows it from its next call, while a
    /// grid SolidCells made before stays as it was. False, writing nothing,
    /// for a cell outside the layer.
    bool Set(int x, int y, uint32_t gid) {
        const size_t cell =
            static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
        if (x < 0 || y < 0 || x >= width || y >= height || cell >= gids.size())
            return false;
        gids[cell] = gid;
        return true;
    }
};

/// A corner of a polygon or polyline, in pixels from its object's (x, y).
struct ObjectPoint {
    double x = 0.0;                                      ///< Pixels to the right.
    double y = 0.0;                                      ///< Pixels down.
    bool operator==(const ObjectPoint&) const = default; ///< Both alike.
};

/// The words of a text object and how Tiled sets them.
struct ObjectText {
    std::string text;                      ///< Lines separated by '\n'.
    std::string fontFamily = "sans-serif"; ///< As the map names it.
    int pixelSize = 16;                    ///< Height of the font in pixels.
    bool wrap = false;                     ///< Lines broken at the object's width.
    uint32_t color = 0xFF000000u;          ///< 0xAARRGGBB; opaque black unless the map says.
    bool bold = false;                     ///< Bold face.
    bool italic = false;                   ///< Italic face.
    bool underline = false;                ///< Underlined.
    bool strikeout = false;                ///< Struck out.
    bool kerning = true;                   ///< Pairs of letters kerned.
    /// "left", "center", "right" or "justify".
    std::string hAlign = "left";
    std::string vAlign = "top";                         ///< "top", "center" or "bottom".
    bool operator==(const ObjectText&) const = default; ///< Every field alike.
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
    /// bottom-left corner (or the point its tile set's objectAlignment
    /// says), as Tiled places them. Tiled shows the object moved by its
    /// layer's offset (the ObjectGroup's look, its groups' included), which
    /// is not in (x, y): Map::ShownBoxOf adds it.
    double x = 0.0;
    double y = 0.0; ///< Pixels from the map's top, y down; see x.
    /// Pixels; 0 for a point. A tile object the map gives no size has its
    /// tile's size.
    double width = 0.0;
    double height = 0.0;   ///< Pixels; see width.
    double rotation = 0.0; ///< Degrees clockwise, about (x, y).
    bool visible = true;   ///< As the map says.
    /// A tile object's global tile id, flag bits kept; 0 for other objects.
    uint32_t gid = 0;
    Properties properties; ///< Its custom properties, its template's included.
    /// A polygon's or polyline's corners, in order.
    std::vector<ObjectPoint> points;
    ObjectText text; ///< A text object's words and style.
    /// The template it was made from, resolved against the file that names
    /// it; empty for none. Its fields are the template's, overridden by what
    /// the object gives itself (properties by name).
    std::string templatePath;

    bool operator==(const Object&) const = default; ///< Every field alike.
};

/// An object layer.
struct ObjectGroup : LayerBase {
    std::vector<Object> objects; ///< In the map's order.
    /// Which object Tiled draws over which: "topdown" (by y, lowest in front)
    /// or "index" (in the map's order).
    std::string drawOrder = "topdown";
};

/// An image layer: one picture, perhaps repeated. Its look's offset is
/// where the picture's top-left corner lies, parallax aside.
struct ImageLayer : LayerBase {
    /// Resolved against the map; empty for a layer without an image.
    std::string imagePath;
    /// Pixels, as the map gives them (0 when it does not).
    int imageWidth = 0;
    int imageHeight = 0; ///< See imageWidth.
    /// 0xFFRRGGBB: pixels of exactly this colour are clear.
    std::optional<uint32_t> transparentColor;
    bool repeatX = false; ///< Repeated across the whole view, side by side.
    bool repeatY = false; ///< Repeated down the whole view.
};

/// Which list of Map a layer is in.
enum class LayerKind { Tile, Object, Image };
/// A layer of any kind: map.layers, map.objectGroups or map.imageLayers at index.
struct LayerRef {
    LayerKind kind = LayerKind::Tile;                 ///< Which list.
    size_t index = 0;                                 ///< Its place in that list.
    bool operator==(const LayerRef&) const = default; ///< Both alike.
};

/// A pixel box, from the map's top-left, y down.
struct PixelBox {
    double x = 0.0;                                   ///< Its left edge.
    double y = 0.0;                                   ///< Its top edge.
    double width = 0.0;                               ///< Pixels across.
    double height = 0.0;                              ///< Pixels down.
    bool operator==(const PixelBox&) const = default; ///< Every field alike.
};

/// A cell of a map by its column and row, as Tiled counts them.
struct MapCell {
    int column = 0;                               ///< From the left, from 0.
    int row = 0;                                  ///< From the top, from 0.
    bool operator==(const MapCell&) const = default; ///< Both alike.
};

/// How far a tile layer's cells move, in whole cells: see Map::CellShiftOf.
struct CellShift {
    int columns = 0;   ///< Right.
    int rows = 0;      ///< Down.
    bool whole = true; ///< Whether the layer's offset is whole cells, not rounded.
    bool operator==(const CellShift&) const = default; ///< Every field alike.
};

/// A map of any of Tiled's orientations: orthogonal, isometric, staggered or
/// hexagonal (where its cells lie: CellBox). An infinite one is read as
/// finite: its chunks placed on the map's grid, the map the box around them,
/// and every position in pixels (objects, image layers, the parallax origin)
/// moved with the box's corner.
struct Map {
    std::string path; ///< Where it was read from, as given to Parse or Load.
    int width = 0;    ///< Cells.
    int height = 0;   ///< Cells.
    /// One cell, for drawing and for collision alike.
    int tileWidth = 0;
    int tileHeight = 0;    ///< Pixels of one cell; see tileWidth.
    /// "orthogonal", "isometric" (a grid of diamonds), "staggered" (every
    /// other row or column of diamonds shifted) or "hexagonal".
    std::string orientation = "orthogonal";
    /// Staggered and hexagonal maps: "x" shifts every other column down by
    /// half a cell, "y" every other row right.
    std::string staggerAxis = "y";
    /// Staggered and hexagonal maps: which columns or rows are shifted, the
    /// "odd" or the "even" ones (counted as Tiled counts them, from 0).
    std::string staggerIndex = "odd";
    /// Hexagonal maps: pixels of the flat side of a hexagon along the
    /// stagger axis.
    int hexSideLength = 0;
    std::string className; ///< Its class (Tiled 1.9 and later).
    /// The order Tiled draws a layer's cells in, which shows where tiles
    /// larger than a cell overlap: "right-down", "right-up", "left-down" or
    /// "left-up".
    std::string renderOrder = "right-down";
    /// What Tiled shows behind the layers, 0xAARRGGBB; none when the map
    /// gives none.
    std::optional<uint32_t> backgroundColor;
    /// The point of the map, in pixels, that parallax scrolls about.
    double parallaxOriginX = 0.0;
    double parallaxOriginY = 0.0; ///< See parallaxOriginX.
    /// Whether Tiled keeps it in chunks, each placed here on the box around
    /// them all.
    bool infinite = false;
    /// Tiled's column of cell (0, 0) here: the box's left edge; 0 for a
    /// finite map.
    int originX = 0;
    int originY = 0; ///< Tiled's row of cell (0, 0) here; see originX.
    /// In the order of their first global ids.
    std::vector<Tileset> tilesets;
    /// Tile layers in drawing order, bottom first, hidden ones included.
    std::vector<TileLayer> layers;
    std::vector<ObjectGroup> objectGroups; ///< Object layers, in the map's order.
    std::vector<ImageLayer> imageLayers;   ///< Image layers, in the map's order.
    /// Every layer of all three kinds in drawing order, bottom first.
    std::vector<LayerRef> layerOrder;
    Properties properties; ///< The map's own custom properties.
    /// The template files read for its objects, each once.
    std::vector<std::string> templates;
    /// What the map uses that is not read into this data, each named once;
    /// Parse warns of each.
    std::vector<std::string> unsupported;

    /// Which tile gid names, and its flips; nothing for an empty cell or a
    /// number no tile set holds. The hexagonal bit is never part of the number.
    std::optional<TileRef> Resolve(uint32_t gid) const;
    /// The first object of that name in any object layer, or null. Hidden
    /// objects, and objects of hidden layers, count too: a game that leaves
    /// out what the designer hid checks `object.visible` and
    /// `map.LayerOf(object)->visible` (which includes the layer's groups).
    const Object* FindObject(std::string_view name) const;
    /// The object an object property names (Tiled's "object" type, by id: the
    /// gate a lever opens), or null for null, a property of another type, no
    /// object (0) or an id no object of this map has.
    const Object* ObjectOf(const Property* property) const;
    /// The object layer that holds the object, or null for an object that is
    /// not this map's.
    const ObjectGroup* LayerOf(const Object& object) const;
    /// The first tile layer of that name in drawing order, groups' layers
    /// included, or null.
    const TileLayer* FindLayer(std::string_view name) const;
    /// The same, to change its cells (TileLayer::Set).
    TileLayer* FindLayer(std::string_view name) {
        return const_cast<TileLayer*>(std::as_const(*this).FindLayer(name));
    }
    /// The layer of any kind a LayerRef names, for what every layer has (its
    /// name, visibility, look, properties) while walking layerOrder; the ref
    /// must name a layer of this map.
    const LayerBase& Layer(LayerRef ref) const;
    /// The same, to change it (hide a layer the game draws itself).
    LayerBase& Layer(LayerRef ref) {
        return const_cast<LayerBase&>(std::as_const(*this).Layer(ref));
    }
    /// What the tile set says of the tile gid names (flag bits ignored): its
    /// class and properties, as a game reads "solid" off a layer's cell
    /// (TileLayer::At); null for an empty cell, a number no tile set holds
    /// and tiles it says nothing of.
    const TileInfo* TileOf(uint32_t gid) const;
    /// What the tile set says of the tile a tile object shows; null for other
    /// objects and for tiles it says nothing of.
    const TileInfo* TileOf(const Object& object) const;
    /// The object's class as Tiled takes it: its own or, when it gives none,
    /// its tile's (a tile object's).
    const std::string& ClassOf(const Object& object) const;
    /// The object's property of that name as Tiled takes it: its own or, when
    /// it has none of that name, its tile's; null when neither has one.
    const Property* PropertyOf(const Object& object, std::string_view name) const;
    /// Every object of that class (ClassOf), layer by layer in the map's
    /// order, hidden ones too, as FindObject says.
    std::vector<const Object*> ObjectsOfClass(std::string_view className) const;
    /// The top-left corner of the object's box before it is turned, in
    /// pixels: a tile object's (x, y) is the point of its box that its tile
    /// set's objectAlignment names (bottom-left when unspecified; on an
    /// isometric map bottom-centre), any other object's is its top-left
    /// corner. On an isometric map (x, y) lies in Tiled's isometric pixels,
    /// where the box is drawn from the point (x, y) projects to.
    ObjectPoint TopLeft(const Object& object) const;
    /// Where an object's point (x, y) is drawn, in the pixels CellBox uses:
    /// on an isometric map, where Tiled keeps objects in pixels along the
    /// diamonds' sides (tileHeight of them a cell), the point it projects
    /// to; on any other map (x, y) itself. An object's box is drawn from
    /// DrawnAt(x, y) moved by TopLeft(object) - (x, y).
    ObjectPoint DrawnAt(double x, double y) const;
    /// DrawnAt undone: the point in objects' pixels that is drawn at (x, y),
    /// (x, y) itself on any map but an isometric one. A walker kept where it
    /// is drawn (CellBox's pixels) stands in a door on an isometric map when
    /// the point FromDrawn gives of its feet lies in the door's ShownBoxOf.
    ObjectPoint FromDrawn(double x, double y) const;
    /// The box of the cell in column `column`, row `row`, in pixels, where
    /// Tiled draws its tile: a tile of the cell's size fills it, a larger or
    /// smaller one stands on its bottom-left corner. A diamond (isometric,
    /// staggered) or hexagon fills the box it is given. Any cell, in the map
    /// or not.
    PixelBox CellBox(int column, int row) const;
    /// The cell whose shape holds the point (x, y), in the pixels CellBox
    /// uses: the square, the diamond or the hexagon itself, not its box, as
    /// under the mouse or under a unit. Any point gives a cell, in the map or
    /// not (check it against width and height); a point beyond what an int
    /// counts gives the furthest one, and one that is not a number a cell far
    /// up and left. A point on an edge two cells share belongs to the one
    /// just below it, or, on an upright edge, the one on its right, as
    /// though it were nudged down and a hair right. Where odd sizes make
    /// tiles overlap by a pixel (staggered, hexagonal), the cells are those
    /// of the even-sized grid Tiled lays them out on.
    MapCell CellAt(double x, double y) const;
    /// How far its cells reach right and down from its top-left corner, in
    /// pixels: its size as Tiled gives it in a world (an isometric map's
    /// (width + height) * tileWidth / 2 across, say). Larger tiles, offsets
    /// and objects may draw past it.
    PixelBox Extent() const;
    /// The layer's offset, its groups' included, to the nearest whole cells
    /// of an orthogonal map: what SolidCells and the tile maps move its cells
    /// by, where DrawMap moves the layer by pixels. An offset past the map's
    /// and the layer's size moves no further, since no cell is left on the
    /// map there.
    CellShift CellShiftOf(const TileLayer& layer) const;
    /// Extent as a Rectangle, for the calls that take one:
    /// `Camera::Main().ClampTo(map.Bounds())` keeps the view over the map.
    Rectangle Bounds() const;
    /// The object's box before it is turned, from TopLeft and its size, in
    /// the pixels its (x, y) are in: a trigger zone's or a tile object's
    /// rectangle, as in `map.BoxOf(*door).Overlaps(player)`.
    Rectangle BoxOf(const Object& object) const;
    /// BoxOf moved by its layer's offset, its groups' included, as Tiled
    /// shows the object and the engine's map drawing puts it (parallax
    /// aside): `map.ShownBoxOf(*door)` is where the player sees the door,
    /// whatever layer the artist moved. In the same pixels as BoxOf, so on an
    /// isometric map the offset is turned into objects' pixels. An object
    /// that is not this map's gets its BoxOf.
    Rectangle ShownBoxOf(const Object& object) const;
    /// The object's outline where Tiled shows it, in the pixels of
    /// ShownBoxOf: a polygon's or polyline's corners, in order; a point's one
    /// point; any other object's four box corners, clockwise from its top-left
    /// (an ellipse's box). Each turned by the object's rotation, clockwise
    /// about its (x, y), and moved by its layer's offset. A turned trigger
    /// zone is `Overlap::PointInPolygon(at, map.ShownPointsOf(*zone))`, a
    /// racing line `Path::PointAlong(map.ShownPointsOf(*line), d, true)`.
    std::vector<glm::vec2> ShownPointsOf(const Object& object) const;
    /// Every other file it names, each once: tile set and template files, and
    /// the images of tile sets, tiles and image layers.
    std::vector<std::string> Files() const;
};

/// Whether text is a Tiled map rather than some other format: XML whose root
/// element is `<map>`, or a JSON object whose "type" is "map". Looks at the text
/// only as far as it needs to, without parsing it.
bool IsTiledMap(std::string_view text);

/// The map in text (TMX or JSON, told apart by content, not by name). path is
/// where it came from: the files it names are found relative to it, and
/// messages name it. Logs one warning for each feature it does not read.
Map Parse(std::string_view text, const std::string& path, const Limits& limits = {});
/// Parse on the file at path, read in one go.
Map Load(const std::string& path, const Limits& limits = {});

/// A custom type of a Tiled project: a class (members with their default
/// values) or an enum (its values).
struct PropertyType {
    int id = 0;          ///< As the project numbers it.
    std::string name;    ///< What properties and classes name it by.
    bool isEnum = false; ///< An enum rather than a class.
    /// A class's members: their types and default values. A member of a
    /// class type holds that class's members it sets, as a property does.
    Properties members;
    /// What a class may be the class of ("object", "tile", "layer", "map",
    /// "tileset", "property"...); empty for anything, as before Tiled 1.9.
    std::vector<std::string> useAs;
    std::vector<std::string> values; ///< An enum's values, in order.
    /// How an enum's value is saved: "string" (its name) or "int" (its index,
    /// or with valuesAsFlags a bit set of them).
    std::string storageType = "string";
    bool valuesAsFlags = false; ///< Several values at once.

    bool operator==(const PropertyType&) const = default; ///< Every field alike.
};

/// What a Tiled project (.tiled-project) says of the maps made in it: its
/// custom types, and the object types of Tiled 1.8 (objecttypes.xml).
/// Tiled saves only the properties a designer changed; a map read with its
/// project gets the rest from here, as Tiled shows them.
struct Project {
    std::string path;                        ///< Where it was read from.
    std::vector<PropertyType> propertyTypes; ///< Classes and enums, in order.
    /// The object types file the project names, resolved against it; empty
    /// for none.
    std::string objectTypesFile;
    /// Its object types, each a class for objects and the tiles they show.
    std::vector<PropertyType> objectTypes;

    /// The class of that name that may be used as `use` ("object",
    /// "tile", "property"...), an object type after the classes for an
    /// object; null for none.
    const PropertyType* FindClass(std::string_view name, std::string_view use) const;
};

/// The project in text: a .tiled-project (JSON) with the object types file
/// it names read too, or an object types file (XML) on its own. path is
/// where it came from, for the file it names and for messages.
Project ParseProject(std::string_view text, const std::string& path, const Limits& limits = {});
/// ParseProject on the file at path.
Project LoadProject(const std::string& path, const Limits& limits = {});

/// Parse, its types resolved with the project's as Tiled's export with
/// "resolve types and properties" resolves them: whatever has a class (an
/// object, tile, layer, group, map or tile set) gets the members of it that
/// it gives no property of, and a class-valued property its class's members
/// it does not set, nested classes too. An object takes its tile's
/// properties first, then its class's (Map::ClassOf). Enum values stay as
/// saved.
Map Parse(std::string_view text, const std::string& path, const Project& project,
          const Limits& limits = {});
/// Load with the project's types resolved, as that Parse.
Map Load(const std::string& path, const Project& project, const Limits& limits = {});

/// A tile-set file (.tsx or .tsj, told apart by content) on its own, its first
/// global id 1, checked as a tile set in use. Its image paths are resolved
/// against path.
Tileset ParseTileset(std::string_view text, const std::string& path, const Limits& limits = {});

/// Which of a map's tiles SolidCells takes as solid.
struct SolidTiles {
    /// Tiles of this class (TileInfo::className) are solid.
    std::string tileClass = {};
    /// So are tiles whose bool property of this name is true. With neither
    /// this nor tileClass given, every tile is.
    std::string property = {};
    /// Only the tile layers of this name count, shown or hidden (a layer of
    /// walls may be hidden); empty: every tile layer that is shown.
    std::string layer = {};
};

/// The map's cells as a grid for MoveBox, in the map's pixels (its cells'
/// size, cell (0, 0) at (0, 0)): a cell is solid when any layer that counts
/// holds a tile there that `which` names, flipped or not. A tile with
/// collision shapes (Tiled's Tile Collision Editor) gives its cell the floor
/// they make, turned as the tile is: one rectangle or polygon, unrotated,
/// that fills the tile below a straight line from its left side to its right
/// side (a ramp, a ledge). Other shapes, several shapes, and tiles of another
/// size than the cells make the whole cell solid, as tiles without shapes do;
/// floors of two layers in one cell make the higher of them at each side.
/// A layer moved by an offset (its own or its groups') is moved as DrawMap
/// draws it, to the nearest whole cell, with a warning when the offset is
/// not whole cells; what it moves off the map is left out. Beyond the map,
/// CellGrid's defaults: its sides are walls, above and below is open.
/// Orthogonal maps only; another orientation, or a layer name that no tile
/// layer has, throws MapError.
CellGrid SolidCells(const Map& map, const SolidTiles& which);

} // namespace Engine::Tiled
