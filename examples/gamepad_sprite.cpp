// Gamepad sprite: a walker steered by a pad's d-pad, or by the arrow keys or WASD, at full
// speed, or by its left stick as fast as the stick is pushed; the pad's lowest face button
// (A on most pads), or SPACE or ENTER, make it big while held, and the right trigger as big
// as it is pulled. One ActionMap binds keys and pad buttons to the program's actions alike.
// Pads may be plugged in and out while it runs; a line of text says how many are connected,
// another what is held.
#include <algorithm>
#include <cstdio>
#include <string>

#include <SDL.h>
#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/Camera.h>
#include <engine/render/Draw.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/Shader.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;

constexpr int WIDTH = 800;
constexpr int HEIGHT = 450;
constexpr float SPEED = 300; // pixels a second
constexpr float SMALL = 64, BIG_SIZE = 112;

// The program's actions, numbered as it likes.
enum Action { LEFT, RIGHT, UP, DOWN, BIG, ACTIONS };
const char* const NAMES[ACTIONS] = {"left", "right", "up", "down", "big"};

class GamepadSprite : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        ECS& ecs = ECS::Get();
        ecs.RegisterComponent<Transform>();
        ecs.RegisterComponent<Animation>();
        m_shader = Shader::CreateDefault();
        m_meshes = CreateRef<MeshRenderer>(engine.RendererOwner(), m_shader);
        ecs.RegisterSystem(m_meshes);
        ecs.RegisterSystem(CreateRef<AnimationRenderer>(engine.RendererOwner(), m_shader));
        ecs.RegisterSystem(CreateRef<AnimationUpdater>());
        Camera::Main().transform.position = glm::vec3(WIDTH / 2, HEIGHT / 2, 0);

        // Buttons are named by their place on SDL's standard layout, so the same bindings
        // fit any pad SDL knows. The right trigger is bound too: Amount reads how far it is
        // pulled. The stick is read as a vector instead, so that diagonals go no faster.
        const int keys[ACTIONS][2] = {{SDLK_LEFT, SDLK_a},
                                      {SDLK_RIGHT, SDLK_d},
                                      {SDLK_UP, SDLK_w},
                                      {SDLK_DOWN, SDLK_s},
                                      {SDLK_SPACE, SDLK_RETURN}};
        const SDL_GameControllerButton buttons[ACTIONS] = {
            SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
            SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
            SDL_CONTROLLER_BUTTON_A};
        for (int action = 0; action < ACTIONS; ++action) {
            for (int key : keys[action])
                m_actions.BindKey(action, key);
            m_actions.BindPad(action, PadInput::Button(buttons[action]));
        }
        m_actions.BindPad(BIG, PadInput::AxisPositive(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));

        m_walker = ecs.CreateEntity();
        ecs.AddComponent<Transform>(m_walker, glm::vec3(0), glm::vec3(0),
                                    glm::vec3(SMALL, SMALL, 1));
        ecs.AddComponent<Animation>(m_walker, EXAMPLE_ASSETS "walker.png", 64, 64);
    }

    void Update() override {
        ECS& ecs = ECS::Get();
        auto held = [&](Action a) { return m_actions.IsHeld(a) ? 1.0f : 0.0f; };
        // A stick pushed goes first, at its own speed (at most 1 long); keys and d-pad go
        // at full speed, diagonals no faster than straight lines.
        glm::vec2 move = Gamepads::Stick(PadStick::Left);
        const glm::vec2 keyed(held(RIGHT) - held(LEFT), held(DOWN) - held(UP));
        if (move == glm::vec2(0) && keyed != glm::vec2(0))
            move = glm::normalize(keyed);
        if (move != glm::vec2(0)) {
            m_at += move * SPEED * float(Time::dt);
            // The legs move while it walks.
            ecs.RunSystemArch(ecs.GetArchetype<Animation>());
        }
        if (move.x != 0)
            m_facingLeft = move.x < 0;
        // 1 for a key or button, as far as the trigger is pulled.
        const float big = m_actions.Amount(BIG);
        const float size = SMALL + (BIG_SIZE - SMALL) * big;
        m_at = glm::clamp(m_at, glm::vec2(size / 2), glm::vec2(WIDTH, HEIGHT) - size / 2);

        // The transform's position is the top-left corner; a negative width mirrors the
        // sprite, which then reaches left from there.
        Ref<Transform> t = ecs.GetComponent<Transform>(m_walker);
        t->position =
            glm::vec3(m_at.x + (m_facingLeft ? size / 2 : -size / 2), m_at.y - size / 2, 0);
        t->scale = glm::vec3(m_facingLeft ? -size : size, size, 1);
    }

    void Draw(const Uni<Renderer>& renderer) override {
        ECS& ecs = ECS::Get();
        m_meshes->RenderInit(renderer);
        ecs.RunSystemArch(ecs.GetArchetype<Animation, Transform>());
        m_meshes->RenderEnd(renderer);

        Draw::Text("Gamepad", {24, 24}, 38, WHITE);
        const size_t count = Gamepads::Count();
        Draw::Text(std::to_string(count) + (count == 1 ? " pad connected" : " pads connected"),
                   {24, 86}, 19, WHITE);
        std::string line = "held:";
        for (int action = 0; action < ACTIONS; ++action)
            if (m_actions.IsHeld(action))
                line += std::string(" ") + NAMES[action];
        const glm::vec2 stick = Gamepads::Stick(PadStick::Left);
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "left stick %+.2f %+.2f    right trigger %.2f",
                      stick.x, stick.y, Gamepads::Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
        Draw::Text(line, {24, 118}, 19, WHITE);
        Draw::Text(numbers, {24, 150}, 19, WHITE);
        Draw::Text(
            "move: arrows, WASD, d-pad or left stick    big: SPACE, ENTER, A or right trigger",
            {24, HEIGHT - 33}, 14, WHITE);
    }

    void Release() override {
        m_meshes.reset();
        m_shader.reset();
    }

private:
    Ref<Shader> m_shader;
    Ref<MeshRenderer> m_meshes;
    ActionMap m_actions;
    glm::vec2 m_at{WIDTH / 2, HEIGHT / 2 + 40};
    bool m_facingLeft = false;
    EntityID m_walker = 0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<GamepadSprite>(), WIDTH, HEIGHT, "Gamepad",
                                 {.targetFrameRate = 60});
}
