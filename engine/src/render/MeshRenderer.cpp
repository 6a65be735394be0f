#include <engine/render/MeshRenderer.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>

namespace Engine {

MeshRenderer::MeshRenderer(Uni<Renderer>& ren, Ref<Shader>& s) : m_renderer(ren.get()), shader(s) {}

void MeshRenderer::RenderInit(const Uni<Renderer>& renderer) {
    renderer->RenderInit(shader);
}

void MeshRenderer::RenderEnd(const Uni<Renderer>& renderer) {
    renderer->RenderEnd();
}

void MeshRenderer::Run(EntityID entity) {
    Ref<Mesh> mesh = ECS::Get().GetComponent<Mesh>(entity);
    Ref<Transform> transform = ECS::Get().GetComponent<Transform>(entity);
    if (!mesh || !transform)
        return;
    mesh->Render(shader, transform->GetMatrix());
}

TileSpan VisibleTiles(const glm::mat4& vp, int tileWidth, int tileHeight, glm::vec3 rotation,
                      glm::vec2 viewSize) {
    const TileSpan all{0, LLONG_MAX, 0, LLONG_MAX, true};
    if (tileWidth <= 0 || tileHeight <= 0 || !(viewSize.x > 0.0f) || !(viewSize.y > 0.0f))
        return all;
    // Tiles lie in the plane z = 0. With a w that does not depend on x and y
    // (no perspective), the screen is an affine image of that plane: its
    // corners, taken back through the inverse, bound what it shows.
    const double w = vp[3][3];
    if (vp[0][3] != 0.0f || vp[1][3] != 0.0f || !(w > 0.0))
        return all;
    const double a = vp[0][0] / w, b = vp[1][0] / w, c = vp[0][1] / w, d = vp[1][1] / w;
    const double tx = vp[3][0] / w, ty = vp[3][1] / w, det = a * d - b * c;
    if (det == 0.0 || !std::isfinite(det + tx + ty))
        return all;
    // Two pixels beyond the edges cover the whole-pixel rounding of the view
    // the renderer applies.
    const double mx = 1.0 + 4.0 / viewSize.x, my = 1.0 + 4.0 / viewSize.y;
    double x0 = HUGE_VAL, x1 = -HUGE_VAL, y0 = HUGE_VAL, y1 = -HUGE_VAL;
    for (const double sx : {-mx, mx})
        for (const double sy : {-my, my}) {
            const double px = sx - tx, py = sy - ty;
            const double x = (d * px - b * py) / det, y = (a * py - c * px) / det;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    // A map turned on its own turns each tile about its top-left corner, which
    // then stays within a diagonal of it; out of its plane too, where a view
    // that shows depth would lean it across the screen by more.
    if (rotation != glm::vec3(0.0f)) {
        if (vp[2][0] != 0.0f || vp[2][1] != 0.0f)
            return all;
        const double reach = std::hypot(double(tileWidth), double(tileHeight));
        x0 -= reach, x1 += reach, y0 -= reach, y1 += reach;
    }
    // Grids are indexed by int; anything beyond that range is clamped.
    auto cell = [](double v, int size) {
        return (long long)std::clamp(std::floor(v / size), -1.0, 4294967296.0);
    };
    return {cell(x0, tileWidth), cell(x1, tileWidth), cell(y0, tileHeight), cell(y1, tileHeight),
            false};
}

TileMapRenderer::TileMapRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader)
    : m_renderer(renderer.get()), shader(shader) {}

void TileMapRenderer::Run(EntityID entity) {
    Ref<TileMap> map = ECS::Get().GetComponent<TileMap>(entity);
    Ref<Transform> transform = ECS::Get().GetComponent<Transform>(entity);
    if (!map || !transform || map->lookup.empty())
        return;
    // The tiles of one sheet share its texture: it is bound again only where
    // the next tile comes from another sheet. No texture has the name ~0.
    uint32_t boundId = ~0u;
    const auto& grid = map->boardData;
    // Cells off screen would only be clipped away: a large map costs what the
    // screen shows. The same order as drawing them all keeps the blending.
    const Camera& camera = Camera::Main();
    const TileSpan span = VisibleTiles(camera.GetProjection() * camera.GetView(), map->tileWidth,
                                       map->tileHeight, transform->rotation, {camera.w, camera.h});
    const size_t x0 = static_cast<size_t>(std::max(0LL, span.x0));
    const size_t y0 = static_cast<size_t>(std::max(0LL, span.y0));
    const size_t x1 = span.x1 < 0 ? 0 : std::min(grid.size(), static_cast<size_t>(span.x1) + 1);
    for (size_t x = x0; x < x1; ++x) {
        const size_t y1 =
            span.y1 < 0 ? 0 : std::min(grid[x].size(), static_cast<size_t>(span.y1) + 1);
        for (size_t y = y0; y < y1; ++y) {
            const int v = grid[x][y];
            if (!map->IsDrawable(v))
                continue;
            const Texture& tile = *map->lookup[static_cast<size_t>(v)];
            if (tile.getID() != boundId) {
                tile.Bind(0);
                boundId = tile.getID();
            }
            transform->position =
                glm::vec3(static_cast<float>(map->tileWidth * static_cast<int>(x)),
                          static_cast<float>(map->tileHeight * static_cast<int>(y)), 0.0f);
            transform->scale = glm::vec3(static_cast<float>(map->tileWidth),
                                         static_cast<float>(map->tileHeight), 0.0f);
            const uint8_t flips = map->FlipsAt(x, y);
            if (flips == 0)
                Mesh::DrawQuad(shader, transform->GetMatrix(), tile);
            else
                Mesh::DrawQuad(shader, transform->GetMatrix() * TileFlipMatrix(flips), tile);
        }
    }
}

} // namespace Engine
