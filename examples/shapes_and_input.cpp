// Shapes and input: what the immediate drawing calls draw and what the input calls report, on
// screen. Rectangles, outlines, lines and circles; triangles, polygons, polylines, rounded and
// gradient rectangles, outlined under the pointer as the overlap tests find them; a sprite as it
// is, tinted, flipped and turned; text in its three alignments; the mouse's position, buttons and wheel; SPACE's
// presses and releases counted from the latched edges, beside a count made by polling, which
// misses taps shorter than a step; a line of typed text; the draw calls and quads of the last
// frame. F12 saves the frame as shapes_and_input.png. The window can be resized, and F11 makes
// it full screen; ESC quits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/core/Window.h>
#include <engine/render/Draw.h>
#include <engine/render/Overlap.h>
#include <engine/render/Texture.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;
using Draw::Align;

constexpr int WIDTH = 960, HEIGHT = 700;
constexpr Color LABEL{150, 160, 170, 255};

// printf into a string, for the lines that show numbers.
template <typename... Args> std::string Format(const char* format, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, format, args...);
    return line;
}

class ShapesAndInput : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        // Four frames of 64 by 64 pixels side by side; each region draws as a sprite of its own.
        m_frames = CutSheetRegions(Texture2D::Create(EXAMPLE_ASSETS "walker.png"), 64, 64);
    }

    void Update() override {
        m_seconds += Time::dt;
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_F11))
            m_engine->GetWindow()->ToggleFullscreen();
        // Saved at the end of the next frame's drawing, where the frame is whole.
        if (Input::WasKeyPressed(SDLK_F12))
            m_shotAsked = true;

        // Whatever the keyboard types, in UTF-8; BACKSPACE takes the last character off.
        m_typed += Input::GetTypedText();
        if (Input::WasKeyPressed(SDLK_BACKSPACE) && !m_typed.empty()) {
            size_t last = m_typed.size() - 1;
            while (last > 0 && (static_cast<unsigned char>(m_typed[last]) & 0xC0) == 0x80)
                --last; // the bytes after a character's first
            m_typed.erase(last);
        }

        // A press and a release are each seen by one step, however short the tap (two taps
        // within one frame are seen as one).
        m_pressed += Input::WasKeyPressed(SDLK_SPACE);
        m_released += Input::WasKeyReleased(SDLK_SPACE);
        // Polling sees only whether the key is down when the step runs.
        const bool down = Input::IsKeyPressed(SDLK_SPACE);
        m_polled += down && !m_wasDown;
        m_wasDown = down;

        for (int b = 0; b < 3; ++b)
            m_clicks[b] += Input::WasMousePressed(BUTTONS[b]);
        m_wheel += Input::GetMouseWheelMove();
    }

    void Draw(const Uni<Renderer>&) override {
        // The drawable follows the window; screen coordinates are its pixels.
        const glm::vec2 size = m_engine->GetWindow()->GetDrawableSize();
        Draw::RectLines({0, 0, size.x, size.y}, SKYBLUE, 2);
        Draw::Text("Shapes and input", {20, 12}, 30, WHITE);
        Draw::Text("resize me   F11 full screen   F12 screenshot   ESC quits", {size.x - 20, 22},
                   16, LABEL, Align::Right);

        Shapes({20, 70});
        Sprites({500, 70});
        Mouse({20, 280});
        MoreShapes({500, 280});
        Keys({20, 450});
        Texts({500, 450});
        Typed({20, 560});

        const Draw::Stats stats = Draw::GetStats();
        Draw::Text(Format("last frame: %llu draw calls, %llu quads   %.0f frames a second   "
                          "window %.0f x %.0f",
                          static_cast<unsigned long long>(stats.drawCalls),
                          static_cast<unsigned long long>(stats.quads), m_engine->GetFrameRate(),
                          size.x, size.y),
                   {20, size.y - 34}, 18, LIGHTGRAY);

        // The pointer, over everything else.
        const glm::vec2 mouse = Input::GetMousePosition();
        Draw::Line(mouse - glm::vec2(12, 0), mouse + glm::vec2(13, 0), YELLOW, 2);
        Draw::Line(mouse - glm::vec2(0, 12), mouse + glm::vec2(0, 13), YELLOW, 2);
        Draw::CircleLines(mouse, RING, YELLOW);

        if (m_shotAsked) {
            m_shotAsked = false;
            m_shotSaved = m_engine->GetWindow()->TakeScreenshot("shapes_and_input.png") ? 1 : -1;
        }
    }

    void Release() override { m_frames.clear(); }

private:
    static constexpr uint8_t BUTTONS[3] = {SDL_BUTTON_LEFT, SDL_BUTTON_MIDDLE, SDL_BUTTON_RIGHT};
    static constexpr float RING = 14; // the radius of the ring about the pointer

    static void Heading(const char* text, glm::vec2 at) { Draw::Text(text, at, 16, LABEL); }

    void Shapes(glm::vec2 at) const {
        Heading("Rect, RectLines, Line, Circle, CircleLines", at);
        Draw::Rect({at.x, at.y + 28, 120, 70}, SKYBLUE);
        Draw::RectLines({at.x + 140, at.y + 28, 120, 70}, GOLD, 4);
        Draw::Line(at + glm::vec2(280, 28), at + glm::vec2(420, 98), ORANGE, 4);
        Draw::Line(at + glm::vec2(280, 98), at + glm::vec2(420, 28), LIME);
        // Where the two lines cross.
        if (const auto cross = Overlap::Segments(at + glm::vec2(280, 28), at + glm::vec2(420, 98),
                                                 at + glm::vec2(280, 98), at + glm::vec2(420, 28)))
            Draw::CircleLines(*cross, 6, WHITE, 2);
        Draw::Circle(at + glm::vec2(60, 150), 40, RED);
        Draw::CircleLines(at + glm::vec2(200, 150), 40, PINK, 5);
        // Colours blend by their alpha: a half-transparent band over a disc.
        Draw::Circle(at + glm::vec2(350, 150), 40, BLUE);
        Draw::Rect({at.x + 290, at.y + 135, 120, 30}, Color{255, 255, 255, 128});
    }

    // Each shape outlined in white while the pointer is in it, or its ring about the pointer
    // touches it; the zigzag marks where the pointer's cross meets it.
    static void MoreShapes(glm::vec2 at) {
        Heading("Triangle, Polygon, PolygonLines, RectRounded, -Gradient", at);
        const glm::vec2 mouse = Input::GetMousePosition();
        constexpr Color LIT = WHITE;

        const glm::vec2 a = at + glm::vec2(0, 110), b = at + glm::vec2(45, 30),
                        c = at + glm::vec2(90, 110);
        Draw::Triangle(a, b, c, GOLD);
        if (Overlap::PointInTriangle(mouse, a, b, c))
            Draw::TriangleLines(a, b, c, LIT, 3);

        // A star: concave, filled by cutting it into triangles.
        glm::vec2 star[10];
        for (int i = 0; i < 10; ++i) {
            const float angle = float(i) * 0.6283185f - 1.5707963f, r = i % 2 ? 17.0f : 42.0f;
            star[i] = at + glm::vec2(155, 70) + r * glm::vec2(std::cos(angle), std::sin(angle));
        }
        Draw::Polygon(star, VIOLET);
        if (Overlap::PointInPolygon(mouse, star))
            Draw::PolygonLines(star, LIT, 3);

        const glm::vec2 disc = at + glm::vec2(250, 70);
        Draw::Circle(disc, 38, DARKGREEN);
        if (Overlap::Circles(mouse, RING, disc, 38))
            Draw::CircleLines(disc, 38, LIT, 3);

        const Rectangle rounded{at.x + 310, at.y + 30, 130, 80};
        Draw::RectRounded(rounded, 18, MAROON);
        if (Overlap::CircleRect(mouse, RING, rounded))
            Draw::RectLines(rounded, LIT, 3);

        const glm::vec2 zigzag[] = {at + glm::vec2(0, 170),  at + glm::vec2(30, 125),
                                    at + glm::vec2(60, 170), at + glm::vec2(90, 125),
                                    at + glm::vec2(120, 170)};
        Draw::PolygonLines(zigzag, PINK, 3, false);
        for (size_t i = 0; i + 1 < std::size(zigzag); ++i)
            for (const glm::vec2 arm : {glm::vec2(13, 0), glm::vec2(0, 13)})
                if (const auto hit =
                        Overlap::Segments(zigzag[i], zigzag[i + 1], mouse - arm, mouse + arm))
                    Draw::Circle(*hit, 4, LIT);

        const Rectangle gradient{at.x + 150, at.y + 125, 130, 45};
        Draw::RectGradient(gradient, SKYBLUE, PURPLE, ORANGE, DARKBLUE);
        if (gradient.Contains(mouse))
            Draw::RectLines(gradient, LIT, 3);
        Draw::Text("Overlap: outlined", at + glm::vec2(300, 130), 14, LABEL);
        Draw::Text("under the pointer", at + glm::vec2(300, 150), 14, LABEL);
    }

    void Sprites(glm::vec2 at) const {
        Heading("Sprite: as it is, tinted, flipped, turned", at);
        if (m_frames.empty())
            return;
        const Ref<Texture>& frame = m_frames[size_t(m_seconds * 8) % m_frames.size()];
        const char* labels[5] = {"plain", "tinted", "flip H", "flip V", "turned"};
        for (int i = 0; i < 5; ++i) {
            const Rectangle dest{at.x + 88 * float(i), at.y + 36, 80, 80};
            if (i == 4) {
                // Turned about its centre: the origin is a point of the rectangle, placed at
                // (dest.x, dest.y).
                const float angle = float(std::fmod(m_seconds * 90, 360.0));
                Draw::Sprite(frame, {0, 0, 64, 64},
                             {dest.x + 40, dest.y + 40, dest.width, dest.height}, {40, 40}, angle);
            } else {
                const Draw::Flip flip = i == 2   ? Draw::Flip::Horizontal
                                        : i == 3 ? Draw::Flip::Vertical
                                                 : Draw::Flip::None;
                Draw::Sprite(frame, dest, i == 1 ? SKYBLUE : WHITE, flip);
            }
            Draw::Text(labels[i], {dest.x + 40, dest.y + 96}, 14, LABEL, Align::Center);
        }
    }

    static void Texts(glm::vec2 at) {
        Heading("Text: the alignments, against the grey guide", at);
        const float guide = at.x + 220;
        Draw::Line({guide, at.y + 28}, {guide, at.y + 140}, GRAY, 2);
        Draw::Text("Align::Left starts here", {guide, at.y + 32}, 20, WHITE, Align::Left);
        Draw::Text("Align::Center", {guide, at.y + 68}, 20, WHITE, Align::Center);
        Draw::Text("Align::Right ends here", {guide, at.y + 104}, 20, WHITE, Align::Right);
    }

    void Mouse(glm::vec2 at) const {
        Heading("Mouse: position, buttons, clicks, wheel", at);
        const glm::vec2 mouse = Input::GetMousePosition();
        Draw::Text(Format("at %.0f, %.0f", mouse.x, mouse.y), at + glm::vec2(0, 28), 20, WHITE);
        const char* names[3] = {"left", "middle", "right"};
        for (int b = 0; b < 3; ++b) {
            // Filled while held, outlined in white under the pointer; the count is of presses.
            const Rectangle box{at.x + 80 * float(b), at.y + 64, 70, 40};
            if (Input::IsMouseButtonDown(BUTTONS[b]))
                Draw::Rect(box, ORANGE);
            else
                Draw::RectLines(box, box.Contains(mouse) ? WHITE : ORANGE, 2);
            Draw::Text(names[b], {box.x + 35, box.y + 10}, 16, WHITE, Align::Center);
            Draw::Text(Format("%d clicks", m_clicks[b]), {box.x + 35, box.y + 48}, 14, LABEL,
                       Align::Center);
        }
        // The wheel sizes a disc.
        const float radius = std::clamp(24 + 4 * m_wheel, 4.0f, 44.0f);
        Draw::Circle(at + glm::vec2(330, 84), radius, Color{0, 200, 160, 255});
        Draw::Text(Format("wheel %+.0f", m_wheel), at + glm::vec2(330, 134), 14, LABEL,
                   Align::Center);
    }

    void Keys(glm::vec2 at) const {
        Heading("Keys: tap SPACE, as fast as you can", at);
        Draw::Text(Format("WasKeyPressed: %d   WasKeyReleased: %d", m_pressed, m_released),
                   at + glm::vec2(0, 28), 20, WHITE);
        Draw::Text(Format("polling IsKeyPressed each step: %d", m_polled), at + glm::vec2(0, 58),
                   20, m_polled == m_pressed ? WHITE : ORANGE);
        if (Input::IsKeyPressed(SDLK_SPACE))
            Draw::Rect({at.x + 440, at.y + 30, 24, 24}, LIME);
        else
            Draw::RectLines({at.x + 440, at.y + 30, 24, 24}, LIME, 2);
    }

    void Typed(glm::vec2 at) const {
        Heading("Text typed: Input::GetTypedText", at);
        const Rectangle field{at.x, at.y + 26, 420, 32};
        Draw::RectLines(field, LABEL, 2);
        // Longer than the field, the line shows its newest characters.
        const std::string line = m_typed + "_";
        if (Draw::MeasureText(line, 20) > field.width - 16)
            Draw::Text(line, {field.x + field.width - 8, field.y + 6}, 20, WHITE, Align::Right);
        else
            Draw::Text(line, {field.x + 8, field.y + 6}, 20, WHITE);
        if (m_shotSaved != 0)
            Draw::Text(m_shotSaved > 0 ? "F12: saved shapes_and_input.png"
                                       : "F12: could not save shapes_and_input.png",
                       at + glm::vec2(0, 66), 14, m_shotSaved > 0 ? LABEL : ORANGE);
    }

    ::Engine::Engine* m_engine = nullptr;
    std::vector<Ref<Texture>> m_frames;
    double m_seconds = 0;
    int m_pressed = 0, m_released = 0, m_polled = 0;
    bool m_wasDown = false;
    int m_clicks[3] = {0, 0, 0};
    float m_wheel = 0;
    std::string m_typed;
    bool m_shotAsked = false;
    int m_shotSaved = 0; // 1 saved, -1 failed, 0 not asked yet
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<ShapesAndInput>(), WIDTH, HEIGHT,
                                 "Shapes and input", {.resizable = true, .targetFrameRate = 60});
}
