#include <engine/render/TileMap.h>

#include <engine/core/Log.h>

namespace Engine {

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
    int invalid = 0;
    for (const auto& column : boardData)
        for (int v : column)
            if (v != -1 && !IsDrawable(v))
                ++invalid;
    if (invalid > 0)
        Log::Warn("TILEMAP", "%d cells name no tile of the %d in the sheet; they are not drawn",
                  invalid, static_cast<int>(lookup.size()));
}

Ref<Texture> TileMap::getTile(int index) const {
    return IsDrawable(index) ? lookup[static_cast<size_t>(index)] : nullptr;
}

} // namespace Engine
