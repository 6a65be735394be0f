#pragma once

#include <cstdint>

#include <GL/glew.h>
#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
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
    void SetViewport(int x, int y, int width, int height, int screenWidth,
                     int screenHeight) override;

    // 0x00RRGGBB to (r, g, b, 1); the top byte is ignored.
    static glm::vec4 UnpackColor(uint32_t color);

    // The main camera's projection times its view, moved to whole pixels: what
    // every quad of the world is drawn through.
    static glm::mat4 ViewProjection();
    // Binds the shared quad's buffers and points the attributes at them, as
    // every draw of the renderer systems expects; nothing without the quad.
    static void BindSharedQuad();
    // width by height pixels from (x, y), counted from the bottom-left corner,
    // of buffer (GL_BACK, or a colour attachment) of framebuffer (0: the
    // window's) into rgba, bottom row first; the read state is put back.
    static void ReadPixels(uint32_t framebuffer, uint32_t buffer, int x, int y, int width,
                           int height, unsigned char* rgba);

    // The units screen-space drawing spans on viewport (x, y, width, height):
    // the screen size set with it by SetViewport, or for any other viewport
    // (drawing into something else) its own size, one unit a pixel.
    static glm::vec2 ScreenSize(const GLint viewport[4]);

    // Where the engine's own shader takes a colour per vertex.
    static constexpr unsigned DRAW_COLOR_ATTRIBUTE = 2;

private:
    // The viewport last set and the screen size that goes with it.
    static inline GLint s_viewport[4] = {0, 0, 0, 0};
    static inline int s_screen[2] = {0, 0};
};

} // namespace Engine
