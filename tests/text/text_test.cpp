// Text layout: where each byte's quad goes, without a display.

#include <gtest/gtest.h>

#include <glm/vec4.hpp>
#include <utility>
#include <vector>

#include <engine/render/Draw.h>
#include <engine/text/Font.h>
#include <engine/text/TextMesh.h>

using namespace Engine;

namespace {

// A glyph region that only reports its size.
class Region : public Texture {
public:
    Region(float w, float h) : m_w(w), m_h(h) {}
    float getWidth() const override { return m_w; }
    float getHeight() const override { return m_h; }

private:
    float m_w, m_h;
};

// Glyph k: bitmap (k % 7 + 3) by (k % 5 + 10), left bearing k % 4 - 1,
// top bearing k % 9 + 20, advance k % 11 + 20. Space is empty.
Font MakeFont() {
    Font font;
    for (uint32_t k = 0; k < Font::GLYPH_COUNT; ++k) {
        float w = k == ' ' ? 0.0f : float(k % 7 + 3);
        float h = k == ' ' ? 0.0f : float(k % 5 + 10);
        font.glyphs.push_back(CreateRef<Glyph>(CreateRef<Region>(w, h), int32_t(k % 4) - 1,
                                               int32_t(k % 9 + 20), k % 11 + 20));
    }
    return font;
}

std::vector<PlacedGlyph> Lay(const Font& font, TextAlignment a, const std::string& text) {
    std::vector<PlacedGlyph> out;
    font.Layout(a, text, [&](const PlacedGlyph& p) { out.push_back(p); });
    return out;
}

} // namespace

TEST(TextLayout, CenterStartsAtTheOriginAndFollowsTheAdvances) {
    Font font = MakeFont();
    const Glyph& a = *font.glyphs['a'];
    const Glyph& b = *font.glyphs['b'];
    std::vector<PlacedGlyph> q = Lay(font, TextAlignment::CENTER, "ab");
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].glyph, &a);
    EXPECT_EQ(q[0].quad.position, glm::vec3(a.left, -a.top, 0));
    EXPECT_EQ(q[0].quad.scale, glm::vec3(a.tex->getWidth(), a.tex->getHeight(), 0));
    EXPECT_EQ(q[0].quad.rotation, glm::vec3(0));
    EXPECT_EQ(q[1].glyph, &b);
    EXPECT_EQ(q[1].quad.position, glm::vec3(a.advance + b.left, -b.top, 0));
    EXPECT_EQ(q[1].quad.scale, glm::vec3(b.tex->getWidth(), b.tex->getHeight(), 0));
}

TEST(TextLayout, SceneTransformPlacesTheGlyphInTheWorld) {
    Font font;
    for (uint32_t k = 0; k < Font::GLYPH_COUNT; ++k)
        font.glyphs.push_back(CreateRef<Glyph>(CreateRef<Region>(30, 45), 2, 40, 36));
    Transform scene({10, 100, 0}, {0, 0, 0}, {1, 1, 0});
    std::vector<PlacedGlyph> q = Lay(font, TextAlignment::CENTER, "A");
    ASSERT_EQ(q.size(), 1u);
    glm::mat4 cpos = scene.GetMatrix() * q[0].quad.GetMatrix();
    EXPECT_EQ(cpos * glm::vec4(0, 0, 0, 1), glm::vec4(12, 60, 0, 1));
    // The unit quad's far corner is the bitmap's size away.
    EXPECT_EQ(cpos * glm::vec4(1, 1, 0, 1), glm::vec4(42, 105, 0, 1));
}

TEST(TextLayout, LeftAndRightShiftByHalfAndAllOfTheWidth) {
    Font font = MakeFont();
    const std::string text = "Hi, you!";
    // Advances of all bytes but the last, then the last glyph's ink end.
    float width = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        width += float(font.glyphs[uint8_t(text[i])]->advance);
    const Glyph& last = *font.glyphs['!'];
    width += float(last.left) + last.tex->getWidth();
    EXPECT_EQ(font.TextWidth(text), width);

    std::vector<PlacedGlyph> center = Lay(font, TextAlignment::CENTER, text);
    std::vector<PlacedGlyph> left = Lay(font, TextAlignment::LEFT, text);
    std::vector<PlacedGlyph> right = Lay(font, TextAlignment::RIGHT, text);
    ASSERT_EQ(center.size(), text.size());
    ASSERT_EQ(left.size(), text.size());
    ASSERT_EQ(right.size(), text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(left[i].quad.position, center[i].quad.position - glm::vec3(width / 2, 0, 0));
        EXPECT_EQ(right[i].quad.position, center[i].quad.position - glm::vec3(width, 0, 0));
        EXPECT_EQ(right[i].quad.scale, center[i].quad.scale);
    }
    // RIGHT ends the last glyph's ink at the origin.
    EXPECT_EQ(right.back().quad.position.x + right.back().quad.scale.x, 0.0f);
}

TEST(TextLayout, EmptyStringAndUnloadedFontDrawNothing) {
    Font font = MakeFont();
    EXPECT_TRUE(Lay(font, TextAlignment::CENTER, "").empty());
    EXPECT_TRUE(Lay(font, TextAlignment::RIGHT, "").empty());
    EXPECT_EQ(font.TextWidth(""), 0.0f);

    Font none;
    EXPECT_FALSE(none.Loaded());
    EXPECT_TRUE(none.singleTex);
    EXPECT_TRUE(Lay(none, TextAlignment::RIGHT, "abc").empty());
    EXPECT_EQ(none.TextWidth("abc"), 0.0f);
}

TEST(TextLayout, EveryByteIsItsOwnGlyph) {
    Font font = MakeFont();
    // High bytes select codes 128 to 255; control bytes and spaces are drawn too.
    const std::string text = "\x80\xff\n \xe9";
    std::vector<PlacedGlyph> q = Lay(font, TextAlignment::CENTER, text);
    ASSERT_EQ(q.size(), 5u);
    EXPECT_EQ(q[0].glyph, font.glyphs[128].get());
    EXPECT_EQ(q[1].glyph, font.glyphs[255].get());
    EXPECT_EQ(q[2].glyph, font.glyphs[10].get());
    EXPECT_EQ(q[3].glyph, font.glyphs[' '].get());
    EXPECT_EQ(q[3].quad.scale, glm::vec3(0, 0, 0));
    EXPECT_EQ(q[4].glyph, font.glyphs[0xe9].get());
    float pen = 0;
    for (int k : {128, 255, 10, 32})
        pen += float(font.glyphs[k]->advance);
    EXPECT_EQ(q[4].quad.position.x, pen + float(font.glyphs[0xe9]->left));
    EXPECT_EQ(q[2].quad.position.y, -float(font.glyphs[10]->top));
}

TEST(TextMesh, CopiesShareTheirGlyphs) {
    Font font = MakeFont();
    TextMesh mesh = TextMesh::CreateTextMesh(font, "get over");
    EXPECT_EQ(mesh.text, "get over");
    EXPECT_EQ(mesh.alignment, TextAlignment::CENTER);
    EXPECT_EQ(mesh.tex, nullptr);
    EXPECT_TRUE(mesh.font.singleTex);

    TextMesh copy = mesh;
    TextMesh moved = std::move(copy);
    for (uint32_t k = 0; k < Font::GLYPH_COUNT; ++k)
        EXPECT_EQ(moved.font.glyphs[k], font.glyphs[k]);
    copy = moved;
    std::vector<PlacedGlyph> a = Lay(mesh.font, mesh.alignment, mesh.text);
    std::vector<PlacedGlyph> b = Lay(copy.font, copy.alignment, copy.text);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].glyph, b[i].glyph);
        EXPECT_EQ(a[i].quad.position, b[i].quad.position);
    }
}

TEST(TextLayout, DrawnTextIsUtf8WithoutInvisibleCharactersAndWithTabStops) {
    Font font = MakeFont();
    // Accents that follow their letter join it where Latin-1 has the pair;
    // byte order marks, zero-width and control characters take no room, so a
    // Windows line end is one line end; a stray byte still stands for itself.
    const std::pair<const char*, const char*> texts[] = {
        {"Cafe\xCC\x81", "Caf\xE9"},
        {"n\xCC\x83O\xCC\x88y\xCC\x88", "\xF1\xD6\xFF"},
        {"x\xCC\x84q\xCC\x81", "xq"},
        {"\xEF\xBB\xBFHi\xE2\x80\x8B!", "Hi!"},
        {"one\r\n", "one"},
        {"a\x01\x7F"
         "b\r",
         "ab"},
        {"\xC2\x85x", "x"},
        {"\x85x\xCC", "\x85x\xCC"}};
    for (const auto& [text, same] : texts)
        EXPECT_EQ(Draw::MeasureText(font, text, 64), font.TextWidth(same)) << text;

    // Stops every four spaces' advance (120 here), whatever stands before them.
    const float stop = 4.0f * float(font.glyphs[' ']->advance);
    EXPECT_EQ(Draw::MeasureText(font, "\tx", 64), stop + font.TextWidth("x"));
    EXPECT_EQ(Draw::MeasureText(font, "ab\tx", 64), stop + font.TextWidth("x"));
    EXPECT_EQ(Draw::MeasureText(font, "\t\tx", 64), 2 * stop + font.TextWidth("x"));
    EXPECT_EQ(Draw::MeasureText(font, "ab\t", 64), font.TextWidth("ab"));
    EXPECT_EQ(Draw::MeasureText(font, "ab\tx", 32), (stop + font.TextWidth("x")) / 2);
    // Nothing is drawn at a size of 0 or less, so nothing is measured.
    EXPECT_EQ(Draw::MeasureText(font, "ab", -64), 0.0f);
}

// Wrapping: after the spaces that end a word, inside a word only when it is
// wider than a line (going on from the line it starts on), at each new line,
// never inside a character; the last line kept ends in "..." when more follow.
TEST(TextLayout, WrapBreaksAfterWordsCutsLongOnesAndEndsInDots) {
    Font font = MakeFont();
    font.lineHeight = 70;
    // At 64 pixels: "a" 9 wide, each more "a" 29 on; "aa aa" 126; an e acute 5
    // wide, each more 22 on.
    struct Case {
        const char* text;
        float width;
        size_t most;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"aa aa aa", 130, SIZE_MAX, {"aa aa", "aa"}},
        {"aa aa aa", 100, SIZE_MAX, {"aa", "aa", "aa"}},
        {"aa   ", 1000, SIZE_MAX, {"aa"}},
        {"aaaaaaa", 100, SIZE_MAX, {"aaaa", "aaa"}},
        {"a aaaaaaa", 100, SIZE_MAX, {"a aa", "aaaa", "a"}},
        {"aa\n\naa", 1000, SIZE_MAX, {"aa", "", "aa"}},
        {"aaa  a", 1, SIZE_MAX, {"a", "a", "a", "a"}},
        {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 50, SIZE_MAX,
         {"\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9"}},
        {"\xE9\xE9\xE9\xE9\xE9", 50, SIZE_MAX, {"\xE9\xE9\xE9", "\xE9\xE9"}},
        {"aa aa aa", 100, 2, {"aa", "a..."}},
        {"aa aa aa", 100, 3, {"aa", "aa", "aa"}},
        {"aa aa aa", 100, 0, {}},
        {"", 100, SIZE_MAX, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Draw::WrapText(font, c.text, 64, c.width, c.most), c.lines)
            << c.text << " in " << c.width;
    // Half the size fits twice the text; the height counts the lines.
    EXPECT_EQ(Draw::WrapText(font, "aa aa aa", 32, 65), (std::vector<std::string>{"aa aa", "aa"}));
    EXPECT_EQ(Draw::MeasureTextWrapped(font, "aa aa aa", 32, 65), glm::vec2(63, 70));
    EXPECT_EQ(Draw::LineHeight(font, 32), 35);
}
