#pragma once

// A Tiled map as the engine draws it. Two ways:
// - the whole map as Tiled draws it, through Draw: its pictures loaded
//   (LoadTextures), then DrawMap from a scene's Draw, or one entity a layer
//   for the registry (CreateLayerEntities, drawn by MapLayerRenderer);
// - its tile layers alone as the engine's TileMaps (CreateTileMapEntities,
//   drawn by TileMapRenderer): tiles that fill the map's cells only, plainly.
// What the tiles mean to a game is the game's business.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Base.h>
#include <engine/core/Time.h>
#include <engine/ecs/System.h>
#include <engine/ecs/Types.h>
#include <engine/image/Image.h>
#include <engine/render/Draw.h>
#include <engine/render/TileMap.h>
#include <engine/render/Texture.h>
#include <engine/text/Font.h>
#include <engine/text/SystemFont.h>
#include <engine/tiled/TiledMap.h>

namespace Engine {
class ECS;
}

namespace Engine::Tiled {

/// The sheets of the tile sets in use that are cut from one image, one entry
/// per tile set in order (empty for the others), decoded without GL (so on
/// any thread), each tile set's transparent colour made clear. An image that
/// is missing, not a regular file, larger than limits.maxFileBytes, beyond
/// limits.maxTotalBytes with the others, too large to decode or not
/// decodable throws MapError naming its tile set and file.
std::vector<Image> DecodeSheets(const Map& map, const Limits& limits = {});
/// Their textures, null for empty images; needs the GL context.
std::vector<Ref<Texture2D>> CreateSheets(const Map& map, const std::vector<Image>& images);
/// DecodeSheets, then CreateSheets.
std::vector<Ref<Texture2D>> LoadSheets(const Map& map, const Limits& limits = {});

/// A map's other pictures, decoded without GL: the image of every tile of an
/// image collection that a visible layer shows (every frame of an animated
/// tile), and of every visible image layer. Each file is decoded once (for
/// each transparent colour it is given), that colour made clear.
struct MapPictures {
    /// One decoded file.
    struct Picture {
        std::string path;   ///< As the map resolves it.
        Image image;        ///< Its pixels.
        bool opaque = true; ///< No pixel of it is see-through: Tiled tints those apart.
    };
    /// Each file once for each colour key and way an image layer repeats
    /// it; a layer's picture is there side by side (Image::Repeated) to 256
    /// pixels or more along the ways it repeats.
    std::vector<Picture> pictures;
    /// One entry per tile set, in order: the picture of each collection tile
    /// shown, by local id (an index into pictures).
    std::vector<std::map<int, size_t>> tiles;
    /// One entry per image layer, in order: its picture, if it shows one.
    std::vector<std::optional<size_t>> layers;
};
/// The pictures of a map, read as DecodeSheets reads sheets (limits.maxTotalBytes
/// holds for them together); throws MapError naming the tile, tile set or
/// layer and the file.
MapPictures DecodePictures(const Map& map, const Limits& limits = {});

/// Fonts (a family, bold, italic) a map's text objects are drawn in at most;
/// text asking for more is drawn in Font::Default().
inline constexpr size_t MAX_MAP_FONTS = 16;

/// A face of the desktop's that a map's text objects ask for.
struct MapFont {
    std::string family;  ///< As the map names it.
    bool bold = false;   ///< Asked bold.
    bool italic = false; ///< Asked italic.
    SystemFont face;     ///< As fontconfig matches it: the family's, or a stand-in.
};
/// The faces the map's shown text objects ask for, each family, bold and
/// italic once, in the map's order, found on the desktop (MatchSystemFont);
/// no GL needed. Not sans-serif and no family, which Font::Default() draws,
/// nor what fontconfig gives no file for. Warns once of each family the
/// desktop has nothing of, naming what is drawn instead, and once of the
/// fonts past MAX_MAP_FONTS, which are not looked for.
std::vector<MapFont> FindFonts(const Map& map);

/// Everything a map is drawn with, as textures.
struct MapTextures {
    /// One per tile set, in order: its sheet, or null (see LoadSheets).
    std::vector<Ref<Texture>> sheets;
    std::vector<Ref<Texture>> pictures;        ///< MapPictures::pictures, in order.
    std::vector<bool> opaque;                  ///< Whether each picture is opaque.
    std::vector<std::map<int, size_t>> tiles;  ///< As MapPictures::tiles.
    std::vector<std::optional<size_t>> layers; ///< As MapPictures::layers.
    /// A face text objects are drawn in.
    struct TextFont {
        Ref<const Font> font; ///< Loaded from the desktop's file.
        bool bold = false;    ///< The face is bold itself: not emboldened again.
        bool italic = false;  ///< The face is italic itself: not slanted again.
    };
    /// By family, bold and italic as text objects ask (FindFonts); text whose
    /// font is not here is drawn in Font::Default().
    std::map<std::tuple<std::string, bool, bool>, TextFont> fonts;

    /// The texture of a collection tile, or null.
    const Ref<Texture>* Tile(size_t tileset, int localId) const;
    /// The texture of an image layer, or null.
    const Ref<Texture>* Layer(size_t imageLayer) const;
};
/// The sheets and the pictures as one; needs the GL context for the pictures.
MapTextures CreateTextures(const std::vector<Ref<Texture2D>>& sheets, const MapPictures& pictures);
/// LoadSheets and DecodePictures, then CreateTextures, and the fonts of
/// FindFonts loaded (each file once).
MapTextures LoadTextures(const Map& map, const Limits& limits = {});

/// Textures shared by many maps, such as a world's: an image that several
/// maps show is decoded and uploaded once, not once a map. The cache holds
/// no texture itself, only notes of those it made: a texture lives while
/// some map's MapTextures holds it, and a map dropped frees what no other
/// map shows. So the cache may live as long as the program, past the GL
/// context. One texture is made for each file (its resolved path and the
/// file found there: one saved anew, or another put in its place, gives a
/// new texture), colour key and way an image layer repeats it. A shared
/// texture changed (Texture2D::Update) changes in every map that shows it.
class TextureCache {
public:
    /// As LoadTextures(map, limits), taking each picture the cache made for
    /// another map that is still held; limits hold for the files read.
    /// Needs the GL context.
    MapTextures Load(const Map& map, const Limits& limits = {});
    /// Textures the cache made that some map still holds.
    size_t Size() const;

private:
    // File, colour key, repeats across and down; the file's device, inode,
    // size and time of change.
    using Key = std::tuple<std::string, std::optional<uint32_t>, bool, bool, uint64_t, uint64_t,
                           uint64_t, int64_t>;
    struct Made {
        std::weak_ptr<Texture2D> texture;
        bool opaque = true;
    };
    std::map<Key, Made> m_made;
    std::map<std::pair<std::string, int>, std::weak_ptr<const Font>> m_fonts;
};

/// Draws the map's background colour over the whole view; nothing when it has none.
void DrawBackground(const Map& map);
/// Draws one layer of the map as Tiled draws it, if it is visible, through
/// Draw in world units seen through Camera::Main(); Draw is in screen pixels
/// afterwards. Cells, tile objects and image layers are placed as Tiled
/// places them: a tile's bottom-left corner on its cell's, moved by its tile
/// set's tile offset (larger tiles overhang up and to the right); a tile
/// object stretched to its size, turned about its (x, y), aligned as its tile
/// set says; image layers repeated across the view if they ask. Layers are
/// drawn with their opacity and tint, and moved by their offset and by their
/// parallax: (1 - factor) * (view centre - Map::parallaxOrigin). Only what
/// meets the view is drawn. Text objects are drawn in their font family's
/// face of textures.fonts (Font::Default() for sans-serif, no family, or
/// none loaded), in their colour, pixel size and alignment (justified too),
/// wrapped at their width where they ask, turned about their corner, bold,
/// italic, underlined or struck out (in the family's bold and italic faces
/// where it has them, else made from the face drawn). An animated tile
/// shows the frame due `seconds` into its loop (Tileset::FrameAt): by
/// default the engine's simulation clock, so that the map plays as in Tiled;
/// 0 shows every first frame, as Tiled's pictures of a map do.
void DrawLayer(const Map& map, const MapTextures& textures, LayerRef layer,
               double seconds = Time::elapsed);
/// Draws the tile that gid names over dest, in Draw's units of the moment
/// (screen pixels, or world units after Draw::BeginWorld): stretched, or
/// fitted where its tile set asks, with gid's flips, showing the frame due
/// `seconds` into its animation, multiplied by tint; its tile set's tile
/// offset is left out. An entity made from a tile object is drawn where it
/// moves with its object's gid (FLIPPED_HORIZONTALLY toggled to face the
/// other way). Nothing for a gid of no tile, or a tile whose picture is
/// missing.
void DrawTile(const Map& map, const MapTextures& textures, uint32_t gid, Rectangle dest,
              Color tint = WHITE, double seconds = Time::elapsed);
/// DrawBackground, then every layer in Map::layerOrder.
void DrawMap(const Map& map, const MapTextures& textures, double seconds = Time::elapsed);
/// DrawMap with the map's top-left corner at `at` in world units, as a
/// world places its maps (WorldMap): its background fills only its own
/// Extent, so that the maps drawn before it stay seen. Call it outside
/// Draw::BeginWorld and EndWorld, as DrawMap.
void DrawMapAt(const Map& map, const MapTextures& textures, glm::vec2 at,
               double seconds = Time::elapsed);

/// Warns once of each feature the map shows in Tiled that DrawLayer does not
/// draw as Tiled does, naming where it is first seen: none is left (a font
/// the desktop lacks is warned of as it is looked for, FindFonts). Shape
/// objects are not drawn either: they are the game's marks, which Tiled
/// outlines only to edit them.
void WarnUndrawn(const Map& map);

/// A component: one layer of a map, drawn by MapLayerRenderer.
struct MapLayer {
    std::shared_ptr<const Map> map;              ///< The map.
    std::shared_ptr<const MapTextures> textures; ///< What it is drawn with.
    LayerRef layer;                              ///< Which of its layers.
};
/// A component: the colour drawn over the whole view by MapBackgroundRenderer.
struct MapBackground {
    Color color; ///< Drawn over the view, alpha included.
};
/// Draws each MapLayer (DrawLayer), in the order the registry runs them.
class MapLayerRenderer : public System<MapLayer> {
public:
    void Run(EntityID entity) override; ///< Draws the entity's layer.
};
/// Draws each MapBackground over the view.
class MapBackgroundRenderer : public System<MapBackground> {
public:
    void Run(EntityID entity) override; ///< Fills the view with the entity's colour.
};
/// Registers MapLayer and MapBackground and their renderers, unless MapLayer
/// is registered already.
void RegisterMapDrawing(ECS& ecs);

/// The map's background, if it has a colour.
std::optional<MapBackground> BackgroundOf(const Map& map);
/// A MapLayer for each visible layer, bottom first (Map::layerOrder); warns
/// as WarnUndrawn does.
std::vector<MapLayer> MakeLayers(const std::shared_ptr<const Map>& map,
                                 const std::shared_ptr<const MapTextures>& textures);
/// RegisterMapDrawing, then one entity with the map's MapBackground, if it
/// has one, and one entity for each MapLayer of MakeLayers, bottom first:
/// the registry runs the renderer over them in that order. Returns the
/// entities, the background's first.
std::vector<EntityID> CreateLayerEntities(const std::shared_ptr<const Map>& map,
                                          const std::shared_ptr<const MapTextures>& textures);

/// Every tile of every tile set cut from its sheet (sheets[i] for tile set
/// i), one tile set after another: tile k of tile set i is entry k plus the
/// tile counts of the tile sets before i. Only tile sets whose tiles fill
/// the map's cells (their size, or drawn at it) are cut; a tile that the
/// sheet's real image does not hold is left empty, with one warning for its
/// tile set.
std::vector<Ref<Texture>> CutTiles(const Map& map, const std::vector<Ref<Texture2D>>& sheets);

/// The grid of a tile layer in TileMap's terms: boardData[x][y] the index
/// into CutTiles' list or -1, and the flips of each cell (left empty when
/// the layer has none).
struct LayerGrid {
    std::vector<std::vector<int>> tiles;     ///< tiles[x][y]: index into CutTiles' list, or -1.
    std::vector<std::vector<uint8_t>> flips; ///< flips[x][y]: TileFlip bits; empty for none.
};
/// The layer's grid, its cells resolved against the map's tile sets; cells
/// of tile sets CutTiles does not cut are -1.
LayerGrid GridOf(const Map& map, const TileLayer& layer);

/// A visible tile layer as a TileMap.
struct LayerTileMap {
    /// Index of the layer in map.layers.
    size_t layer;
    TileMap tileMap; ///< Its cells, drawn from the shared tiles.
};
/// One TileMap for each visible tile layer, bottom layer first; all share the
/// tiles of one CutTiles. A layer moved by an offset (its own or its groups')
/// has its cells moved to the nearest whole cell, as SolidCells moves them
/// (DrawMap moves it by pixels). Warns once of each feature of the map they do not
/// draw (layer looks, image layers, tile objects, tiles of another size, ...),
/// saying what shows instead; DrawLayer draws them all.
std::vector<LayerTileMap> MakeTileMaps(const Map& map, const std::vector<Ref<Texture2D>>& sheets);

/// One entity for each visible tile layer with its TileMap and a Transform,
/// made bottom layer first: the registry runs the tile-map renderer over them
/// in that order. TileMap and Transform must be registered. Returns the
/// entities, bottom first.
std::vector<EntityID> CreateTileMapEntities(const Map& map,
                                            const std::vector<Ref<Texture2D>>& sheets);

} // namespace Engine::Tiled
