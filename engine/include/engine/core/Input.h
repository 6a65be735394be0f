#pragma once

#include <cstdint>
#include <unordered_map>

#include <glm/vec2.hpp>

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

} // namespace Engine
