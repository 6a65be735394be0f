#include "MeshRenderer.h"

#include "ECS.h"

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

TileMapRenderer::TileMapRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader)
    : m_renderer(renderer.get()), shader(shader) {}

void TileMapRenderer::Run(EntityID entity) {
    Ref<TileMap> map = ECS::Get().GetComponent<TileMap>(entity);
    Ref<Transform> transform = ECS::Get().GetComponent<Transform>(entity);
    if (!map || !transform || map->lookup.empty())
        return;
    // Every region names the one sheet texture, so one binding serves all tiles.
    map->getTile(0)->Bind(0);
    const auto& grid = map->boardData;
    for (size_t x = 0; x < grid.size(); ++x) {
        for (size_t y = 0; y < grid[x].size(); ++y) {
            const int v = grid[x][y];
            if (!map->IsDrawable(v))
                continue;
            transform->position =
                glm::vec3(static_cast<float>(map->tileWidth * static_cast<int>(x)),
                          static_cast<float>(map->tileHeight * static_cast<int>(y)), 0.0f);
            transform->scale = glm::vec3(static_cast<float>(map->tileWidth),
                                         static_cast<float>(map->tileHeight), 0.0f);
            Mesh::DrawQuad(shader, transform->GetMatrix(), *map->lookup[static_cast<size_t>(v)]);
        }
    }
}

} // namespace Engine
