#include <engine/render/Texture.h>

#include <algorithm>

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

Ref<Texture2D> Texture2D::Create(const Image& image) {
    return Create("image in memory", image);
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

std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight,
                                int margin, int spacing, size_t maxCells) {
    std::vector<SheetCell> cells;
    if (cellWidth <= 0 || cellHeight <= 0 || margin < 0 || spacing < 0)
        return cells;
    // In 64 bits: a cell and its spacing may add up past the int range.
    auto fit = [&](long long side, long long cell) {
        return std::max(0LL, (side - margin + spacing) / (cell + spacing));
    };
    const long long columns = fit(sheetWidth, cellWidth), rows = fit(sheetHeight, cellHeight);
    const float w = static_cast<float>(sheetWidth), h = static_cast<float>(sheetHeight);
    const size_t count = std::min(static_cast<size_t>(columns * rows), maxCells);
    cells.reserve(count);
    for (long long row = 0; row < rows && cells.size() < count; ++row)
        for (long long column = 0; column < columns && cells.size() < count; ++column) {
            const long long x = margin + column * (cellWidth + spacing);
            const long long y = margin + row * (cellHeight + spacing);
            // Texture rows run from the bottom of the picture.
            cells.push_back({static_cast<float>(cellWidth), static_cast<float>(cellHeight),
                             static_cast<float>(cellWidth) / w, static_cast<float>(cellHeight) / h,
                             static_cast<float>(x) / w,
                             static_cast<float>(sheetHeight - y - cellHeight) / h});
        }
    return cells;
}

namespace {

std::vector<Ref<Texture>> Regions(const Ref<Texture>& sheet, const std::vector<SheetCell>& cells) {
    std::vector<Ref<Texture>> regions;
    regions.reserve(cells.size());
    for (const SheetCell& c : cells)
        regions.push_back(CreateRef<GLTexture2D>(c.width, c.height, c.glWidth, c.glHeight, c.glX,
                                                 c.glY, sheet->getID()));
    return regions;
}

bool Cuttable(const Ref<Texture>& sheet) {
    return sheet && Renderer::GetAPI() == Renderer::API::OpenGL;
}

} // namespace

std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth,
                                          int cellHeight) {
    if (!Cuttable(sheet))
        return {};
    return Regions(sheet, CutSheet(static_cast<int>(sheet->getWidth()),
                                   static_cast<int>(sheet->getHeight()), cellWidth, cellHeight));
}

std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth, int cellHeight,
                                          int margin, int spacing, size_t maxCells) {
    if (!Cuttable(sheet))
        return {};
    return Regions(sheet, CutSheet(static_cast<int>(sheet->getWidth()),
                                   static_cast<int>(sheet->getHeight()), cellWidth, cellHeight,
                                   margin, spacing, maxCells));
}

} // namespace Engine
