// Audio: a two-second tune loops from the start, and keys play short effects
// over it: J a jump, C a coin, H a hit; M stops and resumes the tune. A bar
// shows where the tune is, and each effect's ball lights up while it sounds.
#include <string>
#include <vector>

#include <SDL.h>

#include <engine/audio/Clip.h>
#include <engine/core/Engine.h>
#include <engine/core/Input.h>
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

constexpr int WIDTH = 800;
constexpr int HEIGHT = 450;

struct Effect {
    int key;
    const char* file;
    const char* label;
    Ref<Clip> clip;
    EntityID ball = 0;
    bool held = false;
};

class AudioKeys : public Scene {
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
        Camera::Main().transform.position = glm::vec3(WIDTH / 2, HEIGHT / 2, 0);
        m_font = Font::loadFont(EXAMPLE_ASSETS "sans.ttf");

        // The device was opened by Engine::Start. Clips must be in its format
        // (44100 Hz stereo, 16 bits) or SDL converts them as they load; a clip
        // that cannot load is empty, and the program goes on without it.
        m_tune = Clip::LoadClip(EXAMPLE_ASSETS "loop.wav");
        if (m_tune)
            m_tune->loopClip();

        Text("Audio", {40, 70}, 0.75f);
        Text("M stops and resumes the tune", {40, 130}, 0.3f);
        Ref<Texture2D> ball = Texture2D::Create(EXAMPLE_ASSETS "ball.png");
        for (size_t i = 0; i < m_effects.size(); ++i) {
            Effect& e = m_effects[i];
            e.clip = Clip::LoadClip(std::string(EXAMPLE_ASSETS) + e.file);
            const float y = 200 + 60 * float(i);
            Text(e.label, {100, y + 24}, 0.35f);
            e.ball = ecs.CreateEntity();
            ecs.AddComponent<Transform>(e.ball, glm::vec3(40, y, 0), glm::vec3(0),
                                        glm::vec3(32, 32, 1));
            ecs.AddComponent<Mesh>(e.ball, Mesh::CreateMesh(ball));
        }
        // The tune's position: a white bar along the bottom, its full width
        // the whole tune.
        m_bar = ecs.CreateEntity();
        ecs.AddComponent<Transform>(m_bar, glm::vec3(40, 400, 0), glm::vec3(0),
                                    glm::vec3(0, 12, 1));
        ecs.AddComponent<Mesh>(m_bar,
                               Mesh::CreateMesh(Texture2D::Create(EXAMPLE_ASSETS "white.png")));
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        // Keys act when they go down, not for as long as they are held.
        auto pressed = [](int key, bool& held) {
            const bool down = Input::IsKeyPressed(key);
            const bool now = down && !held;
            held = down;
            return now;
        };
        if (m_tune && pressed(SDLK_m, m_muteHeld)) {
            if (Playing(*m_tune))
                m_tune->endClip();
            else
                m_tune->loopClip();
        }
        for (Effect& e : m_effects) {
            if (e.clip && pressed(e.key, e.held)) {
                // A clip plays on from where it stopped, which for an effect
                // that ran out is its end: back to the start first. The audio
                // thread reads the position, hence the lock.
                SDL_LockAudio();
                e.clip->trackPos = 0;
                SDL_UnlockAudio();
                e.clip->playClip();
            }
            // A ball shown full size while its effect sounds, small otherwise.
            const float side = e.clip && Playing(*e.clip) ? 32.0f : 12.0f;
            Ref<Transform> t = ecs.GetComponent<Transform>(e.ball);
            t->scale = glm::vec3(side, side, 1);
            t->position.x = 56 - side / 2;
        }
        float done = 0.0f;
        if (m_tune) {
            SDL_LockAudio();
            done = float(m_tune->trackPos) / float(m_tune->clipLen);
            SDL_UnlockAudio();
        }
        ecs.GetComponent<Transform>(m_bar)->scale.x = done * (WIDTH - 80);
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
    static bool Playing(Clip& clip) {
        SDL_LockAudio();
        const bool active = clip.active;
        SDL_UnlockAudio();
        return active;
    }

    void Text(const std::string& text, glm::vec2 at, float scale) {
        ECS& ecs = ECS::Get();
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Transform>(e, glm::vec3(at, 0), glm::vec3(0), glm::vec3(scale, scale, 1));
        ecs.AddComponent<TextMesh>(e, TextMesh::CreateTextMesh(m_font, text));
    }

    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    Font m_font;
    Ref<Clip> m_tune;
    std::vector<Effect> m_effects{{SDLK_j, "jump.wav", "J: jump", nullptr},
                                  {SDLK_c, "coin.wav", "C: coin", nullptr},
                                  {SDLK_h, "hit.wav", "H: hit", nullptr}};
    bool m_muteHeld = false;
    EntityID m_bar = 0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<AudioKeys>(), WIDTH, HEIGHT, "Audio",
                                 {.targetFrameRate = 60});
}
