#include "game/Notice.h"

#include <algorithm>

#include <engine/render/Draw.h>
#include <engine/text/Font.h>

namespace Engine {

namespace {
constexpr float MARGIN = 16.0f;  // from the window's edges to the box
constexpr float PADDING = 10.0f; // from the box's edges to the text
constexpr size_t MAX_LINES = 6;
constexpr Color FAILURE_BOX{90, 20, 20, 230};
constexpr Color SUCCESS_BOX{20, 40, 60, 220};
} // namespace

void Notice::Show(std::string text, bool failed) {
    m_text = std::move(text);
    m_failed = failed;
    m_left = failed ? FAILURE_SECONDS : SUCCESS_SECONDS;
    m_wrappedTo = -1.0f;
}

void Notice::Step(double seconds) {
    if (m_text.empty())
        return;
    m_left -= seconds;
    if (m_left <= 0.0) {
        m_text.clear();
        m_lines.clear();
    }
}

void Notice::Draw(glm::ivec2 view) {
    if (m_text.empty() || view.x <= 0 || view.y <= 0)
        return;
    const float width = std::max(float(view.x) - 2 * (MARGIN + PADDING), SIZE);
    if (width != m_wrappedTo) {
        m_lines = WrapText(m_text, SIZE, width, MAX_LINES);
        m_wrappedTo = width;
    }
    std::string shown;
    float widest = 0.0f;
    for (const std::string& line : m_lines) {
        shown += (shown.empty() ? "" : "\n") + line;
        widest = std::max(widest, Draw::MeasureText(line, SIZE));
    }
    const Font& font = Font::Default();
    const float lineHeight = font.pixelSize ? float(font.lineHeight) * SIZE / font.pixelSize : SIZE;
    const float height = float(m_lines.size()) * lineHeight + 2 * PADDING;
    const Rectangle box{MARGIN, float(view.y) - MARGIN - height, widest + 2 * PADDING, height};
    Draw::Rect(box, m_failed ? FAILURE_BOX : SUCCESS_BOX);
    Draw::Text(shown, {box.x + PADDING, box.y + PADDING}, SIZE, WHITE);
}

std::vector<std::string> WrapText(const std::string& text, float size, float width,
                                  size_t maxLines) {
    return Draw::WrapText(text, size, width, maxLines);
}

} // namespace Engine
