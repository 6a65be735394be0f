#pragma once

#include <string>
#include <vector>

#include <glm/vec2.hpp>

namespace Engine {

// A short message over the picture, in window pixels: what became of a level
// saved or dropped, for a designer who never sees the terminal. Drawing only:
// it changes nothing of the game.
class Notice {
public:
    // How long a message stays, in seconds of game time: a failure long
    // enough to read a path and a reason, a success only to confirm.
    static constexpr double FAILURE_SECONDS = 6.0;
    static constexpr double SUCCESS_SECONDS = 2.0;
    // Text size in pixels.
    static constexpr float SIZE = 20.0f;

    // Shows text in place of whatever was shown.
    void Show(std::string text, bool failed);
    // Counts seconds of game time down; the message goes at its end.
    void Step(double seconds);
    // What is shown now; empty when nothing is.
    const std::string& Text() const { return m_text; }
    bool Failed() const { return m_failed; }
    // Draws the message, if any, in a box at the bottom left of a view of
    // view pixels, wrapped to its width.
    void Draw(glm::ivec2 view);

private:
    std::string m_text;
    bool m_failed = false;
    double m_left = 0.0;
    // The lines of m_text as last wrapped, and the width they were wrapped to.
    std::vector<std::string> m_lines;
    float m_wrappedTo = -1.0f;
};

// text in lines at most width pixels wide in the engine's font at size:
// broken after spaces, a word wider than a line (a long path) where it must,
// never inside a character. At most maxLines; a text that needs more ends
// in "...". Needs a current GL context (the font is loaded on first use).
std::vector<std::string> WrapText(const std::string& text, float size, float width,
                                  size_t maxLines);

} // namespace Engine
