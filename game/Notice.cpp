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

// The text with every byte that begins no UTF-8 character (a Latin-1 path,
// say) written as the character the font shows for it, so that each
// character below is a lead byte and its continuation bytes, as drawn.
std::string WellFormed(const std::string& text) {
    constexpr unsigned LEAD[] = {0x00, 0xC0, 0xE0, 0xF0};
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : Font::Codes(text)) {
        const int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += char(LEAD[more] | c >> 6 * more);
        for (int k = more - 1; k >= 0; --k)
            out += char(0x80 | (c >> 6 * k & 0x3F));
    }
    return out;
}

// The byte after the UTF-8 character that starts at i.
size_t NextChar(const std::string& text, size_t i) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

std::string TrimEnd(std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}
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

std::vector<std::string> WrapText(const std::string& input, float size, float width,
                                  size_t maxLines) {
    const std::string text = WellFormed(input);
    auto fits = [&](const std::string& line) {
        return Draw::MeasureText(TrimEnd(line), size) <= width;
    };
    std::vector<std::string> lines;
    // Past the lines kept the rest is cut anyway: a huge message costs no more.
    auto full = [&] { return lines.size() > maxLines; };
    size_t start = 0;
    while (start <= text.size() && !full()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line;
        for (size_t i = start; i < end && !full();) {
            // A word with the spaces after it.
            size_t next = text.find(' ', i);
            next = next == std::string::npos || next > end ? end : next;
            while (next < end && text[next] == ' ')
                ++next;
            const std::string word = text.substr(i, next - i);
            if (fits(line + word)) {
                line += word;
                i = next;
                continue;
            }
            if (!line.empty() && fits(word)) {
                lines.push_back(TrimEnd(line));
                line.clear();
                continue;
            }
            // Wider than a line on its own (a long path): as much as fits
            // goes on this line, one character at least on an empty one so
            // that every line takes something.
            size_t cut = i;
            if (line.empty())
                cut = NextChar(text, i);
            while (cut < next && fits(line + text.substr(i, NextChar(text, cut) - i)))
                cut = NextChar(text, cut);
            lines.push_back(TrimEnd(line + text.substr(i, cut - i)));
            line.clear();
            i = cut;
        }
        lines.push_back(TrimEnd(line));
        start = end + 1;
    }
    if (maxLines == 0)
        return {};
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        std::string& last = lines.back();
        while (!last.empty() && !fits(last + "...")) {
            size_t back = last.size() - 1;
            while (back > 0 && (static_cast<unsigned char>(last[back]) & 0xC0) == 0x80)
                --back;
            last.erase(back);
        }
        last += "...";
    }
    return lines;
}

} // namespace Engine
