#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <glm/vec2.hpp>

#include <engine/core/Gamepad.h>
#include <engine/core/Window.h>

namespace Engine {

/// The key table, filled from SDL key events by the main loop. Keys are SDL key
/// codes (lower-case letters for letter keys, whatever the modifiers). A
/// symbol typed with shift comes as the code of the key that types it: '>'
/// on a US keyboard is SDLK_PERIOD with a shift key held, and SDLK_GREATER
/// never comes; a roguelike's '>' and '?' commands read GetTypedText, which
/// holds the symbols as the keyboard's layout types them.
///
/// Besides the table, which only says whether a key is down now, the main loop
/// latches every change from the events: `WasKeyPressed` and its kin are true
/// in the first simulation step that runs after the change, and only in it, so
/// a tap whose press and release both arrive between two steps is seen once
/// each way. Edges are marks, not counts: two taps that arrive before the same
/// step are seen as one. Edges belong to steps: outside one, such as in a
/// frame's drawing, they read false. The mouse is followed the same way.
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

    /// Whether the key went down since the step before this one; key repeats
    /// do not count.
    static bool WasKeyPressed(int key);
    /// How long ago, in seconds, the press WasKeyPressed sees happened (the
    /// first, of several latched for one step); 0 when it sees none. Steps
    /// run in a burst once a frame, so a rhythm game judges a hit by when it
    /// was made, not by when a step saw it:
    /// `music->GetTimePlayed() - SecondsSinceKeyPressed(key)`. Events are
    /// stamped, to the millisecond, as the loop fetches them: once a frame,
    /// and every 2 ms of its wait under a frame-rate cap.
    static double SecondsSinceKeyPressed(int key);
    /// Whether the key went up since the step before this one.
    static bool WasKeyReleased(int key);
    /// WasKeyPressed, or the system repeated the key while it is held, at
    /// the desktop's delay and rate: BACKSPACE deleting on in a text field,
    /// or a cursor running down a list. Repeats are marks as presses are.
    static bool WasKeyPressedOrRepeated(int key);

    /// The pointer in window coordinates (pixels from the top-left corner),
    /// as the last mouse event left it. When the window keeps its view's size
    /// (Window::SetViewSize), in the view's pixels instead, wherever the view
    /// is shown: over a bar the position lies outside the view (negative on
    /// the left and top bars, beyond its size on the others).
    static glm::vec2 GetMousePosition();
    /// Where the engine shows a view of a kept size, and how many drawable
    /// pixels make a window coordinate; GetMousePosition maps through it from
    /// now on. An empty letterbox maps nothing (the default). The engine
    /// calls it when the view's place changes.
    static void SetMouseLetterbox(const Letterbox& shown, glm::vec2 pixelsPerPoint = {1, 1});
    /// How far the pointer moved since the step before this one, in
    /// GetMousePosition's units; read it in a step, as the wheel. Dragging
    /// a camera is then `cam.transform.position -= glm::vec3(delta / cam.zoom, 0)`
    /// (unturned). Where the pointer was before its first event is unknown:
    /// that event counts no move.
    static glm::vec2 GetMouseDelta();
    /// Whether the button (SDL_BUTTON_LEFT, _MIDDLE, _RIGHT, _X1, _X2) is held.
    static bool IsMouseButtonDown(uint8_t button);
    /// Whether the button went down since the step before this one.
    static bool WasMousePressed(uint8_t button);
    /// Whether the button went up since the step before this one.
    static bool WasMouseReleased(uint8_t button);
    /// Notches the wheel turned since the step before this one, away from the
    /// user positive, whatever the system's scrolling direction.
    static float GetMouseWheelMove();

    /// The text typed since the step before this one, UTF-8, as the system's
    /// keyboard layout and input method make it (shift, dead keys and
    /// composition applied); read it in a step, as WasKeyPressed. Editing keys
    /// type nothing: watch SDLK_BACKSPACE and SDLK_RETURN with WasKeyPressed.
    static const std::string& GetTypedText();
    /// Bytes of text kept between two steps; what is typed beyond them before
    /// the next step is dropped, whole characters only.
    static constexpr size_t MAX_TYPED_TEXT = 256;

    /// The paths of the files dropped on the window since the step before
    /// this one, in the order they were dropped (a drop of several files
    /// gives them all); read it in a step, as GetTypedText.
    static const std::vector<std::string>& GetDroppedFiles();
    /// The texts dropped on the window since the step before this one (a
    /// selection dragged from another program), UTF-8, in order.
    static const std::vector<std::string>& GetDroppedText();

    /// Takes a keyboard, text, mouse or drop event into the key table, the mouse and the
    /// edges; ignores any other. The main loop calls it for each event. A drop's
    /// path or text is copied: freeing it stays with the caller, as SDL asks.
    static void HandleEvent(const SDL_Event& event);
    /// Hands the edges latched since the last step to the step that begins,
    /// the pads' included; the engine calls it before each step.
    static void BeginStep();
    /// Ends a step: its edges read false again until the next one begins.
    static void EndStep();
    /// Drops the edges, text and drops latched and not yet stepped, as the
    /// engine does when it changes scenes, so nothing meant for the old scene
    /// reaches the new one. A pad pulled out meanwhile is no press but a pad
    /// gone: the next step still sees it (Gamepads::WasRemoved).
    static void DropPending();

    /// Forgets every key, the mouse, the edges, the typed text and the drops; for tests, which share the
    /// process-wide table.
    static void Clear();
    static size_t KeyCount(); ///< Keys ever reported or asked for since the last Clear.

private:
    static std::unordered_map<int, bool> keyStates;
    static std::unordered_map<uint8_t, bool> mouseStates;
};

/// Which keys and pad inputs perform each of a program's actions, numbered as
/// the program likes. An action is held while any of them is, on the keyboard
/// or on any open pad (or the one pad of UsePad); a key and a button held
/// together count once. Players sharing a machine have a map each: one
/// with WASD, one with the arrows, one per pad slot.
class ActionMap {
public:
    void BindKey(int action, int key);        ///< The key (an SDL key code) performs action too.
    void BindPad(int action, PadInput input); ///< The pad input, on any pad, performs action too.
    /// Only the pad in this slot (Gamepads::Slot) performs the pad inputs
    /// from now on, the same pad again once it is plugged back in; -1, the
    /// default, any open pad.
    void UsePad(int slot) { m_slot = slot; }
    int PadSlot() const { return m_slot; } ///< The slot of UsePad; -1 for any pad.
    bool IsHeld(int action) const;            ///< Whether any key or pad input of action is held.
    /// Whether any key or pad input of action went down since the step before
    /// this one (Input::WasKeyPressed, Gamepads::WasPressed), even while
    /// another of them held it already: a jump on every press.
    bool WasPressed(int action) const;
    /// WasPressed, or one of action's keys repeated by the system
    /// (Input::WasKeyPressedOrRepeated) or its pad inputs held long enough to
    /// repeat (Gamepads::WasPressedOrRepeated): a move across a grid or down a
    /// menu for as long as the key or the d-pad is held.
    bool WasPressedOrRepeated(int action) const;
    /// How long ago, in seconds, the earliest press WasPressed sees
    /// happened (Input::SecondsSinceKeyPressed, Gamepads::SecondsSincePressed);
    /// 0 when it sees none.
    double SecondsSincePressed(int action) const;
    /// Whether any key or pad input of action went up since the step before this one.
    bool WasReleased(int action) const;
    /// How far action is pushed, 0 to 1: 1 while a key or pad button of it
    /// is held; a stick or trigger bound to it (PadInput::AxisPositive or
    /// AxisNegative) as far as it is pushed that way, dead zone taken out
    /// (Gamepads::Axis); the most of them. A throttle on W and the right
    /// trigger, or steering as `Amount(RIGHT) - Amount(LEFT)` on the arrows
    /// and the left stick, each read in one call.
    float Amount(int action) const;

private:
    // Whether key holds for one of action's keys, or, for one of its pad
    // inputs, anyPad (any pad) or onePad (UsePad's).
    bool Any(int action, bool (*key)(int), bool (*anyPad)(PadInput),
             bool (*onePad)(SDL_JoystickID, PadInput)) const;

    std::vector<std::pair<int, int>> m_keys;
    std::vector<std::pair<int, PadInput>> m_pads;
    int m_slot = -1;
};

} // namespace Engine
