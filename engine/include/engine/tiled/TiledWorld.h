#pragma once

// Tiled's worlds (.world files): many maps laid out side by side as one
// large game world, listed one by one or found by a pattern over the file
// names of the world's directory. Read into plain data: where each map lies,
// in world pixels. Loading and drawing the maps is the game's (Load, then
// DrawMapAt each at its place).
//
// A world is untrusted input as a map is: its patterns run in time that
// grows with the length of a name times that of the pattern, never
// exponentially; the directory listed, the maps found and the positions
// reached are capped. A map the world names that is missing or cannot be
// read is skipped with a warning, as Tiled skips it: a designer may be
// renaming it while the game reloads the world.

#include <string>
#include <string_view>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/render/Draw.h>
#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled {

/// One map of a world, placed.
struct WorldMap {
    /// As the world names it, or the name a pattern matched.
    std::string fileName;
    /// Resolved against the world file's directory.
    std::string path;
    /// Its top-left corner, in world pixels; maps may overlap or leave gaps.
    /// An infinite map's is its chunks' box's, which lies left of or above
    /// the world's place for it where they reach past Tiled's cell (0, 0):
    /// where the map Load reads is drawn (DrawMapAt).
    int x = 0;
    int y = 0; ///< See x; y grows downwards.
    /// Pixels across: as the world gives it, else the map's (Map::Extent);
    /// an infinite map's always its chunks' box's.
    int width = 0;
    int height = 0; ///< Pixels down; see width.

    /// Its rectangle in world pixels.
    Rectangle Bounds() const;
    bool operator==(const WorldMap&) const = default; ///< Every field alike.
};

/// A world: its maps, each with its rectangle.
struct World {
    std::string path; ///< Where it was read from, as given.
    /// The maps it lists, in its order, then those each pattern matched, in
    /// the patterns' order and by file name within each. A file named twice
    /// is there twice, as Tiled shows it twice.
    std::vector<WorldMap> maps;
    /// Tiled shows only the maps next to the one being edited; a hint for
    /// the editor, kept for a game that wants it.
    bool onlyShowAdjacentMaps = false;

    /// The maps whose rectangles overlap view (as Rectangle::Overlaps: half
    /// open, so touching edges do not), in the order of maps; pointers into
    /// maps (`found - maps.data()` is the index, for maps loaded in the
    /// order of maps). To load a camera's neighbours, pass its view widened
    /// by a margin.
    std::vector<const WorldMap*> MapsIn(const Rectangle& view) const;
    /// The map that holds point (as Rectangle::Contains); of overlapping
    /// ones the last, which is drawn over the others when drawn in order.
    /// Null for a point in no map.
    const WorldMap* MapAt(glm::vec2 point) const;
    /// The rectangle around every map that has a size, as far as a camera
    /// may go; maps may lie left of or above (0, 0). Empty, (0, 0, 0, 0),
    /// for a world of no such map.
    Rectangle Bounds() const;
};

/// The world in text (Tiled's JSON .world). path is where it came from: maps
/// are found relative to its directory, which its patterns list (file names
/// only, not recursing, each matched by regular expression search as Tiled
/// does: "map_(\d+)_(\d+)\.tmx" also matches "old_map_1_2.tmx"; anchor it
/// with ^ and $ to match whole names). A pattern's first two captures are
/// the map's column and row: x = column * multiplierX + offsetX, likewise
/// y. Expressions are ECMAScript's (std::regex), close to the
/// Perl-like ones Tiled takes; without lookbehind, named groups, possessive
/// or atomic groups, Unicode classes, inline flags or back-references.
/// A map whose size the world does not give is sized by its own header
/// (Map::Extent). An infinite map lies where Tiled draws it, its cell (0, 0)
/// at the world's place for it, and is sized by the box around its chunks,
/// whatever the world gives; its tiles are not read. Refused with MapError: text that is not a
/// world, values of the wrong kind, expressions longer than 256 characters, that do not compile or
/// that have fewer than two captures, a listed map or a pattern's size reaching past 2^30 pixels,
/// and what passes limits.maxWorldMaps or limits.maxWorldNames, and maps of more than
/// limits.maxTotalBytes together (the maps whose header is parsed: those the world gives no size,
/// and the infinite ones; of the others only the root is looked at). Warns of and skips a
/// map missing, an infinite one without chunks, one unreadable whose size the world does not give,
/// and a matched name whose captures are no whole numbers or place the map past 2^30 pixels.
World ParseWorld(std::string_view text, const std::string& path, const Limits& limits = {});
/// ParseWorld on the file at path.
World LoadWorld(const std::string& path, const Limits& limits = {});

} // namespace Engine::Tiled
