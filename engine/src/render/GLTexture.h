#pragma once

#include <cstdint>
#include <string>

#include <engine/render/Texture.h>

namespace Engine {

class Image;

// Reference counts for GL texture names shared by a sheet (or glyph atlas) and
// the regions cut from it, so each name is deleted once, after its last user,
// and never once the context is gone.
namespace GLTextureNames {
// Takes ownership of a freshly created name (count 1).
void Adopt(uint32_t id);
// Another user of an adopted name; names never adopted are not counted.
void Acquire(uint32_t id);
// One user fewer; the last one deletes the name.
void Release(uint32_t id);
// Users of an adopted name, 0 when none.
int Users(uint32_t id);
// Whether the context an adopted name belongs to is the current one.
bool ContextCurrent(uint32_t id);
} // namespace GLTextureNames

class GLTexture2D : public Texture2D {
public:
    // The whole image of the file at path (Image::Load: RGBA8, rows flipped),
    // decoded beforehand; path names it in messages. An image that could not
    // be decoded gives a texture of size 0 that binds nothing.
    GLTexture2D(const std::string& path, const Image& image);
    // A region of the texture named id; makes no GL call.
    GLTexture2D(float width, float height, float glWidth, float glHeight, float glX, float glY,
                uint32_t id);
    GLTexture2D(const GLTexture2D&) = delete;
    GLTexture2D& operator=(const GLTexture2D&) = delete;
    ~GLTexture2D() override;

    uint32_t getID() const override { return m_ID; }
    float getWidth() const override { return m_Width; }
    float getHeight() const override { return m_Height; }
    float getInternalWidth() const override { return gl_Width; }
    float getInternalHeight() const override { return gl_Height; }
    float getInternalX() const override { return gl_xOff; }
    float getInternalY() const override { return gl_yOff; }
    void Bind(uint32_t slot) const override;
    bool Update(const Image& image) override;

private:
    float m_Width = 0.0f;
    float m_Height = 0.0f;
    float gl_Width = 1.0f;
    float gl_Height = 1.0f;
    float gl_xOff = 0.0f;
    float gl_yOff = 0.0f;
    uint32_t m_ID = 0;
    // A region shares its sheet's pixels, so it may not replace them.
    bool m_Region = false;
};

} // namespace Engine
