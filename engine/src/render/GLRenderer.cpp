#include "render/GLRenderer.h"

#include <algorithm>
#include <cstdint>
#include <dlfcn.h>
#include <string>

#include <engine/core/Log.h>
#include <engine/render/Buffer.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/Mesh.h>
#include <engine/render/Shader.h>

#include "core/GLUtil.h"

namespace Engine {

namespace {

GLenum ShaderDataTypeToOpenGL(ShaderDataType type) {
    switch (type) {
    case ShaderDataType::Float:
    case ShaderDataType::Float2:
    case ShaderDataType::Float3:
    case ShaderDataType::Float4:
    case ShaderDataType::Mat3:
    case ShaderDataType::Mat4:
        return GL_FLOAT;
    case ShaderDataType::Int:
    case ShaderDataType::Int2:
    case ShaderDataType::Int3:
    case ShaderDataType::Int4:
        return GL_INT;
    case ShaderDataType::Bool:
        return GL_BOOL;
    default:
        return 0;
    }
}

// What was current when GLEW gave up, for the fatal line: the failure is
// rare and happens on machines nobody can log into afterwards.
std::string DescribeGLStartup(GLenum status) {
    std::string text = "glew error " + std::to_string(status) + " '" +
                       reinterpret_cast<const char*>(glewGetErrorString(status)) + "'";
    const char* driver = SDL_GetCurrentVideoDriver();
    text += std::string("; SDL video driver ") + (driver ? driver : "none");
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    text += context ? "; a GL context is current" : "; no GL context is current";
    // Looked up among the loaded libraries: SDL's lookup goes through EGL under
    // some drivers, which hands out a GL stub for any name.
    using CurrentDisplay = void* (*)();
    auto glxDisplay = reinterpret_cast<CurrentDisplay>(dlsym(RTLD_DEFAULT, "glXGetCurrentDisplay"));
    if (!glxDisplay)
        text += "; glXGetCurrentDisplay not found";
    else
        text += glxDisplay() ? "; a GLX display is current" : "; no GLX display is current";
    if (context) {
        const GLubyte* vendor = glGetString(GL_VENDOR);
        const GLubyte* renderer = glGetString(GL_RENDERER);
        const GLubyte* version = glGetString(GL_VERSION);
        auto str = [](const GLubyte* s) { return s ? reinterpret_cast<const char*>(s) : "?"; };
        text += std::string("; GL ") + str(vendor) + ", " + str(renderer) + ", " + str(version);
    }
    return text;
}

} // namespace

void GLRenderer::Init() {
    // These only concern contexts made later; the window's context keeps
    // SDL's defaults, which the drawing relies on.
    if (GetAPI() == API::OpenGL) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    }
    // A new context starts on the whole window, whatever an earlier one was set to.
    std::fill(s_viewport, s_viewport + 4, 0);
    glewExperimental = GL_TRUE;
    GLenum status = glewInit();
    if (status != GLEW_OK) {
        Log::Log("GL RENDERER", "Could not initialize glew: %s",
                 reinterpret_cast<const char*>(glewGetErrorString(status)));
        // Without GLEW every GL entry point is a null pointer: drawing would crash.
        Log::Err("GL RENDERER",
                 "No OpenGL entry points; the game needs an X display with OpenGL (%s)",
                 DescribeGLStartup(status).c_str());
    }
    Log::Log("GL RENDERER", "No SDL errors Detected in during init!");
    // Textures are made with the direct-state-access calls of OpenGL 4.5.
    if (!glCreateTextures || !glTextureStorage2D || !glBindTextureUnit)
        Log::Err("GL RENDERER", "OpenGL 4.5 is required but the context offers %s",
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)));
}

void GLRenderer::Shutdown() {
    Log::Log("GL RENDERER", "Shutting down the renderer");
}

glm::vec4 GLRenderer::UnpackColor(uint32_t color) {
    float r = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    float g = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    float b = static_cast<float>(color & 0xFF) / 255.0f;
    return {r, g, b, 1.0f};
}

void GLRenderer::SetClearColor(uint32_t color) {
    glm::vec4 c = UnpackColor(color);
    float r = c.r, g = c.g, b = c.b;
    GLCall(glClearColor(r, g, b, 1));
}

void GLRenderer::Clear() {
    GLCall(glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
}

glm::mat4 GLRenderer::ViewProjection() {
    return Camera::Main().GetViewProjection();
}

void GLRenderer::ReadPixels(uint32_t framebuffer, uint32_t buffer, int x, int y, int width,
                            int height, unsigned char* rgba) {
    GLint bound = 0, readBuffer = 0, alignment = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &bound);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    GLCall(glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer));
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    GLCall(glReadBuffer(buffer));
    GLCall(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    GLCall(glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba));
    GLCall(glPixelStorei(GL_PACK_ALIGNMENT, alignment));
    GLCall(glReadBuffer(static_cast<GLenum>(readBuffer)));
    GLCall(glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(bound)));
}

void GLRenderer::BindSharedQuad() {
    // The engine's own shader reads a colour here, which the quad does not
    // carry: a disabled array gives this constant instead, and white keeps
    // every texel as it is.
    glVertexAttrib4f(DRAW_COLOR_ATTRIBUTE, 1.0f, 1.0f, 1.0f, 1.0f);
    if (!Mesh::ibo || !Mesh::vbo)
        return;
    Mesh::ibo->Bind();
    Mesh::vbo->Bind();
    // No vertex array object: attributes live on the default vertex-array
    // state, by index in layout order, always non-normalised.
    BufferLayout layout = Mesh::vbo->GetLayout();
    GLuint idx = 0;
    for (const BufferElement& element : layout) {
        GLCall(glEnableVertexAttribArray(idx));
        GLCall(glVertexAttribPointer(
            idx, static_cast<GLint>(element.GetComponentCount()),
            ShaderDataTypeToOpenGL(element.type), GL_FALSE,
            static_cast<GLsizei>(layout.GetStride()),
            reinterpret_cast<const void*>(static_cast<uintptr_t>(element.offset))));
        ++idx;
    }
}

void GLRenderer::RenderInit(const Ref<Shader>& shader) {
    shader->Bind();
    BindSharedQuad();
    GLCall(glEnable(GL_TEXTURE_2D));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    shader->SetUniformMat4("u_ViewProjection", ViewProjection());
}

void GLRenderer::RenderEnd() {
    glDisable(GL_TEXTURE_2D);
}

void GLRenderer::Render(Mesh& mesh, const Ref<Shader>& shader, glm::mat4 model) {
    mesh.Render(shader, model);
}

void GLRenderer::SetViewport(int x, int y, int width, int height, int screenWidth,
                             int screenHeight) {
    // What is batched was drawn for the viewport before (one half of a split screen).
    Draw::Flush();
    GLCall(glViewport(x, y, width, height));
    s_viewport[0] = x;
    s_viewport[1] = y;
    s_viewport[2] = width;
    s_viewport[3] = height;
    s_screen[0] = screenWidth;
    s_screen[1] = screenHeight;
}

glm::vec2 GLRenderer::ScreenSize(const GLint viewport[4]) {
    if (std::equal(viewport, viewport + 4, s_viewport))
        return {static_cast<float>(s_screen[0]), static_cast<float>(s_screen[1])};
    return {static_cast<float>(viewport[2]), static_cast<float>(viewport[3])};
}

} // namespace Engine
