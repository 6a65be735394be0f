// Draw's text: a font's layout (Font::Layout) placed as sprites of its atlas.

#include <engine/render/Draw.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include <glm/trigonometric.hpp>

#include <engine/core/Engine.h>
#include <engine/text/Font.h>
#include <engine/text/TextMesh.h>

#include "render/DrawBatch.h"
#include "text/Utf8.h"

namespace Engine::Draw {

namespace {

// Text is read as UTF-8, each character drawn with the font's own glyph (see
// Font::GlyphOf); a byte that starts no well-formed sequence stands for
// itself, so that text already in Latin-1 still shows. A combining accent
// joins the letter before it where Latin-1 has the pair as one character and
// is dropped where not; a byte order mark, zero-width characters and control
// codes but '\n' and '\t' draw nothing, so that a Windows line end is one
// line end.
std::u32string FontCodes(const std::string& text) {
    // Latin-1's accented letters from 0xC0 on, as letter and accent.
    static constexpr std::string_view LETTER =
        "AAAAAA CEEEEIIII NOOOOO  UUUUY  aaaaaa ceeeeiiii nooooo  uuuuy y";
    static constexpr std::string_view ACCENT =
        "`'^~:o ,`'^:`'^: ~`'^~:  `'^:'  `'^~:o ,`'^:`'^: ~`'^~:  `'^:' :";
    const auto plain = [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t'; };
    if (std::all_of(text.begin(), text.end(), plain))
        return std::u32string(text.begin(), text.end());
    std::u32string out;
    out.reserve(text.size());
    ForEachCode(text, [&](char32_t code, bool stray) {
        if (!stray && code >= 0x300 && code < 0x370) {
            const char accent = code == 0x300   ? '`'
                                : code == 0x301 ? '\''
                                : code == 0x302 ? '^'
                                : code == 0x303 ? '~'
                                : code == 0x308 ? ':'
                                : code == 0x30A ? 'o'
                                : code == 0x327 ? ','
                                                : 0;
            for (size_t k = 0; accent && !out.empty() && k < LETTER.size(); ++k)
                if (char32_t(LETTER[k]) == out.back() && ACCENT[k] == accent) {
                    out.back() = char32_t(0xC0 + k);
                    break;
                }
            return;
        }
        const bool invisible = !stray && ((code < 0x20 && code != '\n' && code != '\t') ||
                                          (code >= 0x7F && code < 0xA0) || code == 0xFEFF ||
                                          (code >= 0x200B && code <= 0x200F) || code == 0x2060);
        if (!invisible)
            out += code;
    });
    return out;
}

// A stretch of a line between tabs, and where its pen starts.
struct Piece {
    float x;
    std::u32string_view text;
};

// A line cut at its tabs: each tab moves the pen on to the next stop, one
// every four spaces' advance from the line's start. spread (x after every
// character, y after every space) pushes the pen as it pushes the glyphs, so
// that bold or spaced text before a tab stays clear of the text after it.
std::vector<Piece> Pieces(const Font& font, std::u32string_view line, glm::vec2 spread) {
    std::vector<Piece> out;
    const double stop = 4.0 * font.glyphs[' ']->advance;
    double pen = 0;
    for (;;) {
        const size_t end = line.find('\t');
        out.push_back({float(pen), line.substr(0, end)});
        if (end == std::u32string_view::npos)
            return out;
        for (char32_t c : line.substr(0, end))
            pen += font.GlyphOf(c).advance + spread.x + (c == U' ' ? spread.y : 0.0f);
        if (stop > 0)
            pen = (pen >= 0 ? std::floor(pen / stop) + 1 : 0) * stop;
        line.remove_prefix(end + 1);
    }
}

// Where the line's ink ends, as Font::TextWidth measures a line without
// tabs; spread (x after every character, y after every space, in the font's
// pixels) pushes each character on.
float Width(const Font& font, const std::vector<Piece>& pieces, glm::vec2 spread = {}) {
    float width = 0.0f;
    for (const Piece& piece : pieces)
        if (!piece.text.empty()) {
            const std::u32string_view before = piece.text.substr(0, piece.text.size() - 1);
            const float pushed = float(before.size()) * spread.x +
                                 float(std::count(before.begin(), before.end(), U' ')) * spread.y;
            width = std::max(width, piece.x + font.TextWidth(piece.text) + pushed);
        }
    return width;
}

// Emboldened by a 14th of the em, each advance as much longer: about as
// heavy and wide as DejaVu's own bold face.
float Bold(float size, const TextStyle& style) {
    return style.bold ? size / 14.0f : 0.0f;
}

// What style pushes on each character, and each space, in the font's pixels.
glm::vec2 Spread(const Font& font, float size, const TextStyle& style) {
    return glm::vec2(Bold(size, style) + style.letterSpacing, style.wordSpacing) *
           static_cast<float>(font.pixelSize) / size;
}

// Calls fn(pieces, index) for each line of text, split at '\n', in the
// font's codes, spread as Pieces spreads it.
template <typename Fn>
void Lines(const Font& font, const std::string& text, glm::vec2 spread, Fn&& fn) {
    const std::u32string codes = FontCodes(text);
    std::u32string_view rest(codes);
    for (int index = 0;; ++index) {
        const size_t end = rest.find('\n');
        fn(Pieces(font, rest.substr(0, end), spread), index);
        if (end == std::u32string_view::npos)
            return;
        rest.remove_prefix(end + 1);
    }
}

// The byte after the character that starts at byte i.
size_t NextChar(std::string_view text, size_t i) {
    return i + CharAt(text, i).length;
}

std::string TrimEnd(std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t k = 0; k < lines.size(); ++k)
        out += (k ? "\n" : "") + lines[k];
    return out;
}

// Text laid out from position as Text lays it out, spread as Width spreads
// it: put(texture, source, dest, baseline) for each glyph, source the texels
// it shows, then line(left, width, baseline) for each line, in screen pixels.
// With whole, an unscaled glyph shows all its texels.
template <typename Put, typename Line>
void Place(const Font& font, const std::string& text, glm::vec2 position, float size, Align align,
           glm::vec2 spread, bool whole, Put&& put, Line&& line) {
    const float scale = size / static_cast<float>(font.pixelSize);
    Lines(font, text, spread, [&](const std::vector<Piece>& pieces, int index) {
        glm::vec2 pen =
            position +
            glm::vec2(0.0f, static_cast<float>(font.ascender + index * font.lineHeight) * scale);
        if (whole)
            pen.y = std::round(pen.y);
        const float width = Width(font, pieces, spread);
        const float shift = align == Align::Center  ? -width / 2.0f
                            : align == Align::Right ? -width
                                                    : 0.0f;
        for (const Piece& piece : pieces) {
            size_t k = 0;
            float pushed = 0.0f;
            font.Layout(TextAlignment::CENTER, piece.text, [&](const PlacedGlyph& placed) {
                const float x = placed.quad.position.x + piece.x + shift + pushed;
                pushed += spread.x + (piece.text[k++] == U' ' ? spread.y : 0.0f);
                const Transform& q = placed.quad;
                if (q.scale.x <= 0.0f || q.scale.y <= 0.0f)
                    return;
                Rectangle dest{pen.x + x * scale, pen.y + q.position.y * scale, q.scale.x * scale,
                               q.scale.y * scale};
                // Upright, each glyph starts on a whole pixel and each line's
                // baseline lies on one: at a fraction a thin stem spreads
                // over two columns, so the same letter would look heavier or
                // fainter from place to place.
                if (whole)
                    dest.x = std::round(dest.x);
                const Ref<Texture>& tex = placed.glyph->tex;
                const float w = float(tex->getWidth()), h = float(tex->getHeight());
                if (whole && scale == 1.0f) {
                    put(tex, Rectangle{0, 0, w, h}, dest, pen.y);
                    return;
                }
                // Scaled, the edge pixels would be filtered with the glyphs
                // beside it in the atlas: the outer half texel is left out,
                // the rest drawn at the same place and size (all of a glyph
                // one texel across).
                const float sx = w > 1 ? 0.5f : 0.0f, sy = h > 1 ? 0.5f : 0.0f;
                const float ix = q.scale.x * scale * sx / w, iy = q.scale.y * scale * sy / h;
                put(tex, Rectangle{sx, sy, w - 2 * sx, h - 2 * sy},
                    Rectangle{dest.x + ix, dest.y + iy, dest.width - 2 * ix, dest.height - 2 * iy},
                    pen.y);
            });
        }
        line(pen.x + shift * scale, width * scale, pen.y);
    });
}

} // namespace

void Text(const std::string& text, glm::vec2 position, float size, Color color, Align align) {
    Text(Font::Default(), text, position, size, color, align);
}

void Text(const Font& font, const std::string& text, glm::vec2 position, float size, Color color,
          Align align) {
    if (!font.Loaded() || !(size > 0))
        return;
    const float scale = size / static_cast<float>(font.pixelSize);
    Place(
        font, text, position, size, align, {}, true,
        [&](const Ref<Texture>& tex, Rectangle source, Rectangle dest, float) {
            if (scale == 1.0f)
                Sprite(tex, dest, color);
            else
                Sprite(tex, source, dest, {0, 0}, 0, color);
        },
        [](float, float, float) {});
}

void Text(const std::string& text, glm::vec2 position, float size, Color color,
          const TextStyle& style, Align align) {
    Text(Font::Default(), text, position, size, color, style, align);
}

void Text(const Font& font, const std::string& text, glm::vec2 position, float size, Color color,
          const TextStyle& style, Align align) {
    if (!font.Loaded() || !(size > 0))
        return;
    if (style == TextStyle{}) {
        Text(font, text, position, size, color, align);
        return;
    }
    const float scale = size / static_cast<float>(font.pixelSize);
    const float bold = Bold(size, style);
    // The lean of an oblique face, as Qt and FreeType make one.
    const float lean = style.italic ? std::tan(glm::radians(12.0f)) : 0.0f;
    const float radians = glm::radians(style.rotation);
    const float c = std::cos(radians), s = std::sin(radians);
    auto turned = [&](glm::vec2 p) {
        p -= position;
        return position + glm::vec2(p.x * c - p.y * s, p.x * s + p.y * c);
    };
    struct Band {
        float left, width, top;
    };
    std::vector<Band> bands;
    const float thickness = std::max(1.0f, size * 0.044f);
    const float strike = float(font.ascender) * scale / 3.0f + thickness / 2.0f;
    Place(
        font, text, position - style.origin, size, align, Spread(font, size, style),
        !style.bold && !style.italic && c == 1.0f,
        [&](const Ref<Texture>& tex, Rectangle source, Rectangle d, float baseline) {
            const float top = lean * (baseline - d.y), bottom = lean * (baseline - d.y - d.height);
            for (float dx : {0.0f, bold}) {
                const float x0 = d.x + dx, x1 = x0 + d.width, y1 = d.y + d.height;
                const glm::vec2 corners[4] = {turned({x0 + top, d.y}), turned({x1 + top, d.y}),
                                              turned({x1 + bottom, y1}), turned({x0 + bottom, y1})};
                DrawBatch::Quad(tex, source, corners, color);
                if (bold == 0.0f)
                    break;
            }
        },
        [&](float left, float width, float baseline) {
            if (!(width > 0))
                return;
            if (style.underline)
                bands.push_back({left, width, baseline + size * 0.07f});
            if (style.strikeout)
                bands.push_back({left, width, baseline - strike});
        });
    // After the glyphs: one more draw call, not one per line.
    for (const Band& b : bands) {
        const float x1 = b.left + b.width, y1 = b.top + thickness;
        DrawBatch::Quad(
            {turned({b.left, b.top}), turned({x1, b.top}), turned({x1, y1}), turned({b.left, y1})},
            color);
    }
}

float MeasureText(const std::string& text, float size) {
    return MeasureText(Font::Default(), text, size);
}

float MeasureText(const std::string& text, float size, const TextStyle& style) {
    return MeasureText(Font::Default(), text, size, style);
}

float MeasureText(const Font& font, const std::string& text, float size) {
    return MeasureText(font, text, size, TextStyle{});
}

float MeasureText(const Font& font, const std::string& text, float size, const TextStyle& style) {
    float widest = 0.0f;
    if (!font.Loaded() || !(size > 0))
        return 0.0f;
    const glm::vec2 spread = Spread(font, size, style);
    Lines(font, text, spread, [&](const std::vector<Piece>& pieces, int) {
        widest = std::max(widest, Width(font, pieces, spread));
    });
    return widest * size / static_cast<float>(font.pixelSize);
}

std::vector<std::string> WrapText(const std::string& text, float size, float width,
                                  size_t maxLines) {
    return WrapText(Font::Default(), text, size, width, maxLines);
}

std::vector<std::string> WrapText(const Font& font, const std::string& text, float size,
                                  float width, size_t maxLines) {
    if (text.empty() || maxLines == 0)
        return {};
    auto fits = [&](const std::string& line) {
        return MeasureText(font, TrimEnd(line), size) <= width;
    };
    std::vector<std::string> lines;
    // Past the lines kept the rest is cut anyway: a huge text costs no more.
    auto full = [&] { return lines.size() > maxLines; };
    size_t start = 0;
    while (start <= text.size() && !full()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const size_t before = lines.size();
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
            // Wider than a line on its own: as much as fits goes on this
            // line, one character at least on an empty one so that every
            // line takes something. Narrower than a character, the spaces
            // before it make no line of their own.
            size_t cut = line.empty() ? NextChar(text, i) : i;
            while (cut < next && fits(line + text.substr(i, NextChar(text, cut) - i)))
                cut = NextChar(text, cut);
            if (std::string cutLine = TrimEnd(line + text.substr(i, cut - i)); !cutLine.empty())
                lines.push_back(std::move(cutLine));
            line.clear();
            i = cut;
        }
        // An empty line only where the text has one.
        if (std::string last = TrimEnd(line); !last.empty() || lines.size() == before)
            lines.push_back(std::move(last));
        start = end + 1;
    }
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        std::string& last = lines.back();
        // Characters off its end, whole ones, until the dots fit.
        std::vector<size_t> starts;
        for (size_t i = 0; i < last.size(); i = NextChar(last, i))
            starts.push_back(i);
        while (!starts.empty() && !fits(last + "...")) {
            last.erase(starts.back());
            starts.pop_back();
        }
        last += "...";
    }
    return lines;
}

void TextWrapped(const std::string& text, glm::vec2 position, float size, float width, Color color,
                 Align align, size_t shown) {
    TextWrapped(Font::Default(), text, position, size, width, color, align, shown);
}

void TextWrapped(const Font& font, const std::string& text, glm::vec2 position, float size,
                 float width, Color color, Align align, size_t shown) {
    const float x = align == Align::Center  ? position.x + width / 2
                    : align == Align::Right ? position.x + width
                                            : position.x;
    const std::vector<std::string> lines = WrapText(font, text, size, width);
    if (shown == SIZE_MAX) {
        Text(font, Joined(lines), {x, position.y}, size, color, align);
        return;
    }
    // Each line is the next piece of text: the characters before it (the
    // spaces and breaks it left out too) are counted off, and the rest of
    // the count cuts it. A cut line is placed where the whole one would be.
    size_t at = 0;
    for (size_t k = 0; k < lines.size() && shown > 0; ++k) {
        const std::string& line = lines[k];
        const size_t start = text.find(line, at);
        if (start == std::string::npos)
            break;
        for (; at < start && shown > 0; at = NextChar(text, at))
            --shown;
        size_t end = 0;
        for (; end < line.size() && shown > 0; end = NextChar(line, end))
            --shown;
        at = start + line.size();
        const float full = MeasureText(font, line, size);
        const float left = align == Align::Center  ? x - full / 2
                           : align == Align::Right ? x - full
                                                   : x;
        Text(font, line.substr(0, end), {left, position.y + float(k) * LineHeight(font, size)},
             size, color);
    }
}

float LineHeight(float size) {
    return LineHeight(Font::Default(), size);
}

float LineHeight(const Font& font, float size) {
    if (!font.Loaded() || !(size > 0))
        return 0.0f;
    return static_cast<float>(font.lineHeight) * size / static_cast<float>(font.pixelSize);
}

glm::vec2 MeasureTextWrapped(const std::string& text, float size, float width) {
    return MeasureTextWrapped(Font::Default(), text, size, width);
}

glm::vec2 MeasureTextWrapped(const Font& font, const std::string& text, float size,
                             float width) {
    if (!font.Loaded() || !(size > 0))
        return {0.0f, 0.0f};
    const std::vector<std::string> lines = WrapText(font, text, size, width);
    return {MeasureText(font, Joined(lines), size),
            static_cast<float>(lines.size()) * LineHeight(font, size)};
}

void FPS(const Engine& engine, float x, float y) {
    Text(std::to_string(std::lround(engine.GetFrameRate())) + " FPS", {x, y}, 20.0f, GREEN);
}

} // namespace Engine::Draw
