#include <engine/core/Gamepad.h>

#include <memory>
#include <unordered_map>
#include <utility>

#include <engine/core/Log.h>

namespace Engine {

namespace {

static_assert(SDL_CONTROLLER_BUTTON_MAX <= 32 && SDL_CONTROLLER_AXIS_MAX <= 8,
              "one bit per button and per axis direction");

struct CloseController {
    void operator()(SDL_GameController* controller) const {
        // Once SDL's controller subsystem is down it has freed the controller.
        if (SDL_WasInit(SDL_INIT_GAMECONTROLLER))
            SDL_GameControllerClose(controller);
    }
};

// One bit per button, and per axis for each direction.
struct Inputs {
    uint32_t buttons = 0;
    uint8_t negative = 0;
    uint8_t positive = 0;
};

struct Pad {
    // Empty for a pad attached without a device.
    std::unique_ptr<SDL_GameController, CloseController> controller;
    Inputs held;
    // Changes since the last step began, and those of the step running.
    Inputs pressed, released, stepPressed, stepReleased;
};

std::unordered_map<SDL_JoystickID, Pad>& Pads() {
    static std::unordered_map<SDL_JoystickID, Pad> pads;
    return pads;
}

Pad* Find(SDL_JoystickID id) {
    auto it = Pads().find(id);
    return it == Pads().end() ? nullptr : &it->second;
}

// Held past PRESS, let go below RELEASE, unchanged in between.
void Latch(uint8_t& bits, uint8_t bit, float deflection) {
    if (deflection > Gamepads::PRESS)
        bits |= bit;
    else if (deflection < Gamepads::RELEASE)
        bits &= static_cast<uint8_t>(~bit);
}

bool Holds(const Inputs& set, PadInput input) {
    const bool button = input.kind == PadInput::Kind::Button;
    const int count = button ? int(SDL_CONTROLLER_BUTTON_MAX) : int(SDL_CONTROLLER_AXIS_MAX);
    if (input.index < 0 || input.index >= count)
        return false;
    const uint32_t bits = button                                       ? set.buttons
                          : input.kind == PadInput::Kind::AxisNegative ? set.negative
                                                                       : set.positive;
    return bits >> input.index & 1u;
}

// Latches what changed from `before` to what the pad holds now.
void Record(Pad& pad, const Inputs& before) {
    auto latch = [](auto now, auto was, auto& pressed, auto& released) {
        pressed |= now & ~was;
        released |= was & ~now;
    };
    latch(pad.held.buttons, before.buttons, pad.pressed.buttons, pad.released.buttons);
    latch(pad.held.negative, before.negative, pad.pressed.negative, pad.released.negative);
    latch(pad.held.positive, before.positive, pad.pressed.positive, pad.released.positive);
}

// Whether any open pad, or the one pad, has the input in its set `which`.
bool AnyPad(Inputs Pad::*which, PadInput input) {
    for (const auto& [id, pad] : Pads())
        if (Holds(pad.*which, input))
            return true;
    return false;
}
bool OnePad(SDL_JoystickID id, Inputs Pad::*which, PadInput input) {
    const Pad* pad = Find(id);
    return pad && Holds(pad->*which, input);
}

} // namespace

void Gamepads::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        OpenArrived();
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        Close(event.cdevice.which);
        // SDL 2.26 drops the pending announcement of a pad that arrived just
        // before this one left.
        OpenArrived();
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        UpdateButton(event.cbutton.which, event.cbutton.button, event.cbutton.state == SDL_PRESSED);
        break;
    case SDL_CONTROLLERAXISMOTION:
        UpdateAxis(event.caxis.which, event.caxis.axis, event.caxis.value);
        break;
    default:
        break;
    }
}

void Gamepads::OpenArrived() {
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        if (SDL_IsGameController(index) && !IsOpen(SDL_JoystickGetDeviceInstanceID(index)))
            Open(index);
    }
}

bool Gamepads::Open(int deviceIndex) {
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        Log::Warn("INPUT", "Could not open the game controller at device index %d: %s", deviceIndex,
                  SDL_GetError());
        return false;
    }
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    Pad& pad = Pads()[id];
    // Opened before: SDL counted one more reference, which this drops.
    if (pad.controller) {
        SDL_GameControllerClose(controller);
        return true;
    }
    pad.controller.reset(controller);
    // SDL sends no events for what is already held when a pad is opened.
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button)
        UpdateButton(id, button,
                     SDL_GameControllerGetButton(
                         controller, static_cast<SDL_GameControllerButton>(button)) != 0);
    for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis)
        UpdateAxis(
            id, axis,
            SDL_GameControllerGetAxis(controller, static_cast<SDL_GameControllerAxis>(axis)));
    return true;
}

void Gamepads::Close(SDL_JoystickID id) {
    Pads().erase(id);
}

void Gamepads::CloseAll() {
    Pads().clear();
}

void Gamepads::Attach(SDL_JoystickID id) {
    Pads()[id];
}

void Gamepads::UpdateButton(SDL_JoystickID id, int button, bool pressed) {
    Pad* pad = Find(id);
    if (!pad || button < 0 || button >= SDL_CONTROLLER_BUTTON_MAX)
        return;
    const uint32_t bit = 1u << button;
    const Inputs before = pad->held;
    pad->held.buttons = pressed ? (pad->held.buttons | bit) : (pad->held.buttons & ~bit);
    Record(*pad, before);
}

void Gamepads::UpdateAxis(SDL_JoystickID id, int axis, int value) {
    Pad* pad = Find(id);
    if (!pad || axis < 0 || axis >= SDL_CONTROLLER_AXIS_MAX)
        return;
    const auto bit = static_cast<uint8_t>(1u << axis);
    const float deflection = static_cast<float>(value) / SDL_JOYSTICK_AXIS_MAX;
    const Inputs before = pad->held;
    Latch(pad->held.positive, bit, deflection);
    Latch(pad->held.negative, bit, -deflection);
    Record(*pad, before);
}

bool Gamepads::IsHeld(SDL_JoystickID id, PadInput input) {
    return OnePad(id, &Pad::held, input);
}

bool Gamepads::IsHeld(PadInput input) {
    return AnyPad(&Pad::held, input);
}

bool Gamepads::WasPressed(SDL_JoystickID id, PadInput input) {
    return OnePad(id, &Pad::stepPressed, input);
}

bool Gamepads::WasPressed(PadInput input) {
    return AnyPad(&Pad::stepPressed, input);
}

bool Gamepads::WasReleased(SDL_JoystickID id, PadInput input) {
    return OnePad(id, &Pad::stepReleased, input);
}

bool Gamepads::WasReleased(PadInput input) {
    return AnyPad(&Pad::stepReleased, input);
}

void Gamepads::BeginStep() {
    for (auto& [id, pad] : Pads()) {
        pad.stepPressed = std::exchange(pad.pressed, Inputs{});
        pad.stepReleased = std::exchange(pad.released, Inputs{});
    }
}

void Gamepads::EndStep() {
    for (auto& [id, pad] : Pads())
        pad.stepPressed = pad.stepReleased = Inputs{};
}

bool Gamepads::IsOpen(SDL_JoystickID id) {
    return Find(id) != nullptr;
}

size_t Gamepads::Count() {
    return Pads().size();
}

} // namespace Engine
