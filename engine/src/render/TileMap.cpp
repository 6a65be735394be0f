#include <engine/render/TileMap.h>

#include <engine/core/Log.h>

namespace Engine {

namespace {

void WarnInvalidCells(const TileMap& map) {
    int invalid = 0;
    for (const auto& column : map.boardData)
        for (int v : column)
            if (v != -1 && !map.IsDrawable(v))
                ++invalid;
    if (invalid > 0)
        Log::Warn("TILEMAP", "%d cells name no tile of the %d in the sheet; they are not drawn",
                  invalid, static_cast<int>(map.lookup.size()));
}

} // namespace

TileMap::TileMap(const std::string& path, std::vector<std::vector<int>> data, int inputWidth,
                 int inputHeight)
    : TileMap(Texture2D::Create(path), std::move(data), inputWidth, inputHeight) {}

TileMap::TileMap(Ref<Texture2D> sheet, std::vector<std::vector<int>> data, int inputWidth,
                 int inputHeight)
    : mainTex(std::move(sheet)), boardData(std::move(data)), tileWidth(inputWidth),
      tileHeight(inputHeight) {
    lookup = CutSheetRegions(mainTex, inputWidth, inputHeight);
    if (lookup.empty()) {
        Log::Warn("TILEMAP", "Sheet of %dx%d pixels holds no whole %dx%d tile; nothing is drawn",
                  mainTex ? static_cast<int>(mainTex->getWidth()) : 0,
                  mainTex ? static_cast<int>(mainTex->getHeight()) : 0, inputWidth, inputHeight);
        return;
    }
    WarnInvalidCells(*this);
}

TileMap::TileMap(std::vector<Ref<Texture>> tiles, std::vector<std::vector<int>> data,
                 int inputWidth, int inputHeight, std::vector<std::vector<uint8_t>> flips)
    : singleTexture(false), lookup(std::move(tiles)), boardData(std::move(data)),
      tileWidth(inputWidth), tileHeight(inputHeight), orientation(std::move(flips)) {
    WarnInvalidCells(*this);
}

Ref<Texture> TileMap::getTile(int index) const {
    return IsDrawable(index) ? lookup[static_cast<size_t>(index)] : nullptr;
}

glm::mat4 TileFlipMatrix(uint8_t flips) {
    // Column-major: m[c][r]. Each flip maps the unit square onto itself; the
    // quad's (x, y) is where the tile's own pixel (x, y) lands.
    glm::mat4 m(1.0f);
    if (flips & TileFlip::DIAGONAL) {
        glm::mat4 d(0.0f);
        d[1][0] = 1.0f; // x' = y
        d[0][1] = 1.0f; // y' = x
        d[2][2] = d[3][3] = 1.0f;
        m = d * m;
    }
    if (flips & TileFlip::HORIZONTAL) {
        glm::mat4 h(1.0f);
        h[0][0] = -1.0f; // x' = 1 - x
        h[3][0] = 1.0f;
        m = h * m;
    }
    if (flips & TileFlip::VERTICAL) {
        glm::mat4 v(1.0f);
        v[1][1] = -1.0f; // y' = 1 - y
        v[3][1] = 1.0f;
        m = v * m;
    }
    return m;
}

} // namespace Engine
