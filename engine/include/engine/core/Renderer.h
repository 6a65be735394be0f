#pragma once

#include <cstdint>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>

namespace Engine {

class Mesh;
class Shader;

// The drawing back end; OpenGL is the only one.
class Renderer {
public:
    enum class API : uint32_t { None = 0, OpenGL = 1 };

    virtual ~Renderer() = default;
    virtual void Init() = 0;
    virtual void Shutdown() = 0;
    virtual void SetClearColor(uint32_t color) = 0;
    virtual void Clear() = 0;
    virtual void RenderInit(const Ref<Shader>& shader) = 0;
    virtual void RenderEnd() = 0;
    virtual void Render(Mesh& mesh, const Ref<Shader>& shader, glm::mat4 model) = 0;

    static API GetAPI() { return s_API; }
    static Uni<Renderer> Create();

    static inline API s_API = API::OpenGL;
};

} // namespace Engine
