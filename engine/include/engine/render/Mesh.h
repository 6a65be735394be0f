#pragma once

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>
#include <engine/render/Texture.h>

namespace Engine {

class Shader;
class VertexBuffer;
class IndexBuffer;

/// A textured unit quad. The quad's geometry lives once, in the shared buffers.
class Mesh {
public:
    Ref<Texture> tex; ///< What the quad shows: an image or a region of one.

    static Ref<VertexBuffer> vbo; ///< The shared quad's vertices (InitQuad).
    static Ref<IndexBuffer> ibo;  ///< The shared quad's indices (InitQuad).

    Mesh() = default;                       ///< No texture: draws nothing.
    Mesh(const Mesh&) = default;            ///< Copies share the texture.
    Mesh(Mesh&&) = default;                 ///< Movable.
    Mesh& operator=(const Mesh&) = default; ///< Copies share the texture.
    Mesh& operator=(Mesh&&) = default;      ///< Movable.
    virtual ~Mesh() = default;              ///< Meshes are components and bases.

    /// Advances what changes over time; a plain mesh has nothing.
    virtual void Update() {}
    /// The draw contract: bind tex to unit 0, upload "u_Transform", "u_texPos"
    /// and "u_texScale", draw the six indices of the shared quad. Relies on the
    /// frame's RenderInit; a mesh without a loaded texture draws nothing.
    virtual void Render(const Ref<Shader>& shader, glm::mat4 model);

    /// Builds the shared quad buffers; needs a current GL context.
    static void InitQuad();
    /// Drops the shared quad buffers, and the GL objects of Draw's batch and
    /// of the engine's own font (while the context is still current).
    static void ReleaseQuad();
    static Mesh CreateMesh(Ref<Texture> texRef); ///< A mesh showing texRef.

    /// The upload-and-draw half of the draw contract, for callers that bind one
    /// texture for many quads: "u_Transform" = model, "u_texPos" and
    /// "u_texScale" from region, then the six indices.
    static void DrawQuad(const Ref<Shader>& shader, const glm::mat4& model, const Texture& region);
};

} // namespace Engine
