#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>
#include <engine/render/Texture.h>

namespace Engine {

/// How a cell shows its tile, as bits: Tiled's diagonal flip (a transpose)
/// applies first, then the horizontal, then the vertical one. 0 is upright.
namespace TileFlip {
constexpr uint8_t DIAGONAL = 1;   ///< Transposed: x and y swapped.
constexpr uint8_t VERTICAL = 2;   ///< Mirrored top to bottom.
constexpr uint8_t HORIZONTAL = 4; ///< Mirrored left to right.
} // namespace TileFlip

/// A grid of tile numbers drawn from one sheet cut into tileWidth by
/// tileHeight cells, or from tiles cut beforehand from several sheets.
/// boardData[x][y] is column x, row y (y down); -1 is empty.
struct TileMap {
    bool singleTexture = true; ///< Whether every tile comes from mainTex.
    Ref<Texture2D> mainTex;    ///< The sheet cut; empty for tiles cut beforehand.
    /// Tile number k is lookup[k]; an empty entry draws nothing.
    std::vector<Ref<Texture>> lookup;
    std::vector<std::vector<int>> boardData; ///< boardData[x][y]: tile number of column x, row y.
    int tileWidth = 0;                       ///< Pixels of a cell, in the sheet and in the world.
    int tileHeight = 0;                      ///< Pixels of a cell, in the sheet and in the world.
    /// orientation[x][y] holds the TileFlip bits of cell (x, y); cells it does
    /// not reach (all of them when it is empty) are upright.
    std::vector<std::vector<uint8_t>> orientation;

    /// Loads the sheet at path and cuts it into inputWidth by inputHeight cells.
    TileMap(const std::string& path, std::vector<std::vector<int>> data, int inputWidth,
            int inputHeight);
    /// Cuts an already loaded sheet.
    TileMap(Ref<Texture2D> sheet, std::vector<std::vector<int>> data, int inputWidth,
            int inputHeight);
    /// Tiles already cut, perhaps from several sheets: each binds its own.
    TileMap(std::vector<Ref<Texture>> tiles, std::vector<std::vector<int>> data, int inputWidth,
            int inputHeight, std::vector<std::vector<uint8_t>> flips);

    /// Empty for a number that names no tile.
    Ref<Texture> getTile(int index) const;
    /// A copy of the grid.
    std::vector<std::vector<int>> getMapData() const { return boardData; }
    /// Whether the renderer draws tile number v: a valid index, not -1.
    bool IsDrawable(int v) const {
        return v >= 0 && static_cast<size_t>(v) < lookup.size() && lookup[static_cast<size_t>(v)];
    }
    /// The TileFlip bits of cell (x, y); 0 for a cell orientation does not reach.
    uint8_t FlipsAt(size_t x, size_t y) const {
        return x < orientation.size() && y < orientation[x].size() ? orientation[x][y] : 0;
    }
};

/// The unit quad's own placement for a cell turned by flips (TileFlip bits):
/// it maps the square from (0, 0) to (1, 1) onto itself, so a tile's model
/// matrix times it shows the tile turned in the same cell.
glm::mat4 TileFlipMatrix(uint8_t flips);

} // namespace Engine
