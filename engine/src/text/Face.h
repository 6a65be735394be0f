#pragma once

// A font file's face as every glyph of a Font is drawn from it: shared by the
// first 256 characters' rasteriser and the glyphs made on first use.

#include <cstddef>
#include <cstdint>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace Engine {

struct FaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
// A face, closed with its owner. It must not outlive its library.
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDone>;

// A face of a file, or of a font file's bytes when path is null (a
// collection holds several faces; most files one).
struct FontSource {
    const char* path = nullptr;
    const unsigned char* data = nullptr;
    size_t size = 0;
    int face = 0;
};

// Opens the face with its character map chosen and its size set: 64 pixels, or
// for a font of bitmaps only its strike nearest to that, whose pixels to the
// em go to *pixelSize. Null (the failure logged) when it cannot be opened.
FacePtr OpenFace(FT_Library library, FontSource source, int32_t* pixelSize);

// The character code under which the face keeps code (a symbol font moves
// its characters to 0xF000 and on).
FT_ULong CharCode(FT_Face face, uint32_t code);

// An 8-bit coverage copy of a bitmap in any other pixel mode (a bitmap font's
// 1-bit strike, say), so the atlas copy can read one byte per pixel.
struct GrayBitmap {
    FT_Library library;
    FT_Bitmap bitmap;
    bool owned = false;

    GrayBitmap(FT_Library lib, const FT_Bitmap& src);
    GrayBitmap(const GrayBitmap&) = delete;
    GrayBitmap& operator=(const GrayBitmap&) = delete;
    ~GrayBitmap();
};

} // namespace Engine
