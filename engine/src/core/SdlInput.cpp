#include <engine/core/Input.h>

namespace Engine {

std::unordered_map<int, bool> Input::keyStates;
std::unordered_map<uint8_t, bool> Input::mouseStates;

void Input::UpdateKey(int key, bool pressed) {
    keyStates[key] = pressed;
}

bool Input::IsKeyPressed(int key) {
    return keyStates[key];
}

bool Input::IsMousePressed(uint8_t button) {
    return mouseStates[button];
}

glm::vec2 Input::GetMousePos() {
    return {0.0f, 0.0f};
}

float Input::GetMouseX() {
    return GetMousePos().x;
}

float Input::GetMouseY() {
    return GetMousePos().y;
}

void Input::Clear() {
    keyStates.clear();
    mouseStates.clear();
}

size_t Input::KeyCount() {
    return keyStates.size();
}

void ActionMap::BindKey(int action, int key) {
    m_keys.emplace_back(action, key);
}

void ActionMap::BindPad(int action, PadInput input) {
    m_pads.emplace_back(action, input);
}

bool ActionMap::IsHeld(int action) const {
    for (const auto& [bound, key] : m_keys)
        if (bound == action && Input::IsKeyPressed(key))
            return true;
    for (const auto& [bound, input] : m_pads)
        if (bound == action && Gamepads::IsHeld(input))
            return true;
    return false;
}

} // namespace Engine
