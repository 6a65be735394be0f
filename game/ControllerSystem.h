#pragma once

#include <SDL_keycode.h>

#include <engine/core/Input.h>
#include <engine/ecs/System.h>
#include <engine/physics/RigidBody.h>

#include "game/Controller.h"

namespace Engine {

// A and D (or the arrow keys), or a pad's D-pad and left stick, accelerate the
// body sideways up to its top speed; SPACE (or UP), or the pad's south button,
// jumps while grounded.
class ControllerSystem : public System<Controller, RigidBody> {
public:
    // SDL key codes.
    static constexpr int KeyLeft = 97;   // 'a'
    static constexpr int KeyRight = 100; // 'd'
    static constexpr int KeyJump = 32;   // space
    // The same for a player whose hand is on the arrow keys.
    static constexpr int ArrowLeft = SDLK_LEFT, ArrowRight = SDLK_RIGHT, ArrowJump = SDLK_UP;

    // The player's moves, as the actions of the binding.
    enum Move : int { MoveLeft, MoveRight, MoveJump };

    // Binds the keys above and, on every pad, the D-pad, the left stick and
    // the south button.
    ControllerSystem();
    ~ControllerSystem() override = default;

    void Run(EntityID entity) override;

    // The jump, if held now, jumps again only once let go and pressed anew:
    // a press made while the game did not step must not act when it steps
    // again.
    void WaitForJumpRelease() { m_jumpWaits = true; }

    const ActionMap& Moves() const { return m_moves; }

private:
    ActionMap m_moves;
    bool m_jumpWaits = false;
};

} // namespace Engine
