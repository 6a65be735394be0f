#pragma once

#include <glm/vec4.hpp>

#include <engine/core/Renderer.h>

namespace Engine {

class GLRenderer : public Renderer {
public:
    void Init() override;
    void Shutdown() override;
    void SetClearColor(uint32_t color) override;
    void Clear() override;
    void RenderInit(const Ref<Shader>& shader) override;
    void RenderEnd() override;
    void Render(Mesh& mesh, const Ref<Shader>& shader, glm::mat4 model) override;
    void SetViewport(int width, int height) override;

    // 0x00RRGGBB to (r, g, b, 1); the top byte is ignored.
    static glm::vec4 UnpackColor(uint32_t color);
};

} // namespace Engine
