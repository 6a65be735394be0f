#pragma once

// The one reading of Tiled files, over nodes of either format: maps with
// their layers, tile sets, objects and templates. The files a map names
// (tile sets, templates, the images whose size it needs) are found here,
// relative to the file that names them, and read through Reading.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <engine/tiled/TiledMap.h>

#include "tiled/Node.h"
#include "tiled/Reading.h"

namespace Engine::Tiled::Detail {

// The text as a document of its format, told by content; `what` ends the
// refusal of text that is neither ("a TMX (XML) nor a JSON map").
std::unique_ptr<Document> Open(std::string_view text, const std::string& where,
                               const Limits& limits, const char* what);

// Where the map's picture lies in Tiled's own frame of it, as a world places
// it: a finite map's Extent, from its own attributes alone (checked; nothing
// it names is read); an infinite map's box around its chunks, their cells
// unread, which lies left of or above the frame's corner where chunks reach
// past Tiled's cell (0, 0); an empty box for an infinite map without chunks.
struct Placement {
    bool infinite = false;
    PixelBox box;
};
Placement ReadPlacement(const Document& doc, Reading& reading);
// The whole map in doc, its files resolved, checked as far as drawing the
// tiles it shows needs; warns of what it does not read.
Map ReadMap(const Document& doc, Reading& reading);

// A tile set, embedded in a map (where "map.tmx: tile set") or the root of
// its own file (where "set.tsx (tile set of map.tmx): tile set"); file is
// where it is written, for the paths it names. Counts and checks are left to
// SettleTileset.
Tileset ReadTileset(const Node& node, const std::string& file, const std::string& where,
                    Reading& reading);
// What node says of an object (on an object layer, in a template or among a
// tile's collision shapes) over what object holds already, its template's:
// only what it gives itself, properties by name. Its id and template are
// left to the caller.
void ReadObject(const Node& node, Object& object, const std::string& file, const std::string& at,
                Reading& reading);
// The tile set file `source` names, relative to the file `from`; at says who
// names it.
Tileset LoadTileset(const std::string& source, const std::string& from, const std::string& at,
                    Reading& reading);
// Counts a tile set's tiles as Tiled counts them. One in use (strict) is
// refused when it cannot be drawn, and its image's size is read from the
// file when it gives neither that nor its counts.
void SettleTileset(Tileset& tileset, bool strict, const std::string& where, Reading& reading);
// A tile of a collection in use: its image named, its size known, its part
// within it, the tiles of its animation too.
void SettleTile(Tileset& tileset, int localId, const std::string& where, Reading& reading);
// The ids a tile set spans from its first: its tile count, or in a
// collection one more than its largest id.
uint64_t IdSpan(const Tileset& tileset);

// The checks of a map once read: tile sets against each other, every
// global id shown against the tile sets (settling each in use), the sizes of
// tile objects that give none; then the features noted, warned of once each.
void FinishMap(Map& map, Reading& reading);

// Helpers of both halves of the reader.
// Its class: "class" from Tiled 1.9 on, "type" before.
std::string ClassOf(const Node& node, const std::string& where);
// The colour key names, or nothing when it names none.
std::optional<uint32_t> ColorOf(const Node& node, const char* key, const std::string& where);
// TMX's <image> of a tile set, tile or image layer, or the members of JSON's
// that say the same.
struct ImageRef {
    bool present = false; // It has one.
    bool named = false;   // It names a file, rather than keeping its data inside.
    std::string path;     // Resolved against the file it is written in.
    int width = 0;
    int height = 0;
    std::optional<uint32_t> transparentColor;
};
ImageRef ReadImage(const Node& node, const std::string& file, const std::string& where);

// "map.tmx: tile set "name"" or "map.tmx: tile set "name" (ext.tsx)".
std::string TilesetWhere(const std::string& mapPath, const Tileset& tileset);

// A staggered or hexagonal map's grid as Tiled lays it out, on even sizes:
// the flat sides along the stagger axis, the steps between cells, and which
// columns (stagger axis x) or rows (y) are shifted.
struct HexGrid {
    bool staggerX = false;
    int tileWidth = 0, tileHeight = 0;  // the cell's size, rounded down to even
    int sideX = 0, sideY = 0;           // the flat side along x or y; the other is 0
    int columnWidth = 0, rowHeight = 0; // how far a shifted row, or column, moves
    double stepX = 0.0, stepY = 0.0;    // from one column, and one row, to the next
    int64_t origin = 0;                 // Tiled's column or row 0, which an infinite map moved
    bool evenShifted = false;

    bool Shifted(int64_t index) const { return ((index + origin) & 1) != evenShifted; }
};
HexGrid HexGridOf(const Map& map);

} // namespace Engine::Tiled::Detail
