#include <cmath>
#include <vector>

#include <engine/image/Image.h>
#include <engine/render/Texture.h>
#include <engine/text/Font.h>

#include "FuzzTargets.h"

using namespace Engine;

namespace EngineFuzz {

namespace {

// Keeps the pixel reads below from being optimised away.
volatile unsigned g_sink;

// Reads the corner pixels of every cell back from the decoded image, as a
// sampler would: each cell must lie wholly inside the picture.
void CheckCut(const Image& image, int cellW, int cellH) {
    const int w = image.Width(), h = image.Height();
    const std::vector<SheetCell> cells = CutSheet(w, h, cellW, cellH);
    if (cellW <= 0 || cellH <= 0) {
        FUZZ_CHECK(cells.empty());
        return;
    }
    FUZZ_CHECK(cells.size() == size_t(w / cellW) * size_t(h / cellH));
    unsigned sum = 0;
    for (const SheetCell& c : cells) {
        FUZZ_CHECK(c.width == float(cellW) && c.height == float(cellH));
        const long x0 = std::lround(c.glX * float(w)), y0 = std::lround(c.glY * float(h));
        FUZZ_CHECK(x0 >= 0 && y0 >= 0 && x0 + cellW <= w && y0 + cellH <= h);
        for (long y : {y0, y0 + cellH - 1})
            for (long x : {x0, x0 + cellW - 1})
                sum += image.Pixels()[(size_t(y) * size_t(w) + size_t(x)) * 4 + 3];
    }
    g_sink = sum;
}

// The image's bytes as glyph bitmaps, rows either way up, until the atlas is
// full: every region must stay inside the atlas.
void CheckAtlas(const Image& image, uint8_t knob) {
    const int rowBytes = image.Width() * 4;
    const int pitch = knob & 1 ? -rowBytes : rowBytes;
    const int advance = 1 + knob * 97;
    GlyphAtlas atlas;
    std::vector<GlyphMetrics> glyphs;
    for (int i = 0; i < 256 && atlas.NextColumn() < GlyphAtlas::WIDTH; ++i) {
        GlyphMetrics g;
        g.advance = advance;
        g.region = atlas.Add(image.Pixels(), rowBytes, image.Height(), pitch, advance);
        glyphs.push_back(g);
    }
    TrimOverwritten(glyphs);
    for (const GlyphMetrics& g : glyphs) {
        const AtlasRegion& r = g.region;
        FUZZ_CHECK(r.width >= 0 && r.height >= 0 && r.height <= float(GlyphAtlas::HEIGHT));
        FUZZ_CHECK(r.glX * float(GlyphAtlas::WIDTH) + r.width <= float(GlyphAtlas::WIDTH));
    }
}

} // namespace

int FuzzImage(const uint8_t* data, size_t size) {
    const Image image = Image::Decode(data, size);
    if (image.Empty()) {
        FUZZ_CHECK(!image.Error().empty());
        FUZZ_CHECK(image.Width() == 0 && image.Height() == 0);
        return 0;
    }
    const int w = image.Width(), h = image.Height();
    FUZZ_CHECK(w > 0 && h > 0 && w <= Image::MAX_SIDE && h <= Image::MAX_SIDE);

    // The game's cell size, a few cells across derived from the input, and
    // sizes that fit no whole cell.
    const uint8_t knob = data[size - 1];
    CheckCut(image, 64, 64);
    CheckCut(image, w / (1 + knob % 8), h / (1 + knob / 8 % 8));
    CheckCut(image, w + 1, h);
    CheckCut(image, 0, h);
    CheckAtlas(image, knob);
    return 0;
}

} // namespace EngineFuzz
