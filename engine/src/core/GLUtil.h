#pragma once

#include <GL/glew.h>
#include <SDL.h>

#include <string>

#include <engine/core/Log.h>

namespace Engine {

// GLEW's error-string function only knows GLEW's own codes, so GL errors are
// named here.
static inline const char* GLErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM:
        return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW:
        return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW:
        return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY:
        return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default:
        return "Unknown error";
    }
}

static inline void GLClearError() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Reports the first pending error only; the rest stay queued for the next clear.
static inline bool GLLogCall(const char* function, const char* file, int line) {
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        Log::Log("OPENGL ERROR", "\"%s\" in function %s %s:%s", GLErrorName(error), function, file,
                 std::to_string(line).c_str());
        return false;
    }
    return true;
}

// GL objects outlive the context in static storage; their destructors ask this
// before touching GL so nothing is called once the window has gone.
static inline bool GLContextCurrent() {
    return SDL_GL_GetCurrentContext() != nullptr;
}

} // namespace Engine

#define GLCall(call)                                                                               \
    do {                                                                                           \
        ::Engine::GLClearError();                                                                  \
        call;                                                                                      \
        ::Engine::GLLogCall(#call, __FILE__, __LINE__);                                            \
    } while (0)
