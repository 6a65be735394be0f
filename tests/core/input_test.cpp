#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include <engine/core/Engine.h>
#include <engine/core/Gamepad.h>
#include <engine/core/Input.h>

using namespace Engine;

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Input::Clear();
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        SDL_Quit();
        Input::Clear();
    }

    static void Push(Uint32 type, SDL_Keycode key = 0) {
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }

    ::Engine::Engine engine{1280, 720};
};

TEST_F(InputTest, KeyStateFollowsTheLastEventOfThePoll) {
    bool quit = false;
    Push(SDL_KEYDOWN, SDLK_d);
    Push(SDL_KEYDOWN, SDLK_d); // key repeat
    engine.ProcessInput(&quit);
    EXPECT_TRUE(Input::IsKeyPressed(100));

    // Pressed and released within one poll: released for the whole iteration.
    Push(SDL_KEYDOWN, SDLK_a);
    Push(SDL_KEYUP, SDLK_a);
    Push(SDL_KEYUP, SDLK_d);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(Input::IsKeyPressed(0x61));
    EXPECT_FALSE(Input::IsKeyPressed(100));
    EXPECT_FALSE(quit);
}

TEST_F(InputTest, QuitArrivesWithTheKeysOfTheSamePoll) {
    bool quit = false;
    Push(SDL_KEYDOWN, SDLK_SPACE);
    Push(SDL_QUIT);
    engine.ProcessInput(&quit);
    EXPECT_TRUE(quit);
    EXPECT_TRUE(Input::IsKeyPressed(32));
}

TEST_F(InputTest, OtherEventsChangeNothing) {
    bool quit = false;
    Push(SDL_MOUSEBUTTONDOWN);
    Push(SDL_MOUSEMOTION);
    engine.ProcessInput(&quit);
    EXPECT_FALSE(quit);
    EXPECT_EQ(Input::KeyCount(), 0u);
    EXPECT_FALSE(Input::IsMousePressed(1));
    EXPECT_EQ(Input::GetMousePos(), glm::vec2(0, 0));
    EXPECT_EQ(Input::GetMouseX(), 0.0f);
    EXPECT_EQ(Input::GetMouseY(), 0.0f);
}

// Runs iterations of the loop without a window: the events, then the steps
// that the frame time pays for, each recorded by what `observe` saw in it.
class EdgeTest : public InputTest {
protected:
    struct Recorder : Scene {
        std::function<std::string()> observe;
        std::string seen;
        void Build(::Engine::Engine&) override {}
        void Update() override { seen += "[" + observe() + "]"; }
        void Draw(const Uni<Renderer>&) override {}
    };

    void SetUp() override {
        InputTest::SetUp();
        Gamepads::Attach(PAD);
        engine.SetScene(recorder);
    }
    void TearDown() override {
        Gamepads::CloseAll();
        InputTest::TearDown();
    }

    // Iterations separated by spaces, each the events (D down, U up, K a key
    // repeat) and the frame time; the steps of each iteration as they saw the
    // input, "-" for an iteration without a step.
    std::string Run(const std::string& script, const std::function<void(char)>& push) {
        recorder->seen.clear();
        double acc = 0.0;
        std::istringstream in(script);
        std::string token;
        while (in >> token) {
            size_t time = token.find_first_not_of("DUK");
            for (char c : token.substr(0, time))
                push(c);
            bool quit = false;
            engine.ProcessInput(&quit);
            const size_t before = recorder->seen.size();
            ::Engine::Engine::Advance(acc, std::stod(token.substr(time)), 0.01,
                                      [&](double dt) { engine.Update(dt); });
            if (recorder->seen.size() == before)
                recorder->seen += "-";
            recorder->seen += " ";
            outside += recorder->observe() + " ";
        }
        return recorder->seen;
    }

    static constexpr SDL_JoystickID PAD = 7;
    Ref<Recorder> recorder = CreateRef<Recorder>();
    std::string outside; // what observe saw after each iteration, between frames
};

// A press and a release between two steps are each seen once, in the first
// step that runs after them, however many iterations pass without a step;
// the state itself (IsKeyPressed) follows the last event, as it always did.
// The same for keys, mouse buttons and pad buttons.
TEST_F(EdgeTest, EveryPressAndReleaseIsSeenInExactlyOneStep) {
    auto flags = [](bool pressed, bool released, bool down) {
        return std::string(pressed ? "p" : "") + (released ? "r" : "") + (down ? "d" : "");
    };
    const PadInput a = PadInput::Button(SDL_CONTROLLER_BUTTON_A);
    struct Kind {
        const char* name;
        std::function<void(char)> push;
        std::function<std::string()> observe;
    };
    const Kind kinds[] = {
        {"key",
         [](char c) {
             SDL_Event e{};
             e.type = c == 'U' ? SDL_KEYUP : SDL_KEYDOWN;
             e.key.keysym.sym = SDLK_SPACE;
             e.key.repeat = c == 'K';
             SDL_PushEvent(&e);
         },
         [&] {
             return flags(Input::WasKeyPressed(SDLK_SPACE), Input::WasKeyReleased(SDLK_SPACE),
                          Input::IsKeyPressed(SDLK_SPACE));
         }},
        {"mouse",
         [](char c) {
             SDL_Event e{};
             e.type = c == 'U' ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN;
             e.button.button = SDL_BUTTON_RIGHT;
             SDL_PushEvent(&e);
         },
         [&] {
             return flags(Input::WasMousePressed(SDL_BUTTON_RIGHT),
                          Input::WasMouseReleased(SDL_BUTTON_RIGHT),
                          Input::IsMouseButtonDown(SDL_BUTTON_RIGHT));
         }},
        {"pad",
         [](char c) {
             SDL_Event e{};
             e.type = c == 'U' ? SDL_CONTROLLERBUTTONUP : SDL_CONTROLLERBUTTONDOWN;
             e.cbutton.which = PAD;
             e.cbutton.button = SDL_CONTROLLER_BUTTON_A;
             e.cbutton.state = c == 'U' ? SDL_RELEASED : SDL_PRESSED;
             SDL_PushEvent(&e);
         },
         [&] {
             return flags(Gamepads::WasPressed(a), Gamepads::WasReleased(PAD, a),
                          Gamepads::IsHeld(a));
         }},
    };
    const std::pair<const char*, const char*> cases[] = {
        {"DU0.01", "[pr] "},                      // a tap between two steps
        {"D0.004 U0.004 0.004", "- - [pr] "},     // iterations without a step
        {"D0.035 U0.01", "[pd][d][d] [r] "},      // several steps: the first sees it
        {"DUD0.01 U0.01", "[prd] [r] "},          // down again before the step
        {"D0.004 0.016 U0.01", "- [pd][d] [r] "}, // the edge waits, then one step has it
    };
    for (const Kind& kind : kinds) {
        recorder->observe = kind.observe;
        for (const auto& [script, seen] : cases)
            EXPECT_EQ(Run(script, kind.push), seen) << kind.name << ": " << script;
    }
    // A key held down repeats without being pressed again.
    recorder->observe = kinds[0].observe;
    EXPECT_EQ(Run("D0.01 K0.01 KU0.01", kinds[0].push), "[pd] [d] [r] ");
    // A text field's BACKSPACE sees the press and each repeat, not the release.
    recorder->observe = [] { return Input::WasKeyPressedOrRepeated(SDLK_SPACE) ? "y" : "n"; };
    EXPECT_EQ(Run("D0.01 0.01 K0.01 KK0.01 U0.01", kinds[0].push), "[y] [n] [y] [y] [n] ");
    // Between steps, where frames are drawn, no edge shows.
    EXPECT_EQ(outside.find_first_of("pr"), std::string::npos) << outside;
}

// A press keeps the time it was made, whichever step sees it: the first of
// those one step sees, for keys, pad buttons and the actions bound to them.
TEST_F(EdgeTest, PressesKeepTheTimeTheyWereMade) {
    const PadInput a = PadInput::Button(SDL_CONTROLLER_BUTTON_A);
    ActionMap lane;
    lane.BindKey(0, SDLK_d);
    lane.BindPad(0, a);
    const Uint32 now = SDL_GetTicks();
    auto key = [](Uint32 type, Uint32 at, bool repeat = false) {
        SDL_Event e{};
        e.type = type;
        e.key.timestamp = at;
        e.key.keysym.sym = SDLK_d;
        e.key.repeat = repeat;
        Input::HandleEvent(e);
    };
    key(SDL_KEYDOWN, now - 400);
    key(SDL_KEYUP, now - 350);
    key(SDL_KEYDOWN, now - 300);
    key(SDL_KEYDOWN, now - 200, true);
    SDL_Event e{};
    e.type = SDL_CONTROLLERBUTTONDOWN;
    e.cbutton.timestamp = now - 250;
    e.cbutton.which = PAD;
    e.cbutton.button = SDL_CONTROLLER_BUTTON_A;
    e.cbutton.state = SDL_PRESSED;
    Gamepads::HandleEvent(e);
    Input::BeginStep();
    EXPECT_NEAR(Input::SecondsSinceKeyPressed(SDLK_d), 0.4, 0.05);
    EXPECT_NEAR(Gamepads::SecondsSincePressed(a), 0.25, 0.05);
    EXPECT_NEAR(lane.SecondsSincePressed(0), 0.4, 0.05);
    EXPECT_EQ(Input::SecondsSinceKeyPressed(SDLK_f), 0.0);
    Input::EndStep();
    EXPECT_EQ(lane.SecondsSincePressed(0), 0.0) << "outside a step";
}

// The pointer follows motion and buttons; the wheel adds up until a step
// takes it, system scrolling direction undone.
TEST_F(EdgeTest, MousePositionAndWheel) {
    recorder->observe = [] {
        glm::vec2 at = Input::GetMousePosition();
        std::ostringstream out;
        out << at.x << "," << at.y << " " << Input::GetMouseWheelMove();
        return out.str();
    };
    auto push = [](char c) {
        SDL_Event e{};
        if (c == 'D') { // moves to (10, 20) and turns the wheel two notches away
            e.type = SDL_MOUSEMOTION;
            e.motion.x = 10;
            e.motion.y = 20;
            SDL_PushEvent(&e);
            e = {};
            e.type = SDL_MOUSEWHEEL;
            e.wheel.preciseY = 2.0f;
            SDL_PushEvent(&e);
        } else { // clicks at (30, 40), and half a notch back on a flipped wheel
            e.type = SDL_MOUSEBUTTONDOWN;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.x = 30;
            e.button.y = 40;
            SDL_PushEvent(&e);
            e = {};
            e.type = SDL_MOUSEWHEEL;
            e.wheel.preciseY = 0.5f;
            e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
            SDL_PushEvent(&e);
        }
    };
    EXPECT_EQ(Run("D0.005", push), "- ");
    EXPECT_EQ(Run("U0.025 0.01", push), "[30,40 1.5][30,40 0] [30,40 0] ");
    // Between steps the position is the last one and the wheel reads 0.
    EXPECT_EQ(outside, "10,20 0 30,40 0 30,40 0 ");

    // The move since the step before, in the view's pixels under a letterbox
    // showing it at twice its size; the first event counts none, and a view
    // placed anew moves no pointer.
    Input::Clear();
    Input::SetMouseLetterbox({{100, 0}, {640, 480}, {320, 240}});
    outside.clear();
    recorder->observe = [] {
        std::ostringstream out;
        out << Input::GetMouseDelta().x << "," << Input::GetMouseDelta().y;
        return out.str();
    };
    const glm::ivec2 path[] = {{300, 100}, {340, 120}, {360, 120}};
    size_t next = 0;
    auto move = [&](char) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = path[next].x;
        e.motion.y = path[next++].y;
        SDL_PushEvent(&e);
    };
    EXPECT_EQ(Run("D0.005 D0.01 D0.03", move), "- [20,10] [10,0][0,0][0,0] ");
    Input::SetMouseLetterbox({{0, 0}, {320, 240}, {320, 240}});
    EXPECT_EQ(Run("0.01", move), "[0,0] ");
    EXPECT_EQ(outside.find_first_not_of("0, "), std::string::npos) << outside;
}

// Typed text goes to the first step after it, as edges do; it is bounded
// without splitting a character, and the event's array is not read past its
// end when it lacks a terminator.
TEST_F(EdgeTest, TypedTextIsSeenInOneStepAndBounded) {
    auto text = [](const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        return e;
    };
    recorder->observe = [] { return Input::GetTypedText(); };
    const std::string acute = "\xC3\xA9", euro = "\xE2\x82\xAC"; // "é", "€"
    auto push = [&](char c) {
        SDL_Event e = text((c == 'D' ? acute : "a" + euro).c_str());
        SDL_PushEvent(&e);
    };
    EXPECT_EQ(Run("D0.01", push), "[" + acute + "] ");
    EXPECT_EQ(Run("D0.004 U0.004 0.004", push), "- - [" + acute + "a" + euro + "] ");
    EXPECT_EQ(Run("DD0.025", push), "[" + acute + acute + "][] ");
    EXPECT_EQ(outside, "     "); // nothing between steps

    // A flood: whole characters up to the bound, the rest dropped.
    SDL_Event full = text("");
    std::memset(full.text.text, 'x', sizeof full.text.text); // no terminator
    for (int i = 0; i < 7; ++i)
        Input::HandleEvent(full);                                // 224 bytes
    Input::HandleEvent(text("0123456789012345678901234567890")); // 255 bytes
    Input::HandleEvent(text(euro.c_str()));                      // no room: dropped whole
    Input::HandleEvent(text("yz"));                              // one byte fits
    Input::BeginStep();
    std::string kept(224, 'x');
    kept += "0123456789012345678901234567890y";
    EXPECT_EQ(Input::GetTypedText(), kept);
    Input::EndStep();

    Input::HandleEvent(text("q"));
    Input::Clear();
    Input::BeginStep();
    EXPECT_EQ(Input::GetTypedText(), "");
    Input::EndStep();
}

TEST(KeyTable, UnknownKeyReadsReleasedAndIsRemembered) {
    Input::Clear();
    EXPECT_FALSE(Input::IsKeyPressed(0x71));
    EXPECT_EQ(Input::KeyCount(), 1u);
    Input::UpdateKey(0x71, true);
    EXPECT_TRUE(Input::IsKeyPressed(0x71));
    EXPECT_EQ(Input::KeyCount(), 1u);
    Input::Clear();
}

} // namespace
