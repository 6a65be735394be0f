#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <engine/core/Base.h>

namespace Engine {

class Image;

/// A whole image or a rectangle of one. Region coordinates are normalised, with
/// v = 0 at the bottom row of the image file.
class Texture {
public:
    virtual ~Texture() = default;                             ///< Shared through Ref.
    virtual uint32_t getID() const { return 0; }              ///< GL name; 0 for none.
    virtual float getWidth() const { return -1.0f; }          ///< Pixels.
    virtual float getHeight() const { return -1.0f; }         ///< Pixels.
    virtual float getInternalWidth() const { return -1.0f; }  ///< Normalised extent.
    virtual float getInternalHeight() const { return -1.0f; } ///< Normalised extent.
    virtual float getInternalX() const { return -1.0f; }      ///< Normalised offset.
    virtual float getInternalY() const { return -1.0f; } ///< Normalised offset, from the bottom.
    virtual void Bind(uint32_t /*slot*/) const {}        ///< Binds the image to a texture unit.
};

/// A whole image as a texture.
class Texture2D : public Texture {
public:
    /// A region of the image; the OpenGL texture makes none (null): use CutSheetRegions.
    virtual Ref<Texture> genClip(uint32_t /*width*/, uint32_t /*height*/, uint32_t /*x*/,
                                 uint32_t /*y*/) const {
        return nullptr;
    }

    /// The texture for the renderer in use, loaded from an image file.
    static Ref<Texture2D> Create(const std::string& path);
    /// The same from the file's image decoded beforehand (Image::Load(path)),
    /// perhaps on another thread; path names it in messages.
    static Ref<Texture2D> Create(const std::string& path, const Image& image);
    /// A texture of an image made or edited by the program; messages call it
    /// "image in memory".
    static Ref<Texture2D> Create(const Image& image);

    /// Replaces the texture's pixels by image's, which must be of the
    /// texture's size: cheap enough for every frame. False, with a warning,
    /// for an image of another size, a region of a sheet, a texture without
    /// GL pixels, or when the GL context it was made in is not current.
    virtual bool Update(const Image& /*image*/) { return false; }
};

/// One cell of a sheet: its size in pixels and its rectangle in normalised
/// coordinates (glY is the bottom edge, v = 0 being the image's bottom row).
struct SheetCell {
    float width;    ///< Pixels.
    float height;   ///< Pixels.
    float glWidth;  ///< Normalised.
    float glHeight; ///< Normalised.
    float glX;      ///< Normalised left edge.
    float glY;      ///< Normalised bottom edge.
};

/// Cells of cellWidth by cellHeight pixels, row by row from the top of the image,
/// left to right. Leftover pixels at the right and at the top are never shown.
/// Empty when no whole cell fits or a size is not positive.
std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight);

/// One region of sheet per cell of CutSheet, each naming the sheet's texture.
std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth, int cellHeight);

/// Cells of a sheet laid out as tile-map editors lay out tile sets: the first
/// cell's top-left pixel margin pixels in from the image's top-left corner,
/// spacing pixels between neighbouring cells, row by row from the top of the
/// image, left to right. As many columns and rows as fit whole after the
/// margin at the left and top (none is needed at the right or bottom); unlike
/// the overload without margin and spacing, pixels left over are at the
/// right and bottom; at most maxCells, the first ones. Empty when no whole
/// cell fits, a cell size is not positive or the margin or spacing is negative.
std::vector<SheetCell> CutSheet(int sheetWidth, int sheetHeight, int cellWidth, int cellHeight,
                                int margin, int spacing, size_t maxCells = SIZE_MAX);

/// One region of sheet per cell of CutSheet with margin and spacing.
std::vector<Ref<Texture>> CutSheetRegions(const Ref<Texture>& sheet, int cellWidth, int cellHeight,
                                          int margin, int spacing, size_t maxCells = SIZE_MAX);

} // namespace Engine
