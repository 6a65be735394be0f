#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Base.h"

namespace Engine {

// A whole image or a rectangle of one. Region coordinates are normalised, with
// v = 0 at the bottom row of the image file.
class Texture {
public:
    virtual ~Texture() = default;
    virtual uint32_t getID() const { return 0; }
    virtual float getWidth() const { return -1.0f; }
    virtual float getHeight() const { return -1.0f; }
    virtual float getInternalWidth() const { return -1.0f; }
    virtual float getInternalHeight() const { return -1.0f; }
    virtual float getInternalX() const { return -1.0f; }
    virtual float getInternalY() const { return -1.0f; }
    virtual void Bind(uint32_t /*slot*/) const {}
};

class Texture2D : public Texture {
public:
    virtual Ref<Texture> genClip(uint32_t /*width*/, uint32_t /*height*/, uint32_t /*x*/,
                                 uint32_t /*y*/) const {
        return nullptr;
    }

    // The texture for the renderer in use, loaded from an image file.
    static Ref<Texture2D> Create(const std::string& path);
};

// An image decoded to 8-bit RGBA, four bytes a pixel, its rows flipped so the
// first row in memory is the bottom row of the picture (v = 0). Needs no GL.
class Image {
public:
    // Images larger than this on a side are refused before any pixel is
    // decoded: no texture can hold them, and a few header bytes could
    // otherwise ask for gigabytes.
    static constexpr int MAX_SIDE = 16384;

    Image() = default;

    // Any format the image decoder reads. On failure the image is empty and
    // Error() says why.
    static Image Decode(const unsigned char* bytes, size_t size);
    // Decode on a whole file; only regular files are read.
    static Image Load(const std::string& path);

    bool Empty() const { return !m_pixels; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const unsigned char* Pixels() const { return m_pixels.get(); }
    const std::string& Error() const { return m_error; }

private:
    struct Free {
        void operator()(unsigned char* pixels) const;
    };
    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<unsigned char, Free> m_pixels;
    std::string m_error;
};

// One cell of a sheet: its size in pixels and its rectangle in normalised
// coordinates (glY is the bottom edge, v = 0 being the image's bottom row).
struct SheetCell {
    float width;
    float height;
    float glWidth;
    float glHeight;
    float glX;
    float glY;
};

// Cells of cellWidth by cellHeight pixels, row by row from the top of the image,
// left to right. Leftover pixels at the right and at the top are never shown.
// Empty when no whole cell fits or a size is not positive.
std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight);

// One region of sheet per cell of CutSheet, each naming the sheet's texture.
std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth, int cellHeight);

} // namespace Engine
