#include <engine/render/Texture.h>

#include <engine/core/Log.h>
#include <engine/core/Renderer.h>
#include <engine/image/Image.h>

#include "render/GLTexture.h"

namespace Engine {

Ref<Texture2D> Texture2D::Create(const std::string& path) {
    return Create(path, Image::Load(path));
}

Ref<Texture2D> Texture2D::Create(const std::string& path, const Image& image) {
    switch (Renderer::GetAPI()) {
    case Renderer::API::None:
        Log::Err("TEXTURE", "Render API of type None not supported");
    case Renderer::API::OpenGL:
        return CreateRef<GLTexture2D>(path, image);
    }
    return nullptr;
}

std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight) {
    std::vector<SheetCell> cells;
    if (cellWidth <= 0 || cellHeight <= 0 || sheetWidth < cellWidth || sheetHeight < cellHeight)
        return cells;
    const int wLen = sheetWidth / cellWidth;
    const int hLen = sheetHeight / cellHeight;
    const float glWidth = static_cast<float>(cellWidth) / static_cast<float>(sheetWidth);
    const float glHeight = static_cast<float>(cellHeight) / static_cast<float>(sheetHeight);
    cells.reserve(static_cast<size_t>(wLen) * static_cast<size_t>(hLen));
    for (int y = 0; y < hLen; ++y)
        for (int x = 0; x < wLen; ++x)
            // Rows are counted from the top of the picture, whose rows sit at the
            // top of texture space, so the strip left over is the top one.
            cells.push_back({static_cast<float>(cellWidth), static_cast<float>(cellHeight), glWidth,
                             glHeight, glWidth * static_cast<float>(x),
                             glHeight * static_cast<float>(hLen - 1 - y)});
    return cells;
}

std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth,
                                          int cellHeight) {
    std::vector<Ref<Texture>> regions;
    if (!sheet || Renderer::GetAPI() != Renderer::API::OpenGL)
        return regions;
    const int sheetWidth = static_cast<int>(sheet->getWidth());
    const int sheetHeight = static_cast<int>(sheet->getHeight());
    for (const SheetCell& c : CutSheet(sheetWidth, sheetHeight, cellWidth, cellHeight))
        regions.push_back(CreateRef<GLTexture2D>(c.width, c.height, c.glWidth, c.glHeight, c.glX,
                                                 c.glY, sheet->getID()));
    return regions;
}

} // namespace Engine
