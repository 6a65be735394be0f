// Fonts and text: one font in several sizes, the three alignments against a
// guide line, and a line whose text changes every step. Text is white; its
// transform's position is where the baseline starts, its scale the size.
#include <cstdio>
#include <string>

#include <engine/core/Engine.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>
#include <engine/render/Texture.h>
#include <engine/text/Font.h>
#include <engine/text/TextMesh.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 960;
constexpr int HEIGHT = 540;

class FontsAndText : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Mesh>();
        ecs.RegisterComponent<TextMesh>();
        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        ecs.RegisterSystem(CreateRef<TextRenderer>(engine.RendererOwner(), m_shader));
        // World coordinates are window pixels with the camera at the centre.
        Camera::Main().transform.position = glm::vec3(WIDTH / 2, HEIGHT / 2, 0);

        // Every glyph is rasterised once, at Font::PIXEL_SIZE (64) pixels; a
        // scale of 0.5 draws it at 32.
        m_font = Font::loadFont(EXAMPLE_ASSETS "sans.ttf");

        Text("Fonts and text", {40, 80}, 1.0f);
        float y = 130;
        for (float size : {12.0f, 18.0f, 24.0f, 36.0f}) {
            y += size + 8;
            Text(std::to_string(int(size)) + " px: the quick brown fox jumps", {40, y},
                 size / Font::PIXEL_SIZE);
        }

        // The alignments, each against the vertical guide at the view's centre:
        // CENTER starts the text at its position, LEFT centres it there and
        // RIGHT ends it there.
        const float guide = WIDTH / 2.0f;
        Line({guide - 1, 320}, {2, 140});
        Text("starts at the guide (CENTER)", {guide, 350}, 0.4f, TextAlignment::CENTER);
        Text("centred on the guide (LEFT)", {guide, 400}, 0.4f, TextAlignment::LEFT);
        Text("ends at the guide (RIGHT)", {guide, 450}, 0.4f, TextAlignment::RIGHT);

        // Its text is rewritten every step.
        m_clock = Text("", {40, 510}, 0.3f);
    }

    void Update() override {
        m_seconds += Time::dt;
        char line[64];
        std::snprintf(line, sizeof line, "running for %.2f s", m_seconds);
        ECS::Get().GetComponent<TextMesh>(m_clock)->text = line;
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<Mesh, Transform>());
        ecs.RunSystemArch(ecs.GetArchetype<TextMesh, Transform>());
        m_meshes->RenderEnd(renderer);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
        m_font = Font();
    }

private:
    EntityID Text(const std::string& text, glm::vec2 at, float scale,
                  TextAlignment alignment = TextAlignment::CENTER) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, glm::vec3(at, 0), glm::vec3(0), glm::vec3(scale, scale, 1));
        TextMesh mesh = TextMesh::CreateTextMesh(m_font, text);
        mesh.alignment = alignment;
        ecs.AddComponent<TextMesh>(e, mesh);
        return e;
    }

    // A white rectangle: a small white image stretched over the quad.
    void Line(glm::vec2 at, glm::vec2 size) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, glm::vec3(at, 0), glm::vec3(0), glm::vec3(size, 1));
        ecs.AddComponent<Mesh>(e, Mesh::CreateMesh(Texture2D::Create(EXAMPLE_ASSETS "white.png")));
    }

    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    Font m_font;
    EntityID m_clock = 0;
    double m_seconds = 0.0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<FontsAndText>(), WIDTH, HEIGHT,
                                 "Fonts and text", {.targetFrameRate = 60});
}
