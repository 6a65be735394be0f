#include "render/GLTexture.h"

#include <unordered_map>

#include <engine/core/Log.h>
#include <engine/image/Image.h>
#include <engine/render/Draw.h>

#include "core/GLUtil.h"

namespace Engine {

namespace GLTextureNames {

namespace {

struct Entry {
    int users;
    // The context the name belongs to; it is deleted only while that one is current.
    SDL_GLContext context;
};

// Never destroyed: textures held in static storage release their names during
// static destruction, whatever the order.
std::unordered_map<uint32_t, Entry>& Names() {
    static auto* names = new std::unordered_map<uint32_t, Entry>();
    return *names;
}

} // namespace

void Adopt(uint32_t id) {
    if (id == 0)
        return;
    Names()[id] = Entry{1, SDL_GL_GetCurrentContext()};
}

void Acquire(uint32_t id) {
    auto it = Names().find(id);
    if (it != Names().end())
        ++it->second.users;
}

void Release(uint32_t id) {
    auto it = Names().find(id);
    if (it == Names().end())
        return;
    if (--it->second.users > 0)
        return;
    SDL_GLContext owner = it->second.context;
    Names().erase(it);
    // A name whose context is gone went with it.
    if (owner && GLContextCurrent() && SDL_GL_GetCurrentContext() == owner)
        glDeleteTextures(1, &id);
}

int Users(uint32_t id) {
    auto it = Names().find(id);
    return it == Names().end() ? 0 : it->second.users;
}

bool ContextCurrent(uint32_t id) {
    auto it = Names().find(id);
    return it != Names().end() && it->second.context &&
           SDL_GL_GetCurrentContext() == it->second.context;
}

} // namespace GLTextureNames

GLTexture2D::GLTexture2D(const std::string& path, const Image& image) {
    if (image.Empty()) {
        Log::Warn("GL TEXTURE2D", "Could not load image file: %s", path.c_str());
        Log::Warn("GL TEXTURE2D", "%s: %s", path.c_str(), image.Error().c_str());
        return;
    }
    const int w = image.Width();
    const int h = image.Height();
    m_Width = static_cast<float>(w);
    m_Height = static_cast<float>(h);
    gl_Width = gl_Height = 1.0f;
    gl_xOff = gl_yOff = 0.0f;

    if (!GLContextCurrent()) {
        // The size is still known, so sheets can be cut; there is just nothing to bind.
        Log::Warn("GL TEXTURE2D", "No OpenGL context to load image file into: %s", path.c_str());
        return;
    }

    GLCall(glCreateTextures(GL_TEXTURE_2D, 1, &m_ID));
    GLCall(glTextureStorage2D(m_ID, 1, GL_RGBA8, w, h));
    GLCall(glTextureParameteri(m_ID, GL_TEXTURE_MIN_FILTER, GL_LINEAR));
    GLCall(glTextureParameteri(m_ID, GL_TEXTURE_MAG_FILTER, GL_NEAREST));
    glTextureParameteri(m_ID, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(m_ID, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    GLCall(glTextureSubImage2D(m_ID, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.Pixels()));
    GLTextureNames::Adopt(m_ID);
}

GLTexture2D::GLTexture2D(float width, float height, float glWidth, float glHeight, float glX,
                         float glY, uint32_t id)
    : m_Width(width), m_Height(height), gl_Width(glWidth), gl_Height(glHeight), gl_xOff(glX),
      gl_yOff(glY), m_ID(id), m_Region(true) {
    GLTextureNames::Acquire(m_ID);
}

GLTexture2D::~GLTexture2D() {
    GLTextureNames::Release(m_ID);
}

bool GLTexture2D::Update(const Image& image) {
    const int w = static_cast<int>(m_Width), h = static_cast<int>(m_Height);
    if (m_Region) {
        Log::Warn("GL TEXTURE2D", "A region of a sheet cannot be updated; update the sheet");
        return false;
    }
    if (image.Width() != w || image.Height() != h || image.Empty()) {
        Log::Warn("GL TEXTURE2D", "Cannot update a texture of %dx%d with an image of %dx%d", w, h,
                  image.Width(), image.Height());
        return false;
    }
    if (!GLTextureNames::ContextCurrent(m_ID)) {
        Log::Warn("GL TEXTURE2D", m_ID ? "Cannot update a texture outside its OpenGL context"
                                       : "Cannot update a texture that has no OpenGL pixels");
        return false;
    }
    // Draws of the old pixels still batched are sent first, as they were made.
    Draw::Flush();
    GLCall(glTextureSubImage2D(m_ID, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.Pixels()));
    return true;
}

void GLTexture2D::Bind(uint32_t slot) const {
    if (m_ID == 0)
        return;
    GLCall(glBindTextureUnit(slot, m_ID));
}

} // namespace Engine
