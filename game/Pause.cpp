#include "game/Pause.h"

#include <engine/core/Time.h>
#include <engine/render/Draw.h>

#include "game/ControllerSystem.h"

namespace Engine {

namespace {
constexpr int Toggle = 0;
} // namespace

Pause::Pause() {
    m_keys.BindKey(Toggle, Key);
    m_keys.BindPad(Toggle, Button);
}

bool Pause::Step(ControllerSystem* controller) {
    bool paused = m_keys.WasPressed(Toggle) ? !m_paused : m_paused;
    // Leaving, or losing a pad, pauses, and never lets a paused game go on;
    // a pad lost while the game was paused anyway is not why it is.
    if (m_padLeft && !paused)
        m_padCaused = true;
    if (m_left || m_padLeft)
        paused = true;
    m_left = m_padLeft = false;
    m_changed = paused != m_paused;
    if (m_changed) {
        m_paused = paused;
        if (!m_paused) {
            m_padCaused = false;
            // A SPACE pressed to jump while nothing moved must not jump now;
            // a held direction runs on, as it is still meant.
            if (controller)
                controller->WaitForJumpRelease();
        }
    }
    if (m_paused) {
        // Restored rather than wound back by dt, which could round differently.
        if (!m_elapsed)
            m_elapsed = Time::elapsed - Time::dt;
        Time::elapsed = *m_elapsed;
        return false;
    }
    m_elapsed = Time::elapsed;
    return true;
}

void Pause::FocusChanged(bool focused) {
    if (m_focused && !focused)
        m_left = true;
    m_focused = focused;
}

void Pause::Draw(glm::ivec2 view) const {
    if (!m_paused)
        return;
    const glm::vec2 middle = glm::vec2(view) / 2.0f;
    Draw::Rect({0, 0, float(view.x), float(view.y)}, {0, 0, 0, 160});
    Draw::Text("Paused", {middle.x, middle.y - 64}, 64, WHITE, Draw::Align::Center);
    // Why it paused goes before how to resume.
    float line = middle.y + 16;
    if (m_padCaused) {
        Draw::Text("Controller disconnected", {middle.x, line}, 24, WHITE, Draw::Align::Center);
        line += 40;
    }
    Draw::Text("P or Start to resume", {middle.x, line}, 24, LIGHTGRAY, Draw::Align::Center);
}

} // namespace Engine
