#include "game/Pause.h"

#include <engine/core/Time.h>

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
    m_changed = m_keys.WasPressed(Toggle);
    if (m_changed) {
        m_paused = !m_paused;
        // A SPACE pressed to jump while nothing moved must not jump now; a
        // held direction runs on, as it is still meant.
        if (!m_paused && controller)
            controller->WaitForJumpRelease();
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

} // namespace Engine
