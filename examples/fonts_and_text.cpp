// Fonts and text: a font of the program's own in several sizes, the three alignments against a
// guide line, a paragraph wrapped to a column, a line whose text changes every step, and text
// turned and styled. A text's position is the top of its
// first line, and its size is in pixels to the em; the engine's own font (Font::Default(), what
// Draw::Text uses without a font) is DejaVu Sans too.
#include <cstdio>
#include <string>
#include <utility>

#include <engine/core/Engine.h>
#include <engine/core/Time.h>
#include <engine/render/Draw.h>
#include <engine/text/Font.h>

#ifndef EXAMPLE_ASSETS
#define EXAMPLE_ASSETS "assets/"
#endif

namespace {

using namespace Engine;
using Draw::Align;

constexpr int WIDTH = 960;
constexpr int HEIGHT = 540;

class FontsAndText : public Scene {
public:
    void Build(::Engine::Engine&) override {
        // Every glyph is rasterised once, at Font::PIXEL_SIZE (64) pixels, and scaled to the
        // size asked for. A file that cannot be read gives a font that draws nothing.
        m_font = Font::loadFont(EXAMPLE_ASSETS "sans.ttf");
    }

    void Update() override {
        m_seconds += Time::dt;
        char line[64];
        std::snprintf(line, sizeof line, "running for %.2f s", m_seconds);
        m_clock = line;
    }

    void Draw(const Uni<Renderer>&) override {
        Draw::Text(m_font, "Fonts and text", {40, 20}, 64, WHITE);
        float y = 116;
        for (float size : {12.0f, 18.0f, 24.0f, 36.0f}) {
            Draw::Text(m_font, std::to_string(int(size)) + " px: the quick brown fox jumps",
                       {40, y}, size, WHITE);
            y += size + 8;
        }

        // Past Latin-1 each character comes from the font's own glyph, made on
        // first use: the euro, Greek, Cyrillic, Polish, an arrow.
        Draw::Text(m_font, "\u20AC 12,50 \u2192 \u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC, "
                           "\u0420\u0443\u0441\u0441\u043A\u0438\u0439, Za\u017C\u00F3\u0142\u0107 "
                           "g\u0119\u015Bl\u0105 ja\u017A\u0144",
                   {40, 262}, 24, WHITE);

        // A paragraph wrapped to a column, its box as large as MeasureTextWrapped says.
        const char* paragraph = "TextWrapped breaks a paragraph after its words to fit a column; "
                                "a word wider than the column, like /a/long/path/to/level.tmx, "
                                "is cut where it must.";
        const glm::vec2 box = Draw::MeasureTextWrapped(m_font, paragraph, 17, 250);
        Draw::RectLines({670, 110, 250 + 20, box.y + 20}, GRAY);
        Draw::TextWrapped(m_font, paragraph, {680, 120}, 17, 250, WHITE);

        // The alignments, each against the vertical guide at the view's centre.
        const float guide = WIDTH / 2.0f;
        Draw::Rect({guide - 1, 320, 2, 140}, WHITE);
        Draw::Text(m_font, "starts at the guide (Left)", {guide, 326}, 26, WHITE, Align::Left);
        Draw::Text(m_font, "centred on the guide (Center)", {guide, 376}, 26, WHITE, Align::Center);
        Draw::Text(m_font, "ends at the guide (Right)", {guide, 426}, 26, WHITE, Align::Right);
        // Rewritten every step, and underlined as wide as MeasureText says it is.
        const float width = Draw::MeasureText(m_font, m_clock, 19);
        Draw::Text(m_font, m_clock, {40, 492}, 19, WHITE);
        Draw::Rect({40, 516, width, 1}, GRAY);

        // Styled text: turned about its position (a point of the text from it
        // with .origin), and bold, italic, underlined or struck out, each word
        // after the last as wide as MeasureText measures it in its style.
        Draw::Text(m_font, "turned 8 degrees up", {660, 300}, 24, GOLD, {.rotation = -8});
        float x = 420;
        for (const auto& [word, style] :
             {std::pair<const char*, Draw::TextStyle>{"bold", {.bold = true}},
              {"italic", {.italic = true}},
              {"underlined", {.underline = true}},
              {"struck out", {.strikeout = true}}}) {
            Draw::Text(m_font, word, {x, 488}, 24, SKYBLUE, style);
            x += Draw::MeasureText(m_font, word, 24, style) + 16;
        }
    }

    // The font's glyphs are a GL texture: dropped while the context is current.
    void Release() override { m_font = Font(); }

private:
    Font m_font;
    std::string m_clock;
    double m_seconds = 0.0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<FontsAndText>(), WIDTH, HEIGHT,
                                 "Fonts and text", {.targetFrameRate = 60});
}
