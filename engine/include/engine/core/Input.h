#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Gamepad.h>

namespace Engine {

/// The key table, filled from SDL key events by the main loop. Keys are SDL key
/// codes (lower-case letters for letter keys, whatever the modifiers).
class Input {
public:
    Input() = delete; ///< Only static members.

    /// Sets the key's state; the main loop calls it for each key event.
    static void UpdateKey(int key, bool pressed);
    /// An unknown key reads as released and is remembered as such.
    static bool IsKeyPressed(int key);
    /// Always false: nothing feeds mouse buttons into the table.
    static bool IsMousePressed(uint8_t button);
    static glm::vec2 GetMousePos(); ///< Always (0, 0): the mouse is not followed.
    static float GetMouseX();       ///< GetMousePos().x.
    static float GetMouseY();       ///< GetMousePos().y.

    /// Forgets every key; for tests, which share the process-wide table.
    static void Clear();
    static size_t KeyCount(); ///< Keys ever reported or asked for since the last Clear.

private:
    static std::unordered_map<int, bool> keyStates;
    static std::unordered_map<uint8_t, bool> mouseStates;
};

/// Which keys and pad inputs perform each of a program's actions, numbered as
/// the program likes. An action is held while any of them is, on the keyboard
/// or on any open pad; a key and a button held together count once.
class ActionMap {
public:
    void BindKey(int action, int key);        ///< The key (an SDL key code) performs action too.
    void BindPad(int action, PadInput input); ///< The pad input, on any pad, performs action too.
    bool IsHeld(int action) const;            ///< Whether any key or pad input of action is held.

private:
    std::vector<std::pair<int, int>> m_keys;
    std::vector<std::pair<int, PadInput>> m_pads;
};

} // namespace Engine
