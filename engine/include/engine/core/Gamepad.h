#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec2.hpp>

namespace Engine {

/// One input of a pad, named by its place on SDL's standard pad layout rather
/// than by the label printed on it: a button, or one direction of an axis.
struct PadInput {
    /// A button, or which way along an axis.
    enum class Kind : uint8_t { Button, AxisNegative, AxisPositive };

    Kind kind = Kind::Button; ///< What index names.
    /// An SDL_GameControllerButton or an SDL_GameControllerAxis, by kind.
    int index = 0;

    /// A button, by its place: SDL_CONTROLLER_BUTTON_A is the lowest face button.
    static constexpr PadInput Button(SDL_GameControllerButton button) {
        return {Kind::Button, button};
    }
    /// A stick pushed left or up.
    static constexpr PadInput AxisNegative(SDL_GameControllerAxis axis) {
        return {Kind::AxisNegative, axis};
    }
    /// A stick pushed right or down, or a trigger pulled.
    static constexpr PadInput AxisPositive(SDL_GameControllerAxis axis) {
        return {Kind::AxisPositive, axis};
    }

    bool operator==(const PadInput&) const = default; ///< Same kind and index.
};

/// One of the two sticks of SDL's standard pad layout.
enum class PadStick : uint8_t { Left, Right };

/// The pads SDL maps as game controllers (its database names most), opened as
/// they arrive and closed as they leave, with what each one holds. The main
/// loop fills it from SDL's controller events; like the key table it is
/// process-wide and read by the program's systems.
///
/// A joystick SDL has no mapping for, as many a cheap USB pad, plays too, with
/// the layout most such pads share: its buttons in order from A (A, B, X, Y,
/// the shoulders, the triggers, back, start), its first hat as the D-pad and
/// its first two axes as the left stick, unless one rests far off centre when
/// it arrives. A mapping of the user's (SDL_GAMECONTROLLERCONFIG) comes first,
/// and pads the user has SDL ignore stay ignored.
///
/// An axis direction is held once the stick passes a quarter of its travel and
/// let go only below a fifth, so a resting or worn stick that wanders holds
/// nothing and one held at the edge does not flicker.
///
/// How far a stick or trigger is pushed reads as a number too (Axis, Stick),
/// for a ship that goes as fast as its stick is pushed.
///
/// As for keys (see Input), every change is latched: `WasPressed` and
/// `WasReleased` are true in the first step after it, and only in it, and so
/// is `WasRemoved` after an open pad is pulled out, for a game to pause
/// rather than run on with a player left without controls.
class Gamepads {
public:
    Gamepads() = delete; ///< Only static members.

    static constexpr float PRESS = 0.25f;   ///< Share of an axis's travel that holds it.
    static constexpr float RELEASE = 0.20f; ///< Share of an axis's travel below which it is let go.
    /// Share of an axis's travel, from rest, that Axis and Stick read as 0:
    /// a resting stick seldom sits at the centre, and a worn one drifts.
    static constexpr float DEAD_ZONE = 0.15f;

    /// Takes a controller event (device added, removed or remapped, button,
    /// axis) or a joystick's arrival; ignores any other. A pad remapped is
    /// read anew, since SDL lets go of nothing the old mapping held.
    static void HandleEvent(const SDL_Event& event);

    /// SDL announces an arriving pad by its device index, but names it by its
    /// instance id from then on, and indices shift as pads leave. So whenever
    /// a pad arrives or leaves, every pad not open yet is opened, whatever
    /// index was announced; one without a mapping is given the common one.
    static void OpenArrived();
    /// Opens the pad at a device index; false, with a warning, if SDL cannot.
    static bool Open(int deviceIndex);
    /// Closes a pad by instance id: whatever it held is let go, and if it
    /// was open, WasRemoved is true in the next step.
    static void Close(SDL_JoystickID id);
    /// Closes every pad and forgets a removal no step has seen yet: nothing
    /// was pulled out; the slots start again from 0. Must run before SDL
    /// quits, which frees them itself.
    static void CloseAll();

    /// A pad with no device behind it, to drive the state alone (tests). It
    /// takes a slot as a pad with no serial number does.
    static void Attach(SDL_JoystickID id);
    /// Changes of a pad's state; events naming pads not open, or buttons and
    /// axes beyond SDL's layout, are ignored.
    static void UpdateButton(SDL_JoystickID id, int button, bool pressed);
    /// An axis moved to value (-32768 to 32767); see UpdateButton.
    static void UpdateAxis(SDL_JoystickID id, int axis, int value);

    /// Whether this pad, or any open pad, holds the input.
    static bool IsHeld(SDL_JoystickID id, PadInput input);
    static bool IsHeld(PadInput input); ///< Whether any open pad holds the input.
    /// Whether this pad's input was taken up since the step before this one.
    static bool WasPressed(SDL_JoystickID id, PadInput input);
    static bool WasPressed(PadInput input); ///< WasPressed on any open pad.
    /// How long ago, in seconds, the press WasPressed sees happened, as
    /// Input::SecondsSinceKeyPressed; the earliest over the pads. 0 when it
    /// sees none.
    static double SecondsSincePressed(PadInput input);
    /// SecondsSincePressed on this pad alone.
    static double SecondsSincePressed(SDL_JoystickID id, PadInput input);
    /// Seconds an input is held before it repeats, as a key held on the
    /// keyboard does: a cursor run down a list or across a grid.
    static constexpr double REPEAT_DELAY = 0.4;
    /// Seconds between its repeats from then on, while it stays held.
    static constexpr double REPEAT_INTERVAL = 0.1;
    /// WasPressed, or this pad's input has been held REPEAT_DELAY and is
    /// repeated in this step (every REPEAT_INTERVAL, counted in steps). A
    /// pad does not repeat by itself as the keyboard does: the engine does it.
    static bool WasPressedOrRepeated(SDL_JoystickID id, PadInput input);
    /// WasPressedOrRepeated on any open pad.
    static bool WasPressedOrRepeated(PadInput input);
    /// Whether this pad's input was let go since the step before this one.
    static bool WasReleased(SDL_JoystickID id, PadInput input);
    static bool WasReleased(PadInput input); ///< WasReleased on any open pad.
    /// How far this pad's axis is pushed now: -1 to 1 for a stick (left and
    /// up negative, as SDL has them), 0 to 1 for a trigger. The DEAD_ZONE
    /// reads 0 and the rest of the travel is stretched over the whole range,
    /// so the value rises from 0 just past it and is 1 at the edge. 0 for a
    /// pad not open, an axis beyond SDL's layout, or before the axis moved.
    static float Axis(SDL_JoystickID id, SDL_GameControllerAxis axis);
    /// Axis on the open pad whose axis is pushed furthest, its sign kept
    /// (between pads pushed as far, the one opened first); 0 with no pad.
    static float Axis(SDL_GameControllerAxis axis);
    /// A stick of this pad as a vector (x right, y down), at most 1 long: the
    /// dead zone is a disc, so a stick pushed diagonally is neither slowed
    /// nor snapped to an axis, and the rest of the travel is stretched as for
    /// Axis. (0, 0) for a pad not open.
    static glm::vec2 Stick(SDL_JoystickID id, PadStick stick);
    /// Stick on the open pad whose stick is pushed furthest (between pads
    /// pushed as far, the one opened first); (0, 0) with no pad.
    static glm::vec2 Stick(PadStick stick);
    /// Whether a pad that was open, attached ones included, was pulled out
    /// (or closed) since the step before this one.
    static bool WasRemoved();
    /// Hands the changes latched since the last step to the step that begins
    /// (Input::BeginStep calls it).
    static void BeginStep();
    /// Ends a step: its changes read false again (Input::EndStep calls it).
    static void EndStep();
    /// Tells the next step that a pad was pulled out, as closing one does
    /// (Input::DropPending keeps it so).
    static void MarkRemoved();
    /// Shakes a pad: its heavy (low-frequency) and light (high-frequency)
    /// motors at strengths from 0 to 1, for `seconds` (at most 65, as SDL
    /// allows), in place of any rumble it had; no strength, or no time, stops
    /// it. Out-of-range values are clamped, and not a number is 0. Whether
    /// the pad can rumble: false, and nothing done, for a pad without motors,
    /// one not open or attached without a device, or before SDL starts.
    static bool Rumble(SDL_JoystickID id, float low, float high, double seconds);
    /// Rumble on every open pad; whether any of them can.
    static bool Rumble(float low, float high, double seconds);
    static bool IsOpen(SDL_JoystickID id); ///< Whether the pad of that instance id is open.
    static size_t Count();                 ///< Pads open now, attached ones included.

    /// The pad's number for the program's whole run, for a game's players: the
    /// first pad opened is 0, the next 1, and so on. SDL gives a pad plugged
    /// back in a new instance id; its slot it gets back: the first free slot
    /// that a pad of the same kind and serial number (as SDL tells them) had,
    /// so of two like pads without serials either one. A pad new to the
    /// program takes the next slot. -1 for a pad not open.
    static int Slot(SDL_JoystickID id);
    /// The open pad in a slot, for the per-pad calls; -1 while its pad is
    /// pulled out (a game waits for it to come back) or for a slot never given.
    static SDL_JoystickID InSlot(int slot);
    /// The open pads' instance ids, by slot: to find which pad pressed a
    /// button to join a game.
    static std::vector<SDL_JoystickID> Ids();
    /// The pad's name as SDL has it, as its maker gave it; empty for a pad
    /// not open or attached without a device.
    static std::string Name(SDL_JoystickID id);
};

} // namespace Engine
