#pragma once

// A pad that SDL takes for a plugged-in game controller, with SDL's standard
// layout: its button i is SDL_GameControllerButton i, its axis i is
// SDL_GameControllerAxis i. Needs SDL's joystick subsystem. What it is set to
// reaches SDL's events at the next poll.

#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <utility>

namespace EngineTest {

// Pads really plugged into the machine are left out of the tests: SDL takes
// for a game controller only what has no vendor and product, as these do.
// Set before SDL starts its controller subsystem.
inline void OnlyVirtualPads() {
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT, "0x0000/0x0000");
}

class VirtualPad {
public:
    // Unmapped: a joystick SDL has no mapping for, as many a cheap USB pad,
    // with twelve buttons, four axes and a hat.
    enum Kind { Mapped, Unmapped };

    // With motors, it keeps the strengths SDL last set them to.
    explicit VirtualPad(Kind kind = Mapped, bool motors = false) {
        SDL_VirtualJoystickDesc desc{};
        if (motors) {
            desc.userdata = this;
            desc.Rumble = [](void* self, Uint16 low, Uint16 high) {
                static_cast<VirtualPad*>(self)->m_rumble = {low, high};
                return 0;
            };
        }
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = kind == Mapped ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_UNKNOWN;
        desc.naxes = kind == Mapped ? SDL_CONTROLLER_AXIS_MAX : 4;
        desc.nbuttons = kind == Mapped ? SDL_CONTROLLER_BUTTON_MAX : 12;
        desc.nhats = kind == Mapped ? 0 : 1;
        desc.name = kind == Mapped ? "Test pad" : "Generic, USB Joystick";
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
    // Of an unmapped pad, by the joystick's own numbering.
    void RawButton(int button, bool down) {
        SDL_JoystickSetVirtualButton(m_joystick, button, down ? 1 : 0);
    }
    void RawAxis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(m_joystick, axis, value); }
    void Hat(Uint8 value) { SDL_JoystickSetVirtualHat(m_joystick, 0, value); }
    // Gives it a mapping, as SDL_GAMECONTROLLERCONFIG would: "a:b2,...".
    void Map(const char* bindings) {
        SDL_JoystickGUID guid = SDL_JoystickGetGUID(m_joystick);
        guid.data[2] = guid.data[3] = 0; // SDL 2.26 matches none with the name's checksum
        char text[33];
        SDL_JoystickGetGUIDString(guid, text, sizeof text);
        EXPECT_GE(SDL_GameControllerAddMapping((std::string(text) + ",Mapped," + bindings).c_str()),
                  0)
            << SDL_GetError();
    }

    // The index SDL announced it by, and the id it is known by afterwards.
    int Index() const { return m_index; }
    SDL_JoystickID Id() const { return m_id; }
    // The motors' strengths, heavy and light, as SDL last set them.
    std::pair<int, int> Rumbling() const { return m_rumble; }

private:
    SDL_Joystick* m_joystick = nullptr;
    int m_index = -1;
    SDL_JoystickID m_id = -1;
    std::pair<int, int> m_rumble{0, 0};
};

} // namespace EngineTest
