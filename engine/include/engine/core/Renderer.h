#pragma once

#include <cstdint>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>

namespace Engine {

class Mesh;
class Shader;

/// The drawing back end; OpenGL is the only one.
class Renderer {
public:
    /// The drawing interfaces a renderer can be made for.
    enum class API : uint32_t { None = 0, OpenGL = 1 };

    virtual ~Renderer() = default; ///< Owned through Uni<Renderer>.
    /// Loads the GL entry points (GLEW); needs the window's context current.
    virtual void Init() = 0;
    /// Logs the shutdown; GL objects go with the context.
    virtual void Shutdown() = 0;
    /// The colour Clear fills with, as 0x00RRGGBB; alpha is always 1. The
    /// engine's loop sets it before each frame: a program sets Engine::SetClearColor.
    virtual void SetClearColor(uint32_t color) = 0;
    /// Clears colour and depth.
    virtual void Clear() = 0;
    /// Opens a frame's drawing: binds the shader and the shared quad, uploads
    /// "u_ViewProjection" from the main camera, turns blending on.
    virtual void RenderInit(const Ref<Shader>& shader) = 0;
    /// Closes a frame's drawing.
    virtual void RenderEnd() = 0;
    /// Draws one mesh with the model matrix.
    virtual void Render(Mesh& mesh, const Ref<Shader>& shader, glm::mat4 model) = 0;
    /// Draws to the rectangle of width by height pixels whose lower-left
    /// corner is (x, y) pixels from the drawable's, from now on; screen-space
    /// drawing (Draw) spans it with screenWidth by screenHeight units.
    virtual void SetViewport(int x, int y, int width, int height, int screenWidth,
                             int screenHeight) = 0;

    static API GetAPI() { return s_API; } ///< The interface in use.
    /// A renderer for the interface in use; ends the process for API::None.
    static Uni<Renderer> Create();

    static inline API s_API = API::OpenGL; ///< The interface in use; OpenGL.
};

} // namespace Engine
