#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Gamepad.h>

namespace Engine {

// The key table, filled from SDL key events by the main loop. Keys are SDL key
// codes (lower-case letters for letter keys, whatever the modifiers).
class Input {
public:
    Input() = delete;

    static void UpdateKey(int key, bool pressed);
    // An unknown key reads as released and is remembered as such.
    static bool IsKeyPressed(int key);
    static bool IsMousePressed(uint8_t button);
    static glm::vec2 GetMousePos();
    static float GetMouseX();
    static float GetMouseY();

    // Forgets every key; for tests, which share the process-wide table.
    static void Clear();
    static size_t KeyCount();

private:
    static std::unordered_map<int, bool> keyStates;
    static std::unordered_map<uint8_t, bool> mouseStates;
};

// Which keys and pad inputs perform each of a program's actions, numbered as
// the program likes. An action is held while any of them is, on the keyboard
// or on any open pad; a key and a button held together count once.
class ActionMap {
public:
    void BindKey(int action, int key);
    void BindPad(int action, PadInput input);
    bool IsHeld(int action) const;

private:
    std::vector<std::pair<int, int>> m_keys;
    std::vector<std::pair<int, PadInput>> m_pads;
};

} // namespace Engine
