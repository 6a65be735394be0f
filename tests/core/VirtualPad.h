#pragma once

// A pad that SDL takes for a plugged-in game controller, with SDL's standard
// layout: its button i is SDL_GameControllerButton i, its axis i is
// SDL_GameControllerAxis i. Needs SDL's joystick subsystem. What it is set to
// reaches SDL's events at the next poll.

#include <gtest/gtest.h>

#include <SDL.h>

namespace EngineTest {

// Pads really plugged into the machine are left out of the tests: SDL takes
// for a game controller only what has no vendor and product, as these do.
// Set before SDL starts its controller subsystem.
inline void OnlyVirtualPads() {
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT, "0x0000/0x0000");
}

class VirtualPad {
public:
    VirtualPad() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Test pad";
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        m_index = index;
        // Its values are set through a joystick handle of its own.
        m_joystick = SDL_JoystickOpen(index);
        EXPECT_NE(m_joystick, nullptr) << SDL_GetError();
        m_id = SDL_JoystickInstanceID(m_joystick);
    }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;
    ~VirtualPad() { Unplug(); }

    void Unplug() {
        if (!m_joystick || !SDL_WasInit(SDL_INIT_JOYSTICK))
            return;
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == m_id) {
                SDL_JoystickDetachVirtual(index);
                break;
            }
        }
        SDL_JoystickClose(m_joystick);
        m_joystick = nullptr;
    }

    void Button(SDL_GameControllerButton button, bool down) {
        SDL_JoystickSetVirtualButton(m_joystick, button, down ? 1 : 0);
    }
    void Axis(SDL_GameControllerAxis axis, Sint16 value) {
        SDL_JoystickSetVirtualAxis(m_joystick, axis, value);
    }

    // The index SDL announced it by, and the id it is known by afterwards.
    int Index() const { return m_index; }
    SDL_JoystickID Id() const { return m_id; }

private:
    SDL_Joystick* m_joystick = nullptr;
    int m_index = -1;
    SDL_JoystickID m_id = -1;
};

} // namespace EngineTest
