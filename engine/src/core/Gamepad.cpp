#include <engine/core/Gamepad.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include <engine/core/Engine.h>
#include <engine/core/Log.h>

#include "core/EventTime.h"

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
    // Each axis where its last event left it, for Axis and Stick.
    int16_t axes[SDL_CONTROLLER_AXIS_MAX] = {};
    // Changes since the last step began, and those of the step running.
    Inputs pressed, released, stepPressed, stepReleased;
    // The step running's repeats, and the steps each input has been held at
    // the start of a step: the buttons' bits, then the axes' each way.
    Inputs stepRepeated;
    uint32_t heldSteps[SDL_CONTROLLER_BUTTON_MAX + 2 * SDL_CONTROLLER_AXIS_MAX] = {};
    // When each input latched as pressed first went down (SDL's ticks), laid
    // out as heldSteps; since the last step began, and in the step running.
    Uint32 pressedAt[SDL_CONTROLLER_BUTTON_MAX + 2 * SDL_CONTROLLER_AXIS_MAX] = {};
    Uint32 stepPressedAt[SDL_CONTROLLER_BUTTON_MAX + 2 * SDL_CONTROLLER_AXIS_MAX] = {};
};

// The time of the event being handled; 0 outside HandleEvent.
Uint32 s_eventTicks = 0;

// An open pad closed since the last step began, and in the step running.
bool s_removed = false;
bool s_stepRemoved = false;

std::unordered_map<SDL_JoystickID, Pad>& Pads() {
    static std::unordered_map<SDL_JoystickID, Pad> pads;
    return pads;
}

Pad* Find(SDL_JoystickID id) {
    auto it = Pads().find(id);
    return it == Pads().end() ? nullptr : &it->second;
}

// Each slot given: the pad in it (-1 while pulled out) and what tells that
// pad from others when it comes back.
struct SlotUse {
    SDL_JoystickID id;
    std::string kind;
};
std::vector<SlotUse>& Slots() {
    static std::vector<SlotUse> slots;
    return slots;
}

// Gives the pad the first free slot a pad of its kind had, or a new one.
void TakeSlot(SDL_JoystickID id, const std::string& kind) {
    auto& slots = Slots();
    auto it = std::find_if(slots.begin(), slots.end(),
                           [&](const SlotUse& s) { return s.id == -1 && s.kind == kind; });
    if (it == slots.end())
        it = slots.insert(slots.end(), {id, kind});
    it->id = id;
}

// The slot the open pad of that id holds; -1 for none (nor for -1 itself).
int SlotOf(SDL_JoystickID id) {
    const auto& slots = Slots();
    const auto it =
        std::find_if(slots.begin(), slots.end(), [&](const SlotUse& s) { return s.id == id; });
    return id != -1 && it != slots.end() ? int(it - slots.begin()) : -1;
}

// The pad's GUID (its bus, maker, model and name) and serial number.
std::string KindOf(SDL_GameController* controller) {
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(SDL_GameControllerGetJoystick(controller)), guid,
                              sizeof guid);
    const char* serial = SDL_GameControllerGetSerial(controller);
    return std::string(guid) + "/" + (serial ? serial : "");
}

// Held past PRESS, let go below RELEASE, unchanged in between.
void Latch(uint8_t& bits, uint8_t bit, float deflection) {
    if (deflection > Gamepads::PRESS)
        bits |= bit;
    else if (deflection < Gamepads::RELEASE)
        bits &= static_cast<uint8_t>(~bit);
}

// An axis's raw value as a share of its travel that way, so that both ends
// of SDL's lopsided range read exactly 1.
float Share(int value) {
    return value < 0 ? value / 32768.0f : value / 32767.0f;
}

// A deflection (0 to 1) with the dead zone taken out and the rest of the
// travel stretched back over 0 to 1.
float Stretch(float deflection) {
    constexpr float Dead = Gamepads::DEAD_ZONE;
    return deflection <= Dead ? 0.0f : std::min((deflection - Dead) / (1.0f - Dead), 1.0f);
}

float Reach(float value) {
    return std::abs(value);
}
float Reach(glm::vec2 value) {
    return std::hypot(value.x, value.y);
}

// What read gives for the open pad where it reaches furthest; between pads
// reaching as far, the one SDL opened first, for the same answer every time.
template <typename Read> auto Furthest(Read read) {
    decltype(read(SDL_JoystickID{})) best{};
    SDL_JoystickID bestId = 0;
    for (const auto& [id, pad] : Pads()) {
        const auto value = read(id);
        if (Reach(value) > Reach(best) || (Reach(value) == Reach(best) && id < bestId))
            best = value, bestId = id;
    }
    return best;
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

// Where an input's time lies in Pad::pressedAt; -1 beyond SDL's layout.
int TimeSlot(PadInput input) {
    const bool button = input.kind == PadInput::Kind::Button;
    const int count = button ? int(SDL_CONTROLLER_BUTTON_MAX) : int(SDL_CONTROLLER_AXIS_MAX);
    if (input.index < 0 || input.index >= count)
        return -1;
    constexpr int Buttons = SDL_CONTROLLER_BUTTON_MAX, Axes = SDL_CONTROLLER_AXIS_MAX;
    return button                                       ? input.index
           : input.kind == PadInput::Kind::AxisNegative ? Buttons + input.index
                                                        : Buttons + Axes + input.index;
}

// Latches what changed from `before` to what the pad holds now.
void Record(Pad& pad, const Inputs& before) {
    const Uint32 now = s_eventTicks ? s_eventTicks : SDL_GetTicks();
    auto latch = [&](auto held, auto was, auto& pressed, auto& released, int slot) {
        // The first press of a step keeps its time.
        for (unsigned fresh = held & ~was & ~pressed; fresh; fresh &= fresh - 1)
            pad.pressedAt[slot + std::countr_zero(fresh)] = now;
        pressed |= held & ~was;
        released |= was & ~held;
    };
    constexpr int Buttons = SDL_CONTROLLER_BUTTON_MAX, Axes = SDL_CONTROLLER_AXIS_MAX;
    latch(pad.held.buttons, before.buttons, pad.pressed.buttons, pad.released.buttons, 0);
    latch(pad.held.negative, before.negative, pad.pressed.negative, pad.released.negative,
          Buttons);
    latch(pad.held.positive, before.positive, pad.pressed.positive, pad.released.positive,
          Buttons + Axes);
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

// Counts the steps each input of bits has been held, in steps[0] on, and
// gives those that repeat in the step beginning: REPEAT_DELAY after the step
// that saw it pressed, and every REPEAT_INTERVAL after that.
template <typename Bits> Bits Repeats(Bits held, int count, uint32_t* steps) {
    constexpr auto Steps = [](double seconds) {
        return uint32_t(seconds / ::Engine::Engine::STEP + 0.5);
    };
    constexpr uint32_t delay = Steps(Gamepads::REPEAT_DELAY);
    constexpr uint32_t every = Steps(Gamepads::REPEAT_INTERVAL);
    Bits out = 0;
    for (int i = 0; i < count; ++i) {
        if (!(held >> i & 1u)) {
            steps[i] = 0;
            continue;
        }
        const uint32_t since = steps[i]++; // wraps after 497 days held
        if (since >= delay && (since - delay) % every == 0)
            out |= static_cast<Bits>(1u << i);
    }
    return out;
}

// SDL sends no events for what is already held when a pad is opened, nor for
// what a new mapping lets go of: the pad's state is read whole instead.
void Sync(SDL_JoystickID id, SDL_GameController* controller) {
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button)
        Gamepads::UpdateButton(id, button,
                               SDL_GameControllerGetButton(
                                   controller, static_cast<SDL_GameControllerButton>(button)) != 0);
    for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis)
        Gamepads::UpdateAxis(
            id, axis,
            SDL_GameControllerGetAxis(controller, static_cast<SDL_GameControllerAxis>(axis)));
}

// Whether the "0xVVVV/0xPPPP" list of an SDL hint names the joystick's vendor
// and product, its numbers read as SDL reads them ("0x45e/0x28e" too).
bool Lists(const char* hint, int deviceIndex) {
    const char* list = SDL_GetHint(hint);
    if (!list)
        return false;
    std::string lower(list);
    for (char& c : lower)
        c = static_cast<char>(SDL_tolower(c));
    const char* at = std::strstr(lower.c_str(), "0x");
    while (at) {
        char* end = nullptr;
        const unsigned long vendor = std::strtoul(at, &end, 16);
        if (!(at = std::strstr(end, "0x")))
            break;
        const unsigned long product = std::strtoul(at, &end, 16);
        if (vendor == SDL_JoystickGetDeviceVendor(deviceIndex) &&
            product == SDL_JoystickGetDeviceProduct(deviceIndex))
            return true;
        at = std::strstr(end, "0x");
    }
    return false;
}

// A joystick SDL has no mapping for, such as many a cheap USB pad, would be
// left out without a word. It gets the layout most such pads share instead:
// buttons in order from A, the first hat as the D-pad, the first two axes as
// the left stick. An axis resting far off centre is left out: on a device
// that only looks like a pad it would hold a direction for good.
// Returns whether it added a mapping.
bool MapGeneric(int deviceIndex) {
    if (SDL_IsGameController(deviceIndex))
        return false;
    // SDL leaves out the pads these hints name only among those it knows.
    const char* except = SDL_GetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT);
    if (Lists(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES, deviceIndex) ||
        (except && *except && !Lists(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT, deviceIndex)))
        return false;
    SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
    if (!joystick)
        return false;
    // SDL 2.26 matches no mapping whose id keeps the name's checksum.
    SDL_JoystickGUID guid = SDL_JoystickGetGUID(joystick);
    guid.data[2] = guid.data[3] = 0;
    char guidText[33];
    SDL_JoystickGetGUIDString(guid, guidText, sizeof guidText);
    std::string name = SDL_JoystickName(joystick) ? SDL_JoystickName(joystick) : "Joystick";
    for (char& c : name)
        if (c == ',')
            c = ' ';
    std::string mapping = std::string(guidText) + "," + name + ",";
    static const char* const buttons[] = {
        "a",    "b",    "x", "y", "leftshoulder", "rightshoulder", "lefttrigger", "righttrigger",
        "back", "start"};
    for (int b = 0; b < SDL_JoystickNumButtons(joystick) && b < int(std::size(buttons)); ++b)
        mapping += std::string(buttons[b]) + ":b" + std::to_string(b) + ",";
    if (SDL_JoystickNumHats(joystick) > 0)
        mapping += "dpup:h0.1,dpright:h0.2,dpdown:h0.4,dpleft:h0.8,";
    static const char* const axes[] = {"leftx", "lefty"};
    for (int a = 0; a < SDL_JoystickNumAxes(joystick) && a < 2; ++a) {
        if (std::abs(SDL_JoystickGetAxis(joystick, a)) < Gamepads::RELEASE * SDL_JOYSTICK_AXIS_MAX)
            mapping += std::string(axes[a]) + ":a" + std::to_string(a) + ",";
    }
    SDL_JoystickClose(joystick);
    return SDL_GameControllerAddMapping(mapping.c_str()) >= 0;
}

} // namespace

void Gamepads::HandleEvent(const SDL_Event& event) {
    s_eventTicks = EventTicks(event);
    switch (event.type) {
    case SDL_JOYDEVICEADDED: // for joysticks SDL has no mapping for
    case SDL_CONTROLLERDEVICEADDED:
        OpenArrived();
        break;
    case SDL_CONTROLLERDEVICEREMOVED:
        Close(event.cdevice.which);
        // SDL 2.26 drops the pending announcement of a pad that arrived just
        // before this one left.
        OpenArrived();
        break;
    case SDL_CONTROLLERDEVICEREMAPPED:
        if (Pad* pad = Find(event.cdevice.which); pad && pad->controller)
            Sync(event.cdevice.which, pad->controller.get());
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
    s_eventTicks = 0;
}

void Gamepads::OpenArrived() {
    // A joystick arrives without it where SDL's controller subsystem failed.
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER))
        return;
    const int count = SDL_NumJoysticks();
    for (int index = 0; index < count; ++index) {
        const bool generic = MapGeneric(index);
        if (!SDL_IsGameController(index) || IsOpen(SDL_JoystickGetDeviceInstanceID(index)))
            continue;
        if (Open(index) && generic)
            Log::Log("INPUT",
                     "SDL knows no mapping for the joystick \"%s\"; it plays with its buttons "
                     "in order from A, its first hat as the D-pad and its first two axes as the "
                     "left stick. SDL_GAMECONTROLLERCONFIG gives it a mapping of its own.",
                     SDL_JoystickNameForIndex(index));
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
    TakeSlot(id, KindOf(controller));
    Sync(id, controller);
    return true;
}

void Gamepads::Close(SDL_JoystickID id) {
    if (!Pads().erase(id))
        return;
    if (const int slot = SlotOf(id); slot >= 0)
        Slots()[size_t(slot)].id = -1;
    s_removed = true;
}

void Gamepads::CloseAll() {
    Pads().clear();
    Slots().clear();
    s_removed = s_stepRemoved = false;
}

void Gamepads::Attach(SDL_JoystickID id) {
    if (Pads().try_emplace(id).second)
        TakeSlot(id, "");
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
    pad->axes[axis] = static_cast<int16_t>(std::clamp(value, -32768, 32767));
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

double Gamepads::SecondsSincePressed(PadInput input) {
    const int slot = TimeSlot(input);
    double longest = 0.0;
    for (const auto& [id, pad] : Pads())
        if (slot >= 0 && Holds(pad.stepPressed, input))
            longest = std::max(longest, SecondsSince(pad.stepPressedAt[slot]));
    return longest;
}

double Gamepads::SecondsSincePressed(SDL_JoystickID id, PadInput input) {
    const Pad* pad = Find(id);
    const int slot = TimeSlot(input);
    return pad && slot >= 0 && Holds(pad->stepPressed, input)
               ? SecondsSince(pad->stepPressedAt[slot])
               : 0.0;
}

bool Gamepads::WasPressedOrRepeated(SDL_JoystickID id, PadInput input) {
    return OnePad(id, &Pad::stepPressed, input) || OnePad(id, &Pad::stepRepeated, input);
}

bool Gamepads::WasPressedOrRepeated(PadInput input) {
    return AnyPad(&Pad::stepPressed, input) || AnyPad(&Pad::stepRepeated, input);
}

bool Gamepads::WasReleased(SDL_JoystickID id, PadInput input) {
    return OnePad(id, &Pad::stepReleased, input);
}

bool Gamepads::WasReleased(PadInput input) {
    return AnyPad(&Pad::stepReleased, input);
}

float Gamepads::Axis(SDL_JoystickID id, SDL_GameControllerAxis axis) {
    const Pad* pad = Find(id);
    if (!pad || axis < 0 || axis >= SDL_CONTROLLER_AXIS_MAX)
        return 0;
    float share = Share(pad->axes[axis]);
    // A trigger rests at one end: nothing pulls it below.
    if (axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT)
        share = std::max(share, 0.0f);
    const float pushed = Stretch(std::abs(share));
    return share < 0 && pushed > 0 ? -pushed : pushed;
}

float Gamepads::Axis(SDL_GameControllerAxis axis) {
    return Furthest([axis](SDL_JoystickID id) { return Axis(id, axis); });
}

glm::vec2 Gamepads::Stick(SDL_JoystickID id, PadStick stick) {
    const Pad* pad = Find(id);
    if (!pad)
        return {0, 0};
    const bool left = stick == PadStick::Left;
    const glm::vec2 share(
        Share(pad->axes[left ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_RIGHTX]),
        Share(pad->axes[left ? SDL_CONTROLLER_AXIS_LEFTY : SDL_CONTROLLER_AXIS_RIGHTY]));
    const float length = Reach(share);
    return length > 0 ? share * (Stretch(length) / length) : share;
}

glm::vec2 Gamepads::Stick(PadStick stick) {
    return Furthest([stick](SDL_JoystickID id) { return Stick(id, stick); });
}

bool Gamepads::WasRemoved() {
    return s_stepRemoved;
}

void Gamepads::BeginStep() {
    s_stepRemoved = std::exchange(s_removed, false);
    for (auto& [id, pad] : Pads()) {
        pad.stepPressed = std::exchange(pad.pressed, Inputs{});
        pad.stepReleased = std::exchange(pad.released, Inputs{});
        std::copy(std::begin(pad.pressedAt), std::end(pad.pressedAt), pad.stepPressedAt);
        constexpr int Buttons = SDL_CONTROLLER_BUTTON_MAX, Axes = SDL_CONTROLLER_AXIS_MAX;
        pad.stepRepeated = {Repeats(pad.held.buttons, Buttons, pad.heldSteps),
                            Repeats(pad.held.negative, Axes, pad.heldSteps + Buttons),
                            Repeats(pad.held.positive, Axes, pad.heldSteps + Buttons + Axes)};
    }
}

void Gamepads::MarkRemoved() {
    s_removed = true;
}

void Gamepads::EndStep() {
    s_stepRemoved = false;
    for (auto& [id, pad] : Pads())
        pad.stepPressed = pad.stepReleased = pad.stepRepeated = Inputs{};
}

bool Gamepads::Rumble(SDL_JoystickID id, float low, float high, double seconds) {
    const Pad* pad = Find(id);
    // Once SDL's controller subsystem is down it has freed the controller.
    if (!pad || !pad->controller || !SDL_WasInit(SDL_INIT_GAMECONTROLLER))
        return false;
    auto strength = [](float s) {
        return static_cast<Uint16>(
            std::lround(std::isnan(s) ? 0.0f : std::clamp(s, 0.0f, 1.0f) * SDL_MAX_UINT16));
    };
    // SDL takes 0 ms for a rumble without end: a time that rounds to it
    // takes a millisecond, and no time at all stops the motors.
    constexpr double MaxMs = 65535;
    const bool stop = !(seconds > 0);
    const auto ms = stop ? 0u : static_cast<Uint32>(std::clamp(seconds * 1000, 1.0, MaxMs));
    return SDL_GameControllerRumble(pad->controller.get(), stop ? 0 : strength(low),
                                    stop ? 0 : strength(high), ms) == 0;
}

bool Gamepads::Rumble(float low, float high, double seconds) {
    bool any = false;
    for (const auto& [id, pad] : Pads())
        any |= Rumble(id, low, high, seconds);
    return any;
}

bool Gamepads::IsOpen(SDL_JoystickID id) {
    return Find(id) != nullptr;
}

size_t Gamepads::Count() {
    return Pads().size();
}

int Gamepads::Slot(SDL_JoystickID id) {
    return SlotOf(id);
}

SDL_JoystickID Gamepads::InSlot(int slot) {
    return slot >= 0 && size_t(slot) < Slots().size() ? Slots()[size_t(slot)].id : -1;
}

std::vector<SDL_JoystickID> Gamepads::Ids() {
    std::vector<SDL_JoystickID> ids;
    for (const auto& slot : Slots())
        if (slot.id != -1)
            ids.push_back(slot.id);
    return ids;
}

std::string Gamepads::Name(SDL_JoystickID id) {
    const Pad* pad = Find(id);
    const char* name = pad && pad->controller && SDL_WasInit(SDL_INIT_GAMECONTROLLER)
                           ? SDL_GameControllerName(pad->controller.get())
                           : nullptr;
    return name ? name : "";
}

} // namespace Engine
