// Draw's text: a font's layout (Font::Layout) placed as sprites of its atlas.

#include <engine/render/Draw.h>

#include <algorithm>
#include <string_view>

#include <engine/text/Font.h>
#include <engine/text/TextMesh.h>

namespace Engine::Draw {

namespace {

// The text component's names for the same three places, whose meaning their
// names do not tell.
TextAlignment LayoutAlignment(Align align) {
    switch (align) {
    case Align::Center:
        return TextAlignment::LEFT;
    case Align::Right:
        return TextAlignment::RIGHT;
    default:
        return TextAlignment::CENTER;
    }
}

// Calls fn(line, index) for each line of text, split at '\n'.
template <typename Fn> void Lines(const std::string& text, Fn&& fn) {
    if (text.find('\n') == std::string::npos) {
        fn(text, 0);
        return;
    }
    std::string_view rest(text);
    for (int index = 0;; ++index) {
        const size_t end = rest.find('\n');
        fn(std::string(rest.substr(0, end)), index);
        if (end == std::string_view::npos)
            return;
        rest.remove_prefix(end + 1);
    }
}

} // namespace

void Text(const std::string& text, glm::vec2 position, float size, Color color, Align align) {
    Text(Font::Default(), text, position, size, color, align);
}

void Text(const Font& font, const std::string& text, glm::vec2 position, float size, Color color,
          Align align) {
    if (!font.Loaded() || !(size > 0))
        return;
    const float scale = size / static_cast<float>(Font::PIXEL_SIZE);
    const TextAlignment alignment = LayoutAlignment(align);
    Lines(text, [&](const std::string& line, int index) {
        const glm::vec2 pen =
            position +
            glm::vec2(0.0f, static_cast<float>(font.ascender + index * font.lineHeight) * scale);
        font.Layout(alignment, line, [&](const PlacedGlyph& placed) {
            const Transform& q = placed.quad;
            if (q.scale.x <= 0.0f || q.scale.y <= 0.0f)
                return;
            Sprite(placed.glyph->tex,
                   Rectangle{pen.x + q.position.x * scale, pen.y + q.position.y * scale,
                             q.scale.x * scale, q.scale.y * scale},
                   color);
        });
    });
}

float MeasureText(const std::string& text, float size) {
    return MeasureText(Font::Default(), text, size);
}

float MeasureText(const Font& font, const std::string& text, float size) {
    float widest = 0.0f;
    Lines(text,
          [&](const std::string& line, int) { widest = std::max(widest, font.TextWidth(line)); });
    return widest * size / static_cast<float>(Font::PIXEL_SIZE);
}

} // namespace Engine::Draw
