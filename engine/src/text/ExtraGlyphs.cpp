#include "text/ExtraGlyphs.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <engine/core/Log.h>

#include "core/FTCheck.h"
#include "core/GLUtil.h"
#include "render/GLTexture.h"

namespace Engine {

namespace {

// Characters remembered by code beyond this are looked up in the face each
// time, so that a string of every code point grows nothing.
constexpr size_t MAX_CODES = 4 * Font::EXTRA_GLYPHS;

// A page of coverage, white texels whose alpha is the coverage as in the
// first 256's atlas, with as many mipmap levels, cleared so that the gaps
// between glyphs filter to nothing.
uint32_t CreatePage() {
    GLuint name = 0;
    GLCall(glCreateTextures(GL_TEXTURE_2D, 1, &name));
    if (name == 0)
        return 0;
    GLCall(glTextureStorage2D(name, GlyphAtlas::MIP_LEVELS + 1, GL_R8, ExtraGlyphs::PAGE,
                              ExtraGlyphs::PAGE));
    GLCall(glTextureParameteri(name, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR));
    GLCall(glTextureParameterf(name, GL_TEXTURE_LOD_BIAS, GlyphAtlas::LOD_BIAS));
    GLCall(glTextureParameteri(name, GL_TEXTURE_MAG_FILTER, GL_LINEAR));
    GLCall(glTextureParameteri(name, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE));
    GLCall(glTextureParameteri(name, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE));
    const GLint swizzle[4] = {GL_ONE, GL_ONE, GL_ONE, GL_RED};
    GLCall(glTextureParameteriv(name, GL_TEXTURE_SWIZZLE_RGBA, swizzle));
    for (int level = 0; level <= GlyphAtlas::MIP_LEVELS; ++level)
        GLCall(glClearTexImage(name, level, GL_RED, GL_UNSIGNED_BYTE, nullptr));
    GLTextureNames::Adopt(name);
    return name;
}

} // namespace

// Texels past the edge count as empty.
std::vector<uint8_t> HalvedCoverage(const std::vector<uint8_t>& pixels, int& w, int& h) {
    const int hw = (w + 1) / 2, hh = (h + 1) / 2;
    std::vector<uint8_t> out(size_t(hw) * size_t(hh));
    const auto at = [&](int x, int y) { return x < w && y < h ? pixels[size_t(y) * w + x] : 0; };
    for (int y = 0; y < hh; ++y)
        for (int x = 0; x < hw; ++x)
            out[size_t(y) * hw + x] =
                uint8_t((at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                         at(2 * x + 1, 2 * y + 1) + 2) /
                        4);
    w = hw;
    h = hh;
    return out;
}

ExtraGlyphs::ExtraGlyphs(std::string path, int face, Ref<const std::vector<unsigned char>> bytes,
                         Ref<Glyph> fallback)
    : m_path(std::move(path)), m_faceIndex(face), m_bytes(std::move(bytes)),
      m_fallback(std::move(fallback)) {}

ExtraGlyphs::~ExtraGlyphs() {
    // The glyphs' regions hold the names from here on, as long as they live.
    for (const Page& p : m_pages)
        GLTextureNames::Release(p.name);
}

bool ExtraGlyphs::Open() {
    if (m_tried)
        return m_face != nullptr;
    m_tried = true;
    Font::InitFont();
    int32_t pixelSize = 0;
    FontSource source;
    if (!m_path.empty())
        source = {m_path.c_str(), nullptr, 0, m_faceIndex};
    else if (m_bytes)
        source = {nullptr, m_bytes->data(), m_bytes->size()};
    else
        return false;
    m_face = OpenFace(Font::FT, source, &pixelSize);
    if (!m_face)
        return false;
    m_missing = Rasterize(0);
    if (!m_missing) {
        Entry& e = m_byIndex[0];
        e.glyph = m_fallback;
        e.uploaded = true;
        m_missing = &e;
    }
    return true;
}

const Glyph& ExtraGlyphs::Get(char32_t code) {
    Entry* e = nullptr;
    if (auto it = m_byCode.find(code); it != m_byCode.end()) {
        e = it->second;
    } else {
        if (!Open())
            return *m_fallback;
        FT_Face face = m_face.get();
        const FT_UInt index = face->charmap ? FT_Get_Char_Index(face, CharCode(face, code)) : 0;
        e = index ? Rasterize(index) : nullptr;
        if (!e)
            e = m_missing;
        if (m_byCode.size() < MAX_CODES)
            m_byCode.emplace(code, e);
    }
    if (!e->uploaded)
        Upload(*e);
    return *e->glyph;
}

ExtraGlyphs::Entry* ExtraGlyphs::Rasterize(uint32_t index) {
    if (auto it = m_byIndex.find(index); it != m_byIndex.end())
        return &it->second;
    if (m_byIndex.size() >= Font::EXTRA_GLYPHS) {
        if (!m_warned)
            Log::Warn("FONT", "More than %u characters past the first 256: the rest show as the "
                              "missing-glyph box", Font::EXTRA_GLYPHS);
        m_warned = true;
        return nullptr;
    }
    FT_Face face = m_face.get();
    if (!FTCall(FT_Load_Glyph(face, index, FT_LOAD_RENDER)))
        return nullptr;
    const FT_GlyphSlot slot = face->glyph;
    const GrayBitmap gray(Font::FT, slot->bitmap);
    const FT_Bitmap& bm = gray.bitmap;
    Entry e;
    e.width = std::min(static_cast<int>(bm.width), PAGE - 2 * GlyphAtlas::BLOCK);
    e.rows = std::min(static_cast<int>(bm.rows), PAGE - 2 * GlyphAtlas::BLOCK);
    if (!bm.buffer)
        e.width = e.rows = 0;
    // Rows bottom first, as the page's v runs up; a bitmap taller than a page
    // keeps its top rows, so its top bearing stays true.
    e.pending.resize(size_t(e.width) * size_t(e.rows));
    for (int h = 0; h < e.rows; ++h) {
        const int fromTop = e.rows - 1 - h;
        const int stored = bm.pitch < 0 ? static_cast<int>(bm.rows) - 1 - fromTop : fromTop;
        const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(std::abs(bm.pitch)) * stored;
        std::copy(src, src + e.width, e.pending.begin() + ptrdiff_t(h) * e.width);
    }
    if (!Place(e)) {
        if (!m_warned)
            Log::Warn("FONT", "The pages for characters past the first 256 are full: the rest "
                              "show as the missing-glyph box");
        m_warned = true;
        return nullptr;
    }
    const auto w = static_cast<float>(e.width), h = static_cast<float>(e.rows);
    e.glyph = CreateRef<Glyph>(CreateRef<GLTexture2D>(w, h, 0.0f, 0.0f, 0.0f, 0.0f, 0u),
                               slot->bitmap_left, slot->bitmap_top,
                               static_cast<uint32_t>(slot->advance.x >> 6));
    e.uploaded = e.width == 0 || e.rows == 0;
    return &m_byIndex.emplace(index, std::move(e)).first->second;
}

// Shelves, left to right and bottom up, on whole blocks with an empty block
// between glyphs, so that filtering reads no neighbour at any level (see
// GlyphAtlas::Step); a new page when the last one is full.
bool ExtraGlyphs::Place(Entry& e) {
    if (e.width == 0 || e.rows == 0)
        return true;
    const int w = GlyphAtlas::Step(e.width), h = GlyphAtlas::Step(e.rows);
    for (;;) {
        if (!m_pages.empty()) {
            Page& p = m_pages.back();
            if (p.x + w > PAGE) {
                p.y += p.shelf;
                p.x = p.shelf = 0;
            }
            if (p.y + h <= PAGE) {
                e.page = m_pages.size() - 1;
                e.x = p.x;
                e.y = p.y;
                p.x += w;
                p.shelf = std::max(p.shelf, h);
                return true;
            }
        }
        if (m_pages.size() >= MAX_PAGES)
            return false;
        m_pages.emplace_back();
    }
}

void ExtraGlyphs::Upload(Entry& e) {
    if (!GLContextCurrent())
        return;
    Page& p = m_pages[e.page];
    if (p.name == 0 && !p.context) {
        p.name = CreatePage();
        p.context = SDL_GL_GetCurrentContext();
    }
    // In another context (a font kept past its window) the page's name is
    // nothing of the page's, or another texture: the glyph waits, unseen.
    if (p.context != SDL_GL_GetCurrentContext())
        return;
    e.uploaded = true;
    if (p.name == 0)
        return;
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    GLCall(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    GLCall(glTextureSubImage2D(p.name, 0, e.x, e.y, e.width, e.rows, GL_RED, GL_UNSIGNED_BYTE,
                               e.pending.data()));
    // The glyph's own levels: its block-aligned place halves exactly.
    std::vector<uint8_t> level = e.pending;
    int lw = e.width, lh = e.rows;
    for (int k = 1; k <= GlyphAtlas::MIP_LEVELS; ++k) {
        level = HalvedCoverage(level, lw, lh);
        GLCall(glTextureSubImage2D(p.name, k, e.x >> k, e.y >> k, lw, lh, GL_RED, GL_UNSIGNED_BYTE,
                                   level.data()));
    }
    GLCall(glPixelStorei(GL_UNPACK_ALIGNMENT, alignment));
    constexpr auto S = static_cast<float>(PAGE);
    const auto w = static_cast<float>(e.width), h = static_cast<float>(e.rows);
    e.glyph->tex = CreateRef<GLTexture2D>(w, h, w / S, h / S, static_cast<float>(e.x) / S,
                                          static_cast<float>(e.y) / S, p.name);
    e.pending = {};
}

} // namespace Engine
