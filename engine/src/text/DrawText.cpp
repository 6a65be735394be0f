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

// The font's 256 codes are Unicode's first 256. Text is read as UTF-8, a
// character past them shown as '?'; a byte that starts no well-formed
// sequence stands for itself, so that text already in Latin-1 still shows.
std::string FontCodes(const std::string& text) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; }))
        return text;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = [&](size_t k) { return (unsigned char)text[k]; };
        const unsigned char c = byte(i);
        const size_t more = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
        char32_t code = c & (0x3F >> more);
        bool whole = more > 0 && c < 0xF5 && i + more < text.size();
        for (size_t k = 1; whole && k <= more; ++k) {
            whole = (byte(i + k) & 0xC0) == 0x80;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        // Not overlong, not a surrogate, within Unicode.
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        whole = whole && code >= least && (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF;
        if (!whole) {
            out += char(c);
            ++i;
            continue;
        }
        out += code < 256 ? char(code) : '?';
        i += more + 1;
    }
    return out;
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
    Lines(FontCodes(text), [&](const std::string& line, int index) {
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
    Lines(FontCodes(text),
          [&](const std::string& line, int) { widest = std::max(widest, font.TextWidth(line)); });
    return widest * size / static_cast<float>(Font::PIXEL_SIZE);
}

} // namespace Engine::Draw
