#pragma once

#include <optional>

#include <glm/vec2.hpp>

#include <engine/core/Input.h>

namespace Engine {

class ControllerSystem;

// The player's pause: P, or Start on any pad, holds the game's simulation and
// lets it go again. Leaving the window, or a pad pulled out, holds it too;
// coming back, or plugging the pad in again, does not let it go, the player
// does.
class Pause {
public:
    static constexpr int Key = SDLK_p;
    static constexpr PadInput Button = PadInput::Button(SDL_CONTROLLER_BUTTON_START);

    Pause();

    // Reads the step's presses of P and Start; returns whether the simulation
    // runs in this step. While paused the simulation clock (Time::elapsed)
    // stands where the last step that ran left it, so that what it drives,
    // such as a map's animated tiles, holds and resumes as if never stopped.
    // On the step that resumes, a jump still held waits for its release
    // (ControllerSystem::WaitForJumpRelease; controller may be null).
    bool Step(ControllerSystem* controller);
    // The window got (true) or lost the input focus. Losing the focus it had
    // pauses the game at the next Step; a loss without a gain before it, as
    // on a display where the window never had the focus, changes nothing.
    void FocusChanged(bool focused);
    // A pad was pulled out: a running game pauses at the next Step, and the
    // picture says why until the player resumes. A paused game stays as it is.
    void PadRemoved() { m_padLeft = true; }

    bool IsPaused() const { return m_paused; }
    // Whether the step running paused or resumed the game.
    bool Changed() const { return m_changed; }
    // Whether the pause running began with a pad pulled out.
    bool PadCaused() const { return m_padCaused; }
    // Paused, dims a view of view pixels and says in its middle how to resume
    // (and that the pad is gone, if that paused it).
    void Draw(glm::ivec2 view) const;

private:
    ActionMap m_keys;
    bool m_paused = false;
    bool m_changed = false;
    bool m_focused = false;
    // The focus was lost since the last Step.
    bool m_left = false;
    // A pad was pulled out since the last Step.
    bool m_padLeft = false;
    bool m_padCaused = false;
    // Time::elapsed as the last step that ran left it.
    std::optional<double> m_elapsed;
};

} // namespace Engine
