#pragma once

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>
#include <engine/render/Texture.h>

namespace Engine {

class Shader;
class VertexBuffer;
class IndexBuffer;

// A textured unit quad. The quad's geometry lives once, in the shared buffers.
class Mesh {
public:
    Ref<Texture> tex;

    static Ref<VertexBuffer> vbo;
    static Ref<IndexBuffer> ibo;

    Mesh() = default;
    Mesh(const Mesh&) = default;
    Mesh(Mesh&&) = default;
    Mesh& operator=(const Mesh&) = default;
    Mesh& operator=(Mesh&&) = default;
    virtual ~Mesh() = default;

    virtual void Update() {}
    // The draw contract: bind tex to unit 0, upload "u_Transform", "u_texPos"
    // and "u_texScale", draw the six indices of the shared quad. Relies on the
    // frame's RenderInit; a mesh without a loaded texture draws nothing.
    virtual void Render(const Ref<Shader>& shader, glm::mat4 model);

    // Builds the shared quad buffers; needs a current GL context.
    static void InitQuad();
    // Drops the shared quad buffers (while the context is still current).
    static void ReleaseQuad();
    static Mesh CreateMesh(Ref<Texture> texRef);

    // The upload-and-draw half of the draw contract, for callers that bind one
    // texture for many quads: "u_Transform" = model, "u_texPos" and
    // "u_texScale" from region, then the six indices.
    static void DrawQuad(const Ref<Shader>& shader, const glm::mat4& model, const Texture& region);
};

} // namespace Engine
