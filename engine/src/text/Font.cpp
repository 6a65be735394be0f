#include <engine/text/Font.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unordered_map>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <engine/core/Log.h>
#include <engine/render/Shader.h>
#include <engine/text/TextMesh.h>

#include "core/FTCheck.h"
#include "core/GLUtil.h"
#include "render/GLTexture.h"
#include "text/ExtraGlyphs.h"
#include "text/Face.h"
#include "text/Utf8.h"

namespace Engine {

namespace {

// Creates the atlas texture: white texels whose alpha is the coverage, since
// the shared shader outputs the sampled colour as it is.
uint32_t UploadAtlas(const GlyphAtlas& atlas) {
    GLuint texture = 0;
    GLCall(glCreateTextures(GL_TEXTURE_2D, 1, &texture));
    std::cout << "texture font: " << texture << std::endl;
    if (texture == 0)
        return 0;
    GLTextureNames::Adopt(texture);
    GLCall(glBindTextureUnit(0, texture));
    GLCall(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GlyphAtlas::MIP_LEVELS));
    GLCall(glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, GlyphAtlas::LOD_BIAS));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_ONE));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, GL_ONE));
    GLCall(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_ONE));
    GLCall(glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GlyphAtlas::WIDTH, GlyphAtlas::HEIGHT, 0,
                        GL_ALPHA, GL_UNSIGNED_BYTE, atlas.Pixels().data()));
    // Made here: glGenerateMipmap takes some 20 ms for this atlas in Mesa's
    // software driver, ten times the upload.
    std::vector<uint8_t> level = atlas.Pixels();
    int w = GlyphAtlas::WIDTH, h = GlyphAtlas::HEIGHT;
    for (int k = 1; k <= GlyphAtlas::MIP_LEVELS; ++k) {
        level = HalvedCoverage(level, w, h);
        GLCall(glTexImage2D(GL_TEXTURE_2D, k, GL_RGBA8, w, h, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                            level.data()));
    }
    return texture;
}

} // namespace

GrayBitmap::GrayBitmap(FT_Library lib, const FT_Bitmap& src) : library(lib), bitmap(src) {
    if (src.pixel_mode == FT_PIXEL_MODE_GRAY || !library)
        return;
    FT_Bitmap_Init(&bitmap);
    owned = true;
    if (!FTCall(FT_Bitmap_Convert(library, &src, &bitmap, 1))) {
        bitmap.width = bitmap.rows = 0;
        return;
    }
    const int levels = std::max(2, static_cast<int>(bitmap.num_grays));
    for (unsigned r = 0; r < bitmap.rows; ++r)
        for (unsigned c = 0; c < bitmap.width; ++c) {
            unsigned char& v = bitmap.buffer[r * static_cast<unsigned>(bitmap.pitch) + c];
            v = static_cast<unsigned char>(std::min(255, v * 255 / (levels - 1)));
        }
}

GrayBitmap::~GrayBitmap() {
    if (owned)
        FT_Bitmap_Done(library, &bitmap);
}

AtlasRegion GlyphAtlas::Add(const uint8_t* bitmap, int bW, int bH, int pitch, int advance) {
    const uint32_t off = m_next;
    bW = std::max(bW, 0);
    bH = std::max(bH, 0);
    const int rows = std::min(bH, static_cast<int>(HEIGHT));
    const int cols = off >= WIDTH ? 0 : static_cast<int>(std::min<int64_t>(bW, WIDTH - off));
    if (bitmap && rows > 0 && cols > 0) {
        const uint8_t* topRow =
            pitch < 0 ? bitmap + static_cast<ptrdiff_t>(-pitch) * (bH - 1) : bitmap;
        // Bottom row first: atlas row h holds the bitmap row rows - 1 - h from the top.
        for (int h = 0; h < rows; ++h) {
            const uint8_t* src = topRow + static_cast<ptrdiff_t>(pitch) * (rows - 1 - h);
            std::copy(src, src + cols, m_pixels.begin() + static_cast<ptrdiff_t>(h) * WIDTH + off);
        }
    }
    AtlasRegion r;
    r.width = static_cast<float>(cols);
    r.height = static_cast<float>(rows);
    r.glWidth = static_cast<float>(cols) / static_cast<float>(WIDTH);
    r.glHeight = static_cast<float>(rows) / static_cast<float>(HEIGHT);
    r.glX = static_cast<float>(off) / static_cast<float>(WIDTH);
    r.glY = 0.0f;
    const int64_t next = static_cast<int64_t>(off) + advance;
    m_next = static_cast<uint32_t>(std::clamp<int64_t>(next, 0, UINT32_MAX));
    return r;
}

void TrimOverwritten(std::vector<GlyphMetrics>& glyphs) {
    // Offsets are whole columns, so these products are exact.
    const auto column = [](const AtlasRegion& r) { return r.glX * GlyphAtlas::WIDTH; };
    for (size_t k = 0; k < glyphs.size(); ++k) {
        AtlasRegion& r = glyphs[k].region;
        for (size_t j = k + 1; j < glyphs.size(); ++j) {
            const AtlasRegion& next = glyphs[j].region;
            if (next.width <= 0.0f || next.height <= 0.0f)
                continue;
            const float own = std::max(0.0f, column(next) - column(r));
            if (own < r.width) {
                r.width = own;
                r.glWidth = own / GlyphAtlas::WIDTH;
            }
            break;
        }
    }
}

FT_LibraryRec_* Font::FT = nullptr;

void Font::InitFont() {
    if (FT)
        return;
    FT_Library library = nullptr;
    if (FTCall(FT_Init_FreeType(&library)))
        FT = library;
}

namespace {

// A font of bitmaps only comes in the sizes it has: the one nearest to
// Font::PIXEL_SIZE is taken, and its pixels to the em returned.
int32_t SelectNearestStrike(FT_Face face) {
    const auto ppem = [&](int i) {
        const FT_Bitmap_Size& size = face->available_sizes[i];
        return size.y_ppem > 0 ? static_cast<int32_t>((size.y_ppem + 32) >> 6) : size.height;
    };
    const auto away = [&](int i) { return std::abs(ppem(i) - int32_t(Font::PIXEL_SIZE)); };
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i)
        if (away(i) < away(best))
            best = i;
    FTCall(FT_Select_Size(face, best));
    return std::max(ppem(best), 1);
}

// How many of the printable ASCII characters but space the face's character
// map gives a glyph.
int AsciiMapped(FT_Face face) {
    int mapped = 0;
    for (uint32_t code = 0x21; face->charmap && code < 0x7F; ++code)
        mapped += FT_Get_Char_Index(face, CharCode(face, code)) != 0;
    return mapped;
}

// FreeType picks a Unicode character map, or none when the face has only a
// symbol one, and then codes would pick glyphs by their number. A map that
// gives more of ASCII a glyph is taken instead: a symbol font's own, or a
// Type 1 symbol font's built-in encoding, whose glyph names mean no
// Unicode letters.
void ChooseCharmap(FT_Face face) {
    FT_CharMap best = face->charmap;
    int most = AsciiMapped(face);
    for (int i = 0; i < face->num_charmaps; ++i) {
        if (FT_Set_Charmap(face, face->charmaps[i]) != 0)
            continue;
        if (const int mapped = AsciiMapped(face); mapped > most) {
            best = face->charmaps[i];
            most = mapped;
        }
    }
    face->charmap = best;
}

} // namespace

// Microsoft's symbol encoding puts a font's 256 characters at 0xF000 and on.
FT_ULong CharCode(FT_Face face, uint32_t code) {
    const bool symbol = face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
    return symbol && !FT_Get_Char_Index(face, code) ? 0xF000 + code : code;
}

FacePtr OpenFace(FT_Library library, FontSource source, int32_t* pixelSize) {
    // FreeType reads a negative index as "count the faces": it opens a face
    // with no size nor glyphs to load, which would crash the rasterising.
    if (source.face < 0) {
        Log::Warn("FONT", "No face %d in a font file: faces are numbered from 0", source.face);
        return nullptr;
    }
    FT_Face face = nullptr;
    if (source.path
            ? !FTCall(FT_New_Face(library, source.path, source.face, &face))
            : !FTCall(FT_New_Memory_Face(library, source.data, static_cast<FT_Long>(source.size),
                                         source.face, &face)))
        return nullptr;
    ChooseCharmap(face);
    *pixelSize = Font::PIXEL_SIZE;
    if (FT_IS_SCALABLE(face) || face->num_fixed_sizes <= 0)
        FTCall(FT_Set_Pixel_Sizes(face, Font::PIXEL_SIZE, Font::PIXEL_SIZE));
    else
        *pixelSize = SelectNearestStrike(face);
    return FacePtr(face);
}

namespace {

FontBitmap RasterizeWith(FT_Library library, FontSource source) {
    constexpr uint32_t GLYPH_COUNT = Font::GLYPH_COUNT;
    FontBitmap out;
    out.glyphs.resize(GLYPH_COUNT);
    const FacePtr owned = OpenFace(library, source, &out.pixelSize);
    if (!owned)
        return out;
    FT_Face face = owned.get();
    out.opened = true;
    out.face = source.face;
    // Kept for the characters past the first 256, drawn on first use.
    if (source.path)
        out.path = source.path;
    else
        out.bytes = CreateRef<const std::vector<unsigned char>>(source.data,
                                                                source.data + source.size);
    // 26.6 fixed point, already rounded to whole pixels by FreeType.
    out.ascender = static_cast<int32_t>(face->size->metrics.ascender >> 6);
    out.lineHeight = static_cast<int32_t>(face->size->metrics.height >> 6);
    // Codes the face has no glyph for (the control codes, say) all show its
    // missing-glyph box: a glyph drawn once is copied for the codes after.
    struct Drawn {
        std::vector<uint8_t> pixels;
        int width, rows, pitch;
        GlyphMetrics metrics;
    };
    std::unordered_map<FT_UInt, Drawn> drawn;
    for (uint32_t code = 0; code < GLYPH_COUNT; ++code) {
        GlyphMetrics& g = out.glyphs[code];
        const FT_ULong charCode = CharCode(face, code);
        const FT_UInt index = face->charmap ? FT_Get_Char_Index(face, charCode) : code;
        if (auto it = drawn.find(index); it != drawn.end()) {
            const Drawn& d = it->second;
            g = d.metrics;
            g.region =
                out.atlas.Add(d.pixels.data(), d.width, d.rows, d.pitch, GlyphAtlas::Step(d.width));
            continue;
        }
        // A failed load still gives a glyph, from whatever the slot holds;
        // such a glyph is not kept for others.
        const bool loaded = FTCall(FT_Load_Char(face, charCode, FT_LOAD_RENDER));
        const FT_GlyphSlot slot = face->glyph;
        GrayBitmap gray(library, slot->bitmap);
        const FT_Bitmap& bm = gray.bitmap;
        g.advance = static_cast<int32_t>(slot->advance.x >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.region = out.atlas.Add(bm.buffer, static_cast<int>(bm.width), static_cast<int>(bm.rows),
                                 bm.pitch, GlyphAtlas::Step(static_cast<int>(bm.width)));
        if (loaded && bm.pitch >= 0) {
            Drawn& d = drawn[index];
            d.width = static_cast<int>(bm.width);
            d.rows = static_cast<int>(bm.rows);
            d.pitch = bm.pitch;
            if (bm.buffer)
                d.pixels.assign(bm.buffer, bm.buffer + size_t(bm.pitch) * bm.rows);
            else
                d.width = d.rows = 0;
            d.metrics = g;
        }
    }
    TrimOverwritten(out.glyphs);
    return out;
}

} // namespace

FontBitmap Font::Rasterize(const char* path, int face) {
    return RasterizeWith(FT, {path, nullptr, 0, face});
}

FontBitmap Font::Rasterize(const unsigned char* data, size_t size) {
    return RasterizeWith(FT, {nullptr, data, size});
}

Font Font::loadFont(const char* path) {
    return Upload(Rasterize(path));
}

Font Font::loadFontFromMemory(const unsigned char* data, size_t size) {
    return Upload(Rasterize(data, size));
}

Font Font::Upload(const FontBitmap& bitmap) {
    // Loaded too early, as by a scene's member before Engine::Run opens the
    // window, the upload would call GL through a null pointer.
    const bool context = GLContextCurrent();
    if (bitmap.opened && !context)
        Log::Warn("FONT", "No OpenGL context to load the font into; it draws nothing");
    const uint32_t texture = bitmap.opened && context ? UploadAtlas(bitmap.atlas) : 0;
    Font font;
    font.ascender = bitmap.ascender;
    font.lineHeight = bitmap.lineHeight;
    font.pixelSize = bitmap.pixelSize;
    font.glyphs.resize(GLYPH_COUNT);
    for (uint32_t code = 0; code < GLYPH_COUNT; ++code) {
        const GlyphMetrics& g = bitmap.glyphs[code];
        const AtlasRegion& r = g.region;
        Ref<Texture> region =
            CreateRef<GLTexture2D>(r.width, r.height, r.glWidth, r.glHeight, r.glX, r.glY, texture);
        font.glyphs[code] =
            CreateRef<Glyph>(region, g.left, g.top, static_cast<uint32_t>(g.advance));
    }
    if (bitmap.opened)
        font.extra =
            CreateRef<ExtraGlyphs>(bitmap.path, bitmap.face, bitmap.bytes, font.glyphs['?']);
    // The glyph regions hold the atlas name from here on.
    if (texture)
        GLTextureNames::Release(texture);
    return font;
}

FontRasterizer::FontRasterizer() {
    FT_Library library = nullptr;
    if (FTCall(FT_Init_FreeType(&library)))
        m_library = library;
}

FontRasterizer::~FontRasterizer() {
    if (m_library)
        FT_Done_FreeType(m_library);
}

FontBitmap FontRasterizer::Rasterize(const char* path) const {
    return RasterizeWith(m_library, {path});
}

std::u32string Font::Codes(std::string_view text) {
    std::u32string codes;
    codes.reserve(text.size());
    ForEachCode(text, [&](char32_t code, bool) { codes += code; });
    return codes;
}

const Glyph& Font::Extra(char32_t code) const {
    return extra ? extra->Get(code) : *glyphs['?'];
}

float Font::TextWidth(const std::string& text) const {
    return TextWidth(std::u32string_view(Codes(text)));
}

float Font::TextWidth(std::u32string_view codes) const {
    if (!Loaded() || codes.empty())
        return 0.0f;
    float width = 0.0f;
    for (size_t i = 0; i + 1 < codes.size(); ++i)
        width += static_cast<float>(GlyphOf(codes[i]).advance);
    const Glyph& last = GlyphOf(codes.back());
    return width + static_cast<float>(last.left) + last.tex->getWidth();
}

float Font::Shift(TextAlignment alignment, std::u32string_view codes) const {
    switch (alignment) {
    case TextAlignment::LEFT:
        return -TextWidth(codes) / 2.0f;
    case TextAlignment::RIGHT:
        return -TextWidth(codes);
    default:
        return 0.0f;
    }
}

void Font::renderText(const Ref<Shader>& shader, TextAlignment alignment, const std::string& text,
                      glm::mat4 model) const {
    if (!Loaded())
        return;
    // The first 256 share the atlas; a glyph made on first use sits on a
    // page of its own, bound when the texture changes.
    uint32_t bound = glyphs[0]->tex->getID();
    if (singleTex)
        glyphs[0]->tex->Bind(0);
    Layout(alignment, text, [&](const PlacedGlyph& placed) {
        const Texture& tex = *placed.glyph->tex;
        if (!singleTex || tex.getID() != bound) {
            tex.Bind(0);
            bound = tex.getID();
        }
        Mesh::DrawQuad(shader, model * placed.quad.GetMatrix(), tex);
    });
}

} // namespace Engine
