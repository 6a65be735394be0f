#pragma once

#include <cstdint>
#include <string>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>
#include <engine/core/Renderer.h>
#include <engine/ecs/System.h>
#include <engine/physics/Transform.h>
#include <engine/render/Mesh.h>
#include <engine/text/Font.h>

namespace Engine {

/// Where a string stands relative to its local origin. CENTER starts the pen at
/// the origin; LEFT shifts the text back by half its width, RIGHT by all of it.
enum class TextAlignment : uint32_t {
    CENTER = 0, ///< The text starts at the origin.
    LEFT = 1,   ///< The text is centred on the origin.
    RIGHT = 2   ///< The text ends at the origin.
};

/// One line of text drawn with a font at the entity's transform. The mesh
/// texture stays empty: the glyphs carry their own.
class TextMesh : public Mesh {
public:
    Font font;                                       ///< Drawn with; shared glyphs.
    std::string text;                                ///< One line, one glyph a byte.
    TextAlignment alignment = TextAlignment::CENTER; ///< Where it stands.

    TextMesh() = default;                           ///< No font, no text.
    TextMesh(const TextMesh&) = default;            ///< Copies share the font.
    TextMesh(TextMesh&&) = default;                 ///< Movable.
    TextMesh& operator=(const TextMesh&) = default; ///< Copies share the font.
    TextMesh& operator=(TextMesh&&) = default;      ///< Movable.

    /// A text mesh of tData in fData.
    static TextMesh CreateTextMesh(const Font& fData, const std::string& tData);

    /// Draws the line with its baseline starting at the model's origin,
    /// scaled by the model (1 = 64 pixels).
    void Render(const Ref<Shader>& shader, glm::mat4 model) override;
};

/// Draws every entity that has a TextMesh and a Transform.
class TextRenderer : public System<TextMesh, Transform> {
public:
    /// Draws through renderer's frame with s.
    TextRenderer(Uni<Renderer>& renderer, Ref<Shader>& s);
    ~TextRenderer() override = default; ///< Keeps nothing but handles.

    void Run(EntityID id) override; ///< Draws the entity's text at its Transform.

    Renderer* m_renderer; ///< The renderer drawn through.
    Ref<Shader> shader;   ///< The shader drawn with.
};

} // namespace Engine
