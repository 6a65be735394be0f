#include <engine/text/TextMesh.h>

#include <engine/ecs/ECS.h>

namespace Engine {

TextMesh TextMesh::CreateTextMesh(const Font& fData, const std::string& tData) {
    TextMesh mesh;
    mesh.font = fData;
    mesh.text = tData;
    return mesh;
}

void TextMesh::Render(const Ref<Shader>& shader, glm::mat4 model) {
    font.renderText(shader, alignment, text, model);
}

TextRenderer::TextRenderer(Uni<Renderer>& renderer, Ref<Shader>& s)
    : m_renderer(renderer.get()), shader(s) {}

void TextRenderer::Run(EntityID id) {
    Ref<TextMesh> mesh = ECS::Get().GetComponent<TextMesh>(id);
    Ref<Transform> transform = ECS::Get().GetComponent<Transform>(id);
    mesh->Render(shader, transform->GetMatrix());
}

} // namespace Engine
