#include <engine/render/RenderTarget.h>

#include <engine/core/Log.h>
#include <engine/image/Image.h>
#include <engine/render/Draw.h>

#include "core/GLUtil.h"
#include "render/GLRenderer.h"
#include "render/GLTexture.h"

namespace Engine {

Ref<RenderTarget> RenderTarget::Create(int width, int height, Filter filter) {
    return Ref<RenderTarget>(new RenderTarget(width, height, filter));
}

RenderTarget::RenderTarget(int width, int height, Filter filter)
    : m_Width(width), m_Height(height) {
    if (!GLContextCurrent()) {
        Log::Warn("RENDER TARGET", "No OpenGL context to make a %dx%d target in", width, height);
        return;
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (width < 1 || height < 1 || width > largest || height > largest) {
        Log::Warn("RENDER TARGET", "Cannot make a %dx%d target: sides run from 1 to %d", width,
                  height, largest);
        return;
    }
    m_Context = SDL_GL_GetCurrentContext();
    const GLint sampling = filter == Filter::Nearest ? GL_NEAREST : GL_LINEAR;
    GLCall(glCreateTextures(GL_TEXTURE_2D, 1, &m_Texture));
    GLCall(glTextureStorage2D(m_Texture, 1, GL_RGBA8, width, height));
    GLCall(glTextureParameteri(m_Texture, GL_TEXTURE_MIN_FILTER, sampling));
    GLCall(glTextureParameteri(m_Texture, GL_TEXTURE_MAG_FILTER, sampling));
    glTextureParameteri(m_Texture, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(m_Texture, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Counted as a sheet's name is, so regions cut from the target keep it.
    GLTextureNames::Adopt(m_Texture);
    GLCall(glCreateFramebuffers(1, &m_Framebuffer));
    GLCall(glNamedFramebufferTexture(m_Framebuffer, GL_COLOR_ATTACHMENT0, m_Texture, 0));
    const GLenum status = glCheckNamedFramebufferStatus(m_Framebuffer, GL_DRAW_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        Log::Warn("RENDER TARGET", "OpenGL cannot draw into a %dx%d target (status 0x%x)", width,
                  height, static_cast<unsigned>(status));
        glDeleteFramebuffers(1, &m_Framebuffer);
        GLTextureNames::Release(m_Texture);
        m_Framebuffer = m_Texture = 0;
        return;
    }
    // Made clear, as the documentation promises; GL leaves new storage undefined.
    // A clear obeys the scissor test, which a clipped Draw may have left on.
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    const GLfloat clear[4] = {0, 0, 0, 0};
    GLCall(glClearNamedFramebufferfv(m_Framebuffer, GL_COLOR, 0, clear));
    if (scissored)
        glEnable(GL_SCISSOR_TEST);
}

RenderTarget::~RenderTarget() {
    // The framebuffer went with its context if that is gone; the texture's
    // name knows its context and may still be held by regions.
    if (m_Framebuffer && Ready())
        glDeleteFramebuffers(1, &m_Framebuffer);
    GLTextureNames::Release(m_Texture);
}

bool RenderTarget::Ready() const {
    return m_Framebuffer != 0 && m_Context && SDL_GL_GetCurrentContext() == m_Context;
}

void RenderTarget::Bind(uint32_t slot) const {
    if (m_Texture)
        GLCall(glBindTextureUnit(slot, m_Texture));
}

Image RenderTarget::Capture() const {
    if (!Ready()) {
        Log::Warn("RENDER TARGET", "Cannot capture a %dx%d target: %s", m_Width, m_Height,
                  m_Framebuffer ? "its OpenGL context is not current" : "it was never made");
        return {};
    }
    Image image(m_Width, m_Height);
    if (image.Empty())
        return image;
    Draw::Flush();
    GLRenderer::ReadPixels(m_Framebuffer, GL_COLOR_ATTACHMENT0, 0, 0, m_Width, m_Height,
                           image.Pixels());
    return image;
}

} // namespace Engine
