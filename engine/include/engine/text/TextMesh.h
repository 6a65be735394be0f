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

// Where a string stands relative to its local origin. CENTER starts the pen at
// the origin; LEFT shifts the text back by half its width, RIGHT by all of it.
enum class TextAlignment : uint32_t { CENTER = 0, LEFT = 1, RIGHT = 2 };

// One line of text drawn with a font at the entity's transform. The mesh
// texture stays empty: the glyphs carry their own.
class TextMesh : public Mesh {
public:
    Font font;
    std::string text;
    TextAlignment alignment = TextAlignment::CENTER;

    TextMesh() = default;
    TextMesh(const TextMesh&) = default;
    TextMesh(TextMesh&&) = default;
    TextMesh& operator=(const TextMesh&) = default;
    TextMesh& operator=(TextMesh&&) = default;

    static TextMesh CreateTextMesh(const Font& fData, const std::string& tData);

    void Render(const Ref<Shader>& shader, glm::mat4 model) override;
};

// Draws every entity that has a TextMesh and a Transform.
class TextRenderer : public System<TextMesh, Transform> {
public:
    TextRenderer(Uni<Renderer>& renderer, Ref<Shader>& s);
    ~TextRenderer() override = default;

    void Run(EntityID id) override;

    Renderer* m_renderer;
    Ref<Shader> shader;
};

} // namespace Engine
