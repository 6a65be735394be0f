#pragma once

// The characters of a font past its first 256: rasterised from the font's own
// face on first use, kept for the font's life in pages of their own.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <engine/core/Base.h>
#include <engine/text/Font.h>

#include "text/Face.h"

namespace Engine {

// Coverage of w by h texels (rows in order, w each) at half the size, each
// texel the mean of the two by two it stands for; w and h become the new
// size. The mipmaps of glyphs on blocks of their own (GlyphAtlas::Step).
std::vector<uint8_t> HalvedCoverage(const std::vector<uint8_t>& pixels, int& w, int& h);

class ExtraGlyphs {
public:
    static constexpr int PAGE = 1024;    // Texels a side of a page.
    // 1.3 MB of texture each, mipmaps too: room for EXTRA_GLYPHS glyphs an em
    // wide (CJK), which take 68 texels a side with the gaps between.
    static constexpr size_t MAX_PAGES = 10;

    // The face (numbered in its file) is opened from path, or from bytes
    // when path is empty, on the first character asked for. fallback stands
    // for every character when it cannot be.
    ExtraGlyphs(std::string path, int face, Ref<const std::vector<unsigned char>> bytes,
                Ref<Glyph> fallback);
    ~ExtraGlyphs();
    ExtraGlyphs(const ExtraGlyphs&) = delete;
    ExtraGlyphs& operator=(const ExtraGlyphs&) = delete;

    // The glyph of code, rasterised now if it is new; the face's missing-glyph
    // box for a character it lacks and for any new one once the glyphs or the
    // pages are all taken. Given a current GL context its picture is
    // uploaded; without one it has its metrics but draws nothing yet.
    const Glyph& Get(char32_t code);

    size_t Count() const { return m_byIndex.size(); } // Glyphs kept, the box among them.
    size_t Pages() const { return m_pages.size(); }   // Pages used.

private:
    struct Entry {
        Ref<Glyph> glyph;
        std::vector<uint8_t> pending; // rows bottom first, until uploaded
        size_t page = 0;
        int x = 0, y = 0, width = 0, rows = 0;
        bool uploaded = false;
    };
    // A page's texture name, the GL context it belongs to, and the shelf
    // being filled.
    struct Page {
        uint32_t name = 0;
        void* context = nullptr;
        int x = 0, y = 0, shelf = 0;
    };

    bool Open();
    Entry* Rasterize(uint32_t index);
    bool Place(Entry& e);
    void Upload(Entry& e);

    std::string m_path;
    int m_faceIndex = 0;
    Ref<const std::vector<unsigned char>> m_bytes;
    Ref<Glyph> m_fallback;
    FacePtr m_face;
    bool m_tried = false;
    Entry* m_missing = nullptr;
    bool m_warned = false;
    std::unordered_map<uint32_t, Entry> m_byIndex;
    std::unordered_map<char32_t, Entry*> m_byCode;
    std::vector<Page> m_pages;
};

} // namespace Engine
