#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>

#include "core/VirtualPad.h"

using namespace Engine;
using EngineTest::VirtualPad;

namespace {

constexpr PadInput South = PadInput::Button(SDL_CONTROLLER_BUTTON_A);
constexpr PadInput DPadRight = PadInput::Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
constexpr PadInput StickLeft = PadInput::AxisNegative(SDL_CONTROLLER_AXIS_LEFTX);
constexpr PadInput StickRight = PadInput::AxisPositive(SDL_CONTROLLER_AXIS_LEFTX);

// The pad table alone: pads attached without devices.
class PadState : public ::testing::Test {
protected:
    void SetUp() override {
        Gamepads::CloseAll();
        Input::Clear();
    }
    void TearDown() override {
        Gamepads::CloseAll();
        Input::Clear();
    }
};

TEST_F(PadState, StickDirectionsHoldPastAQuarterAndLetGoBelowAFifth) {
    // One stick moved through these values in turn (full travel is 32767).
    struct Position {
        int value;
        bool left, right;
        const char* what;
    } path[] = {
        {0, false, false, "at rest"},
        {6553, false, false, "just under a fifth"},
        {8191, false, false, "just short of a quarter never starts"},
        {8192, false, true, "past a quarter"},
        {6554, false, true, "back to just over a fifth, still held"},
        {6553, false, false, "under a fifth lets go"},
        {8000, false, false, "between, coming up again, stays let go"},
        {-8191, false, false, "left, short of a quarter"},
        {-8192, true, false, "left past a quarter"},
        {-6554, true, false, "left, just over a fifth"},
        {-6553, false, false, "left, under a fifth"},
        {32767, false, true, "full right"},
        {-32768, true, false, "full left in one move: right let go, left held"},
        {0, false, false, "released"},
    };
    Gamepads::Attach(7);
    for (const Position& p : path) {
        Gamepads::UpdateAxis(7, SDL_CONTROLLER_AXIS_LEFTX, p.value);
        EXPECT_EQ(Gamepads::IsHeld(7, StickLeft), p.left) << p.what;
        EXPECT_EQ(Gamepads::IsHeld(7, StickRight), p.right) << p.what;
        EXPECT_FALSE(Gamepads::IsHeld(PadInput::AxisPositive(SDL_CONTROLLER_AXIS_LEFTY))) << p.what;
    }
    // A trigger is a positive axis like any other.
    Gamepads::UpdateAxis(7, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    EXPECT_TRUE(Gamepads::IsHeld(PadInput::AxisPositive(SDL_CONTROLLER_AXIS_TRIGGERRIGHT)));
}

TEST_F(PadState, AxesReadHowFarTheyArePushedPastTheDeadZone) {
    constexpr auto X = SDL_CONTROLLER_AXIS_LEFTX, Trigger = SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    // A dead zone of 0.15 of the travel: 4915 of 32767 is in it, 4916 past it.
    struct Reading {
        SDL_JoystickID pad;
        SDL_GameControllerAxis axis;
        int value; // set first, unless the pad is not open
        float want;
        const char* what;
    } readings[] = {
        {1, X, -32768, -1, "full left is -1 exactly"},
        {1, X, -32767, -0.999964f, "one short of full left"},
        {1, X, -4916, -2.87e-5f, "just past the dead zone, left"},
        {1, X, -4915, 0, "the dead zone's left edge"},
        {1, X, 0, 0, "at rest"},
        {1, X, 4915, 0, "the dead zone's right edge"},
        {1, X, 4916, 3.41e-5f, "just past the dead zone, right"},
        {1, X, 16384, 0.411783f, "half way, the dead zone stretched out"},
        {1, X, 32767, 1, "full right is 1 exactly"},
        {1, X, 40000, 1, "beyond SDL's range"},
        {1, Trigger, 32767, 1, "a trigger pulled"},
        {1, Trigger, 16384, 0.411783f, "a trigger half way"},
        {1, Trigger, -32768, 0, "a trigger never reads below 0"},
        {1, SDL_CONTROLLER_AXIS_LEFTY, INT_MIN, 0, "an axis that never moved"},
        {1, SDL_GameControllerAxis(-1), 32767, 0, "an invalid axis"},
        {1, SDL_CONTROLLER_AXIS_MAX, 32767, 0, "an axis beyond the layout"},
        {9, X, 32767, 0, "a pad not open"},
    };
    Gamepads::Attach(1);
    for (const Reading& r : readings) {
        if (r.value != INT_MIN)
            Gamepads::UpdateAxis(r.pad, r.axis, r.value);
        const float got = Gamepads::Axis(r.pad, r.axis);
        if (r.want == 0 || std::abs(r.want) == 1)
            EXPECT_EQ(got, r.want) << r.what;
        else
            EXPECT_NEAR(got, r.want, 1e-6f) << r.what;
    }

    // A stick's dead zone is a disc: each axis inside it alone, but not both together.
    struct Push {
        int x, y;
        glm::vec2 want;
    } pushes[] = {{4000, 4000, {0.018833f, 0.018833f}},
                  {3000, 3000, {0, 0}},
                  {-32768, -32768, {-0.707107f, -0.707107f}}};
    for (const Push& p : pushes) {
        Gamepads::UpdateAxis(1, SDL_CONTROLLER_AXIS_RIGHTX, p.x);
        Gamepads::UpdateAxis(1, SDL_CONTROLLER_AXIS_RIGHTY, p.y);
        const glm::vec2 got = Gamepads::Stick(1, PadStick::Right);
        EXPECT_NEAR(got.x, p.want.x, 1e-6f) << p.x << ", " << p.y;
        EXPECT_NEAR(got.y, p.want.y, 1e-6f) << p.x << ", " << p.y;
    }
    EXPECT_EQ(Gamepads::Stick(9, PadStick::Right), glm::vec2(0)) << "a pad not open";

    // Any pad: the one pushed furthest, its sign kept; as far, the one opened first.
    Gamepads::Attach(2);
    Gamepads::UpdateAxis(1, X, 10000);
    Gamepads::UpdateAxis(2, X, -32768);
    EXPECT_EQ(Gamepads::Axis(X), -1.0f) << "pad 2, further, its sign kept";
    EXPECT_EQ(Gamepads::Stick(PadStick::Left), Gamepads::Stick(2, PadStick::Left));
    Gamepads::UpdateAxis(1, X, 32767);
    EXPECT_EQ(Gamepads::Axis(X), 1.0f) << "as far as pad 2: pad 1, opened first";
    EXPECT_EQ(Gamepads::Stick(PadStick::Left), Gamepads::Stick(1, PadStick::Left));
    Gamepads::Close(1);
    Gamepads::Close(2);
    EXPECT_EQ(Gamepads::Axis(X), 0.0f) << "no pad";
}

TEST_F(PadState, AnActionIsHeldWhileAnyKeyOrPadHoldsIt) {
    enum { Right, Jump };
    ActionMap map;
    map.BindKey(Right, 'd');
    map.BindPad(Right, DPadRight);
    map.BindPad(Right, StickRight);
    map.BindKey(Jump, ' ');
    map.BindPad(Jump, South);

    // How far Right is pushed: a stick's share of its travel past the dead
    // zone, the furthest pad's; a key or button all the way.
    const float stick2 = (20000 / 32767.0f - Gamepads::DEAD_ZONE) / (1 - Gamepads::DEAD_ZONE);
    const float stick3 = (9000 / 32767.0f - Gamepads::DEAD_ZONE) / (1 - Gamepads::DEAD_ZONE);
    struct Change {
        std::function<void()> apply;
        bool right, jump;
        float amount;
        const char* what;
    } changes[] = {
        {[] { Gamepads::Attach(1), Gamepads::Attach(2); }, false, false, 0, "two idle pads"},
        {[] { Gamepads::UpdateButton(1, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true); }, true, false, 1,
         "pad 1's D-pad"},
        {[] { Input::UpdateKey('d', true); }, true, false, 1, "and the key"},
        {[] { Gamepads::Close(1); }, true, false, 1, "pad 1 pulled out, the key still holds"},
        {[] { Input::UpdateKey('d', false); }, false, false, 0, "key let go"},
        {[] { Gamepads::UpdateAxis(2, SDL_CONTROLLER_AXIS_LEFTX, 20000); }, true, false, stick2,
         "pad 2's stick"},
        {[] { Gamepads::Attach(3), Gamepads::UpdateAxis(3, SDL_CONTROLLER_AXIS_LEFTX, 9000); },
         true, false, stick2, "and a third pad's"},
        {[] { Gamepads::Close(2); }, true, false, stick3, "pad 2 pulled out, pad 3 still holds"},
        {[] { Gamepads::UpdateButton(3, SDL_CONTROLLER_BUTTON_A, true); }, true, true, stick3,
         "pad 3's south button"},
        {[] { Gamepads::UpdateAxis(3, SDL_CONTROLLER_AXIS_LEFTX, -32768); }, false, true, 0,
         "pad 3's stick pushed the other way"},
        {[] { Gamepads::Close(3); }, false, false, 0, "the last holder pulled out"},
        {[] { Input::UpdateKey(' ', true); }, false, true, 0, "the keyboard alone"},
    };
    for (const Change& c : changes) {
        c.apply();
        EXPECT_EQ(map.IsHeld(Right), c.right) << c.what;
        EXPECT_EQ(map.IsHeld(Jump), c.jump) << c.what;
        EXPECT_NEAR(map.Amount(Right), c.amount, 1e-3) << c.what;
        EXPECT_EQ(map.Amount(Jump), c.jump ? 1.0f : 0.0f) << c.what;
    }
    EXPECT_FALSE(map.IsHeld(99)) << "an action nothing is bound to";

    // Edges: each press or release of any of them, in the step after it alone.
    auto key = [](int sym, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.sym = sym;
        Input::HandleEvent(e);
    };
    struct Edge {
        std::function<void()> apply;
        bool jumpPressed, jumpReleased, rightPressed;
        const char* what;
    } edges[] = {
        {[] {}, false, false, false, "nothing since"},
        {[] { Gamepads::Attach(4), Gamepads::UpdateButton(4, SDL_CONTROLLER_BUTTON_A, true); },
         true, false, false, "the south button, the key holding already"},
        {[] {}, false, false, false, "a step later"},
        {[&] { key(' ', false); }, false, true, false, "the key let go, the button holds"},
        {[&] { key('d', true), key('d', false); }, false, false, true, "a tap between steps"},
    };
    for (const Edge& e : edges) {
        e.apply();
        Input::EndStep();
        Input::BeginStep();
        EXPECT_EQ(map.WasPressed(Jump), e.jumpPressed) << e.what;
        EXPECT_EQ(map.WasReleased(Jump), e.jumpReleased) << e.what;
        EXPECT_EQ(map.WasPressed(Right), e.rightPressed) << e.what;
    }
    Input::EndStep();
}

TEST_F(PadState, AHeldPadInputRepeatsAsAHeldKeyDoes) {
    ActionMap map;
    map.BindKey(0, 'd');
    map.BindPad(0, DPadRight);
    map.BindPad(0, StickRight);
    Gamepads::Attach(1);
    // The steps, of `steps` run, in which the action is pressed or repeated.
    auto run = [&](int steps) {
        std::vector<int> seen;
        for (int i = 0; i < steps; ++i) {
            Input::BeginStep();
            if (map.WasPressedOrRepeated(0))
                seen.push_back(i);
            Input::EndStep();
        }
        return seen;
    };
    const int delay = int(std::lround(Gamepads::REPEAT_DELAY / ::Engine::Engine::STEP));
    const int every = int(std::lround(Gamepads::REPEAT_INTERVAL / ::Engine::Engine::STEP));
    const std::vector<int> held{0, delay, delay + every, delay + 2 * every};
    Gamepads::UpdateButton(1, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(run(delay + 2 * every + 1), held) << "the D-pad held";
    Gamepads::UpdateButton(1, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(run(delay + 1), std::vector<int>{}) << "let go";
    // Pressed again, it waits the whole delay anew.
    Gamepads::UpdateAxis(1, SDL_CONTROLLER_AXIS_LEFTX, 20000);
    EXPECT_EQ(run(delay + 2 * every + 1), held) << "the stick held";
    Gamepads::UpdateAxis(1, SDL_CONTROLLER_AXIS_LEFTX, 0);
    // The keyboard's repeats are the system's.
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = 'd';
    e.key.repeat = 1;
    Input::HandleEvent(e);
    EXPECT_EQ(run(2), std::vector<int>{0}) << "a key repeated";
}

TEST_F(PadState, UnknownPadsAndInputsBeyondTheLayoutAreIgnored) {
    Gamepads::UpdateButton(5, SDL_CONTROLLER_BUTTON_A, true);
    Gamepads::UpdateAxis(5, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    EXPECT_EQ(Gamepads::Count(), 0u);

    Gamepads::Attach(5);
    for (int bad : {-1, int(SDL_CONTROLLER_BUTTON_MAX), 255, INT_MAX, INT_MIN}) {
        Gamepads::UpdateButton(5, bad, true);
        Gamepads::UpdateAxis(5, bad, 32767);
        for (auto kind :
             {PadInput::Kind::Button, PadInput::Kind::AxisNegative, PadInput::Kind::AxisPositive})
            EXPECT_FALSE(Gamepads::IsHeld(PadInput{kind, bad})) << bad;
    }
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button)
        EXPECT_FALSE(Gamepads::IsHeld(PadInput{PadInput::Kind::Button, button})) << button;
    for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis)
        EXPECT_FALSE(Gamepads::IsHeld(PadInput::AxisPositive(SDL_GameControllerAxis(axis))));
}

// The main loop's polling hands controller events to the pad table.
class PadEvents : public ::testing::Test {
protected:
    void SetUp() override {
        Gamepads::CloseAll();
        Input::Clear();
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        Gamepads::CloseAll();
        SDL_Quit();
        Input::Clear();
    }

    static void Button(SDL_JoystickID pad, SDL_GameControllerButton button, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
        event.cbutton.which = pad;
        event.cbutton.button = static_cast<Uint8>(button);
        event.cbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&event);
    }
    static void Axis(SDL_JoystickID pad, SDL_GameControllerAxis axis, Sint16 value) {
        SDL_Event event{};
        event.type = SDL_CONTROLLERAXISMOTION;
        event.caxis.which = pad;
        event.caxis.axis = static_cast<Uint8>(axis);
        event.caxis.value = value;
        SDL_PushEvent(&event);
    }
    static void Removed(SDL_JoystickID pad) {
        SDL_Event event{};
        event.type = SDL_CONTROLLERDEVICEREMOVED;
        event.cdevice.which = pad;
        SDL_PushEvent(&event);
    }

    ::Engine::Engine engine{1280, 720};
    bool quit = false;
};

TEST_F(PadEvents, ButtonsAxesAndRemovalFollowTheLastEventOfThePoll) {
    Gamepads::Attach(4);
    Button(4, SDL_CONTROLLER_BUTTON_A, true);
    Axis(4, SDL_CONTROLLER_AXIS_LEFTX, -20000);
    Button(4, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    Button(4, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false); // pressed and let go in one poll
    engine.ProcessInput(&quit);
    EXPECT_TRUE(Gamepads::IsHeld(4, South));
    EXPECT_TRUE(Gamepads::IsHeld(4, StickLeft));
    EXPECT_FALSE(Gamepads::IsHeld(4, DPadRight));
    EXPECT_EQ(Input::KeyCount(), 0u) << "the key table stays keyboard-only";

    Button(4, SDL_CONTROLLER_BUTTON_A, false);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(Gamepads::IsHeld(4, South));

    // A pad never open leaving is no pad pulled out.
    Removed(5);
    engine.ProcessInput(&quit);
    Input::BeginStep();
    EXPECT_FALSE(Gamepads::WasRemoved());
    Input::EndStep();

    // Pulled out while the stick is held: no release event comes first.
    Removed(4);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(Gamepads::IsOpen(4));
    EXPECT_FALSE(Gamepads::IsHeld(StickLeft));
    EXPECT_FALSE(quit);
}

// Pads SDL takes for plugged in, as a player's would be.
class VirtualPads : public ::testing::Test {
protected:
    void SetUp() override {
        Gamepads::CloseAll();
        EngineTest::OnlyVirtualPads();
        ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    }
    void TearDown() override {
        Gamepads::CloseAll();
        SDL_Quit();
    }

    void Poll() { engine.ProcessInput(&quit); }
    // Whether each of the next two steps sees a pad pulled out.
    static std::pair<bool, bool> RemovedInTwoSteps() {
        std::pair<bool, bool> seen;
        for (bool* step : {&seen.first, &seen.second}) {
            Input::BeginStep();
            *step = Gamepads::WasRemoved();
            Input::EndStep();
        }
        return seen;
    }

    ::Engine::Engine engine{1280, 720};
    bool quit = false;
};

TEST_F(VirtualPads, PadsPresentAtStartAreOpened) {
    // The joystick subsystem stays up for the pad.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    VirtualPad pad;
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    SDL_JoystickUpdate();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    Poll();
    EXPECT_TRUE(Gamepads::IsOpen(pad.Id()));
    // Held already when it was opened.
    EXPECT_TRUE(Gamepads::IsHeld(pad.Id(), South));
}

TEST_F(VirtualPads, PadsPluggedWhileRunningPlayAndLeaveByInstanceId) {
    Poll();
    ASSERT_EQ(Gamepads::Count(), 0u);
    VirtualPad a, b;
    Poll();
    EXPECT_TRUE(Gamepads::IsOpen(a.Id()));
    EXPECT_TRUE(Gamepads::IsOpen(b.Id()));
    EXPECT_EQ(RemovedInTwoSteps(), (std::pair{false, false})) << "arrivals";

    // b moves to a's index; its id stays.
    a.Unplug();
    Poll();
    EXPECT_FALSE(Gamepads::IsOpen(a.Id()));
    EXPECT_TRUE(Gamepads::IsOpen(b.Id()));
    EXPECT_FALSE(Gamepads::WasRemoved()) << "before the step that follows";
    EXPECT_EQ(RemovedInTwoSteps(), (std::pair{true, false})) << "the step after it alone";
    // A scene changed in between drops presses, not a pad's leaving.
    VirtualPad gone;
    Poll();
    b.Button(SDL_CONTROLLER_BUTTON_A, true);
    gone.Unplug();
    Poll();
    Input::DropPending();
    Input::BeginStep();
    EXPECT_TRUE(Gamepads::WasRemoved());
    EXPECT_FALSE(Gamepads::WasPressed(b.Id(), South));
    Input::EndStep();
    EXPECT_EQ(RemovedInTwoSteps(), (std::pair{false, false})) << "told once";
    b.Button(SDL_CONTROLLER_BUTTON_A, false);
    Poll();

    VirtualPad c;
    ASSERT_NE(c.Index(), c.Id()) << "the case that tells an index from an id";
    Poll();
    c.Button(SDL_CONTROLLER_BUTTON_A, true);
    b.Axis(SDL_CONTROLLER_AXIS_LEFTX, 9000);
    Poll();
    EXPECT_TRUE(Gamepads::IsHeld(c.Id(), South));
    EXPECT_TRUE(Gamepads::IsHeld(b.Id(), StickRight));
    EXPECT_EQ(Gamepads::Count(), 2u);

    c.Unplug();
    Poll();
    EXPECT_FALSE(Gamepads::IsHeld(South));
    EXPECT_TRUE(Gamepads::IsHeld(StickRight));
    b.Axis(SDL_CONTROLLER_AXIS_LEFTX, 6000);
    Poll();
    EXPECT_FALSE(Gamepads::IsHeld(StickRight));
}

TEST_F(VirtualPads, APadArrivingAsAnotherLeavesIsOpened) {
    VirtualPad a;
    Poll();
    VirtualPad b; // announced at index 1, which a's leaving takes away
    a.Unplug();
    Poll();
    EXPECT_TRUE(Gamepads::IsOpen(b.Id()));
    EXPECT_EQ(Gamepads::Count(), 1u);
    b.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    Poll();
    EXPECT_TRUE(Gamepads::IsHeld(DPadRight));
}

// A player's pad pulled out and plugged back in comes back under a new id:
// its slot, and a map of the player's actions, must find it again.
TEST_F(VirtualPads, APadPluggedBackInGetsItsSlotBack) {
    VirtualPad a, other(VirtualPad::Unmapped);
    Poll();
    ASSERT_EQ(Gamepads::Slot(a.Id()), 0);
    ASSERT_EQ(Gamepads::Slot(other.Id()), 1);
    EXPECT_EQ(Gamepads::Name(a.Id()), "Test pad");
    ActionMap player;
    player.BindPad(0, South);
    player.UsePad(0);

    a.Unplug();
    Poll();
    EXPECT_EQ(Gamepads::InSlot(0), -1) << "empty while its pad is out";
    other.Button(SDL_CONTROLLER_BUTTON_A, true);
    Poll();
    EXPECT_FALSE(player.IsHeld(0)) << "another pad's button";
    VirtualPad unlike(VirtualPad::Unmapped), back;
    Poll();
    EXPECT_EQ(Gamepads::Slot(unlike.Id()), 2) << "a pad of another kind takes a new slot";
    EXPECT_EQ(Gamepads::Slot(back.Id()), 0);
    EXPECT_EQ(Gamepads::Ids(), (std::vector{back.Id(), other.Id(), unlike.Id()}));
    back.Button(SDL_CONTROLLER_BUTTON_A, true);
    Poll();
    EXPECT_TRUE(player.IsHeld(0)) << "the same player's pad again";
}

TEST_F(VirtualPads, AJoystickSDLHasNoMappingForPlaysWithTheCommonLayoutUntilGivenOne) {
    constexpr PadInput DPadUp = PadInput::Button(SDL_CONTROLLER_BUTTON_DPAD_UP);
    constexpr PadInput StickUp = PadInput::AxisNegative(SDL_CONTROLLER_AXIS_LEFTY);
    // Its ids (0 and 0) unpadded, as SDL reads them too.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES, "0x1234/0x5678,0x0/0x0");
    {
        VirtualPad ignored(VirtualPad::Unmapped);
        Poll();
        EXPECT_EQ(Gamepads::Count(), 0u) << "a pad the user has SDL leave out";
    }
    SDL_ResetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES);
    Poll();
    VirtualPad pad(VirtualPad::Unmapped);
    pad.RawAxis(1, -32768); // resting at its end, as on a device that only looks like a pad
    pad.RawButton(0, true);
    pad.Hat(SDL_HAT_RIGHTUP);
    Poll();
    ASSERT_TRUE(Gamepads::IsOpen(pad.Id())) << "plugged in, not left out";
    EXPECT_TRUE(Gamepads::IsHeld(South)) << "its first button is A";
    EXPECT_TRUE(Gamepads::IsHeld(DPadRight)) << "its hat is the D-pad";
    EXPECT_TRUE(Gamepads::IsHeld(DPadUp));
    EXPECT_FALSE(Gamepads::IsHeld(StickUp)) << "an axis resting at its end is left out";
    pad.RawAxis(0, -20000);
    Poll();
    EXPECT_TRUE(Gamepads::IsHeld(StickLeft)) << "its first axis is the stick";

    // A mapping of its own, given while the first button and the hat are
    // held: SDL sends no release for what the old mapping held.
    pad.Map("a:b2,leftx:a0,lefty:a1");
    Poll();
    EXPECT_FALSE(Gamepads::IsHeld(South));
    EXPECT_FALSE(Gamepads::IsHeld(DPadRight));
    EXPECT_TRUE(Gamepads::IsHeld(StickLeft));
    pad.RawButton(2, true);
    Poll();
    EXPECT_TRUE(Gamepads::IsHeld(South));

    pad.Unplug();
    Poll();
    EXPECT_FALSE(Gamepads::IsOpen(pad.Id()));
    EXPECT_FALSE(Gamepads::IsHeld(South));
}

// A rumble reaches the motors at its strengths and stops when its time is
// up; pads that cannot rumble, and pads gone, say so and take no harm.
TEST_F(VirtualPads, RumbleReachesThePadsThatHaveMotors) {
    VirtualPad shaker(VirtualPad::Mapped, true), still;
    Poll();
    constexpr SDL_JoystickID Gone = 12345;
    struct Call {
        std::function<bool()> rumble;
        bool can;
        std::pair<int, int> motors;
        const char* what;
    } calls[] = {
        {[&] { return Gamepads::Rumble(shaker.Id(), 0.5f, 1, 10); },
         true,
         {32768, 65535},
         "half heavy, full light"},
        {[&] { return Gamepads::Rumble(still.Id(), 1, 1, 10); },
         false,
         {32768, 65535},
         "a pad without motors"},
        {[&] { return Gamepads::Rumble(Gone, 1, 1, 10); }, false, {32768, 65535}, "a pad not open"},
        {[] { return Gamepads::Rumble(NAN, 7, INFINITY); },
         true,
         {0, 65535},
         "every pad, out of range: one can"},
        {[&] { return Gamepads::Rumble(shaker.Id(), 1, 1, 0); }, true, {0, 0}, "no time stops"},
        {[&] { return Gamepads::Rumble(shaker.Id(), 0.25f, -1, NAN); },
         true,
         {0, 0},
         "not a number of seconds stops"},
        {[&] { return Gamepads::Rumble(shaker.Id(), 0.25f, -1, 1e-6); },
         true,
         {16384, 0},
         "a moment"},
    };
    for (const Call& c : calls) {
        EXPECT_EQ(c.rumble(), c.can) << c.what;
        EXPECT_EQ(shaker.Rumbling(), c.motors) << c.what;
    }
    // The moment, rounded up to a millisecond rather than down to SDL's
    // rumble without end, is over at a later poll.
    for (int i = 0; i < 100 && shaker.Rumbling() != std::pair{0, 0}; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Poll();
    }
    EXPECT_EQ(shaker.Rumbling(), (std::pair{0, 0}));

    Gamepads::Attach(Gone);
    EXPECT_FALSE(Gamepads::Rumble(Gone, 1, 1, 1)) << "a pad without a device";
    Gamepads::CloseAll();
    SDL_Quit();
    EXPECT_FALSE(Gamepads::Rumble(1, 1, 1)) << "no pads, no SDL";
}

} // namespace
