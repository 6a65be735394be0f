#pragma once

#include "Base.h"
#include "Mesh.h"
#include "Renderer.h"
#include "System.h"
#include "TileMap.h"
#include "Transform.h"

namespace Engine {

class Shader;

// Draws every entity with a Mesh and a Transform, and opens and closes each
// frame's drawing on the renderer.
class MeshRenderer : public System<Mesh, Transform> {
public:
    MeshRenderer(Uni<Renderer>& ren, Ref<Shader>& s);
    MeshRenderer(const MeshRenderer&) = default;
    ~MeshRenderer() override = default;

    void RenderInit(const Uni<Renderer>& renderer);
    void RenderEnd(const Uni<Renderer>& renderer);
    void Run(EntityID entity) override;

    Renderer* m_renderer;
    Ref<Shader> shader;
};

// Draws every non-empty cell of a tile map, cell (x, y) at
// (tileWidth * x, tileHeight * y) from the world origin.
class TileMapRenderer : public System<TileMap, Transform> {
public:
    TileMapRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader);
    ~TileMapRenderer() override = default;

    // Leaves the entity's Transform at the last drawn cell.
    void Run(EntityID entity) override;

    Renderer* m_renderer;
    Ref<Shader> shader;
};

} // namespace Engine
