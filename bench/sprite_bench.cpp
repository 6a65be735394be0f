// Sprites in the manner of the classic bunnymark, under the current X display.
// Run from anywhere:
//
//   sprite_bench [--rounds R] [--frames F] [--text]
//       N textured 2 x 2-pixel sprites move and bounce in a 1280 x 720 window,
//       for N = 1,000, 10,000 and 100,000. Each round times F frames drawn
//       through Draw::Sprite, each next to a frame of the floor: a minimal GL
//       program that moves the same sprites on the CPU, writes them into one
//       buffer each frame and draws them in one call. Both clear, swap and wait
//       for the GPU at the end of each frame. Prints the GL driver, the medians
//       over all rounds, their ratio and Draw's draw calls per frame.
//       Then 1,000 and 10,000 sprites that take turns between two textures,
//       so that every sprite needs a draw call of its own: the floor writes
//       them into one buffer too and binds each sprite's texture before its
//       call.
//       Then 1,000 and 10,000 sprites of one texture drawn into a 1280 x 720
//       RenderTarget that is then drawn over the window, against the same
//       sprites drawn straight to the window, frame by frame in turn.
//       Then 10,000 and 100,000 sprites cut as cells of a sheet, whose
//       texels are read within each cell's edges, against the same sprites of
//       the whole texture, frame by frame in turn.
//       Then text: 1,000 strings of 20 Latin-1 characters a frame through
//       Draw::Text against the yardstick, the same glyph quads through
//       Draw::Sprite, in the same run (the time of the calls on the CPU, and
//       whole frames); and 1,000 strings of Greek and Cyrillic, whose glyphs
//       the font rasterises on first use, timed once cold and then cached.
//       Then a grid roguelike's screen: 80 x 45 one-character strings, a
//       Draw::Text each, against the same glyphs through Draw::Sprite.
//       Then a visual novel's screen: 24 speeches wrapped and measured every
//       frame and one typed out, against the same lines wrapped beforehand.
//       --text runs the text rows alone. Last, a hostile string: 100,000
//       distinct characters from U+3400 on, twice, in the engine's font and,
//       with --font PATH, in a font that has them.

#include <stb_image_write.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include <engine/core/Engine.h>
#include <engine/render/Draw.h>
#include <engine/render/RenderTarget.h>
#include <engine/render/Texture.h>
#include <engine/text/Font.h>

#include "core/GLUtil.h"
#include "text/ExtraGlyphs.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace Engine;

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 720;
constexpr float SIDE = 2.0f;

struct Sprite {
    float x, y, vx, vy;
};

// The same start for both programs: a fixed sequence, no clock.
std::vector<Sprite> MakeSprites(size_t n) {
    std::vector<Sprite> s(n);
    uint32_t r = 12345;
    auto next = [&r] {
        r = r * 1664525u + 1013904223u;
        return static_cast<float>(r >> 8) / static_cast<float>(1u << 24);
    };
    for (Sprite& p : s)
        p = {next() * (WIDTH - SIDE), next() * (HEIGHT - SIDE), next() * 400 - 200,
             next() * 400 - 200};
    return s;
}

void Move(std::vector<Sprite>& sprites, float dt) {
    for (Sprite& p : sprites) {
        p.x += p.vx * dt;
        p.y += p.vy * dt;
        if (p.x < 0 || p.x > WIDTH - SIDE) {
            p.vx = -p.vx;
            p.x = std::clamp(p.x, 0.0f, WIDTH - SIDE);
        }
        if (p.y < 0 || p.y > HEIGHT - SIDE) {
            p.vy = -p.vy;
            p.y = std::clamp(p.y, 0.0f, HEIGHT - SIDE);
        }
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The floor: Draw's vertex layout, its projection and blending, one buffer
// written and drawn in one call a frame.
class Floor {
public:
    explicit Floor(uint32_t texture) : m_texture(texture) {
        const char* vs = R"(#version 330 core
layout(location = 0) in vec2 a_Position;
layout(location = 1) in vec2 a_TexCoord;
layout(location = 2) in vec4 a_Color;
uniform mat4 u_ViewProjection;
out vec2 v_TexCoord;
out vec4 v_Color;
void main() {
    v_TexCoord = a_TexCoord;
    v_Color = a_Color;
    gl_Position = u_ViewProjection * vec4(a_Position, 0.0, 1.0);
})";
        const char* fs = R"(#version 330 core
in vec2 v_TexCoord;
in vec4 v_Color;
uniform sampler2D u_Texture;
layout(location = 0) out vec4 color;
void main() {
    color = texture(u_Texture, v_TexCoord) * v_Color;
})";
        m_program = glCreateProgram();
        for (auto [type, src] : {std::pair{GL_VERTEX_SHADER, vs}, {GL_FRAGMENT_SHADER, fs}}) {
            const GLuint s = glCreateShader(type);
            glShaderSource(s, 1, &src, nullptr);
            glCompileShader(s);
            glAttachShader(m_program, s);
            glDeleteShader(s);
        }
        glLinkProgram(m_program);
        glUseProgram(m_program);
        // Screen pixels, origin top-left, y down.
        const glm::mat4 proj = glm::ortho(0.0f, float(WIDTH), float(HEIGHT), 0.0f, -1.0f, 1.0f);
        glUniformMatrix4fv(glGetUniformLocation(m_program, "u_ViewProjection"), 1, GL_FALSE,
                           &proj[0][0]);
        glCreateBuffers(1, &m_vbo);
        glCreateBuffers(1, &m_ibo);
    }
    ~Floor() {
        glDeleteBuffers(1, &m_vbo);
        glDeleteBuffers(1, &m_ibo);
        glDeleteProgram(m_program);
    }
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    // Sprite i is drawn with textures[i % textures.size()], one call a
    // sprite when they differ; the floor's texture alone when none are given.
    void Frame(const std::vector<Sprite>& sprites, const std::vector<uint32_t>& textures = {}) {
        const size_t n = sprites.size();
        if (m_indexed < n) {
            std::vector<uint32_t> indices(n * 6);
            for (size_t q = 0; q < n; ++q) {
                const auto b = static_cast<uint32_t>(q * 4);
                const uint32_t quad[6] = {b, b + 1, b + 2, b, b + 2, b + 3};
                std::memcpy(&indices[q * 6], quad, sizeof quad);
            }
            glNamedBufferData(m_ibo, static_cast<GLsizeiptr>(indices.size() * 4), indices.data(),
                              GL_STATIC_DRAW);
            m_indexed = n;
        }
        m_vertices.resize(n * 4);
        Vertex* v = m_vertices.data();
        for (const Sprite& p : sprites) {
            const float x1 = p.x + SIDE, y1 = p.y + SIDE;
            v[0] = {p.x, p.y, 0, 1, {255, 255, 255, 255}};
            v[1] = {x1, p.y, 1, 1, {255, 255, 255, 255}};
            v[2] = {x1, y1, 1, 0, {255, 255, 255, 255}};
            v[3] = {p.x, y1, 0, 0, {255, 255, 255, 255}};
            v += 4;
        }
        glUseProgram(m_program);
        glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(n * 4 * sizeof(Vertex)),
                     m_vertices.data(), GL_STREAM_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                              reinterpret_cast<const void*>(8));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                              reinterpret_cast<const void*>(16));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ibo);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        if (textures.size() > 1) {
            for (size_t i = 0; i < n; ++i) {
                glBindTextureUnit(0, textures[i % textures.size()]);
                glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT,
                               reinterpret_cast<const void*>(i * 6 * sizeof(uint32_t)));
            }
        } else {
            glBindTextureUnit(0, m_texture);
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(n * 6), GL_UNSIGNED_INT, nullptr);
        }
        glDisableVertexAttribArray(2);
    }

private:
    struct Vertex {
        float x, y, u, v;
        uint8_t rgba[4];
    };

    uint32_t m_texture;
    GLuint m_program = 0, m_vbo = 0, m_ibo = 0;
    size_t m_indexed = 0;
    std::vector<Vertex> m_vertices;
};

// What the engine's loop does each frame, with the sprites as its scene.
class Sprites : public Scene {
public:
    void Build(::Engine::Engine&) override {}
    void Update() override {}
    void Draw(const Uni<Renderer>&) override {
        if (text) {
            const auto t0 = Clock::now();
            text();
            calls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            return;
        }
        if (target) {
            Draw::BeginTarget(target, BLANK);
            for (const Sprite& p : *sprites)
                Draw::Sprite(texture, {p.x, p.y, SIDE, SIDE});
            Draw::EndTarget();
            Draw::Sprite(target, {0, 0, WIDTH, HEIGHT});
            return;
        }
        if (!others) {
            for (const Sprite& p : *sprites)
                Draw::Sprite(texture, {p.x, p.y, SIDE, SIDE});
            return;
        }
        for (size_t i = 0; i < sprites->size(); ++i) {
            const Sprite& p = (*sprites)[i];
            Draw::Sprite(i % 2 ? others : texture, {p.x, p.y, SIDE, SIDE});
        }
    }
    Ref<Texture> texture;
    Ref<Texture> others;      // when set, every other sprite is drawn with it
    Ref<RenderTarget> target; // when set, the sprites are drawn into it, and it to the window
    const std::vector<Sprite>* sprites = nullptr;
    std::function<void()> text; // when set, drawn instead of the sprites
    std::vector<double> calls;  // ms the text's calls took, a frame each
};

// 1,000 lines of 20 characters, UTF-8, at 16 pixels over the window.
constexpr float TEXT_SIZE = 16.0f;
glm::vec2 TextAt(size_t i) {
    return {float(i % 40) * 32.0f, float(i / 40) * 28.0f};
}
std::vector<std::string> Lines(const char* const (&words)[4]) {
    std::vector<std::string> out;
    for (size_t i = 0; i < 1000; ++i)
        out.push_back(std::string(words[i % 4]) + " " + std::to_string(100000 + i));
    return out;
}

// The yardstick of a line of ASCII: its glyphs as Draw::Text places them,
// each through Draw::Sprite.
void GlyphSprites(const Font& font, const std::string& line, glm::vec2 at) {
    const float scale = TEXT_SIZE / float(font.pixelSize);
    float x = 0;
    const float base = at.y + float(font.ascender) * scale;
    for (unsigned char c : line) {
        const Glyph& g = *font.glyphs[c];
        if (g.tex->getWidth() > 0)
            Draw::Sprite(g.tex,
                         Rectangle{at.x + (x + float(g.left)) * scale, base - float(g.top) * scale,
                                   g.tex->getWidth() * scale, g.tex->getHeight() * scale},
                         WHITE);
        x += float(g.advance);
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5, frames = 60;
    bool textOnly = false;
    const char* wideFont = nullptr; // a font with CJK glyphs, for the hostile string
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--text"))
            textOnly = true;
        else if (i + 1 < argc && !std::strcmp(argv[i], "--font"))
            wideFont = argv[++i];
        else if (i + 1 < argc && !std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (i + 1 < argc && !std::strcmp(argv[i], "--frames"))
            frames = std::max(1, std::atoi(argv[++i]));
    }

    ::Engine::Engine engine(WIDTH, HEIGHT, "Sprites");
    auto scene = CreateRef<Sprites>();
    engine.SetScene(scene);
    engine.InitializeGraphicsSubSystem();
    engine.Start();

    const std::string png = (std::filesystem::temp_directory_path() /
                             ("sprite_bench_" + std::to_string(getpid()) + ".png"))
                                .string();
    const unsigned char texels[16] = {255, 200, 200, 255, 200, 255, 200, 255,
                                      200, 200, 255, 255, 255, 255, 255, 255};
    stbi_write_png(png.c_str(), 2, 2, 4, texels, 8);
    scene->texture = Texture2D::Create(png);
    Ref<Texture> other = Texture2D::Create(png);
    std::filesystem::remove(png);

    std::printf("GL: %s, %s, %s\n", glGetString(GL_VENDOR), glGetString(GL_RENDERER),
                glGetString(GL_VERSION));
    std::printf("%d rounds of %d frames each; medians, ms a frame\n", rounds, frames);
    std::printf("%12s %10s %10s %7s %12s\n", "sprites", "Draw", "floor", "ratio", "draw calls");
    // Sprites of one texture, then of two in turn.
    const std::pair<size_t, bool> rows[] = {
        {1000, false}, {10000, false}, {100000, false}, {1000, true}, {10000, true}};
    for (auto [n, turns] : rows) {
        if (textOnly)
            break;
        std::vector<Sprite> drawn = MakeSprites(n), floored = drawn;
        scene->sprites = &drawn;
        scene->others = turns ? other : nullptr;
        std::vector<uint32_t> textures;
        if (turns)
            textures = {scene->texture->getID(), other->getID()};
        std::vector<double> drawTimes, floorTimes;
        uint64_t calls = 0;
        Floor floor(scene->texture->getID());
        const auto drawFrame = [&] {
            const auto t0 = Clock::now();
            Move(drawn, 1.0f / 60);
            engine.Render();
            glFinish();
            drawTimes.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            calls = Draw::GetStats().drawCalls;
        };
        const auto floorFrame = [&] {
            const auto t0 = Clock::now();
            Move(floored, 1.0f / 60);
            engine.GetRenderer()->SetClearColor(::Engine::Engine::CLEAR_COLOR);
            engine.GetRenderer()->Clear();
            floor.Frame(floored, textures);
            engine.GetWindow()->SwapBuffers();
            glFinish();
            floorTimes.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        };
        // Frame by frame, each first in turn, so that both meet the same load
        // of a shared machine.
        for (int round = 0; round < rounds; ++round)
            for (int f = 0; f < frames; ++f) {
                if ((round + f) % 2) {
                    drawFrame();
                    floorFrame();
                } else {
                    floorFrame();
                    drawFrame();
                }
            }
        const double d = Median(drawTimes), fl = Median(floorTimes);
        std::printf("%9zu%s %10.3f %10.3f %7.3f %12llu\n", n, turns ? " x2" : "   ", d, fl, d / fl,
                    static_cast<unsigned long long>(calls));
    }

    // Median frame times of the scene moving sprites as set(true) and
    // set(false) leave it,
    // frame by frame in turn, each first in turn, so that both meet the same
    // load of a shared machine.
    const auto AgainstEachOther = [&](std::vector<Sprite>& sprites, auto set) {
        std::vector<double> times[2]; // set(true), set(false)
        for (int round = 0; round < rounds; ++round)
            for (int f = 0; f < frames; ++f)
                for (int k = 0; k < 2; ++k) {
                    const bool on = (round + f + k) % 2;
                    set(on);
                    const auto t0 = Clock::now();
                    Move(sprites, 1.0f / 60);
                    engine.Render();
                    glFinish();
                    times[on ? 0 : 1].push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                }
        return std::pair(Median(times[0]), Median(times[1]));
    };

    // Through a target of the window's size, against straight to the window.
    if (!textOnly)
        std::printf("%12s %10s %10s %7s\n", "sprites", "target", "direct", "ratio");
    scene->others = nullptr;
    const Ref<RenderTarget> target = RenderTarget::Create(WIDTH, HEIGHT);
    for (size_t n : {size_t(1000), size_t(10000)}) {
        if (textOnly)
            break;
        std::vector<Sprite> sprites = MakeSprites(n);
        scene->sprites = &sprites;
        const auto [via, direct] = AgainstEachOther(
            sprites, [&](bool through) { scene->target = through ? target : nullptr; });
        std::printf("%12zu %10.3f %10.3f %7.3f\n", n, via, direct, via / direct);
    }
    scene->target.reset();

    // Cells of a sheet, read within their edges (the engine's other program,
    // their edges sent beside the vertices), against the same sprites of the
    // whole texture.
    if (!textOnly)
        std::printf("%12s %10s %10s %7s\n", "sprites", "cells", "whole", "ratio");
    const Ref<Texture> whole = scene->texture;
    const Ref<Texture> cell = CutSheetRegions(whole, 1, 1)[0];
    for (size_t n : {size_t(10000), size_t(100000)}) {
        if (textOnly)
            break;
        std::vector<Sprite> sprites = MakeSprites(n);
        scene->sprites = &sprites;
        const auto [cut, all] =
            AgainstEachOther(sprites, [&](bool cells) { scene->texture = cells ? cell : whole; });
        std::printf("%12zu %10.3f %10.3f %7.3f\n", n, cut, all, cut / all);
    }
    scene->texture = whole;

    // Text: the first use of each non-Latin glyph, then cached, then Latin-1
    // against its glyphs as sprites, frame by frame in turn.
    const std::vector<std::string> latin = Lines({"Score: caf\xC3\xA9 ", "Ni\xC3\xB1o \xC3\xA0 la",
                                                  "Gr\xC3\xB6\xC3\x9F"
                                                  "e 12",
                                                  "Hello, you"});
    const std::vector<std::string> foreign =
        Lines({"\xCE\xA3\xCE\xBA\xCE\xBF\xCF\x81: \xCE\xBA\xCE\xB1\xCF\x86\xCE\xAD\xCF\x82 ",
               "\xD0\x9D\xD0\xB8\xD0\xBD\xD1\x91 \xC3\xA0 \xD0\xBB\xD0\xB0",
               "\xCE\x93\xCF\x81\xCE\xAD\xCF\x83\xCE\xB5 12",
               "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD1\x82\xD1\x8B"});
    const Font& font = Font::Default();
    std::vector<double> times;
    const auto textFrame = [&](const std::function<void()>& text) {
        scene->text = text;
        const auto t0 = Clock::now();
        engine.Render();
        glFinish();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    };
    const auto drawLines = [&](const std::vector<std::string>& lines) {
        return [&lines] {
            for (size_t i = 0; i < lines.size(); ++i)
                Draw::Text(lines[i], TextAt(i), TEXT_SIZE, WHITE);
        };
    };
    // First use: the face opened with one glyph, then 1,000 glyphs new to
    // the font (U+0100 on, the combining accents left out), in one string.
    textFrame([] { Draw::Text("\xE2\x86\x92", {0, 0}, TEXT_SIZE, WHITE); });
    std::printf("first character past the first 256 (the face opened): %.3f ms\n",
                scene->calls.back());
    std::string fresh;
    for (char32_t c = 0x100, n = 0; n < 1000; ++c)
        if (c < 0x300 || c >= 0x370) {
            fresh += char(0xC0 | (c >> 6));
            fresh += char(0x80 | (c & 0x3F));
            ++n;
        }
    textFrame([&] { Draw::Text(fresh, {0, 0}, TEXT_SIZE, WHITE); });
    std::printf("1,000 characters new to the font, U+0100 on: %.3f ms, %.1f us each; the font "
                "now keeps %zu glyphs past the first 256 on %zu pages\n",
                scene->calls.back(), scene->calls.back(), font.extra ? font.extra->Count() : 0,
                font.extra ? font.extra->Pages() : 0);
    textFrame(drawLines(foreign));
    std::printf("first frame of Greek and Cyrillic strings: %.3f ms of calls\n",
                scene->calls.back());
    std::vector<double> latinCalls, spriteCalls, otherCalls, latinFrames, spriteFrames;
    const auto take = [&](std::vector<double>& c, std::vector<double>& f) {
        c.push_back(scene->calls.back());
        f.push_back(times.back());
    };
    std::vector<double> otherFrames;
    // A grid roguelike's screen: 80 by 45 cells of 16 pixels, one character
    // each through a Draw::Text of its own, against the same glyphs as sprites.
    std::vector<std::string> cells;
    for (size_t i = 0; i < 80 * 45; ++i)
        cells.push_back(std::string(1, char('!' + i * 7 % 94)));
    const auto cellAt = [](size_t i) { return glm::vec2(float(i % 80), float(i / 80)) * 16.0f; };
    std::vector<double> gridCalls, gridFrames, gridSpriteCalls, gridSpriteFrames;
    // A visual novel's screen: a backlog of 24 speeches of about 160
    // characters, each measured and wrapped to 880 pixels at 18 every frame,
    // and the speech being typed out, against the same lines wrapped once
    // beforehand and drawn through Draw::Text.
    std::vector<std::string> speeches;
    for (size_t i = 0; i < 25; ++i) {
        std::string speech = "\xD0\x9D\xD0\xB8\xD0\xBD\xD0\xB0: ";
        for (size_t w = 0; speech.size() < 160; ++w)
            speech +=
                std::string(w % 3 ? "caf\xC3\xA9 " : "harbour ") + latin[(i + w) % 4].substr(0, 5);
        speeches.push_back(speech);
    }
    std::vector<std::string> prewrapped;
    for (const std::string& speech : speeches) {
        std::string joined;
        for (const std::string& line : Draw::WrapText(speech, 18, 880))
            joined += (joined.empty() ? "" : "\n") + line;
        prewrapped.push_back(joined);
    }
    std::vector<double> pageCalls, pageFrames, prewrappedCalls, prewrappedFrames;
    // a then b in one frame's turn, b then a in the next, so that both meet
    // the same load of a shared machine.
    const auto inTurn = [](bool first, const auto& a, const auto& b) {
        if (first) {
            a();
            b();
        } else {
            b();
            a();
        }
    };
    const auto page = [&] {
        textFrame([&] {
            float y = 20;
            for (size_t i = 0; i + 1 < speeches.size(); ++i) {
                Draw::TextWrapped(speeches[i], {20, y}, 18, 880, WHITE);
                y += Draw::MeasureTextWrapped(speeches[i], 18, 880).y + 4;
            }
            Draw::TextWrapped(speeches.back(), {20, 600}, 18, 880, WHITE, Draw::Align::Left, 100);
        });
        take(pageCalls, pageFrames);
    };
    const auto prewrappedPage = [&] {
        textFrame([&] {
            float y = 20;
            for (size_t i = 0; i + 1 < prewrapped.size(); ++i) {
                Draw::Text(prewrapped[i], {20, y}, 18, WHITE);
                const auto lines = std::count(prewrapped[i].begin(), prewrapped[i].end(), '\n') + 1;
                y += Draw::LineHeight(18) * float(lines) + 4;
            }
            Draw::Text(prewrapped.back().substr(0, 100), {20, 600}, 18, WHITE);
        });
        take(prewrappedCalls, prewrappedFrames);
    };
    for (int round = 0; round < rounds; ++round)
        for (int f = 0; f < frames; ++f)
            inTurn((round + f) % 2, page, prewrappedPage);
    const auto grid = [&] {
        textFrame([&] {
            for (size_t i = 0; i < cells.size(); ++i)
                Draw::Text(cells[i], cellAt(i), TEXT_SIZE, WHITE);
        });
        take(gridCalls, gridFrames);
    };
    const auto gridSprites = [&] {
        textFrame([&] {
            for (size_t i = 0; i < cells.size(); ++i)
                GlyphSprites(font, cells[i], cellAt(i));
        });
        take(gridSpriteCalls, gridSpriteFrames);
    };
    const auto latinText = [&] {
        textFrame(drawLines(latin));
        take(latinCalls, latinFrames);
    };
    const auto latinSprites = [&] {
        textFrame([&] {
            for (size_t i = 0; i < latin.size(); ++i)
                GlyphSprites(font, latin[i], TextAt(i));
        });
        take(spriteCalls, spriteFrames);
    };
    for (int round = 0; round < rounds; ++round)
        for (int f = 0; f < frames; ++f) {
            const bool first = (round + f) % 2;
            inTurn(first, grid, gridSprites);
            inTurn(first, latinText, latinSprites);
            textFrame(drawLines(foreign));
            take(otherCalls, otherFrames);
        }
    // 100,000 distinct characters from U+3400 on (CJK, Hangul, then the
    // planes past the first), drawn twice.
    std::string hostile;
    for (char32_t c = 0x3400, n = 0; n < 100000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        if (c < 0x10000) {
            hostile += char(0xE0 | (c >> 12));
        } else {
            hostile += char(0xF0 | (c >> 18));
            hostile += char(0x80 | ((c >> 12) & 0x3F));
        }
        hostile += char(0x80 | ((c >> 6) & 0x3F));
        hostile += char(0x80 | (c & 0x3F));
        ++n;
    }
    Font wide;
    if (wideFont)
        wide = Font::loadFont(wideFont);
    for (const Font* f : {&font, static_cast<const Font*>(&wide)}) {
        if (!f->Loaded())
            continue;
        for (int pass = 0; pass < 2; ++pass) {
            textFrame([&] { Draw::Text(*f, hostile, {0, 0}, TEXT_SIZE, WHITE); });
            std::printf("100,000 distinct characters, %s, pass %d: %.1f ms; %zu glyphs kept on "
                        "%zu pages\n",
                        f == &font ? "engine's font" : wideFont, pass + 1, scene->calls.back(),
                        f->extra ? f->extra->Count() : 0, f->extra ? f->extra->Pages() : 0);
        }
    }
    wide = Font();

    scene->text = nullptr;
    std::printf("%28s %10s %10s %7s\n", "1,000 strings, ms", "calls", "frame", "ratio");
    const double ys = Median(spriteCalls);
    std::printf("%28s %10.3f %10.3f %7s\n", "yardstick (glyph sprites)", ys, Median(spriteFrames),
                "1");
    std::printf("%28s %10.3f %10.3f %7.3f\n", "Draw::Text Latin-1", Median(latinCalls),
                Median(latinFrames), Median(latinCalls) / ys);
    std::printf("%28s %10.3f %10.3f %7.3f\n", "Draw::Text Greek, Cyrillic", Median(otherCalls),
                Median(otherFrames), Median(otherCalls) / ys);
    std::printf("%28s %10s %10s %7s\n", "80 x 45 cells, ms", "calls", "frame", "ratio");
    const double gys = Median(gridSpriteCalls);
    std::printf("%28s %10.3f %10.3f %7s\n", "yardstick (glyph sprites)", gys,
                Median(gridSpriteFrames), "1");
    std::printf("%28s %10.3f %10.3f %7.3f\n", "Draw::Text a cell", Median(gridCalls),
                Median(gridFrames), Median(gridCalls) / gys);

    std::printf("%28s %10s %10s %7s\n", "a visual novel's page, ms", "calls", "frame", "ratio");
    const double pys = Median(prewrappedCalls);
    std::printf("%28s %10.3f %10.3f %7s\n", "yardstick (wrapped before)", pys,
                Median(prewrappedFrames), "1");
    std::printf("%28s %10.3f %10.3f %7.3f\n", "wrapped every frame", Median(pageCalls),
                Median(pageFrames), Median(pageCalls) / pys);

    scene->texture.reset();
    scene->others.reset();
    other.reset();
    engine.Shutdown();
    return 0;
}
