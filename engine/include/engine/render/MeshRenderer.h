#pragma once

#include <glm/vec2.hpp>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>
#include <engine/render/Mesh.h>
#include <engine/render/TileMap.h>

namespace Engine {

class Shader;

/// Draws every entity with a Mesh and a Transform, and opens and closes each
/// frame's drawing on the renderer.
class MeshRenderer : public System<Mesh, Transform> {
public:
    /// Draws through ren's renderer with s.
    MeshRenderer(Uni<Renderer>& ren, Ref<Shader>& s);
    MeshRenderer(const MeshRenderer&) = default; ///< Shares the renderer and the shader.
    ~MeshRenderer() override = default;          ///< Keeps nothing but handles.

    /// Opens the frame's drawing: binds the shader and the shared quad, sets the camera's view.
    void RenderInit(const Uni<Renderer>& renderer);
    /// Closes the frame's drawing.
    void RenderEnd(const Uni<Renderer>& renderer);
    void Run(EntityID entity) override; ///< Draws the entity's Mesh at its Transform.

    Renderer* m_renderer; ///< The renderer drawn through; not owned.
    Ref<Shader> shader;   ///< The shader drawn with.
};

/// The columns x0..x1 and rows y0..y1 of a tile map whose cells may show on a
/// screen of viewSize pixels under the view-projection vp, with a margin of two
/// pixels: under a turned view, those of the box around it; of a turned map,
/// those within a tile's diagonal of that box. `all` when the view cannot be
/// narrowed down (a perspective, a degenerate matrix, tile or view size, a
/// turned map under a view in which depth moves things across it). The
/// range may be empty (x0 > x1).
struct TileSpan {
    /// First and last column, first and last row.
    ///@{
    long long x0, x1, y0, y1;
    ///@}
    bool all; ///< Every cell may show.
};
/// The cells of a tile map of tileWidth by tileHeight cells, turned by
/// rotation, that may show under vp; see TileSpan.
TileSpan VisibleTiles(const glm::mat4& vp, int tileWidth, int tileHeight, glm::vec3 rotation,
                      glm::vec2 viewSize);

/// Draws the non-empty cells of a tile map that meet the camera's view, cell
/// (x, y) at (tileWidth * x, tileHeight * y) from the world origin, column by
/// column as the grid lists them, each turned as the map's orientation grid
/// says. Several maps draw in the order the registry runs them (see ECS.h).
class TileMapRenderer : public System<TileMap, Transform> {
public:
    /// Draws through renderer's frame with shader.
    TileMapRenderer(Uni<Renderer>& renderer, Ref<Shader>& shader);
    ~TileMapRenderer() override = default; ///< Keeps nothing but handles.

    /// Leaves the entity's Transform at the last drawn cell, which is the last
    /// one on screen; with none on screen it keeps what it held.
    void Run(EntityID entity) override;

    Renderer* m_renderer; ///< The renderer drawn through; not owned.
    Ref<Shader> shader;   ///< The shader drawn with.
};

} // namespace Engine
