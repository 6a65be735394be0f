#include <engine/core/Input.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/EventTime.h"

namespace Engine {

std::unordered_map<int, bool> Input::keyStates;
std::unordered_map<uint8_t, bool> Input::mouseStates;

namespace {

enum Edge : uint8_t { Pressed = 1, Released = 2, Repeated = 4 };

// Edges latched from events since the last step began, and those of the step
// running; handed over by swapping the two.
std::unordered_map<int, uint8_t> s_keyEdges, s_stepKeyEdges;
// When each key latched as pressed first went down (SDL's ticks), the same way.
std::unordered_map<int, Uint32> s_keyPressedAt, s_stepKeyPressedAt;

struct Mouse {
    glm::vec2 position{0.0f, 0.0f};
    // Where the pointer was as the last step began (window coordinates), or
    // where an event first placed it; and how far it had moved by the step
    // running, in GetMousePosition's units.
    std::optional<glm::vec2> stepFrom;
    glm::vec2 stepDelta{0.0f, 0.0f};
    // One bit per button, SDL_BUTTON(button).
    uint32_t down = 0, pressed = 0, released = 0, stepPressed = 0, stepReleased = 0;
    float wheel = 0.0f, stepWheel = 0.0f;
} s_mouse;

// Where the engine shows a view of a kept size; empty when it does not.
Letterbox s_shown;
glm::vec2 s_pixelsPerPoint{1.0f, 1.0f};

// Text typed since the last step began, and that of the step running.
std::string s_text, s_stepText;

// Files and texts dropped since the last step began, and those of the step
// running.
struct Drops {
    std::vector<std::string> files, texts;
} s_drops, s_stepDrops;

// Appends text to to, as much as fits in Input::MAX_TYPED_TEXT bytes, never
// splitting a character.
void AppendTyped(std::string& to, const char* text, size_t length) {
    size_t room = Input::MAX_TYPED_TEXT - std::min(to.size(), Input::MAX_TYPED_TEXT);
    if (length > room) {
        length = room;
        // Back off to the start of the character the cut falls in.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    to.append(text, length);
}

// A point in window coordinates as GetMousePosition gives it.
glm::vec2 ViewPoint(glm::vec2 window) {
    if (s_shown.Empty())
        return window;
    return s_shown.ToView(window * s_pixelsPerPoint);
}

uint32_t ButtonBit(unsigned button) {
    return button >= 1 && button <= 32 ? 1u << (button - 1) : 0u;
}

} // namespace

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

bool Input::WasKeyPressed(int key) {
    auto it = s_stepKeyEdges.find(key);
    return it != s_stepKeyEdges.end() && (it->second & Pressed);
}

double Input::SecondsSinceKeyPressed(int key) {
    auto it = s_stepKeyPressedAt.find(key);
    return it == s_stepKeyPressedAt.end() ? 0.0 : SecondsSince(it->second);
}

bool Input::WasKeyPressedOrRepeated(int key) {
    auto it = s_stepKeyEdges.find(key);
    return it != s_stepKeyEdges.end() && (it->second & (Pressed | Repeated));
}

bool Input::WasKeyReleased(int key) {
    auto it = s_stepKeyEdges.find(key);
    return it != s_stepKeyEdges.end() && (it->second & Released);
}

const std::string& Input::GetTypedText() {
    return s_stepText;
}

const std::vector<std::string>& Input::GetDroppedFiles() {
    return s_stepDrops.files;
}

const std::vector<std::string>& Input::GetDroppedText() {
    return s_stepDrops.texts;
}

glm::vec2 Input::GetMousePosition() {
    return ViewPoint(s_mouse.position);
}

void Input::SetMouseLetterbox(const Letterbox& shown, glm::vec2 pixelsPerPoint) {
    s_shown = shown;
    s_pixelsPerPoint = pixelsPerPoint;
}

bool Input::IsMouseButtonDown(uint8_t button) {
    return s_mouse.down & ButtonBit(button);
}

bool Input::WasMousePressed(uint8_t button) {
    return s_mouse.stepPressed & ButtonBit(button);
}

bool Input::WasMouseReleased(uint8_t button) {
    return s_mouse.stepReleased & ButtonBit(button);
}

glm::vec2 Input::GetMouseDelta() {
    return s_mouse.stepDelta;
}

float Input::GetMouseWheelMove() {
    return s_mouse.stepWheel;
}

void Input::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN: {
        UpdateKey(event.key.keysym.sym, true);
        uint8_t& edges = s_keyEdges[event.key.keysym.sym];
        if (!event.key.repeat && !(edges & Pressed))
            s_keyPressedAt[event.key.keysym.sym] = EventTicks(event);
        edges |= event.key.repeat ? Repeated : Pressed;
        break;
    }
    case SDL_KEYUP:
        UpdateKey(event.key.keysym.sym, false);
        s_keyEdges[event.key.keysym.sym] |= Released;
        break;
    case SDL_TEXTINPUT:
        // The array is not trusted to hold its terminator.
        AppendTyped(s_text, event.text.text, strnlen(event.text.text, sizeof event.text.text));
        break;
    case SDL_MOUSEMOTION:
        s_mouse.position = {float(event.motion.x), float(event.motion.y)};
        s_mouse.stepFrom = s_mouse.stepFrom.value_or(s_mouse.position);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        s_mouse.position = {float(event.button.x), float(event.button.y)};
        s_mouse.stepFrom = s_mouse.stepFrom.value_or(s_mouse.position);
        const uint32_t bit = ButtonBit(event.button.button);
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            s_mouse.down |= bit;
            s_mouse.pressed |= bit;
        } else {
            s_mouse.down &= ~bit;
            s_mouse.released |= bit;
        }
        break;
    }
    case SDL_MOUSEWHEEL:
        s_mouse.wheel += event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.preciseY
                                                                         : event.wheel.preciseY;
        break;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        if (event.drop.file)
            (event.type == SDL_DROPFILE ? s_drops.files : s_drops.texts)
                .emplace_back(event.drop.file);
        break;
    default:
        break;
    }
}

void Input::BeginStep() {
    s_stepKeyEdges.swap(s_keyEdges);
    s_keyEdges.clear();
    s_stepKeyPressedAt.swap(s_keyPressedAt);
    s_keyPressedAt.clear();
    s_stepText.swap(s_text);
    s_text.clear();
    s_stepDrops = std::exchange(s_drops, Drops{});
    s_mouse.stepPressed = std::exchange(s_mouse.pressed, 0);
    s_mouse.stepReleased = std::exchange(s_mouse.released, 0);
    s_mouse.stepWheel = std::exchange(s_mouse.wheel, 0.0f);
    // Both ends mapped as the view is placed now: a view moved or scaled
    // in between moves no pointer.
    s_mouse.stepDelta = {0.0f, 0.0f};
    if (s_mouse.stepFrom) {
        s_mouse.stepDelta = ViewPoint(s_mouse.position) - ViewPoint(*s_mouse.stepFrom);
        s_mouse.stepFrom = s_mouse.position;
    }
    Gamepads::BeginStep();
}

void Input::EndStep() {
    s_stepKeyEdges.clear();
    s_stepKeyPressedAt.clear();
    s_stepText.clear();
    s_stepDrops = Drops{};
    s_mouse.stepPressed = s_mouse.stepReleased = 0;
    s_mouse.stepWheel = 0.0f;
    s_mouse.stepDelta = {0.0f, 0.0f};
    Gamepads::EndStep();
}

void Input::DropPending() {
    BeginStep();
    const bool removed = Gamepads::WasRemoved();
    EndStep();
    if (removed)
        Gamepads::MarkRemoved();
}

void Input::Clear() {
    keyStates.clear();
    mouseStates.clear();
    s_keyEdges.clear();
    s_stepKeyEdges.clear();
    s_keyPressedAt.clear();
    s_stepKeyPressedAt.clear();
    s_text.clear();
    s_stepText.clear();
    s_drops = s_stepDrops = Drops{};
    s_mouse = Mouse{};
    SetMouseLetterbox({});
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

bool ActionMap::Any(int action, bool (*key)(int), bool (*anyPad)(PadInput),
                    bool (*onePad)(SDL_JoystickID, PadInput)) const {
    for (const auto& [bound, k] : m_keys)
        if (bound == action && key(k))
            return true;
    // An empty slot's -1 names no pad.
    const SDL_JoystickID pad = Gamepads::InSlot(m_slot);
    for (const auto& [bound, input] : m_pads)
        if (bound == action && (m_slot < 0 ? anyPad(input) : onePad(pad, input)))
            return true;
    return false;
}

bool ActionMap::IsHeld(int action) const {
    return Any(action, Input::IsKeyPressed, Gamepads::IsHeld, Gamepads::IsHeld);
}

bool ActionMap::WasPressed(int action) const {
    return Any(action, Input::WasKeyPressed, Gamepads::WasPressed, Gamepads::WasPressed);
}

bool ActionMap::WasPressedOrRepeated(int action) const {
    return Any(action, Input::WasKeyPressedOrRepeated, Gamepads::WasPressedOrRepeated,
               Gamepads::WasPressedOrRepeated);
}

double ActionMap::SecondsSincePressed(int action) const {
    double longest = 0.0;
    for (const auto& [bound, k] : m_keys)
        if (bound == action && Input::WasKeyPressed(k))
            longest = std::max(longest, Input::SecondsSinceKeyPressed(k));
    const SDL_JoystickID pad = Gamepads::InSlot(m_slot);
    for (const auto& [bound, input] : m_pads)
        if (bound == action)
            longest = std::max(longest, m_slot < 0 ? Gamepads::SecondsSincePressed(input)
                                                   : Gamepads::SecondsSincePressed(pad, input));
    return longest;
}

bool ActionMap::WasReleased(int action) const {
    return Any(action, Input::WasKeyReleased, Gamepads::WasReleased, Gamepads::WasReleased);
}

float ActionMap::Amount(int action) const {
    for (const auto& [bound, k] : m_keys)
        if (bound == action && Input::IsKeyPressed(k))
            return 1.0f;
    const std::vector<SDL_JoystickID> pads =
        m_slot < 0 ? Gamepads::Ids() : std::vector<SDL_JoystickID>{Gamepads::InSlot(m_slot)};
    float most = 0.0f;
    for (const auto& [bound, input] : m_pads) {
        if (bound != action)
            continue;
        for (SDL_JoystickID pad : pads) {
            if (input.kind == PadInput::Kind::Button) {
                if (Gamepads::IsHeld(pad, input))
                    return 1.0f;
                continue;
            }
            const float pushed = Gamepads::Axis(pad, SDL_GameControllerAxis(input.index));
            most = std::max(most, input.kind == PadInput::Kind::AxisPositive ? pushed : -pushed);
        }
    }
    return std::min(most, 1.0f);
}

} // namespace Engine
