#pragma once

#include <string>
#include <vector>

#include <engine/core/Base.h>
#include <engine/render/Texture.h>

namespace Engine {

// A grid of tile numbers drawn from one sheet cut into tileWidth by
// tileHeight cells. boardData[x][y] is column x, row y (y down); -1 is empty.
struct TileMap {
    bool singleTexture = true;
    Ref<Texture2D> mainTex;
    std::vector<Ref<Texture>> lookup;
    std::vector<std::vector<int>> boardData;
    int tileWidth = 0;
    int tileHeight = 0;

    TileMap(const std::string& path, std::vector<std::vector<int>> data, int inputWidth,
            int inputHeight);
    // Cuts an already loaded sheet.
    TileMap(Ref<Texture2D> sheet, std::vector<std::vector<int>> data, int inputWidth,
            int inputHeight);

    // Empty for a number that names no tile.
    Ref<Texture> getTile(int index) const;
    std::vector<std::vector<int>> getMapData() const { return boardData; }
    // Whether the renderer draws tile number v: a valid index, not -1.
    bool IsDrawable(int v) const { return v >= 0 && static_cast<size_t>(v) < lookup.size(); }
};

} // namespace Engine
