#pragma once

#include <cstdint>

#include <engine/core/Base.h>
#include <engine/render/Texture.h>

namespace Engine {

class Image;

/// A texture that is drawn into: a picture of width by height pixels that
/// Draw::BeginTarget sends later draws to, and that is itself drawn as any
/// texture is (Draw::Sprite, a Mesh), the right way up. A game drawn at
/// 320 x 180 into one and shown scaled up, a minimap or a background drawn
/// once and kept are the usual uses.
///
/// Its GL objects belong to the context current when it was made, and go
/// with the last of the target and the regions cut from it; none is touched
/// once that context is gone.
class RenderTarget : public Texture {
public:
    /// How the picture is sampled when drawn larger or smaller than its size.
    enum class Filter : uint8_t {
        Nearest, ///< Hard texel edges: pixel art scaled up stays crisp.
        Linear   ///< Blended between texels.
    };

    /// A target of width by height pixels, all clear (every channel 0). With a
    /// warning, one that draws nothing and is drawn as nothing (getID() 0)
    /// when no GL context is current, a side is below 1 or above what the GL
    /// implementation offers, or GL cannot draw into it.
    static Ref<RenderTarget> Create(int width, int height, Filter filter = Filter::Nearest);

    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;
    ~RenderTarget() override;

    uint32_t getID() const override { return m_Texture; }        ///< GL texture name.
    float getWidth() const override { return float(m_Width); }   ///< Pixels.
    float getHeight() const override { return float(m_Height); } ///< Pixels.
    float getInternalWidth() const override { return 1.0f; }     ///< The whole texture.
    float getInternalHeight() const override { return 1.0f; }    ///< The whole texture.
    float getInternalX() const override { return 0.0f; }         ///< The whole texture.
    float getInternalY() const override { return 0.0f; }         ///< The whole texture.
    void Bind(uint32_t slot) const override;                     ///< Binds the picture.
    /// GL framebuffer name; 0 for a target that could not be made.
    uint32_t GetFramebuffer() const { return m_Framebuffer; }
    /// Whether it can be drawn into or read now: it was made, and the GL
    /// context it was made in is current.
    bool Ready() const;

    /// What was drawn into it so far (draws still batched included), bottom
    /// row first as an Image holds it, alpha as drawn. Empty, with a warning,
    /// for a target that could not be made or whose context is not current.
    Image Capture() const;

private:
    RenderTarget(int width, int height, Filter filter);

    int m_Width = 0;
    int m_Height = 0;
    uint32_t m_Texture = 0;
    uint32_t m_Framebuffer = 0;
    void* m_Context = nullptr; // the GL context its objects belong to
};

} // namespace Engine
