#pragma once

// A tile set's sheet as its real image cuts it, which may differ from what
// the tile set says of it: Tiled counts the tiles of the image it has.

#include <engine/render/Texture.h>
#include <engine/tiled/TiledMap.h>

namespace Engine::Tiled {

struct SheetSpan {
    long long columns = 0; // tiles in a row of the image
    long long tiles = 0;   // tiles of the tile set the image holds whole
};
SheetSpan SpanOf(const Tileset& tileset, int imageWidth, int imageHeight);

// Warns once when the sheet is not the size the tile set gives, and once when
// it holds fewer tiles than the tile set counts (those are not drawn).
void CheckSheet(const Map& map, const Tileset& tileset, const Texture& sheet);

} // namespace Engine::Tiled
