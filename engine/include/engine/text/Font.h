#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <glm/mat4x4.hpp>

#include <engine/core/Base.h>
#include <engine/physics/Transform.h>
#include <engine/render/Texture.h>

struct FT_LibraryRec_;

namespace Engine {

class ExtraGlyphs;
class Shader;
enum class TextAlignment : uint32_t;

/// One character of a font: its region of the atlas and its layout metrics in
/// whole pixels. As a Texture itself it keeps the base behaviour.
class Glyph : public Texture {
public:
    Ref<Texture> tex; ///< Its region of the atlas.
    int32_t left;     ///< pen position to the bitmap's left edge
    int32_t top;      ///< baseline up to the bitmap's top row
    int32_t advance;  ///< pen movement to the next glyph

    /// A glyph showing glyphTex with its bearings and advance.
    Glyph(const Ref<Texture>& glyphTex, int32_t leftShift, int32_t topShift, uint32_t adv)
        : tex(glyphTex), left(leftShift), top(topShift), advance(static_cast<int32_t>(adv)) {}
};

/// Where a glyph landed in the atlas, in the terms of the region constructor.
struct AtlasRegion {
    float width = 0;    ///< pixels actually stored
    float height = 0;   ///< Pixels actually stored.
    float glWidth = 0;  ///< normalised to the atlas
    float glHeight = 0; ///< Normalised to the atlas.
    float glX = 0;      ///< Normalised left edge.
    float glY = 0;      ///< Normalised bottom edge.
};

/// The font's single-row atlas in memory, one coverage byte per texel, row 0 at
/// the bottom. Glyphs are placed left to right, each starting where the one
/// before moved the next free column (see Add), and stand on the bottom edge.
class GlyphAtlas {
public:
    static constexpr uint32_t WIDTH = 256 * 64; ///< Texels: 256 glyphs of at most 64.
    static constexpr uint32_t HEIGHT = 64;      ///< Texels.
    /// Mipmap levels below the full size that text is drawn from, so that
    /// small text averages its glyphs' texels rather than skipping strokes.
    static constexpr int MIP_LEVELS = 2;
    /// Texels a side of the blocks one texel of the smallest level averages.
    static constexpr int BLOCK = 1 << MIP_LEVELS;
    /// Levels added to the one a size would sample: text drawn from a
    /// little finer a level keeps its stems bright rather than grey.
    static constexpr float LOD_BIAS = -0.5f;

    /// Columns to move on after a glyph width texels wide so that no block
    /// holds texels of two glyphs and an empty block lies between them: the
    /// levels then filter no neighbour into a glyph. 0 for an empty glyph.
    static constexpr int Step(int width) {
        return width > 0 ? (width + BLOCK - 1) / BLOCK * BLOCK + BLOCK : 0;
    }

    /// An empty atlas.
    GlyphAtlas() : m_pixels(size_t(WIDTH) * HEIGHT, 0) {}

    /// Copies a bW by bH coverage bitmap (rows top first, each `pitch` bytes
    /// after the one above; a negative pitch means the rows are stored bottom
    /// up) at the next free column, then moves that column on by advance.
    /// Rows below the 64th and columns past the atlas's right edge are dropped,
    /// so the glyph keeps its top rows and its top bearing stays true.
    AtlasRegion Add(const uint8_t* bitmap, int bW, int bH, int pitch, int advance);

    uint32_t NextColumn() const { return m_next; } ///< Where the next glyph goes.
    /// Coverage at column x, row y (row 0 at the bottom).
    uint8_t At(uint32_t x, uint32_t y) const { return m_pixels[size_t(y) * WIDTH + x]; }
    const std::vector<uint8_t>& Pixels() const { return m_pixels; } ///< Rows bottom first.

private:
    std::vector<uint8_t> m_pixels;
    uint32_t m_next = 0;
};

/// A glyph's bearings and advance together with its atlas region, before any
/// GL texture exists.
struct GlyphMetrics {
    AtlasRegion region;  ///< Where it is in the atlas.
    int32_t left = 0;    ///< Pen position to the bitmap's left edge.
    int32_t top = 0;     ///< Baseline up to the bitmap's top row.
    int32_t advance = 0; ///< Pen movement to the next glyph.
};

/// Shortens each region to the columns still its own: a glyph wider than its
/// advance is partly overwritten by the next non-empty glyph, and showing those
/// columns would draw a piece of that neighbour. Glyphs are in atlas order.
void TrimOverwritten(std::vector<GlyphMetrics>& glyphs);

/// A rasterised font in memory: what loadFont uploads.
struct FontBitmap {
    GlyphAtlas atlas;                 ///< The coverage of every glyph.
    std::vector<GlyphMetrics> glyphs; ///< one per character code
    bool opened = false;              ///< false when the face could not be opened
    int32_t ascender = 0;             ///< Whole pixels from the top of a line to its baseline.
    int32_t lineHeight = 0;           ///< Whole pixels from one baseline to the next.
    /// Pixels to the em of the glyphs: Font::PIXEL_SIZE, or for a font of
    /// bitmaps only the size of its own nearest to that.
    int32_t pixelSize = 64;
    /// The file the face was read from, for the characters past the first
    /// 256; empty when it came from bytes.
    std::string path;
    int face = 0; ///< Which face of the file (a collection holds several).
    /// A copy of the font file's bytes when it came from memory, else null.
    Ref<const std::vector<unsigned char>> bytes;
};

/// Where one character of a string is drawn, in the text's local space.
struct PlacedGlyph {
    const Glyph* glyph; ///< The character's glyph.
    Transform quad;     ///< top-left corner and bitmap size; z and rotation 0
};

/// 256 glyphs, codes 0 to 255, rasterised at 64 pixels into one atlas texture;
/// any other character is rasterised from the font's face on first use.
/// Copies share their glyphs, those made on first use too.
class Font {
public:
    static constexpr uint32_t GLYPH_COUNT = 256; ///< Codes 0 to 255.
    static constexpr uint32_t PIXEL_SIZE = 64;   ///< Pixel size of the rasterised glyphs.
    /// Glyphs past the first 256 a font keeps at most (its missing-glyph box
    /// among them); characters new after that show as the box. They take
    /// pages of 1024 by 1024 texels, 1.3 MB each with their mipmaps, at most 10.
    static constexpr uint32_t EXTRA_GLYPHS = 2048;
    static FT_LibraryRec_* FT;                   ///< The process-wide FreeType library.

    std::vector<Ref<Glyph>> glyphs; ///< One per code; empty for a font not loaded.
    /// The characters past the first 256, made on first use from the font's
    /// face with Font::FT, so on the thread that uses it; null for a font
    /// not loaded from a face.
    Ref<ExtraGlyphs> extra;
    /// All glyphs name one atlas, so a string binds one texture.
    bool singleTex = true;
    /// Pixels at pixelSize from the top of a line to its baseline; 0 when not loaded.
    int32_t ascender = 0;
    /// Pixels at pixelSize from one baseline to the next; 0 when not loaded.
    int32_t lineHeight = 0;
    /// Pixels to the em of the rasterised glyphs: PIXEL_SIZE, but a font of
    /// bitmaps only keeps its own size nearest to that, and is scaled from it.
    int32_t pixelSize = PIXEL_SIZE;

    Font() = default; ///< No glyphs: draws nothing.

    /// Opens the process-wide FreeType library; later calls keep the first.
    static void InitFont();
    /// Rasterises a face of the file (the first, but for a collection of
    /// several) into the atlas image and the metrics. Needs InitFont but no
    /// GL context. A face that cannot be opened gives 256 empty glyphs.
    static FontBitmap Rasterize(const char* path, int face = 0);
    /// As Rasterize, from the bytes of a font file; they must stay as they
    /// are until it returns.
    static FontBitmap Rasterize(const unsigned char* data, size_t size);
    /// Rasterises and uploads; needs a current GL context (without one it
    /// warns and gives glyphs that draw nothing). Prints "texture font:
    /// <name>" on standard output.
    static Font loadFont(const char* path);
    /// As loadFont, from the bytes of a font file.
    static Font loadFontFromMemory(const unsigned char* data, size_t size);
    /// The engine's own font, DejaVu Sans, built into the library: loaded on
    /// first use, which needs a current GL context, and dropped with the
    /// shared quad (Mesh::ReleaseQuad).
    static const Font& Default();
    /// The upload half of loadFont, for a font rasterised beforehand.
    static Font Upload(const FontBitmap& bitmap);
    /// Nothing to do: the library stays open until the process ends.
    static void FinalizeFonts() {}

    /// The characters of UTF-8 text; a byte that starts no well-formed
    /// sequence stands for the character of its number, so Latin-1 reads too.
    static std::u32string Codes(std::string_view text);

    /// The glyph of a character. Past the first 256 it is rasterised on first
    /// use (and uploaded, given a current GL context); a character the face
    /// lacks, or any new one past EXTRA_GLYPHS, shows the face's
    /// missing-glyph box, and a font without its face shows '?'. Needs a
    /// loaded font.
    const Glyph& GlyphOf(char32_t code) const {
        return code < GLYPH_COUNT ? *glyphs[code] : Extra(code);
    }

    /// Whole pixels from the pen origin to the right end of the UTF-8 string:
    /// the advances of all characters but the last, plus the last glyph's
    /// left bearing and bitmap width, so RIGHT puts the last glyph's ink right
    /// at the origin.
    float TextWidth(const std::string& text) const;
    /// As above, for a string of characters.
    float TextWidth(std::u32string_view codes) const;

    /// Lays UTF-8 text out along the baseline y = 0 and calls
    /// fn(const PlacedGlyph&) once per character, in order. Draws nothing for
    /// a font without its glyphs.
    template <typename Fn>
    void Layout(TextAlignment alignment, const std::string& text, Fn&& fn) const {
        Layout(alignment, std::u32string_view(Codes(text)), fn);
    }
    /// As above, for a string of characters.
    template <typename Fn>
    void Layout(TextAlignment alignment, std::u32string_view codes, Fn&& fn) const;

    /// One quad per character with the shared quad and the given shader; relies on
    /// the frame's draw state (shader bound, quad buffers, view-projection).
    void renderText(const Ref<Shader>& shader, TextAlignment alignment, const std::string& text,
                    glm::mat4 model) const;

    bool Loaded() const { return glyphs.size() >= GLYPH_COUNT; } ///< Whether it has its glyphs.

private:
    float Shift(TextAlignment alignment, std::u32string_view codes) const;
    const Glyph& Extra(char32_t code) const;
};

/// Rasterises like Font::Rasterize with a FreeType library of its own, so it
/// can work on another thread while `Font::FT` is in use: a library serves one
/// thread at a time.
class FontRasterizer {
public:
    FontRasterizer();                               ///< Opens a FreeType library of its own.
    ~FontRasterizer();                              ///< Closes it.
    FontRasterizer(const FontRasterizer&) = delete; ///< One owner.
    FontRasterizer& operator=(const FontRasterizer&) = delete; ///< One owner.

    /// As Font::Rasterize; a library that failed to open opens no face either.
    FontBitmap Rasterize(const char* path) const;

private:
    FT_LibraryRec_* m_library = nullptr;
};

template <typename Fn>
void Font::Layout(TextAlignment alignment, std::u32string_view codes, Fn&& fn) const {
    if (!Loaded())
        return;
    const float shift = Shift(alignment, codes);
    float x = 0.0f;
    const float y = 0.0f;
    PlacedGlyph placed{nullptr, Transform({0, 0, 0}, {0, 0, 0}, {0, 0, 0})};
    for (char32_t code : codes) {
        const Glyph& ch = GlyphOf(code);
        placed.glyph = &ch;
        placed.quad.position.x = x + static_cast<float>(ch.left) + shift;
        placed.quad.position.y = y - static_cast<float>(ch.top);
        placed.quad.scale.x = ch.tex->getWidth();
        placed.quad.scale.y = ch.tex->getHeight();
        fn(static_cast<const PlacedGlyph&>(placed));
        x += static_cast<float>(ch.advance);
    }
}

} // namespace Engine
